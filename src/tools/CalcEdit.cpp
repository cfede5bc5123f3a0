#include "tools/CalcEdit.h"

#include <QDoubleValidator>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "tools/Calculator.h"

namespace keldrin {

CalcEdit::CalcEdit(QWidget* parent)
    : QWidget(parent), field_(new QLineEdit(this)), button_(new QToolButton(this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    row->addWidget(field_, 1);
    row->addWidget(button_);
    button_->setText(QStringLiteral("..."));
    button_->setToolTip(QStringLiteral("Calculator"));
    field_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* validator = new QDoubleValidator(field_);
    validator->setLocale(QLocale::c());
    validator->setNotation(QDoubleValidator::ScientificNotation);
    field_->setValidator(validator);
    field_->setText(FormatCalcValue(value_));
    connect(field_, &QLineEdit::textEdited, this, [this](const QString& text) {
        bool ok = false;
        const double v = text.toDouble(&ok);
        if (ok && v != value_) {
            value_ = v;
            emit valueChanged(value_);
        }
    });
    connect(field_, &QLineEdit::editingFinished, this,
            [this] { field_->setText(FormatCalcValue(value_)); });
    connect(button_, &QToolButton::clicked, this, &CalcEdit::openCalculator);
}

CalcEdit::~CalcEdit() = default;

void CalcEdit::setValue(double value) {
    const bool changed = value != value_;
    value_ = value;
    field_->setText(FormatCalcValue(value_));
    if (changed) emit valueChanged(value_);
}

QString CalcEdit::calculatorDisplay() const {
    return calc_ ? calc_->display() : QString();
}

void CalcEdit::buildPopup() {
    popup_ = new QFrame(this, Qt::Popup);
    popup_->setObjectName(QStringLiteral("calculator"));
    popup_->setFrameShape(QFrame::Panel);
    popup_->setFrameShadow(QFrame::Raised);
    popup_->installEventFilter(this);
    auto* grid = new QGridLayout(popup_);
    grid->setSpacing(3);
    display_ = new QLabel(popup_);
    display_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    display_->setFrameShape(QFrame::Panel);
    display_->setFrameShadow(QFrame::Sunken);
    display_->setMinimumWidth(170);
    grid->addWidget(display_, 0, 0, 1, 4);
    const struct {
        char key;
        const char* caption;
        int row, column;
    } keys[] = {{'C', "C", 1, 0}, {'/', "\u00F7", 1, 3}, {'7', "7", 2, 0}, {'8', "8", 2, 1},
                {'9', "9", 2, 2}, {'*', "\u00D7", 2, 3}, {'4', "4", 3, 0}, {'5', "5", 3, 1},
                {'6', "6", 3, 2}, {'-', "\u2212", 3, 3}, {'1', "1", 4, 0}, {'2', "2", 4, 1},
                {'3', "3", 4, 2}, {'+', "+", 4, 3},      {'0', "0", 5, 0}, {'.', ".", 5, 1},
                {'=', "=", 5, 2}};
    for (const auto& k : keys) {
        auto* b = new QPushButton(QString::fromUtf8(k.caption), popup_);
        b->setObjectName(QStringLiteral("calcKey_") + QLatin1Char(k.key));
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(40, 30);
        grid->addWidget(b, k.row, k.column, 1, k.key == '=' ? 2 : 1);
        if (k.key == '=') b->setFixedSize(83, 30);
        const char key = k.key;
        connect(b, &QPushButton::clicked, this, [this, key] { pressCalculatorKey(key); });
    }
}

void CalcEdit::openCalculator() {
    if (!popup_) buildPopup();
    calc_ = std::make_unique<Calculator>(value_);
    display_->setText(calc_->display());
    popup_->adjustSize();
    popup_->move(mapToGlobal(QPoint(width() - popup_->width(), height())));
    popup_->show();
}

void CalcEdit::pressCalculatorKey(char key) {
    if (!calc_) calc_ = std::make_unique<Calculator>(value_);
    calc_->press(key);
    if (display_) display_->setText(calc_->display());
    if (key == '=' && !calc_->failed()) setValue(calc_->value());
}

bool CalcEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == popup_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            pressCalculatorKey('=');
            popup_->hide();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            popup_->hide();
            return true;
        }
        if (key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) {
            pressCalculatorKey('C');
            return true;
        }
        if (text.size() == 1 && QStringLiteral("0123456789.+-*/=Cc").contains(text)) {
            pressCalculatorKey(text == QLatin1String("c") ? 'C' : text.at(0).toLatin1());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace keldrin
