#include <QFrame>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest>
#include <memory>
#include <vector>

#include "platform/FakeSeams.h"
#include "platform/Guard.h"
#include "tools/CalcEdit.h"
#include "tools/CalculationsPage.h"
#include "tools/NumberBaseEdit.h"
#include "widgets/RadioGroup.h"

using namespace keldrin;

class CalculationsPageTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<platform::FakeSeams> seams;
    std::unique_ptr<QWidget> sheet;
    CalculationsPage* page = nullptr;
    std::vector<std::pair<QString, QString>> trapped;  // message, handler

    void convert(const QString& codes) {
        page->MemoHEXA->setPlainText(codes);
        QTest::mouseClick(page->btnDoASCII, Qt::LeftButton);
    }
    static void choose(RadioGroup* group, int item) {
        QTest::mouseClick(group->item(item), Qt::LeftButton);
    }

  private slots:
    void init() {
        seams = std::make_unique<platform::FakeSeams>();
        trapped.clear();
        setErrorTrap([this](const std::exception& e, const char* where) {
            trapped.emplace_back(QString::fromLocal8Bit(e.what()), QString::fromLatin1(where));
        });
        sheet = std::make_unique<QWidget>();
        sheet->resize(900, 520);
        page = new CalculationsPage(sheet.get());
        sheet->show();
        QVERIFY(QTest::qWaitForWindowExposed(sheet.get()));
    }

    void cleanup() {
        sheet.reset();
        setErrorTrap(nullptr);
        seams.reset();
    }

    void hexToAsciiShowsTheLowerMemoFromTheFirstConversionOn() {
        QVERIFY(!page->Memo2->isVisible());
        QCOMPARE(page->btnDoASCII->text(), QStringLiteral("HEX>>ASCII"));
        QCOMPARE(page->btnDoHEX->text(), QStringLiteral("ASCII>>HEX"));
        convert(QStringLiteral("6a,41,42,43!"));
        QCOMPARE(page->MemoHEXA->toPlainText(), QStringLiteral("6A,41,42,43!"));
        QCOMPARE(page->MemoASCII->toPlainText(), QStringLiteral("6A\tj\n41\tA\n42\tB\n43\tC"));
        QCOMPARE(page->Memo2->toPlainText(), QStringLiteral("jABC"));
        QVERIFY(page->Memo2->isVisible());
        QVERIFY(page->MemoASCII->isVisible());
        // A conversion that finds no token still leaves the lower memo shown, and empty.
        convert(QStringLiteral("41 42"));
        QCOMPARE(page->MemoASCII->toPlainText(), QString());
        QCOMPARE(page->Memo2->toPlainText(), QString());
        QVERIFY(page->Memo2->isVisible());
        QVERIFY(trapped.empty());
    }

    void anOverflowingTokenIsRecordedAndEndsTheConversionAtItsLine() {
        convert(QStringLiteral("41,ffffffffffffffff,42!"));
        QCOMPARE(trapped.size(), std::size_t(1));
        QCOMPARE(trapped[0].first, QStringLiteral("Integer overflow"));
        QCOMPARE(trapped[0].second, QStringLiteral("btnDoASCIIClick"));
        QCOMPARE(page->MemoASCII->toPlainText(), QStringLiteral("41\tA\nFFFFFFFFFFFFFFFF\n42"));
        QCOMPARE(page->Memo2->toPlainText(), QStringLiteral("A"));
        // The memos are not left hidden by the interrupted conversion.
        QVERIFY(page->MemoASCII->isVisible());
        QVERIFY(page->Memo2->isVisible());
    }

    void asciiToHexWritesTheCodesOfTheUpperCasedTrimmedText() {
        page->MemoHEXA->setPlainText(QStringLiteral("  Hi\n"));
        QTest::mouseClick(page->btnDoHEX, Qt::LeftButton);
        QCOMPARE(page->MemoHEXA->toPlainText(), QStringLiteral("HI"));
        QCOMPARE(page->MemoASCII->toPlainText(), QStringLiteral("48,49,0!"));
        page->MemoHEXA->setPlainText(QStringLiteral("a\nb"));
        QTest::mouseClick(page->btnDoHEX, Qt::LeftButton);
        QCOMPARE(page->MemoASCII->toPlainText(), QStringLiteral("41,0D,0A,42,0!"));
        QVERIFY(!page->Memo2->isVisible());
    }

    void aBaseChangeChangesOnlyTheDisplay() {
        NumberBaseEdit* field = page->PBBinHexEdit1;
        QCOMPARE(page->RadioGroup1->title(), QStringLiteral("Please, select a BASE format"));
        QCOMPARE(page->RadioGroup1->item(1)->text(), QStringLiteral("Bin"));
        QCOMPARE(page->RadioGroup1->itemIndex(), 0);
        QCOMPARE(field->text(), QStringLiteral("$1234"));
        choose(page->RadioGroup1, 2);
        QCOMPARE(field->text(), QStringLiteral("4660"));
        choose(page->RadioGroup1, 1);
        QCOMPARE(field->text(), QStringLiteral("1001000110100"));
        choose(page->RadioGroup1, 0);
        QCOMPARE(field->text(), QStringLiteral("$1234"));
        QCOMPARE(field->value(), std::uint64_t(4660));
        QCOMPARE(field->AsHex(), QStringLiteral("1234"));
        // The second field follows its own group only.
        QCOMPARE(page->PBBinHexEdit2->text(), QStringLiteral("$1234"));
    }

    void typingAcceptsOnlyTheDigitsOfTheBaseShown() {
        NumberBaseEdit* field = page->PBBinHexEdit2;
        choose(page->RadioGroup2, 1);
        field->setFocus();
        field->end(false);
        QTest::keyClicks(field, QStringLiteral("2a1"));  // "2" and "a" are no binary digits
        QCOMPARE(field->text(), QStringLiteral("10010001101001"));
        QCOMPARE(field->value(), std::uint64_t(9321));
        choose(page->RadioGroup2, 2);
        QCOMPARE(field->text(), QStringLiteral("9321"));
        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("x65535"));
        QCOMPARE(field->text(), QStringLiteral("65535"));
        choose(page->RadioGroup2, 0);
        QCOMPARE(field->text(), QStringLiteral("$FFFF"));
        QVERIFY(field->setAsHex(QStringLiteral("BEEF")));
        QVERIFY(!field->setAsHex(QStringLiteral("nope")));
        QCOMPARE(field->text(), QStringLiteral("$BEEF"));
    }

    void theCalculatorWritesItsResultIntoTheField() {
        CalcEdit* calc = page->JvCalcEdit4;
        calc->setValue(1.5);
        QCOMPARE(calc->field()->text(), QStringLiteral("1.5"));
        QTest::mouseClick(calc->calculatorButton(), Qt::LeftButton);
        QVERIFY(calc->calculator()->isVisible());
        QCOMPARE(calc->calculatorDisplay(), QStringLiteral("1.5"));
        for (const char* key : {"calcKey_*", "calcKey_4", "calcKey_+", "calcKey_1", "calcKey_="}) {
            auto* b = calc->calculator()->findChild<QPushButton*>(QLatin1String(key));
            QVERIFY2(b, key);
            QTest::mouseClick(b, Qt::LeftButton);
        }
        QCOMPARE(calc->value(), 7.0);
        QCOMPARE(calc->field()->text(), QStringLiteral("7"));
        // A division by zero leaves the field alone.
        calc->pressCalculatorKey('/');
        calc->pressCalculatorKey('0');
        calc->pressCalculatorKey('=');
        QCOMPARE(calc->calculatorDisplay(), QStringLiteral("Error"));
        QCOMPARE(calc->value(), 7.0);
        // Enter in the pop-up is "=" and closes it.
        calc->pressCalculatorKey('C');
        QTest::keyClicks(calc->calculator(), QStringLiteral("9*3"));
        QTest::keyClick(calc->calculator(), Qt::Key_Return);
        QCOMPARE(calc->value(), 27.0);
        QVERIFY(!calc->calculator()->isVisible());
    }
};

QTEST_MAIN(CalculationsPageTest)
#include "calculations_page_test.moc"
