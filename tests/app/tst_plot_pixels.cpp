#include "GuiTestMain.h"
#include "WindowClicks.h"

#include "Form1.h"
#include "PlotArea.h"
#include "QtWindowToolkit.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <set>

namespace {

const QRgb orange = qRgb(255, 128, 0);
const QRgb black = qRgb(0, 0, 0);

// Pixel column or row of a position in twips inside the plot area.
int px(int twips)
{
    return qRound(twips / 15.0);
}

} // namespace

class PlotPixelsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void demoPatternColumns();
    void linesAndCaptionsStayOnTop();
    void plotIsEmptyAfterSetAndReset();
    void grownBarIsTallerAtTheNextTick();

private:
    // The inside of the plot area as shown, in pixels from its top-left corner.
    QImage plot()
    {
        auto *area = form->findChild<PlotArea *>("Picture1");
        return area->grab(area->contentsRect()).toImage().convertToFormat(QImage::Format_RGB32);
    }
    void waitForTick()
    {
        ticks = 0;
        QTRY_VERIFY_WITH_TIMEOUT(ticks > 0, 3000);
    }
    std::set<int> orangeColumns(const QImage &image, int row)
    {
        std::set<int> columns;
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, row) == orange)
                columns.insert(x);
        }
        return columns;
    }
    int orangeRows(const QImage &image, int column)
    {
        int rows = 0;
        for (int y = 0; y < image.height(); ++y)
            rows += image.pixel(column, y) == orange;
        return rows;
    }

    Form1 *form = nullptr;
    int ticks = 0;
};

void PlotPixelsTest::init()
{
    form = new Form1;
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    auto *timer = form->findChild<QTimer *>("Timer1");
    timer->setInterval(50); // tests need not wait a second for each tick
    connect(timer, &QTimer::timeout, this, [this] { ++ticks; });
}

void PlotPixelsTest::cleanup()
{
    delete form;
}

void PlotPixelsTest::demoPatternColumns()
{
    click(*form, "Label10");
    waitForTick();
    const QImage image = plot();

    // Every pattern bar is at least 420 twips tall: all show 300 twips above
    // the baseline (above the centre tick), and nothing else is orange there.
    const std::set<int> expected {
        px(0), px(1970), px(1980), px(1990), px(2000), px(2006), px(4096)};
    const std::set<int> actual = orangeColumns(image, px(4200 - 300));
    QVERIFY2(actual == expected,
        qPrintable(QStringList([&] {
            QStringList columns;
            for (int column : actual)
                columns << QString::number(column);
            return columns;
        }())
                       .join(' ')));
    // Bin 0 (count 10) is 420 twips tall, bin 2048 (count 50) 2100.
    QCOMPARE(image.pixel(px(0), px(4200 - 400)), orange);
    QVERIFY(image.pixel(px(0), px(4200 - 440)) != orange);
    QCOMPARE(image.pixel(px(4096), px(2100 + 30)), orange);
    QVERIFY(image.pixel(px(4096), px(2100 - 30)) != orange);
    // Nothing above the tallest bar (998, count 98).
    QVERIFY(orangeColumns(image, px(40)).empty());
}

void PlotPixelsTest::linesAndCaptionsStayOnTop()
{
    form->measurement().histogram[2048] = 100; // full height, on the centre tick
    form->measurement().histogram[100] = 100; // full height, behind the caption "Top"
    waitForTick();
    const QImage image = plot();

    QCOMPARE(image.pixel(px(4096), px(4000)), orange);
    QCOMPARE(image.pixel(px(4096), px(4150)), black); // the centre tick over the bar
    QCOMPARE(image.pixel(px(200), px(4230)), black); // the baseline
    QCOMPARE(image.pixel(px(200), px(1000)), orange);
    const QRect topCaption = form->findChild<QLabel *>("Label6")->geometry().translated(-2, -2);
    for (int y = topCaption.top(); y <= topCaption.bottom(); ++y)
        QVERIFY2(image.pixel(px(200), y) != orange, "the caption Top lies over the bar");
}

void PlotPixelsTest::plotIsEmptyAfterSetAndReset()
{
    for (const char *button : {"Command4", "Command3"}) {
        click(*form, "Label10");
        waitForTick();
        QVERIFY(!orangeColumns(plot(), px(4200 - 60)).empty());
        form->findChild<QTimer *>("Timer1")->stop();
        click(*form, button);
        const QImage image = plot();
        for (int y = 0; y < image.height(); ++y)
            QVERIFY2(orangeColumns(image, y).empty(), button);
        form->findChild<QTimer *>("Timer1")->start();
    }
}

void PlotPixelsTest::grownBarIsTallerAtTheNextTick()
{
    form->measurement().histogram[1000] = 10;
    waitForTick();
    const int before = orangeRows(plot(), px(2000));
    form->measurement().histogram[1000] = 20;
    waitForTick();
    const int after = orangeRows(plot(), px(2000));
    QCOMPARE(before, px(420) + 1);
    QCOMPARE(after, px(840) + 1);
}

ADTEST_GUI_TEST_MAIN(PlotPixelsTest)
#include "tst_plot_pixels.moc"
