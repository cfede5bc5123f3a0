#include "widgets/TerminalView.h"

namespace keldrin {

TerminalView::TerminalView(QWidget* parent) : QWidget(parent) {}

void TerminalView::feed(const QByteArray& block) {
    for (char ch : block) {
        char c = ch;
        if (OnProcessChar) OnProcessChar(c);
        screen_.append(c);
    }
    constexpr int kKeep = 64 * 1024;
    if (screen_.size() > 2 * kKeep) screen_.remove(0, screen_.size() - kKeep);
}

}  // namespace keldrin
