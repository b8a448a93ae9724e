// The preferences command, taking over applied settings, and the window's texts in the language
// in use.
#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QToolBar>
#include <QTreeView>

#include "common/MessageBoxes.h"
#include "common/Translate.h"
#include "ui/FormMain.h"
#include "ui/LanguageSwitch.h"
#include "ui/UiText.h"
#include "ui/preferences/DlgSettings.h"

namespace {

// A command's menu entry and its hint, "tool tip|status bar text" or one text for both.
void SetCaptions(QAction *action, const std::string &text, const std::string &hint)
{
    action->setText(Tr(text));
    const QString h = Tr(hint);
    const auto bar = h.indexOf(QLatin1Char('|'));
    action->setToolTip(bar < 0 ? h : h.left(bar));
    action->setStatusTip(bar < 0 ? h : h.mid(bar + 1));
}

// The same with the tool tip and the status bar text given apart.
void SetCaptions(QAction *action, const std::string &text, const std::string &tip, const std::string &status)
{
    action->setText(Tr(text));
    action->setToolTip(Tr(tip));
    action->setStatusTip(Tr(status));
}

} // namespace

void TFormMain::ActConfigExecute()
{
    TDlgSettings dialog(this, FSettings);
    dialog.OnApplySettings = [this](TSettings &settings) { SettingsApplied(settings); };
    FSettings.SetScanSettingsChanged(false);
    dialog.Execute(FSettings);
}

void TFormMain::SettingsApplied(TSettings &settings)
{
    ApplySettings(settings);
    // Every window, this one included, re-reads its texts on the language change event.
    SwitchLanguage(settings.LanguageCode());
    FTree->viewport()->update();
    if (settings.ScanSettingsChanged() && FRootNode)
        InfoBox(_("Some of your changed settings will not be employed until the next analysis."));
}

void TFormMain::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange && ActConfig)
        RetranslateUi();
    QMainWindow::changeEvent(event);
}

void TFormMain::RetranslateUi()
{
    // Toolbar buttons carry captions of their own where the menu entry's would not fit.
    SetCaptions(ActDirSelect, _("&Choose Folder..."), _("Choose Folder"));
    ActDirSelect->setIconText(Tr(_("&Choose Folder")));
    SetCaptions(ActRefresh, _("&Repeat Analysis"), _("Repeat Analysis|Repeats the last executed analysis"));
    ActRefresh->setIconText(Tr(_("&Repeat")));
    SetCaptions(ActStopScan, _("&Stop Analysis"), _("Stops the Analysis"));
    ActStopScan->setIconText(Tr(_("&Stop")));
    SetCaptions(
        ActRefreshNode, _("R&escan Selected Directory"), _("Repeats the analysis for the selected directories"));
    SetCaptions(ActScanFixedDrives, _("Analyze &Local Drives"), _("Analyzes all local drives"));
    SetCaptions(ActSaveScanResult, _("&Save Analysis Result..."),
        _("Save Analysis Result|Saves the result of the analysis to a file"));
    ActSaveScanResult->setIconText(Tr(_("S&ave")));
    SetCaptions(ActionExitApplication, _("&Exit"), _("Exits the application"));
    SetCaptions(ActConfig, _("Preferences..."), _("Preferences"));
    SetCaptions(ActionRemoveInvalidRecentItems, _("&Remove invalid recent items..."), std::string());
    SetCaptions(ActShellOpenFile, _("&Open File"), std::string());
    SetCaptions(ActDelete, _("&Delete"), _("Delete|Deletes the selected files/directories"));
    ActDelete->setIconText(Tr(_("&Delete")));
    SetCaptions(ActUndoTrash, _("&Undo Move to Trash"), _("Puts the files last moved to the trash back"));
    SetCaptions(ActOpenInExplorer, _("&Open directory with File Manager..."),
        _("Open Directory in File Manager|Opens the selected directory in the file manager"));
    ActOpenInExplorer->setIconText(Tr(_("&Open")));
    SetCaptions(Action1, _("&About Zumbrel"), _("Shows information about Zumbrel"));
    SetCaptions(ActionHomepage, _("Zumbrel &Homepage"), std::string());
    SetCaptions(ActHomepage, _("Homepage"), _("Shows the drives and the recently analyzed folders"));
    SetCaptions(ActOpenAnalysis, _("&Open Analysis..."), _("Open Analysis"),
        _("Shows an analysis saved as ncdu JSON, by Zumbrel, ncdu or gdu"));
    ActOpenAnalysis->setIconText(Tr(_("&Open Analysis")));
    SetCaptions(ActCompare, _("Co&mpare with Saved Analysis..."), _("Compare with Saved Analysis"),
        _("Shows how much each folder and file grew or shrank since an analysis saved as ncdu JSON"));
    SetCaptions(ActLargestFiles, _("&Largest Files"), _("Largest Files"),
        _("Shows the largest files of the analysis instead of the folder tree"));
    ActLargestFiles->setIconText(Tr(_("&Largest Files")));
    RetranslateLargestFiles();

    FMenuFile->setTitle(Tr(_("&File")));
    FMenuAnalysis->setTitle(Tr(_("&Analysis")));
    FMenuExtras->setTitle(Tr(_("&Tools")));
    FMenuHelp->setTitle(Tr(_("&Help")));
    FMenuView->setTitle(Tr(_("&View")));
    FToolBar->setWindowTitle(Tr(_("Toolbar")));

    // Header and rows ask for their texts when they are drawn.
    emit FModel->headerDataChanged(Qt::Horizontal, 0, TFileTreeModel::ColumnCount - 1);
    FTree->viewport()->update();
    if (FShownScanDuration >= 0)
        ShowScanDuration(FShownScanDuration);
    // The path bar's first segment, the start page's tiles and the Home command carry texts of
    // their own; the drop-downs take the segment's text apart and rely on it being current.
    ApplyNavigationSettings();
}
