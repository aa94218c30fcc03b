#include "GuiTestMain.h"
#include "WindowClicks.h"

#include "Form1.h"
#include "LampShape.h"
#include "PlotArea.h"
#include "QtWindowToolkit.h"

#include <QClipboard>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <sys/wait.h>
#include <unistd.h>

namespace {

QRect pixels(int left, int top, int width, int height)
{
    const auto px = [](int twips) { return qRound(twips / 15.0); };
    return QRect(QPoint(px(left), px(top)), QPoint(px(left + width) - 1, px(top + height) - 1));
}

struct Control
{
    const char *name;
    const char *text; // nullptr: not a text control
    QRect twips;
    Qt::Alignment alignment;
    qreal points; // 0: the window's default font
    bool italic;
};

// The window's controls as laid out at design time (fields still read "Text1"
// then; the load sequence rewrites them).
const Control windowControls[] = {
    {"Picture1", nullptr, {120, 135, 8000, 4815}, {}, 0, false},
    {"Text7", "100", {720, 240, 1035, 330}, Qt::AlignHCenter, 9.75, false},
    {"Label12", "Start", {660, 5160, 435, 255}, Qt::AlignRight, 9.75, false},
    {"Text5", "0", {1200, 5100, 1035, 330}, Qt::AlignHCenter, 9.75, false},
    {"Label13", "End", {2100, 5160, 855, 255}, Qt::AlignRight, 9.75, false},
    {"Text6", "4095", {3000, 5100, 1035, 330}, Qt::AlignHCenter, 9.75, false},
    {"Command4", "SET", {5640, 5100, 1035, 315}, {}, 0, false},
    {"Command3", "RESET", {6960, 5100, 1035, 315}, {}, 0, false},
    {"Label1", "DATA", {240, 5640, 855, 255}, Qt::AlignRight, 9.75, false},
    {"Text1", "", {1200, 5580, 1035, 330}, Qt::AlignHCenter, 12, false},
    {"Label3", "max", {2100, 5640, 855, 255}, Qt::AlignRight, 9.75, false},
    {"Text3", "", {3000, 5580, 1035, 330}, Qt::AlignHCenter, 12, false},
    {"Label2", "min", {3960, 5640, 855, 255}, Qt::AlignRight, 9.75, false},
    {"Text2", "", {4860, 5580, 1035, 330}, Qt::AlignHCenter, 12, false},
    {"Label8", "TIMES", {6060, 5640, 855, 255}, Qt::AlignRight, 9.75, false},
    {"Text4", "", {6960, 5580, 1035, 330}, Qt::AlignHCenter, 12, false},
    {"Shape1", nullptr, {540, 6060, 495, 315}, {}, 0, false},
    {"Command1", "START", {1200, 6060, 1035, 315}, {}, 0, false},
    {"Label9", "COM1 only 9600bps", {2400, 6120, 1815, 255}, Qt::AlignLeft, 0, false},
    {"Label10", "Quorvane", {4560, 6120, 2175, 255}, Qt::AlignRight, 12, true},
    {"Command2", "EXIT", {6960, 6060, 1035, 315}, {}, 0, false},
};

// Inside the plot area, relative to the inside of its border. The captions
// show what the load sequence's RESET wrote.
const Control plotControls[] = {
    {"Label6", "Top", {0, 120, 495, 255}, Qt::AlignRight, 9.75, false},
    {"Label4", " 0", {60, 4260, 795, 255}, Qt::AlignLeft, 9.75, false},
    {"Label11", " 2048", {3600, 4260, 975, 255}, Qt::AlignHCenter, 9.75, false},
    {"Label5", " 4095", {7020, 4260, 855, 255}, Qt::AlignRight, 9.75, false},
};

QString textOf(QWidget *widget)
{
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return edit->text();
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    return {};
}

Qt::Alignment horizontalAlignmentOf(QWidget *widget)
{
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return edit->alignment() & Qt::AlignHorizontal_Mask;
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->alignment() & Qt::AlignHorizontal_Mask;
    return {};
}

} // namespace

class Form1Test : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowFrame();
    void controlsMatchTheLayout_data();
    void controlsMatchTheLayout();
    void plotControlsMatchTheLayout_data();
    void plotControlsMatchTheLayout();
    void lineControls();
    void coloursAndBackgrounds();
    void fieldsLieOverLabels();
    void focusAndTabOrder();
    void loadFillsDefaults();
    void typingIsLimitedOnEveryKeystroke();
    void programWrittenTextIsLimitedToo();
    void longPasteIsKeptWhole_data();
    void longPasteIsKeptWhole();
    void setAndResetUpdateTheCaptions();
    void makerCaptionLoadsThePattern();
    void closingTheWindowEndsTheProgram();
    void exitEndsTheProcessWithStatusZero();

private:
    template<typename T = QWidget> T *control(const char *name)
    {
        auto *widget = form->findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }

    Form1 *form = nullptr;
    QList<int> exitStatuses;
};

void Form1Test::init()
{
    form = new Form1;
    exitStatuses.clear();
    form->toolkit().setExitHandler([this](int status, const QString &) { exitStatuses << status; });
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
}

void Form1Test::cleanup()
{
    delete form;
    form = nullptr;
}

void Form1Test::windowFrame()
{
    QCOMPARE(form->windowTitle(), QStringLiteral(" A/D Test (8ch)"));
    QCOMPARE(form->size(), QSize(550, 433));
    QCOMPARE(form->minimumSize(), form->maximumSize());
    const Qt::WindowFlags flags = form->windowFlags();
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowCloseButtonHint);
}

void Form1Test::controlsMatchTheLayout_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(std::size(windowControls)); ++i)
        QTest::newRow(windowControls[i].name) << i;
}

void Form1Test::controlsMatchTheLayout()
{
    QFETCH(int, index);
    const Control &expected = windowControls[index];
    QWidget *widget = control(expected.name);

    QCOMPARE(widget->parentWidget(), form);
    QCOMPARE(widget->geometry(),
        pixels(expected.twips.x(), expected.twips.y(), expected.twips.width(),
            expected.twips.height()));
    if (expected.text)
        QCOMPARE(textOf(widget), QString::fromUtf8(expected.text));
    QCOMPARE(horizontalAlignmentOf(widget), expected.alignment);
    if (expected.points > 0) {
        QCOMPARE(widget->font().pointSizeF(), expected.points);
        QVERIFY(widget->font().bold());
        QCOMPARE(widget->font().italic(), expected.italic);
        const QString family = QFontInfo(widget->font()).family();
        QVERIFY2(family == "Arial" || family == "Liberation Sans", qPrintable(family));
    } else {
        QCOMPARE(widget->font(), form->font());
    }
}

void Form1Test::plotControlsMatchTheLayout_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(std::size(plotControls)); ++i)
        QTest::newRow(plotControls[i].name) << i;
}

void Form1Test::plotControlsMatchTheLayout()
{
    QFETCH(int, index);
    const Control &expected = plotControls[index];
    auto *plot = control<PlotArea>("Picture1");
    auto *label = control<QLabel>(expected.name);

    QCOMPARE(label->parentWidget(), plot);
    QCOMPARE(label->geometry().translated(-plot->contentsRect().topLeft()),
        pixels(expected.twips.x(), expected.twips.y(), expected.twips.width(),
            expected.twips.height()));
    QCOMPARE(label->text(), QString::fromUtf8(expected.text));
    QCOMPARE(horizontalAlignmentOf(label), expected.alignment);
    QCOMPARE(label->font().pointSizeF(), 9.75);
    QVERIFY(label->font().bold());
    QVERIFY(label->autoFillBackground());
    QCOMPARE(label->palette().color(QPalette::Window), QColor(224, 224, 224));
}

void Form1Test::lineControls()
{
    const auto lines = control<PlotArea>("Picture1")->lineControls();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0].name, QStringLiteral("Line1"));
    QCOMPARE(lines[0].from, QPoint(0, 4230));
    QCOMPARE(lines[0].to, QPoint(8220, 4230));
    QCOMPARE(lines[0].widthPixels, 2);
    QCOMPARE(lines[1].name, QStringLiteral("Line2"));
    QCOMPARE(lines[1].from, QPoint(4096, 4100));
    QCOMPARE(lines[1].to, QPoint(4096, 4250));
    QCOMPARE(lines[1].widthPixels, 1);
}

void Form1Test::coloursAndBackgrounds()
{
    QCOMPARE(
        control<PlotArea>("Picture1")->palette().color(QPalette::Window), QColor(224, 224, 224));
    QCOMPARE(
        control<QLabel>("Label10")->palette().color(QPalette::WindowText), QColor(0, 128, 128));
    for (const char *name : {"Label12", "Label13"}) {
        QVERIFY(control(name)->autoFillBackground());
        QCOMPARE(control(name)->palette().color(QPalette::Window), QColor(180, 180, 180));
    }
    QCOMPARE(control<LampShape>("Shape1")->fillColour(), QColor(Qt::black));
    QCOMPARE(control<QTimer>("Timer1")->interval(), 1000);
    QVERIFY(control<QTimer>("Timer1")->isActive());
}

// Labels are drawn beneath fields; "End", "max" and "min" overlap the field
// to their left.
void Form1Test::fieldsLieOverLabels()
{
    const QObjectList stacking = form->children(); // bottom to top
    const std::pair<const char *, const char *> overlaps[]
        = {{"Label13", "Text5"}, {"Label3", "Text1"}, {"Label2", "Text3"}, {"Picture1", "Text7"}};
    for (const auto &[below, above] : overlaps) {
        QVERIFY(control(below)->geometry().intersects(control(above)->geometry()));
        QVERIFY2(stacking.indexOf(control(below)) < stacking.indexOf(control(above)), above);
    }
}

void Form1Test::focusAndTabOrder()
{
    QCOMPARE(form->focusWidget(), control("Text1"));
    const char *order[] = {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7",
        "Command1", "Command2", "Command3", "Picture1", "Command4"};
    const auto nextTabStop = [](QWidget *widget) {
        do
            widget = widget->nextInFocusChain();
        while (!(widget->focusPolicy() & Qt::TabFocus));
        return widget;
    };
    for (std::size_t i = 1; i < std::size(order); ++i)
        QCOMPARE(nextTabStop(control(order[i - 1])), control(order[i]));
    QCOMPARE(nextTabStop(control("Command4")), control("Text1"));
}

void Form1Test::loadFillsDefaults()
{
    const MeasurementState &state = form->measurement();
    QCOMPARE(state.startCode, std::int16_t(0));
    QCOMPARE(state.endCode, std::int16_t(4095));
    QCOMPARE(state.spanCodes, std::int16_t(4095));
    QCOMPARE(state.centerCode, std::int16_t(2048));
    QCOMPARE(state.fullScaleCount, std::int16_t(100));
    QCOMPARE(state.minCode, 4095);
    QCOMPARE(state.maxCode, 0);
    QCOMPARE(state.frameCount, 0);
}

void Form1Test::typingIsLimitedOnEveryKeystroke()
{
    auto *start = control<QLineEdit>("Text5");
    start->clear();
    QStringList seen;
    for (char key : {'5', '0', '0', '0'}) {
        QTest::keyClick(start, key);
        seen << start->text();
    }
    // The limit writes "0" as soon as the fourth digit lands.
    QCOMPARE(seen, (QStringList {"5", "50", "500", "0"}));

    auto *end = control<QLineEdit>("Text6");
    end->clear();
    QTest::keyClicks(end, "4097");
    QCOMPARE(end->text(), QStringLiteral("4096"));
    end->clear();
    QTest::keyClicks(end, "4096");
    QCOMPARE(end->text(), QStringLiteral("4096"));

    auto *fullScale = control<QLineEdit>("Text7");
    fullScale->clear();
    QTest::keyClicks(fullScale, "12000");
    QCOMPARE(fullScale->text(), QStringLiteral("10000"));

    start->clear();
    QTest::keyClicks(start, "-77abc");
    QCOMPARE(start->text(), QStringLiteral("-77abc"));
}

void Form1Test::programWrittenTextIsLimitedToo()
{
    form->toolkit().setFieldText(TextField::Text6, "9999");
    QCOMPARE(control<QLineEdit>("Text6")->text(), QStringLiteral("4096"));
}

void Form1Test::longPasteIsKeptWhole_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("kept");

    const QString zeros(40000, QLatin1Char('0'));
    QTest::newRow("over the limit") << QByteArray("Text6") << zeros + "5000" << QString("4096");
    QTest::newRow("within the limit") << QByteArray("Text5") << zeros + "100" << zeros + "100";
}

void Form1Test::longPasteIsKeptWhole()
{
    QFETCH(QByteArray, field);
    QFETCH(QString, pasted);
    auto *edit = control<QLineEdit>(field.constData());
    edit->clear();
    QGuiApplication::clipboard()->setText(pasted);
    edit->paste();
    QFETCH(QString, kept);
    // Lengths first: a failure then prints two numbers, not 40000 zeros.
    QCOMPARE(edit->text().size(), kept.size());
    QVERIFY(edit->text() == kept);
}

void Form1Test::setAndResetUpdateTheCaptions()
{
    control<QLineEdit>("Text5")->setText("1000");
    control<QLineEdit>("Text6")->setText("1101");
    form->measurement().histogram[1050] = 4;
    form->measurement().frameCount = 9;

    click(*form, "Command4");
    QCOMPARE(control<QLabel>("Label4")->text(), QStringLiteral(" 1000"));
    QCOMPARE(control<QLabel>("Label11")->text(), QStringLiteral(" 1050"));
    QCOMPARE(control<QLabel>("Label5")->text(), QStringLiteral(" 1101"));
    QCOMPARE(form->measurement().histogram[1050], std::int16_t(4));
    QCOMPARE(form->measurement().frameCount, 9);

    control<QLineEdit>("Text5")->setText("2000");
    click(*form, "Command3");
    QCOMPARE(control<QLabel>("Label4")->text(), QStringLiteral(" 0"));
    QCOMPARE(control<QLabel>("Label11")->text(), QStringLiteral(" 2048"));
    QCOMPARE(control<QLabel>("Label5")->text(), QStringLiteral(" 4096"));
    QCOMPARE(form->measurement().histogram[1050], std::int16_t(0));
    QCOMPARE(form->measurement().frameCount, 0);
    QCOMPARE(control<QLineEdit>("Text5")->text(), QStringLiteral("2000"));
}

void Form1Test::makerCaptionLoadsThePattern()
{
    click(*form, "Label10");
    QCOMPARE(form->measurement().histogram[2048], std::int16_t(50));
    QCOMPARE(form->measurement().histogram[4095], std::int16_t(10));
    QCOMPARE(form->measurement().histogram[988], std::int16_t(0));
}

void Form1Test::closingTheWindowEndsTheProgram()
{
    form->close();
    QCOMPARE(exitStatuses, QList<int> {0});
    QVERIFY(form->toolkit().programEnded());
}

// EXIT with the real exit handler, in a child process.
void Form1Test::exitEndsTheProcessWithStatusZero()
{
    form->toolkit().setExitHandler(
        [](int status, const QString &message) { QtWindowToolkit::exitProcess(status, message); });
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        click(*form, "Command2");
        std::_Exit(42); // only reached if EXIT returned
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
}

ADTEST_GUI_TEST_MAIN(Form1Test)
#include "tst_form1.moc"
