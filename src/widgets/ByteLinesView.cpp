#include "widgets/ByteLinesView.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

namespace keldrin {

namespace {

// One frame: the shown text catches up with the lines at most this late.
constexpr int kFrameMs = 16;

// A row shows at most this many bytes of its line, then a mark that more follows. A terminal
// never hands over more than 4 KiB in one read, but a block taken from a fuller receive queue
// can be megabytes: laying out such a row costs far more than the bytes themselves, for text
// far off to the right. The line itself is kept whole (its character codes show all of it).
constexpr qsizetype kShownBytes = 4096;

QString shownText(const QByteArray& line, bool special) {
    if (line.size() <= kShownBytes) return ByteLinesView::displayText(line, special);
    return ByteLinesView::displayText(line.left(kShownBytes), special) + QChar(0x2026);
}

}  // namespace

ByteLinesView::ByteLinesView(QWidget* parent) : QPlainTextEdit(parent) {
    syncTimer_.setSingleShot(true);
    syncTimer_.setInterval(kFrameMs);
    connect(&syncTimer_, &QTimer::timeout, this, [this] { applyPending(); });
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // The bundled DejaVu Sans Mono has every mark the special characters use.
    QFont mono;
    mono.setFamilies({QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
    mono.setStyleHint(QFont::TypeWriter);
    setFont(mono);
}

QString ByteLinesView::displayText(const QByteArray& line, bool special) {
    QString out;
    out.reserve(line.size());
    for (char ch : line) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 32 && c != 127) {
            out += QChar(c);
            continue;
        }
        // A received block stays one row, so its line ends are never drawn as breaks. Without
        // special characters a tab is white space and the other control bytes draw nothing;
        // with them each byte gets one mark, taken from what DejaVu Sans Mono can draw (it has
        // no control pictures, which would come out as empty boxes).
        if (!special) {
            if (c == '\t') out += QLatin1Char('\t');
            continue;
        }
        switch (c) {
            case '\t':
                out += QChar(0x2192);  // rightwards arrow
                break;
            case '\r':
                out += QChar(0x2190);  // leftwards arrow: back to the start of the line
                break;
            case '\n':
                out += QChar(0x2193);  // downwards arrow: to the next line
                break;
            case 0:
                out += QChar(0x2205);  // empty set
                break;
            default:
                out += QChar(0x2022);  // bullet: any other control byte
                break;
        }
    }
    return out;
}

void ByteLinesView::render() {
    QStringList shown;
    shown.reserve(lines_.size());
    for (const QByteArray& l : lines_) shown << shownText(l, showSpecial_);
    setPlainText(shown.join(QLatin1Char('\n')));
    // Every line is shown now: nothing is pending any more.
    shownCount_ = int(lines_.size());
    shownDropped_ = 0;
    pendingAppends_ = 0;
}

void ByteLinesView::setLines(const QList<QByteArray>& lines) {
    syncTimer_.stop();
    shownDropped_ = 0;
    pendingAppends_ = 0;
    pendingTop_ = -1;
    lines_ = lines;
    render();
}

void ByteLinesView::scheduleSync() {
    if (!syncTimer_.isActive()) syncTimer_.start();
}

void ByteLinesView::appendLine(const QByteArray& line) {
    lines_.append(line);
    ++pendingAppends_;
    scheduleSync();
}

void ByteLinesView::removeLine(int index) {
    if (index < 0 || index >= lines_.size()) return;
    if (index == 1) {
        // The line limit's removal, once per block: kept for the next frame like the appends.
        lines_.removeAt(1);
        if (shownDropped_ < shownCount_ - 1)
            ++shownDropped_;
        else
            --pendingAppends_;  // it never reached the screen
        scheduleSync();
        return;
    }
    applyPending();
    lines_.removeAt(index);
    shownCount_ = int(lines_.size());
    if (lines_.isEmpty()) {
        clear();
        return;
    }
    QTextBlock block = QPlainTextEdit::document()->findBlockByNumber(index);
    QTextCursor c(block);
    c.select(QTextCursor::BlockUnderCursor);
    if (index == 0) {
        // The first block has no separator before it: take the one after it instead.
        c.movePosition(QTextCursor::StartOfBlock);
        c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    }
    c.removeSelectedText();
}

void ByteLinesView::applyPending() {
    syncTimer_.stop();
    QTextDocument* doc = QPlainTextEdit::document();
    // Edits through a cursor keep the view where it is; autoscroll is the caller's choice.
    QScrollBar* bar = verticalScrollBar();
    const int keep = bar->value();
    if (shownDropped_ > 0) {
        // Lines 1 to shownDropped_ of the document go, in one edit.
        QTextCursor c(doc);
        const QTextBlock first = doc->firstBlock();
        const QTextBlock after = doc->findBlockByNumber(shownDropped_ + 1);
        if (after.isValid()) {
            c.setPosition(first.next().position());
            c.setPosition(after.position(), QTextCursor::KeepAnchor);
        } else {
            c.setPosition(first.position() + first.length() - 1);
            c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        }
        c.removeSelectedText();
        shownCount_ -= shownDropped_;
        shownDropped_ = 0;
    }
    if (pendingAppends_ > 0) {
        QStringList shown;
        shown.reserve(pendingAppends_);
        for (qsizetype i = lines_.size() - pendingAppends_; i < lines_.size(); ++i)
            shown << shownText(lines_.at(i), showSpecial_);
        if (shownCount_ == 0) {
            setPlainText(shown.join(QLatin1Char('\n')));
        } else {
            QTextCursor c(doc);
            c.movePosition(QTextCursor::End);
            c.insertText(QLatin1Char('\n') + shown.join(QLatin1Char('\n')));
            bar->setValue(keep);
        }
        shownCount_ += pendingAppends_;
        pendingAppends_ = 0;
    }
    if (pendingTop_ >= 0) {
        const int top = pendingTop_;
        pendingTop_ = -1;
        setTopLine(top);
    }
}

QTextDocument* ByteLinesView::document() const {
    syncShown();
    return QPlainTextEdit::document();
}

void ByteLinesView::syncShown() const {
    auto* self = const_cast<ByteLinesView*>(this);
    if (shownDropped_ > 0 || pendingAppends_ > 0 || pendingTop_ >= 0) self->applyPending();
}

void ByteLinesView::clearLines() {
    syncTimer_.stop();
    shownCount_ = 0;
    shownDropped_ = 0;
    pendingAppends_ = 0;
    pendingTop_ = -1;
    lines_.clear();
    clear();
    QPlainTextEdit::document()->clearUndoRedoStacks();
}

int ByteLinesView::caretLine() const {
    if (lines_.isEmpty()) return -1;
    syncShown();
    return textCursor().blockNumber();
}

void ByteLinesView::setCaretLine(int index) {
    syncShown();
    QTextBlock block = QPlainTextEdit::document()->findBlockByNumber(index);
    if (!block.isValid()) return;
    setTextCursor(QTextCursor(block));
}

void ByteLinesView::setTopLine(int index) {
    if (shownDropped_ > 0 || pendingAppends_ > 0) {
        pendingTop_ = index;
        scheduleSync();
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(qBound(bar->minimum(), index, bar->maximum()));
}

int ByteLinesView::topLine() const {
    syncShown();
    return verticalScrollBar()->value();
}

void ByteLinesView::setShowSpecialChars(bool on) {
    QTextOption option = document()->defaultTextOption();
    QTextOption::Flags flags = option.flags();
    flags.setFlag(QTextOption::ShowTabsAndSpaces, on);
    flags.setFlag(QTextOption::ShowLineAndParagraphSeparators, on);
    option.setFlags(flags);
    document()->setDefaultTextOption(option);
    if (on == showSpecial_) return;
    showSpecial_ = on;
    // Drawn anew from the kept bytes; the operator keeps his place in the window.
    const int top = topLine();
    const int caret = caretLine();
    render();
    setCaretLine(caret);
    setTopLine(top);
}

void ByteLinesView::mouseDoubleClickEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseDoubleClickEvent(event);
    emit lineDoubleClicked();
}

}  // namespace keldrin
