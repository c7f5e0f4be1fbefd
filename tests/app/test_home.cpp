// A fresh book, and the working folder of `pelmora --home`, driven through the
// built program as a child process.
#include "app/home.h"
#include "store/database.h"
#include "store/storeerror.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t modeOf(const QString& path)
{
    struct stat st
    {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// One run of `pelmora --home` from the empty folder elsewhere.
struct HomeRun
{
    int exitCode = -1;
    QString errors;
    QString workingFolder; // the child's working folder once it is up
};

HomeRun runHome(const QString& home, const QString& elsewhere)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PELMORA_HOME"), home);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(elsewhere);
    child.setReadChannel(QProcess::StandardError);
    child.start(QStringLiteral(PELMORA_BINARY), {QStringLiteral("--home")});
    HomeRun run;
    if (!child.waitForStarted())
        return run;
    // The program says where it works before its first window; then it is stopped.
    QByteArray err;
    while (!err.contains("pelmora: working folder ") && child.waitForReadyRead(20000))
        err += child.readAllStandardError();
    if (child.state() == QProcess::Running) {
        run.workingFolder =
            QFile::symLinkTarget(QStringLiteral("/proc/%1/cwd").arg(child.processId()));
        child.terminate();
    }
    child.waitForFinished(20000);
    run.errors = QString::fromLocal8Bit(err + child.readAllStandardError());
    run.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    return run;
}

} // namespace

class TestHome : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { ::umask(022); }

    void newBookIsOwnerOnly()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vandrel.mdb"));
        createDatabase(path);
        QCOMPARE(modeOf(path), mode_t(0600));
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("vandrel.mdb")});
        Database db(QStringLiteral("newbook"), path);
        db.ensureOpen();
    }

    // The last step of a new book: a book that appeared while it was built is kept.
    void moveNeverReplaces()
    {
        QTemporaryDir dir;
        const QString built = dir.filePath(QStringLiteral("built.mdb"));
        const QString place = dir.filePath(QStringLiteral("vandrel.mdb"));
        createDatabase(built);
        writeFile(place, "someone's book");
        QString error;
        try {
            moveIntoPlace(built, place);
        } catch (const StoreError& e) {
            error = e.message();
        }
        QCOMPARE(error, place + QStringLiteral(" already exists; it is not overwritten"));
        QCOMPARE(readFile(place), QByteArray("someone's book"));
        QVERIFY(QFile::exists(built));

        QVERIFY(QFile::remove(place));
        moveIntoPlace(built, place);
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("vandrel.mdb")});
    }

    void folderFromEnvironment_data()
    {
        QTest::addColumn<QString>("pelmoraHome");
        QTest::addColumn<QString>("dataHome");
        QTest::addColumn<QString>("expected");
        const QString data = QStringLiteral("/data");
        QTest::newRow("own") << QStringLiteral("/srv/books/") << data
                             << QStringLiteral("/srv/books");
        QTest::newRow("data home") << QString() << data << QStringLiteral("/data/pelmora");
        QTest::newRow("default") << QString() << QString()
                                 << QDir::homePath() + QStringLiteral("/.local/share/pelmora");
    }
    void folderFromEnvironment()
    {
        QFETCH(QString, pelmoraHome);
        QFETCH(QString, dataHome);
        QFETCH(QString, expected);
        qputenv("PELMORA_HOME", pelmoraHome.toLocal8Bit());
        qputenv("XDG_DATA_HOME", dataHome.toLocal8Bit());
        QCOMPARE(homeFolder(), expected);
    }

    void firstStartThenReuse()
    {
        QTemporaryDir top;
        const QString home = top.filePath(QStringLiteral("data/pelmora"));
        const QString elsewhere = top.filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkpath(elsewhere));

        HomeRun run = runHome(home, elsewhere);
        QVERIFY2(run.workingFolder == home, qPrintable(run.errors));
        QCOMPARE(entries(home),
                 (QStringList{QStringLiteral("pic.bmp"), QStringLiteral("vandrel.mdb")}));
        QCOMPARE(modeOf(home), mode_t(0700));
        QCOMPARE(modeOf(home + QStringLiteral("/vandrel.mdb")), mode_t(0600));
        QCOMPARE(readFile(home + QStringLiteral("/pic.bmp")),
                 readFile(QStringLiteral(PELMORA_SOURCE_DIR "/resources/pic.bmp")));
        QVERIFY(run.errors.contains(QStringLiteral("made a fresh book ") + home));
        QVERIFY(run.errors.contains(QStringLiteral("put the login picture into ") + home));
        QVERIFY(entries(elsewhere).isEmpty());

        // A second start keeps what is there, permissions included.
        const QString book = home + QStringLiteral("/vandrel.mdb");
        QVERIFY(AnotherProgram(book).exec("insert into login1 values('kept','x','111')"));
        QVERIFY(QFile::setPermissions(book, QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ReadGroup | QFile::ReadOther));
        writeFile(home + QStringLiteral("/pic.bmp"), "my own picture");
        const QByteArray bookBytes = readFile(book);

        run = runHome(home, elsewhere);
        QVERIFY2(run.workingFolder == home, qPrintable(run.errors));
        QVERIFY2(!run.errors.contains(QStringLiteral("made")), qPrintable(run.errors));
        QCOMPARE(readFile(book), bookBytes);
        QCOMPARE(modeOf(book), mode_t(0644));
        QCOMPARE(readFile(home + QStringLiteral("/pic.bmp")), QByteArray("my own picture"));
        QCOMPARE(entries(home).size(), 2);
        QVERIFY(entries(elsewhere).isEmpty());
    }

    void unusableHome_data()
    {
        QTest::addColumn<QString>("home"); // relative to the test's folder
        QTest::addColumn<QString>("message");
        const QString inTheWay =
            QStringLiteral("%1/file is in the way of the working folder: it is not a folder");
        QTest::newRow("file in the way") << QStringLiteral("file") << inTheWay;
        QTest::newRow("folder under a file") << QStringLiteral("file/pelmora") << inTheWay;
        QTest::newRow("read-only parent")
            << QStringLiteral("readonly/pelmora")
            << QStringLiteral("cannot make the working folder %1/readonly/pelmora: ");
        QTest::newRow("read-only home")
            << QStringLiteral("readonly")
            << QStringLiteral("cannot create %1/readonly/vandrel.mdb: ");
    }
    void unusableHome()
    {
        QFETCH(QString, home);
        QFETCH(QString, message);
        QTemporaryDir top;
        const QString elsewhere = top.filePath(QStringLiteral("elsewhere"));
        const QString readonly = top.filePath(QStringLiteral("readonly"));
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(QDir().mkpath(readonly));
        const QString file = top.filePath(QStringLiteral("file"));
        writeFile(file, {});
        // Permission bits do not stop root: a read-only mount does.
        bool mounted = false;
        if (::geteuid() == 0) {
            mounted = ::mount("tmpfs", QFile::encodeName(readonly).constData(), "tmpfs", MS_RDONLY,
                              "size=64k") == 0;
            if (!mounted && home.startsWith(QStringLiteral("readonly")))
                QSKIP("running as root where mounting a read-only tmpfs is refused");
        } else {
            QVERIFY(QFile::setPermissions(readonly, QFile::ReadOwner | QFile::ExeOwner));
        }

        const HomeRun run = runHome(top.filePath(home), elsewhere);
        if (mounted)
            ::umount(QFile::encodeName(readonly).constData());
        QFile::setPermissions(readonly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.errors.contains(message.arg(top.path())), qPrintable(run.errors));
        QVERIFY(!run.errors.contains(QStringLiteral("pelmora: working folder")));
        QCOMPARE(entries(top.path()),
                 (QStringList{QStringLiteral("elsewhere"), QStringLiteral("file"),
                              QStringLiteral("readonly")}));
        QVERIFY(entries(elsewhere).isEmpty());
        QVERIFY(entries(readonly).isEmpty());
        QCOMPARE(readFile(file), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestHome)
#include "test_home.moc"
