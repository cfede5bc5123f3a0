#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QTableWidget;

namespace keldrin {

// Column indices of the command table.
enum CommandColumn : int {
    colName = 0,
    colType = 1,
    colIssue = 2,
    colAck = 3,
    colNack = 4,
    colStatus = 5,
    colTimeOut = 6,
    colRealTime = 7,
    kCommandColumnCount = 8
};

// Header texts of the columns; they double as the keys of the project file.
const QStringList& commandHeaderTexts();

// The marker that the run keeps in the Name cell of row 1.
inline const QString kMarkerName = QStringLiteral("<=>");

// The command table as the rest of the program sees it: cells addressed (column, row) from 0,
// row 0 being the header row and row 1 the marker row. The rows live in `StringGrid1`; the
// header row is the grid's own header, so it stays in view while the rows scroll.
class CommandTable {
  public:
    explicit CommandTable(QTableWidget* grid);

    QTableWidget* grid() const { return grid_; }

    // Rows, the header row included.
    int rowCount() const;
    // Makes the table hold `rows` rows, the header row included (at least 1).
    void setRowCount(int rows);

    // Absent cells and cells past the last row read as empty text; writes past the last row
    // are dropped.
    QString cell(int column, int row) const;
    void setCell(int column, int row, const QString& text);

    // An empty row at `row`; the rows from there on move down by one. Row 0 cannot move.
    void insertRow(int row);
    // Removes `row`; the rows below move up by one. The header row always stays.
    void removeRow(int row);
    void appendRow();

    // All eight cells, each trimmed of blanks and control characters, joined give empty text.
    bool isRowEmpty(int row) const;

    // Writes the header texts into row 0.
    void writeHeaderRow();

    // Makes sure row 1 is the marker row: inserts one when cell (0, 1) is not "<=>", then
    // empties columns 1 to 7 of row 1.
    void ensureMarkerRow();

  private:
    QTableWidget* grid_;
};

// Removes leading and trailing characters of code 0 to 32.
QString trimControls(const QString& text);

}  // namespace keldrin
