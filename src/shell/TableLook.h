#pragma once

// What the command table shows beyond its cells: the Type list's items, the explanation a picked
// type writes into the Issue cell, each cell's colours and the per-column hints. Free of widgets,
// so every rule can be checked in a table.

#include <QColor>
#include <QPalette>
#include <QString>
#include <QStringList>

namespace keldrin {

// The items of the Type list, in the order the list offers them.
const QStringList& typeListItems();

// The text a picked type writes into its row's Issue cell; empty for types that write nothing.
QString typeExplanation(const QString& type);

struct CellColours {
    QColor background;
    QColor text;
    bool bold = false;
};

// Colours of a data cell (column 1 and on, row 1 and on). `focused`: the cell holds the input
// focus; `selected`: it lies in a selected range. The palette gives the info and window colours.
CellColours dataCellColours(int column, const QString& text, bool focused, bool selected,
                            const QPalette& palette);

// The status texts that colour a cell, matched exactly; an invalid colour for any other text.
QColor statusColour(const QString& text);

// The grid's hint over the cell (column, row) holding `text`; the header row included.
QString gridHint(int column, const QString& text);

}  // namespace keldrin
