#include "safety/copyfile.h"

#include "safety/safetysql.h"
#include "store/database.h"
#include "store/readerror.h"
#include "store/schema.h"
#include "store/statement.h"
#include "store/storeerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <sqlite3.h>

namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// A connection of its own to a copy file, straight to the engine.
class CopyConnection final
{
public:
    CopyConnection(const QString& path, int flags) : m_path(path)
    {
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr);
        if (m_db)
            sqlite3_extended_result_codes(m_db, 1);
        if (rc != SQLITE_OK)
            fail(rc);
    }
    ~CopyConnection() { sqlite3_close(m_db); }
    CopyConnection(const CopyConnection&) = delete;
    CopyConnection& operator=(const CopyConnection&) = delete;

    sqlite3* get() const { return m_db; }

    [[noreturn]] void fail(int rc) const
    {
        const int code = m_db ? sqlite3_extended_errcode(m_db) : rc;
        const QString engine = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc));
        // A damaged copy is told as such by the callers; a full or failing disk in plain words.
        throw StoreError(isDamagedBook(code) ? engine : storeMessage(code, engine, m_path), code);
    }

    // Every row of a statement, each value as the store reads them.
    QList<QVariantList> rows(const QString& sql, const QVariantList& values = {}) const
    {
        sqlite3_stmt* st = nullptr;
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(m_db, text.constData(), -1, &st, nullptr) != SQLITE_OK)
            fail(SQLITE_ERROR);
        const auto finish = qScopeGuard([st] { sqlite3_finalize(st); });
        for (int i = 0; i < values.size(); ++i) {
            const QVariant& v = values.at(i);
            int rc = SQLITE_OK;
            if (v.isNull())
                rc = sqlite3_bind_null(st, i + 1);
            else if (v.typeId() == QMetaType::QString) {
                const QByteArray bytes = v.toString().toUtf8();
                rc = sqlite3_bind_text(st, i + 1, bytes.constData(), int(bytes.size()),
                                       SQLITE_TRANSIENT);
            } else if (v.typeId() == QMetaType::Double)
                rc = sqlite3_bind_double(st, i + 1, v.toDouble());
            else
                rc = sqlite3_bind_int64(st, i + 1, v.toLongLong());
            if (rc != SQLITE_OK)
                fail(rc);
        }
        QList<QVariantList> result;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            QVariantList row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                switch (sqlite3_column_type(st, c)) {
                case SQLITE_NULL:
                    row << QVariant();
                    break;
                case SQLITE_INTEGER:
                    row << QVariant(qlonglong(sqlite3_column_int64(st, c)));
                    break;
                case SQLITE_FLOAT:
                    row << QVariant(sqlite3_column_double(st, c));
                    break;
                default:
                    row << QVariant(
                        QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                          sqlite3_column_bytes(st, c)));
                }
            }
            result << row;
        }
        if (rc != SQLITE_DONE)
            fail(rc);
        return result;
    }

    void exec(const QString& sql, const QVariantList& values = {}) const { rows(sql, values); }

    void close()
    {
        if (sqlite3_close(m_db) != SQLITE_OK)
            fail(SQLITE_BUSY);
        m_db = nullptr;
    }

private:
    QString m_path;
    sqlite3* m_db = nullptr;
};

// Tells progress now and then while a long statement runs; a stop interrupts it.
class Watch final
{
public:
    Watch(sqlite3* db, const Progress& progress) : m_db(db), m_progress(progress)
    {
        if (m_progress)
            sqlite3_progress_handler(m_db, 100000, &Watch::tick, this);
    }
    ~Watch() { sqlite3_progress_handler(m_db, 0, nullptr, nullptr); }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;
    bool stopped() const { return m_stopped; }

private:
    static int tick(void* data)
    {
        auto* w = static_cast<Watch*>(data);
        w->m_stopped = w->m_stopped || !w->m_progress(0, 0);
        return w->m_stopped ? 1 : 0;
    }
    sqlite3* m_db;
    const Progress& m_progress;
    bool m_stopped = false;
};

// Copies every page of source into destination, a number at a time; waits for
// another program's lock as long as a statement would.
void backupPages(sqlite3* destination, sqlite3* source, int busyTimeoutMs, const Progress& progress)
{
    sqlite3_backup* backup = sqlite3_backup_init(destination, "main", source, "main");
    if (!backup)
        throw StoreError(QString::fromUtf8(sqlite3_errmsg(destination)),
                         sqlite3_extended_errcode(destination));
    constexpr int kPagesPerStep = 1024;
    int rc = SQLITE_OK;
    int waited = 0;
    bool stopped = false;
    while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        rc = sqlite3_backup_step(backup, kPagesPerStep);
        if (rc == SQLITE_DONE)
            break;
        const int total = sqlite3_backup_pagecount(backup);
        if (progress && !progress(total - sqlite3_backup_remaining(backup), total)) {
            stopped = true;
            break;
        }
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            if (waited >= busyTimeoutMs)
                break;
            waited += sqlite3_sleep(20);
        }
    }
    // Unfinished, the destination's transaction rolls back here.
    const int finished = sqlite3_backup_finish(backup);
    if (stopped)
        throw Cancelled();
    if (rc != SQLITE_DONE)
        throw StoreError(QString::fromUtf8(sqlite3_errstr(rc)), rc);
    if (finished != SQLITE_OK)
        throw StoreError(QString::fromUtf8(sqlite3_errmsg(destination)),
                         sqlite3_extended_errcode(destination));
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
    CopyConnection copy(path, SQLITE_OPEN_READONLY);
    QStringList problems;
    for (const QVariantList& row : copy.rows(QStringLiteral("pragma quick_check(20)")))
        problems << row.value(0).toString();
    return problems.join(QLatin1Char('\n'));
}

void writeSummary(const QString& path)
{
    CopyConnection copy(path, SQLITE_OPEN_READWRITE);
    const QVariantList counts = copy.rows(summaryCountsSql()).value(0);
    copy.exec(QStringLiteral("begin"));
    copy.exec(dropSummarySql());
    copy.exec(createSummarySql());
    copy.exec(insertSummarySql(), counts);
    copy.exec(QStringLiteral("commit"));
    copy.close();
}

void settleCopy(const QString& path)
{
    if (QFileInfo(path + QStringLiteral("-journal")).size() == 0)
        return;
    {
        // Taking the read lock plays a hot journal back.
        CopyConnection copy(path, SQLITE_OPEN_READWRITE);
        try {
            copy.exec(QStringLiteral("select count(*) from sqlite_master"));
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
        CopyConnection copy(path, SQLITE_OPEN_READONLY);
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
    CopyConnection copy(path, SQLITE_OPEN_READONLY);
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
        CopyConnection copy(path, SQLITE_OPEN_READONLY);
        {
            const Watch watch(copy.get(), progress);
            try {
                for (const QVariantList& row :
                     copy.rows(QStringLiteral("pragma integrity_check(20)")))
                    problems << row.value(0).toString();
            } catch (const StoreError&) {
                if (watch.stopped())
                    throw Cancelled();
                throw;
            }
        }
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
        if ((e.code() & 0xff) == SQLITE_NOTADB)
            throw StoreError(refusal(path, QStringLiteral("所选文件不是本程序的数据库。")));
        if ((e.code() & 0xff) == SQLITE_CORRUPT)
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

void copyBookFile(const QString& source, const QString& target, const Progress& progress)
{
    CopyConnection from(source, SQLITE_OPEN_READONLY);
    const QString temporary = temporaryFileBeside(target);
    auto remove = qScopeGuard([&] {
        QFile::remove(temporary);
        QFile::remove(temporary + QStringLiteral("-journal"));
    });
    {
        CopyConnection to(temporary, SQLITE_OPEN_READWRITE);
        backupPages(to.get(), from.get(), Database::defaultBusyTimeoutMs, progress);
        to.close();
    }
    moveIntoPlace(temporary, target);
    remove.dismiss();
}

void prepareForRestore(const QString& path, qint64 generation)
{
    CopyConnection copy(path, SQLITE_OPEN_READWRITE);
    copy.exec(QStringLiteral("begin"));
    // A copy from an older version lacks tables this one adds.
    for (const AddedTable& table : addedTables())
        for (const QString& statement : table.statements)
            copy.exec(statement);
    copy.exec(emptyJournalSql());
    copy.exec(dropSummarySql());
    copy.exec(setGenerationSql(generation));
    copy.exec(QStringLiteral("commit"));
    copy.close();
}

void writeIntoBook(Database& book, const QString& source, const Progress& progress)
{
    if (book.inTransaction())
        throw StoreError(QStringLiteral("the book is in the middle of a change"));
    CopyConnection from(source, SQLITE_OPEN_READONLY);
    backupPages(book.handle(), from.get(), book.busyTimeoutMs(), progress);
}
