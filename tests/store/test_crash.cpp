#include "book/booksql.h"
#include "store/database.h"
#include "store/query.h"
#include "store/storeerror.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>
#include <QThread>
#include <cstdio>
#include <unistd.h>

namespace {

const char kChildSwitch[] = "--save-entries";

// The child: saves entries one after another as the book window does, and
// confirms each on stdout once its statement has returned.
int saveEntries(const QString& path, const QString& run)
{
    try {
        Database database(QStringLiteral("crash-child"), path);
        Query query(database);
        for (int i = 0;; ++i) {
            const EntryKind kind = i % 2 ? EntryKind::Expense : EntryKind::Income;
            query.setText(insertEntrySql(kind, QDate(2005, 11, 1 + i % 30), QStringLiteral("01"),
                                         QStringLiteral("工资"), QString::number(i),
                                         run + QLatin1Char('-') + QString::number(i)));
            query.exec();
            const QByteArray line = QByteArray::number(i) + '\n';
            if (::write(STDOUT_FILENO, line.constData(), line.size()) != line.size())
                return 2;
        }
    } catch (const StoreError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
}

// Remark -> number of rows holding it, over both tables.
QHash<QString, int> savedRemarks(const QString& path)
{
    QHash<QString, int> remarks;
    for (const QString& remark : AnotherProgram(path).column(
             QStringLiteral("select srsm from srb union all select zcsm from zcb")))
        ++remarks[remark];
    return remarks;
}

} // namespace

class TestCrash : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedWhileSavingKeepsEveryConfirmedSave();
};

void TestCrash::killedWhileSavingKeepsEveryConfirmedSave()
{
    TestBook book;
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    qInfo("kill moments from seed %u", seed);
    QSet<QString> known; // remarks of confirmed saves, and of saves found after a kill
    for (int run = 0; run < 10; ++run) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(kChildSwitch), book.path(), QString::number(run)});
        // The first confirmation shows the child is saving; kill it somewhere after.
        QVERIFY(child.waitForReadyRead(10000));
        QThread::usleep(random.bounded(300000));
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        QVERIFY2(child.exitStatus() == QProcess::CrashExit,
                 child.readAllStandardError().constData());
        int last = -1;
        for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
            if (line.isEmpty())
                continue;
            QCOMPARE(line.toInt(), last + 1);
            last = line.toInt();
            known.insert(QStringLiteral("%1-%2").arg(run).arg(last));
        }

        QCOMPARE(AnotherProgram(book.path()).column(QStringLiteral("pragma integrity_check")),
                 QStringList{QStringLiteral("ok")});
        const QHash<QString, int> saved = savedRemarks(book.path());
        for (const QString& remark : std::as_const(known))
            QVERIFY2(saved.value(remark) == 1, qPrintable(remark));
        // Beyond those, only the save under way when the child died, once.
        const QString underWay = QStringLiteral("%1-%2").arg(run).arg(last + 1);
        for (auto it = saved.cbegin(); it != saved.cend(); ++it)
            QVERIFY2(it.value() == 1 && (known.contains(it.key()) || it.key() == underWay),
                     qPrintable(it.key()));
        if (saved.contains(underWay))
            known.insert(underWay);
    }
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], kChildSwitch) == 0)
        return saveEntries(QString::fromLocal8Bit(argv[2]), QString::fromLatin1(argv[3]));
    TestCrash test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_crash.moc"
