#pragma once

#include <QDialog>

class QLabel;

// The About box: program name, version of the build, rights holder, homepage link and the
// translator named by the catalog in use.
class TFormAbout final : public QDialog
{
    Q_OBJECT

public:
    explicit TFormAbout(QWidget *parent = nullptr);

    [[nodiscard]] QString VersionLine() const;
    [[nodiscard]] QString HomepageLine() const;
    [[nodiscard]] QString TranslatorLine() const;

private:
    QLabel *FVersion = nullptr;
    QLabel *FHomepage = nullptr;
    QLabel *FTranslator = nullptr;
};
