#include "safety/copyfile.h"

#include "safety/safetysql.h"
#include "store/database.h"
#include "store/fileconnection.h"
#include "store/readerror.h"
#include "store/schema.h"
#include "store/statement.h"
#include "store/storeerror.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// The columns a book of this program has in each of its four tables.
const QList<QPair<QString, QStringList>>& bookColumns()
{
    static const QList<QPair<QString, QStringList>> columns = {
        {QStringLiteral("srb"),
         {QStringLiteral("uid"), QStringLiteral("srrq"), QStringLiteral("srlb"),
          QStringLiteral("srmc"), QStringLiteral("srje"), QStringLiteral("srsm"),
          QStringLiteral("srsq")}},
        {QStringLiteral("zcb"),
         {QStringLiteral("uid"), QStringLiteral("zcrq"), QStringLiteral("zclb"),
          QStringLiteral("zcmc"), QStringLiteral("zcje"), QStringLiteral("zcsm"),
          QStringLiteral("zcsq")}},
        {QStringLiteral("bmb"),
         {QStringLiteral("sz"), QStringLiteral("lb"), QStringLiteral("bmmc")}},
        {QStringLiteral("login1"),
         {QStringLiteral("user1"), QStringLiteral("pwd1"), QStringLiteral("priv1")}},
    };
    return columns;
}

// Triggers and views this version creates itself (none so far), by lower-case name.
QSet<QString> knownTriggersAndViews()
{
    static const QRegularExpression created(
        QStringLiteral("^\\s*create\\s+(?:trigger|view)\\s+(?:if\\s+not\\s+exists\\s+)?(\\w+)"),
        QRegularExpression::CaseInsensitiveOption);
    QSet<QString> names;
    for (const AddedTable& table : addedTables())
        for (const QString& statement : table.statements) {
            const QRegularExpressionMatch m = created.match(statement);
            if (m.hasMatch())
                names.insert(m.captured(1).toLower());
        }
    return names;
}

QString refusal(const QString& path, const QString& reason)
{
    return QStringLiteral("恢复未进行：") + reason + QStringLiteral("\n文件：") + shown(path);
}

} // namespace

QString quickCheckFile(const QString& path)
{
    FileConnection copy(path, FileConnection::Access::ReadOnly);
    QStringList problems;
    for (const QVariantList& row : copy.rows(QStringLiteral("pragma quick_check(20)")))
        problems << row.value(0).toString();
    return problems.join(QLatin1Char('\n'));
}

void writeSummary(const QString& path)
{
    FileConnection copy(path, FileConnection::Access::ReadWrite);
    const QVariantList counts = copy.rows(summaryCountsSql()).value(0);
    copy.execute(QStringLiteral("begin"));
    copy.execute(dropSummarySql());
    copy.execute(createSummarySql());
    copy.execute(insertSummarySql(), counts);
    copy.execute(QStringLiteral("commit"));
    copy.close();
}

void settleCopy(const QString& path)
{
    if (QFileInfo(path + QStringLiteral("-journal")).size() == 0)
        return;
    {
        // Taking the read lock plays a hot journal back.
        FileConnection copy(path, FileConnection::Access::ReadWrite);
        try {
            copy.execute(QStringLiteral("select count(*) from sqlite_master"));
        } catch (const StoreError&) {
        }
    }
    if (QFileInfo(path + QStringLiteral("-journal")).size() > 0)
        throw StoreError(QStringLiteral("副本的日志文件无法回滚：") +
                         QDir::toNativeSeparators(path + QStringLiteral("-journal")));
}

std::optional<CopySummary> readSummary(const QString& path)
{
    try {
        FileConnection copy(path, FileConnection::Access::ReadOnly);
        const QList<QVariantList> rows = copy.rows(readSummarySql());
        if (rows.isEmpty())
            return std::nullopt;
        const QVariantList& row = rows.constFirst();
        return CopySummary{row.value(0).toLongLong(), row.value(1).toLongLong(),
                           row.value(2).toString()};
    } catch (const StoreError&) {
        return std::nullopt;
    }
}

qint64 bookGeneration(Database& book)
{
    Statement generation(book, generationSql());
    return generation.step() ? generation.value(0).toLongLong() : 0;
}

qint64 fileGeneration(const QString& path)
{
    FileConnection copy(path, FileConnection::Access::ReadOnly);
    return copy.rows(generationSql()).value(0).value(0).toLongLong();
}

void checkRestorable(const QString& path, const Progress& progress)
{
    if (!QFileInfo(path).isFile())
        throw StoreError(refusal(path, QStringLiteral("找不到所选的备份。")));
    QStringList problems;
    QStringList tables;
    QStringList foreign;
    try {
        FileConnection copy(path, FileConnection::Access::ReadOnly);
        for (const QVariantList& row :
             copy.rows(QStringLiteral("pragma integrity_check(20)"), {}, progress))
            problems << row.value(0).toString();
        for (const QVariantList& row : copy.rows(tableNamesSql()))
            tables << row.value(0).toString().toLower();
        for (const auto& [table, columns] : bookColumns()) {
            if (!tables.contains(table))
                continue;
            QStringList present;
            for (const QVariantList& row : copy.rows(tableColumnsSql(), {table}))
                present << row.value(0).toString().toLower();
            for (const QString& column : columns)
                if (!present.contains(column))
                    tables.removeAll(table);
        }
        const QSet<QString> known = knownTriggersAndViews();
        for (const QVariantList& row : copy.rows(triggersAndViewsSql()))
            if (!known.contains(row.value(1).toString().toLower()))
                foreign << row.value(1).toString();
    } catch (const StoreError& e) {
        if (isForeignFile(e.code()))
            throw StoreError(refusal(path, QStringLiteral("所选文件不是本程序的数据库。")));
        if (isCorruptFile(e.code()))
            throw StoreError(refusal(path, QStringLiteral("所选备份已损坏。")) +
                                 QStringLiteral("\n检查结果：") + e.message(),
                             e.code());
        throw StoreError(refusal(path, QStringLiteral("所选备份无法读取，可能已损坏。")) +
                             QStringLiteral("\n原因：") + e.message(),
                         e.code());
    }
    if (problems != QStringList{QStringLiteral("ok")})
        throw StoreError(refusal(path, QStringLiteral("所选备份已损坏。")) +
                         QStringLiteral("\n检查结果：") + problems.join(QLatin1Char('\n')));
    for (const auto& [table, columns] : bookColumns())
        if (!tables.contains(table))
            throw StoreError(refusal(path, QStringLiteral("所选文件不是本程序的数据库。")));
    if (!foreign.isEmpty())
        throw StoreError(
            refusal(path, QStringLiteral("所选备份含有本程序没有创建的触发器或视图（") +
                              foreign.join(QStringLiteral("、")) + QStringLiteral("）。")));
}

void prepareForRestore(const QString& path, qint64 generation)
{
    FileConnection copy(path, FileConnection::Access::ReadWrite);
    copy.execute(QStringLiteral("begin"));
    // A copy from an older version lacks tables this one adds.
    for (const AddedTable& table : addedTables())
        for (const QString& statement : table.statements)
            copy.execute(statement);
    copy.execute(emptyJournalSql());
    copy.execute(dropSummarySql());
    copy.execute(setGenerationSql(generation));
    copy.execute(QStringLiteral("commit"));
    copy.close();
}
