// Control values and attributes.
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImageReader>
#include <QLineEdit>
#include <QLocale>
#include <QSpinBox>

#include <algorithm>
#include <cmath>

#include "platform/ui_internal.h"

namespace platform {
namespace {

bool holdsText(const Control& c)
{
    return c.kind == Kind::Text || c.kind == Kind::Reading || c.kind == Kind::Message;
}

QString colorSheet(int rgb)
{
    return QString("color: #%1;").arg(static_cast<unsigned>(rgb) & 0xFFFFFFu, 6, 16, QChar('0'));
}

// The number in an entry's text without prefix, suffix and blanks, in the C
// format.
QString bareNumber(const QString& prefix, const QString& suffix, QString text)
{
    if (!prefix.isEmpty() && text.startsWith(prefix))
        text.remove(0, prefix.size());
    if (!suffix.isEmpty() && text.endsWith(suffix))
        text.chop(suffix.size());
    return text.trimmed();
}

// The user may type the decimal separator of the own locale, or a comma in
// any case, as well as the point: each is the one decimal point and becomes
// a point before the C parse. Nothing is ever read as a digit-group mark.
QString withDecimalPoint(QString text)
{
    const QString own = QLocale::system().decimalPoint();
    if (!own.isEmpty() && own != QStringLiteral("."))
        text.replace(own, QStringLiteral("."));
    text.replace(QChar(','), QChar('.'));
    return text;
}

// Sign, digits and (for reals) one decimal point: anything else cannot
// become a number by typing on.
bool typable(const QString& typed, bool real)
{
    const QString text = withDecimalPoint(typed);
    bool point = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch.isDigit())
            continue;
        if ((ch == '-' || ch == '+') && i == 0)
            continue;
        if (real && ch == '.' && !point) {
            point = true;
            continue;
        }
        return false;
    }
    return true;
}

// The number a typed text stands for, read the C way without digit groups.
double typedNumber(const QString& text, bool* ok)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    return c.toDouble(withDecimalPoint(text), ok);
}

// A number's state while typed: in range, on its way (or beyond the range,
// to be brought to the limit on commit), or impossible.
template <typename T>
QValidator::State numberState(const QString& text, bool real, T min, T max)
{
    if (!typable(text, real))
        return QValidator::Invalid;
    bool ok = false;
    const double v = typedNumber(text, &ok);
    if (!ok)
        return QValidator::Intermediate;
    return v >= static_cast<double>(min) && v <= static_cast<double>(max)
               ? QValidator::Acceptable
               : QValidator::Intermediate;
}

}  // namespace

// ---------------------------------------------------------------- entries

QValidator::State IntEntry::validate(QString& input, int&) const
{
    return numberState(bareNumber(prefix(), suffix(), input), false, minimum(), maximum());
}

void IntEntry::fixup(QString& input) const
{
    bool ok = false;
    const double v = typedNumber(bareNumber(prefix(), suffix(), input), &ok);
    if (!ok)
        return;  // nothing that reads as a number: the entry keeps its value
    const double kept = std::clamp(std::round(v), static_cast<double>(minimum()),
                                   static_cast<double>(maximum()));
    input = prefix() + textFromValue(static_cast<int>(kept)) + suffix();
}

int IntEntry::valueFromText(const QString& text) const
{
    bool ok = false;
    const double v = typedNumber(bareNumber(prefix(), suffix(), text), &ok);
    if (!ok)
        return value();
    return static_cast<int>(
        std::clamp(std::round(v), static_cast<double>(minimum()), static_cast<double>(maximum())));
}

QString IntEntry::textFromValue(int v) const
{
    return blank_ ? QString() : QString::number(v);
}

void IntEntry::setBlank(bool blank)
{
    if (blank_ == blank)
        return;
    blank_ = blank;
    lineEdit()->setText(textFromValue(value()));
}

QValidator::State RealEntry::validate(QString& input, int&) const
{
    return numberState(bareNumber(prefix(), suffix(), input), true, minimum(), maximum());
}

void RealEntry::fixup(QString& input) const
{
    bool ok = false;
    const double v = typedNumber(bareNumber(prefix(), suffix(), input), &ok);
    if (!ok)
        return;
    input = prefix() + textFromValue(std::clamp(v, minimum(), maximum())) + suffix();
}

double RealEntry::valueFromText(const QString& text) const
{
    bool ok = false;
    const double v = typedNumber(bareNumber(prefix(), suffix(), text), &ok);
    if (!ok || !std::isfinite(v))
        return value();
    return std::clamp(v, minimum(), maximum());
}

QString RealEntry::textFromValue(double v) const
{
    return blank_ ? QString() : QLocale::c().toString(v, 'f', decimals());
}

void RealEntry::setBlank(bool blank)
{
    if (blank_ == blank)
        return;
    blank_ = blank;
    lineEdit()->setText(textFromValue(value()));
}

// ---------------------------------------------------------------- values

QVariant controlValue(const Control& c)
{
    switch (c.kind) {
    case Kind::Numeric:
        if (c.type == DataType::Int)
            return static_cast<QSpinBox*>(c.inner)->value();
        return static_cast<QDoubleSpinBox*>(c.inner)->value();
    case Kind::Text:
        return static_cast<QLineEdit*>(c.inner)->text();
    case Kind::Reading:
        return static_cast<ReadingWidget*>(c.inner)->text();
    case Kind::Message:
        return static_cast<QLabel*>(c.inner)->text();
    case Kind::Led:
        return static_cast<LedWidget*>(c.inner)->isOn() ? 1 : 0;
    case Kind::Switch:
        return static_cast<SwitchWidget*>(c.inner)->isChecked() ? 1 : 0;
    case Kind::Ring: {
        auto* box = static_cast<QComboBox*>(c.inner);
        return box->currentIndex() < 0 ? QVariant(0) : box->currentData();
    }
    default:
        return {};
    }
}

void setControlValue(Control& c, const QVariant& value)
{
    switch (c.kind) {
    case Kind::Numeric: {
        if (c.type == DataType::Int) {
            auto* box = static_cast<QSpinBox*>(c.inner);
            const QSignalBlocker block(box);
            box->setValue(value.toInt());
        } else {
            auto* box = static_cast<QDoubleSpinBox*>(c.inner);
            const QSignalBlocker block(box);
            double v = value.toDouble();
            if (c.type == DataType::Float)
                v = static_cast<double>(static_cast<float>(v));
            box->setValue(v);
        }
        break;
    }
    case Kind::Text: {
        auto* edit = static_cast<QLineEdit*>(c.inner);
        const QString text = value.toString();
        // A live reading is written with every frame; redraw only a change.
        if (edit->text() == text)
            break;
        const QSignalBlocker block(edit);
        edit->setText(text);
        edit->setCursorPosition(0);
        break;
    }
    case Kind::Reading:
        static_cast<ReadingWidget*>(c.inner)->setText(value.toString());
        break;
    case Kind::Message:
        static_cast<QLabel*>(c.inner)->setText(value.toString());
        break;
    case Kind::Led:
        static_cast<LedWidget*>(c.inner)->setOn(value.toInt() != 0);
        break;
    case Kind::Switch: {
        auto* sw = static_cast<SwitchWidget*>(c.inner);
        const QSignalBlocker block(sw);
        sw->setChecked(value.toInt() != 0);
        sw->update();
        break;
    }
    case Kind::Ring: {
        auto* box = static_cast<QComboBox*>(c.inner);
        const int i = box->findData(value.toInt());
        if (i >= 0) {
            const QSignalBlocker block(box);
            box->setCurrentIndex(i);
        }
        break;
    }
    default:
        break;
    }
}

bool acceptsValue(const Control& c, const QVariant& value, QVariant* converted)
{
    bool ok = false;
    const QString text = value.toString();
    switch (c.kind) {
    case Kind::Numeric:
        if (c.type == DataType::Int) {
            const int v = text.trimmed().toInt(&ok);
            if (!ok || v < c.minimum || v > c.maximum)
                return false;
            *converted = v;
        } else {
            const double v = text.trimmed().toDouble(&ok);
            if (!ok || !std::isfinite(v) || v < c.minimum || v > c.maximum)
                return false;
            *converted = v;
        }
        return true;
    case Kind::Led:
    case Kind::Switch: {
        const int v = text.trimmed().toInt(&ok);
        if (!ok || (v != 0 && v != 1))
            return false;
        *converted = v;
        return true;
    }
    case Kind::Ring: {
        const int v = text.trimmed().toInt(&ok);
        if (!ok || static_cast<QComboBox*>(c.inner)->findData(v) < 0)
            return false;
        *converted = v;
        return true;
    }
    case Kind::Text:
    case Kind::Reading:
    case Kind::Message:
        *converted = text;
        return true;
    default:
        return false;
    }
}

}  // namespace platform

using namespace platform;

// ---------------------------------------------------------------- controls

int SetCtrlVal(int panel, int control, int value)
{
    Control* c = findControl(panel, control);
    if (!c)
        return -1;
    if (holdsText(*c))
        setControlValue(*c, QString::number(value));
    else
        setControlValue(*c, value);
    return 0;
}

int SetCtrlVal(int panel, int control, double value)
{
    Control* c = findControl(panel, control);
    if (!c)
        return -1;
    if (holdsText(*c))
        setControlValue(*c, QString::number(value));
    else if (c->kind == Kind::Numeric && c->type != DataType::Int)
        setControlValue(*c, value);
    else
        setControlValue(*c, static_cast<int>(value));
    return 0;
}

int SetCtrlVal(int panel, int control, const char* value)
{
    Control* c = findControl(panel, control);
    if (!c)
        return -1;
    const QString text = QString::fromLocal8Bit(value ? value : "");
    if (holdsText(*c))
        setControlValue(*c, text);
    else
        setControlValue(*c, text.toDouble());
    return 0;
}

int GetCtrlVal(int panel, int control, int* value)
{
    Control* c = findControl(panel, control);
    if (!c || !value)
        return -1;
    const QVariant v = controlValue(*c);
    *value = c->type == DataType::Int ? v.toInt() : static_cast<int>(v.toDouble());
    return 0;
}

int GetCtrlVal(int panel, int control, float* value)
{
    Control* c = findControl(panel, control);
    if (!c || !value)
        return -1;
    *value = static_cast<float>(controlValue(*c).toDouble());
    return 0;
}

int GetCtrlVal(int panel, int control, double* value)
{
    Control* c = findControl(panel, control);
    if (!c || !value)
        return -1;
    *value = controlValue(*c).toDouble();
    return 0;
}

int GetCtrlVal(int panel, int control, char* value, std::size_t size)
{
    Control* c = findControl(panel, control);
    if (!c || !value)
        return -1;
    copyOut(controlValue(*c).toString(), value, size);
    return 0;
}

int SetCtrlAttribute(int panel, int control, int attribute, int value)
{
    Control* c = findControl(panel, control);
    if (!c)
        return -1;
    switch (attribute) {
    case ATTR_VISIBLE:
        if (c->outer)
            c->outer->setVisible(value != 0);
        return 0;
    case ATTR_DIMMED:
        if (c->outer)
            c->outer->setEnabled(value == 0);
        return 0;
    case ATTR_TEXT_COLOR:
        c->textColor = value;
        if (c->inner)
            c->inner->setStyleSheet(colorSheet(value));
        return 0;
    case ATTR_ENABLED:
        if (!c->timer)
            return -1;
        if (value)
            c->timer->start();
        else
            c->timer->stop();
        return 0;
    case ATTR_INTERVAL:
        return SetCtrlAttribute(panel, control, attribute, static_cast<double>(value));
    case ATTR_POINTS_PER_SCREEN:
        if (!c->strip)
            return -1;
        c->strip->setPointsPerScreen(value);
        return 0;
    default:
        return -1;
    }
}

int SetCtrlAttribute(int panel, int control, int attribute, double value)
{
    Control* c = findControl(panel, control);
    if (!c)
        return -1;
    if (attribute == ATTR_INTERVAL) {
        if (!c->timer)
            return -1;
        // A timer cannot tick faster than it can be served; 1 ms is the floor.
        c->interval = value;
        const int ms = static_cast<int>(std::lround(std::max(0.001, value) * 1000.0));
        c->timer->setInterval(ms);
        return 0;
    }
    return SetCtrlAttribute(panel, control, attribute, static_cast<int>(value));
}

int SetCtrlAttribute(int panel, int control, int attribute, const char* value)
{
    Control* c = findControl(panel, control);
    if (!c || attribute != ATTR_LABEL_TEXT)
        return -1;
    if (c->label)
        c->label->setText(QString::fromLocal8Bit(value ? value : ""));
    return 0;
}

int GetCtrlAttribute(int panel, int control, int attribute, int* value)
{
    Control* c = findControl(panel, control);
    if (!c || !value)
        return -1;
    switch (attribute) {
    case ATTR_VISIBLE:
        *value = c->outer && !c->outer->isHidden() ? 1 : 0;
        return 0;
    case ATTR_DIMMED:
        *value = c->outer && !c->outer->isEnabled() ? 1 : 0;
        return 0;
    case ATTR_TEXT_COLOR:
        *value = c->textColor;
        return 0;
    case ATTR_ENABLED:
        *value = c->timer && c->timer->isActive() ? 1 : 0;
        return 0;
    case ATTR_POINTS_PER_SCREEN:
        *value = c->strip ? c->strip->pointsPerScreen() : 0;
        return 0;
    case ATTR_NUM_TRACES:
        *value = c->strip ? c->strip->traces() : 0;
        return 0;
    default:
        return -1;
    }
}

int GetCtrlAttribute(int panel, int control, int attribute, double* value)
{
    Control* c = findControl(panel, control);
    if (!c || !value)
        return -1;
    if (attribute == ATTR_INTERVAL) {
        *value = c->interval;
        return 0;
    }
    int v = 0;
    const int rc = GetCtrlAttribute(panel, control, attribute, &v);
    *value = v;
    return rc;
}

int GetCtrlAttribute(int panel, int control, int attribute, char* value, std::size_t size)
{
    Control* c = findControl(panel, control);
    if (!c || attribute != ATTR_LABEL_TEXT)
        return -1;
    copyOut(c->label ? c->label->text() : QString(), value, size);
    return 0;
}

int DefaultCtrl(int panel, int control)
{
    Control* c = findControl(panel, control);
    if (!c)
        return -1;
    if (c->initial.isValid())
        setControlValue(*c, c->initial);
    return 0;
}

int ResetTimer(int panel, int control)
{
    Control* c = findControl(panel, control);
    if (!c || !c->timer)
        return -1;
    if (c->timer->isActive())
        c->timer->start();  // restarts the interval from now
    return 0;
}

int DisplayImageFile(int panel, int control, const char* fileName)
{
    Control* c = findControl(panel, control);
    if (!c || c->kind != Kind::Picture)
        return -1;
    QImageReader reader(dataFilePath(fileName));
    const QImage image = reader.read();
    if (image.isNull())
        return -2;
    auto* l = static_cast<QLabel*>(c->inner);
    l->setPixmap(QPixmap::fromImage(image).scaled(l->size(), Qt::KeepAspectRatio,
                                                  Qt::SmoothTransformation));
    return 0;
}
