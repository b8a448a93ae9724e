#include "ui/preferences/DlgSettings.h"

#include <cfenv>
#include <cmath>

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "common/MessageBoxes.h"
#include "common/Rect.h"
#include "common/SizeText.h"
#include "common/Translate.h"
#include "paint/Skins.h"
#include "paint/ZuBarChartPainterRegistry.h"
#include "settings/LangUtils.h"
#include "ui/LanguageSwitch.h"
#include "ui/preferences/BarStyleComboBox.h"
#include "ui/preferences/KdSpinEdit.h"

namespace {

constexpr int ClientWidth = 444;
constexpr int ClientHeight = 284;
constexpr double MegaByte = 1048576.0;
constexpr const char *BoundsKey = "SettingsDlgBounds";

QString Tr(const std::string &translated)
{
    return QString::fromStdString(translated);
}

// Ties to even, as the current rounding mode of the floating point unit does by default.
double RoundHalfEven(double value)
{
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(mode);
    return rounded;
}

void FillCombo(QComboBox &combo, const std::vector<std::string> &items, const std::string &selected)
{
    combo.clear();
    int index = -1;
    for (const std::string &item : items) {
        if (index < 0 && item == selected)
            index = combo.count();
        combo.addItem(QString::fromStdString(item));
    }
    combo.setCurrentIndex(index);
}

// The display name of a stored painter class; the default class is not registered.
std::string PainterNameOfClass(const std::string &className)
{
    TZuBarChartPainterClass painterClass = TZuBarChartPainterRegistry::GetInstance().FindClassByClassName(className);
    if (!painterClass && className == TSettings::DefaultBarChartPainterClass)
        painterClass = PainterClassOf<TDefaultBarChartPainter>();
    return painterClass ? painterClass->PainterName() : std::string();
}

} // namespace

TDlgSettings::TDlgSettings(QWidget *owner, TSettings &store)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , FStore(store)
{
    setObjectName(QStringLiteral("DlgSettings"));
    CreateControls();
    TranslateUi();
    PlaceDialog();
}

TDlgSettings::~TDlgSettings()
{
    StorePosition();
}

double TDlgSettings::GroupFileSizeToMegaBytes(std::int64_t bytes)
{
    return RoundHalfEven(static_cast<double>(bytes) / MegaByte * 100.0) / 100.0;
}

void TDlgSettings::CreateControls()
{
    FGroupAnalysis = new QGroupBox(this);
    CheckBoxGroupFiles = new QCheckBox(FGroupAnalysis);
    CheckBoxGroupFiles->setObjectName(QStringLiteral("CheckBoxGroupFiles"));
    EditGroupFileSize = new TKdSpinEdit(FGroupAnalysis);
    EditGroupFileSize->setObjectName(QStringLiteral("EditGroupFileSize"));
    EditGroupFileSize->SetValueType(TKdEditValueType::vtFloat);
    EditGroupFileSize->SetUnsigned(true);
    EditGroupFileSize->SetRange(0, 100);
    EditGroupFileSize->SetIncrement(1);
    LabelMegaByte = new QLabel(FGroupAnalysis);
    LabelMegaByte->setObjectName(QStringLiteral("LabelMegaByte"));
    FLabelMaxMruItems = new QLabel(FGroupAnalysis);
    EditMaxMruItems = new TKdSpinEdit(FGroupAnalysis);
    EditMaxMruItems->setObjectName(QStringLiteral("EditMaxMruItems"));
    EditMaxMruItems->SetValueType(TKdEditValueType::vtInteger);
    EditMaxMruItems->SetUnsigned(true);
    EditMaxMruItems->SetRange(0, 99);
    FLabelRoundingStyle = new QLabel(FGroupAnalysis);
    CmbBoxRoundingStyle = new QComboBox(FGroupAnalysis);
    CmbBoxRoundingStyle->setObjectName(QStringLiteral("CmbBoxRoundingStyle"));
    for (TKdSpinEdit *edit : {EditGroupFileSize, EditMaxMruItems}) {
        edit->setAlignment(Qt::AlignRight);
        edit->setFixedWidth(std::max(60, edit->sizeHint().width()));
    }
    CmbBoxRoundingStyle->setMinimumWidth(175);

    auto *analysis = new QGridLayout(FGroupAnalysis);
    analysis->addWidget(CheckBoxGroupFiles, 0, 0);
    analysis->addWidget(EditGroupFileSize, 0, 1, Qt::AlignLeft);
    analysis->addWidget(LabelMegaByte, 0, 2);
    analysis->addWidget(FLabelMaxMruItems, 1, 0);
    analysis->addWidget(EditMaxMruItems, 1, 1, Qt::AlignLeft);
    analysis->addWidget(FLabelRoundingStyle, 2, 0);
    analysis->addWidget(CmbBoxRoundingStyle, 2, 1, 1, 3, Qt::AlignLeft);
    analysis->setColumnStretch(3, 1);

    FGroupAppearance = new QGroupBox(this);
    FLabelBarStyle = new QLabel(FGroupAppearance);
    CmbBoxBarChartPaintStyle = new TBarStyleComboBox(FGroupAppearance);
    CmbBoxBarChartPaintStyle->setObjectName(QStringLiteral("CmbBoxBarChartPaintStyle"));
    CmbBoxBarChartPaintStyle->setMinimumWidth(220);
    CheckBoxPaintBackgroundShape = new QCheckBox(FGroupAppearance);
    CheckBoxPaintBackgroundShape->setObjectName(QStringLiteral("CheckBoxPaintBackgroundShape"));
    FLabelLanguage = new QLabel(FGroupAppearance);
    ComboBoxLanguage = new QComboBox(FGroupAppearance);
    ComboBoxLanguage->setObjectName(QStringLiteral("ComboBoxLanguage"));
    ComboBoxLanguage->setMinimumWidth(145);
    FLabelLanguage->setBuddy(ComboBoxLanguage);

    auto *appearance = new QGridLayout(FGroupAppearance);
    appearance->addWidget(FLabelBarStyle, 0, 0);
    appearance->addWidget(CmbBoxBarChartPaintStyle, 0, 1, Qt::AlignLeft);
    appearance->addWidget(CheckBoxPaintBackgroundShape, 1, 0, 1, 3);
    appearance->addWidget(FLabelLanguage, 2, 0);
    appearance->addWidget(ComboBoxLanguage, 2, 1, Qt::AlignLeft);
    appearance->setColumnStretch(2, 1);

    ButtonOK = new QPushButton(this);
    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonOK->setDefault(true);
    ButtonCancel = new QPushButton(this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonApply = new QPushButton(this);
    ButtonApply->setObjectName(QStringLiteral("ButtonApply"));
    ButtonApply->setAutoDefault(false);
    ButtonCancel->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ButtonOK);
    buttons->addWidget(ButtonCancel);
    buttons->addWidget(ButtonApply);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(FGroupAnalysis);
    layout->addWidget(FGroupAppearance);
    layout->addStretch(1);
    layout->addLayout(buttons);
    // A fixed border: the size follows the texts (translations may be longer), never the user.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumSize(ClientWidth, ClientHeight);

    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ButtonApply, &QPushButton::clicked, this, [this] { ApplyClick(); });
    connect(CheckBoxGroupFiles, &QCheckBox::toggled, this, [this] { CheckBoxGroupFilesClick(); });
    connect(EditGroupFileSize, &TKdSpinEdit::Changed, this, [this] { EditGroupFileSizeChange(); });
    connect(EditMaxMruItems, &TKdSpinEdit::Changed, this, [this] { EditMaxMruItemsChange(); });
    connect(CheckBoxPaintBackgroundShape, &QCheckBox::toggled, this, [this] { CheckBoxPaintBackgroundShapeClick(); });
    // Lists report only the user's choices; filling them selects what is in force already.
    connect(CmbBoxRoundingStyle, &QComboBox::activated, this, [this] { CmbBoxRoundingStyleChange(); });
    connect(CmbBoxBarChartPaintStyle, &QComboBox::activated, this, [this] { CmbBoxBarChartPaintStyleChange(); });
    connect(ComboBoxLanguage, &QComboBox::activated, this, [this] { ComboBoxLanguageChange(); });
}

void TDlgSettings::TranslateUi()
{
    setWindowTitle(Tr(_("Preferences")));
    FGroupAnalysis->setTitle(Tr(_("Analysis")));
    CheckBoxGroupFiles->setText(Tr(_("Group files smaller than:")));
    LabelMegaByte->setText(Tr(_("MB")));
    FLabelMaxMruItems->setText(Tr(_("Maximum number of recent items:")));
    FLabelRoundingStyle->setText(Tr(_("Rounding rule for file size:")));
    FGroupAppearance->setTitle(Tr(_("Appearance")));
    FLabelBarStyle->setText(Tr(_("Percentage bar style:")));
    CheckBoxPaintBackgroundShape->setText(Tr(_("Paint percentage bar with background shape")));
    FLabelLanguage->setText(Tr(_("Language:")));
    ButtonOK->setText(Tr(_("&OK")));
    ButtonCancel->setText(Tr(_("&Cancel")));
    ButtonApply->setText(Tr(_("Apply")));
    // The lists hold translated names (rounding rules, bar styles): refilled with the controls.
}

void TDlgSettings::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        // Translating refills lists whose handlers would change the copy; it is kept aside.
        std::unique_ptr<TSettings> kept = FTempSettings ? FTempSettings->GetClone() : nullptr;
        TranslateUi();
        if (FTempSettings) {
            FTempSettings->Assign(*kept);
            FillControls();
        }
    }
    QDialog::changeEvent(event);
}

void TDlgSettings::FillControls()
{
    TSettings &s = *FTempSettings;
    CheckBoxGroupFiles->setChecked(s.GroupSmallFiles());
    EditGroupFileSize->setEnabled(s.GroupSmallFiles());
    LabelMegaByte->setEnabled(s.GroupSmallFiles());
    EditGroupFileSize->SetAsFloat(GroupFileSizeToMegaBytes(s.GroupFileSize()));
    EditMaxMruItems->SetAsInteger(s.MaxMruItems());
    CheckBoxPaintBackgroundShape->setChecked(s.PaintOptions().Contains(poPaintBackgroundShape));

    std::vector<std::string> painters;
    TZuBarChartPainterRegistry::GetInstance().GetStrings(painters, true);
    FillCombo(*CmbBoxBarChartPaintStyle, painters, PainterNameOfClass(s.BarChartPainterClass()));

    FillCombo(*CmbBoxRoundingStyle, RoundingStyleTexts(), RoundingStyleText(s.FileSizeRounding()));

    std::vector<std::string> languages;
    FillLanguageList(languages);
    const std::string code = s.LanguageCode();
    FillCombo(*ComboBoxLanguage, languages, GetLanguageDisplayName(code));
    if (ComboBoxLanguage->currentIndex() < 0)
        ComboBoxLanguage->setCurrentIndex(
            ComboBoxLanguage->findText(QString::fromStdString(GetBaseLanguageDisplayName(code)), Qt::MatchExactly));
}

bool TDlgSettings::Execute(TSettings &settings)
{
    FTempSettings = settings.GetClone();
    FillControls();
    const bool confirmed = exec() == QDialog::Accepted;
    if (confirmed)
        settings.Assign(*FTempSettings);
    FTempSettings.reset();
    if (OnApplySettings)
        OnApplySettings(settings);
    return confirmed;
}

void TDlgSettings::ApplyClick()
{
    if (!FTempSettings)
        return;
    // A new language reaches this dialog (and every other window) as a language change event.
    SwitchLanguage(FTempSettings->LanguageCode());
    FillControls();
    if (OnApplySettings)
        OnApplySettings(*FTempSettings);
}

void TDlgSettings::CheckBoxGroupFilesClick()
{
    const bool checked = CheckBoxGroupFiles->isChecked();
    EditGroupFileSize->setEnabled(checked);
    LabelMegaByte->setEnabled(checked);
    if (FTempSettings)
        FTempSettings->SetGroupSmallFiles(checked);
}

void TDlgSettings::EditGroupFileSizeChange()
{
    if (!FTempSettings)
        return;
    const double shown = EditGroupFileSize->AsFloat();
    // The box shows two decimals: as long as it shows the size in force, that exact size stays
    // (filling the box must not turn 1000000 bytes into 996147).
    if (shown == GroupFileSizeToMegaBytes(FTempSettings->GroupFileSize()))
        return;
    FTempSettings->SetGroupFileSize(static_cast<std::int64_t>(RoundHalfEven(shown * MegaByte)));
}

void TDlgSettings::EditMaxMruItemsChange()
{
    if (FTempSettings)
        FTempSettings->SetMaxMruItems(static_cast<std::uint16_t>(std::clamp(EditMaxMruItems->AsInteger(), 0, 65535)));
}

void TDlgSettings::CheckBoxPaintBackgroundShapeClick()
{
    if (FTempSettings)
        FTempSettings->SetPaintOption(poPaintBackgroundShape, CheckBoxPaintBackgroundShape->isChecked());
}

void TDlgSettings::CmbBoxRoundingStyleChange()
{
    if (FTempSettings)
        FTempSettings->SetFileSizeRounding(TextToRoundingStyle(CmbBoxRoundingStyle->currentText().toStdString()));
}

void TDlgSettings::CmbBoxBarChartPaintStyleChange()
{
    if (!FTempSettings)
        return;
    if (TZuBarChartPainterClass painterClass = TZuBarChartPainterRegistry::GetInstance().FindClassByName(
            CmbBoxBarChartPaintStyle->currentText().toStdString()))
        FTempSettings->SetBarChartPainterClass(std::string(painterClass->ClassName));
}

void TDlgSettings::ComboBoxLanguageChange()
{
    if (FTempSettings)
        FTempSettings->SetLanguageCode(ExtractLanguageCode(ComboBoxLanguage->currentText().toStdString()));
}

void TDlgSettings::PlaceDialog()
{
    try {
        adjustSize();
        const QScreen *screen = QGuiApplication::primaryScreen();
        const QRect full = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
        const QRect work = screen ? screen->availableGeometry() : full;
        const auto toRect = [](const QRect &r) { return TRect {r.left(), r.top(), r.right() + 1, r.bottom() + 1}; };
        const TRect defaults = CenteredWindowRect(width(), height(), toRect(full), toRect(work));
        const TRect bounds = TextToRect(FStore.ReadScreenSetting(BoundsKey, ""), defaults);
        // The size is the dialog's own; only the place is taken over.
        move(bounds.Left, bounds.Top);
    } catch (const std::exception &e) {
        ExceptionBox(e);
    }
}

void TDlgSettings::StorePosition()
{
    try {
        const QRect frame = frameGeometry();
        FStore.SaveScreenStr(BoundsKey,
            RectToText({frame.left(), frame.top(), frame.left() + frame.width(), frame.top() + frame.height()}));
    } catch (const std::exception &e) {
        ExceptionBox(e);
    }
}
