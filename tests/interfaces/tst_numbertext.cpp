#include "NumberText.h"
#include "TrimmedText.h"

#include <QTest>

#include <cmath>
#include <limits>

class NumberTextTest : public QObject
{
    Q_OBJECT

private slots:
    void parseNumber_data();
    void parseNumber();
    void parseNumberSaturatesHugeValues();
    void toInt16_data();
    void toInt16();
    void formatNumber_data();
    void formatNumber();
    void trimmed_data();
    void trimmed();
};

void NumberTextTest::parseNumber_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("empty") << QByteArray("") << 0.0;
    QTest::newRow("plain") << QByteArray("4095") << 4095.0;
    QTest::newRow("spaces inside") << QByteArray(" 1 2 ") << 12.0;
    QTest::newRow("tab and line feed") << QByteArray("\t4\n0 9 6") << 4096.0;
    QTest::newRow("carriage return ends") << QByteArray("12\r3") << 12.0;
    QTest::newRow("exponent") << QByteArray("1e3") << 1000.0;
    QTest::newRow("capital exponent, signed") << QByteArray("25E-1") << 2.5;
    QTest::newRow("exponent without digits") << QByteArray("1e") << 1.0;
    QTest::newRow("exponent sign without digits") << QByteArray("7e+x") << 7.0;
    QTest::newRow("leading point, minus") << QByteArray("-.5") << -0.5;
    QTest::newRow("trailing point") << QByteArray("5.") << 5.0;
    QTest::newRow("plus sign") << QByteArray("+17") << 17.0;
    QTest::newRow("sign alone") << QByteArray("+") << 0.0;
    QTest::newRow("minus alone") << QByteArray("-") << 0.0;
    QTest::newRow("point alone") << QByteArray(".") << 0.0;
    QTest::newRow("double sign") << QByteArray("--5") << 0.0;
    QTest::newRow("digits then letters") << QByteArray("12abc") << 12.0;
    QTest::newRow("letters first") << QByteArray("abc12") << 0.0;
    QTest::newRow("half") << QByteArray("4095.5") << 4095.5;
    QTest::newRow("second point stops") << QByteArray("1.2.3") << 1.2;
    QTest::newRow("hex lower") << QByteArray("&h1f") << 31.0;
    QTest::newRow("hex upper") << QByteArray("&HFFF") << 4095.0;
    QTest::newRow("hex mixed case digits") << QByteArray("&HaB") << 171.0;
    QTest::newRow("hex prefix alone") << QByteArray("&H") << 0.0;
    QTest::newRow("hex stops at non-digit") << QByteArray("&H7FG1") << 127.0;
    QTest::newRow("hex spaced") << QByteArray(" & H 1 0") << 16.0;
    QTest::newRow("hex has no sign") << QByteArray("-&H10") << 0.0;
    QTest::newRow("ampersand alone") << QByteArray("&") << 0.0;
    QTest::newRow("hex frame with CR") << QByteArray("&H1F\r") << 31.0;
    QTest::newRow("tiny exponent") << QByteArray("1e-400") << 0.0;
    QTest::newRow("NUL stops") << QByteArray("9\0"
                                             "9",
        3) << 9.0;
    QTest::newRow("high bytes") << QByteArray("\xff\xfe") << 0.0;
}

void NumberTextTest::parseNumber()
{
    QFETCH(QByteArray, text);
    QFETCH(double, value);
    QCOMPARE(::parseNumber(std::string_view(text.constData(), text.size())), value);
}

void NumberTextTest::parseNumberSaturatesHugeValues()
{
    const double largest = std::numeric_limits<double>::max();
    QCOMPARE(::parseNumber("1e400"), largest);
    QCOMPARE(::parseNumber("-9e99999"), -largest);
    QCOMPARE(::parseNumber("&H" + std::string(300, 'F')), largest);
    QCOMPARE(::parseNumber(std::string(400, '9')), largest);
    QVERIFY(std::isfinite(::parseNumber(std::string(10000, '9') + "e-99999")));
}

void NumberTextTest::toInt16_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");

    QTest::newRow("whole") << 4095.0 << 4095;
    QTest::newRow("half to even, up") << 2047.5 << 2048;
    QTest::newRow("half to even, down") << 1050.5 << 1050;
    QTest::newRow("12.5") << 12.5 << 12;
    QTest::newRow("13.5") << 13.5 << 14;
    QTest::newRow("4095.5") << 4095.5 << 4096;
    QTest::newRow("below half") << 79.95 << 80;
    QTest::newRow("one and a half") << 1.5 << 2;
    QTest::newRow("one half") << 0.5 << 0;
    QTest::newRow("minus one half") << -0.5 << 0;
    QTest::newRow("minus one and a half") << -1.5 << -2;
    QTest::newRow("minus 2.5") << -2.5 << -2;
    QTest::newRow("upper limit") << 32767.0 << 32767;
    QTest::newRow("rounds into limit") << 32767.4 << 32767;
    QTest::newRow("above upper limit") << 32768.0 << 32767;
    QTest::newRow("far above") << 1e300 << 32767;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << 32767;
    QTest::newRow("lower limit") << -32768.0 << -32768;
    QTest::newRow("half below lower limit") << -32768.5 << -32768;
    QTest::newRow("below lower limit") << -40000.0 << -32768;
    QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << -32768;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 0;
}

void NumberTextTest::toInt16()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(int(::toInt16(value)), expected);
}

void NumberTextTest::formatNumber_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("withSign");

    QTest::newRow("zero") << 0.0 << "0"
                          << " 0";
    QTest::newRow("minus zero") << -0.0 << "0"
                                << " 0";
    QTest::newRow("code") << 2048.0 << "2048"
                          << " 2048";
    QTest::newRow("negative") << -5.0 << "-5"
                              << "-5";
    QTest::newRow("largest count") << 2147483647.0 << "2147483647"
                                   << " 2147483647";
    QTest::newRow("int16 minimum") << -32768.0 << "-32768"
                                   << "-32768";
    QTest::newRow("fraction") << 2.5 << "2.5"
                              << " 2.5";
    QTest::newRow("negative fraction") << -0.25 << "-0.25"
                                       << "-0.25";
    QTest::newRow("large whole") << 1e20 << "100000000000000000000"
                                 << " 100000000000000000000";
}

void NumberTextTest::formatNumber()
{
    QFETCH(double, value);
    QFETCH(QString, plain);
    QFETCH(QString, withSign);
    QCOMPARE(QString::fromStdString(::formatNumber(value)), plain);
    QCOMPARE(QString::fromStdString(::formatSigned(value)), withSign);
}

void NumberTextTest::trimmed_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("blanks");
    QTest::addColumn<QByteArray>("kept");

    QTest::newRow("both ends, inside kept")
        << QByteArray(" \ta b\t ") << QByteArray(" \t") << QByteArray("a b");
    QTest::newRow("only blanks") << QByteArray(" \t ") << QByteArray(" \t") << QByteArray("");
    QTest::newRow("empty") << QByteArray("") << QByteArray(" ") << QByteArray("");
    QTest::newRow("others stay") << QByteArray("\n7\r") << QByteArray("\r") << QByteArray("\n7");
}

void NumberTextTest::trimmed()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, blanks);
    QTEST(
        QByteArray::fromStdString(std::string(::trimmed(text.toStdString(), blanks.toStdString()))),
        "kept");
}

QTEST_APPLESS_MAIN(NumberTextTest)
#include "tst_numbertext.moc"
