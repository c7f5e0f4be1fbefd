#include "book/booksql.h"

#include "store/numbers.h"
#include "store/sqltext.h"

QString insertEntrySql(EntryKind kind, const QDate& date, const QString& code, const QString& name,
                       const QString& amountText, const QString& remark)
{
    const QString head =
        kind == EntryKind::Income
            ? QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) values(#")
            : QStringLiteral("insert into zcb(zcrq,zclb,zcmc,zcje,zcsm,zcsq) values(#");
    return head + dateText(date) + QStringLiteral("#,") + QLatin1Char('\'') + sqlEscape(code) +
           QLatin1Char('\'') + QLatin1Char(',') + QLatin1Char('\'') + sqlEscape(name) +
           QLatin1Char('\'') + QLatin1Char(',') + amountText + QLatin1Char(',') +
           QLatin1Char('\'') + sqlEscape(remark) + QLatin1Char('\'') + QStringLiteral(",'") +
           sqlEscape(periodKey(date)) + QStringLiteral("')");
}

QString updateEntrySql(EntryKind kind, qint64 uid, const QDate& date, const QString& code,
                       const QString& name, const QString& amountText, const QString& remark)
{
    const QString p = columnPrefix(kind);
    auto text = [](const QString& value) {
        return QLatin1Char('\'') + sqlEscape(value) + QLatin1Char('\'');
    };
    return QStringLiteral("update ") + entryTable(kind) + QStringLiteral(" set ") + p +
           QStringLiteral("rq=#") + dateText(date) + QStringLiteral("#,") + p +
           QStringLiteral("lb=") + text(code) + QLatin1Char(',') + p + QStringLiteral("mc=") +
           text(name) + QLatin1Char(',') + p + QStringLiteral("je=") + amountText +
           QLatin1Char(',') + p + QStringLiteral("sm=") + text(remark) + QLatin1Char(',') + p +
           QStringLiteral("sq=") + text(periodKey(date)) + QStringLiteral(" where uid=") +
           QString::number(uid);
}

QString searchConditions(EntryKind kind, const QDate& from, const QDate& to, const QString& code,
                         const QString& amountText)
{
    const QString p = columnPrefix(kind);
    QString text = p + QStringLiteral("rq between #") + dateText(from) + QStringLiteral("# and #") +
                   dateText(to) + QLatin1Char('#');
    if (!code.isEmpty())
        text += QStringLiteral(" and ") + p + QStringLiteral("lb='") + sqlEscape(code) +
                QLatin1Char('\'');
    if (!amountText.isEmpty())
        text += QStringLiteral(" and ") + p + QStringLiteral("je=") + amountText;
    return text;
}

QString remarkLikePattern(const QString& text)
{
    QString pattern;
    pattern.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            pattern += QLatin1Char('\\');
        pattern += c;
    }
    return sqlEscape(pattern);
}

QString remarkConditionSql(EntryKind kind, const QString& text)
{
    if (text.isEmpty())
        return QString();
    return QStringLiteral(" and ") + columnPrefix(kind) + QStringLiteral("sm like '%") +
           remarkLikePattern(text) + QStringLiteral("%' escape '\\'");
}

QString searchConditions(EntryKind kind, const QDate& from, const QDate& to, const QString& code,
                         const QString& amountText, const QString& remark)
{
    return searchConditions(kind, from, to, code, amountText) + remarkConditionSql(kind, remark);
}

QString totalsSql(EntryKind kind, const QString& conditions)
{
    const QString p = columnPrefix(kind);
    return QStringLiteral("select count(*),sum(") + p + QStringLiteral("je) from ") +
           entryTable(kind) + QStringLiteral(" where ") + conditions;
}

QString listingSql(EntryKind kind, const QString& conditions)
{
    return QStringLiteral("select * from ") + entryTable(kind) + QStringLiteral(" where ") +
           conditions + QStringLiteral(" order by ") + columnPrefix(kind) +
           QStringLiteral("rq desc");
}

QString deleteEntrySql(EntryKind kind, qint64 uid)
{
    return QStringLiteral("delete from ") + entryTable(kind) + QStringLiteral(" where uid=") +
           QString::number(uid);
}

QStringList listingCaptions(EntryKind kind)
{
    if (kind == EntryKind::Income)
        return {QStringLiteral("收入编号"), QStringLiteral("收入日期"), QStringLiteral("收入类别"),
                QStringLiteral("收入名称"), QStringLiteral("收入金额"), QStringLiteral("收入说明"),
                QStringLiteral("所属时期")};
    return {QStringLiteral("支出编号"), QStringLiteral("支出日期"), QStringLiteral("支出类别"),
            QStringLiteral("支出名称"), QStringLiteral("支出金额"), QStringLiteral("支出说明"),
            QStringLiteral("所属时期")};
}
