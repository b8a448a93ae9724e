// After a language switch the window speaks and writes the chosen language at once: the
// small-files group's name, numbers, percentages and dates in the formats of its locale, and
// every text of the preferences dialog whole.
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QTimer>

#include "UiTestSupport.h"
#include "common/SizeText.h"
#include "common/Translate.h"
#include "ui/LanguageSwitch.h"
#include "ui/preferences/DlgSettings.h"

class LanguageFormatsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        InitUiTests();
        InitTranslation();
    }
    void cleanup() { SwitchLanguage("en"); }

    void aSwitchReachesGroupNamesNumbersAndDates()
    {
        TempTree tree;
        for (int i = 0; i < 1200; ++i)
            tree.MakeFile("many/f" + std::to_string(i), 10);
        tree.MakeFile("many/big.bin", 5 * 1024 * 1024);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        w.Settings->SetLanguageCode("en");
        w.Settings->SetGroupSmallFiles(true);
        form.SettingsApplied(*w.Settings);
        form.ProcessCommandLine({tree.Path()});
        QVERIFY(w.WaitForScans());
        const auto *root = dynamic_cast<const TDirNode *>(form.RootNode());
        QVERIFY(root);
        const auto *many = dynamic_cast<const TDirNode *>(root->FindChildNode("many"));
        QVERIFY(many);
        const TFileSystemNode *group = many->SmallFilesGroup();
        QVERIFY(group);
        QCOMPARE(form.GetText(group, 0, TTextType::Normal), QStringLiteral("<Grouped Files>"));
        QCOMPARE(form.GetText(many, 2, TTextType::Normal), QStringLiteral("1,201"));
        const QString englishDate = form.GetText(many, 4, TTextType::Normal);

        const std::unique_ptr<TSettings> german = w.Settings->GetClone();
        german->SetLanguageCode("de");
        form.SettingsApplied(*german);
        QCOMPARE(form.GetText(group, 0, TTextType::Normal), QStringLiteral("<Gruppierte Dateien>"));
        QCOMPARE(form.GetText(many, 2, TTextType::Normal), QStringLiteral("1.201"));
        QCOMPARE(TFormMain::PercentText(0.563), QStringLiteral("56,3%"));
        QVERIFY2(QString::fromStdString(FileSizeToStrTruncated(1536)) == QStringLiteral("1,5 KB"),
            FileSizeToStrTruncated(1536).c_str());
        const QString germanDate = form.GetText(many, 4, TTextType::Normal);
        QVERIFY2(germanDate != englishDate && germanDate.contains(QLatin1Char('.')) && !germanDate.contains(QLatin1Char('/')),
            qPrintable(englishDate + QStringLiteral(" / ") + germanDate));

        form.SettingsApplied(*w.Settings);
        QCOMPARE(form.GetText(group, 0, TTextType::Normal), QStringLiteral("<Grouped Files>"));
        QCOMPARE(TFormMain::PercentText(0.563), QStringLiteral("56.3%"));
        QCOMPARE(form.GetText(many, 4, TTextType::Normal), englishDate);
    }

    // No label, check box or button of the dialog is cut off, in any language shipped.
    void preferencesShowEveryTextWhole_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("en") << QStringLiteral("en");
        QTest::newRow("de") << QStringLiteral("de");
    }

    void preferencesShowEveryTextWhole()
    {
        QFETCH(QString, language);
        SwitchLanguage(language.toStdString());
        TempTree config;
        TSettings settings(config / "Zumbrel.ini");
        settings.SetLanguageCode(language.toStdString());
        TDlgSettings dialog(nullptr, settings);
        QStringList cut;
        QTimer::singleShot(0, &dialog, [&] {
            dialog.adjustSize();
            for (QWidget *widget : dialog.findChildren<QWidget *>()) {
                if (!widget->isVisible())
                    continue;
                QString text;
                if (auto *label = qobject_cast<QLabel *>(widget))
                    text = label->text();
                else if (auto *button = qobject_cast<QAbstractButton *>(widget))
                    text = button->text();
                else if (!qobject_cast<QComboBox *>(widget))
                    continue;
                if (widget->width() < widget->sizeHint().width())
                    cut << QStringLiteral("%1 \"%2\" (%3 < %4)")
                               .arg(widget->objectName(), text)
                               .arg(widget->width())
                               .arg(widget->sizeHint().width());
            }
            dialog.reject();
        });
        dialog.Execute(settings);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
    }
};

QTEST_MAIN(LanguageFormatsTest)
#include "language_formats_test.moc"
