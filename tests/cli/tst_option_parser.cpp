#include "OptionParser.h"

#include <QTest>

#include <clocale>
#include <cmath>
#include <locale>
#include <stdexcept>

namespace {

std::vector<std::string> toList(const QStringList &arguments)
{
    std::vector<std::string> list;
    for (const QString &argument : arguments)
        list.push_back(argument.toStdString());
    return list;
}

QStringList toStrings(const std::vector<std::string> &list)
{
    QStringList strings;
    for (const std::string &item : list)
        strings << QString::fromStdString(item);
    return strings;
}

} // namespace

class OptionParserTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void parse_data();
    void parse();
    void numbers_data();
    void numbers();
    void programArguments_data();
    void programArguments();

private:
    std::locale m_locale;
};

// Numbers must read the same in a locale that writes "1,5": one with a decimal
// comma is chosen when the system has one.
void OptionParserTest::initTestCase()
{
    for (const char *name : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "fr_FR"}) {
        try {
            m_locale = std::locale::global(std::locale(name));
            std::setlocale(LC_ALL, name);
            return;
        } catch (const std::runtime_error &) { }
    }
}

void OptionParserTest::cleanupTestCase()
{
    std::locale::global(m_locale);
    std::setlocale(LC_ALL, "C");
}

void OptionParserTest::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("keepUnknown");
    QTest::addColumn<QString>("error"); // empty: accepted
    QTest::addColumn<QString>("port");
    QTest::addColumn<QStringList>("given");
    QTest::addColumn<QStringList>("left"); // positional(), or rest() when kept

    const QStringList none;
    QTest::newRow("value after") << QStringList {"--port", "/dev/x"} << false << ""
                                 << "/dev/x" << QStringList {"--port"} << none;
    QTest::newRow("value with =") << QStringList {"--port=a=b"} << false << ""
                                  << "a=b" << QStringList {"--port"} << none;
    QTest::newRow("empty value") << QStringList {"--port="} << false << ""
                                 << "" << QStringList {"--port"} << none;
    QTest::newRow("value like an option") << QStringList {"--port", "--all"} << false << ""
                                          << "--all" << QStringList {"--port"} << none;
    QTest::newRow("short name, in order")
        << QStringList {"--all", "--port", "x", "-h", "--all"} << false << ""
        << "x" << QStringList {"--all", "--port", "--help"} << none;
    QTest::newRow("positional") << QStringList {"a", "--all", "-", ""} << false << ""
                                << "" << QStringList {"--all"} << QStringList {"a", "-", ""};
    QTest::newRow("unknown") << QStringList {"--colour=red"} << false << "--colour: unknown option"
                             << "" << none << none;
    QTest::newRow("missing value") << QStringList {"--frames"} << false << "--frames: needs a value"
                                   << "" << none << none;
    QTest::newRow("missing value, named")
        << QStringList {"--port"} << false << "--port: needs a device path"
        << "" << none << none;
    QTest::newRow("flag with value") << QStringList {"-h="} << false << "--help: takes no value"
                                     << "" << none << none;
    QTest::newRow("valued option twice")
        << QStringList {"--port", "a", "--port=a"} << false << "--port: given more than once"
        << "" << none << none;
    QTest::newRow("unknown kept in order")
        << QStringList {"-platform", "offscreen", "--port", "x", "--style=y", "z"} << true << ""
        << "x" << QStringList {"--port"}
        << QStringList {"-platform", "offscreen", "--style=y", "z"};
    QTest::newRow("known checked when keeping")
        << QStringList {"-x", "--all=1"} << true << "--all: takes no value"
        << "" << none << none;
}

void OptionParserTest::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, keepUnknown);
    QFETCH(QString, error);
    QFETCH(QString, port);
    QFETCH(QStringList, given);
    QFETCH(QStringList, left);

    OptionParser parser;
    parser.addFlag({"--all"});
    parser.addFlag({"--help", "-h"});
    parser.addValue({"--port"}, "a device path");
    parser.addValue({"--frames"});
    if (keepUnknown)
        parser.keepUnknown();
    // A second reading starts afresh.
    QVERIFY(parser.parse({"--port", "old", "--frames", "1", "stray"}));
    QCOMPARE(parser.parse(toList(arguments)), error.isEmpty());
    QCOMPARE(QString::fromStdString(parser.error()), error);
    if (!error.isEmpty())
        return;
    QCOMPARE(QString::fromStdString(parser.value("--port")), port);
    QCOMPARE(parser.isSet("--frames"), false);
    QCOMPARE(toStrings(parser.given()), given);
    QCOMPARE(toStrings(keepUnknown ? parser.rest() : parser.positional()), left);
}

void OptionParserTest::numbers_data()
{
    QTest::addColumn<QString>("kind"); // whole 1.., int -10..4096, real 0.001..2e6
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected"); // NaN: refused

    const double refused = qQNaN();
    QTest::newRow("whole low edge") << "whole"
                                    << "1" << 1.0;
    QTest::newRow("whole below") << "whole"
                                 << "0" << refused;
    QTest::newRow("whole top") << "whole"
                               << "18446744073709551615" << 18446744073709551615.0;
    QTest::newRow("whole overflow") << "whole"
                                    << "18446744073709551616" << refused;
    QTest::newRow("whole blanks") << "whole"
                                  << " 7\t" << 7.0;
    QTest::newRow("whole negative") << "whole"
                                    << "-1" << refused;
    QTest::newRow("whole fraction") << "whole"
                                    << "1.5" << refused;
    QTest::newRow("whole hex") << "whole"
                               << "0x10" << refused;
    QTest::newRow("whole empty") << "whole"
                                 << "" << refused;
    QTest::newRow("int low edge") << "int"
                                  << "-10" << -10.0;
    QTest::newRow("int below") << "int"
                               << "-11" << refused;
    QTest::newRow("int high edge") << "int"
                                   << "4096" << 4096.0;
    QTest::newRow("int above") << "int"
                               << "4097" << refused;
    QTest::newRow("int minus zero") << "int"
                                    << "-0" << 0.0;
    QTest::newRow("int two signs") << "int"
                                   << "--1" << refused;
    QTest::newRow("int blank after sign") << "int"
                                          << "- 1" << refused;
    QTest::newRow("int beyond int") << "int"
                                    << "-2147483649" << refused;
    QTest::newRow("real low edge") << "real"
                                   << "0.001" << 0.001;
    QTest::newRow("real below") << "real"
                                << "0.0009" << refused;
    QTest::newRow("real high edge") << "real"
                                    << "2e6" << 2e6;
    QTest::newRow("real above") << "real"
                                << "2000000.5" << refused;
    QTest::newRow("real point") << "real"
                                << " 2.5 " << 2.5;
    QTest::newRow("real comma") << "real"
                                << "1,5" << refused;
    QTest::newRow("real inf") << "real"
                              << "inf" << refused;
    QTest::newRow("real nan") << "real"
                              << "nan" << refused;
    QTest::newRow("real overflow") << "real"
                                   << "1e999" << refused;
    QTest::newRow("real junk") << "real"
                               << "1.5x" << refused;
}

void OptionParserTest::numbers()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(double, expected);

    OptionParser parser;
    parser.addValue({"--n"});
    parser.addValue({"--other"});
    QVERIFY(parser.parse({"--n", text.toStdString()}));
    std::optional<double> number;
    bool ok = false;
    if (kind == "whole") {
        std::optional<std::uint64_t> whole;
        ok = parser.wholeValue("--n", 1, UINT64_MAX, "a count", whole);
        if (whole)
            number = double(*whole);
    } else if (kind == "int") {
        std::optional<int> integer;
        ok = parser.intValue("--n", -10, 4096, "a count", integer);
        if (integer)
            number = *integer;
    } else {
        ok = parser.realValue("--n", 0.001, 2e6, "a count", number);
    }
    QCOMPARE(ok, !std::isnan(expected));
    if (ok) {
        QCOMPARE(*number, expected);
    } else {
        QVERIFY(!number);
        QCOMPARE(QString::fromStdString(parser.error()), "--n: '" + text + "' is not a count");
    }
    // An option not given leaves its target as it was.
    std::optional<double> untouched = 3.0;
    QVERIFY(parser.realValue("--other", 0, 1, "a fraction", untouched));
    QCOMPARE(untouched, 3.0);
}

// --help and --version answer before a stray argument is refused, but not
// before an unknown option.
void OptionParserTest::programArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("error");
    QTest::newRow("run") << QStringList {"--all"} << 0 << "";
    QTest::newRow("help before stray") << QStringList {"stray", "-h"} << 1 << "";
    QTest::newRow("version") << QStringList {"--version", "--all"} << 2 << "";
    QTest::newRow("help wins over version") << QStringList {"--version", "--help"} << 1 << "";
    QTest::newRow("stray") << QStringList {"--all", "stray"} << 0 << "unexpected argument 'stray'";
    QTest::newRow("unknown before help")
        << QStringList {"--help", "--bogus"} << 0 << "--bogus: unknown option";
}

void OptionParserTest::programArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, mode);
    QFETCH(QString, error);

    enum class Mode { Run, Help, Version };
    OptionParser parser;
    parser.addFlag({"--all"});
    parser.addFlag({"--help", "-h"});
    parser.addFlag({"--version", "-V"});
    Mode read = Mode::Run;
    QCOMPARE(parser.parseProgramArguments(toList(arguments), read), error.isEmpty());
    QCOMPARE(QString::fromStdString(parser.error()), error);
    QCOMPARE(int(read), mode);
}

QTEST_APPLESS_MAIN(OptionParserTest)
#include "tst_option_parser.moc"
