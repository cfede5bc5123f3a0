#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

namespace keldrin {

// A framed group of exclusive choices addressed by index; -1 when none is chosen.
class RadioGroup : public QGroupBox {
    Q_OBJECT
  public:
    RadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);
    int itemIndex() const { return buttons_.checkedId(); }
    void setItemIndex(int index);
    QAbstractButton* item(int index) const { return buttons_.button(index); }

  signals:
    void itemIndexChanged(int index);

  private:
    QButtonGroup buttons_;
};

}  // namespace keldrin
