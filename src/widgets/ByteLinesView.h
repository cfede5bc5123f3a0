#pragma once

#include <QByteArray>
#include <QList>
#include <QPlainTextEdit>
#include <QTimer>

namespace keldrin {

// A read-only window of byte lines: each line is kept exactly as given (CR, LF and NUL
// included) and shown on one row. Control characters get visible marks only while special
// characters are shown.
class ByteLinesView : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit ByteLinesView(QWidget* parent = nullptr);

    int lineCount() const { return int(lines_.size()); }
    QByteArray line(int index) const { return lines_.value(index); }
    const QList<QByteArray>& lines() const { return lines_; }

    void setLines(const QList<QByteArray>& lines);
    void appendLine(const QByteArray& line);
    void removeLine(int index);
    // Empties the window, undo history included.
    void clearLines();
    // Index of the line that holds the caret (-1 when empty).
    int caretLine() const;
    void setCaretLine(int index);
    // Scrolls so that `index` is the first line in view, as far as the window allows.
    void setTopLine(int index);
    int topLine() const;
    void setShowSpecialChars(bool on);

    bool showSpecialChars() const { return showSpecial_; }

    // How a byte line is drawn, with or without marks for the special characters.
    static QString displayText(const QByteArray& line, bool special);

    // The lines above are exact at once; the text on screen follows at screen rate, so a
    // device sending many small blocks costs one layout a frame, not one per block. The
    // document is brought up to date before anyone outside reads it.
    QTextDocument* document() const;
    // Brings the shown text up to date with the lines now.
    void syncShown() const;

  signals:
    void lineDoubleClicked();

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void scheduleSync();
    void applyPending();
    void render();

    QList<QByteArray> lines_;
    bool showSpecial_ = false;
    // What the document lacks: of its lines after the first, the first `shownDropped_` are
    // gone from `lines_`, and the last `pendingAppends_` of `lines_` are not in it yet.
    int shownCount_ = 0;
    int shownDropped_ = 0;
    int pendingAppends_ = 0;
    int pendingTop_ = -1;  // a scroll asked for while lines were pending
    QTimer syncTimer_;
};

}  // namespace keldrin
