#include "tools/CalculationsPage.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include "platform/EventPump.h"
#include "platform/Guard.h"
#include "terminal/TextCodec.h"
#include "tools/CalcEdit.h"
#include "tools/Converters.h"
#include "tools/NumberBaseEdit.h"
#include "tools/PageBody.h"
#include "widgets/RadioGroup.h"

namespace keldrin {

namespace {

template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QPlainTextEdit* memo(QWidget* parent, const char* name) {
    auto* m = named(new QPlainTextEdit(parent), name);
    m->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m->setLineWrapMode(QPlainTextEdit::NoWrap);
    return m;
}

// A memo's text as the converters read it: bytes, lines ended by CR LF.
QByteArray memoBytes(const QPlainTextEdit* m) {
    return m->toPlainText().toLatin1().replace('\n', "\r\n");
}

// Bytes into a memo. A memo breaks lines only at CR LF; a lone CR or LF inside a line is shown
// as a space rather than splitting the line.
QString memoLine(const QByteArray& line) {
    QByteArray shown = line;
    for (char& c : shown) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return QString::fromLatin1(shown);
}

RadioGroup* baseChoice(QWidget* parent, const char* name) {
    auto* group =
        named(new RadioGroup(QStringLiteral("Please, select a BASE format"),
                             {QStringLiteral("Hex"), QStringLiteral("Bin"), QStringLiteral("Dec")},
                             parent),
              name);
    // Three columns: the items side by side.
    QLayout* old = group->layout();
    auto* row = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        old->removeWidget(group->item(i));
        row->addWidget(group->item(i));
    }
    static_cast<QVBoxLayout*>(old)->insertLayout(0, row);
    group->setItemIndex(0);
    return group;
}

}  // namespace

CalculationsPage::CalculationsPage(QWidget* sheet) : QObject(sheet) {
    QWidget* page = AddPageBody(sheet, QStringLiteral("CalculationsPageBody"));

    MemoHEXA = memo(page, "MemoHEXA");
    MemoASCII = memo(page, "MemoASCII");
    Memo2 = memo(page, "Memo2");
    Memo2->setMaximumHeight(90);
    Memo2->hide();
    btnDoASCII = named(new QPushButton(QStringLiteral("HEX>>ASCII"), page), "btnDoASCII");
    btnDoHEX = named(new QPushButton(QStringLiteral("ASCII>>HEX"), page), "btnDoHEX");
    btnDoASCII->setToolTip(QStringLiteral("Comma-separated hex codes on the left to characters"));
    btnDoHEX->setToolTip(QStringLiteral("Characters on the left to comma-separated hex codes"));
    PBBinHexEdit1 = named(new NumberBaseEdit(page), "PBBinHexEdit1");
    PBBinHexEdit2 = named(new NumberBaseEdit(page), "PBBinHexEdit2");
    RadioGroup1 = baseChoice(page, "RadioGroup1");
    RadioGroup2 = baseChoice(page, "RadioGroup2");
    JvCalcEdit4 = named(new CalcEdit(page), "JvCalcEdit4");

    auto* layout = new QGridLayout(page);
    layout->addWidget(MemoHEXA, 0, 0, 3, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnDoASCII);
    buttons->addWidget(btnDoHEX);
    buttons->addStretch(1);
    layout->addLayout(buttons, 0, 1, 3, 1);
    layout->addWidget(MemoASCII, 0, 2, 3, 1);
    layout->addWidget(Memo2, 3, 0, 1, 3);

    auto* numbers = new QVBoxLayout;
    numbers->addWidget(RadioGroup1);
    numbers->addWidget(PBBinHexEdit1);
    numbers->addSpacing(12);
    numbers->addWidget(RadioGroup2);
    numbers->addWidget(PBBinHexEdit2);
    numbers->addSpacing(12);
    numbers->addWidget(new QLabel(QStringLiteral("Calculator:"), page));
    numbers->addWidget(JvCalcEdit4);
    numbers->addStretch(1);
    layout->addLayout(numbers, 0, 3, 4, 1);
    layout->setColumnStretch(0, 3);
    layout->setColumnStretch(2, 3);
    layout->setColumnStretch(3, 2);

    connectGuarded(btnDoASCII, &QPushButton::clicked, this, "btnDoASCIIClick",
                   [this] { btnDoASCIIClick(); });
    connectGuarded(btnDoHEX, &QPushButton::clicked, this, "btnDoHEXClick",
                   [this] { btnDoHEXClick(); });
    connectGuarded(RadioGroup1, &RadioGroup::itemIndexChanged, this, "RadioGroup1Click",
                   [this] { RadioGroup1Click(); });
    connectGuarded(RadioGroup2, &RadioGroup::itemIndexChanged, this, "RadioGroup2Click",
                   [this] { RadioGroup2Click(); });
}

void CalculationsPage::btnDoASCIIClick() {
    // A click during the event pumping of a conversion would rewrite the memos under it.
    if (converting_) return;
    converting_ = true;
    const QString upper = QString::fromLatin1(UpperCaseAscii(MemoHEXA->toPlainText().toLatin1()));
    if (upper != MemoHEXA->toPlainText()) MemoHEXA->setPlainText(upper);
    HexToAsciiConversion conversion(memoBytes(MemoHEXA));

    const auto showResult = [&] {
        QStringList lines;
        for (const QByteArray& line : conversion.lines()) lines << memoLine(line);
        MemoASCII->setPlainText(lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')));
        Memo2->setPlainText(
            QString::fromLatin1(QByteArray(conversion.chars()).replace("\r\n", "\n"))
                .replace(QLatin1Char('\r'), QLatin1Char('\n')));
        MemoASCII->show();
        Memo2->show();
        converting_ = false;
    };
    MemoASCII->hide();
    Memo2->hide();
    Memo2->clear();
    try {
        while (!conversion.done()) {
            PumpOnce();
            conversion.step();
            PumpOnce();
        }
    } catch (...) {
        // The lines converted so far stay, and the memos come back before the error is recorded.
        showResult();
        throw;
    }
    showResult();
}

void CalculationsPage::btnDoHEXClick() {
    const QByteArray text = UpperCaseAscii(Trim(memoBytes(MemoHEXA)));
    MemoHEXA->setPlainText(QString::fromLatin1(QByteArray(text).replace("\r\n", "\n")));
    MemoASCII->clear();
    MemoASCII->setPlainText(QString::fromLatin1(AsciiToHexCodes(text)));
}

void CalculationsPage::RadioGroup1Click() {
    PBBinHexEdit1->setBase(BaseOfItem(RadioGroup1->itemIndex()));
}

void CalculationsPage::RadioGroup2Click() {
    PBBinHexEdit2->setBase(BaseOfItem(RadioGroup2->itemIndex()));
}

}  // namespace keldrin
