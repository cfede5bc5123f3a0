#include "shell/TableLook.h"

#include "runner/CommandTable.h"

namespace keldrin {

namespace {

const QColor kAqua(0x00, 0xFF, 0xFF);
const QColor kLime(0x00, 0xFF, 0x00);
const QColor kRed(0xFF, 0x00, 0x00);
const QColor kNavy(0x00, 0x00, 0x80);

const QString kPathRemark =
    QStringLiteral("the path can be with \"\\\"<= down from the current dir");

}  // namespace

const QStringList& typeListItems() {
    static const QStringList items{
        "Command",          "File",   "Action_CS", "File_BINary", "IntCommand_UseLog",
        "IntCommand_NoLog", "Sync_1", "Sync_2"};
    return items;
}

QString typeExplanation(const QString& type) {
    if (type == QLatin1String("Action_CS"))
        return QStringLiteral("This command will be calculated and sent after File programming");
    if (type == QLatin1String("IntCommand_UseLog"))
        return QStringLiteral(
            "This is an internal command of Keldrin: all send and receive data from now will be "
            "stored into \"Keldrin+CommNumber+Date+Time.log\" file and will NOT be shown");
    if (type == QLatin1String("IntCommand_NoLog"))
        return QStringLiteral(
            "This is an internal command of Keldrin: all send and receive data from now will NOT "
            "be stored into \".log\" file and will be shown");
    if (type == QLatin1String("Sync_1"))
        return QStringLiteral("This is an internal command of Keldrin: Sync_1 will not be shown");
    if (type == QLatin1String("Sync_2"))
        return QStringLiteral("This is an internal command of Keldrin: Sync_2 will not be shown");
    return QString();
}

QColor statusColour(const QString& text) {
    // Tested in this order, a later match winning; the texts are distinct, so one matches at most.
    QColor colour;
    if (text == QLatin1String("OK")) colour = kLime;
    if (text == QLatin1String("Doing...")) colour = kAqua;
    if (text == QLatin1String("Communication Error")) colour = kRed;
    if (text == QLatin1String("Wrong Answer - Error")) colour = kRed;
    if (text == QLatin1String("Sent")) colour = kLime;
    return colour;
}

CellColours dataCellColours(int column, const QString& text, bool focused, bool selected,
                            const QPalette& palette) {
    CellColours out;
    out.text = kNavy;
    if (focused) {
        out.background = kAqua;
        out.text = Qt::black;
    } else if (column == colType) {
        out.background = palette.color(QPalette::ToolTipBase);
        out.bold = true;
    } else if (column == colIssue) {
        out.background = palette.color(QPalette::ToolTipBase);
    } else if (column == colStatus) {
        out.background = palette.color(selected ? QPalette::Highlight : QPalette::Base);
    } else {
        out.background = Qt::white;
    }
    const QColor status = statusColour(text);
    if (status.isValid()) out.background = status;
    return out;
}

QString gridHint(int column, const QString& text) {
    const QString p = QLatin1Char('"') + text + QStringLiteral("\"\r\n\r\n");
    switch (column) {
        case colName:
            return p + QStringLiteral("Name of the command");
        case colType: {
            QString hint =
                p +
                QStringLiteral("type of the command: must be selected from drop-down combo-box");
            if (p.contains(QLatin1String("File")))
                hint = p +
                       QStringLiteral(
                           "Type of the command\r\n"
                           "The file's content will be sent As-Is\r\n\r\n\r\n") +
                       kPathRemark;
            if (p.contains(QLatin1String("File_BINary")))
                hint = p +
                       QStringLiteral(
                           "Type of the command\r\n"
                           "The file's content will be sent in Binary Format.\r\n"
                           "\":\" sign will be removed from the string\r\n"
                           ">>>!Does not affect any other settings!<<<\r\n\r\n\r\n") +
                       kPathRemark;
            return hint;
        }
        case colIssue:
            return p + QStringLiteral("the command-itself: can be string of characters or file");
        case colAck:
        case colNack:
            return p + QStringLiteral(
                           "ACK and NACK: can be blank or can consist of one or more characters, "
                           "case sensetive\r\n\r\n"
                           "to use this verisfication please fill both fields(ACK and NACK) \r\n"
                           "- if one of them is blank - the verification will NOT done");
        case colStatus:
            return p + QStringLiteral("status info of last execution");
        case colTimeOut:
            return p + QStringLiteral("TimeOut in seconds for the current operation");
        case colRealTime:
            return p + QStringLiteral("Real Time in seconds for the current operation");
        default:
            return p;
    }
}

}  // namespace keldrin
