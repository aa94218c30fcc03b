#include "DisplayCheck.h"

#include <QTest>

class DisplayCheckTest : public QObject
{
    Q_OBJECT

private slots:
    void missingDisplay_data();
    void missingDisplay();
};

void DisplayCheckTest::missingDisplay_data()
{
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("waylandDisplay");
    QTest::addColumn<QString>("qpaPlatform");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("refused");

    const QStringList plain {"build/adtest"};
    QTest::newRow("nothing set") << ""
                                 << ""
                                 << "" << plain << true;
    QTest::newRow("X session") << ":0"
                               << ""
                               << "" << plain << false;
    QTest::newRow("Wayland session") << ""
                                     << "wayland-0"
                                     << "" << plain << false;
    QTest::newRow("offscreen chosen") << ""
                                      << ""
                                      << "offscreen" << plain << false;
    QTest::newRow("-platform on the command line")
        << ""
        << ""
        << "" << QStringList {"adtest", "-platform", "offscreen"} << false;
    QTest::newRow("--display on the command line")
        << ""
        << ""
        << "" << QStringList {"adtest", "--display", ":1"} << false;
    // Only Qt's options count, and not as the program name.
    QTest::newRow("other options") << ""
                                   << ""
                                   << "" << QStringList {"-platform", "-platformx"} << true;
}

void DisplayCheckTest::missingDisplay()
{
    QFETCH(QString, display);
    QFETCH(QString, waylandDisplay);
    QFETCH(QString, qpaPlatform);
    QFETCH(QStringList, arguments);
    QFETCH(bool, refused);

    std::vector<std::string> argumentList;
    for (const QString &argument : arguments)
        argumentList.push_back(argument.toStdString());
    const auto message = missingDisplayMessage(
        {display.toStdString(), waylandDisplay.toStdString(), qpaPlatform.toStdString()},
        argumentList);

    QCOMPARE(message.has_value(), refused);
    if (message) {
        // One line that tells how to try it anyway, with the program as it was started.
        QVERIFY(message->find('\n') == std::string::npos);
        QVERIFY(message->ends_with("xvfb-run " + argumentList.front()));
    }
}

QTEST_APPLESS_MAIN(DisplayCheckTest)
#include "tst_displaycheck.moc"
