#include "budget/budgetbook.h"
#include "budget/budgetlines.h"
#include "budget/budgetmodel.h"
#include "budget/budgetsql.h"
#include "budgetsample.h"
#include "samplebook.h"
#include "store/database.h"
#include "store/statement.h"
#include "testsupport.h"
#include "ui/palette.h"

#include <QColor>
#include <QTest>

namespace {

BudgetRow row(const char* code, const char* name, std::optional<qint64> budget, qint64 actual)
{
    return {QString::fromLatin1(code), QString::fromUtf8(name), budget, actual};
}

// Expense categories 01 餐饮 and 02 住房, income 03 工资; November 2025 spending
// of 0.10 + 0.20 on 01 and 1000 on 02.
void fillBook(TestBook& book)
{
    addCategory(book, QStringLiteral("Z"), QStringLiteral("01"), QStringLiteral("餐饮"));
    addCategory(book, QStringLiteral("Z"), QStringLiteral("02"), QStringLiteral("住房"));
    addCategory(book, QStringLiteral("S"), QStringLiteral("03"), QStringLiteral("工资"));
    addEntry(book, QStringLiteral("Z"), QDate(2025, 11, 3), QStringLiteral("01"),
             QStringLiteral("餐饮"), 0.1);
    addEntry(book, QStringLiteral("Z"), QDate(2025, 11, 30), QStringLiteral("01"),
             QStringLiteral("餐饮"), 0.2);
    addEntry(book, QStringLiteral("Z"), QDate(2025, 11, 9), QStringLiteral("02"),
             QStringLiteral("住房"), 1000);
    addEntry(book, QStringLiteral("Z"), QDate(2025, 12, 1), QStringLiteral("01"),
             QStringLiteral("餐饮"), 50);
    addEntry(book, QStringLiteral("S"), QDate(2025, 11, 5), QStringLiteral("03"),
             QStringLiteral("工资"), 9000);
}

} // namespace

class TestBudget : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void amountTexts_data();
    void amountTexts();
    void typedBudgets_data();
    void typedBudgets();
    void averageRoundsToTheYuanHalvesUp_data();
    void averageRoundsToTheYuanHalvesUp();
    void monthSumsExactAndOnlyExpenseCategories();
    void copyAndAverageFillFromTheBook();
    void overBudgetRowsAreRed();
    void reportLines();
    void statementsUseIndexes();
    void bookWithoutTheTable();
};

void TestBudget::amountTexts_data()
{
    QTest::addColumn<qint64>("budget"); // -1: none
    QTest::addColumn<qint64>("actual");
    QTest::addColumn<QString>("remainder");
    QTest::addColumn<QString>("usage");
    QTest::addColumn<bool>("over");
    auto add = [](const char* tag, qint64 budget, qint64 actual, const char* remainder,
                  const char* usage, bool over) {
        QTest::newRow(tag) << budget << actual << QString::fromUtf8(remainder)
                           << QString::fromUtf8(usage) << over;
    };
    add("under", 80000, 65000, "150.00", "81.3%", false);
    add("exactly", 80000, 80000, "0.00", "100.0%", false);
    add("over", 80000, 85000, "-50.00", "106.3%", true);
    add("half per mille up", 2000, 1, "19.99", "0.1%", false);
    add("cents", 10, 3, "0.07", "30.0%", false);
    add("no budget", -1, 500, "—", "—", false);
    add("zero budget, spent", 0, 1, "-0.01", "—", true);
    add("zero budget, nothing spent", 0, 0, "0.00", "—", false);
}

void TestBudget::amountTexts()
{
    QFETCH(qint64, budget);
    QFETCH(qint64, actual);
    BudgetRow r{QStringLiteral("01"), QStringLiteral("餐饮"),
                budget < 0 ? std::nullopt : std::optional<qint64>(budget), actual};
    QFETCH(QString, remainder);
    QFETCH(QString, usage);
    QFETCH(bool, over);
    QCOMPARE(budgetlines::remainderText(r), remainder);
    QCOMPARE(budgetlines::usageText(r), usage);
    QCOMPARE(budgetlines::isOver(r), over);
}

void TestBudget::typedBudgets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("cents"); // -1: no budget
    QTest::newRow("yuan") << "800" << true << qint64(80000);
    QTest::newRow("cent rounding") << "0.125" << true << qint64(12);
    QTest::newRow("empty removes") << "" << true << qint64(-1);
    QTest::newRow("two points") << "1.2.3" << false << qint64(0);
    QTest::newRow("below zero") << "-5" << false << qint64(0);
    QTest::newRow("beyond the box") << "1234567890123.5" << false << qint64(0);
    QTest::newRow("beyond 64 bits") << "1e20" << false << qint64(0);
}

void TestBudget::typedBudgets()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(qint64, cents);
    const BudgetInput input = budgetlines::parseBudget(text);
    QCOMPARE(input.valid, valid);
    if (input.valid)
        QCOMPARE(input.cents.value_or(-1), cents);
}

void TestBudget::averageRoundsToTheYuanHalvesUp_data()
{
    QTest::addColumn<qint64>("spent");
    QTest::addColumn<qint64>("budget");
    QTest::newRow("nothing") << qint64(0) << qint64(0);
    QTest::newRow("half up") << qint64(600600) << qint64(50100);    // 500.5
    QTest::newRow("below half") << qint64(600599) << qint64(50000); // 500.49...
    QTest::newRow("one month only") << qint64(120000) << qint64(10000);
    QTest::newRow("refunds") << qint64(-600600) << qint64(-50000); // -500.5 up
}

void TestBudget::averageRoundsToTheYuanHalvesUp()
{
    QFETCH(qint64, spent);
    QFETCH(qint64, budget);
    QCOMPARE(budgetlines::averageBudget(spent), budget);
}

void TestBudget::monthSumsExactAndOnlyExpenseCategories()
{
    TestBook book;
    fillBook(book);
    addBudget(book, QStringLiteral("01"), QStringLiteral("202511"), 30);
    addBudget(book, QStringLiteral("03"), QStringLiteral("202511"), 500); // an income code
    addBudget(book, QStringLiteral("09"), QStringLiteral("202511"), 700); // no category
    addBudget(book, QStringLiteral("02"), QStringLiteral("202510"), 100000);
    const QList<BudgetRow> rows =
        readBudgetMonth(book.context().database(), QStringLiteral("202511"));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].code, QStringLiteral("01"));
    QCOMPARE(rows[0].name, QStringLiteral("餐饮"));
    QCOMPARE(rows[0].budget, std::optional<qint64>(30));
    QCOMPARE(rows[0].actual, qint64(30)); // 0.1 + 0.2, exactly
    QCOMPARE(rows[1].budget, std::nullopt);
    QCOMPARE(rows[1].actual, qint64(100000));
    const BudgetRow total = budgetlines::totalRow(rows);
    QCOMPARE(total.budget, std::optional<qint64>(30));
    QCOMPARE(total.actual, qint64(100030));

    QCOMPARE(
        entryBudgetLine(book.context().database(), QStringLiteral("03"), QStringLiteral("202511"))
            .text,
        QString());
}

void TestBudget::copyAndAverageFillFromTheBook()
{
    TestBook book;
    fillBook(book);
    Database& db = book.context().database();
    // The month before January is December of the year before.
    addBudget(book, QStringLiteral("02"), QStringLiteral("202512"), 420000);
    addBudget(book, QStringLiteral("03"), QStringLiteral("202512"), 100); // an income code
    QCOMPARE(readMonthBudgets(db, QStringLiteral("202512")),
             (QHash<QString, qint64>{{QStringLiteral("02"), 420000}}));

    // Twelve months before 2026-12: 2025-12 to 2026-11. Spending on 01 within
    // them: 50 (2025-12) + 6006 - 50 = 6006 → 500.5 → 501; the month itself
    // and the month before the twelve do not count.
    addEntry(book, QStringLiteral("Z"), QDate(2026, 11, 30), QStringLiteral("01"),
             QStringLiteral("餐饮"), 5956);
    addEntry(book, QStringLiteral("Z"), QDate(2026, 12, 1), QStringLiteral("01"),
             QStringLiteral("餐饮"), 9999);
    addEntry(book, QStringLiteral("Z"), QDate(2025, 11, 30), QStringLiteral("02"),
             QStringLiteral("住房"), 9999);
    QCOMPARE(readAverageBudgets(db, QStringLiteral("202612")),
             (QHash<QString, qint64>{{QStringLiteral("01"), 50100}, {QStringLiteral("02"), 0}}));

    BudgetModel model;
    model.setRows(readBudgetMonth(db, QStringLiteral("202601")));
    model.fillBudgets(readMonthBudgets(db, QStringLiteral("202512")));
    QVERIFY(model.isModified());
    QCOMPARE(model.rows()[0].budget, std::nullopt);
    QCOMPARE(model.rows()[1].budget, std::optional<qint64>(420000));

    // Stored in one go; a row without a budget loses the one it had.
    storeBudgetMonth(db, QStringLiteral("202601"), model.rows());
    QList<BudgetRow> rows = model.rows();
    rows[1].budget.reset();
    rows[0].budget = 0;
    storeBudgetMonth(db, QStringLiteral("202601"), rows);
    QCOMPARE(readMonthBudgets(db, QStringLiteral("202601")),
             (QHash<QString, qint64>{{QStringLiteral("01"), 0}}));
}

void TestBudget::overBudgetRowsAreRed()
{
    BudgetModel model;
    model.setRows({row("01", "餐饮", 80000, 85000), row("02", "住房", 80000, 80000),
                   row("03", "交通", std::nullopt, 100), row("04", "医疗", 0, 1)});
    auto colour = [&](int r, int column) {
        return model.index(r, column).data(Qt::ForegroundRole).value<QColor>();
    };
    const QList<int> redRows = {0, 3, 4}; // the total (4) too: 1651.01 of 1600.00
    for (int r = 0; r < model.rowCount(); ++r) {
        for (int column : {int(BudgetModel::Remainder), int(BudgetModel::Usage)})
            QCOMPARE(colour(r, column) == kWarningRed, redRows.contains(r));
        QVERIFY(colour(r, BudgetModel::Budget) != kWarningRed);
    }
    QCOMPARE(model.index(4, BudgetModel::Name).data().toString(), QStringLiteral("合计"));
    QCOMPARE(model.index(4, BudgetModel::Usage).data().toString(), QStringLiteral("103.2%"));

    // Only a category's 预算 can be edited.
    QVERIFY(model.flags(model.index(0, BudgetModel::Budget)) & Qt::ItemIsEditable);
    QVERIFY(!(model.flags(model.index(0, BudgetModel::Actual)) & Qt::ItemIsEditable));
    QVERIFY(!(model.flags(model.index(4, BudgetModel::Budget)) & Qt::ItemIsEditable));
    QVERIFY(model.setData(model.index(1, BudgetModel::Budget), QStringLiteral("600")));
    QCOMPARE(colour(1, BudgetModel::Remainder), kWarningRed);
}

void TestBudget::reportLines()
{
    const QStringList lines =
        budgetlines::reportLines(QStringLiteral("202511"), {row("01", "餐饮", 80000, 65000),
                                                            row("02", "住房", std::nullopt, 380000),
                                                            row("03", "医疗保健", 0, 1)});
    const QStringList expected = {
        QStringLiteral("*****202511预算执行表*****"),
        QStringLiteral(
            "代码  类别                  预算            实际            剩余    使用率"),
        QStringLiteral(
            "01    餐饮                800.00          650.00          150.00     81.3%"),
        QStringLiteral("02    住房                    —         3800.00              —        —"),
        QStringLiteral("03    医疗保健              0.00            0.01           -0.01        —"),
        QStringLiteral(
            "合计                      800.00         4450.01        -3650.01    556.3%"),
    };
    QCOMPARE(lines, expected);
    QCOMPARE(budgetlines::reportFileName(QStringLiteral("202511")),
             QStringLiteral("202511预算执行表.txt"));
}

void TestBudget::statementsUseIndexes()
{
    TestBook book;
    fillBook(book);
    const QList<std::pair<QString, QVariantList>> statements = {
        {budgetsql::monthRowsSql(), {"202511", "202511"}},
        {budgetsql::spendingSql(), {"202412", "202511"}},
        {budgetsql::entryBudgetSql(), {"01", "202511", "202511", "01"}},
        {budgetsql::monthBudgetsSql(), {"202511"}},
    };
    for (const auto& [sql, values] : statements) {
        Statement plan(book.context().database(), QStringLiteral("explain query plan ") + sql,
                       values);
        QStringList lines;
        while (plan.step())
            lines << plan.value(3).toString();
        for (const QString& line : lines) {
            const bool entryTable =
                line.contains(QLatin1String("zcb")) || line.contains(QLatin1String("srb"));
            if (entryTable && !line.contains(QLatin1String("INDEX")))
                QFAIL(qPrintable(sql + QLatin1String(": ") + lines.join(QLatin1String(" | "))));
        }
        QVERIFY2(lines.join(QLatin1Char(' ')).contains(QLatin1String("zcb")) ||
                     sql == budgetsql::monthBudgetsSql(),
                 qPrintable(sql));
    }
}

void TestBudget::bookWithoutTheTable()
{
    TestBook book;
    fillBook(book);
    addBudget(book, QStringLiteral("01"), QStringLiteral("202511"), 30);
    Database& db = book.context().database();
    book.exec(QStringLiteral("drop table yss"));

    // As a read-only book of an older version: spending, no budgets, no storing.
    QVERIFY(!hasBudgetTable(db));
    const QList<BudgetRow> rows = readBudgetMonth(db, QStringLiteral("202511"));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].budget, std::nullopt);
    QCOMPARE(rows[0].actual, qint64(30));
    QCOMPARE(entryBudgetLine(db, QStringLiteral("01"), QStringLiteral("202511")).text, QString());
    QVERIFY_THROWS_EXCEPTION(StoreError, storeBudgetMonth(db, QStringLiteral("202511"), rows));

    // Opened writable again, the book gains it.
    db.close();
    db.ensureOpen();
    QVERIFY(hasBudgetTable(db));
    storeBudgetMonth(db, QStringLiteral("202511"), {row("01", "餐饮", 80000, 0)});
    QCOMPARE(entryBudgetLine(db, QStringLiteral("01"), QStringLiteral("202511")).text,
             QStringLiteral("本月预算 800.00，已用 0.30，剩余 799.70"));
}

QTEST_MAIN(TestBudget)
#include "test_budget.moc"
