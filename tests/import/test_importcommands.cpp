// pelmora import, imports and undo-import, driven through the built program.
#include "store/database.h"
#include "store/statement.h"
#include "testsupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString alipayHeader =
    QStringLiteral("交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,"
                   "交易状态,交易订单号,商家订单号,备注\n");

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

} // namespace

class TestImportCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        createDatabase(m_dir->filePath(QStringLiteral("vandrel.mdb")));
    }

    void importListUndoAndImportAgain()
    {
        write(QStringLiteral("jan.csv"),
              alipayHeader +
                  QStringLiteral("2024-01-05 12:00:00,餐饮美食,瑞幸咖啡,/,拿铁,支出,28.16,花呗,"
                                 "交易成功,N1,,\n"
                                 "2024-01-09 10:00:00,转账红包,李四,/,/,收入,100.00,余额,"
                                 "交易成功,N2,,\n"));
        const QString summary =
            QStringLiteral("新增 2 笔（收入 1 笔 100.00 元，支出 1 笔 28.16 元）；重复 0 笔；"
                           "疑似重复 0 笔；不计收支 0 笔；未成功 0 笔；2 笔记入“待分类”"
                           "（新建收入类别 01、支出类别 01）");
        Run run = pelmora(
            {QStringLiteral("import"), QStringLiteral("jan.csv"), QStringLiteral("--dry-run")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.startsWith(summary + QLatin1Char('\n')), qPrintable(run.out));
        QCOMPARE(entries(), 0);

        run = pelmora({QStringLiteral("import"), QStringLiteral("jan.csv")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.startsWith(summary + QStringLiteral("\n导入完成：新增 2 笔。\n")),
                 qPrintable(run.out));
        QCOMPARE(entries(), 2);

        run = pelmora({QStringLiteral("imports")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.startsWith(QStringLiteral("1  ")) &&
                     run.out.contains(QStringLiteral("jan.csv  支付宝  新增 2 笔")),
                 qPrintable(run.out));
        run = pelmora({QStringLiteral("undo-import"), QStringLiteral("1")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("已撤销第 1 批导入：删除 2 笔记录。\n"));
        QCOMPARE(entries(), 0);
        QCOMPARE(pelmora({QStringLiteral("import"), QStringLiteral("jan.csv")}).exitCode, 0);
        QCOMPARE(entries(), 2);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString ambiguous =
            QStringLiteral("Date,Description,Amount\n03/04/2024,tea,-3.00\n05/06/2024,pay,+100\n");
        QTest::newRow("date order undecided")
            << ambiguous << QStringList{QStringLiteral("--account")} << 2 << "--date-order";
        QTest::newRow("card undecided")
            << ambiguous << QStringList{QStringLiteral("--date-order"), QStringLiteral("dmy")} << 2
            << "--card";
        QTest::newRow("card and account")
            << ambiguous << QStringList{QStringLiteral("--card"), QStringLiteral("--account")} << 2
            << "not both";
        QTest::newRow("unknown category")
            << ambiguous
            << QStringList{QStringLiteral("--date-order"), QStringLiteral("dmy"),
                           QStringLiteral("--card"), QStringLiteral("--expense-category"),
                           QStringLiteral("07")}
            << 2 << "no expense category 07";
        QTest::newRow("a row that cannot be read")
            << alipayHeader +
                   QStringLiteral("2024-01-05 12:00:00,餐饮美食,瑞幸咖啡,/,拿铁,支出,28.16,花呗,"
                                  "交易成功,N1,,\n2024-01-06,餐饮美食,瑞幸咖啡,/,拿铁,支出,abc,"
                                  "花呗,交易成功,N2,,\n")
            << QStringList() << 1 << "第 3 行";
        QTest::newRow("not a statement")
            << QStringLiteral("hello\n") << QStringList() << 1 << "表头";
    }

    void refusals()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        write(QStringLiteral("statement.csv"), text);
        const Run run = pelmora(
            QStringList{QStringLiteral("import"), QStringLiteral("statement.csv")} + options);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QCOMPARE(entries(), 0);
    }

private:
    void write(const QString& name, const QString& text)
    {
        writeFile(m_dir->filePath(name), text.toUtf8());
    }
    Run pelmora(const QStringList& arguments)
    {
        QProcess child;
        child.setWorkingDirectory(m_dir->path());
        child.start(QStringLiteral(PELMORA_BINARY), arguments);
        Run run;
        if (!child.waitForFinished(30000))
            return run;
        run.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
        run.out = QString::fromLocal8Bit(child.readAllStandardOutput());
        run.err = QString::fromLocal8Bit(child.readAllStandardError());
        return run;
    }
    qint64 entries()
    {
        Database book(QStringLiteral("check"), m_dir->filePath(QStringLiteral("vandrel.mdb")));
        Statement count(
            book, QStringLiteral("select (select count(*) from srb)+(select count(*) from zcb)"));
        return count.step() ? count.value(0).toLongLong() : -1;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestImportCommands)
#include "test_importcommands.moc"
