#include "GuiTestMain.h"

#include "AnalysisActions.h"
#include "AnalysisWindow.h"
#include "CodeCurvePlot.h"
#include "CodeDensityAnalysis.h"
#include "FigureComparison.h"
#include "Form1.h"
#include "FrequencyPlot.h"
#include "HistogramActions.h"
#include "HistogramCsv.h"
#include "QtWindowToolkit.h"
#include "RecordSidecar.h"
#include "ReferenceRecord.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <map>

using Counts = std::vector<std::uint64_t>;
Q_DECLARE_METATYPE(Counts)
Q_DECLARE_METATYPE(TestKind)

namespace {

// A histogram of `codes` codes holding `hits` at the given codes.
Counts histogram(const std::map<int, std::uint64_t> &hits, int codes = 4096)
{
    Counts counts(std::size_t(codes), 0);
    for (const auto &[code, count] : hits)
        counts[std::size_t(code)] = count;
    return counts;
}

Counts flatRamp(std::uint64_t perCode)
{
    return Counts(4096, perCode);
}

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

} // namespace

// Comparing the live board with a saved one: the figures side by side with
// their differences, and references that are refused.
class AnalysisCompareTest : public QObject
{
    Q_OBJECT

private slots:
    // Each side analysed as its own kind; a figure one side lacks has no
    // difference.
    void differenceTable_data()
    {
        QTest::addColumn<Counts>("live");
        QTest::addColumn<TestKind>("liveKind");
        QTest::addColumn<Counts>("reference");
        QTest::addColumn<TestKind>("referenceKind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("expected"); // live, reference, difference

        const Counts dcAt2000 = histogram({{1999, 25}, {2000, 50}, {2001, 25}});
        const Counts dcAt2002 = histogram({{2001, 50}, {2002, 100}, {2003, 50}});
        QTest::newRow("count: no decimals, signed")
            << dcAt2000 << TestKind::Dc << dcAt2002 << TestKind::Dc << "Samples"
            << QStringList {"100", "200", "-100"};
        QTest::newRow("measure: three decimals")
            << dcAt2002 << TestKind::Dc << dcAt2000 << TestKind::Dc << "Mean code (codes)"
            << QStringList {"2002.000", "2000.000", "+2.000"};
        QTest::newRow("equal: no sign") << dcAt2000 << TestKind::Dc << dcAt2002 << TestKind::Dc
                                        << "Sigma (LSB)" << QStringList {"0.707", "0.707", "0.000"};
        QTest::newRow("only the live side gives it")
            << flatRamp(100) << TestKind::Ramp << dcAt2000 << TestKind::Dc << "Worst |DNL| (LSB)"
            << QStringList {"0.000", "—", "—"};
        QTest::newRow("only the reference gives it")
            << flatRamp(100) << TestKind::Ramp << dcAt2000 << TestKind::Dc << "Peak-to-peak (codes)"
            << QStringList {"—", "2", "—"};
    }
    void differenceTable()
    {
        QFETCH(Counts, live);
        QFETCH(TestKind, liveKind);
        QFETCH(Counts, reference);
        QFETCH(TestKind, referenceKind);
        QFETCH(QString, title);
        QFETCH(QStringList, expected);
        CodeDensityOptions options;
        options.kind = liveKind;
        const CodeDensityResult ours = analyseCodeDensity(live, options);
        options.kind = referenceKind;
        const CodeDensityResult theirs = analyseCodeDensity(reference, options);
        const DynamicResult noRecord;
        const std::vector<ComparedFigure> rows
            = compareFigures({ours, noRecord}, {theirs, noRecord},
                {FigureSource::Histogram, FigureSource::DcNoise, FigureSource::Linearity});
        const auto row = std::ranges::find(rows, title.toStdString(), &ComparedFigure::title);
        QVERIFY2(row != rows.end(), qPrintable(title));
        QCOMPARE(
            QStringList({QString::fromStdString(row->live), QString::fromStdString(row->reference),
                QString::fromStdString(row->difference)}),
            expected);
        // No spectrum on either side: no dynamic rows at all.
        QVERIFY(
            compareFigures({ours, noRecord}, {theirs, noRecord}, {FigureSource::Dynamic}).empty());
    }

    // What cannot be compared is refused in one line naming the file.
    void refusedReference_data()
    {
        QTest::addColumn<QByteArray>("contents"); // empty: no such file
        QTest::addColumn<QString>("reason");

        QTest::newRow("another resolution")
            << QByteArray::fromStdString(histogramCsv(Counts(1024, 7)))
            << "ref.csv: a 10-bit converter's histogram (1024 codes); the live one is 12-bit";
        QTest::newRow("a table cut short, not another resolution")
            << QByteArray::fromStdString(histogramCsv(Counts(1000, 7)))
            << "ref.csv: 1000 rows, but a 12-bit converter has 4096 codes";
        QTest::newRow("a record's code beyond the resolution")
            << QByteArray("sample,code\n0,2048\n1,5000\n") << "is not a 12-bit code";
        QTest::newRow("missing") << QByteArray() << "cannot read";
    }
    void refusedReference()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath("ref.csv");
        if (!contents.isEmpty())
            writeFile(path, contents);
        const ReferenceReading reading = readReference(path, 12);
        QVERIFY(!reading.reference);
        QVERIFY2(reading.error.contains(reason), qPrintable(reading.error));
        QVERIFY(!reading.error.contains('\n'));
    }

    // A record's sidecar gives the reference its rate.
    void recordWithSidecar()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("yesterday.csv");
        writeFile(path, "sample,code\n0,100\n1,101\n2,100\n");
        RecordSidecar sidecar;
        sidecar.sampleRate = 192.0;
        sidecar.samples = 3;
        writeFile(recordSidecarPath(path), recordSidecarJson(sidecar));
        const ReferenceReading reading = readReference(path, 12);
        QVERIFY2(reading.ok(), qPrintable(reading.error));
        QCOMPARE(reading.reference->name, "yesterday.csv");
        QCOMPARE(reading.reference->record.size(), 3u);
        QCOMPARE(reading.reference->counts[100], 2u);
        QCOMPARE(reading.reference->sampleRate, 192.0);
    }

    // A record is analysed as the live one is, at its own rate, and drawn
    // under the live spectrum; a histogram alone has no spectrum to show.
    void recordReferenceHasItsSpectrum()
    {
        AnalysisWindow window;
        ReferenceRecord reference;
        reference.name = "yesterday.npy";
        for (int i = 0; i < 5000; ++i)
            reference.record.push_back(std::uint16_t(2048 + 1500 * std::sin(i * 0.3)));
        reference.counts.assign(4096, 0);
        for (std::uint16_t code : reference.record)
            ++reference.counts[code];
        reference.sampleRate = 1000.0;
        window.setReference(reference);
        QVERIFY(window.referenceDynamicResult());
        QCOMPARE(window.referenceDynamicResult()->recordLength, 4096u);
        QCOMPARE(window.referenceDynamicResult()->sampleRate, 1000.0);
        QVERIFY(window.spectrumPlot().hasReference());

        reference.record.clear();
        window.setReference(reference);
        QVERIFY(!window.referenceDynamicResult());
        QVERIFY(!window.spectrumPlot().hasReference());
    }

    // In the window: a good reference adds its curves and the two columns,
    // a bad one is told on the status line and changes nothing, and
    // clearing removes it.
    void compareInTheWindow()
    {
        Form1 form;
        form.toolkit().setExitHandler([](int, const QString &) {});
        MeasurementState &state = form.measurement();
        for (int code = 0; code <= 4095; ++code)
            state.wideCounts[code] = 100 + code % 3;
        form.histogramActions().openAnalysis();
        AnalysisWindow *window = form.histogramActions().analysisWindow();
        AnalysisActions *actions = form.histogramActions().analysisActions();
        auto *figures = window->findChild<QLabel *>("histogramFigures");
        QVERIFY(figures);
        QTRY_VERIFY(!window->histogramAnalysing());
        const QString alone = figures->text();

        QTemporaryDir dir;
        const QString golden = dir.filePath("golden.csv");
        writeFile(golden, QByteArray::fromStdString(histogramCsv(flatRamp(100))));
        QVERIFY(actions->compareWith(golden));
        QTRY_VERIFY(window->dnlPlot().hasReference());
        QVERIFY(figures->text().contains("golden.csv"));
        QVERIFY(figures->text().contains("difference"));
        QVERIFY(actions->status().isEmpty());

        const QString compared = figures->text();
        QVERIFY(!actions->compareWith(dir.filePath("absent.csv")));
        QVERIFY(actions->status().contains("absent.csv"));
        QCOMPARE(window->reference()->name, "golden.csv");
        QCOMPARE(figures->text(), compared);
        // The port's line, refreshed each second, keeps the reference's.
        actions->setStatus({});
        QVERIFY(actions->status().contains("absent.csv"));

        actions->clearComparison();
        QVERIFY(!window->reference());
        QTRY_VERIFY(!window->dnlPlot().hasReference());
        QCOMPARE(figures->text(), alone);
        QVERIFY(actions->status().isEmpty());
    }
};

ADTEST_GUI_TEST_MAIN(AnalysisCompareTest)
#include "tst_analysis_compare.moc"
