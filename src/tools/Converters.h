#pragma once

// The text/hexadecimal converters of the "Calculations" tab, free of widgets. "HEX>>ASCII" works
// line by line so that the page can pump window events between the lines.

#include <QByteArray>
#include <QList>

namespace keldrin {

// Letters a to z upper-cased; every other byte stays.
QByteArray UpperCaseAscii(const QByteArray& text);

// "HEX>>ASCII" over one upper-cased text: the tokens become lines, and each `step` turns the next
// line into the token, a TAB and the character of the token's value mod 256. A character of code
// 0 ends the kept text: its line shows nothing after the TAB and `chars` gains nothing.
class HexToAsciiConversion {
  public:
    explicit HexToAsciiConversion(const QByteArray& upperText);

    bool done() const { return next_ >= lines_.size(); }
    // Converts the next line. A token too long for 64 bits throws EIntOverflow and leaves that
    // line and the following ones as they were.
    void step();
    // Every remaining step; stops at the first error like `step`.
    void run();

    // The memo lines: converted ones first, then the tokens not yet converted.
    const QList<QByteArray>& lines() const { return lines_; }
    // The decoded characters as one text (what the lower memo shows).
    const QByteArray& chars() const { return chars_; }
    int convertedLines() const { return next_; }

  private:
    QList<QByteArray> lines_;
    QByteArray chars_;
    int next_ = 0;
};

// "ASCII>>HEX": every byte of the text as two hex digits and ",", then "0!".
QByteArray AsciiToHexCodes(const QByteArray& text);

}  // namespace keldrin
