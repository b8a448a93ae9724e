#pragma once

#include <memory>

#include <QDialog>

#include "settings/Settings.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class TBarStyleComboBox;
class TKdSpinEdit;

// The preferences dialog. It edits a copy of the settings it is given (Execute): "Apply" shows
// the copy in the main window at once (OnApplySettings) without storing it, "OK" stores it in
// the given settings, Cancel keeps them; either way OnApplySettings is called once more with
// the given settings when the dialog closes, so a main window that showed an applied copy goes
// back to what is in force. Nothing is written to the settings file except the dialog's own
// position, per screen size, when the dialog is freed.
//
// The dialog follows language switches (QEvent::LanguageChange): its texts are translated
// again and its controls refilled from the copy. User interface thread only.
class TDlgSettings final : public QDialog
{
    Q_OBJECT

public:
    // `store`: the settings file the dialog's position is read from and written to (not owned;
    // it must outlive the dialog). Translates the dialog and places it where it was last left
    // on this screen size (centred the first time).
    TDlgSettings(QWidget *owner, TSettings &store);
    // Stores the dialog's position.
    ~TDlgSettings() override;

    // Runs the dialog modally on a copy of `settings`; true when the user confirmed with OK,
    // which copied the edited values into `settings`.
    bool Execute(TSettings &settings);

    // Called with the settings the main window is to show: the edited copy on "Apply", the
    // given settings when the dialog closes.
    TSettingsEvent OnApplySettings;

    // The copy being edited while Execute runs; null otherwise.
    [[nodiscard]] TSettings *TempSettings() const { return FTempSettings.get(); }

    // Controls, named as their object names; for the main window's tests and tools.
    QCheckBox *CheckBoxGroupFiles = nullptr;
    TKdSpinEdit *EditGroupFileSize = nullptr;
    QLabel *LabelMegaByte = nullptr;
    TKdSpinEdit *EditMaxMruItems = nullptr;
    QComboBox *CmbBoxRoundingStyle = nullptr;
    TBarStyleComboBox *CmbBoxBarChartPaintStyle = nullptr;
    QCheckBox *CheckBoxPaintBackgroundShape = nullptr;
    QComboBox *ComboBoxLanguage = nullptr;
    QPushButton *ButtonOK = nullptr;
    QPushButton *ButtonCancel = nullptr;
    QPushButton *ButtonApply = nullptr;

    // The group size the box shows for a size in bytes: MiB rounded to two decimals, ties to
    // even.
    [[nodiscard]] static double GroupFileSizeToMegaBytes(std::int64_t bytes);

protected:
    void changeEvent(QEvent *event) override;

private:
    void CreateControls();
    void TranslateUi();
    void FillControls();
    void PlaceDialog();
    void StorePosition();
    void ApplyClick();

    void CheckBoxGroupFilesClick();
    void EditGroupFileSizeChange();
    void EditMaxMruItemsChange();
    void CheckBoxPaintBackgroundShapeClick();
    void CmbBoxRoundingStyleChange();
    void CmbBoxBarChartPaintStyleChange();
    void ComboBoxLanguageChange();

    TSettings &FStore;
    std::unique_ptr<TSettings> FTempSettings;
    QGroupBox *FGroupAnalysis = nullptr;
    QGroupBox *FGroupAppearance = nullptr;
    QLabel *FLabelMaxMruItems = nullptr;
    QLabel *FLabelRoundingStyle = nullptr;
    QLabel *FLabelBarStyle = nullptr;
    QLabel *FLabelLanguage = nullptr;
};
