// The 导入账单 dialog over a fresh book.
#include "import/tdrzd.h"
#include "testsupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>

class TestTdrzd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void previewImportAndUndo()
    {
        WindowFixture<Tdrzd> f;
        f.book.exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('Z','01','餐饮')"));
        f.book.exec(QStringLiteral("insert into zcb(zcrq,zclb,zcmc,zcje,zcsm,zcsq) "
                                   "values(#2024-01-07#,'01','餐饮',9.9,'超市','202401')"));
        const QString path = f.book.dir() + QStringLiteral("/支付宝账单.csv");
        writeFile(path,
                  QStringLiteral(
                      "交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,"
                      "交易状态,交易订单号,商家订单号,备注\n"
                      "2024-01-05 12:00:00,餐饮美食,瑞幸咖啡,/,拿铁,支出,28.16,花呗,"
                      "交易成功,N1,,\n"
                      "2024-01-06 09:00:00,信用借还,花呗,/,花呗还款,不计收支,500.00,余额,"
                      "还款成功,N2,,\n"
                      "2024-01-07 10:00:00,日用百货,超市,/,纸巾,支出,9.90,余额,交易成功,N3,,\n"
                      "2024-01-08 10:00:00,日用百货,超市,/,纸巾,支出,5.00,余额,交易关闭,N4,,\n"
                      "2024-01-09 10:00:00,转账红包,李四,/,收钱,收入,100.00,余额,交易成功,N5,,\n")
                      .toUtf8());
        QVERIFY(f.show());
        QCOMPARE(f.window->windowTitle(), QStringLiteral("导入账单"));
        f.child<QLineEdit>("Edit_file")->setText(path);
        f.child<QPushButton>("BitBtn_preview")->click();
        QVERIFY2(f.book.messages().all().isEmpty(), qPrintable(f.book.messages().all().join(' ')));

        auto* grid = f.child<QTableView>("Grid_preview");
        QAbstractItemModel* model = grid->model();
        QStringList states;
        for (int row = 0; row < model->rowCount(); ++row)
            states << model->index(row, 5).data().toString();
        QCOMPARE(states, QStringList({QStringLiteral("新增"), QStringLiteral("不计收支"),
                                      QStringLiteral("疑似重复"), QStringLiteral("未成功"),
                                      QStringLiteral("新增")}));
        QCOMPARE(model->index(0, 2).data().toString(), QStringLiteral("01餐饮"));
        auto* summary = f.child<QLabel>("Label_summary");
        QCOMPARE(summary->text(),
                 QStringLiteral("新增 2 笔（收入 1 笔 100.00 元，支出 1 笔 28.16 元）；重复 0 笔；"
                                "疑似重复 1 笔；不计收支 1 笔；未成功 1 笔；1 笔记入“待分类”"
                                "（新建收入类别 01）"));

        // The possible duplicate taken in after all.
        QVERIFY(model->setData(model->index(2, 5), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(summary->text().startsWith(QStringLiteral("新增 3 笔")));

        f.child<QPushButton>("BitBtn_ok")->click();
        QCOMPARE(f.infos(), QStringList(QStringLiteral("导入完成：新增 3 笔。")));
        QCOMPARE(f.book.value(QStringLiteral("select count(*) from zcb")).toInt(), 3);
        QCOMPARE(f.window->lastImport()->first, QDate(2024, 1, 5));
        QCOMPARE(f.window->lastImport()->last, QDate(2024, 1, 9));

        auto* batches = f.child<QListWidget>("List_batches");
        QCOMPARE(batches->count(), 1);
        QVERIFY(batches->item(0)->text().contains(QStringLiteral("支付宝账单.csv")));
        batches->setCurrentRow(0);
        auto* undo = f.child<QPushButton>("BitBtn_undoimport");
        QVERIFY(undo->isEnabled());
        undo->click();
        QCOMPARE(f.book.messages().questions,
                 QStringList(QStringLiteral("撤销导入将删除这批导入的 3 笔记录。确定撤销吗？")));
        QCOMPARE(f.book.value(QStringLiteral("select count(*) from zcb")).toInt(), 1);
        QVERIFY(batches->item(0)->text().endsWith(QStringLiteral("已撤销")));
        QVERIFY(!undo->isEnabled());
        QVERIFY(!f.window->lastImport());
    }

    // Questions the file leaves open are asked once, then remembered for its layout.
    void questionsAskedOnceForALayout()
    {
        WindowFixture<Tdrzd> f;
        const QString first = f.book.dir() + QStringLiteral("/bank1.csv");
        const QString second = f.book.dir() + QStringLiteral("/bank2.csv");
        writeFile(first, "Date,Description,Amount\n03/04/2024,tea,-3.00\n05/06/2024,pay,+100\n");
        writeFile(second, "Date,Description,Amount\n07/08/2024,cake,-4.00\n");
        QVERIFY(f.show());
        f.messages().answers = {true, false}; // day first; not a card
        f.child<QLineEdit>("Edit_file")->setText(first);
        f.child<QPushButton>("BitBtn_preview")->click();
        QCOMPARE(f.messages().questions.size(), 2);
        QCOMPARE(f.child<QTableView>("Grid_preview")->model()->index(0, 0).data().toString(),
                 QStringLiteral("2024-04-03"));
        f.child<QPushButton>("BitBtn_ok")->click();
        QCOMPARE(f.book.value(QStringLiteral("select srrq from srb")).toString(),
                 QStringLiteral("2024-06-05"));

        f.child<QLineEdit>("Edit_file")->setText(second);
        f.child<QPushButton>("BitBtn_preview")->click();
        QCOMPARE(f.messages().questions.size(), 2);
        QCOMPARE(f.child<QTableView>("Grid_preview")->model()->index(0, 0).data().toString(),
                 QStringLiteral("2024-08-07"));
        QCOMPARE(f.child<QTableView>("Grid_preview")->model()->index(0, 1).data().toString(),
                 QStringLiteral("支出"));
    }
};

QTEST_MAIN(TestTdrzd)
#include "test_tdrzd.moc"
