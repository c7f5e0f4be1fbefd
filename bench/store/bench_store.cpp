// Figures of the store itself, on books of its own in a temporary folder:
// - the exact sum over a million amounts against the engine's float total,
//   with the time each takes;
// - 1,000 entries stored one statement at a time against the same in one
//   transaction.
//
//   bench_store

#include "benchsupport.h"
#include "store/context.h"
#include "store/database.h"
#include "store/query.h"
#include "store/storeerror.h"
#include "store/transaction.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>

namespace {

QVariant firstValue(Database& db, const QString& sql)
{
    Query query(db, sql);
    query.open();
    return query.field(0);
}

void exactSum(const QString& path)
{
    constexpr qint64 rows = 1000000;
    QuietMessages messages(true);
    Context context(path, messages);
    Database& db = context.database();
    db.execute(QStringLiteral("pragma cache_size=-262144"));
    db.execute(QStringLiteral(
        "insert into srb(srrq,srlb,srmc,srje,srsm,srsq) select '2005-01-01','01','工资',"
        "((i*7919) % 4999999)/100.0,'','200501' from (with recursive c(i) as (select 1 union "
        "all select i+1 from c where i<1000000) select i from c)"));
    qint64 cents = 0;
    for (qint64 i = 1; i <= rows; ++i)
        cents += (i * 7919) % 4999999;
    const double exact = static_cast<double>(cents) / 100.0;
    double sum = 0;
    double total = 0;
    const double sumMs =
        msOf([&] { sum = firstValue(db, QStringLiteral("select sum(srje) from srb")).toDouble(); });
    const double totalMs = msOf(
        [&] { total = firstValue(db, QStringLiteral("select total(srje) from srb")).toDouble(); });
    // Six decimals show what the number text's fifteen digits would round away.
    std::printf("%-40s %22s %10s\n", "sum of 1,000,000 amounts", "value", "ms");
    std::printf("%-40s %22.6f\n", "exact, in whole cents", exact);
    std::printf("%-40s %22.6f %10.1f  %s\n", "the program's sum()", sum, sumMs,
                sum == exact ? "exact" : "MISSED: not exact");
    std::printf("%-40s %22.6f %10.1f  %s\n", "the engine's float total()", total, totalMs,
                total == exact ? "(exact by chance)" : "(drifts)");
}

void transactions(const QString& path)
{
    QuietMessages messages(true);
    Context context(path, messages);
    Database& db = context.database();
    const QString insert = QStringLiteral(
        "insert into zcb(zcrq,zclb,zcmc,zcje,zcsm,zcsq) values(?,'01','餐饮',?,'午饭','200501')");
    const double alone = msOf([&] {
        for (int i = 0; i < 1000; ++i)
            db.execute(insert, {QStringLiteral("2005-01-01"), i / 100.0});
    });
    const double together = msOf([&] {
        Transaction transaction(db);
        for (int i = 0; i < 1000; ++i)
            db.execute(insert, {QStringLiteral("2005-01-02"), i / 100.0});
        transaction.commit();
    });
    std::printf("\n%-44s %10s\n", "1,000 entries stored", "ms");
    std::printf("%-44s %10.1f\n", "one statement at a time", alone);
    std::printf("%-44s %10.1f\n", "in one transaction", together);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    try {
        const QString sums = folder.filePath(QStringLiteral("sums.mdb"));
        createDatabase(sums);
        exactSum(sums);
        const QString writes = folder.filePath(QStringLiteral("writes.mdb"));
        createDatabase(writes);
        transactions(writes);
    } catch (const StoreError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
