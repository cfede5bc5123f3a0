#pragma once

#include <QLineEdit>
#include <QString>
#include <QWidget>

class QCompleter;
class QToolButton;

namespace keldrin {

// A one-line file-name editor with a browse button. Typing offers completion from the file
// system; the button opens a file-open dialog whose chosen file becomes the text.
class FilenameEdit : public QWidget {
    Q_OBJECT
  public:
    explicit FilenameEdit(QWidget* parent = nullptr);

    QString FileName() const { return edit_->text(); }
    void setFileName(const QString& name) { edit_->setText(name); }

    // The dialog's settings; the filter index and the starting folder carry over between uses.
    QString DialogTitle;
    QString Filter;  // "Caption|patterns|Caption|patterns"
    int FilterIndex = 1;
    QString InitialDir;

    QLineEdit* lineEdit() const { return edit_; }
    QToolButton* browseButton() const { return browse_; }
    QCompleter* completer() const { return completer_; }

    // Opens the dialog (what the browse button does).
    void browse();

  signals:
    // The focus went from the editor to somewhere outside it (not to its own popup or dialog).
    void exited();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLineEdit* edit_;
    QToolButton* browse_;
    QCompleter* completer_;
};

}  // namespace keldrin
