#include "ui/preferences/KdSpinEdit.h"

#include <charconv>
#include <cmath>
#include <string>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>

TKdSpinEdit::TKdSpinEdit(QWidget *parent)
    : QAbstractSpinBox(parent)
{
    // The text is kept valid here; the base class's own value machinery is not used.
    setKeyboardTracking(false);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    connect(lineEdit(), &QLineEdit::textChanged, this, [this] { Normalise(); });
    lineEdit()->setText(Canonical(FMinValue));
}

void TKdSpinEdit::SetValueType(TKdEditValueType type)
{
    FValueType = type;
    Normalise();
}

void TKdSpinEdit::SetUnsigned(bool value)
{
    FUnsigned = value;
    Normalise();
}

void TKdSpinEdit::SetRange(qint16 minValue, qint16 maxValue)
{
    FMinValue = minValue;
    FMaxValue = std::max(minValue, maxValue);
    Normalise();
}

QChar TKdSpinEdit::DecimalSeparator() const
{
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QLatin1Char('.') : point.at(0);
}

bool TKdSpinEdit::Convert(const QString &text, double &value) const
{
    const QChar separator = DecimalSeparator();
    std::string plain;
    plain.reserve(static_cast<std::size_t>(text.size()) + 2);
    bool digits = false, point = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            digits = true;
            plain += static_cast<char>(c.unicode());
        } else if (c == QLatin1Char('-') && i == 0 && !FUnsigned) {
            plain += '-';
        } else if (c == separator && FValueType == TKdEditValueType::vtFloat && !point) {
            point = true;
            plain += '.';
        } else {
            return false;
        }
    }
    if (!digits)
        return false;
    // "2." and ".5" are numbers while they are typed.
    if (plain.back() == '.')
        plain += '0';
    const auto dot = plain.find('.');
    if (dot == 0 || (dot == 1 && plain[0] == '-'))
        plain.insert(dot, 1, '0');
    const char *begin = plain.data() + (plain[0] == '-' ? 1 : 0);
    double parsed = 0;
    const auto [end, error] = std::from_chars(begin, plain.data() + plain.size(), parsed);
    if (error != std::errc() || end != plain.data() + plain.size())
        return false;
    value = plain[0] == '-' ? -parsed : parsed;
    return true;
}

double TKdSpinEdit::Clamp(double value) const
{
    if (std::isnan(value))
        return FMinValue;
    return std::clamp(value, double(FMinValue), double(FMaxValue));
}

QString TKdSpinEdit::FloatToText(double value)
{
    QString text = QString::number(value, 'f', QLocale::FloatingPointShortest);
    const QString point = QLocale().decimalPoint();
    if (!point.isEmpty())
        text.replace(QLatin1Char('.'), point.at(0));
    return text;
}

QString TKdSpinEdit::Canonical(double value) const
{
    if (FValueType == TKdEditValueType::vtFloat)
        return FloatToText(value == 0 ? 0.0 : value); // no "-0"
    return QString::number(static_cast<long long>(std::llround(value)));
}

void TKdSpinEdit::Normalise()
{
    if (FNormalising)
        return;
    const QString text = lineEdit()->text();
    if (FValueType != TKdEditValueType::vtString) {
        double value = 0;
        const bool converted = Convert(text, value);
        const double clamped = Clamp(
            converted ? (FValueType == TKdEditValueType::vtInteger ? std::trunc(value) : value) : double(FMinValue));
        const QString canonical = Canonical(clamped);
        // A decimal being typed ("2." on the way to "2.5", "1.0" on the way to "1.05") keeps its
        // form as long as it stands for the value shown and has no superfluous leading zeros.
        bool typing = false;
        if (converted && clamped == value && FValueType == TKdEditValueType::vtFloat) {
            const qsizetype at = text.indexOf(DecimalSeparator());
            const QString whole = text.left(std::max<qsizetype>(at, 0)).remove(QLatin1Char('-'));
            typing = at >= 0 && (whole.size() <= 1 || !whole.startsWith(QLatin1Char('0')));
        }
        if (!typing && text != canonical)
            WriteText(canonical);
    }
    const QString now = lineEdit()->text();
    if (now != FLastText) {
        FLastText = now;
        update();
        emit Changed();
    }
}

void TKdSpinEdit::WriteText(const QString &text)
{
    FNormalising = true;
    lineEdit()->setText(text);
    lineEdit()->setCursorPosition(static_cast<int>(text.size()));
    FNormalising = false;
}

double TKdSpinEdit::AsFloat() const
{
    double value = 0;
    return Convert(lineEdit()->text(), value) ? Clamp(value) : double(FMinValue);
}

int TKdSpinEdit::AsInteger() const
{
    return static_cast<int>(std::llround(std::trunc(AsFloat())));
}

void TKdSpinEdit::SetAsFloat(double value)
{
    lineEdit()->setText(Canonical(Clamp(value)));
}

void TKdSpinEdit::SetAsInteger(int value)
{
    SetAsFloat(value);
}

QString TKdSpinEdit::Text() const
{
    return lineEdit()->text();
}

void TKdSpinEdit::SetText(const QString &text)
{
    lineEdit()->setText(text);
}

void TKdSpinEdit::stepBy(int steps)
{
    if (FValueType == TKdEditValueType::vtString || steps == 0)
        return;
    SetAsFloat(AsFloat() + steps * FIncrement);
    selectAll();
}

QValidator::State TKdSpinEdit::validate(QString &, int &) const
{
    return QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled TKdSpinEdit::stepEnabled() const
{
    if (isReadOnly() || FValueType == TKdEditValueType::vtString)
        return StepNone;
    StepEnabled enabled = StepNone;
    const double value = AsFloat();
    if (value < FMaxValue)
        enabled |= StepUpEnabled;
    if (value > FMinValue)
        enabled |= StepDownEnabled;
    return enabled;
}

void TKdSpinEdit::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    const bool command = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (FValueType == TKdEditValueType::vtString || typed.isEmpty() || command || !typed.at(0).isPrint()) {
        QAbstractSpinBox::keyPressEvent(event);
        return;
    }
    const QChar c = typed.at(0);
    const QString text = lineEdit()->text();
    const QChar separator = DecimalSeparator();
    event->accept();
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
        QAbstractSpinBox::keyPressEvent(event);
    } else if (c == QLatin1Char('-') && !FUnsigned && !text.contains(QLatin1Char('-'))) {
        lineEdit()->setText(QLatin1Char('-') + text);
    } else if (FValueType == TKdEditValueType::vtFloat && (c == QLatin1Char('.') || c == QLatin1Char(','))
        && !text.contains(separator)) {
        lineEdit()->insert(QString(separator));
    } else {
        QApplication::beep();
    }
}

void TKdSpinEdit::focusInEvent(QFocusEvent *event)
{
    QAbstractSpinBox::focusInEvent(event);
    selectAll();
}

void TKdSpinEdit::focusOutEvent(QFocusEvent *event)
{
    // A number left half-typed ("2.") is shown in its canonical form.
    if (FValueType != TKdEditValueType::vtString) {
        const QString canonical = Canonical(AsFloat());
        if (lineEdit()->text() != canonical)
            lineEdit()->setText(canonical);
    }
    QAbstractSpinBox::focusOutEvent(event);
}
