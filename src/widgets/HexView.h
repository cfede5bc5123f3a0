#pragma once

// A read-only hex view of a file of any size: 16 bytes a row under a ruler, offsets in the
// format "-!10:0x|", grid lines, and the characters of the bytes beside them. Only the rows in
// view are read and drawn. Ctrl+G opens a "Go to offset" box, Ctrl+F a search for hex bytes or
// text that runs on a worker thread, so the window never waits for it.

#include <QFrame>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

class QAbstractScrollArea;
class QCheckBox;
class QLabel;
class QLineEdit;
class QTimer;

namespace keldrin {

class ByteSource;
class HexCanvas;

class HexView : public QFrame {
    Q_OBJECT
  public:
    static constexpr int kBytesPerRow = 16;

    explicit HexView(QWidget* parent = nullptr);
    ~HexView() override;

    // Shows the file instead of what was shown; on failure keeps the view as it was and returns
    // the errno of the failure (0 on success).
    int loadFile(const QString& path);
    void setBytes(const QByteArray& bytes);
    QString fileName() const { return fileName_; }

    // Bytes shown now (a file that shrank shows fewer).
    std::int64_t dataSize() const;
    // The caret counts from 0 and stays within 0 to size - 1 (0 when empty).
    std::int64_t caret() const { return caret_; }
    // Moves the caret; with `extend` the selection runs from its anchor to the new caret.
    void setCaret(std::int64_t offset, bool extend = false);
    std::int64_t selectionStart() const;
    std::int64_t selectionLength() const;
    // The offset as the view writes it.
    QString offsetText(std::int64_t offset) const;
    // What a status line shows for the caret or the selection.
    QString selectionText() const;

    std::int64_t topRow() const { return topRow_; }
    int visibleRows() const;
    QAbstractScrollArea* canvas() const;

    // The boxes (Ctrl+G, Ctrl+F) and what their Enter key does.
    QLineEdit* goToBox() const { return goToEdit_; }
    QLineEdit* findBox() const { return findEdit_; }
    QCheckBox* findHexChoice() const { return findHex_; }
    QLabel* findStatus() const { return findStatus_; }
    void showGoTo();
    void showFind();
    // Moves the caret to the offset typed in the "Go to offset" box; false when it is not one.
    bool goToTyped();
    // Starts a search for the typed bytes after the caret; false when there is nothing to find.
    bool findNext();
    bool searching() const { return searchThread_.joinable(); }
    void cancelSearch();

  signals:
    void selectionChanged();
    // A search ended: the offset of the match, or -1 when there is none.
    void searchFinished(qint64 foundAt);

  private:
    friend class HexCanvas;
    void resetTo(std::shared_ptr<ByteSource> source, const QString& name);
    void scrollToCaret();
    void setTopRow(std::int64_t row);
    void updateScrollBar();
    void stopSearchThread();
    // Shows the search's progress, or its result once the worker is done.
    void pollSearch();

    std::shared_ptr<ByteSource> source_;
    QString fileName_;
    std::int64_t caret_ = 0;
    std::int64_t anchor_ = 0;
    std::int64_t topRow_ = 0;
    std::int64_t scrollScale_ = 1;  // rows per scroll-bar step for very large files

    HexCanvas* canvas_ = nullptr;
    QFrame* goToBar_ = nullptr;
    QLineEdit* goToEdit_ = nullptr;
    QLabel* goToStatus_ = nullptr;
    QFrame* findBar_ = nullptr;
    QLineEdit* findEdit_ = nullptr;
    QCheckBox* findHex_ = nullptr;
    QLabel* findStatus_ = nullptr;
    QTimer* progressTimer_ = nullptr;

    std::thread searchThread_;
    std::atomic<bool> searchCancel_{false};
    std::atomic<bool> searchDone_{true};
    std::atomic<int> searchProgress_{0};
    std::atomic<std::int64_t> searchResult_{-1};
    std::int64_t searchLength_ = 0;
};

}  // namespace keldrin
