#include "tools/NumberBaseEdit.h"

#include <QFontDatabase>
#include <QValidator>

namespace keldrin {

namespace {

// Lets through only what reads as a number in the field's current base.
class BaseValidator : public QValidator {
  public:
    explicit BaseValidator(const NumberBaseEdit* field) : QValidator(nullptr), field_(field) {}
    State validate(QString& input, int&) const override {
        if (input.isEmpty() || input == QLatin1String("$")) return Intermediate;
        return ParseInBase(input, field_->base()) ? Acceptable : Invalid;
    }

  private:
    const NumberBaseEdit* field_;
};

}  // namespace

NumberBaseEdit::NumberBaseEdit(QWidget* parent) : QLineEdit(parent) {
    auto* validator = new BaseValidator(this);
    validator->setParent(this);
    setValidator(validator);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    showValue();
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (const std::optional<std::uint64_t> v = ParseInBase(text, base_)) {
            value_ = *v;
            emit valueChanged(value_);
        }
    });
    // A field left blank or with a lone "$" shows its value again.
    connect(this, &QLineEdit::editingFinished, this, &NumberBaseEdit::showValue);
}

void NumberBaseEdit::setValue(std::uint64_t value) {
    const bool changed = value != value_;
    value_ = value;
    showValue();
    if (changed) emit valueChanged(value_);
}

void NumberBaseEdit::setBase(NumberBase base) {
    base_ = base;
    showValue();
}

QString NumberBaseEdit::AsHex() const {
    return ValueToAsHex(value_);
}

bool NumberBaseEdit::setAsHex(const QString& text) {
    const std::optional<std::uint64_t> v = AsHexToValue(text);
    if (!v) return false;
    setValue(*v);
    return true;
}

void NumberBaseEdit::showValue() {
    setText(FormatInBase(value_, base_));
}

}  // namespace keldrin
