#include "runner/CommandTable.h"

#include <QHeaderView>
#include <QTableWidget>

namespace keldrin {

const QStringList& commandHeaderTexts() {
    static const QStringList headers{"Name",        "Type",   "Issue",    "ACK_string",
                                     "NACK_string", "Status", "Time-Out", "Real-Time"};
    return headers;
}

QString trimControls(const QString& text) {
    int begin = 0;
    int end = int(text.size());
    while (begin < end && text.at(begin).unicode() <= 32) ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32) --end;
    return text.mid(begin, end - begin);
}

CommandTable::CommandTable(QTableWidget* grid) : grid_(grid) {
    if (grid_->columnCount() != kCommandColumnCount) grid_->setColumnCount(kCommandColumnCount);
}

int CommandTable::rowCount() const {
    return grid_->rowCount() + 1;
}

void CommandTable::setRowCount(int rows) {
    grid_->setRowCount(rows < 1 ? 0 : rows - 1);
}

QString CommandTable::cell(int column, int row) const {
    if (column < 0 || column >= kCommandColumnCount || row < 0) return QString();
    if (row == 0) {
        const QTableWidgetItem* h = grid_->horizontalHeaderItem(column);
        return h ? h->text() : QString();
    }
    const QTableWidgetItem* item = grid_->item(row - 1, column);
    return item ? item->text() : QString();
}

void CommandTable::setCell(int column, int row, const QString& text) {
    if (column < 0 || column >= kCommandColumnCount || row < 0) return;
    if (row == 0) {
        QTableWidgetItem* h = grid_->horizontalHeaderItem(column);
        if (!h) {
            h = new QTableWidgetItem;
            grid_->setHorizontalHeaderItem(column, h);
        }
        h->setText(text);
        return;
    }
    if (row >= rowCount()) return;  // past the last row: nothing to write into
    QTableWidgetItem* item = grid_->item(row - 1, column);
    if (!item) {
        if (text.isEmpty()) return;
        item = new QTableWidgetItem;
        grid_->setItem(row - 1, column, item);
    }
    item->setText(text);
}

void CommandTable::insertRow(int row) {
    if (row < 1) row = 1;
    if (row > rowCount()) row = rowCount();
    grid_->insertRow(row - 1);
}

void CommandTable::removeRow(int row) {
    if (row < 1 || row >= rowCount()) return;
    grid_->removeRow(row - 1);
}

void CommandTable::appendRow() {
    grid_->insertRow(grid_->rowCount());
}

bool CommandTable::isRowEmpty(int row) const {
    QString joined;
    for (int c = 0; c < kCommandColumnCount; ++c) joined += trimControls(cell(c, row));
    return joined.isEmpty();
}

void CommandTable::writeHeaderRow() {
    const QStringList& headers = commandHeaderTexts();
    for (int c = 0; c < kCommandColumnCount; ++c) setCell(c, 0, headers.at(c));
}

void CommandTable::ensureMarkerRow() {
    if (cell(colName, 1) != kMarkerName) {
        insertRow(1);
        setCell(colName, 1, kMarkerName);
    }
    for (int c = colType; c < kCommandColumnCount; ++c) setCell(c, 1, QString());
}

}  // namespace keldrin
