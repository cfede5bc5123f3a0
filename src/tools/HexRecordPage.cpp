#include "tools/HexRecordPage.h"

#include <QAction>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <utility>
#include <vector>

#include "platform/EventPump.h"
#include "platform/Guard.h"
#include "platform/Seams.h"
#include "tools/HexRecord.h"
#include "tools/PageBody.h"

namespace keldrin {

namespace {

// Qt mask of a field of `pairs` hex digit pairs: upper case, a required letter or digit at
// each position, "-" literals between the pairs, "_" shown for an empty position.
QString pairMask(int pairs) {
    QString mask = QStringLiteral(">NN");
    for (int i = 1; i < pairs; ++i) mask += QStringLiteral("-NN");
    return mask + QStringLiteral(";_");
}

QFont fieldFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (font.pointSizeF() > 0) font.setPointSizeF(font.pointSizeF() + 1);
    return font;
}

QLineEdit* maskedField(QWidget* parent, const char* name, int pairs, const QString& hint) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setInputMask(pairMask(pairs));
    field->setToolTip(hint);
    field->setFont(fieldFont());
    field->setMinimumHeight(28);
    return field;
}

QLabel* heading(QWidget* parent, const char* name, const char* caption) {
    auto* label = new QLabel(QString::fromLatin1(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption, const char* hint) {
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(QString::fromLatin1(hint));
    b->setMinimumSize(110, 30);
    return b;
}

// Width of a field that shows `chars` characters of its font, with room for the frame.
int fieldWidth(const QLineEdit* field, int chars) {
    return field->fontMetrics().horizontalAdvance(QString(chars, QLatin1Char('W'))) + 16;
}

}  // namespace

HexRecordPage::HexRecordPage(QWidget* sheet) : QObject(sheet), dataPairs_(kInitialDataPairs) {
    createControls(sheet);

    for (QLineEdit* f : {mskEd_ByteCount, mskEd_Addr, mskEd_RecType, mskEd_Data, mskEd_CS}) {
        f->installEventFilter(this);
    }
    Label2->installEventFilter(this);

    connectGuarded(mskEd_ByteCount, &QLineEdit::textChanged, this, "mskEd_ByteCountChange",
                   [this](const QString&) { mskEd_ByteCountChange(); });
    connectGuarded(Action_DoCS, &QAction::triggered, this, "Action_DoCSExecute",
                   [this](bool) { Action_DoCSExecute(); });
    // The button stands for the action: it runs it and is enabled with it.
    connectGuarded(BitBtn1, &QPushButton::clicked, this, "BitBtn1Click",
                   [this](bool) { Action_DoCS->trigger(); });
    connectGuarded(Action_DoCS, &QAction::changed, this, "Action_DoCSChange",
                   [this] { BitBtn1->setEnabled(Action_DoCS->isEnabled()); });
    connectGuarded(BitBtn2, &QPushButton::clicked, this, "BitBtn2Click",
                   [this](bool) { BitBtn2Click(); });
    connectGuarded(BitBtn3, &QPushButton::clicked, this, "BitBtn3Click",
                   [this](bool) { BitBtn3Click(); });
}

void HexRecordPage::createControls(QWidget* sheet) {
    // The fields live in a frame of their own, so that the page also fits a sheet that already
    // has a layout.
    QWidget* page = AddPageBody(sheet, QStringLiteral("HexRecordPageBody"));

    JvLabel3 = heading(page, "JvLabel3", "Byte count");
    JvLabel4 = heading(page, "JvLabel4", "Address");
    JvLabel5 = heading(page, "JvLabel5", "Record type");
    JvLabel6 = heading(page, "JvLabel6", "D A T A");
    JvLabel7 = heading(page, "JvLabel7", "Checksum");

    mskEd_ByteCount = maskedField(
        page, "mskEd_ByteCount", 1,
        QStringLiteral("Byte count, two hex digits: the number of bytes in the data field "
                       "(00 to FF)."));
    mskEd_Addr = maskedField(
        page, "mskEd_Addr", 2,
        QStringLiteral("Address, four hex digits: the 16-bit offset of the data in memory, "
                       "most significant byte first (big-endian)."));
    mskEd_RecType = maskedField(
        page, "mskEd_RecType", 1,
        QStringLiteral("Record type, two hex digits, 00 to 05, defining the type of the data "
                       "field."));
    mskEd_Data = maskedField(
        page, "mskEd_Data", kInitialDataPairs,
        QStringLiteral("Data, a sequence of n bytes of the data themselves. 2n hex digits"));
    mskEd_CS = maskedField(
        page, "mskEd_CS", 1,
        QStringLiteral("Checksum, two hex digits: the two's complement of the low byte of the sum "
                       "of all byte pairs before it.\nExample: for :0300300002337A1E the sum "
                       "03+00+30+00+02+33+7A is E2, and the checksum is 1E."));

    edHexCommand = new QLineEdit(QStringLiteral("edHexCommand"), page);
    edHexCommand->setObjectName(QStringLiteral("edHexCommand"));
    edHexCommand->setFont(fieldFont());
    edHexCommand->setMinimumHeight(28);
    edHexCommand->setToolTip(
        QStringLiteral("The whole record: \":\", byte count, address, "
                       "record type, data and checksum."));

    Action_DoCS = new QAction(QStringLiteral("Action_DoCS"), this);
    Action_DoCS->setObjectName(QStringLiteral("Action_DoCS"));
    BitBtn1 = button(page, "BitBtn1", "Action_DoCS",
                     "Compute the checksum of byte count, address, record type and data.");
    BitBtn2 = button(page, "BitBtn2", "BitBtn2",
                     "Take the record text apart into the fields and compute its checksum.");
    BitBtn3 = button(page, "BitBtn3", "BitBtn3", "Put the fields together into the record text.");

    Label2 = new QLabel(
        QStringLiteral("For more info about Intel HEX file format, please, click here"), page);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setToolTip(QStringLiteral("Go to the WEB site ..."));
    Label2->setCursor(Qt::PointingHandCursor);
    QFont link = Label2->font();
    link.setUnderline(true);
    Label2->setFont(link);
    QPalette linkColours = Label2->palette();
    linkColours.setColor(QPalette::WindowText, linkColours.color(QPalette::Link));
    Label2->setPalette(linkColours);

    mskEd_ByteCount->setFixedWidth(fieldWidth(mskEd_ByteCount, 2));
    mskEd_Addr->setFixedWidth(fieldWidth(mskEd_Addr, 5));
    mskEd_RecType->setFixedWidth(fieldWidth(mskEd_RecType, 2));
    mskEd_CS->setFixedWidth(fieldWidth(mskEd_CS, 2));
    mskEd_Data->setMinimumWidth(fieldWidth(mskEd_Data, 3 * kInitialDataPairs - 1));

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(14);
    fields->setVerticalSpacing(4);
    const std::pair<QLabel*, QLineEdit*> columns[] = {{JvLabel3, mskEd_ByteCount},
                                                      {JvLabel4, mskEd_Addr},
                                                      {JvLabel5, mskEd_RecType},
                                                      {JvLabel6, mskEd_Data},
                                                      {JvLabel7, mskEd_CS}};
    int column = 0;
    for (const auto& [label, field] : columns) {
        fields->addWidget(label, 0, column, Qt::AlignLeft | Qt::AlignBottom);
        fields->addWidget(field, 1, column);
        ++column;
    }
    fields->setColumnStretch(3, 1);
    fields->addWidget(BitBtn1, 2, 4, Qt::AlignRight);

    auto* record = new QHBoxLayout;
    record->setSpacing(8);
    record->addWidget(edHexCommand, 1);
    record->addWidget(BitBtn2);
    record->addWidget(BitBtn3);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(10);
    layout->addLayout(fields);
    layout->addSpacing(18);
    layout->addLayout(record);
    layout->addSpacing(18);
    layout->addWidget(Label2, 0, Qt::AlignLeft);
    layout->addStretch(1);
}

QByteArray HexRecordPage::fieldText(const QLineEdit* field) {
    // The field shows "_" where nothing was typed; the masks never admit "_" itself.
    QByteArray text = field->displayText().toLatin1();
    text.replace('_', ' ');
    return text;
}

void HexRecordPage::writeField(QLineEdit* field, const QByteArray& laidOut) {
    // A masked QLineEdit moves each character of setText() to the first position that takes it,
    // and a "-" standing where a digit belongs skips to just after the next "-" of the mask. So
    // a pair with its first digit missing is the one thing setText() cannot place: those digits
    // are put in afterwards, position by position (one insert is far slower than one setText()).
    QString placed;
    std::vector<qsizetype> late;
    for (qsizetype pos = 0; pos < laidOut.size(); pos += 3) {
        const char first = laidOut[pos];
        const char second = pos + 1 < laidOut.size() ? laidOut[pos + 1] : ' ';
        if (first != ' ') {
            placed += QLatin1Char(first);
            if (second != ' ') placed += QLatin1Char(second);
        } else if (second != ' ') {
            late.push_back(pos + 1);
        }
        placed += QLatin1Char('-');
    }
    const bool blocked = field->blockSignals(true);
    field->setText(placed);
    for (qsizetype pos : late) {
        field->setCursorPosition(int(pos));
        field->insert(QString(QLatin1Char(laidOut[pos])));
    }
    field->setCursorPosition(0);
    field->blockSignals(blocked);
}

bool HexRecordPage::isMaskedField(QObject* object) const {
    return object == mskEd_ByteCount || object == mskEd_Addr || object == mskEd_RecType ||
           object == mskEd_Data || object == mskEd_CS;
}

void HexRecordPage::mskEd_ByteCountKeyPress(QChar& key) {
    const char16_t c = key.unicode();
    const bool accepted = (c >= u'a' && c <= u'f') || (c >= u'0' && c <= u'F') || c == u'"';
    if (accepted) {
        platform::MessageBeep();
        return;
    }
    key = QLatin1Char('_');
    platform::Beep(660, 100);
    platform::Beep(560, 100);
}

void HexRecordPage::mskEd_ByteCountChange() {
    const QByteArray kept = fieldText(mskEd_Data);
    const int pairs = DataPairsOf(fieldText(mskEd_ByteCount));
    mskEd_Data->setEnabled(false);
    if (pairs <= 0) return;
    mskEd_Data->setEnabled(true);
    dataPairs_ = pairs;
    mskEd_Data->setInputMask(pairMask(pairs));
    writeField(mskEd_Data, LayOutPairs(kept, pairs));
}

void HexRecordPage::Action_DoCSExecute() {
    // A disabled data field belongs to no record (its count is 00 or not a number), so what it
    // still shows must not count.
    const QByteArray data = mskEd_Data->isEnabled() ? fieldText(mskEd_Data) : QByteArray();
    const QByteArray checksum = HexRecordChecksum(
        fieldText(mskEd_ByteCount) + fieldText(mskEd_Addr) + fieldText(mskEd_RecType) + data,
        [] { PumpOnce(); });
    writeField(mskEd_CS, checksum);
}

void HexRecordPage::BitBtn2Click() {
    const HexRecordFields parts = SplitHexRecord(edHexCommand->text().toLatin1());
    writeField(mskEd_ByteCount, parts.byteCount);
    mskEd_ByteCountChange();
    writeField(mskEd_Addr, parts.address);
    writeField(mskEd_RecType, parts.recordType);
    // Without a count the data field keeps its last shape and is emptied.
    writeField(mskEd_Data,
               parts.data.isEmpty() ? LayOutPairs(QByteArray(), dataPairs_) : parts.data);
    Action_DoCSExecute();
}

void HexRecordPage::BitBtn3Click() {
    HexRecordFields f;
    f.byteCount = fieldText(mskEd_ByteCount);
    f.address = fieldText(mskEd_Addr);
    f.recordType = fieldText(mskEd_RecType);
    if (mskEd_Data->isEnabled()) f.data = fieldText(mskEd_Data);
    f.checksum = fieldText(mskEd_CS);
    edHexCommand->setText(QString::fromLatin1(AssembleHexRecord(f)));
}

QUrl HexRecordPage::referenceUrl() {
    return QUrl(QStringLiteral("https://en.wikipedia.org/wiki/Intel_HEX"));
}

void HexRecordPage::Label2Click() {
    const QUrl url = referenceUrl();
    if (!QDesktopServices::openUrl(url)) {
        platform::ErrorBox(QStringLiteral("Could not open the web browser for\r\n\r\n") +
                           url.toString());
    }
}

bool HexRecordPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label2 && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            Label2->rect().contains(mouse->position().toPoint())) {
            guarded("Label2Click", [this] { Label2Click(); });
            return true;
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress || !isMaskedField(watched)) return false;

    auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    // Editing keys (Backspace, Delete, Tab, Enter) and shortcuts such as Ctrl+C and Ctrl+V are
    // not characters typed into the field; they keep their usual meaning.
    if (text.isEmpty() ||
        (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        return false;
    }
    for (QChar c : text) {
        if (c.unicode() < 32 || c.unicode() == 127) return false;
    }
    bool refused = false;
    for (QChar c : text) {
        guarded("mskEd_ByteCountKeyPress", [&] { mskEd_ByteCountKeyPress(c); });
        if (c == QLatin1Char('_')) refused = true;
    }
    return refused;
}

}  // namespace keldrin
