#include "safety/entryjournal.h"

#include "safety/safetysql.h"
#include "store/database.h"
#include "store/statement.h"
#include "store/storeerror.h"

#include <QJsonValue>

namespace {

// The entry's columns after uid, in table order, as the journal names them.
const QStringList& valueKeys()
{
    static const QStringList keys = {QStringLiteral("rq"), QStringLiteral("lb"),
                                     QStringLiteral("mc"), QStringLiteral("je"),
                                     QStringLiteral("sm"), QStringLiteral("sq")};
    return keys;
}

// The row numbered uid with its values; empty when there is none.
QJsonObject readEntry(Database& database, EntryKind kind, qint64 uid)
{
    Statement row(database, readEntrySql(kind), {uid});
    QJsonObject entry;
    if (!row.step())
        return entry;
    entry.insert(QStringLiteral("uid"), uid);
    for (int i = 0; i < valueKeys().size(); ++i) {
        const QVariant value = row.value(i + 1);
        entry.insert(valueKeys().at(i), value.isNull() ? QJsonValue(QJsonValue::Null)
                                                       : QJsonValue::fromVariant(value));
    }
    return entry;
}

QVariantList boundValues(const QJsonObject& entry)
{
    QVariantList values;
    for (const QString& key : valueKeys()) {
        const QJsonValue value = entry.value(key);
        values << (value.isNull() || value.isUndefined() ? QVariant() : value.toVariant());
    }
    return values;
}

qint64 uidOf(const QJsonObject& entry)
{
    return entry.value(QStringLiteral("uid")).toInteger();
}

EntryKind kindOf(const JournalAction& action)
{
    return kindOfLetter(action.data.value(QStringLiteral("kind")).toString())
        .value_or(EntryKind::Income);
}

// Whether the book holds the entry exactly so (an empty entry: no row of its number).
bool holds(Database& database, EntryKind kind, qint64 uid, const QJsonObject& entry)
{
    return readEntry(database, kind, uid) == entry;
}

bool insertEntry(Database& database, EntryKind kind, const QJsonObject& entry)
{
    const qint64 uid = uidOf(entry);
    if (!holds(database, kind, uid, {}))
        return false;
    database.execute(insertNumberedEntrySql(kind), QVariantList{uid} + boundValues(entry));
    return true;
}

bool removeEntry(Database& database, EntryKind kind, const QJsonObject& entry)
{
    const qint64 uid = uidOf(entry);
    if (!holds(database, kind, uid, entry))
        return false;
    database.execute(deleteNumberedEntrySql(kind), {uid});
    return true;
}

bool replaceEntry(Database& database, EntryKind kind, const QJsonObject& from,
                  const QJsonObject& to)
{
    const qint64 uid = uidOf(from);
    if (!holds(database, kind, uid, from))
        return false;
    database.execute(updateNumberedEntrySql(kind), boundValues(to) + QVariantList{uid});
    return true;
}

JournalAction entryAction(const QString& type, const QString& verb, EntryKind kind,
                          const QJsonObject& shown, QJsonObject data)
{
    data.insert(QStringLiteral("kind"), kindLetter(kind));
    return {type, entryActionText(verb, kind, shown), data, {kind}};
}

QJsonValue entryOf(const JournalAction& action)
{
    return action.data.value(QStringLiteral("entry"));
}

} // namespace

QString entryActionText(const QString& verb, EntryKind kind, const QJsonObject& entry)
{
    const QJsonValue amount = entry.value(QStringLiteral("je"));
    return verb + kindWord(kind) + QStringLiteral("编号 ") + QString::number(uidOf(entry)) +
           QStringLiteral("（") + entry.value(QStringLiteral("rq")).toString() + QLatin1Char(' ') +
           entry.value(QStringLiteral("mc")).toString() + QLatin1Char(' ') +
           (amount.isDouble() ? QString::number(amount.toDouble(), 'f', 2) : amount.toString()) +
           QStringLiteral("）");
}

JournalAction entrySaved(Database& database, EntryKind kind, qint64 uid)
{
    const QJsonObject entry = readEntry(database, kind, uid);
    if (entry.isEmpty())
        throw StoreError(QStringLiteral("the saved entry %1 cannot be read back").arg(uid));
    return entryAction(QStringLiteral("save"), QStringLiteral("保存"), kind, entry,
                       {{QStringLiteral("entry"), entry}});
}

EntrySnapshot::EntrySnapshot(Database& database, EntryKind kind, qint64 uid)
    : m_kind(kind), m_uid(uid), m_values(readEntry(database, kind, uid))
{}

JournalAction EntrySnapshot::corrected(Database& database) const
{
    const QJsonObject after = readEntry(database, m_kind, m_uid);
    if (!exists() || after.isEmpty())
        throw StoreError(QStringLiteral("the corrected entry %1 cannot be read").arg(m_uid));
    return entryAction(QStringLiteral("correct"), QStringLiteral("修改"), m_kind, after,
                       {{QStringLiteral("before"), m_values}, {QStringLiteral("after"), after}});
}

JournalAction EntrySnapshot::deleted() const
{
    if (!exists())
        throw StoreError(QStringLiteral("there is no entry %1 to delete").arg(m_uid));
    return entryAction(QStringLiteral("delete"), QStringLiteral("删除"), m_kind, m_values,
                       {{QStringLiteral("entry"), m_values}});
}

QList<EntryJournalType> entryJournalTypes()
{
    auto entry = [](const JournalAction& a) {
        return entryOf(a).toObject();
    };
    auto before = [](const JournalAction& a) {
        return a.data.value(QStringLiteral("before")).toObject();
    };
    auto after = [](const JournalAction& a) {
        return a.data.value(QStringLiteral("after")).toObject();
    };
    return {
        {QStringLiteral("save"),
         [=](Database& db, const JournalAction& a) { return removeEntry(db, kindOf(a), entry(a)); },
         [=](Database& db, const JournalAction& a) {
             return insertEntry(db, kindOf(a), entry(a));
         }},
        {QStringLiteral("delete"),
         [=](Database& db, const JournalAction& a) { return insertEntry(db, kindOf(a), entry(a)); },
         [=](Database& db, const JournalAction& a) {
             return removeEntry(db, kindOf(a), entry(a));
         }},
        {QStringLiteral("correct"),
         [=](Database& db, const JournalAction& a) {
             return replaceEntry(db, kindOf(a), after(a), before(a));
         },
         [=](Database& db, const JournalAction& a) {
             return replaceEntry(db, kindOf(a), before(a), after(a));
         }},
    };
}
