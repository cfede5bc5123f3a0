#pragma once

#include <QDialog>

namespace keldrin {

// The About box; created hidden at start and shown from the Help menu.
class TfrmAbout : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmAbout(QWidget* parent = nullptr);
};

}  // namespace keldrin
