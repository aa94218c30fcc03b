#include "ConverterEnd.h"
#include "DeviceHolders.h"
#include "GuiTestMain.h"
#include "TestHelpers.h"

#include "PortToolTip.h"
#include "QtSerialLink.h"
#include "SerialLinkSetup.h"
#include "SerialPortList.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Opens port 1 as START does, through `path`.
bool openThrough(QtSerialLink &link, const QByteArray &path)
{
    qputenv("ADTEST_COM1", path);
    return openSerialLink(link);
}

SerialPortRecord port(const char *device, const char *description = "", bool placeholder = false)
{
    SerialPortRecord record;
    record.device = device;
    record.description = description;
    record.placeholder = placeholder;
    return record;
}

} // namespace

class SerialLinkTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void secondCopyIsRefusedWhateverThePath_data();
    void secondCopyIsRefusedWhateverThePath();
    void longSymlinkPathOpens();
    void closingRestoresTheDeviceSettings();
    void holdersOfADeviceAreFound();
    void permissionAdviceFitsTheDevice_data();
    void permissionAdviceFitsTheDevice();
    void discardInputDropsHeldAndPendingCharacters();
    void toolTipFollowsTheDevice();
    void portListLeavesOutPlaceholdersAndFormats_data();
    void portListLeavesOutPlaceholdersAndFormats();

private:
    ConverterEnd *converter = nullptr;
    QTemporaryDir directory;
    QByteArray target;
    QByteArray symlinkPath;
};

void SerialLinkTest::init()
{
    converter = new ConverterEnd;
    target = QByteArray::fromStdString(converter->terminal().slavePath());
    symlinkPath = directory.filePath(QStringLiteral("ttyCONVERTER")).toLocal8Bit();
    ::unlink(symlinkPath.constData());
    QCOMPARE(::symlink(target.constData(), symlinkPath.constData()), 0);
}

void SerialLinkTest::cleanup()
{
    delete converter;
    converter = nullptr;
}

void SerialLinkTest::secondCopyIsRefusedWhateverThePath_data()
{
    QTest::addColumn<bool>("firstThroughSymlink");
    QTest::addColumn<bool>("secondThroughSymlink");
    QTest::newRow("symlink, then its target") << true << false;
    QTest::newRow("target, then a symlink to it") << false << true;
}

// Both copies take every character, so two holding one device would each
// miss part of the stream. The lock goes with the first copy's descriptor.
void SerialLinkTest::secondCopyIsRefusedWhateverThePath()
{
    QFETCH(bool, firstThroughSymlink);
    QFETCH(bool, secondThroughSymlink);
    QtSerialLink first;
    QtSerialLink second;
    QVERIFY(openThrough(first, firstThroughSymlink ? symlinkPath : target));
    QVERIFY(!openThrough(second, secondThroughSymlink ? symlinkPath : target));
    QVERIFY2(second.errorString().find("the port is busy") != std::string::npos,
        second.errorString().c_str());
    QVERIFY(first.isOpen());
    first.close();
    QVERIFY(openThrough(second, secondThroughSymlink ? symlinkPath : target));
}

void SerialLinkTest::longSymlinkPathOpens()
{
    QByteArray path = directory.path().toLocal8Bit() + '/';
    while (path.size() < 260 - 101)
        path += QByteArray(100, 'd') + '/';
    QVERIFY(QDir().mkpath(QString::fromLocal8Bit(path)));
    path += QByteArray(260 - path.size(), 'x');
    QCOMPARE(path.size(), 260);
    QCOMPARE(::symlink(target.constData(), path.constData()), 0);
    QtSerialLink link;
    QVERIFY2(openThrough(link, path), link.errorString().c_str());
    converter->send("\x02");
    QTRY_COMPARE(link.available(), std::int16_t(1));
}

// A terminal named as the port (--port /dev/tty) must not stay raw at 9600
// baud after the program is done with it.
void SerialLinkTest::closingRestoresTheDeviceSettings()
{
    const int fd = ::open(target.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    termios before {};
    QCOMPARE(tcgetattr(fd, &before), 0);
    before.c_lflag |= ICANON | ECHO;
    cfsetspeed(&before, B38400);
    QCOMPARE(tcsetattr(fd, TCSANOW, &before), 0);
    QtSerialLink link;
    QVERIFY(openThrough(link, target));
    termios during {};
    QCOMPARE(tcgetattr(fd, &during), 0);
    QCOMPARE(cfgetispeed(&during), speed_t(B9600));
    QVERIFY(!(during.c_lflag & ICANON));
    link.close();
    termios after {};
    QCOMPARE(tcgetattr(fd, &after), 0);
    ::close(fd);
    QCOMPARE(cfgetispeed(&after), speed_t(B38400));
    QVERIFY(after.c_lflag & ICANON);
    QVERIFY(after.c_lflag & ECHO);
}

// Tells a flag left by a killed program from a port someone holds.
void SerialLinkTest::holdersOfADeviceAreFound()
{
    QtSerialLink link;
    QVERIFY(openThrough(link, symlinkPath));
    const std::string device = link.openedDevice().toStdString();
    QVERIFY(
        processesHolding(device) == std::vector<int> {int(::getpid())}); // one entry per process
    QVERIFY(processesHolding(directory.filePath("nothing").toStdString()).empty());
}

void SerialLinkTest::permissionAdviceFitsTheDevice_data()
{
    QTest::addColumn<QByteArray>("group");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArrayList>("said");
    QTest::addColumn<QByteArrayList>("notSaid");
    // The device is a pseudo-terminal, which udev rules do not reach.
    QTest::newRow("only root may use it")
        << QByteArray("root") << 0600
        << QByteArrayList {"permission denied", "user root and group root with mode 0600",
               "pseudo-terminal belongs to the user"}
        << QByteArrayList {"adduser $USER root", "KERNEL=="};
    QTest::newRow("its group may use it")
        << QByteArray("dialout") << 0660
        << QByteArrayList {"group dialout with mode 0660", "sudo adduser $USER dialout"}
        << QByteArrayList {"udev"};
}

void SerialLinkTest::permissionAdviceFitsTheDevice()
{
    QFETCH(QByteArray, group);
    QFETCH(int, mode);
    QFETCH(QByteArrayList, said);
    QFETCH(QByteArrayList, notSaid);
    if (geteuid() != 0)
        QSKIP("giving the device away needs root");
    const struct group *owningGroup = getgrnam(group.constData());
    if (!owningGroup)
        QSKIP("no such group on this system");
    QCOMPARE(::chown(target.constData(), 0, owningGroup->gr_gid), 0);
    QCOMPARE(::chmod(target.constData(), mode_t(mode)), 0);
    QCOMPARE(::chmod(QFile::encodeName(directory.path()).constData(), 0755), 0);
    const QByteArray path = symlinkPath;
    const QByteArray message = QByteArray::fromStdString(asNobody([&] {
        QtSerialLink link;
        return openThrough(link, path) ? std::string("opened") : link.errorString();
    }));
    for (const QByteArray &phrase : said)
        QVERIFY2(message.contains(phrase), message.constData());
    for (const QByteArray &phrase : notSaid)
        QVERIFY2(!message.contains(phrase), message.constData());
}

// What arrived before the discard, whether already in the link's buffer or
// still in the kernel's, is gone; what arrives after it is read.
void SerialLinkTest::discardInputDropsHeldAndPendingCharacters()
{
    QtSerialLink link;
    QVERIFY(openThrough(link, target));
    converter->send(QByteArray(3 * 4096, 'x'));
    QTRY_VERIFY(link.available() > 0);
    QVERIFY(link.charactersReceived() < 3 * 4096u);
    link.discardInput();
    QCOMPARE(link.available(), std::int16_t(0));
    converter->send(QByteArray("\x02\0A", 3));
    QTRY_COMPARE(link.available(), std::int16_t(3));
    QCOMPARE(link.readChar(), '\x02');
    QCOMPARE(link.readChar(), '\0');
    QCOMPARE(link.readChar(), 'A');
    QCOMPARE(link.charactersReceived(), 3u);
}

void SerialLinkTest::toolTipFollowsTheDevice()
{
    QtSerialLink link;
    const PortToolTip toolTip(link, nullptr);
    qputenv("ADTEST_COM1", symlinkPath);
    QVERIFY(toolTip.text().contains(QString::fromLocal8Bit(symlinkPath + ".\nIt is not open")));

    QVERIFY(openThrough(link, symlinkPath));
    const QString device = QString::fromLocal8Bit(symlinkPath + " (" + target + ")");
    QVERIFY2(toolTip.text().contains(device + ".\n0 characters since START.\nNothing has arrived"),
        qPrintable(toolTip.text()));
    converter->send("\x02"
                    "0A3\r");
    QTRY_COMPARE(link.charactersReceived(), 5u);
    QVERIFY(toolTip.text().endsWith(device + ".\n5 characters since START."));

    delete converter; // the adapter pulled
    converter = nullptr;
    QTRY_VERIFY(!link.isOpen());
    QVERIFY2(toolTip.text().contains("went away") && toolTip.text().contains("5 characters had"),
        qPrintable(toolTip.text()));
}

void SerialLinkTest::portListLeavesOutPlaceholdersAndFormats_data()
{
    QTest::addColumn<bool>("noPorts");
    QTest::addColumn<bool>("includePlaceholders");
    QTest::addColumn<QStringList>("listing");
    QTest::addColumn<QString>("summary");
    const QString adapter = QStringLiteral(
        "/dev/ttyUSB0  FT232R USB UART, FTDI, serial number A50285BI, USB 0403:6001");
    const QString alias = QStringLiteral("    /dev/serial/by-id/usb-FTDI_A50285BI-if00-port0");
    QTest::newRow("present only")
        << false << false << QStringList {"/dev/ttyACM0  Pico", "/dev/ttyS1", adapter, alias}
        << "Serial ports present: /dev/ttyACM0 (Pico), /dev/ttyS1, /dev/ttyUSB0 (FT232R USB "
           "UART).";
    QTest::newRow("all")
        << false << true
        << QStringList {"/dev/ttyACM0  Pico", "/dev/ttyS0  no UART behind it", "/dev/ttyS1",
               adapter, alias}
        << "Serial ports present: /dev/ttyACM0 (Pico), /dev/ttyS0, /dev/ttyS1, /dev/ttyUSB0 "
           "(FT232R USB UART).";
    QTest::newRow("none") << true << false << QStringList {"No serial ports found."}
                          << "No serial ports are present.";
}

void SerialLinkTest::portListLeavesOutPlaceholdersAndFormats()
{
    QFETCH(bool, noPorts);
    QFETCH(bool, includePlaceholders);
    QFETCH(QStringList, listing);
    QFETCH(QString, summary);
    SerialPortRecord adapter = port("/dev/ttyUSB0", "FT232R USB UART");
    adapter.manufacturer = "FTDI";
    adapter.serialNumber = "A50285BI";
    adapter.vendorId = 0x0403;
    adapter.productId = 0x6001;
    adapter.stableAlias = "/dev/serial/by-id/usb-FTDI_A50285BI-if00-port0";
    std::vector<SerialPortRecord> system;
    if (!noPorts) {
        system = {port("/dev/ttyS1"), adapter, port("/dev/ttyS0", "", true),
            port("/dev/ttyACM0", "Pico")};
    }
    const std::vector<SerialPortRecord> shown = presentPorts(system, includePlaceholders);
    QStringList lines;
    for (const std::string &line : formatPortListing(shown))
        lines << QString::fromStdString(line);
    QCOMPARE(lines, listing);
    QCOMPARE(QString::fromStdString(formatPortSummary(shown)), summary);
}

ADTEST_GUI_TEST_MAIN(SerialLinkTest)
#include "tst_seriallink.moc"
