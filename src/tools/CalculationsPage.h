#pragma once

// The "Calculations" tab: text to comma-separated hex codes and back, two number fields that
// show a value in hexadecimal, binary or decimal, and a calculator field.

#include <QObject>

class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace keldrin {

class CalcEdit;
class NumberBaseEdit;
class RadioGroup;

class CalculationsPage : public QObject {
    Q_OBJECT
  public:
    // Creates the controls inside `sheet`, which owns the page.
    explicit CalculationsPage(QWidget* sheet);

    QPlainTextEdit* MemoHEXA;
    QPlainTextEdit* MemoASCII;
    QPlainTextEdit* Memo2;
    QPushButton* btnDoASCII;  // "HEX>>ASCII"
    QPushButton* btnDoHEX;    // "ASCII>>HEX"
    NumberBaseEdit* PBBinHexEdit1;
    NumberBaseEdit* PBBinHexEdit2;
    RadioGroup* RadioGroup1;
    RadioGroup* RadioGroup2;
    CalcEdit* JvCalcEdit4;

    // "HEX>>ASCII": the codes of MemoHEXA as characters, one line per code in MemoASCII and all
    // of them in Memo2. Pumps window events between the lines.
    void btnDoASCIIClick();
    // "ASCII>>HEX": the characters of MemoHEXA as hex codes into MemoASCII.
    void btnDoHEXClick();
    void RadioGroup1Click();
    void RadioGroup2Click();

  private:
    bool converting_ = false;
};

}  // namespace keldrin
