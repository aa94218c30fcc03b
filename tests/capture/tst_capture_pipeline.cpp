#include "CapturePipeline.h"
#include "FakeCaptureLine.h"
#include "FakeConverterLink.h"
#include "JsonFile.h"
#include "TestHelpers.h"

#include "HistogramCsv.h"
#include "RecordFileReader.h"
#include "VectorState.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <cmath>
#include <vector>

#include <sys/stat.h>

namespace {

// What a JUnit file says went wrong beside the limits.
struct JUnitErrors
{
    QStringList suiteCounts; // the errors attribute of testsuites, then of testsuite
    QStringList types;
    QStringList messages;
};

JUnitErrors readJUnitErrors(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    JUnitErrors errors;
    QXmlStreamReader xml(&file);
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("testsuites") || xml.name() == QLatin1String("testsuite"))
            errors.suiteCounts << xml.attributes().value("errors").toString();
        if (xml.name() == QLatin1String("error")) {
            errors.types << xml.attributes().value("type").toString();
            errors.messages << xml.attributes().value("message").toString();
        }
    }
    return errors;
}

// A regular file in `dir`, for a path that leads under it.
QString notAFolder(const QTemporaryDir &dir)
{
    QFile file(dir.filePath("plain"));
    file.open(QIODevice::WriteOnly);
    return file.fileName();
}

// A ramp across every code, `rounds` times.
std::string rampFrames(int rounds)
{
    std::string frames;
    for (int round = 0; round < rounds; ++round) {
        for (int code = 0; code < 4096; ++code)
            frames += frame(QByteArray::number(code, 16).rightJustified(3, '0').toStdString());
    }
    return frames;
}

} // namespace

// adcapture's steps run inside the test, on a fake serial link or a saved
// file: the JUnit file, written last, tells every failure the exit status
// tells.
class TestCapturePipeline : public QObject
{
    Q_OBJECT

private slots:
    void junitWrittenLast_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("errorTypes");
        QTest::addColumn<QString>("message"); // a part of the last error's

        QTest::newRow("none") << "none" << 0 << QStringList() << QString();
        // The database's folder becomes a regular file during the capture.
        QTest::newRow("database lost, the result spooled")
            << "spooled" << 0 << QStringList() << QString();
        QTest::newRow("database lost, the spool under a regular file")
            << "database" << 2 << QStringList {"database"} << "nor can it be spooled";
        QTest::newRow("histogram file replaced by a folder")
            << "output" << 2 << QStringList {"output"} << "h.csv";
        QTest::newRow("interrupted")
            << "interrupt" << 130 << QStringList {"interrupted"} << "interrupted after 4096 frames";
        QTest::newRow("port lost")
            << "port" << 2 << QStringList {"port_lost"} << "/dev/fake went away after 4096 frames";
        QTest::newRow("port lost and database")
            << "port+database" << 2 << QStringList {"port_lost", "database"} << "results.sqlite";
    }
    void junitWrittenLast()
    {
        QFETCH(QString, fault);
        QFETCH(int, status);
        QFETCH(QStringList, errorTypes);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const auto path = [&](const char *name) { return dir.filePath(QLatin1String(name)); };

        CaptureOptions options;
        QVERIFY(options
                    .parse({"adcapture", "--kind", "ramp", "--max-missing", "0", "--frames",
                        fault == "interrupt" || fault.startsWith("port") ? "100000" : "4096",
                        "--csv", path("h.csv"), "--json", path("r.json"), "--junit", path("r.xml"),
                        "--serial", "B17", "--db", "sqlite:" + path("db/results.sqlite"), "--spool",
                        fault.contains("database") ? notAFolder(dir) + "/spool" : path("spool")})
                    .isEmpty());
        const auto ending = fault == "interrupt" ? FakeConverterLink::Ending::Interrupt
            : fault.startsWith("port")           ? FakeConverterLink::Ending::PortLost
                                                 : FakeConverterLink::Ending::Silence;
        FakeConverterLink link(rampFrames(1), ending);
        CapturePipeline pipeline(options);
        QVERIFY(pipeline.chooseInputs());
        QVERIFY(pipeline.openOutputs());
        if (fault == "output") // written over only at the end: it fails then
            QVERIFY(QDir().mkdir(path("h.csv")));
        if (fault.contains("database") || fault == "spooled")
            QVERIFY(QDir(path("db")).removeRecursively()
                && QFile(path("db")).open(QIODevice::WriteOnly));
        QVERIFY(pipeline.capture([&link] { return std::make_unique<FakeCaptureLine>(link); }));
        pipeline.analyse();
        pipeline.decide();
        pipeline.writeFiles();
        pipeline.storeRecord();
        pipeline.writeJUnit();
        QCOMPARE(pipeline.finish(), status);

        QCOMPARE(pipeline.report().frames, 4096);
        const JUnitErrors junit = readJUnitErrors(path("r.xml"));
        const QString count = QString::number(errorTypes.size());
        QCOMPARE(junit.suiteCounts, (QStringList {count, count}));
        QCOMPARE(junit.types, errorTypes);
        if (!message.isEmpty())
            QVERIFY2(junit.messages.last().contains(message), qPrintable(junit.messages.last()));
        // The report tells the same exit status, and lists the files written
        // before it; the JUnit file comes after it.
        const QJsonObject report = readJsonFile(path("r.json"));
        QCOMPARE(report["exit_status"].toInt(), status);
        QStringList roles;
        for (const QJsonValue output : report["outputs"].toArray())
            roles << output["role"].toString();
        QCOMPARE(roles, fault == "output" ? QStringList() : QStringList {"csv"});
        if (fault.contains("database"))
            QVERIFY(report["output_failures"][0].toString().contains("results.sqlite"));
        // A spooled result is kept: no failure, its file named.
        QVERIFY(fault != "spooled" || !report.contains("output_failures"));
        QCOMPARE(report["spooled"].toString().startsWith(path("spool/")), fault == "spooled");
    }

    // Anything but a readable regular file is one line saying why, never an
    // exception or a wait on a FIFO that nobody writes.
    void unreadableInput_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder") << "folder"
                                << "Is a directory";
        QTest::newRow("FIFO") << "fifo"
                              << "not a regular file";
        QTest::newRow("device") << "device"
                                << "not a regular file";
        QTest::newRow("missing") << "missing"
                                 << "No such file or directory";
        QTest::newRow("under a file") << "under a file"
                                      << "Not a directory";
    }
    void unreadableInput()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QString path = dir.filePath(kind);
        if (kind == "folder")
            QVERIFY(QDir().mkdir(path));
        else if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == "device")
            path = QStringLiteral("/dev/null");
        else if (kind == "under a file")
            path = notAFolder(dir) + "/h.csv";
        const RecordFileReading reading = readRecordFile(path.toStdString(), 12);
        QCOMPARE(QString::fromStdString(reading.error),
            QStringLiteral("cannot read %1: %2").arg(path, reason));

        CaptureOptions options;
        QVERIFY(options.parse({"adcapture", "--analyze", path}).isEmpty());
        CapturePipeline pipeline(options);
        QCOMPARE(pipeline.run(), 2);
    }

    // A file that is none of the forms read says what it was taken for.
    void wrongKindOfFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QString notNpy = "not a NumPy file (its first bytes are not \\x93NUMPY) and not a "
                               "histogram CSV (line 1: expected the header \"code,count\", found ";
        QTest::newRow("empty .npy") << "r.npy" << QByteArray() << "an empty file";
        QTest::newRow("empty .csv") << "h.csv" << QByteArray() << "an empty file";
        QTest::newRow("wrong magic")
            << "r.npy" << QByteArray("\x93NUMPZ\x01\x00", 8)
            << "not a NumPy file (bad magic number: its first bytes are not \\x93NUMPY)";
        QTest::newRow("binary .csv")
            << "h.csv" << QByteArray("PK\x03\x04\x00", 5) << notNpy + "\"PK\\x03\\x04\\x00\")";
    }
    void wrongKindOfFile()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        QCOMPARE(QString::fromStdString(readRecordFile(path.toStdString(), 12).error),
            path + ": " + message);
    }

    // A sample record and a histogram read back to the same counts.
    void savedFiles()
    {
        QTemporaryDir dir;
        std::vector<std::uint16_t> codes {0, 4095, 7, 7};
        std::vector<std::uint64_t> counts(4096);
        counts[0] = counts[4095] = 1;
        counts[7] = 2;
        const QString record = dir.filePath("r.NPY");
        const QString table = dir.filePath("h.csv");
        QFile file(record);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(recordFileContents(record.toStdString(), codes)));
        file.close();
        file.setFileName(table);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(histogramCsv(counts)));
        file.close();

        const RecordFileReading fromRecord = readRecordFile(record.toStdString(), 12);
        QVERIFY2(fromRecord.ok(), fromRecord.error.c_str());
        QVERIFY(fromRecord.record == codes && fromRecord.counts == counts);
        QVERIFY(!fromRecord.fromHistogram);
        const RecordFileReading fromTable = readRecordFile(table.toStdString(), 12);
        QVERIFY2(fromTable.ok(), fromTable.error.c_str());
        QVERIFY(fromTable.record.empty() && fromTable.counts == counts);
        QVERIFY(fromTable.fromHistogram);
        QCOMPARE(readRecordFile(table.toStdString(), 10).error,
            table.toStdString()
                + ": 4096 rows, but a 10-bit converter has 1024 codes (--bits N for another "
                  "resolution)");
    }
    // Clearing the vector registers' upper halves between two steps of a
    // computation leaves every value the program holds as it was.
    void vectorStateClearedKeepsValues()
    {
        std::vector<double> values(1024);
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = std::sin(double(i) * 0.01);
        const std::vector<double> copy = values;
        double before = 0;
        for (const double value : values)
            before += value * value;
        clearUpperVectorState();
        double after = 0;
        for (const double value : values)
            after += value * value;
        QCOMPARE(after, before);
        clearUpperVectorState(); // twice in a row is harmless
        QCOMPARE(values, copy);
    }
};

QTEST_GUILESS_MAIN(TestCapturePipeline)
#include "tst_capture_pipeline.moc"
