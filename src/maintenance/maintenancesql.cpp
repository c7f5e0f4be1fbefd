#include "maintenance/maintenancesql.h"

#include "store/numbers.h"
#include "store/schema.h"
#include "store/sqltext.h"

#include <QDir>

namespace {

QString quoted(const QString& value)
{
    return QLatin1Char('\'') + sqlEscape(value) + QLatin1Char('\'');
}

QString categoryDetails(const CategoryItem& item)
{
    return QStringLiteral("收支类型：") + kindLetter(item.kind) + QStringLiteral("\n类别代码：") +
           item.code + QStringLiteral("\n类别名称：") + item.name;
}

} // namespace

QString categoryCountSql(EntryKind kind, const QString& code)
{
    return QStringLiteral("select count(*) from bmb where sz=") + quoted(kindLetter(kind)) +
           QStringLiteral(" and lb=") + quoted(code);
}

QString insertCategorySql(EntryKind kind, const QString& code, const QString& name)
{
    return QStringLiteral("insert into bmb(sz,lb,bmmc) values(") + quoted(kindLetter(kind)) +
           QLatin1Char(',') + quoted(code) + QLatin1Char(',') + quoted(name) + QLatin1Char(')');
}

QString categoryUseSql(EntryKind kind, const QString& code)
{
    return QStringLiteral("select count(*) from ") + entryTable(kind) + QStringLiteral(" where ") +
           columnPrefix(kind) + QStringLiteral("lb=") + quoted(code);
}

QString deleteCategorySql(EntryKind kind, const QString& code)
{
    return QStringLiteral("delete from bmb where sz=") + quoted(kindLetter(kind)) +
           QStringLiteral(" and lb=") + quoted(code);
}

QString categoryLine(const QString& kind, const QString& code, const QString& name,
                     CategoryLayout layout)
{
    const QString gap(6, QLatin1Char(' '));
    const QString afterKind(layout == CategoryLayout::Added ? 4 : 6, QLatin1Char(' '));
    return kind + afterKind + code + gap + name;
}

QString trimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

CategoryItem readCategoryLine(const QString& line)
{
    // Fixed columns: 1-5 kind, 6-11 code, 12 on name; both layouts fit them.
    return {kindOfLetter(trimBlanks(line.mid(0, 5))).value_or(EntryKind::Income),
            trimBlanks(line.mid(5, 6)), trimBlanks(line.mid(11))};
}

QString categoryAddedMessage(const CategoryItem& item)
{
    return QStringLiteral("增加记录成功！\n") + categoryDetails(item);
}

QString categoryInUseMessage(const CategoryItem& item)
{
    const QString last =
        QStringLiteral("请先删除相应") + kindWord(item.kind) + QStringLiteral("记录后再试");
    return QStringLiteral("不能删除该类别,因为数据库中有该类型记录！\n") + categoryDetails(item) +
           QLatin1Char('\n') + last;
}

QString categoryRemovedMessage(const CategoryItem& item)
{
    return QStringLiteral("记录删除成功！\n") + categoryDetails(item);
}

QString userListSql()
{
    return QStringLiteral("select * from login1");
}

QString userCountSql(const QString& name)
{
    return QStringLiteral("select count(*) from login1 where user1=") + quoted(name);
}

QString insertUserSql(const QString& name, const QString& password, const QString& rights)
{
    return QStringLiteral("insert into login1(user1,pwd1,priv1) values(") + quoted(name) +
           QLatin1Char(',') + quoted(password) + QLatin1Char(',') + quoted(rights) +
           QLatin1Char(')');
}

QString deleteUserSql(const QString& name)
{
    return QStringLiteral("delete from login1 where user1=") + quoted(name);
}

QString updatePasswordSql(const QString& name, const QString& password)
{
    return QStringLiteral("update login1 set pwd1=") + quoted(password) +
           QStringLiteral(" where user1=") + quoted(name);
}

QString rightsString(bool book, bool analysis, bool maintenance)
{
    QString rights;
    for (const bool granted : {book, analysis, maintenance})
        rights += granted ? QLatin1Char('1') : QLatin1Char('0');
    return rights;
}

QString userAddedMessage(const QString& name, const QString& password)
{
    return QStringLiteral("用户增加成功\n用户名：") + name + QStringLiteral("\n密  码：") +
           password;
}

QString userDeletedMessage(const QString& name)
{
    return QStringLiteral("删除用户") + name + QStringLiteral("成功！");
}

const QList<InitialisationStep>& initialisationSteps()
{
    static const QList<InitialisationStep> steps = {
        {QStringLiteral("delete from srb"), QStringLiteral("系统初始化失败！清除收入信息出错！")},
        {QStringLiteral("delete from zcb"), QStringLiteral("系统初始化失败！清除支出信息时出错！")},
        {QStringLiteral("delete from bmb"),
         QStringLiteral("系统初始化失败！清除类别编码信息时出错！")},
        {QStringLiteral("delete from login1"),
         QStringLiteral("系统初始化失败！清除登录用户信息时出错！")},
        {QStringLiteral("insert into login1(user1,pwd1,priv1) values('admin','tovek','111')"),
         QStringLiteral("系统初始化失败！插入初始用户信息时出错！")},
    };
    return steps;
}

QString emptyTableSql(const QString& table)
{
    return QStringLiteral("delete from ") + table;
}

QList<InitialisationStep> resetSteps()
{
    QList<InitialisationStep> steps = initialisationSteps();
    for (const AddedTable& table : addedTables())
        if (table.emptiedByReset)
            steps.append({emptyTableSql(table.name), resetFailedMessage()});
    return steps;
}

QString resetFailedMessage()
{
    return QStringLiteral("系统初始化失败！数据库保持原样。");
}

QString compactSql()
{
    return QStringLiteral("vacuum");
}

QString compactionDoneMessage(qint64 before, qint64 after)
{
    return QStringLiteral("数据库压缩完成！\n压缩前：") + fileSizeText(before) +
           QStringLiteral("\n压缩后：") + fileSizeText(after);
}

QString compactionFailedMessage(const QString& reason)
{
    return QStringLiteral("数据库压缩失败！数据库保持原样。\n原因：") + reason;
}

QString safetyCopyFailedMessage(const QString& action, const QString& path, const QString& reason)
{
    return action + QStringLiteral("未进行：无法写入数据库的安全副本！\n文件：") +
           QDir::toNativeSeparators(path) + QStringLiteral("\n原因：") + reason;
}
