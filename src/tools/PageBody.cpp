#include "tools/PageBody.h"

#include <QLayout>
#include <QString>
#include <QVBoxLayout>
#include <QWidget>

namespace keldrin {

QWidget* AddPageBody(QWidget* sheet, const QString& objectName) {
    auto* page = new QWidget(sheet);
    page->setObjectName(objectName);
    if (sheet->layout()) {
        sheet->layout()->addWidget(page);
    } else {
        auto* sheetLayout = new QVBoxLayout(sheet);
        sheetLayout->setContentsMargins(0, 0, 0, 0);
        sheetLayout->addWidget(page);
    }
    return page;
}

}  // namespace keldrin
