#include "import/entrytexts.h"
#include "store/gbk.h"
#include "testsupport.h"

#include <QTest>

namespace {

StatementRow row(const QString& counterpart, const QString& description,
                 const QString& type = QString())
{
    StatementRow r;
    r.kind = RowKind::Expense;
    r.flow = Flow::Out;
    r.date = QDate(2024, 1, 5);
    r.time = QTime(8, 30);
    r.amountCents = 1800;
    r.counterpart = counterpart;
    r.description = description;
    r.sourceType = type;
    return r;
}

} // namespace

class TestEntryTexts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void remarks_data();
    void remarks();
    void remarkCutAtACharacterBoundary();
    void duplicateKeys();
    void categories_data();
    void categories();
};

void TestEntryTexts::remarks_data()
{
    QTest::addColumn<QString>("counterpart");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("remark");
    QTest::addColumn<int>("dropped");
    QTest::newRow("both") << "瑞幸咖啡"
                          << "拿铁"
                          << ""
                          << "瑞幸咖啡 拿铁" << 0;
    QTest::newRow("placeholder left out") << "美团"
                                          << "/"
                                          << ""
                                          << "美团" << 0;
    QTest::newRow("the same text once") << "京东"
                                        << "京东"
                                        << ""
                                        << "京东" << 0;
    QTest::newRow("line breaks") << "店"
                                 << "两行\r\n说明"
                                 << ""
                                 << "店 两行 说明" << 0;
    QTest::newRow("emoji dropped and counted")
        << QStringLiteral("小明\U0001F600") << QStringLiteral("红包\U0001F9E7") << ""
        << "小明 红包" << 2;
    QTest::newRow("neither: source and type") << "/"
                                              << ""
                                              << "商户消费"
                                              << "微信支付 商户消费" << 0;
    QTest::newRow("only emoji: source and type") << QStringLiteral("\U0001F600") << ""
                                                 << "转账"
                                                 << "微信支付 转账" << 1;
}

void TestEntryTexts::remarks()
{
    QFETCH(QString, counterpart);
    QFETCH(QString, description);
    QFETCH(QString, type);
    QFETCH(QString, remark);
    QFETCH(int, dropped);
    const Remark made =
        entryRemark(row(counterpart, description, type), QStringLiteral("微信支付"));
    QCOMPARE(made.text, remark);
    QCOMPARE(made.dropped, dropped);
}

void TestEntryTexts::remarkCutAtACharacterBoundary()
{
    // "a" then Chinese characters: 201 bytes would split the 101st character.
    const QString text = QStringLiteral("a") + QString(150, QChar(u'账'));
    const Remark made = entryRemark(row(text, QString()), QStringLiteral("支付宝"));
    QCOMPARE(gbkLength(made.text), 199);
    QCOMPARE(made.text, QStringLiteral("a") + QString(99, QChar(u'账')));
}

void TestEntryTexts::duplicateKeys()
{
    StatementRow numbered = row(QStringLiteral("超市"), QStringLiteral("纸巾"));
    numbered.transactionNo = QStringLiteral("2024010522001");
    StatementRow mangled = row(QStringLiteral("书店"), QStringLiteral("书"));
    mangled.transactionNo = QStringLiteral("4.20000123456789E+27");
    const StatementRow coffee = row(QStringLiteral("咖啡店"), QStringLiteral("拿铁"));
    StatementRow later = coffee;
    later.time = QTime(9, 0);

    const QStringList keys =
        ::duplicateKeys(QStringLiteral("支付宝"), {numbered, coffee, coffee, mangled, later});
    QCOMPARE(keys[0], QStringLiteral("支付宝|no|2024010522001"));
    // Two identical coffees stay two; an overlapping statement gives the same keys.
    QVERIFY(keys[1] != keys[2]);
    QCOMPARE(::duplicateKeys(QStringLiteral("支付宝"), {later, coffee, coffee}).mid(1),
             keys.mid(1, 2));
    QVERIFY(!keys[3].contains(QStringLiteral("E+27")));
    QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), 5);
    QVERIFY(::duplicateKeys(QStringLiteral("微信支付"), {coffee})[0] != keys[1]);
}

void TestEntryTexts::categories_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("book"); // names joined by blanks
    QTest::addColumn<int>("index");
    QTest::newRow("source contains the book's") << "餐饮美食"
                                                << "工资 餐饮 交通" << 1;
    QTest::newRow("book contains the source's") << "交通"
                                                << "餐饮 交通出行" << 1;
    QTest::newRow("exact before contained") << "餐饮"
                                            << "餐饮美食 餐饮" << 1;
    QTest::newRow("several: asked") << "餐饮美食"
                                    << "餐饮 美食" << -1;
    QTest::newRow("none") << "数码电器"
                          << "餐饮 交通" << -1;
    QTest::newRow("no source category") << ""
                                        << "餐饮" << -1;
}

void TestEntryTexts::categories()
{
    QFETCH(QString, source);
    QFETCH(QString, book);
    QFETCH(int, index);
    QCOMPARE(matchingCategory(source, book.split(QLatin1Char(' '))), index);
}

QTEST_GUILESS_MAIN(TestEntryTexts)
#include "test_entrytexts.moc"
