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
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    setFont(mono);
}

QString ByteLinesView::displayText(const QByteArray& line) {
    QString out;
    out.reserve(line.size());
    for (char ch : line) {
        const auto c = static_cast<unsigned char>(ch);
        // The control pictures block keeps CR, LF and friends on the row they arrived in.
        if (c < 32)
            out += QChar(0x2400 + c);
        else if (c == 127)
            out += QChar(0x2421);
        else
            out += QChar(c);
    }
    return out;
}

void ByteLinesView::setLines(const QList<QByteArray>& lines) {
    lines_ = lines;
    QStringList shown;
    shown.reserve(lines.size());
    for (const QByteArray& l : lines) shown << displayText(l);
    setPlainText(shown.join(QLatin1Char('\n')));
}

void ByteLinesView::appendLine(const QByteArray& line) {
    if (lines_.isEmpty()) {
        lines_.append(line);
        setPlainText(displayText(line));
        return;
    }
    lines_.append(line);
    // Appending through a cursor keeps the view where it is; autoscroll is the caller's choice.
    QScrollBar* bar = verticalScrollBar();
    const int keep = bar->value();
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    c.insertBlock();
    c.insertText(displayText(line));
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
}

void ByteLinesView::mouseDoubleClickEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseDoubleClickEvent(event);
    emit lineDoubleClicked();
}

}  // namespace keldrin
