// Importing a 100,000-row statement in the newer 支付宝 layout into a copy of
// the benchmark book, against Python's csv and sqlite3 inserting the same
// entries and key rows into an identical copy in one transaction; then the
// same file again (every row a duplicate) and the undo of the batch. Memory is
// each step's own: its peak less what the process held before it.

#include "benchsupport.h"
#include "import/batches.h"
#include "import/importer.h"
#include "store/database.h"
#include "store/statement.h"
#include "store/storeerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <cstdio>
#include <random>

namespace {

constexpr int kRows = 100000;

double statusMb(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// A year of a household's 支付宝 statement, newest first, as the site exports it
// (GBK text with a preamble).
void writeStatement(const QString& path)
{
    const char* categories[] = {"餐饮美食", "交通出行", "日用百货", "服饰装扮",
                                "充值缴费", "医疗健康", "文化休闲", "生活服务"};
    const char* goods[] = {"拿铁",     "外卖订单", "打车",   "地铁票", "纸巾", "衬衫",
                           "话费充值", "药品",     "电影票", "快递费", "水果", "早餐"};
    std::mt19937 random(20240105);
    QStringList counterparts;
    for (int i = 0; i < 300; ++i)
        counterparts << QStringLiteral("商户%1号店").arg(i);

    QString text =
        QStringLiteral(
            "------------------------------------------------------------------------------------\n"
            "导出信息：\n姓名：张三\n支付宝账户：zhang@example.com\n"
            "起始时间：[2025-01-01 00:00:00]    终止时间：[2025-12-31 23:59:59]\n"
            "导出交易类型：[全部]\n导出时间：[2026-01-02 10:00:00]\n共%1笔记录\n"
            "----------------------支付宝（中国）网络技术有限公司  电子客户回单------------------"
            "----\n"
            "交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,交易状态,"
            "交易订单号,商家订单号,备注,\n")
            .arg(kRows);
    const QDate last(2025, 12, 31);
    for (int i = 0; i < kRows; ++i) {
        const QDate day = last.addDays(-static_cast<qint64>(i) * 365 / kRows);
        const int roll = static_cast<int>(random() % 100);
        QString category = QString::fromUtf8(categories[random() % 8]);
        QString direction = QStringLiteral("支出");
        QString state = QStringLiteral("交易成功");
        if (roll < 10) {
            category = QStringLiteral("转账红包");
            direction = QStringLiteral("收入");
        } else if (roll < 12) {
            category = QStringLiteral("投资理财");
            direction = QStringLiteral("不计收支");
        } else if (roll < 13) {
            state = QStringLiteral("交易关闭");
        }
        const int cents = 100 + static_cast<int>(random() % 50000);
        text += QStringLiteral("%1 %2:%3:%4,%5,%6,/,%7,%8,%9.%10,余额,%11,2025%12,,,\n")
                    .arg(day.toString(Qt::ISODate))
                    .arg(random() % 24, 2, 10, QLatin1Char('0'))
                    .arg(random() % 60, 2, 10, QLatin1Char('0'))
                    .arg(random() % 60, 2, 10, QLatin1Char('0'))
                    .arg(category, counterparts.at(random() % 300),
                         QString::fromUtf8(goods[random() % 12]), direction)
                    .arg(cents / 100)
                    .arg(cents % 100, 2, 10, QLatin1Char('0'))
                    .arg(state)
                    .arg(i, 20, 10, QLatin1Char('0'));
    }
    QStringEncoder gbk("GB18030");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(gbk(text)) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

// Python's csv and sqlite3: the rows that are income or expense and went
// through and that the import did not leave out as possible duplicates, each
// inserted with its category (as the import chose it per source category),
// remark and period, and its key row; one transaction. Prints
// "milliseconds peakKB".
const char kPythonImport[] = R"(import csv, json, sqlite3, sys, time
path, book, mapping = sys.argv[1], sys.argv[2], json.loads(sys.argv[3])
skip = set(mapping['skip'])
t = time.perf_counter()
db = sqlite3.connect(book, isolation_level=None)
db.execute('pragma synchronous=FULL')
db.execute('begin immediate')
insert = {'S': 'insert into srb(srrq,srlb,srmc,srje,srsm,srsq) values(?,?,?,?,?,?)',
          'Z': 'insert into zcb(zcrq,zclb,zcmc,zcje,zcsm,zcsq) values(?,?,?,?,?,?)'}
n = 0
with open(path, encoding='gb18030', newline='') as f:
    rows = csv.reader(f)
    for row in rows:
        if row and row[0].strip() == '交易时间':
            break
    for row in rows:
        if len(row) < 10:
            continue
        way = row[5].strip()
        kind = 'S' if way == '收入' else 'Z' if way == '支出' else None
        if kind is None or row[8].strip() != '交易成功' or row[9].strip() in skip:
            continue
        day = row[0].strip()[:10]
        code, name = mapping[kind + row[1].strip()]
        remark = ' '.join(x for x in (row[2].strip(), row[4].strip()) if x and x != '/')
        cents = round(float(row[6].strip()) * 100)
        cur = db.execute(insert[kind], (day, code, name, cents / 100, remark,
                                        day[:4] + day[5:7]))
        db.execute('insert into import_keys(kind,uid,key,batch,imported) values(?,?,?,?,?)',
                   (kind, cur.lastrowid, '支付宝|no|' + row[9].strip(), 1, 0))
        n += 1
db.execute('commit')
ms = (time.perf_counter() - t) * 1000
peak = [l.split()[1] for l in open('/proc/self/status') if l.startswith('VmHWM:')][0]
print('%.1f %s %d' % (ms, peak, n))
)";

void copyFile(const QString& from, const QString& to)
{
    if (!QFile::copy(from, to)) {
        std::fprintf(stderr, "cannot copy %s to %s\n", qPrintable(from), qPrintable(to));
        std::exit(1);
    }
}

qint64 countOf(Database& db, const QString& sql)
{
    Statement count(db, sql);
    return count.step() ? count.value(0).toLongLong() : -1;
}

void report(const char* figure, double ms, double mb, const char* target, bool met)
{
    std::printf("%-46s %9.0f ms %7.1f MB   %-24s %s\n", figure, ms, mb, target,
                met ? "met" : "MISSED");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString::fromLatin1(kBenchBookFolder);
    const QString source = benchBook(folder);
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/pelmora-bench-import-XXXXXX"));
    // BENCH_KEEP=1 leaves the books and the statement there for a closer look.
    work.setAutoRemove(!qEnvironmentVariableIsSet("BENCH_KEEP"));
    const QString ours = work.filePath(QStringLiteral("ours.mdb"));
    const QString theirs = work.filePath(QStringLiteral("python.mdb"));
    const QString statementPath = work.filePath(QStringLiteral("alipay-2025.csv"));
    copyFile(source, ours);
    {
        // Opening it writable gives it the import tables; the copy is then identical.
        Database prepare(QStringLiteral("prepare"), ours);
        prepare.ensureOpen();
    }
    copyFile(ours, theirs);
    writeStatement(statementPath);
    std::printf("statement: %d rows, %.1f MB; book: %.0f MB\n", kRows,
                QFileInfo(statementPath).size() / 1048576.0, QFileInfo(ours).size() / 1048576.0);

    try {
        Database db(QStringLiteral("bench"), ours);
        db.ensureOpen();
        std::printf("\n%-46s %12s %10s   %-24s\n", "figure", "time", "memory", "target");

        // The import: read, plan against the book, store.
        double importMs = 0;
        double importMb = 0;
        qint64 batch = 0;
        QJsonObject mapping;
        qint64 added = 0;
        {
            const double before = statusMb("VmRSS:");
            resetPeak();
            QElapsedTimer timer;
            timer.start();
            ReadOptions options;
            const ParsedStatement statement = readWithRememberedAnswers(db, statementPath, options);
            const ImportedBatch imported =
                importStatement(db, statementPath, statement, options, {}, QStringLiteral("bench"));
            importMs = timer.nsecsElapsed() / 1e6;
            importMb = statusMb("VmHWM:") - before;
            batch = imported.batch;
            added = imported.plan.counts.added();
            std::printf("import: %s\n", qPrintable(summaryText(imported.plan)));
            QJsonArray skipped;
            for (qsizetype i = 0; i < statement.rows.size(); ++i) {
                const PlannedRow& row = imported.plan.rows.at(i);
                if (row.taken)
                    mapping.insert(kindLetter(row.kind) + statement.rows.at(i).sourceCategory,
                                   QJsonArray{row.code, row.name});
                else if (row.state == RowState::PossibleDuplicate)
                    skipped.append(statement.rows.at(i).transactionNo);
            }
            mapping.insert(QStringLiteral("skip"), skipped);
        }

        QProcess python;
        python.start(QStringLiteral("python3"),
                     {QStringLiteral("-c"), QString::fromUtf8(kPythonImport), statementPath, theirs,
                      QString::fromUtf8(QJsonDocument(mapping).toJson(QJsonDocument::Compact))});
        python.waitForFinished(-1);
        const QStringList out =
            QString::fromUtf8(python.readAllStandardOutput()).split(QLatin1Char(' '));
        if (python.exitCode() != 0 || out.size() < 3) {
            std::fprintf(stderr, "python failed: %s\n", python.readAllStandardError().constData());
            return 1;
        }
        const double pythonMs = out.at(0).toDouble();
        report("import, duplicate check included", importMs, importMb, "<= Python, <= 200 MB",
               importMs <= pythonMs && importMb <= 200);
        std::printf("%-46s %9.0f ms %7.1f MB   (process peak; %lld entries)\n",
                    "  Python csv + sqlite3, same entries and keys", pythonMs,
                    out.at(1).toDouble() / 1024.0, out.at(2).trimmed().toLongLong());
        if (out.at(2).trimmed().toLongLong() != added)
            std::printf("  the entries differ: ours %lld\n", added);

        {
            const double before = statusMb("VmRSS:");
            resetPeak();
            QElapsedTimer timer;
            timer.start();
            ReadOptions options;
            const ParsedStatement statement = readWithRememberedAnswers(db, statementPath, options);
            const ImportedBatch again =
                importStatement(db, statementPath, statement, options, {}, QStringLiteral("bench"));
            const double ms = timer.nsecsElapsed() / 1e6;
            const double mb = statusMb("VmHWM:") - before;
            report("the same file again (all duplicates)", ms, mb, "<= 1 s, <= 200 MB",
                   ms <= 1000 && mb <= 200 && again.plan.counts.added() == 0);
        }
        {
            const double before = statusMb("VmRSS:");
            resetPeak();
            QElapsedTimer timer;
            timer.start();
            const BatchEntries entries = batchEntries(db, batch); // the question's count
            undoImportBatch(db, batch);
            const double ms = timer.nsecsElapsed() / 1e6;
            const double mb = statusMb("VmHWM:") - before;
            report("undo of the batch (count, then undo)", ms, mb, "<= 2 s, <= 200 MB",
                   ms <= 2000 && mb <= 200 && entries.entries == added);
        }
        {
            QElapsedTimer timer;
            timer.start();
            redoImportBatch(db, batch);
            std::printf("%-46s %9.0f ms\n", "  redo of the batch (no target)",
                        timer.nsecsElapsed() / 1e6);
        }
        std::printf("\nentries after redo: %lld (book %lld + %lld)\n",
                    countOf(db, QStringLiteral("select (select count(*) from srb) + (select "
                                               "count(*) from zcb)")),
                    2LL * kEntriesPerTable, added);
    } catch (const StoreError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
