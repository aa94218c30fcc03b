#include "IsoTime.h"
#include "JsonText.h"
#include "RecordSidecar.h"
#include "TextTable.h"

#include <QTest>
#include <QTimeZone>

#include <cmath>
#include <cstdlib>
#include <limits>

Q_DECLARE_METATYPE(nlohmann::json)
Q_DECLARE_METATYPE(TimeZoneForm)
Q_DECLARE_METATYPE(TimePrecision)

// The writers every output shares: JSON numbers, ISO times and table columns.
class TestFormats : public QObject
{
    Q_OBJECT

private slots:
    void jsonNumbers_data()
    {
        QTest::addColumn<nlohmann::json>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("largest uint64")
            << nlohmann::json(std::numeric_limits<std::uint64_t>::max()) << "18446744073709551615";
        QTest::newRow("smallest int64")
            << nlohmann::json(std::numeric_limits<std::int64_t>::min()) << "-9223372036854775808";
        QTest::newRow("whole double") << nlohmann::json(2048.0) << "2048";
        QTest::newRow("shortest round trip") << nlohmann::json(0.1 + 0.2) << "0.30000000000000004";
        QTest::newRow("small") << nlohmann::json(1e-7) << "1e-07";
        QTest::newRow("past 2^53") << nlohmann::json(1e300) << "1e+300";
        QTest::newRow("NaN") << nlohmann::json(std::nan("")) << "null";
        QTest::newRow("infinity") << nlohmann::json(-HUGE_VAL) << "null";
        QTest::newRow("no value") << jsonOrNull(std::optional<double>()) << "null";
        QTest::newRow("not UTF-8") << nlohmann::json("a\x01\xff") << "\"a\\u0001\xEF\xBF\xBD\"";
    }
    void jsonNumbers()
    {
        QFETCH(nlohmann::json, value);
        QFETCH(QString, text);
        const std::string written = jsonText(nlohmann::json::array({value}), -1);
        QCOMPARE(QString::fromStdString(written), "[" + text + "]\n");
        if (value.is_number_float() && std::isfinite(value.get<double>()))
            QCOMPARE(std::strtod(text.toLatin1().constData(), nullptr), value.get<double>());
    }

    void isoTimes_data()
    {
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<TimeZoneForm>("zone");
        QTest::addColumn<TimePrecision>("precision");
        QTest::addColumn<QString>("text");
        const QDateTime utc(QDate(2026, 3, 2), QTime(14, 5, 9, 123), QTimeZone::utc());
        const QDateTime ahead = utc.toOffsetFromUtc(3600);
        const auto ms = TimePrecision::Milliseconds;
        QTest::newRow("utc") << utc << TimeZoneForm::Utc << ms << "2026-03-02T14:05:09.123Z";
        QTest::newRow("offset to utc")
            << ahead << TimeZoneForm::Utc << ms << "2026-03-02T14:05:09.123Z";
        QTest::newRow("own offset")
            << ahead << TimeZoneForm::LocalOffset << ms << "2026-03-02T15:05:09.123+01:00";
        QTest::newRow("own offset none")
            << utc << TimeZoneForm::LocalOffset << ms << "2026-03-02T14:05:09.123Z";
        QTest::newRow("seconds") << ahead << TimeZoneForm::Utc << TimePrecision::Seconds
                                 << "2026-03-02T14:05:09Z";
        QTest::newRow("invalid") << QDateTime() << TimeZoneForm::Utc << ms << "";
    }
    void isoTimes()
    {
        QFETCH(QDateTime, time);
        QFETCH(TimeZoneForm, zone);
        QFETCH(TimePrecision, precision);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(isoTime(time, zone, precision)), text);
    }

    // Columns line up on a terminal whatever the characters' bytes or UTF-16
    // units: "µ" is 2 bytes, "≥" 3, "日" 3 bytes and two columns.
    void tableColumns()
    {
        QCOMPARE(displayWidth("µ±≥"), 3u);
        QCOMPARE(displayWidth("日本"), 4u);
        QCOMPARE(displayWidth("e\u0301"), 1u); // a combining accent
        const std::vector<std::vector<std::string>> rows {
            {"Station", "Boards"}, {"µ-bench ≥2", "1"}, {"日本", "12"}};
        const std::vector<std::string> numbers = tableLines(rows, TableAlignment::Numbers);
        QCOMPARE(numbers,
            (std::vector<std::string> {
                "  Station     Boards", "  µ-bench ≥2       1", "  日本            12"}));
        const std::vector<std::string> text = tableLines(rows, TableAlignment::Text, "");
        QCOMPARE(text,
            (std::vector<std::string> {"Station     Boards", "µ-bench ≥2  1", "日本        12"}));
    }

    // A sidecar reads back as written; one that is not what it claims is
    // refused in one line naming the file and what is wrong.
    void recordSidecarReadsBack()
    {
        RecordSidecar written;
        written.program = "adtest";
        written.samples = 4096;
        written.sampleRate = 192.5;
        written.firstSample
            = QDateTime(QDate(2026, 12, 8), QTime(15, 30, 12, 250), QTimeZone(3600));
        const RecordSidecarReading reading
            = parseRecordSidecar(recordSidecarJson(written), "r.npy.json");
        QVERIFY2(reading.ok(), qPrintable(reading.error));
        QVERIFY(reading.sidecar);
        QCOMPARE(reading.sidecar->sampleRate, written.sampleRate);
        QCOMPARE(reading.sidecar->firstSample, written.firstSample);
        QCOMPARE(reading.sidecar->samples, written.samples);
        QCOMPARE(reading.sidecar->program, written.program);
        // Unknown rate and time stay unknown.
        const RecordSidecarReading bare
            = parseRecordSidecar(recordSidecarJson(RecordSidecar()), "r.npy.json");
        QVERIFY(bare.ok() && bare.sidecar && !bare.sidecar->sampleRate);
        QVERIFY(!bare.sidecar->firstSample.isValid());
    }
    void malformedSidecar_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("why");
        QTest::newRow("not JSON") << QByteArray("{\"sample_rate_hz\": ") << "it is not JSON";
        QTest::newRow("array") << QByteArray("[1]") << "it is not a JSON object";
        QTest::newRow("zero rate")
            << QByteArray("{\"sample_rate_hz\": 0}") << "sample_rate_hz is not a positive number";
        QTest::newRow("text rate") << QByteArray("{\"sample_rate_hz\": \"192\"}")
                                   << "sample_rate_hz is not a positive number";
        QTest::newRow("bad time") << QByteArray("{\"first_sample_time\": \"yesterday\"}")
                                  << "first_sample_time is not an ISO 8601 time";
        QTest::newRow("negative count")
            << QByteArray("{\"samples\": -1}") << "samples is not a count";
    }
    void malformedSidecar()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, why);
        const RecordSidecarReading reading = parseRecordSidecar(text, "r.npy.json");
        QCOMPARE(reading.error, "r.npy.json: not a sample record's sidecar: " + why);
        QVERIFY(!reading.error.contains('\n'));
    }
};

QTEST_APPLESS_MAIN(TestFormats)
#include "tst_formats.moc"
