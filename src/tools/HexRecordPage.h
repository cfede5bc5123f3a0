#pragma once

// The "HEX Command CS" tab: an editor for one Intel HEX record. Byte count, address, record type,
// data and checksum are masked fields of hex digit pairs; the page computes the checksum, takes
// a record text apart into the fields and puts the record text together again. The runner uses
// the same page to build its checksum records (BitBtn2Click, BitBtn3Click, then edHexCommand).

#include <QByteArray>
#include <QObject>
#include <QUrl>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace keldrin {

class HexRecordPage : public QObject {
    Q_OBJECT

  public:
    // Creates the controls inside `sheet`, which owns the page.
    explicit HexRecordPage(QWidget* sheet);

    QLineEdit* mskEd_ByteCount;
    QLineEdit* mskEd_Addr;
    QLineEdit* mskEd_RecType;
    QLineEdit* mskEd_Data;
    QLineEdit* mskEd_CS;
    QLineEdit* edHexCommand;
    QAction* Action_DoCS;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;
    QLabel* JvLabel3;
    QLabel* JvLabel4;
    QLabel* JvLabel5;
    QLabel* JvLabel6;
    QLabel* JvLabel7;
    QLabel* Label2;

    // Key filter of the five masked fields: a hex digit (or one of the few other characters
    // the filter lets through for the mask to judge) passes with the default beep; any other
    // character is replaced by "_", which the masks refuse, with a two-tone signal.
    void mskEd_ByteCountKeyPress(QChar& key);
    // Reshapes the data field for the byte count now in its field.
    void mskEd_ByteCountChange();
    // Checksum of the four fields into mskEd_CS.
    void Action_DoCSExecute();
    // Record text of edHexCommand into the fields, then the checksum.
    void BitBtn2Click();
    // Fields into edHexCommand.
    void BitBtn3Click();
    // Opens the reference page of the format in the default browser.
    void Label2Click();

    // A masked field's text as the record math reads it: "-" literals kept, a space for each
    // position not filled in.
    static QByteArray fieldText(const QLineEdit* field);
    static QUrl referenceUrl();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls(QWidget* sheet);
    // Puts a text laid out for the field's mask (see LayOutPairs) into the field position by
    // position, without change notifications.
    static void writeField(QLineEdit* field, const QByteArray& laidOut);
    bool isMaskedField(QObject* object) const;

    int dataPairs_;
};

}  // namespace keldrin
