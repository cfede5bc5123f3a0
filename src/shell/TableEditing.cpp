#include "shell/TableEditing.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QToolButton>

#include "platform/EventPump.h"
#include "platform/Guard.h"
#include "runner/CommandTable.h"
#include "shell/TableLook.h"
#include "widgets/BalloonHint.h"
#include "widgets/FilenameEdit.h"

namespace keldrin {

const QString TableEditing::kBrowseTitle = QStringLiteral("Browse for your File");
const QString TableEditing::kBrowseFilter =
    QStringLiteral("HEX and Bin|*.hex;*.bin;*.HX|TEXT|*.txt|*.cmd|*.cmd|All files|*.*");

namespace {

// The list's own popup (which takes the focus into its items), a popup menu or another window
// taking the focus for a while do not close the list; only the focus going elsewhere in the
// window does.
bool leavesForGood(QEvent* event) {
    if (event->type() != QEvent::FocusOut) return false;
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
           !QApplication::activePopupWidget();
}

bool isFileType(const QString& type) {
    return type.contains(QLatin1String("File"));
}

}  // namespace

TableEditing::TableEditing(TableEditingLinks links, QObject* parent)
    : QObject(parent),
      l_(std::move(links)),
      grid_(l_.table->grid()),
      fileLine_(l_.JvFilenameEdit1->lineEdit()),
      gridViewport_(grid_->viewport()),
      headerViewport_(grid_->horizontalHeader()->viewport()) {
    grid_->setItemDelegate(new CommandCellDelegate(this, l_.table, grid_));

    l_.cmbxFile->setEditable(false);
    l_.cmbxFile->addItems(typeListItems());
    l_.cmbxFile->setCurrentIndex(-1);
    l_.cmbxFile->hide();
    l_.cmbxFile->installEventFilter(this);

    l_.JvFilenameEdit1->DialogTitle = kBrowseTitle;
    l_.JvFilenameEdit1->Filter = kBrowseFilter;
    l_.JvFilenameEdit1->hide();
    fileLine_->installEventFilter(this);

    // The grid has a current cell from the start, though the user never chose one: taking the
    // focus by Tab then selects nothing, and nothing is selected until the user does it.
    quiet_ = true;
    grid_->selectionModel()->setCurrentIndex(grid_->model()->index(0, colName),
                                             QItemSelectionModel::NoUpdate);
    quiet_ = false;

    grid_->viewport()->setMouseTracking(true);
    grid_->horizontalHeader()->viewport()->setMouseTracking(true);
    gridViewport_->installEventFilter(this);
    headerViewport_->installEventFilter(this);
    grid_->installEventFilter(this);
    grid_->setContextMenuPolicy(Qt::CustomContextMenu);

    connectGuarded(grid_, &QTableWidget::currentCellChanged, this, "StringGrid1SelectCell",
                   [this](int row, int column, int, int) { currentCellChanged(row, column); });
    // A click on the current cell selects it again, so a list just closed can be reopened.
    connectGuarded(grid_, &QTableWidget::cellPressed, this, "StringGrid1SelectCell",
                   [this](int row, int column) {
                       if (row != grid_->currentRow() || column != grid_->currentColumn()) return;
                       if (l_.cmbxFile->isVisible() || l_.JvFilenameEdit1->isVisible()) return;
                       if (!userIsInTheGrid()) return;
                       StringGrid1SelectCell(column, row + 1);
                   });
    connectGuarded(l_.cmbxFile, qOverload<int>(&QComboBox::activated), this, "cmbxFileChange",
                   [this] { cmbxFileChange(); });
    connectGuarded(l_.JvFilenameEdit1, &FilenameEdit::exited, this, "JvFilenameEdit1Exit",
                   [this] { JvFilenameEdit1Exit(); });
    connectGuarded(grid_, &QWidget::customContextMenuRequested, this, "PopupMenuOFstrGrid",
                   [this](const QPoint& pos) {
                       l_.PopupMenuOFstrGrid->popup(grid_->viewport()->mapToGlobal(pos));
                   });
    connect(grid_->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int) { emit StringGrid1ColWidthsChanged(column); });
}

bool TableEditing::userIsInTheGrid() const {
    // Rows inserted or removed by a load or a run move the current cell too; only a move made
    // while the user works in the grid is a selection.
    const QWidget* focus = grid_->window()->focusWidget();
    if (!focus) return false;
    if (focus == l_.cmbxFile || l_.JvFilenameEdit1->isAncestorOf(focus)) return false;
    return focus == grid_ || grid_->isAncestorOf(focus);
}

void TableEditing::currentCellChanged(int gridRow, int column) {
    redrawGrid();
    if (quiet_ || gridRow < 0 || column < 0 || !userIsInTheGrid()) return;
    StringGrid1SelectCell(column, gridRow + 1);
}

void TableEditing::placeOver(QWidget* editor, int column, int row) {
    const QRect cell = grid_->visualRect(grid_->model()->index(row - 1, column));
    editor->setGeometry(cell.x() + 1, cell.y() + 1, cell.width() + 1, cell.height() + 2);
    editor->show();
    editor->raise();
    editor->setFocus(Qt::OtherFocusReason);
}

void TableEditing::StringGrid1SelectCell(int column, int row) {
    SelectedRow = row;
    if (column == colType && row != 0) {
        cmbxFileTag = row;
        placeOver(l_.cmbxFile, column, row);
        // A type the list does not offer shows as no pick, and stays unless one is made.
        l_.cmbxFile->setCurrentIndex(typeListItems().indexOf(l_.table->cell(colType, row)));
    }
    if (column == colIssue && row != 0 && isFileType(l_.table->cell(colType, row))) {
        JvFilenameEdit1Tag = row;
        placeOver(l_.JvFilenameEdit1, column, row);
        l_.JvFilenameEdit1->setFileName(l_.table->cell(colIssue, row));
    }
    redrawGrid();
}

void TableEditing::cmbxFileChange() {
    const QString explanation = typeExplanation(l_.cmbxFile->currentText());
    if (explanation.isEmpty()) return;
    l_.table->setCell(colIssue, cmbxFileTag, explanation);
    rowWritten(cmbxFileTag);
}

void TableEditing::cmbxFileExit() {
    const int row = cmbxFileTag;
    if (l_.cmbxFile->currentIndex() >= 0) {
        l_.table->setCell(colType, row, l_.cmbxFile->currentText());
        rowWritten(row);
    }
    {
        const QSignalBlocker quiet(l_.cmbxFile);
        l_.cmbxFile->setCurrentIndex(-1);
    }
    l_.cmbxFile->hide();
    redrawGrid();
    grid_->setFocus(Qt::OtherFocusReason);
    SpeedButton_ResizeClick();
}

void TableEditing::JvFilenameEdit1Exit() {
    const int row = JvFilenameEdit1Tag;
    l_.table->setCell(colIssue, row, l_.JvFilenameEdit1->FileName());
    rowWritten(row);
    l_.JvFilenameEdit1->hide();
    grid_->setFocus(Qt::OtherFocusReason);
    redrawGrid();
    SpeedButton_ResizeClick();
    l_.JvFilenameEdit1->setFileName(QString());
}

void TableEditing::rowWritten(int row) {
    if (row == l_.table->rowCount() - 1 && !l_.table->isRowEmpty(row)) l_.table->appendRow();
}

void TableEditing::redrawGrid() {
    grid_->viewport()->update();
}

void TableEditing::StringGrid1SetEditText() {
    redrawGrid();
    l_.window->update();
}

void TableEditing::StringGrid1MouseMove(int column, int row) {
    if (QPoint(column, row) == HintCell) return;
    HintCell = QPoint(column, row);
    if (column < 0 || row < 0 || column > kCommandColumnCount || row > l_.table->rowCount()) return;
    if (BalloonHint* shown = l_.hints->balloon()) shown->hide();
    hint_ = gridHint(column, l_.table->cell(column, row));
    grid_->viewport()->setToolTip(hint_);
    grid_->horizontalHeader()->viewport()->setToolTip(hint_);
}

void TableEditing::setCurrentQuietly(int row, int column) {
    if (row < 1 || row >= l_.table->rowCount()) return;
    quiet_ = true;
    grid_->setCurrentCell(row - 1, column < 0 ? 0 : column);
    quiet_ = false;
}

void TableEditing::exchangeRows(int row, int other) {
    for (int c = 0; c < kCommandColumnCount; ++c) {
        const QString text = l_.table->cell(c, row);
        l_.table->setCell(c, row, l_.table->cell(c, other));
        l_.table->setCell(c, other, text);
    }
    if (grid_->currentRow() + 1 == row) setCurrentQuietly(other, grid_->currentColumn());
    redrawGrid();
}

void TableEditing::MoveUp1Click() {
    // Rows 1 and 2 stay: the marker row above them is the run's.
    if (SelectedRow <= 2 || SelectedRow >= l_.table->rowCount()) return;
    exchangeRows(SelectedRow, SelectedRow - 1);
    --SelectedRow;
}

void TableEditing::MoveDown1Click() {
    if (SelectedRow <= 0 || SelectedRow >= l_.table->rowCount() - 1) return;
    exchangeRows(SelectedRow, SelectedRow + 1);
    ++SelectedRow;
}

void TableEditing::Delete1Click() {
    if (SelectedRow <= 0 || SelectedRow >= l_.table->rowCount()) return;
    // The Real-Time cell keeps its text, and the row stays.
    for (int c = colName; c < colRealTime; ++c) l_.table->setCell(c, SelectedRow, QString());
    redrawGrid();
}

void TableEditing::SpeedButton_ResizeClick() {
    if (l_.SpeedButton_Resize->isChecked()) {
        const QFontMetrics metrics(grid_->font());
        // The Type column is drawn in bold; measured in the plain font its longer names would
        // be cut off.
        QFont bold = grid_->font();
        bold.setBold(true);
        const QFontMetrics boldMetrics(bold);
        for (int pass = 0; pass < 2; ++pass) {
            for (int c = 0; c < kCommandColumnCount; ++c) {
                int widest = metrics.horizontalAdvance(l_.table->cell(c, 0));
                const QFontMetrics& cells = c == colType ? boldMetrics : metrics;
                for (int r = 1; r < l_.table->rowCount(); ++r)
                    widest = qMax(widest, cells.horizontalAdvance(l_.table->cell(c, r)));
                grid_->setColumnWidth(c, qMax(40, widest + 8));
                if (pass == 1) PumpOnce();
            }
            if (pass == 0) PumpOnce();
        }
    }
    l_.window->update();
}

bool TableEditing::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == l_.cmbxFile || watched == fileLine_) && event->type() == QEvent::KeyPress) {
        // Tab leaves the editor for the grid, which then moves on as it does for its own editor;
        // left to the grid alone, it would move the current cell under the open editor.
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            grid_->setFocus(key->key() == Qt::Key_Tab ? Qt::TabFocusReason
                                                      : Qt::BacktabFocusReason);
            QKeyEvent again(QEvent::KeyPress, key->key(), key->modifiers());
            QApplication::sendEvent(grid_, &again);
            return true;
        }
    }
    if (watched == l_.cmbxFile) {
        if (leavesForGood(event) && l_.cmbxFile->isVisible())
            guarded("cmbxFileExit", [this] { cmbxFileExit(); });
        return false;
    }
    if (watched == gridViewport_) {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
                // The right button opens the popup menu; it selects no cell, so the menu acts
                // on the row selected last.
                if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) return true;
                break;
            case QEvent::MouseMove: {
                const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
                const int gridRow = grid_->rowAt(pos.y());
                guarded("StringGrid1MouseMove", [&] {
                    StringGrid1MouseMove(grid_->columnAt(pos.x()), gridRow < 0 ? -1 : gridRow + 1);
                });
                break;
            }
            case QEvent::Enter:
            case QEvent::Leave:
                redrawGrid();
                break;
            default:
                break;
        }
        return false;
    }
    if (watched == headerViewport_ && event->type() == QEvent::MouseMove) {
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        guarded("StringGrid1MouseMove", [&] {
            StringGrid1MouseMove(grid_->horizontalHeader()->logicalIndexAt(pos.x()), 0);
        });
        return false;
    }
    if (watched == grid_ && (event->type() == QEvent::KeyPress || event->type() == QEvent::Leave))
        redrawGrid();
    return false;
}

// ---------------------------------------------------------------------------------------------

CommandCellDelegate::CommandCellDelegate(TableEditing* editing, CommandTable* table,
                                         QObject* parent)
    : QStyledItemDelegate(parent), editing_(editing), table_(table) {}

void CommandCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    if (index.column() < colType) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const CellColours colours =
        dataCellColours(index.column(), opt.text, opt.state & QStyle::State_HasFocus,
                        opt.state & QStyle::State_Selected, opt.palette);
    painter->save();
    painter->fillRect(opt.rect, colours.background);
    QFont font = opt.font;
    font.setBold(colours.bold);
    painter->setFont(font);
    painter->setPen(colours.text);
    painter->drawText(opt.rect.adjusted(2, 2, -1, 0),
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, opt.text);
    painter->restore();
}

QWidget* CommandCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const {
    // The Type is picked from the list, and a file row's Issue through the picker.
    if (index.column() == colType) return nullptr;
    if (index.column() == colIssue &&
        table_->cell(colType, index.row() + 1).contains(QLatin1String("File")))
        return nullptr;
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        // The cell follows every keystroke, so its colour does too.
        connect(line, &QLineEdit::textEdited, this, [this, line] {
            guarded("StringGrid1SetEditText", [&] {
                emit const_cast<CommandCellDelegate*>(this)->commitData(line);
                editing_->StringGrid1SetEditText();
            });
        });
    }
    return editor;
}

void CommandCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    // Writing back the text the editor just gave would put its cursor at the end.
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        if (line->text() == index.data(Qt::EditRole).toString()) return;
    QStyledItemDelegate::setEditorData(editor, index);
}

void CommandCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                       const QModelIndex& index) const {
    QStyledItemDelegate::setModelData(editor, model, index);
    // Works on the model alone: an editor still open when the window closes commits while the
    // grid around the model is already being taken down.
    const int last = model->rowCount() - 1;
    if (index.row() != last) return;
    for (int c = 0; c < model->columnCount(); ++c)
        if (!trimControls(model->index(last, c).data().toString()).isEmpty()) {
            model->insertRow(last + 1);
            return;
        }
}

}  // namespace keldrin
