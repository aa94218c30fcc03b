#include "GuiTestMain.h"

#include "AnalysisActions.h"
#include "AnalysisWindow.h"
#include "ExportFile.h"
#include "Form1.h"
#include "HistogramActions.h"
#include "HistogramCsv.h"
#include "QtWindowToolkit.h"
#include "RecordClock.h"
#include "RecordSidecar.h"
#include "RecoveryFile.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <sstream>

// The analysis window's exports, the record's clock and the recovery files,
// on the real window without a serial line.
class AnalysisExportsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        form = new Form1;
        form->toolkit().setExitHandler([](int, const QString &) {});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }
    void cleanup() { delete form; }

    // A ramp's figures go out as a table, its DNL and INL per code as the
    // histogram table, and the figures as adcapture's report.
    void exportsOfARamp()
    {
        MeasurementState &state = form->measurement();
        for (int code = 0; code <= 4095; ++code)
            state.wideCounts[code] = 100 + code % 3;
        form->histogramActions().openAnalysis();
        AnalysisActions *actions = form->histogramActions().analysisActions();
        QVERIFY(actions);
        QTRY_VERIFY(!form->histogramActions().analysisWindow()->histogramAnalysing());
        QCOMPARE(actions->menu()->actions().size(), 8); // and a separator

        actions->copyFigures();
        const QString copied = QApplication::clipboard()->text();
        QCOMPARE(copied, actions->figuresText());
        const QStringList lines = copied.split('\n', Qt::SkipEmptyParts);
        QVERIFY(lines.size() > 5);
        for (const QString &line : lines)
            QCOMPARE(line.count('\t'), 1);

        std::istringstream csv(actions->linearityCsv().toStdString());
        QVERIFY(actions->linearityCsv().startsWith("code,count,dnl_lsb,inl_lsb"));
        const HistogramCsvReading reading = readHistogramCsv(csv);
        QVERIFY2(reading.ok(), reading.error.c_str());
        QCOMPARE(reading.counts[4095], std::uint64_t(100));

        const QJsonObject report = QJsonDocument::fromJson(actions->reportJson()).object();
        QCOMPARE(report["test_kind"].toString(), "ramp");
        QCOMPARE(report["frames"].toInt(), report["analysis"].toObject()["samples"].toInt());
        QVERIFY(!report["figures"].toObject().isEmpty());
        QVERIFY(report["analysis"].toObject().contains("linearity"));
        // No sine yet: the spectrum table is its header alone.
        QCOMPARE(actions->spectrumCsv(), QByteArray("bin,frequency_cycles_per_sample,dbfs\n"));
    }

    // A lost port is told on the status line, which is hidden otherwise.
    void statusLine()
    {
        form->histogramActions().openAnalysis();
        AnalysisActions *actions = form->histogramActions().analysisActions();
        auto *status = form->histogramActions().analysisWindow()->findChild<QLabel *>("status");
        QVERIFY(status);
        QVERIFY(status->isHidden());
        actions->setStatus("Port 1 went away");
        QVERIFY(status->isVisible());
        actions->setStatus({});
        QVERIFY(status->isHidden());
    }

    void defaultName()
    {
        const QDateTime when(QDate(2026, 12, 8), QTime(15, 30, 12));
        QCOMPARE(ExportFile::defaultName("dnl", "csv", when), "adtest-dnl-20261208-153012.csv");
    }

    // The rate is taken while the record grows, not over idle seconds.
    void recordClock_data()
    {
        QTest::addColumn<QList<int>>("appended"); // one a second
        QTest::addColumn<double>("rate"); // 0: none
        QTest::newRow("nothing yet") << QList<int> {0, 0, 0} << 0.0;
        QTest::newRow("one second") << QList<int> {0, 192} << 192.0;
        QTest::newRow("idle before") << QList<int> {0, 0, 0, 200, 400} << 200.0;
        QTest::newRow("idle after") << QList<int> {0, 100, 200, 200, 200} << 100.0;
        QTest::newRow("restarted") << QList<int> {0, 500, 1000, 0, 50, 100} << 50.0;
    }
    void recordClock()
    {
        QFETCH(QList<int>, appended);
        QFETCH(double, rate);
        RecordClock clock;
        const QDateTime start(QDate(2026, 12, 8), QTime(12, 0));
        for (int i = 0; i < appended.size(); ++i)
            clock.observe(appended[i], start.addSecs(i));
        QCOMPARE(clock.sampleRate().value_or(0), rate);
        QCOMPARE(clock.firstOf(10).isValid(), rate > 0);
    }

    // Nothing is written without counts; with them the histogram and the
    // record go to dated files, and the text names them.
    void recoveryFiles()
    {
        QTemporaryDir directory;
        const QString folder = directory.filePath("recovery");
        HistogramActions &actions = form->histogramActions();
        QCOMPARE(saveRecoveryFiles(actions, folder), QString());
        QVERIFY(!QDir(folder).exists());

        MeasurementState &state = form->measurement();
        state.wideCounts[2048] = 10171;
        for (int i = 0; i < 100; ++i)
            state.record.append(2048);
        const QDateTime when(QDate(2026, 12, 8), QTime(15, 30, 12));
        const QString text = saveRecoveryFiles(actions, folder, when);
        const QString histogram = folder + "/adtest-recovery-histogram-20261208-153012.csv";
        const QString samples = folder + "/adtest-recovery-samples-20261208-153012.npy";
        QVERIFY2(
            text.contains("10171 readings") && text.contains(histogram) && text.contains(samples),
            qPrintable(text));
        QVERIFY(QFile::exists(histogram));
        QVERIFY(QFile::exists(samples));
        QVERIFY(readRecordSidecar(samples).sidecar);

        // A folder that cannot be made says so instead.
        QFile blocker(directory.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(saveRecoveryFiles(actions, blocker.fileName() + "/sub", when)
                    .contains("could not be saved"));
    }

    // START on a port that cannot be opened ends the program with the sample
    // record of the run before still there to be kept.
    void failedStartKeepsTheRecord()
    {
        Form1 missing(nullptr, "/nonexistent/adtest-port");
        QList<int> exits;
        missing.toolkit().setExitHandler([&](int status, const QString &) { exits << status; });
        missing.measurement().record.append(0x123);
        missing.findChild<QPushButton *>("Command1")->click();
        QTRY_COMPARE(exits, QList<int> {1});
        QCOMPARE(missing.measurement().record.inOrder(), std::vector<std::uint16_t> {0x123});
    }

private:
    Form1 *form = nullptr;
};

ADTEST_GUI_TEST_MAIN(AnalysisExportsTest)
#include "tst_analysis_exports.moc"
