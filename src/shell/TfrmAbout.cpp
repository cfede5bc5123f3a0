#include "shell/TfrmAbout.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace keldrin {

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TfrmAbout"));
    setWindowTitle(QStringLiteral("About Keldrin"));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("Keldrin"), this);
    QFont f = title->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.6);
    title->setFont(f);
    layout->addWidget(title);
    layout->addWidget(
        new QLabel(QStringLiteral("Programs and tests devices on a serial port.\nVersion %1")
                       .arg(QStringLiteral(KELDRIN_VERSION)),
                   this));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignRight);
    hide();
}

}  // namespace keldrin
