#include "ui/AboutBox.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/ShellTexts.h"
#include "common/Translate.h"
#include "shell/ShellServices.h"

namespace {

QString Q(const std::string &text)
{
    return QString::fromStdString(text);
}

} // namespace

TFormAbout::TFormAbout(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FormAbout"));
    setWindowTitle(Q(_("About Zumbrel")));
    auto *icon = new QLabel(this);
    QIcon appIcon = QApplication::windowIcon();
    if (appIcon.isNull())
        appIcon = QIcon::fromTheme(QStringLiteral("drive-harddisk"));
    icon->setPixmap(appIcon.pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop);

    auto *name = new QLabel(QStringLiteral("Zumbrel"), this);
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    name->setFont(big);
    auto *purpose = new QLabel(Q(_("Shows what takes up the space on your disks.")), this);
    // A program without a version shows an empty line.
    FVersion = new QLabel(Q(VersionCaption(FileVersion("/proc/self/exe"))), this);
    FVersion->setObjectName(QStringLiteral("Version"));
    auto *rights = new QLabel(QStringLiteral("© ") + QString::fromUtf8(RightsHolder), this);
    const QString url = QString::fromStdString(ProgramHomepageUrl());
    FHomepage = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(url.toHtmlEscaped()), this);
    FHomepage->setObjectName(QStringLiteral("Homepage"));
    FHomepage->setTextFormat(Qt::RichText);
    FHomepage->setOpenExternalLinks(true);
    const std::string translator = CatalogTranslator();
    FTranslator
        = new QLabel(translator.empty() ? QString() : Q(_("Translation:")) + QLatin1Char(' ') + Q(translator), this);
    FTranslator->setObjectName(QStringLiteral("Translator"));
    FTranslator->setVisible(!translator.empty());

    auto *text = new QVBoxLayout;
    for (QLabel *label : {name, purpose, FVersion, rights, FHomepage, FTranslator})
        text->addWidget(label);
    auto *top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(text, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Q(_("OK")));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString TFormAbout::VersionLine() const
{
    return FVersion->text();
}

QString TFormAbout::HomepageLine() const
{
    return FHomepage->text();
}

QString TFormAbout::TranslatorLine() const
{
    return FTranslator->text();
}
