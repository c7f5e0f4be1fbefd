#include "import/statement.h"
#include "store/storeerror.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

QChar kindLetter(RowKind kind)
{
    switch (kind) {
    case RowKind::Income:
        return QLatin1Char('I');
    case RowKind::Expense:
        return QLatin1Char('E');
    case RowKind::Neutral:
        return QLatin1Char('N');
    case RowKind::Failed:
        return QLatin1Char('F');
    case RowKind::Error:
        break;
    }
    return QLatin1Char('X');
}

// "E 2024-01-05 28.16; I 2024-01-09 100.00"
QString summary(const ParsedStatement& statement)
{
    QStringList rows;
    for (const StatementRow& row : statement.rows)
        rows.append(QStringLiteral("%1 %2 %3.%4")
                        .arg(kindLetter(row.kind))
                        .arg(row.date.toString(QStringLiteral("yyyy-MM-dd")))
                        .arg(row.amountCents / 100)
                        .arg(row.amountCents % 100, 2, 10, QLatin1Char('0')));
    return rows.join(QStringLiteral("; "));
}

} // namespace

class TestStatements : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void layouts_data();
    void layouts();
    void amounts_data();
    void amounts();
    void dates_data();
    void dates();
    void dateOrder_data();
    void dateOrder();
    void cardAskedWhenTheSignDecides();
    void unknownColumnsAreAskedAndRemembered();
    void errorRowsNameTheirLine();
    void tooManyRowsStopTheRead();

private:
    ParsedStatement read(const QString& text, const ReadOptions& options = {})
    {
        const QString path = m_dir.filePath(QStringLiteral("statement.csv"));
        writeFile(path, text.toUtf8());
        return readStatement(path, options);
    }
    QTemporaryDir m_dir;
};

void TestStatements::layouts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("card"); // empty: an account's statement
    QTest::addColumn<QString>("rows");

    textRow(
        "支付宝: preamble, 不计收支, closed, refund row",
        "------------------------------------------------------------------------\n"
        "导出信息：\n姓名：张三\n起始时间：[2024-01-01 00:00:00]    终止时间：[2024-01-31 "
        "23:59:59]\n"
        "共5笔记录\n"
        "----------------------支付宝（中国）网络技术有限公司  电子客户回单----------------------\n"
        "交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/"
        "付款方式,交易状态,交易订单号,商家订单号,备注,\n"
        "2024-01-05 "
        "12:00:00,餐饮美食,瑞幸咖啡,rx@x.com,拿铁,支出,28.16,花呗,交易成功,2024010522001,T1,,\n"
        "2024-01-06 "
        "09:00:00,信用借还,花呗,/,花呗还款,不计收支,500.00,余额,还款成功,2024010622002,,,\n"
        "2024-01-07 10:00:00,日用百货,超市,/,纸巾,支出,9.90,余额,交易关闭,2024010722003,,,\n"
        "2024-01-08 10:00:00,退款,超市,/,退款-纸巾,不计收支,9.90,余额,退款成功,2024010822004,,,\n"
        "2024-01-09 10:00:00,转账红包,李四,/,收钱,收入,100.00,余额,交易成功,2024010922005,,,\n",
        "支付宝", "",
        "E 2024-01-05 28.16; N 2024-01-06 500.00; F 2024-01-07 9.90; N 2024-01-08 9.90; "
        "I 2024-01-09 100.00");
    textRow(
        "支付宝 older columns: padding, refund column, closing lines",
        "支付宝交易记录明细查询\n账号:[zhang@example.com]\n"
        "起始日期:[2019-01-01 00:00:00]    终止日期:[2019-01-31 23:59:59]\n"
        "---------------------------------交易记录明细列表------------------------------------\n"
        "交易号  ,商家订单号  ,交易创建时间  ,付款时间  ,最近修改时间  ,交易来源地  ,类型  "
        ",交易对方  ,"
        "商品名称  ,金额（元）  ,收/支  ,交易状态  ,服务费（元）  ,成功退款（元）  ,备注  "
        ",资金状态  ,\n"
        "2019010522001\t,T1 ,2019-01-05 12:00:00 ,2019-01-05 12:00:01 , ,其他 ,即时到账交易 ,饭店 ,"
        "午餐 ,100.00 ,支出 ,交易成功 ,0.00 ,30.00 , ,已支出 ,\n"
        "2019010622002\t, ,2019-01-06 12:00:00 , , ,支付宝网站 ,即时到账交易 ,余额宝 ,转入 ,50.00 "
        ", ,"
        "交易成功 ,0.00 ,0.00 , ,资金转移 ,\n"
        "------------------------------------------------------------------------------------\n"
        "共2笔记录\n已收入:0笔,0.00元\n已支出:1笔,100.00元\n导出时间:[2019-02-01 10:00:00]\n",
        "支付宝（旧版）", "", "E 2019-01-05 70.00; N 2019-01-06 50.00");
    textRow(
        "微信支付: refunds in part and in full, refund row, neutral",
        "微信支付账单明细\n微信昵称：[小明]\n起始时间：[2023-01-01 00:00:00] 终止时间：[2023-01-31 "
        "23:59:59]\n"
        "----------------------微信支付账单明细列表--------------------\n"
        "交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,商户单号,备注\n"
        "2023-01-05 "
        "12:00:00,商户消费,瑞幸咖啡,拿铁,支出,¥28.16,零钱,支付成功,\"4200001\t\",\"1001\t\",/\n"
        "2023-01-06 12:00:00,商户消费,面包店,面包,支出,¥10.00,零钱,已退款(￥3.00),4200002,1002,/\n"
        "2023-01-07 12:00:00,商户消费,书店,书,支出,¥50.00,零钱,已全额退款,4200003,1003,/\n"
        "2023-01-08 12:00:00,美团-退款,美团,/,收入,¥20.00,零钱,已退款,4200004,1004,/\n"
        "2023-01-09 12:00:00,零钱提现,招商银行,/,/,¥100.00,零钱,提现已到账,4200005,/,/\n"
        "2023-01-10 12:00:00,转账,张三,/,收入,¥66.00,零钱,已存入零钱,4200006,/,/\n",
        "微信支付", "",
        "E 2023-01-05 28.16; E 2023-01-06 7.00; F 2023-01-07 50.00; N 2023-01-08 20.00; "
        "N 2023-01-09 100.00; I 2023-01-10 66.00");
    textRow("京东: refund in the amount",
            "导出信息：\n京东账号名：jd_user\n日期区间：2023-03-01 至 2023-03-31\n"
            "交易时间,商户名称,交易说明,金额,收/付款方式,交易状态,收/"
            "支,交易分类,交易订单号,商家订单号,备注\n"
            "2023-03-01 "
            "10:00:00\t,京东商城,耳机,131.77(已退款89.84),京东白条,交易成功,支出,数码电器,JD1,,\n"
            "2023-03-02 10:00:00\t,京东商城,白条还款,300.00,银行卡,交易成功,不计收支,还款,JD2,,\n",
            "京东", "", "E 2023-03-01 41.93; N 2023-03-02 300.00");
    textRow("美团: the amount paid",
            "美团账单\n"
            "交易创建时间,交易成功时间,交易类型,订单标题,收/"
            "支,支付方式,订单金额,实付金额,交易单号,商家单号,备注\n"
            "2023-04-01 18:00:00,2023-04-01 "
            "18:00:05,支付,外卖-麻辣烫,支出,美团月付,¥35.00,¥30.50,MT1,S1,\n",
            "美团", "", "E 2023-04-01 30.50");
    textRow("bank: separate columns, thousands, a repayment, totals",
            "# 招商银行交易记录\n# 起始日期:[20240101]   终止日期:[20240131]\n"
            "交易日期,交易时间,收入,支出,余额,交易类型,交易备注\n"
            "20240105,10:20:30,\"10,000.00\",,\"12,000.00\",代发工资,工资\n"
            "20240106,08:00:00,,35.50,\"11,964.50\",银联消费,超市\n"
            "20240107,09:00:00,,\"1,000.00\",\"10,964.50\",转账汇款,信用卡还款\n"
            "# 收入合计: 10000.00\n",
            "招商银行", "", "I 2024-01-05 10000.00; E 2024-01-06 35.50; N 2024-01-07 1000.00");
    textRow("bank: signed amounts, a withdrawal",
            "账户明细查询\n"
            "交易日期,交易时间,交易金额,本次余额,对方户名,对方账号,交易行,交易渠道,交易类型,"
            "交易用途,交易摘要\n"
            "2024-02-01,12:00:00,+10000.00,15000.00,某公司,,,,,,工资\n"
            "2024-02-02,13:00:00,-3.00,14997.00,便利店,,,,,,消费\n"
            "2024-02-03,13:00:00,-500.00,14497.00,,,,,,,ATM取款\n",
            "农业银行", "", "I 2024-02-01 10000.00; E 2024-02-02 3.00; N 2024-02-03 500.00");
    textRow("card: year-less dates across the new year, repayment, refund",
            "招商银行信用卡对账单 2024年01月\n"
            "交易日,记账日,交易摘要,人民币金额,卡号末四位,交易地金额\n"
            "12/29,12/30,超市购物,\"1,234.00\",1234,1234.00\n"
            "01/05,01/06,还款,\"-1,000.00\",1234,-1000.00\n"
            "01/06,01/07,退货 超市,-34.00,1234,-34.00\n"
            "01/08,01/09,返现,-5.00,1234,-5.00\n",
            "招商银行信用卡", "true",
            "E 2023-12-29 1234.00; N 2024-01-05 1000.00; N 2024-01-06 34.00; I 2024-01-08 5.00");
    textRow("card by its title: 借贷 column, currency prefix",
            "某银行信用卡交易明细\n交易日期,交易说明,交易金额,借贷\n"
            "2024-03-01,餐厅,CNY 120.50,借 Dr\n2024-03-02,还款,CNY 120.50,贷 Cr\n"
            "2024-03-03,利息返还,CNY 1.20,贷 Cr\n",
            "通用", "true", "E 2024-03-01 120.50; N 2024-03-02 120.50; I 2024-03-03 1.20");
    textRow("English bank: debit and credit columns",
            "Date,Description,Debit,Credit,Balance\n2024-04-01,SALARY,,2500.00,3000.00\n"
            "2024-04-02,COFFEE SHOP,3.80,,2996.20\n",
            "通用", "", "I 2024-04-01 2500.00; E 2024-04-02 3.80");
}

void TestStatements::layouts()
{
    QFETCH(QString, text);
    QFETCH(QString, layout);
    QFETCH(QString, card);
    QFETCH(QString, rows);
    const ParsedStatement statement = read(text);
    QVERIFY(!statement.questions.any());
    QCOMPARE(statement.layout, layout);
    QCOMPARE(statement.card, !card.isEmpty());
    QCOMPARE(summary(statement), rows);
}

void TestStatements::amounts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("cents");
    QTest::addColumn<qint64>("refund");
    QTest::newRow("plain") << "28.16" << true << qint64(2816) << qint64(0);
    QTest::newRow("yuan sign") << "¥28.16" << true << qint64(2816) << qint64(0);
    QTest::newRow("full-width yuan sign, thousands")
        << "￥1,234.00" << true << qint64(123400) << qint64(0);
    QTest::newRow("currency code") << "CNY 12.30" << true << qint64(1230) << qint64(0);
    QTest::newRow("plus") << "+10000.00" << true << qint64(1000000) << qint64(0);
    QTest::newRow("minus after the sign") << "¥-3.00" << true << qint64(-300) << qint64(0);
    QTest::newRow("yuan after") << "12.30元" << true << qint64(1230) << qint64(0);
    QTest::newRow("brackets") << "(12.30)" << true << qint64(-1230) << qint64(0);
    QTest::newRow("cent rounding, ties to even") << "0.125" << true << qint64(12) << qint64(0);
    QTest::newRow("refund beside")
        << "131.77(已退款89.84)" << true << qint64(13177) << qint64(8984);
    QTest::newRow("bad grouping") << "1,23.00" << false << qint64(0) << qint64(0);
    QTest::newRow("two points") << "12.3.4" << false << qint64(0) << qint64(0);
    QTest::newRow("two signs") << "-+3" << false << qint64(0) << qint64(0);
    QTest::newRow("dollars") << "$3.00" << false << qint64(0) << qint64(0);
    QTest::newRow("empty") << "" << false << qint64(0) << qint64(0);
}

void TestStatements::amounts()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(qint64, cents);
    QFETCH(qint64, refund);
    const auto amount = readAmountCell(text);
    QCOMPARE(amount.has_value(), ok);
    if (ok) {
        QCOMPARE(amount->cents, cents);
        QCOMPARE(amount->refundCents, refund);
    }
}

void TestStatements::dates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    QTest::newRow("dashes") << "2024-01-05" << QDate(2024, 1, 5) << QTime();
    QTest::newRow("slashes, short, with time")
        << "2024/1/5 9:05" << QDate(2024, 1, 5) << QTime(9, 5);
    QTest::newRow("digits only") << "20240105" << QDate(2024, 1, 5) << QTime();
    QTest::newRow("digits with time")
        << "20240105 10:20:30" << QDate(2024, 1, 5) << QTime(10, 20, 30);
    QTest::newRow("Chinese") << "2024年1月5日" << QDate(2024, 1, 5) << QTime();
    QTest::newRow("no such day") << "2024-02-30" << QDate() << QTime();
    QTest::newRow("no such time") << "2024-01-05 25:00" << QDate() << QTime();
    QTest::newRow("no date") << "昨天" << QDate() << QTime();
}

void TestStatements::dates()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    const auto cell = readDateCell(text);
    QCOMPARE(cell.has_value(), date.isValid());
    if (cell) {
        QCOMPARE(resolveDate(*cell, DateOrder::DayMonth, QDate()), date);
        QCOMPARE(cell->time, time);
    }
}

void TestStatements::dateOrder_data()
{
    QTest::addColumn<QString>("dates");
    QTest::addColumn<int>("answer"); // 0 none, 1 day first, 2 month first
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QDate>("last");
    QTest::newRow("a day above 12 first")
        << "13/01/2024 05/01/2024" << 0 << false << QDate(2024, 1, 5);
    QTest::newRow("a day above 12 second")
        << "01/13/2024 05/01/2024" << 0 << false << QDate(2024, 5, 1);
    QTest::newRow("undecidable") << "05/01/2024 06/01/2024" << 0 << true << QDate();
    QTest::newRow("undecidable, answered")
        << "05/01/2024 06/01/2024" << 1 << false << QDate(2024, 1, 6);
}

void TestStatements::dateOrder()
{
    QFETCH(QString, dates);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(QDate, last);
    QString text = QStringLiteral("Date,Description,Debit,Credit\n");
    for (const QString& date : dates.split(QLatin1Char(' ')))
        text += date + QStringLiteral(",tea,3.00,\n");
    ReadOptions options;
    if (answer)
        options.dateOrder = answer == 1 ? DateOrder::DayMonth : DateOrder::MonthDay;
    const ParsedStatement statement = read(text, options);
    QCOMPARE(statement.questions.dateOrder, asked);
    QCOMPARE(statement.rows.isEmpty(), asked);
    if (!asked)
        QCOMPARE(statement.rows.constLast().date, last);
}

void TestStatements::cardAskedWhenTheSignDecides()
{
    const QString text = QStringLiteral("Date,Description,Amount\n2024-01-05,coffee,3.80\n");
    const ParsedStatement asked = read(text);
    QVERIFY(asked.questions.card);
    QVERIFY(asked.rows.isEmpty());

    ReadOptions options;
    options.card = true;
    QCOMPARE(summary(read(text, options)), QStringLiteral("E 2024-01-05 3.80"));
    options.card = false;
    QCOMPARE(summary(read(text, options)), QStringLiteral("I 2024-01-05 3.80"));
}

void TestStatements::unknownColumnsAreAskedAndRemembered()
{
    const QString rows = QStringLiteral("2024-01-05;Kaffee;-3.80\n2024-01-06;Brot;-2.10\n");
    const ParsedStatement asked = read(QStringLiteral("Buchungstag;Text;Betrag\n") + rows);
    QCOMPARE(asked.questions.missingRoles,
             QList<ColumnRole>({ColumnRole::Date, ColumnRole::Amount, ColumnRole::Description}));
    QCOMPARE(asked.sample.size(), 2);
    QVERIFY(asked.rows.isEmpty());
    // The same names padded otherwise are the same layout.
    QCOMPARE(read(QStringLiteral(" Buchungstag ;Text\t;Betrag\n") + rows).signature,
             asked.signature);
    QVERIFY(read(QStringLiteral("Buchungstag;Betrag;Text\n") + rows).signature != asked.signature);

    ReadOptions options;
    options.columns = {
        {ColumnRole::Date, 0}, {ColumnRole::Description, 1}, {ColumnRole::Amount, 2}};
    options.card = false;
    const ParsedStatement answered =
        read(QStringLiteral("Buchungstag;Text;Betrag\n") + rows, options);
    QCOMPARE(summary(answered), QStringLiteral("E 2024-01-05 3.80; E 2024-01-06 2.10"));
    QCOMPARE(answered.rows[1].description, QStringLiteral("Brot"));
    QCOMPARE(answered.keySource, asked.signature);
}

void TestStatements::errorRowsNameTheirLine()
{
    ReadOptions options;
    options.card = false;
    const ParsedStatement statement = read(
        QStringLiteral("日期,说明,金额\n2024-01-05,\"两行\n的说明\",1.00\n2024-13-01,坏日期,2.00\n"
                       "2024-01-07,坏金额,12.3.4\n合计,,3.00\n"),
        options);
    QCOMPARE(summary(statement).left(18), QStringLiteral("I 2024-01-05 1.00;"));
    QCOMPARE(statement.count(RowKind::Error), 2);
    QVERIFY2(statement.rows[1].error.startsWith(QStringLiteral("第 4 行：")),
             qPrintable(statement.rows[1].error));
    QVERIFY2(statement.rows[2].error.startsWith(QStringLiteral("第 5 行：")),
             qPrintable(statement.rows[2].error));
    QCOMPARE(statement.skippedLines, 1);
}

void TestStatements::tooManyRowsStopTheRead()
{
    ReadOptions options;
    options.card = false;
    options.maxRows = 2;
    QString failure;
    try {
        read(QStringLiteral("日期,说明,金额\n2024-01-05,a,1\n2024-01-06,b,2\n2024-01-07,c,3\n"),
             options);
    } catch (const StoreError& e) {
        failure = e.message();
    }
    QVERIFY2(failure.contains(QStringLiteral("超过 2 行")), qPrintable(failure));
}

QTEST_GUILESS_MAIN(TestStatements)
#include "test_statements.moc"
