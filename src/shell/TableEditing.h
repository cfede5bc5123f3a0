#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <QStyledItemDelegate>

class QAction;
class QComboBox;
class QMenu;
class QTableWidget;
class QToolButton;

namespace keldrin {

class CommandTable;
class FilenameEdit;
class HintController;

// The controls the table's editing works with; every pointer must be set.
struct TableEditingLinks {
    CommandTable* table = nullptr;            // `StringGrid1`
    QComboBox* cmbxFile = nullptr;            // the Type list, a child of the grid's viewport
    FilenameEdit* JvFilenameEdit1 = nullptr;  // the file picker, a child of the grid's viewport
    QMenu* PopupMenuOFstrGrid = nullptr;
    QToolButton* SpeedButton_Resize = nullptr;
    HintController* hints = nullptr;
    QWidget* window = nullptr;  // redrawn with the grid while text is typed
};

// How the command table is edited in place: the Type list and the file picker that open over
// their cells, the colours, the per-column hints, the popup commands that move and blank rows,
// and the sizing of the columns.
class TableEditing : public QObject {
    Q_OBJECT
  public:
    static const QString kBrowseTitle;
    static const QString kBrowseFilter;

    explicit TableEditing(TableEditingLinks links, QObject* parent = nullptr);

    // The row of the cell last selected in the grid; the popup commands act on it.
    int SelectedRow = 0;
    // The cell (column, row) last found under the mouse.
    QPoint HintCell{0, 0};
    // The rows the Type list and the file picker were opened for; they write only there.
    int cmbxFileTag = 0;
    int JvFilenameEdit1Tag = 0;

    // The grid's hint as it stands.
    QString StringGrid1Hint() const { return hint_; }

    // --- handlers ----------------------------------------------------------------------------
    void StringGrid1SelectCell(int column, int row);
    void cmbxFileChange();
    void cmbxFileExit();
    void JvFilenameEdit1Exit();
    void StringGrid1MouseMove(int column, int row);
    void MoveUp1Click();
    void MoveDown1Click();
    void Delete1Click();
    // Sizes the columns to their contents while "Auto Resize Columns" is down.
    void SpeedButton_ResizeClick();
    // Redraws the grid, so that the colours follow the texts.
    void redrawGrid();
    // Text typed into a cell: the grid and the window are redrawn at once.
    void StringGrid1SetEditText();

    // A cell of `row` was written through the grid's editors: a table whose last row gets text
    // grows by an empty row, so there is always a row to write into.
    void rowWritten(int row);

  signals:
    // Every change of a column width, by the user or by the sizing, comes through here.
    void StringGrid1ColWidthsChanged(int column);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void currentCellChanged(int gridRow, int column);
    bool userIsInTheGrid() const;
    void placeOver(QWidget* editor, int column, int row);
    void exchangeRows(int row, int other);
    void setCurrentQuietly(int row, int column);

    TableEditingLinks l_;
    QTableWidget* grid_;
    // The objects watched, remembered as they are installed: the window's teardown still sends
    // their events here while their owners are half destroyed, when no call may reach those.
    QObject* fileLine_;
    QObject* gridViewport_;
    QObject* headerViewport_;
    QString hint_;
    bool quiet_ = false;  // the program, not the user, moves the current cell
};

// Paints the data cells of the command table in their colours and gives the grid's own editor
// to every cell that the Type list or the file picker does not serve.
class CommandCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    CommandCellDelegate(TableEditing* editing, CommandTable* table, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

  private:
    TableEditing* editing_;
    CommandTable* table_;
};

}  // namespace keldrin
