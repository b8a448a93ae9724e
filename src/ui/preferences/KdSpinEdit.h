#pragma once

#include <QAbstractSpinBox>

enum class TKdEditValueType { vtString, vtInteger, vtFloat };

// A number box with up and down arrows that keeps its text a valid number at all times.
//
// - Typing: digits and backspace are taken; a minus sign (when the edit is not Unsigned and the
//   text has none) is put in front of the text; for vtFloat a "." or "," becomes the user's
//   decimal separator when the text has none yet. Every other character is refused with the
//   warning sound; keys that type nothing (arrows, Home, shortcuts, Enter) work as usual.
// - Every change of the text is normalised before textChanged/valueChanged are raised: a text
//   that is no number gives the minimum, values are clamped to Minimum ... Maximum, and the
//   text is written back in its canonical form (decimal values in the shortest general form of
//   the user's locale). A decimal number being typed keeps its form while it still stands for
//   the same value ("2." or "1.0" on the way to "2.5" or "1.05").
// - The arrows and the Up and Down keys move the value by one Increment, Page Up and Page Down
//   by ten, never beyond the limits.
// - Entering the edit selects its whole text.
//
// vtString takes any text unchanged. User interface thread only.
class TKdSpinEdit : public QAbstractSpinBox
{
    Q_OBJECT

public:
    explicit TKdSpinEdit(QWidget *parent = nullptr);

    [[nodiscard]] TKdEditValueType ValueType() const { return FValueType; }
    void SetValueType(TKdEditValueType type);
    [[nodiscard]] bool Unsigned() const { return FUnsigned; }
    void SetUnsigned(bool value);
    // 16-bit limits as the control library has them; defaults 0 and 100.
    [[nodiscard]] qint16 MinValue() const { return FMinValue; }
    [[nodiscard]] qint16 MaxValue() const { return FMaxValue; }
    void SetRange(qint16 minValue, qint16 maxValue);
    [[nodiscard]] double Increment() const { return FIncrement; }
    void SetIncrement(double step) { FIncrement = step; }

    // The value of the text (the minimum when it is no number).
    [[nodiscard]] double AsFloat() const;
    [[nodiscard]] int AsInteger() const;
    // Sets the value, normalised like typed text.
    void SetAsFloat(double value);
    void SetAsInteger(int value);
    [[nodiscard]] QString Text() const;
    void SetText(const QString &text);

    // The canonical text of `value`: whole numbers as they are, decimals in the shortest
    // general form with the decimal separator of QLocale().
    [[nodiscard]] static QString FloatToText(double value);

    // The text box, for selecting and placing the cursor.
    using QAbstractSpinBox::lineEdit;

    void stepBy(int steps) override;
    QValidator::State validate(QString &input, int &pos) const override;

signals:
    // The normalised text changed (by typing, arrows or the program).
    void Changed();

protected:
    [[nodiscard]] StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    [[nodiscard]] QChar DecimalSeparator() const;
    // Parses `text` as this edit's kind of number; false when it is none.
    [[nodiscard]] bool Convert(const QString &text, double &value) const;
    [[nodiscard]] double Clamp(double value) const;
    [[nodiscard]] QString Canonical(double value) const;
    void Normalise();
    void WriteText(const QString &text);

    TKdEditValueType FValueType = TKdEditValueType::vtInteger;
    bool FUnsigned = false;
    qint16 FMinValue = 0;
    qint16 FMaxValue = 100;
    double FIncrement = 1.0;
    bool FNormalising = false;
    QString FLastText;
};
