#include "widgets/ByteLinesView.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

namespace keldrin {

ByteLinesView::ByteLinesView(QWidget* parent) : QPlainTextEdit(parent) {
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
    for (const QByteArray& l : lines_) shown << displayText(l, showSpecial_);
    setPlainText(shown.join(QLatin1Char('\n')));
}

void ByteLinesView::setLines(const QList<QByteArray>& lines) {
    lines_ = lines;
    render();
}

void ByteLinesView::appendLine(const QByteArray& line) {
    if (lines_.isEmpty()) {
        lines_.append(line);
        setPlainText(displayText(line, showSpecial_));
        return;
    }
    lines_.append(line);
    // Appending through a cursor keeps the view where it is; autoscroll is the caller's choice.
    QScrollBar* bar = verticalScrollBar();
    const int keep = bar->value();
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    c.insertBlock();
    c.insertText(displayText(line, showSpecial_));
    bar->setValue(keep);
}

void ByteLinesView::removeLine(int index) {
    if (index < 0 || index >= lines_.size()) return;
    lines_.removeAt(index);
    if (lines_.isEmpty()) {
        clear();
        return;
    }
    QTextBlock block = document()->findBlockByNumber(index);
    QTextCursor c(block);
    c.select(QTextCursor::BlockUnderCursor);
    if (index == 0) {
        // The first block has no separator before it: take the one after it instead.
        c.movePosition(QTextCursor::StartOfBlock);
        c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    }
    c.removeSelectedText();
}

void ByteLinesView::clearLines() {
    lines_.clear();
    clear();
    document()->clearUndoRedoStacks();
}

int ByteLinesView::caretLine() const {
    if (lines_.isEmpty()) return -1;
    return textCursor().blockNumber();
}

void ByteLinesView::setCaretLine(int index) {
    QTextBlock block = document()->findBlockByNumber(index);
    if (!block.isValid()) return;
    setTextCursor(QTextCursor(block));
}

void ByteLinesView::setTopLine(int index) {
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(qBound(bar->minimum(), index, bar->maximum()));
}

int ByteLinesView::topLine() const {
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
