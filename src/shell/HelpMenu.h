#pragma once

#include <QObject>

namespace keldrin {

class TfrmAbout;

// The "Help" menu's items and "File > Open Application Folder".
class HelpMenu : public QObject {
    Q_OBJECT
  public:
    HelpMenu(TfrmAbout* about, QObject* parent = nullptr);

    void About1Click();                  // two tones, then the About box, modally
    void Versions1Click();               // the version history
    void OpenApplicationFolder1Click();  // the file manager on the program's folder

  private:
    TfrmAbout* about_;
};

}  // namespace keldrin
