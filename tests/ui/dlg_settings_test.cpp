// The preferences dialog on its own: spin edits, the bar style list, Apply, Cancel and OK.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include "UiTestSupport.h"
#include "common/Translate.h"
#include "paint/Canvas.h"
#include "paint/Skins.h"
#include "paint/ZuBarChartPainterRegistry.h"
#include "ui/LanguageSwitch.h"
#include "ui/preferences/BarStyleComboBox.h"
#include "ui/preferences/DlgSettings.h"
#include "ui/preferences/KdSpinEdit.h"

namespace {

// What the main window was handed, one entry per call.
struct TApplied
{
    std::string PainterClass;
    TRoundingStyle Rounding;
    std::string Language;
    std::int64_t GroupFileSize;
};

// The dialog over settings in a file of its own.
struct TDialogFixture
{
    TempTree Config;
    std::unique_ptr<TSettings> Settings = std::make_unique<TSettings>(Config / "Zumbrel.ini");
    std::unique_ptr<TDlgSettings> Dialog = std::make_unique<TDlgSettings>(nullptr, *Settings);
    std::vector<TApplied> Applied;

    TDialogFixture()
    {
        Dialog->OnApplySettings = [this](TSettings &s) {
            Applied.push_back({s.BarChartPainterClass(), s.FileSizeRounding(), s.LanguageCode(), s.GroupFileSize()});
            // As the main window does: the language of the settings it is handed.
            SwitchLanguage(s.LanguageCode());
        };
    }
    // Runs Execute; `act` runs once the dialog is open and must close it.
    bool Execute(const std::function<void(TDlgSettings &)> &act)
    {
        QTimer::singleShot(0, Dialog.get(), [this, act] { act(*Dialog); });
        return Dialog->Execute(*Settings);
    }
};

void Choose(QComboBox &combo, const QString &text)
{
    const int index = combo.findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    combo.setCurrentIndex(index);
    emit combo.activated(index);
}

QString Q(const std::string &s)
{
    return QString::fromStdString(s);
}

QImage NewImage(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    return image;
}

// What the painter of `name` draws into `bar` of an image filled with `fill`.
QImage Reference(const QSize &size, const QRect &item, const QRect &bar, const QString &name, bool selected,
    const QColor &fill, const QFont &font)
{
    QImage image = NewImage(size);
    QPainter painter(&image);
    painter.fillRect(item, fill);
    TCanvas canvas(painter);
    canvas.SetFont(font);
    canvas.SetBrushColor(RGBColor(fill.red(), fill.green(), fill.blue()));
    auto barPainter = TZuBarChartPainterRegistry::GetInstance().FindClassByName(name.toStdString())->Create();
    if (selected)
        barPainter->DrawSelectedBar(canvas, ToTRect(bar), name, 1.0);
    else
        barPainter->DrawBar(canvas, ToTRect(bar), name, 1.0);
    return image;
}

} // namespace

class DlgSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        InitUiTests();
        InitTranslation();
    }
    void init()
    {
        UseLanguage("en");
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void cleanupTestCase() { UseLanguage("en"); }

    // Typed keys against the text they leave, for the decimal size box and the whole-number box.
    void spinEditTyping()
    {
        struct TCase
        {
            bool decimal;
            QLocale::Language language;
            const char *start, *typed, *expected;
        };
        const TCase cases[] = {
            {true, QLocale::English, "", "2.5", "2.5"},
            {true, QLocale::English, "", "2,5", "2.5"}, // either key types the separator
            {true, QLocale::German, "", "2.5", "2,5"}, {true, QLocale::German, "", "0,95", "0,95"},
            {true, QLocale::English, "", "1.05", "1.05"}, // "1.0" survives on the way
            {true, QLocale::English, "", "2..5", "2.5"}, // a second separator is refused
            {true, QLocale::English, "", "150", "100"}, // clamped at the maximum
            {true, QLocale::English, "", "99.5x", "99.5"}, // letters are refused
            {true, QLocale::English, "", "-3", "3"}, // no sign in an unsigned box
            {true, QLocale::English, "", "007", "7"}, {false, QLocale::English, "", "42", "42"},
            {false, QLocale::English, "", "4.2", "42"}, // no separator in whole numbers
            {false, QLocale::English, "", "120", "99"}, {false, QLocale::English, "12", "\b", "1"},
            {false, QLocale::English, "7", "\b", "0"}, // an empty text is the minimum
        };
        for (const TCase &c : cases) {
            QLocale::setDefault(QLocale(c.language));
            TKdSpinEdit edit;
            edit.SetValueType(c.decimal ? TKdEditValueType::vtFloat : TKdEditValueType::vtInteger);
            edit.SetUnsigned(true);
            edit.SetRange(0, c.decimal ? 100 : 99);
            edit.SetText(QString::fromLatin1(c.start));
            edit.setFocus();
            edit.lineEdit()->selectAll();
            if (*c.start) // type behind the start text
                edit.lineEdit()->end(false);
            for (const char ch : std::string(c.typed)) {
                if (ch == '\b')
                    QTest::keyClick(&edit, Qt::Key_Backspace);
                else
                    QTest::keyClicks(&edit, QString(QLatin1Char(ch)));
            }
            QCOMPARE(edit.Text(), QString::fromLatin1(c.expected));
        }
        QLocale::setDefault(QLocale(QLocale::English));
    }

    void spinEditSignAndNormalisedText()
    {
        TKdSpinEdit edit;
        edit.SetValueType(TKdEditValueType::vtInteger);
        edit.SetRange(-50, 50);
        edit.SetText(QStringLiteral("5"));
        edit.lineEdit()->end(false);
        QTest::keyClicks(&edit, QStringLiteral("-"));
        QCOMPARE(edit.Text(), QStringLiteral("-5")); // put in front, not typed
        QTest::keyClicks(&edit, QStringLiteral("-"));
        QCOMPARE(edit.Text(), QStringLiteral("-5"));
        QSignalSpy changed(&edit, &TKdSpinEdit::Changed);
        edit.SetText(QStringLiteral("not a number"));
        QCOMPARE(edit.Text(), QStringLiteral("-50")); // the minimum
        QCOMPARE(changed.count(), 1); // raised once, with the normalised text
        edit.SetAsInteger(1000);
        QCOMPARE(edit.AsInteger(), 50);

        TKdSpinEdit decimal;
        decimal.SetValueType(TKdEditValueType::vtFloat);
        decimal.SetAsFloat(0.95);
        QCOMPARE(decimal.Text(), QStringLiteral("0.95"));
        decimal.SetText(QStringLiteral("2."));
        QCOMPARE(decimal.AsFloat(), 2.0);
        QWidget other;
        other.show();
        decimal.show();
        decimal.setFocus();
        QTest::qWait(10);
        // Entering selects everything; leaving shows the canonical form.
        QCOMPARE(decimal.lineEdit()->selectedText(), QStringLiteral("2."));
        other.activateWindow();
        other.setFocus();
        QTest::qWait(10);
        if (!decimal.hasFocus())
            QCOMPARE(decimal.Text(), QStringLiteral("2"));
    }

    void spinEditArrowsAndPages()
    {
        struct TCase
        {
            int start;
            Qt::Key key;
            int expected;
        };
        const TCase cases[] = {
            {5, Qt::Key_Up, 6},
            {5, Qt::Key_Down, 4},
            {0, Qt::Key_Down, 0},
            {99, Qt::Key_Up, 99},
            {50, Qt::Key_PageUp, 60},
            {50, Qt::Key_PageDown, 40},
            {95, Qt::Key_PageUp, 99}, // never beyond the maximum
            {4, Qt::Key_PageDown, 0},
        };
        for (const TCase &c : cases) {
            TKdSpinEdit edit;
            edit.SetValueType(TKdEditValueType::vtInteger);
            edit.SetRange(0, 99);
            edit.SetAsInteger(c.start);
            QTest::keyClick(&edit, c.key);
            QCOMPARE(edit.AsInteger(), c.expected);
        }
        TKdSpinEdit decimal;
        decimal.SetValueType(TKdEditValueType::vtFloat);
        decimal.SetAsFloat(2.5);
        decimal.stepBy(1); // what the arrow buttons do
        QCOMPARE(decimal.Text(), QStringLiteral("3.5"));
        decimal.stepBy(-10);
        QCOMPARE(decimal.Text(), QStringLiteral("0"));
    }

    // Every entry of the open list is its painter's full bar, 3 pixels inside the item; the
    // edit part is the bar over the whole item.
    void barStyleListDrawsEachStyleWithItsPainter()
    {
        TDialogFixture f;
        TBarStyleComboBox &combo = *f.Dialog->CmbBoxBarChartPaintStyle;
        std::vector<std::string> names;
        TZuBarChartPainterRegistry::GetInstance().GetStrings(names, true);
        QCOMPARE(static_cast<std::size_t>(combo.count()), std::size_t(0));
        f.Execute([&](TDlgSettings &dialog) {
            QCOMPARE(combo.count(), static_cast<int>(names.size()));
            const QSize size(200, TBarStyleItemDelegate::ItemHeight);
            const QRect item(QPoint(0, 0), size);
            auto *delegate = combo.itemDelegate();
            QStyleOptionViewItem option;
            option.rect = item;
            option.font = combo.font();
            option.palette = combo.palette();
            QCOMPARE(delegate->sizeHint(option, combo.model()->index(0, 0)).height(), 22);
            for (int i = 0; i < combo.count(); ++i) {
                QCOMPARE(combo.itemText(i), Q(names[static_cast<std::size_t>(i)]));
                for (const bool selected : {false, true}) {
                    option.state = selected ? QStyle::State_Selected : QStyle::State_None;
                    QImage drawn = NewImage(size);
                    {
                        QPainter painter(&drawn);
                        delegate->paint(&painter, option, combo.model()->index(i, 0));
                    }
                    const QColor fill = combo.palette().color(selected ? QPalette::Highlight : QPalette::Base);
                    const QImage expected = Reference(
                        size, item, item.adjusted(3, 3, -3, -3), combo.itemText(i), selected, fill, option.font);
                    QVERIFY2(drawn == expected, qPrintable(combo.itemText(i)));
                    QCOMPARE(drawn.pixelColor(1, 1), fill);
                }
            }
            // An entry that names no painter is left alone.
            combo.addItem(QStringLiteral("No such style"));
            QImage untouched = NewImage(size);
            {
                QPainter painter(&untouched);
                delegate->paint(&painter, option, combo.model()->index(combo.count() - 1, 0));
            }
            QCOMPARE(untouched, NewImage(size));
            combo.removeItem(combo.count() - 1);

            // The edit part: the chosen style over the whole item rectangle.
            dialog.ButtonOK->setFocus();
            const QImage shot = combo.grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QRect edit = combo.EditItemRect();
            QCOMPARE(edit.height(), 16);
            const QImage expected = Reference(shot.size(), edit, edit, combo.currentText(), false,
                combo.palette().color(QPalette::Base), combo.font());
            QCOMPARE(shot.copy(edit), expected.copy(edit));
            dialog.reject();
        });
    }

    void defaultStyleAndLanguagePreselection()
    {
        TDialogFixture f;
        f.Settings->SetBarChartPainterClass(std::string(TSettings::DefaultBarChartPainterClass));
        f.Settings->SetLanguageCode("de_DE");
        f.Execute([](TDlgSettings &dialog) {
            QCOMPARE(dialog.CmbBoxBarChartPaintStyle->currentText(), Q(TSkinCairoHelix::PainterName()));
            QCOMPARE(dialog.ComboBoxLanguage->currentText(), QStringLiteral("Deutsch [de]"));
            QCOMPARE(dialog.CmbBoxRoundingStyle->currentText(), Q(RoundingStyleText(rsTruncate)));
            dialog.accept();
        });
        // Opening and confirming changed nothing, not even the default class.
        QCOMPARE(f.Settings->BarChartPainterClass(), std::string(TSettings::DefaultBarChartPainterClass));
        QCOMPARE(f.Settings->LanguageCode(), std::string("de_DE"));

        f.Settings->SetLanguageCode("xx");
        f.Settings->SetFileSizeRounding(rsNone);
        f.Execute([](TDlgSettings &dialog) {
            QCOMPARE(dialog.ComboBoxLanguage->currentIndex(), -1);
            QCOMPARE(dialog.CmbBoxRoundingStyle->currentIndex(), -1);
            QVERIFY(dialog.ComboBoxLanguage->findText(QStringLiteral("English [en]")) >= 0);
            dialog.reject();
        });
        QCOMPARE(f.Settings->LanguageCode(), std::string("xx"));
    }

    // Apply shows the copy (in German), Cancel hands back what was in force.
    void applyThenCancelRestores()
    {
        TDialogFixture f;
        f.Settings->SetBarChartPainterClass("TSkinCrystal");
        f.Settings->SetLanguageCode("en");
        const bool confirmed = f.Execute([&f](TDlgSettings &dialog) {
            Choose(*dialog.CmbBoxBarChartPaintStyle, Q(TSkinSpectrum::PainterName()));
            Choose(*dialog.CmbBoxRoundingStyle, Q(RoundingStyleText(rsBankers)));
            Choose(*dialog.ComboBoxLanguage, QStringLiteral("Deutsch [de]"));
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Preferences"));
            QTest::mouseClick(dialog.ButtonApply, Qt::LeftButton);
            QCOMPARE(f.Applied.size(), std::size_t(1));
            QCOMPARE(f.Applied[0].PainterClass, std::string("TSkinSpectrum"));
            QCOMPARE(f.Applied[0].Rounding, rsBankers);
            QCOMPARE(f.Applied[0].Language, std::string("de"));
            QCOMPARE(_("File"), std::string("Datei"));
            // The dialog speaks German and its lists still show the copy's choices.
            QCOMPARE(dialog.windowTitle(), Q(_("Preferences")));
            QVERIFY(dialog.windowTitle() != QStringLiteral("Preferences"));
            QCOMPARE(dialog.ButtonCancel->text(), Q(_("&Cancel")));
            QCOMPARE(dialog.CmbBoxRoundingStyle->currentText(), Q(RoundingStyleText(rsBankers)));
            QCOMPARE(dialog.CmbBoxBarChartPaintStyle->currentText(), Q(TSkinSpectrum::PainterName()));
            QCOMPARE(dialog.ComboBoxLanguage->currentText(), QStringLiteral("Deutsch [de]"));
            QCOMPARE(dialog.TempSettings()->BarChartPainterClass(), std::string("TSkinSpectrum"));
            QTest::mouseClick(dialog.ButtonCancel, Qt::LeftButton);
        });
        QVERIFY(!confirmed);
        QCOMPARE(f.Applied.size(), std::size_t(2));
        QCOMPARE(f.Applied[1].PainterClass, std::string("TSkinCrystal"));
        QCOMPARE(f.Applied[1].Rounding, rsTruncate);
        QCOMPARE(f.Applied[1].Language, std::string("en"));
        QCOMPARE(_("File"), std::string("File"));
        QCOMPARE(f.Dialog->windowTitle(), QStringLiteral("Preferences"));
        QCOMPARE(f.Settings->BarChartPainterClass(), std::string("TSkinCrystal"));
        QCOMPARE(f.Settings->LanguageCode(), std::string("en"));
    }

    void okStoresTheEditedValues()
    {
        TDialogFixture f;
        const bool confirmed = f.Execute([](TDlgSettings &dialog) {
            QVERIFY(dialog.EditGroupFileSize->isEnabled());
            QTest::mouseClick(dialog.CheckBoxGroupFiles, Qt::LeftButton);
            QVERIFY(!dialog.EditGroupFileSize->isEnabled());
            QVERIFY(!dialog.LabelMegaByte->isEnabled());
            QTest::mouseClick(dialog.CheckBoxGroupFiles, Qt::LeftButton);
            QVERIFY(dialog.EditGroupFileSize->isEnabled());
            QVERIFY(dialog.LabelMegaByte->isEnabled());
            dialog.EditGroupFileSize->lineEdit()->selectAll();
            QTest::keyClicks(dialog.EditGroupFileSize, QStringLiteral("2.5"));
            dialog.EditMaxMruItems->lineEdit()->selectAll();
            QTest::keyClicks(dialog.EditMaxMruItems, QStringLiteral("30"));
            QTest::mouseClick(dialog.CheckBoxPaintBackgroundShape, Qt::LeftButton);
            QTest::keyClick(&dialog, Qt::Key_Return); // the default button
        });
        QVERIFY(confirmed);
        QCOMPARE(f.Settings->GroupFileSize(), std::int64_t(2621440));
        QCOMPARE(f.Settings->MaxMruItems(), std::uint16_t(30));
        QVERIFY(!f.Settings->PaintOptions().Contains(poPaintBackgroundShape));
        QVERIFY(f.Settings->ScanSettingsChanged());
        QCOMPARE(f.Applied.size(), std::size_t(1));
        QCOMPARE(f.Applied[0].GroupFileSize, std::int64_t(2621440));
    }

    // Values the boxes cannot show exactly: a size with more than two decimals stays as it is,
    // a recent-folders maximum above 99 becomes 99.
    void okWithoutChangesKeepsTheSettings()
    {
        TDialogFixture f;
        f.Settings->SetGroupFileSize(1000000);
        f.Settings->SetMaxMruItems(150);
        f.Settings->SetScanSettingsChanged(false);
        QVERIFY(f.Execute([](TDlgSettings &dialog) {
            QCOMPARE(dialog.EditGroupFileSize->Text(), QStringLiteral("0.95"));
            QCOMPARE(dialog.EditMaxMruItems->Text(), QStringLiteral("99"));
            dialog.accept();
        }));
        QCOMPARE(f.Settings->GroupFileSize(), std::int64_t(1000000));
        QCOMPARE(f.Settings->MaxMruItems(), std::uint16_t(99));
        QVERIFY(!f.Settings->ScanSettingsChanged());
        QCOMPARE(TDlgSettings::GroupFileSizeToMegaBytes(1048576), 1.0);
        QCOMPARE(TDlgSettings::GroupFileSizeToMegaBytes(1000000), 0.95);
        QCOMPARE(TDlgSettings::GroupFileSizeToMegaBytes(1054867), 1.01); // 1.006...
        QCOMPARE(TDlgSettings::GroupFileSizeToMegaBytes(131072), 0.12); // 0.125: ties to even
        QCOMPARE(TDlgSettings::GroupFileSizeToMegaBytes(393216), 0.38); // 0.375
    }

    void reopensWhereItWasLeft()
    {
        TDialogFixture f;
        f.Dialog->show();
        f.Dialog->move(37, 41);
        QTest::qWait(10);
        const QPoint left = f.Dialog->pos();
        f.Dialog.reset();
        const std::string stored = f.Settings->ReadScreenSetting("SettingsDlgBounds", "");
        QVERIFY(!stored.empty());
        QVERIFY(QString::fromStdString(stored).startsWith(QStringLiteral("%1,%2,").arg(left.x()).arg(left.y())));
        TDlgSettings again(nullptr, *f.Settings);
        QCOMPARE(again.pos(), left);
        // Damaged bounds: the centred default.
        f.Settings->SaveScreenStr("SettingsDlgBounds", "12,x");
        TDlgSettings centred(nullptr, *f.Settings);
        QVERIFY(centred.pos() != left);
    }
};

QTEST_MAIN(DlgSettingsTest)
#include "dlg_settings_test.moc"
