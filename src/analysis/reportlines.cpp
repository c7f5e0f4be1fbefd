#include "analysis/reportlines.h"

#include "store/numbers.h"

using analysissql::Period;

namespace reportlines {

namespace {

QString title(Period period)
{
    return period == Period::Annual ? QStringLiteral("年度收支情况报告表")
                                    : QStringLiteral("月度收支情况报告表");
}

QString totalLine(Period period, const QString& p, const QString& caption, double total)
{
    QString line = QStringLiteral("------") + p;
    if (period == Period::Annual)
        line += QStringLiteral("0101--") + p + QStringLiteral("1231");
    return line + caption + numberText(total) + QStringLiteral("元");
}

const QString& rule()
{
    static const QString text(40, QLatin1Char('*'));
    return text;
}

} // namespace

QString fileName(Period period, const QString& periodText)
{
    return periodText + title(period) + QStringLiteral(".txt");
}

QString periodCheckMessage(Period period)
{
    return period == Period::Annual ? QStringLiteral("请输入四位数的年度，如2005")
                                    : QStringLiteral("请输入六位长的月份，如200511");
}

bool periodTextValid(Period period, const QString& periodText)
{
    return periodText.size() == (period == Period::Annual ? 4 : 6);
}

QString doneMessage(Period period, const QString& periodText)
{
    return doneMessage(period, periodText, fileName(period, periodText));
}

QString doneMessage(Period period, const QString& periodText, const QString& fileName)
{
    return periodText +
           (period == Period::Annual ? QStringLiteral("年度报表导出完毕，文件名：")
                                     : QStringLiteral("月度报表导出完毕，文件名：")) +
           fileName;
}

QString categoryLine(const ReportCategory& row, double kindTotal)
{
    QString line = QStringLiteral("---") + row.code + QStringLiteral("----") + row.name +
                   QStringLiteral("----") + numberText(row.sum);
    if (kindTotal > 0)
        line +=
            QStringLiteral("----") + numberText(row.sum / kindTotal * 100) + QStringLiteral("%");
    else
        line += QStringLiteral("----0.00%");
    return line;
}

QStringList lines(Period period, const QString& periodText, const ReportFigures& figures,
                  const QDateTime& created)
{
    const QString& p = periodText;
    QStringList out;
    out << QStringLiteral("*****") + p + title(period) + QStringLiteral("*****") << QString();

    out << QStringLiteral("收入代码-收入名称-收入金额-占总收入比例----------");
    for (const ReportCategory& row : figures.incomeRows)
        out << categoryLine(row, figures.income);
    out << QString() << totalLine(period, p, QStringLiteral("收入合计："), figures.income)
        << QString() << QString();

    out << QStringLiteral("支出代码-支出名称-支出金额-占总支出比例----------");
    for (const ReportCategory& row : figures.expenseRows)
        out << categoryLine(row, figures.expense);
    out << QString() << totalLine(period, p, QStringLiteral("支出合计："), figures.expense)
        << QString() << rule();

    // Not cent-rounded: the difference is shown as the two totals give it.
    out << p +
               (period == Period::Annual ? QStringLiteral("年度收入－支出＝")
                                         : QStringLiteral("月度收入－支出＝")) +
               numberText(figures.income - figures.expense) + QStringLiteral("元");
    out << QStringLiteral("报告表生成日期：") + dateTimeText(created);
    out << rule() << QString();
    return out;
}

} // namespace reportlines
