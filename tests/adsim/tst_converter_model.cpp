#include "CodeDensityAnalysis.h"
#include "CommandLine.h"
#include "ConverterModel.h"
#include "SignalPattern.h"

#include <QTest>

#include <cmath>

Q_DECLARE_METATYPE(SignalPattern::Shape)

namespace {

std::vector<std::uint64_t> histogramOf(
    const SignalPattern::Settings &settings, std::uint64_t frames)
{
    std::vector<std::uint64_t> counts(ConverterModel::codeCount);
    SignalPattern signal(settings, 5);
    for (std::uint64_t i = 0; i < frames; ++i)
        ++counts[signal.nextCode()];
    return counts;
}

} // namespace

// The simulated converter's faults, read back by the analysis.
class TestConverterModel : public QObject
{
    Q_OBJECT

private slots:
    void profileComesBack_data()
    {
        QTest::addColumn<SignalPattern::Shape>("shape");
        QTest::newRow("ramp") << SignalPattern::Shape::Ramp;
        QTest::newRow("sine") << SignalPattern::Shape::Sine;
    }
    void profileComesBack()
    {
        QFETCH(SignalPattern::Shape, shape);
        SignalPattern::Settings settings {shape};
        settings.period = 9973;
        settings.amplitude = 2060;
        settings.converter.dnlSigma = 0.2;
        settings.converter.codeDnl = {{500, 0.9}, {501, -0.6}};
        settings.converter.missingCodes = {7, 2047, 4000};
        settings.converter.offset = 1.2;
        settings.converter.gain = 0.999;
        const std::uint64_t frames = 4096 * 1500;
        const auto r = analyseCodeDensity(histogramOf(settings, frames));
        QVERIFY2(r.kindFits, r.misfitReason.c_str());
        QCOMPARE(r.kind, shape == SignalPattern::Shape::Ramp ? TestKind::Ramp : TestKind::Sine);
        QCOMPARE(r.linearity.missingCodes, settings.converter.missingCodes);
        // The counting noise of a code with H hits is sqrt(H); a sine's
        // thinnest codes (mid-scale) get 2/pi of the mean.
        const double meanHits = double(frames) / ConverterModel::codeCount;
        const double thinnest
            = shape == SignalPattern::Shape::Sine ? meanHits * 2 / M_PI : meanHits;
        const ConverterModel converter(settings.converter);
        for (int code = 2; code <= 4093; ++code) {
            const double applied = converter.appliedDnl(code);
            const double tolerance = 5 * std::sqrt((1 + applied) / thinnest) + 0.01;
            QVERIFY2(std::abs(r.linearity.dnl[code] - applied) < tolerance,
                qPrintable(QStringLiteral("code %1: %2, applied %3")
                               .arg(code)
                               .arg(r.linearity.dnl[code])
                               .arg(applied)));
        }
    }

    void dcLevelWithNoise()
    {
        SignalPattern::Settings settings {SignalPattern::Shape::Dc};
        settings.level = 1000.3;
        settings.converter.inputNoise = 2;
        settings.converter.offset = -0.5;
        const auto r = analyseCodeDensity(histogramOf(settings, 200000));
        QCOMPARE(r.kind, TestKind::Dc);
        QVERIFY(std::abs(r.meanCode - 999.8) < 0.05);
        QVERIFY(std::abs(r.sigma - std::sqrt(4 + 1.0 / 12)) < 0.05);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        QTest::newRow("all") << QStringList {"--pattern", "dc", "--level", "12.5", "--dnl-sigma",
            "0.1", "--dnl-code", "5:0.5,6:-1", "--missing", "9,10", "--gain", "1.01", "--offset",
            "-2", "--input-noise", "0.3", "--dnl-seed", "4", "--transitions", "t.txt",
            "--amplitude", "2100"}
                             << "";
        QTest::newRow("end code missing")
            << QStringList {"--missing", "0"} << "--missing: '0' does not start";
        QTest::newRow("empty item")
            << QStringList {"--missing", "9,"} << "--missing: '' does not start";
        QTest::newRow("no dnl") << QStringList {"--dnl-code", "5"}
                                << "--dnl-code: '5' is not CODE:DNL";
        QTest::newRow("negative width")
            << QStringList {"--dnl-code", "5:-1.5"} << "--dnl-code: '5:-1.5'";
        QTest::newRow("zero gain") << QStringList {"--gain", "0"} << "--gain: '0' is not a gain";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        std::vector<std::string> list;
        for (const QString &argument : arguments)
            list.push_back(argument.toStdString());
        CommandLine commandLine;
        QCOMPARE(commandLine.parse(list), error.isEmpty());
        QVERIFY2(QString::fromStdString(commandLine.error()).startsWith(error),
            commandLine.error().c_str());
        if (error.isEmpty()) {
            const auto &converter = commandLine.options().signal.converter;
            QCOMPARE(converter.codeDnl, (std::vector<std::pair<int, double>> {{5, 0.5}, {6, -1}}));
            QCOMPARE(converter.missingCodes, (std::vector<int> {9, 10}));
            QCOMPARE(commandLine.options().signal.level, 12.5);
        }
    }
};

QTEST_APPLESS_MAIN(TestConverterModel)
#include "tst_converter_model.moc"
