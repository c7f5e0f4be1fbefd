#include "samplebook.h"

#include "store/numbers.h"
#include "store/sqltext.h"
#include "testsupport.h"

void addCategory(TestBook& book, const QString& kind, const QString& code, const QString& name)
{
    book.exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('%1','%2','%3')")
                  .arg(kind, sqlEscape(code), sqlEscape(name)));
}

void addEntry(TestBook& book, const QString& kind, const QDate& date, const QString& code,
              const QString& name, double amount, const QString& remark)
{
    const QString x = kind == QLatin1String("S") ? QStringLiteral("sr") : QStringLiteral("zc");
    const QString table =
        kind == QLatin1String("S") ? QStringLiteral("srb") : QStringLiteral("zcb");
    book.exec(QStringLiteral("insert into %1(%2rq,%2lb,%2mc,%2je,%2sm,%2sq) "
                             "values(#%3#,'%4','%5',%6,'%7','%8')")
                  .arg(table, x, dateText(date), sqlEscape(code), sqlEscape(name),
                       numberText(amount), sqlEscape(remark), periodKey(date)));
}

void fillSampleBook(TestBook& book)
{
    const QString incomes[][2] = {
        {"01", "工资"}, {"02", "奖金"}, {"03", "理财收益"}, {"04", "兼职"}};
    const QString expenses[][2] = {{"01", "餐饮"}, {"02", "住房"}, {"03", "交通"},
                                   {"04", "医疗"}, {"05", "教育"}, {"06", "娱乐"}};
    for (const auto& c : incomes)
        addCategory(book, QStringLiteral("S"), c[0], c[1]);
    for (const auto& c : expenses)
        addCategory(book, QStringLiteral("Z"), c[0], c[1]);
    for (int year = 2022; year <= 2026; ++year) {
        const int growth = (year - 2022) * 400;
        for (int month = 1; month <= 12; ++month) {
            const QDate day(year, month, 10);
            addEntry(book, "S", day, "01", "工资", 9200 + growth, QStringLiteral("月工资"));
            if (month % 6 == 0)
                addEntry(book, "S", day.addDays(5), "02", "奖金", 6000 + growth * 2,
                         QStringLiteral("半年奖"));
            if (month % 3 == 0)
                addEntry(book, "S", day.addDays(8), "03", "理财收益", 850.5 + month * 20,
                         QStringLiteral("基金分红"));
            if (month % 2 == 1)
                addEntry(book, "S", day.addDays(3), "04", "兼职", 1200 + (month % 5) * 150,
                         QStringLiteral("周末家教"));
            addEntry(book, "Z", day, "01", "餐饮", 2100 + (month % 4) * 230.4,
                     month % 2 == 1 ? QStringLiteral("超市采购") : QStringLiteral("周末聚餐"));
            addEntry(book, "Z", day.addDays(1), "02", "住房", 3800, QStringLiteral("房租"));
            addEntry(book, "Z", day.addDays(2), "03", "交通", 420 + (month % 3) * 60,
                     month % 3 == 0 ? QStringLiteral("加油") : QStringLiteral("地铁公交"));
            if (month % 4 == 2)
                addEntry(book, "Z", day.addDays(6), "04", "医疗", 680.75 + month * 15,
                         QStringLiteral("药店买药"));
            if (month == 2 || month == 9)
                addEntry(book, "Z", day.addDays(4), "05", "教育", 5200, QStringLiteral("孩子学费"));
            addEntry(book, "Z", day.addDays(7), "06", "娱乐", 300 + (month % 6) * 120,
                     month % 2 == 0 ? QStringLiteral("电影票") : QStringLiteral("超市零食"));
        }
    }
}
