#include "GuiTestMain.h"

#include "HeldOutputs.h"
#include "LampShape.h"
#include "NumberText.h"

#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <limits>

class HeldOutputsTest : public QObject
{
    Q_OBJECT

private slots:
    void integerTextMatchesFormatNumber_data();
    void integerTextMatchesFormatNumber();
    void hiddenWindowGetsValuesAtOnce();
    void shownWindowGetsTheLastValueAtTheNextPush();
    void operatorTextIsReadOnceNothingIsHeld();
    void lastOfNumbersAndTextsIsShown_data();
    void lastOfNumbersAndTextsIsShown();
};

void HeldOutputsTest::integerTextMatchesFormatNumber_data()
{
    QTest::addColumn<qint64>("value");
    QTest::newRow("zero") << qint64(0);
    QTest::newRow("negative") << qint64(-1);
    QTest::newRow("code") << qint64(4095);
    QTest::newRow("largest count") << qint64(std::numeric_limits<std::int32_t>::max());
    QTest::newRow("smallest count") << qint64(std::numeric_limits<std::int32_t>::min());
}

void HeldOutputsTest::integerTextMatchesFormatNumber()
{
    QFETCH(qint64, value);
    QCOMPARE(std::string(IntegerText(value).view()), formatNumber(double(value)));
}

namespace {

// A window with the four output fields and the lamp.
struct Outputs
{
    QWidget window;
    std::array<QLineEdit *, 4> fields {};
    LampShape *lamp = new LampShape;
    std::unique_ptr<HeldOutputs> held;

    Outputs()
    {
        auto *layout = new QVBoxLayout(&window);
        for (auto &field : fields)
            layout->addWidget(field = new QLineEdit);
        layout->addWidget(lamp);
        held = std::make_unique<HeldOutputs>(fields, lamp);
    }
};

} // namespace

void HeldOutputsTest::hiddenWindowGetsValuesAtOnce()
{
    Outputs outputs;
    outputs.held->setText(2, "17");
    outputs.held->setLampColour({0, 255, 0});
    QCOMPARE(outputs.fields[2]->text(), QStringLiteral("17"));
    QCOMPARE(outputs.lamp->fillColour(), QColor(0, 255, 0));
}

// Many values between two pushes: a read through the holder is exact at once,
// and the widgets show the last of them after one push.
void HeldOutputsTest::shownWindowGetsTheLastValueAtTheNextPush()
{
    Outputs outputs;
    outputs.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&outputs.window));
    outputs.held->push(); // starts the interval afresh
    for (int frame = 1; frame <= 1000; ++frame) {
        outputs.held->setText(3, IntegerText(frame));
        outputs.held->setLampColour(frame % 2 ? Rgb {255, 255, 128} : Rgb {0, 255, 0});
    }
    QCOMPARE(outputs.held->text(3), std::string("1000"));
    QCOMPARE(outputs.fields[3]->text(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(outputs.fields[3]->text(), QStringLiteral("1000"), 1000);
    QCOMPARE(outputs.lamp->fillColour(), QColor(0, 255, 0));
}

void HeldOutputsTest::operatorTextIsReadOnceNothingIsHeld()
{
    Outputs outputs;
    outputs.window.show();
    outputs.held->setText(0, "5");
    outputs.held->push();
    outputs.fields[0]->setText(QStringLiteral("typed"));
    QCOMPARE(outputs.held->text(0), std::string("typed"));
    // A later value replaces what was typed, as an immediate write would.
    outputs.held->setText(0, "5");
    outputs.held->push();
    QCOMPARE(outputs.fields[0]->text(), QStringLiteral("5"));
}

// A field set alternately to numbers and texts: the last value, whichever
// kind, is what a read gives at once and what the widget shows after a push.
void HeldOutputsTest::lastOfNumbersAndTextsIsShown_data()
{
    QTest::addColumn<bool>("shown");
    QTest::addColumn<bool>("textLast");
    QTest::addColumn<QString>("expected");
    for (const bool shown : {false, true}) {
        const QByteArray window = shown ? "shown, " : "hidden, ";
        QTest::newRow(window + "number last") << shown << false << QStringLiteral("-2147483648");
        QTest::newRow(window + "text last") << shown << true << QString();
    }
}

void HeldOutputsTest::lastOfNumbersAndTextsIsShown()
{
    QFETCH(bool, shown);
    QFETCH(bool, textLast);
    QFETCH(QString, expected);
    Outputs outputs;
    if (shown)
        outputs.window.show();
    outputs.held->setText(1, "typed before");
    outputs.held->setNumber(1, 4095);
    outputs.held->setText(1, "");
    outputs.held->setNumber(1, std::numeric_limits<std::int32_t>::min());
    if (textLast)
        outputs.held->setText(1, "");
    QCOMPARE(outputs.held->text(1), expected.toStdString());
    outputs.held->push();
    QCOMPARE(outputs.fields[1]->text(), expected);
    QCOMPARE(outputs.held->text(1), expected.toStdString());
}

ADTEST_GUI_TEST_MAIN(HeldOutputsTest)
#include "tst_held_outputs.moc"
