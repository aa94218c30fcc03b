#include "OutputFile.h"
#include "RawLog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <sys/fsuid.h>
#include <sys/resource.h>
#include <unistd.h>

// How every program writes its files: whole or not at all, and never two
// outputs into one file.
class TestOutputFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_directory.isValid());
        QVERIFY(QDir::setCurrent(m_directory.path()));
        for (const char *name : {"x", "y"}) {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(QDir().mkdir("sub"));
        QCOMPARE(::link("x", "hard"), 0);
        QVERIFY(QFile::link("x", "to-x"));
        QVERIFY(QFile::link("missing", "to-missing"));
    }

    void sameTarget_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("same");
        QTest::newRow("one path twice") << "x"
                                        << "x" << true;
        QTest::newRow("./x and x") << "./x"
                                   << "x" << true;
        QTest::newRow("through ..") << "sub/../x"
                                    << "x" << true;
        QTest::newRow("not made yet, by two names") << "sub/../new"
                                                    << "./new" << true;
        QTest::newRow("symbolic link to a file") << "to-x"
                                                 << "x" << true;
        QTest::newRow("symbolic link to nothing yet") << "to-missing"
                                                      << "missing" << true;
        QTest::newRow("hard link") << "hard"
                                   << "x" << true;
        QTest::newRow("different files") << "x"
                                         << "y" << false;
        QTest::newRow("different new files") << "new"
                                             << "sub/new" << false;
        QTest::newRow("standard output twice") << "-"
                                               << "-" << false;
        QTest::newRow("standard output and a file") << "-"
                                                    << "x" << false;
    }
    void sameTarget()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, same);
        QCOMPARE(OutputFile::sameTarget(first, second), same);
        QCOMPARE(OutputFile::sameTarget(m_directory.filePath(second), first), same);
    }

    // A folder that takes no new file fails at open, before any work, and
    // the file there stays. Root writes anywhere, so then the check runs
    // with the file system rights of nobody.
    void readOnlyFolderKeepsTheOldFile()
    {
        QVERIFY(QDir().mkdir("locked"));
        writeOld("locked/out.csv");
        QVERIFY(QFile::setPermissions(m_directory.path(),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                | QFile::ExeOther));
        QVERIFY(QFile::setPermissions(
            "locked", QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
        const bool root = ::geteuid() == 0;
        if (root)
            ::setfsuid(65534);
        OutputFile file;
        const bool opened = file.open("locked/out.csv");
        const bool written = file.write("new");
        if (root)
            ::setfsuid(0);
        QVERIFY(!opened && !written);
        QCOMPARE(file.error(),
            QStringLiteral("cannot write locked/out.csv: ")
                + QString::fromLocal8Bit(std::strerror(EACCES)));
        QCOMPARE(QDir("locked").entryList(QDir::Files | QDir::Hidden), QStringList {"out.csv"});
        QCOMPARE(contents("locked/out.csv"), QByteArray("older"));
    }

    // A write that fails half-way (here at a file-size limit, as on a full
    // disk) leaves the old file and no temporary one, for whole files and the
    // streamed raw log alike.
    void failedWriteKeepsTheOldFile()
    {
        QVERIFY(QDir().mkdir("full"));
        writeOld("full/out.csv");
        writeOld("full/raw.bin");
        OutputFile file;
        RawLog raw;
        QVERIFY(file.open("full/out.csv") && raw.open("full/raw.bin") && raw.isOpen());
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit unlimited {};
        ::getrlimit(RLIMIT_FSIZE, &unlimited);
        const rlimit limited {4096, unlimited.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        const QByteArray big(10000, 'b');
        const bool written = file.write(big);
        raw.append(big.constData(), std::size_t(big.size()));
        raw.append("more", 4);
        const bool finished = raw.finish();
        ::setrlimit(RLIMIT_FSIZE, &unlimited);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!written && !finished);
        const QString reason = QString::fromLocal8Bit(std::strerror(EFBIG));
        QCOMPARE(file.error(), "cannot write full/out.csv: " + reason);
        QCOMPARE(raw.error(), "cannot write full/raw.bin: " + reason);
        QCOMPARE(QDir("full").entryList(QDir::Files | QDir::Hidden),
            (QStringList {"out.csv", "raw.bin"}));
        QCOMPARE(contents("full/out.csv"), QByteArray("older"));
        QCOMPARE(contents("full/raw.bin"), QByteArray("older"));
        // The next write starts afresh.
        QVERIFY(file.write("new"));
        QCOMPARE(contents("full/out.csv"), QByteArray("new"));
    }

    // A replaced file keeps its permissions, and the file behind a link is
    // replaced, not the link.
    void replacingKeepsModeAndLink()
    {
        QVERIFY(QDir().mkdir("kept"));
        writeOld("kept/target");
        QVERIFY(QFile::setPermissions("kept/target", QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(QFile::link("target", "kept/link"));
        OutputFile file;
        QVERIFY(file.open("kept/link") && file.isOpen() && file.write("new"));
        QVERIFY(QFileInfo("kept/link").isSymLink());
        QCOMPARE(contents("kept/target"), QByteArray("new"));
        QCOMPARE(QFile::permissions("kept/target"),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        QCOMPARE(QDir("kept").entryList(QDir::Files | QDir::Hidden | QDir::System),
            (QStringList {"link", "target"}));
    }

private:
    static void writeOld(const QString &path)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("older") == 5);
    }
    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_directory;
};

QTEST_APPLESS_MAIN(TestOutputFile)
#include "tst_output_file.moc"
