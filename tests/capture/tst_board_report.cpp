#include "CaptureOptions.h"
#include "CaptureReport.h"
#include "JUnitReport.h"
#include "LimitsFile.h"
#include "ResultRecord.h"

#include "CodeDensityAnalysis.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

// The limits file, the board's identity and the JUnit file of a test station.
class TestBoardReport : public QObject
{
    Q_OBJECT

private slots:
    void limitsFile_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("error"); // a part of it; empty: accepted

        const QByteArray head = "name = \"final\"\nrevision = \"C\"\n";
        QTest::newRow("ramp limits") << head
                + "kind = \"ramp\"\n[limits]\nmax_dnl = 0.5\nmax_inl = 1\nmax_missing = 0\n"
                  "guard_band = true\n"
                                     << QString();
        QTest::newRow("unknown top key") << head + "revison = \"D\"\n"
                                         << ":3: unknown key 'revison'";
        QTest::newRow("unknown limit") << head + "[limits]\nmax_dnl = 0.5\nmax_dnnl = 1\n"
                                       << ":5: unknown limit 'max_dnnl'";
        QTest::newRow("negative") << head + "[limits]\nmax_inl = -1\n"
                                  << ":4: max_inl: a number";
        QTest::newRow("text for a number") << head + "[limits]\nmax_inl = \"1\"\n"
                                           << ":4: max_inl";
        QTest::newRow("fraction of a count") << head + "[limits]\nmax_missing = 0.5\n"
                                             << ":4: max_missing: a whole number";
        QTest::newRow("guard band not boolean") << head + "[limits]\nguard_band = 1\n"
                                                << ":4: guard_band: true or false";
        QTest::newRow("dnl on dc") << head + "kind = \"dc\"\n[limits]\nmax_dnl = 0.5\n"
                                   << ":5: max_dnl: not measured on a dc";
        QTest::newRow("noise on ramp") << head + "kind = \"ramp\"\n[limits]\nmax_noise = 0.5\n"
                                       << ":5: max_noise";
        QTest::newRow("noise with dnl") << head + "[limits]\nmax_dnl = 0.5\nmax_noise = 0.5\n"
                                        << "different inputs";
        QTest::newRow("enob on ramp") << head + "kind = \"ramp\"\n[limits]\nmin_enob = 10\n"
                                      << ":5: min_enob: not measured";
        QTest::newRow("thd above the fundamental") << head + "[limits]\nmax_thd = 3\n"
                                                   << ":4: max_thd: a number from -300 to 0";
        QTest::newRow("unknown kind") << head + "kind = \"square\"\n"
                                      << ":3: kind";
        QTest::newRow("no revision")
            << QByteArray("name = \"x\"\n[limits]\n") << "needs a revision";
        QTest::newRow("empty name")
            << QByteArray("name = \"\"\nrevision = \"1\"\n[limits]\n") << ":1: name";
        QTest::newRow("no limits") << head << "needs a [limits] table";
        QTest::newRow("empty limits") << head + "[limits]\n"
                                      << ":3: [limits] sets no limit";
        QTest::newRow("guard band alone") << head + "[limits]\nguard_band = true\n"
                                          << ":3: [limits] sets no limit";
        QTest::newRow("syntax") << head + "[limits\nmax_dnl = 1\n"
                                << ":3:";
    }
    void limitsFile()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, error);
        const StationResult<LimitsFile> reading = parseLimitsFile("l.toml", contents.toStdString());
        const QString reason = QString::fromStdString(reading.reason());
        if (error.isEmpty()) {
            QVERIFY2(reading, qPrintable(reason));
            QCOMPARE(reading->revision, "C");
            QCOMPARE(reading->kind, TestKind::Ramp);
            QCOMPARE(reading->limits.value("max_inl"), 1.0);
            QCOMPARE(reading->limits.value("max_missing"), 0.0);
            QVERIFY(reading->limits.guardBand);
            QCOMPARE(reading->sha256.size(), 64u);
        } else {
            QVERIFY(!reading);
            QVERIFY2(reason.startsWith("l.toml:") && reason.contains(error), qPrintable(reason));
        }
    }

    // The command line's limit replaces the file's and says so; the file's
    // kind decides how the histogram is read unless --kind is given.
    void commandLineOverridesFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("l.toml");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("name = \"final\"\nrevision = \"C\"\nkind = \"sine\"\n"
                   "[limits]\nmax_dnl = 0.5\nmax_inl = 1.0\n");
        file.close();

        CaptureOptions options;
        QCOMPARE(options.parse({"adcapture", "--limits", path, "--max-dnl", "0.3", "--max-missing",
                     "2", "--serial", "B-17", "--station", "bench 2"}),
            QString());
        QCOMPARE(options.kind, TestKind::Sine);
        QCOMPARE(options.limits.value("max_dnl"), 0.3);
        QCOMPARE(options.limits.value("max_inl"), 1.0);
        QCOMPARE(options.limits.value("max_missing"), 2.0);
        QCOMPARE(options.limitOverrides.size(), 1u);
        QCOMPARE(options.limitOverrides[0].key, "max_dnl");
        QCOMPARE(options.limitOverrides[0].fileValue, 0.5);
        QCOMPARE(options.limitSource("max_dnl"), "command line");
        QCOMPARE(options.limitSource("max_inl"), "file");
        QCOMPARE(options.limitSource("max_missing"), "command line");
        QCOMPARE(options.identity.serial, "B-17");
        QCOMPARE(options.identity.station, "bench 2");
        QVERIFY(options.namesBoard());

        QVERIFY(
            options.parse({"adcapture", "--limits", path, "--kind", "dc"}).contains("--kind dc"));
        QVERIFY(options.parse({"adcapture", "--serial", "a\nb"}).contains("control character"));
        QVERIFY(options.parse({"adcapture", "--db", "sqlite:x", "--no-db"}).contains("choose one"));

        QCOMPARE(options.parse({"adcapture", "--send-spool", "--db", "sqlite:x", "--spool", "s",
                     "--db-wait", "2.5"}),
            QString());
        QVERIFY(options.mode == CaptureOptions::Mode::SendSpool && options.spoolFolder == "s"
            && options.databaseWaitMs == 2500);
        QVERIFY(options.parse({"adcapture", "--send-spool", "--csv", "h.csv"})
                    .contains("takes no other option"));
        QVERIFY(options.parse({"adcapture", "--db-wait", "-1"}).contains("0 to 3600 seconds"));
    }

    // A failed limit's message says how the check decided: a value that
    // holds on its own fails by the guard band only.
    void junitFailureSaysWhy_data()
    {
        QTest::addColumn<double>("limit");
        QTest::addColumn<bool>("guardBand");
        QTest::addColumn<QString>("message");
        QTest::newRow("beyond the limit") << 0.5 << false << "max_noise is 0.707, the limit 0.500";
        QTest::newRow("beyond the limit, guard band")
            << 0.5 << true << "max_noise is 0.707, the limit 0.500";
        QTest::newRow("guard band")
            << 0.72 << true << "max_noise is 0.707, within the 99 % uncertainty (\u00b1";
    }
    void junitFailureSaysWhy()
    {
        QFETCH(double, limit);
        QFETCH(bool, guardBand);
        QFETCH(QString, message);
        std::vector<std::uint64_t> counts(4096);
        counts[2047] = 250, counts[2048] = 500, counts[2049] = 250; // sigma sqrt(0.5)
        CaptureReport report;
        report.result = analyseCodeDensity(counts);
        LimitSet limits;
        limits.set(*findLimit("max_noise"), limit);
        limits.guardBand = guardBand;
        report.limits = checkLimits(limits, {report.result, report.dynamic});
        QXmlStreamReader xml(junitReport(report));
        QString failure;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement
                && xml.name() == QLatin1String("failure"))
                failure = xml.attributes().value("message").toString();
        }
        QVERIFY2(failure.startsWith(message), qPrintable(failure));
        QCOMPARE(failure.endsWith(QStringLiteral("of the limit 0.720: failed by the guard band")),
            limit == 0.72);
    }

    // One case per limit, the failed ones marked, and a capture without data
    // a failed case of its own rather than an empty, clean run. Without a
    // limit there is no verdict, never a pass: a skipped case, a status of
    // its own, and a pass neither the report nor the database can tell.
    void junitCases_data()
    {
        QTest::addColumn<bool>("withData");
        QTest::addColumn<bool>("limited");
        QTest::addColumn<int>("tests");
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("one limit fails") << true << true << 2 << 1 << 0 << 1 << "fail";
        QTest::newRow("no data") << false << true << 3 << 3 << 0 << 1 << "fail";
        QTest::newRow("no limits") << true << false << 1 << 0 << 1 << 3 << "measured";
        QTest::newRow("no limits, no data") << false << false << 1 << 1 << 0 << 1 << "fail";
    }
    void junitCases()
    {
        QFETCH(bool, withData);
        QFETCH(bool, limited);
        QFETCH(int, tests);
        QFETCH(int, failures);
        QFETCH(int, skipped);
        QFETCH(int, status);
        QFETCH(QString, verdict);
        std::vector<std::uint64_t> counts(4096);
        if (withData)
            counts[2047] = 250, counts[2048] = 500, counts[2049] = 250; // sigma sqrt(0.5)
        CaptureReport report;
        report.result = analyseCodeDensity(counts);
        LimitSet limits;
        const LimitDefinition &noise = *findLimit("max_noise");
        limits.set(noise, 0.5);
        if (limited)
            report.limits = checkLimits(limits, {report.result, report.dynamic});
        limits.set(noise, 0.9);
        if (limited)
            report.limits.push_back(checkLimits(limits, {report.result, report.dynamic}).front());
        report.identity.serial = "<B&17>";
        QCOMPARE(report.exitStatus(), status);
        const QJsonObject json = QJsonDocument::fromJson(report.toJson()).object();
        QCOMPARE(json["verdict"].toString(), verdict);
        QCOMPARE(json["pass"].isNull(), status == 3);
        QCOMPARE(resultRecord(report).pass,
            status == 3 ? std::optional<bool>() : std::optional(status == 0));

        QXmlStreamReader xml(junitReport(report));
        int cases = 0;
        int failed = 0;
        QString suite;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("testsuite")) {
                suite = xml.attributes().value("name").toString();
                QCOMPARE(xml.attributes().value("tests").toInt(), tests);
                QCOMPARE(xml.attributes().value("failures").toInt(), failures);
                QCOMPARE(xml.attributes().value("skipped").toInt(), skipped);
            }
            cases += xml.name() == QLatin1String("testcase");
            failed += xml.name() == QLatin1String("failure");
            if (xml.name() == QLatin1String("skipped"))
                QCOMPARE(xml.attributes().value("message").toString(),
                    "measured, no limits: no verdict");
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(suite, "adcapture <B&17>");
        QCOMPARE(cases, tests);
        QCOMPARE(failed, failures);
    }
};

QTEST_GUILESS_MAIN(TestBoardReport)
#include "tst_board_report.moc"
