#include "tools/HexEditorPage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <cerrno>
#include <optional>

#include "platform/Guard.h"
#include "platform/Seams.h"
#include "tools/FileAccess.h"
#include "tools/PageBody.h"
#include "widgets/HexView.h"

namespace keldrin {

const QString HexEditorPage::kOpenFilter = QStringLiteral(
    "HEX and Bin (*.hex;*.bin)|*.hex;*.bin|TEXT (*.txt)|*.txt|Project File (*.cmd)|*.cmd|All "
    "files|*.*");

namespace {

[[noreturn]] void raiseOpenError(const QString& fileName, int error) {
    throw EFOpenError(FileOpenErrorText(fileName, error).toLocal8Bit().toStdString());
}

}  // namespace

HexEditorPage::HexEditorPage(QWidget* sheet, HexEditorLinks links)
    : QObject(sheet), links_(std::move(links)) {
    QWidget* page = AddPageBody(sheet, QStringLiteral("HexEditorPageBody"));
    MPHexEditorEx1 = new HexView(page);
    MPHexEditorEx1->setObjectName(QStringLiteral("MPHexEditorEx1"));
    btnOpenHex = new QPushButton(QStringLiteral("Open File"), page);
    btnOpenHex->setObjectName(QStringLiteral("btnOpenHex"));
    btnOpenHex->setToolTip(
        QStringLiteral("Shows any file in the hex view (Ctrl+G: go to offset, "
                       "Ctrl+F: find bytes or text)"));
    btnOpenHex->setMinimumSize(110, 30);

    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(MPHexEditorEx1, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(btnOpenHex);
    row->addStretch(1);
    column->addLayout(row);

    connectGuarded(btnOpenHex, &QPushButton::clicked, this, "btnOpenHexClick",
                   [this] { btnOpenHexClick(); });
    connectGuarded(MPHexEditorEx1, &HexView::selectionChanged, this,
                   "MPHexEditorEx1SelectionChanged", [this] { MPHexEditorEx1SelectionChanged(); });
}

void HexEditorPage::btnOpenHexClick() {
    int& filterIndex = links_.openDialogFilterIndex();
    QString& lastFile = links_.openDialogFileName();
    filterIndex = kOpenFilterIndex;
    platform::FileDialogRequest request;
    request.filter = kOpenFilter;
    request.filterIndex = filterIndex;
    request.fileName = lastFile;
    const std::optional<QString> chosen =
        platform::fileDialogs().openFile(links_.dialogParent, request);
    if (!chosen) return;
    lastFile = *chosen;
    openFile(*chosen);
}

void HexEditorPage::openFile(const QString& fileName) {
    bool readOnly = false;
    if (!CanOpenFile(fileName, readOnly)) raiseOpenError(fileName, errno);
    // Whether it could be written too does not matter: the view never writes.
    if (const int error = MPHexEditorEx1->loadFile(fileName)) raiseOpenError(fileName, error);
}

void HexEditorPage::MPHexEditorEx1SelectionChanged() {
    if (links_.showStatus) links_.showStatus(MPHexEditorEx1->selectionText());
}

}  // namespace keldrin
