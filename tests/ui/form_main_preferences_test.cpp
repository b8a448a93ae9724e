// The main window with the preferences dialog: Apply, Cancel, OK and the language switch.
#include <fstream>
#include <sstream>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include "UiTestSupport.h"
#include "common/MessageBoxes.h"
#include "common/Translate.h"
#include "paint/Skins.h"
#include "ui/pathbar/PathViewer.h"
#include "ui/preferences/BarStyleComboBox.h"
#include "ui/preferences/DlgSettings.h"

namespace {

class TRecordingBoxes final : public IMessageBoxes
{
public:
    bool Show(TMessageKind kind, const std::string &, const std::string &text) override
    {
        if (kind == TMessageKind::Information)
            Infos.push_back(text);
        return false;
    }
    std::vector<std::string> Infos;
};

QStringList MenuTitles(TFormMain &form)
{
    QStringList titles;
    for (QAction *menu : form.menuBar()->actions())
        titles << menu->text();
    return titles;
}

QString HeaderText(TFormMain &form, int column)
{
    return form.Model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

QString ToolButtonText(TFormMain &form, QAction *action)
{
    auto *bar = form.findChild<QToolBar *>(QStringLiteral("ToolBar"));
    auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action));
    return button ? button->text() : QString();
}

void Choose(QComboBox &combo, const QString &text)
{
    const int index = combo.findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    combo.setCurrentIndex(index);
    emit combo.activated(index);
}

// Triggers Extras > Preferences... and runs `act` in the open dialog; `act` closes it.
void WithPreferences(TFormMain &form, const std::function<void(TDlgSettings &)> &act)
{
    QTimer::singleShot(0, &form, [&form, act] {
        auto *dialog = form.findChild<TDlgSettings *>();
        QVERIFY(dialog);
        act(*dialog);
    });
    form.ActConfig->trigger();
}

const TFileSystemNode *FirstChild(TFormMain &form)
{
    return form.RootNode() ? form.RootNode()->FindChildNode("a") : nullptr;
}

} // namespace

class FormMainPreferencesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        InitUiTests();
        InitTranslation();
    }
    void init() { UseLanguage("en"); }
    void cleanup()
    {
        InstallMessageBoxes(nullptr);
        UseLanguage("en");
    }

    // Menus, toolbar, tree header and status texts follow a language switch both ways.
    void languageSwitchRetranslatesTheWindow()
    {
        TWindowFixture w;
        TFormMain &form = *w.Form;
        w.Settings->SetLanguageCode("en");
        form.SettingsApplied(*w.Settings);
        form.ShowScanDuration(1.5);
        const QStringList english = {QStringLiteral("&File"), QStringLiteral("&Analysis"), QStringLiteral("&View"),
            QStringLiteral("&Tools"), QStringLiteral("&Help")};
        QCOMPARE(MenuTitles(form), english);
        QCOMPARE(HeaderText(form, 1), QStringLiteral("Size"));
        QVERIFY(form.ActConfig->text().startsWith(QStringLiteral("Preferences")));

        const std::unique_ptr<TSettings> german = w.Settings->GetClone();
        german->SetLanguageCode("de");
        form.SettingsApplied(*german);
        QCOMPARE(MenuTitles(form).value(0), QStringLiteral("&Datei"));
        QCOMPARE(MenuTitles(form),
            (QStringList {Q(_("&File")), Q(_("&Analysis")), Q(_("&View")), Q(_("&Tools")), Q(_("&Help"))}));
        QCOMPARE(MenuTitles(form).value(4), QStringLiteral("&Hilfe"));
        QCOMPARE(form.ActLargestFiles->text(), Q(_("&Largest Files")));
        QCOMPARE(form.ActDelete->text(), QStringLiteral("&L\u00f6schen"));
        QCOMPARE(form.Action1->text(), Q(_("&About Zumbrel")));
        QCOMPARE(form.ActDirSelect->text(), QStringLiteral("Ordner &w\u00e4hlen..."));
        QCOMPARE(form.ActConfig->text(), Q(_("Preferences...")));
        QCOMPARE(form.ActRefresh->statusTip(),
            Q(_("Repeat Analysis|Repeats the last executed analysis")).section(QLatin1Char('|'), 1));
        QCOMPARE(ToolButtonText(form, form.ActRefresh), Q(_("&Repeat")));
        QCOMPARE(HeaderText(form, 1), QStringLiteral("Gr\u00f6\u00dfe"));
        QCOMPARE(form.Tree()->model()->headerData(0, Qt::Horizontal).toString(), Q(_("Name")));
        QVERIFY(form.StatusText(1).endsWith(QStringLiteral(" Sek.")));
        // The path bar's first segment and the start page command follow at once, not at the
        // next Apply.
        QCOMPARE(form.qvPathViewer1->PathParts().value(0), Q(_("Home")));
        QCOMPARE(form.qvPathViewer1->PathParts().value(0), QStringLiteral("Start"));
        QCOMPARE(form.ActHomepage->text(), QStringLiteral("Startseite"));

        form.SettingsApplied(*w.Settings);
        QCOMPARE(MenuTitles(form), english);
        QCOMPARE(form.ActDirSelect->text(), QStringLiteral("&Choose Folder..."));
        QCOMPARE(HeaderText(form, 1), QStringLiteral("Size"));
        QVERIFY(form.StatusText(1).endsWith(QStringLiteral(" sec.")));
        QCOMPARE(form.qvPathViewer1->PathParts().value(0), QStringLiteral("Home"));
        QCOMPARE(form.ActHomepage->text(), QStringLiteral("Homepage"));
    }

    // Apply shows the copy in the window, Cancel brings back what was shown; the settings and
    // their file stay as they were.
    void applyThenCancelRestoresTheWindow()
    {
        TempTree tree;
        tree.MakeFile("a/big.bin", 1599999); // 1.525... MB: "1.52 MB" truncated, "1.53 MB" rounded
        TWindowFixture w;
        TFormMain &form = *w.Form;
        TRecordingBoxes boxes;
        InstallMessageBoxes(&boxes);
        w.Settings->SetLanguageCode("en");
        w.Settings->SetBarChartPainterClass("TSkinCrystal");
        form.SettingsApplied(*w.Settings);
        form.ProcessCommandLine({tree.Path()});
        QVERIFY(w.WaitForScans());
        const TFileSystemNode *child = FirstChild(form);
        QVERIFY(child);
        const QString truncated = form.GetText(child, 1, TTextType::Normal);
        QVERIFY2(truncated.contains(QStringLiteral("1.52")) || truncated.contains(QStringLiteral("1,52")),
            qPrintable(truncated));

        QString applied;
        WithPreferences(form, [&](TDlgSettings &dialog) {
            Choose(*dialog.CmbBoxRoundingStyle, Q(RoundingStyleText(rsBankers)));
            Choose(*dialog.CmbBoxBarChartPaintStyle, Q(TSkinSpectrum::PainterName()));
            Choose(*dialog.ComboBoxLanguage, QStringLiteral("Deutsch [de]"));
            QTest::mouseClick(dialog.ButtonApply, Qt::LeftButton);
            applied = form.GetText(child, 1, TTextType::Normal);
            QCOMPARE(MenuTitles(form).value(0), QStringLiteral("&Datei"));
            QCOMPARE(HeaderText(form, 1), QStringLiteral("Gr\u00f6\u00dfe"));
            QVERIFY(boxes.Infos.empty()); // nothing waits for the next analysis
            // A changed grouping does, and the window says so.
            QTest::mouseClick(dialog.CheckBoxGroupFiles, Qt::LeftButton);
            QTest::mouseClick(dialog.ButtonApply, Qt::LeftButton);
            QCOMPARE(boxes.Infos.size(), std::size_t(1));
            QCOMPARE(boxes.Infos[0], _("Some of your changed settings will not be employed until the next analysis."));
            QTest::mouseClick(dialog.ButtonCancel, Qt::LeftButton);
        });
        QVERIFY2(
            applied.contains(QStringLiteral("1.53")) || applied.contains(QStringLiteral("1,53")), qPrintable(applied));
        QCOMPARE(form.GetText(child, 1, TTextType::Normal), truncated);
        QCOMPARE(MenuTitles(form).value(0), QStringLiteral("&File"));
        QCOMPARE(HeaderText(form, 1), QStringLiteral("Size"));
        QCOMPARE(boxes.Infos.size(), std::size_t(1)); // Cancel announces nothing
        QCOMPARE(w.Settings->FileSizeRounding(), rsTruncate);
        QCOMPARE(w.Settings->BarChartPainterClass(), std::string("TSkinCrystal"));
        QCOMPARE(w.Settings->LanguageCode(), std::string("en"));
        QVERIFY(w.Settings->GroupSmallFiles());
    }

    // OK keeps the choices in the settings; the file gets them when the window closes.
    void okStoresTheChoicesAndTheFileGetsThemAtExit()
    {
        TWindowFixture w;
        TFormMain &form = *w.Form;
        w.Settings->SetLanguageCode("en");
        form.SettingsApplied(*w.Settings);
        WithPreferences(form, [](TDlgSettings &dialog) {
            Choose(*dialog.ComboBoxLanguage, QStringLiteral("Deutsch [de]"));
            Choose(*dialog.CmbBoxBarChartPaintStyle, Q(TSkinSpectrum::PainterName()));
            QTest::mouseClick(dialog.ButtonOK, Qt::LeftButton);
        });
        QCOMPARE(w.Settings->LanguageCode(), std::string("de"));
        QCOMPARE(w.Settings->BarChartPainterClass(), std::string("TSkinSpectrum"));
        QCOMPARE(MenuTitles(form).value(0), QStringLiteral("&Datei"));
        QVERIFY(!w.Settings->ScanSettingsChanged());
        const std::string file = w.Settings->GetFileName();
        const auto read = [&file] {
            std::ifstream in(file);
            std::stringstream text;
            text << in.rdbuf();
            return text.str();
        };
        QVERIFY(read().find("Language=de") == std::string::npos); // not before the exit
        QVERIFY(read().find("SettingsDlgBounds=") != std::string::npos); // the dialog's place is
        w.Form.reset();
        QVERIFY(read().find("Language=de") != std::string::npos);
        QVERIFY(read().find("BarChartPainterClass=TSkinSpectrum") != std::string::npos);
    }

private:
    static QString Q(const std::string &s) { return QString::fromStdString(s); }
};

QTEST_MAIN(FormMainPreferencesTest)
#include "form_main_preferences_test.moc"
