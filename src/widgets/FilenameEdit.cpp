#include "widgets/FilenameEdit.h"

#include <QApplication>
#include <QCompleter>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QToolButton>

#include "platform/Seams.h"

namespace keldrin {

FilenameEdit::FilenameEdit(QWidget* parent) : QWidget(parent) {
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("FileNameText"));
    browse_ = new QToolButton(this);
    browse_->setObjectName(QStringLiteral("BrowseButton"));
    browse_->setText(QStringLiteral("..."));
    browse_->setFocusPolicy(Qt::NoFocus);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(edit_, 1);
    row->addWidget(browse_, 0);
    setFocusProxy(edit_);

    QPalette info = edit_->palette();
    info.setColor(QPalette::Base, info.color(QPalette::ToolTipBase));
    info.setColor(QPalette::Text, info.color(QPalette::ToolTipText));
    edit_->setPalette(info);

    auto* files = new QFileSystemModel(this);
    files->setRootPath(QString());
    completer_ = new QCompleter(files, this);
    completer_->setCompletionMode(QCompleter::PopupCompletion);
    edit_->setCompleter(completer_);

    edit_->installEventFilter(this);
    connect(browse_, &QToolButton::clicked, this, &FilenameEdit::browse);
}

void FilenameEdit::browse() {
    platform::FileDialogRequest request;
    request.title = DialogTitle;
    request.filter = Filter;
    request.filterIndex = FilterIndex;
    request.fileName = edit_->text();
    request.initialDir = InitialDir;
    const std::optional<QString> chosen = platform::fileDialogs().openFile(window(), request);
    edit_->setFocus();
    if (!chosen) return;
    edit_->setText(*chosen);
    InitialDir = QFileInfo(*chosen).absolutePath();
}

bool FilenameEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // The completion list, a dialog or another window taking the focus for a while is not
        // leaving the editor.
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
            !QApplication::activePopupWidget())
            emit exited();
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace keldrin
