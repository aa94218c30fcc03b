#include "FigureText.h"

#include <QTest>

#include <limits>
#include <numeric>

Q_DECLARE_METATYPE(CodeDensityResult)

namespace {

std::vector<int> codesFrom(int first, int count)
{
    std::vector<int> codes(count);
    std::iota(codes.begin(), codes.end(), first);
    return codes;
}

// A ramp result whose DNL is known to within 0.2 LSB; 0.1 LSB needs more samples.
CodeDensityResult rampNeeding(std::optional<double> seconds)
{
    CodeDensityResult r;
    r.kind = TestKind::Ramp;
    r.kindFits = true;
    r.samples = 1000;
    r.linearity.dnlUncertainty99 = 0.2;
    r.linearity.samplesNeededForTenthLsb = 3000;
    r.linearity.secondsNeededForTenthLsb = seconds;
    return r;
}

QString listOf(int first, int last)
{
    QStringList codes;
    for (int code = first; code <= last; ++code)
        codes << QString::number(code);
    return codes.join(QStringLiteral(", "));
}

QString valueOf(const std::vector<FigureRow> &rows, const QString &name)
{
    for (const FigureRow &row : rows)
        if (QString::fromStdString(row.name) == name)
            return QString::fromStdString(row.value);
    return QStringLiteral("(no row)");
}

} // namespace

class FigureTextTest : public QObject
{
    Q_OBJECT

private slots:
    void fixedNumber_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("text");

        QTest::newRow("rounded") << 0.12351 << 3 << "0.124";
        QTest::newRow("no decimals") << 37.4 << 0 << "37";
        QTest::newRow("negative") << -0.9996 << 3 << "-1.000";
        QTest::newRow("small negative has no sign") << -0.0004 << 3 << "0.000";
        QTest::newRow("large") << 1e20 << 0 << "100000000000000000000";
        QTest::newRow("largest double")
            << std::numeric_limits<double>::max() << 1
            << QString::number(std::numeric_limits<double>::max(), 'f', 1);
        QTest::newRow("nan") << qQNaN() << 3 << "nan";
    }
    void fixedNumber()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(::fixedNumber(value, decimals)), text);
    }

    void missingCodes_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("text");

        const int listed = int(listedMissingCodes);
        const QString shown = listOf(100, 100 + listed - 1);
        QTest::newRow("none") << 0 << "0";
        QTest::newRow("one") << 1 << "1: 100";
        QTest::newRow("all listed") << listed << QString::number(listed) + ": " + shown;
        QTest::newRow("one too many")
            << listed + 1 << QString::number(listed + 1) + ": " + shown + ", ... (1 more)";
        QTest::newRow("stuck bit")
            << 2048 << "2048: " + shown + QStringLiteral(", ... (%1 more)").arg(2048 - listed);
    }
    void missingCodes()
    {
        QFETCH(int, count);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(missingCodesText(codesFrom(100, count))), text);
    }

    // The time still needed to reach 0.1 LSB, in the unit that reads best.
    void timeForTenthLsb_data()
    {
        QTest::addColumn<CodeDensityResult>("result");
        QTest::addColumn<QString>("text");

        QTest::newRow("seconds") << rampNeeding(118.2) << "3000 more samples, about 119 s";
        QTest::newRow("minutes") << rampNeeding(120) << "3000 more samples, about 2 min";
        QTest::newRow("last minutes") << rampNeeding(7199) << "3000 more samples, about 120 min";
        QTest::newRow("hours") << rampNeeding(7200) << "3000 more samples, about 2.0 h";
        QTest::newRow("no rate") << rampNeeding(std::nullopt)
                                 << "3000 more samples (no samples arriving to time it)";
    }
    void timeForTenthLsb()
    {
        QFETCH(CodeDensityResult, result);
        QFETCH(QString, text);
        QCOMPARE(valueOf(figureRows(result), QStringLiteral("For ±0.1 LSB")), text);
    }
};

QTEST_APPLESS_MAIN(FigureTextTest)
#include "tst_figure_text.moc"
