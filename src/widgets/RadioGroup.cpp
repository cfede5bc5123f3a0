#include "widgets/RadioGroup.h"

#include <QRadioButton>
#include <QVBoxLayout>

namespace keldrin {

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent) {
    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items.at(i), this);
        buttons_.addButton(b, i);
        layout->addWidget(b);
    }
    layout->addStretch(1);
    connect(&buttons_, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on) emit itemIndexChanged(id);
    });
}

void RadioGroup::setItemIndex(int index) {
    if (QAbstractButton* b = buttons_.button(index)) {
        b->setChecked(true);
    } else if (QAbstractButton* current = buttons_.checkedButton()) {
        buttons_.setExclusive(false);
        current->setChecked(false);
        buttons_.setExclusive(true);
    }
}

}  // namespace keldrin
