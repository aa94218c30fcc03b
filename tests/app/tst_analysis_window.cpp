#include "GuiTestMain.h"

#include "AnalysisWindow.h"
#include "ClickableLabel.h"
#include "Form1.h"
#include "FrequencyPlot.h"
#include "HistogramActions.h"
#include "HistogramCsv.h"
#include "LatestInputRunner.h"
#include "PlotArea.h"
#include "QtWindowToolkit.h"
#include "SampleRecordFile.h"
#include "SweptRecord.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>

#include <sys/resource.h>
#include <sys/stat.h>

// The histogram's context menu, exports and analysis window, on the real
// window without a serial line.
class AnalysisWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        form = new Form1;
        // The real handler would end the test program, and the tests after
        // the current one would silently not run.
        form->toolkit().setExitHandler([this](int status, const QString &) { exits << status; });
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }
    void cleanup()
    {
        delete form;
        QCOMPARE(exits, QList<int> {});
        exits.clear();
    }

    void wideCountsFollowResetAndDemoPattern()
    {
        MeasurementState &state = form->measurement();
        state.wideCounts[988] = 70000;
        QTest::mouseClick(form->findChild<ClickableLabel *>("Label10"), Qt::LeftButton);
        for (int code = 0; code <= 4096; ++code)
            QCOMPARE(state.wideCounts[code],
                code == 988 ? 70000u : std::uint64_t(state.histogram[code]));
        QTest::mouseClick(form->findChild<QPushButton *>("Command3"), Qt::LeftButton);
        QVERIFY(
            std::ranges::all_of(state.wideCounts, [](std::uint64_t count) { return count == 0; }));
    }

    // Ctrl+C copies the histogram from the plot, but a text field keeps it
    // for its own text.
    void copyShortcutLeavesTextFieldsTheirKey()
    {
        form->measurement().wideCounts[7] = 3;
        auto *field = form->findChild<QLineEdit *>("Text5");
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("0"));

        auto *plot = form->findChild<PlotArea *>("Picture1");
        plot->setFocus();
        QTest::keyClick(plot, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(QApplication::clipboard()->text().startsWith(
            "code,count\n0,0\n1,0\n2,0\n3,0\n4,0\n5,0\n6,0\n7,3\n"));
    }

    // Where the operator presses it: in a fresh window (the focus in Text1),
    // after clicking the plot, or in a field with nothing selected.
    void copyShortcutWhereverNothingIsSelected_data()
    {
        QTest::addColumn<QString>("clicked"); // empty: nothing
        QTest::addColumn<QString>("focused");
        QTest::newRow("fresh window") << QString() << "Text1";
        QTest::newRow("plot clicked") << "Picture1"
                                      << "Picture1";
        QTest::newRow("setting field clicked") << "Text6"
                                               << "Text6";
    }

    void copyShortcutWhereverNothingIsSelected()
    {
        QFETCH(QString, clicked);
        QFETCH(QString, focused);
        form->measurement().wideCounts[1] = 9;
        QApplication::clipboard()->setText(QStringLiteral("before"));
        if (!clicked.isEmpty())
            QTest::mouseClick(form->findChild<QWidget *>(clicked), Qt::LeftButton, {}, {30, 8});
        QWidget *focus = QApplication::focusWidget();
        QCOMPARE(focus ? focus->objectName() : QString(), focused);
        QTest::keyClick(focus, Qt::Key_C, Qt::ControlModifier);
        QVERIFY2(QApplication::clipboard()->text().startsWith("code,count\n0,0\n1,9\n"),
            qPrintable(QApplication::clipboard()->text().left(40)));
    }

    void contextMenuOnPlotNotOnFields()
    {
        QMenu *menu = form->histogramActions().menu();
        QStringList texts;
        for (const QAction *action : menu->actions())
            texts << action->text();
        QCOMPARE(texts,
            (QStringList {"Analysis…", "Copy histogram", "Save histogram as CSV…",
                "Save window as PNG…", "Save samples…"}));
        auto *plot = form->findChild<PlotArea *>("Picture1");
        QContextMenuEvent onPlot(
            QContextMenuEvent::Mouse, QPoint(50, 50), plot->mapToGlobal(QPoint(50, 50)));
        QApplication::sendEvent(plot, &onPlot);
        QTRY_VERIFY(menu->isVisible());
        menu->hide();
        auto *field = form->findChild<QLineEdit *>("Text6");
        QContextMenuEvent onField(
            QContextMenuEvent::Mouse, QPoint(5, 5), field->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(field, &onField);
        QVERIFY(!menu->isVisible());
    }

    void savedFilesReadBack()
    {
        MeasurementState &state = form->measurement();
        for (int code = 0; code <= 4095; ++code)
            state.wideCounts[code] = 100 + code % 3;
        QTemporaryDir directory;
        const QString csv = directory.filePath("histogram.csv");
        QVERIFY(form->histogramActions().saveCsv(csv));
        std::ifstream in(csv.toStdString());
        const HistogramCsvReading reading = readHistogramCsv(in);
        QVERIFY2(reading.ok(), reading.error.c_str());
        QVERIFY(std::ranges::equal(reading.counts, form->histogramActions().counts()));
        QString error;
        QVERIFY(
            !form->histogramActions().saveCsv(directory.filePath("missing/histogram.csv"), &error));
        QVERIFY(!error.isEmpty());

        const QString png = directory.filePath("window.png");
        QVERIFY(form->histogramActions().savePng(png));
        QCOMPARE(QImage(png).size(), form->grab().size());

        // The record, oldest first, in either form.
        state.record.setCapacity(3);
        for (const std::uint16_t code : {7, 4095, 0, 2048})
            state.record.append(code);
        const std::vector<std::uint16_t> kept {4095, 0, 2048};
        for (const char *name : {"samples.npy", "samples.csv"}) {
            QVERIFY(form->histogramActions().saveSamples(directory.filePath(name)));
            std::ifstream record(directory.filePath(name).toStdString(), std::ios::binary);
            QCOMPARE(readSampleRecord(record).codes, kept);
        }
    }

    // A failed export leaves what was at the path as it was, cleans up after
    // itself and says which file and why. A file-size limit makes the writes
    // fail with EFBIG, as a full disk fails them with ENOSPC.
    void failedSaveKeepsWhatWasThere_data()
    {
        QTest::addColumn<bool>("png");
        QTest::addColumn<QString>("existing"); // file, folder or fifo
        QTest::addColumn<QString>("reason");
        const QString tooLarge = QString::fromLocal8Bit(std::strerror(EFBIG));
        QTest::newRow("CSV over the size limit") << false << "file" << tooLarge;
        QTest::newRow("PNG over the size limit") << true << "file" << tooLarge;
        QTest::newRow("CSV onto a folder") << false << "folder"
                                           << "it is a folder, not a file";
        QTest::newRow("PNG onto a FIFO") << true << "fifo"
                                         << "it is a FIFO, not a file";
    }

    void failedSaveKeepsWhatWasThere()
    {
        QFETCH(bool, png);
        QFETCH(QString, existing);
        QFETCH(QString, reason);
        for (int code = 0; code <= 4095; ++code)
            form->measurement().wideCounts[code] = 1000000 + code;
        QTemporaryDir directory;
        const QString path = directory.filePath(png ? "window.png" : "histogram.csv");
        const QByteArray name = QFile::encodeName(path), older = "the older export\n";
        QFile file(path);
        if (existing == "file")
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(older) == older.size());
        file.close();
        QVERIFY(existing != "folder" || QDir().mkdir(path));
        QVERIFY(existing != "fifo" || ::mkfifo(name.constData(), 0600) == 0);
        const auto kind = [&] {
            struct stat status
            { };
            return ::stat(name.constData(), &status) == 0 ? status.st_mode & S_IFMT : 0;
        };
        const auto kindBefore = kind();

        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit unlimited {};
        ::getrlimit(RLIMIT_FSIZE, &unlimited);
        const rlimit limited {4096, unlimited.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        QString error;
        const bool saved = png ? form->histogramActions().savePng(path, &error)
                               : form->histogramActions().saveCsv(path, &error);
        ::setrlimit(RLIMIT_FSIZE, &unlimited);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!saved);
        QVERIFY2(error.contains(path) && error.contains(reason) && !error.contains('\n'),
            qPrintable(error));
        QCOMPARE(kind(), kindBefore);
        QCOMPARE(
            QDir(directory.path())
                .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System | QDir::Hidden),
            QStringList {QFileInfo(path).fileName()});
        if (existing == "file") {
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), older);
        }
    }

    void analysisWindowSaysWhenABinSaturated()
    {
        MeasurementState &state = form->measurement();
        state.wideCounts[2000] = 32767;
        form->histogramActions().openAnalysis();
        AnalysisWindow *window = form->histogramActions().analysisWindow();
        QVERIFY(window->isVisible() && !window->isModal());
        auto *saturation = window->findChild<QLabel *>("saturation");
        QVERIFY(!saturation->isVisibleTo(window));
        state.wideCounts[2000] = 32768;
        form->histogramActions().timerTicked();
        QVERIFY(saturation->isVisibleTo(window));
        QTRY_COMPARE(window->result().samples, 32768u);
    }

    // While the record holds every reading counted, a ramp's linearity
    // comes from its whole sweeps; once it does not, from the counts alone.
    void rampLinearityFromWholeSweeps()
    {
        const std::vector<std::uint16_t> ramp = sweptRecord({44.3});
        std::ranges::copy(countsOf(ramp), form->measurement().wideCounts.begin());
        for (const std::uint16_t code : ramp)
            form->measurement().record.append(code);
        form->histogramActions().openAnalysis();
        const AnalysisWindow *window = form->histogramActions().analysisWindow();
        QTRY_COMPARE(window->result().linearity.wholeSweeps, std::optional<int>(44));
        form->measurement().record.append(2048); // a reading the counts do not hold
        form->histogramActions().timerTicked();
        QTRY_VERIFY(!window->result().linearity.wholeSweeps);
    }

    // With no record, and with a record of one constant code, the spectrum
    // says there is no sine, in the plot and beside it.
    void spectrumWithoutASineSaysSo()
    {
        form->histogramActions().openAnalysis();
        AnalysisWindow *window = form->histogramActions().analysisWindow();
        auto *figures = window->findChild<QLabel *>("spectrumFigures");
        QVERIFY(window->spectrumPlot().message().startsWith("No sine: "));
        QVERIFY(figures->text().startsWith("No sine: "));
        for (int i = 0; i < 5000; ++i)
            form->measurement().record.append(2048);
        form->histogramActions().timerTicked();
        QTRY_VERIFY(!window->dynamicAnalysisRunning());
        QVERIFY(!window->dynamicResult().ok);
        QVERIFY2(window->spectrumPlot().message().startsWith("No sine: "),
            qPrintable(window->spectrumPlot().message()));
        QVERIFY(figures->text().startsWith("No sine: "));
    }

    // The histogram's analysis runs on a worker; inputs given while one runs
    // are coalesced: the newest runs next, none queue up behind it.
    void newestInputRunsNext()
    {
        QSemaphore gate;
        std::vector<int> ran; // by one job at a time
        std::vector<int> shown;
        LatestInputRunner<int, int> runner(
            [&](const int &input) {
                gate.acquire();
                ran.push_back(input);
                return input * 10;
            },
            [&](const int &result) { shown.push_back(result); });
        for (const int input : {1, 2, 3})
            runner.start(input);
        QVERIFY(runner.busy());
        gate.release(2);
        QTRY_COMPARE(shown, (std::vector<int> {10, 30}));
        QVERIFY(!runner.busy());
        QCOMPARE(ran, (std::vector<int> {1, 3}));
    }

private:
    Form1 *form = nullptr;
    QList<int> exits; // statuses the window ended the program with
};

ADTEST_GUI_TEST_MAIN(AnalysisWindowTest)
#include "tst_analysis_window.moc"
