#include "DisplayCheck.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// "abstract NAME", "file PATH" or "tcp HOST PORT".
QString describe(const DisplaySocket &socket)
{
    const char *kinds[] = {"file", "abstract", "tcp"};
    const QString text = QString("%1 %2").arg(kinds[int(socket.kind)], socket.address.c_str());
    return socket.kind == DisplaySocket::Kind::Tcp ? text + ' ' + QString::number(socket.port)
                                                   : text;
}

} // namespace

class DisplayCheckTest : public QObject
{
    Q_OBJECT

private slots:
    void missingDisplay_data();
    void missingDisplay();
    void unreachableDisplay_data();
    void unreachableDisplay();
    void socketAnswersWhileAServerListens();
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
    DisplayEnvironment environment;
    environment.display = display.toStdString();
    environment.waylandDisplay = waylandDisplay.toStdString();
    environment.qpaPlatform = qpaPlatform.toStdString();
    const auto message = missingDisplayMessage(environment, argumentList);

    QCOMPARE(message.has_value(), refused);
    if (message) {
        // One line that tells how to try it anyway, with the program as it was started.
        QVERIFY(message->find('\n') == std::string::npos);
        QVERIFY(message->ends_with("xvfb-run " + argumentList.front()));
    }
}

// The variables name a display, but does a server answer there?
void DisplayCheckTest::unreachableDisplay_data()
{
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("wayland");
    QTest::addColumn<QString>("runtime"); // XDG_RUNTIME_DIR
    QTest::addColumn<QStringList>("answering"); // as describe() writes them
    QTest::addColumn<QString>("named"); // what the message names; empty: no message

    const QString x99 = "/tmp/.X11-unix/X99", run = "/run/user/1000", none;
    const QStringList compositor {"file /run/user/1000/wayland-9"};
    QTest::newRow("X server gone") << ":99" << none << run << QStringList {} << "DISPLAY=:99";
    QTest::newRow("X socket file") << ":99.0" << none << run << QStringList {"file " + x99} << none;
    QTest::newRow("abstract only")
        << ":99" << none << run << QStringList {"abstract " + x99} << none;
    QTest::newRow("TCP to localhost")
        << ":99" << none << run << QStringList {"tcp localhost 6099"} << none;
    QTest::newRow("remote X") << "tcp/[::1]:1" << none << run << QStringList {"tcp ::1 6001"}
                              << none;
    QTest::newRow("unread form left to Qt")
        << "/tmp/launch/xquartz:0" << none << run << QStringList {} << none;
    QTest::newRow("compositor") << none << "wayland-9" << run << compositor << none;
    QTest::newRow("no runtime directory")
        << none << "wayland-9" << none << compositor << "WAYLAND_DISPLAY=wayland-9";
    QTest::newRow("absolute WAYLAND_DISPLAY")
        << none << "/tmp/compositor" << none << QStringList {"file /tmp/compositor"} << none;
    QTest::newRow("X gone, compositor there") << ":99"
                                              << "wayland-9" << run << compositor << none;
    QTest::newRow("both gone") << ":99"
                               << "wayland-9" << run << QStringList {}
                               << "DISPLAY=:99 or WAYLAND_DISPLAY=wayland-9";
}

void DisplayCheckTest::unreachableDisplay()
{
    QFETCH(QString, display);
    QFETCH(QString, wayland);
    QFETCH(QString, runtime);
    QFETCH(QStringList, answering);
    QFETCH(QString, named);

    DisplayEnvironment environment;
    environment.display = display.toStdString();
    environment.waylandDisplay = wayland.toStdString();
    environment.runtimeDirectory = runtime.toStdString();
    environment.answers = [&](const DisplaySocket &at) { return answering.contains(describe(at)); };
    const auto message = missingDisplayMessage(environment, {"adtest"});

    QCOMPARE(message.has_value(), !named.isEmpty());
    if (message) {
        QCOMPARE(message->find('\n'), std::string::npos);
        QVERIFY2(message->ends_with(" at " + named.toStdString()
                     + "; to try it without one, run: xvfb-run adtest"),
            message->c_str());
    }
}

// The real probe, on a socket file this test listens on. A server that is
// there must never be taken for a missing one.
void DisplayCheckTest::socketAnswersWhileAServerListens()
{
    QTemporaryDir directory;
    const DisplaySocket file {DisplaySocket::Kind::Path, directory.filePath("X5").toStdString()};
    sockaddr_un address {AF_UNIX, {}};
    std::memcpy(address.sun_path, file.address.c_str(), file.address.size() + 1);
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QCOMPARE(::bind(server, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    QCOMPARE(::listen(server, 1), 0);
    QVERIFY(socketAnswers(file));
    QVERIFY(!socketAnswers({DisplaySocket::Kind::Abstract, file.address}));
    ::close(server);
    QVERIFY(!socketAnswers(file)); // the file stays behind, nobody listening
}

QTEST_APPLESS_MAIN(DisplayCheckTest)
#include "tst_displaycheck.moc"
