#pragma once

// The "HEXeditor" tab: "Open File" shows any file in the hex view, and the caret's offset goes
// to the status line.

#include <QObject>
#include <QString>
#include <functional>

class QPushButton;
class QWidget;

namespace keldrin {

class HexView;

// What the page borrows from the window.
struct HexEditorLinks {
    QWidget* dialogParent = nullptr;
    // The shared open dialog's last file and filter choice (1-based).
    std::function<QString&()> openDialogFileName;
    std::function<int&()> openDialogFilterIndex;
    // Status-bar panel 0.
    std::function<void(const QString&)> showStatus;
};

class HexEditorPage : public QObject {
    Q_OBJECT
  public:
    static const QString kOpenFilter;
    static constexpr int kOpenFilterIndex = 2;  // "TEXT (*.txt)"

    HexEditorPage(QWidget* sheet, HexEditorLinks links);

    HexView* MPHexEditorEx1;
    QPushButton* btnOpenHex;  // "Open File"

    // Asks for a file and shows it; a file that cannot be opened raises EFOpenError and the view
    // keeps what it showed.
    void btnOpenHexClick();
    // Loads `fileName` as the dialog's answer would.
    void openFile(const QString& fileName);
    void MPHexEditorEx1SelectionChanged();

  private:
    HexEditorLinks links_;
};

}  // namespace keldrin
