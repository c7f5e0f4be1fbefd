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
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int kRows = 100000;
constexpr int kRounds = 3;

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
// "milliseconds peakKB entries cpuMilliseconds".
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
print('%.1f %s %d %.1f' % (ms, peak, n, time.process_time() * 1000))
)";

void copyFile(const QString& from, const QString& to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to)) {
        std::fprintf(stderr, "cannot copy %s to %s\n", qPrintable(from), qPrintable(to));
        std::exit(1);
    }
}

// User and system time of this process so far, in milliseconds.
double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// One measured step: wall time, CPU time and the memory it took beyond what the
// process held before it.
struct Step
{
    double ms = 0;
    double cpu = 0;
    double mb = 0;
};

template <typename Work> Step measureStep(Work&& work)
{
    const double before = statusMb("VmRSS:");
    resetPeak();
    const double cpu = cpuMs();
    QElapsedTimer timer;
    timer.start();
    work();
    Step step;
    step.ms = timer.nsecsElapsed() / 1e6;
    step.cpu = cpuMs() - cpu;
    step.mb = statusMb("VmHWM:") - before;
    return step;
}

Step medianOf(const std::vector<Step>& steps)
{
    std::vector<double> ms, cpu, mb;
    for (const Step& s : steps) {
        ms.push_back(s.ms);
        cpu.push_back(s.cpu);
        mb.push_back(s.mb);
    }
    return {median(ms), median(cpu), *std::max_element(mb.begin(), mb.end())};
}

void report(const char* figure, const Step& step, const char* target, bool met)
{
    std::printf("%-40s %8.0f ms %8.0f ms %7.1f MB   %-22s %s\n", figure, step.ms, step.cpu, step.mb,
                target, met ? "met" : "MISSED");
}

ImportedBatch importFile(Database& db, const QString& path)
{
    ReadOptions options;
    const ParsedStatement statement = readWithRememberedAnswers(db, path, options);
    return importStatement(db, path, statement, options, {}, QStringLiteral("bench"));
}

// Python's import into a fresh copy; its own figures.
Step pythonImport(const QString& statementPath, const QString& book, const QJsonObject& mapping,
                  qint64 expected)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(kPythonImport), statementPath, book,
                  QString::fromUtf8(QJsonDocument(mapping).toJson(QJsonDocument::Compact))});
    python.waitForFinished(-1);
    const QStringList out =
        QString::fromUtf8(python.readAllStandardOutput()).trimmed().split(QLatin1Char(' '));
    if (python.exitCode() != 0 || out.size() < 4) {
        std::fprintf(stderr, "python failed: %s\n", python.readAllStandardError().constData());
        std::exit(1);
    }
    if (out.at(2).toLongLong() != expected)
        std::printf("  the entries differ: Python %lld, ours %lld\n", out.at(2).toLongLong(),
                    expected);
    return {out.at(0).toDouble(), out.at(3).toDouble(), out.at(1).toDouble() / 1024.0};
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
    const QString prepared = work.filePath(QStringLiteral("prepared.mdb"));
    const QString ours = work.filePath(QStringLiteral("ours.mdb"));
    const QString theirs = work.filePath(QStringLiteral("python.mdb"));
    const QString statementPath = work.filePath(QStringLiteral("alipay-2025.csv"));
    copyFile(source, prepared);
    {
        // Opening it writable gives it the import tables; each copy is then identical.
        Database prepare(QStringLiteral("prepare"), prepared);
        prepare.ensureOpen();
    }
    writeStatement(statementPath);
    std::printf("statement: %d rows, %.1f MB; book: %.0f MB; medians of %d rounds, the import "
                "and Python's alternating on fresh copies\n",
                kRows, QFileInfo(statementPath).size() / 1048576.0,
                QFileInfo(prepared).size() / 1048576.0, kRounds);

    try {
        // The import against Python's, each round on fresh identical copies.
        std::vector<Step> oursSteps;
        std::vector<Step> pythonSteps;
        QJsonObject mapping;
        qint64 added = 0;
        QString summary;
        for (int round = 0; round < kRounds; ++round) {
            copyFile(prepared, ours);
            copyFile(prepared, theirs);
            const auto runOurs = [&] {
                Database db(QStringLiteral("bench%1").arg(round), ours);
                db.ensureOpen();
                ImportedBatch imported;
                ParsedStatement statement;
                oursSteps.push_back(measureStep([&] {
                    ReadOptions options;
                    statement = readWithRememberedAnswers(db, statementPath, options);
                    imported = importStatement(db, statementPath, statement, options, {},
                                               QStringLiteral("bench"));
                }));
                added = imported.plan.counts.added();
                summary = summaryText(imported.plan);
                if (!mapping.isEmpty())
                    return;
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
            };
            if (round % 2 == 0 || mapping.isEmpty()) {
                runOurs();
                pythonSteps.push_back(pythonImport(statementPath, theirs, mapping, added));
            } else {
                pythonSteps.push_back(pythonImport(statementPath, theirs, mapping, added));
                runOurs();
            }
        }
        QFile::remove(theirs);
        std::printf("import: %s\n\n", qPrintable(summary));
        std::printf("%-40s %11s %11s %10s   %-22s\n", "figure (median)", "time", "CPU", "memory",
                    "target");
        const Step oursImport = medianOf(oursSteps);
        const Step python = medianOf(pythonSteps);
        report("import, duplicate check included", oursImport, "<= Python, <= 200 MB",
               oursImport.ms <= python.ms && oursImport.mb <= 200);
        std::printf("%-40s %8.0f ms %8.0f ms %7.1f MB   (process peak)\n",
                    "  Python csv + sqlite3, same rows", python.ms, python.cpu, python.mb);

        // The last round's book: the same file again, then the batch undone and
        // redone, each step repeated.
        Database db(QStringLiteral("bench"), ours);
        db.ensureOpen();
        std::vector<Step> again;
        for (int round = 0; round < kRounds; ++round)
            again.push_back(measureStep([&] {
                if (importFile(db, statementPath).plan.counts.added() != 0)
                    std::printf("  the same file again added entries\n");
            }));
        const Step reimport = medianOf(again);
        report("the same file again (all duplicates)", reimport, "<= 1 s, <= 200 MB",
               reimport.ms <= 1000 && reimport.mb <= 200);

        const qint64 batch = listBatches(db).constFirst().id;
        std::vector<Step> undos;
        std::vector<Step> redos;
        for (int round = 0; round < kRounds; ++round) {
            undos.push_back(measureStep([&] {
                const BatchEntries entries = batchEntries(db, batch); // the question's count
                undoImportBatch(db, batch);
                if (entries.entries != added)
                    std::printf("  the undo counted %lld entries\n", entries.entries);
            }));
            redos.push_back(measureStep([&] { redoImportBatch(db, batch); }));
        }
        const Step undo = medianOf(undos);
        report("undo of the batch (count, then undo)", undo, "<= 2 s, <= 200 MB",
               undo.ms <= 2000 && undo.mb <= 200);
        const Step redo = medianOf(redos);
        std::printf("%-40s %8.0f ms %8.0f ms %7.1f MB\n", "  redo of the batch (no target)",
                    redo.ms, redo.cpu, redo.mb);
        Statement count(db, QStringLiteral("select (select count(*) from srb) + (select "
                                           "count(*) from zcb)"));
        count.step();
        std::printf("\nentries after the last redo: %lld (book %lld + %lld)\n",
                    count.value(0).toLongLong(), 2LL * kEntriesPerTable, added);
    } catch (const StoreError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
