#include "import/batches.h"
#include "import/importer.h"
#include "store/database.h"
#include "store/statement.h"
#include "store/storeerror.h"
#include "import/importjournal.h"
#include "safety/journal.h"
#include "store/transaction.h"
#include "testsupport.h"

#include <QTest>

namespace {

const QString alipayHeader =
    QStringLiteral("交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,"
                   "交易状态,交易订单号,商家订单号,备注\n");
const QString wechatHeader = QStringLiteral(
    "交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,商户单号,备注\n");
const QString bankHeader = QStringLiteral("交易日期,交易时间,收入,支出,余额,交易类型,交易备注\n");

// A 支付宝 row: "2024-01-05 12:00:00,餐饮美食,瑞幸咖啡,/,拿铁,支出,28.16,花呗,交易成功,N1,,".
QString alipayRow(const QString& day, const QString& category, const QString& counterpart,
                  const QString& direction, const QString& amount, const QString& number)
{
    return QStringLiteral("%1 12:00:00,%2,%3,/,/,%4,%5,余额,交易成功,%6,,\n")
        .arg(day, category, counterpart, direction, amount, number);
}

QString coffee(const QString& day, const QString& number)
{
    return alipayRow(day, QStringLiteral("餐饮美食"), QStringLiteral("瑞幸咖啡"),
                     QStringLiteral("支出"), QStringLiteral("28.16"), number);
}

} // namespace

class TestImporter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_book = std::make_unique<TestBook>(); }
    void cleanup() { m_book.reset(); }

    void sameFileAgainAndOverlapsAddOnlyNewRows();
    void possibleDuplicates_data();
    void possibleDuplicates();
    void categoriesFromRulesNamesAndUnsorted();
    void nothingStoredUnlessAllIs();
    void nothingStoredOnAFullDisk();
    void twoImportsAtTheSameMoment();
    void undoAndRedoOfABatch();
    void importsInTheUndoJournal();

private:
    Database& db() { return m_book->context().database(); }
    QString write(const QString& name, const QString& text)
    {
        const QString path = m_book->dir() + QLatin1Char('/') + name;
        writeFile(path, text.toUtf8());
        return path;
    }
    ImportedBatch import(const QString& name, const QString& text,
                         const ImportChoices& choices = {}, Database* database = nullptr)
    {
        const QString path = write(name, text);
        const ParsedStatement statement = readStatement(path);
        return importStatement(database ? *database : db(), path, statement, {}, choices,
                               QStringLiteral("admin"));
    }
    qint64 count(const QString& sql) { return m_book->value(sql).toLongLong(); }

    std::unique_ptr<TestBook> m_book;
};

void TestImporter::sameFileAgainAndOverlapsAddOnlyNewRows()
{
    const QString january =
        alipayHeader + coffee(QStringLiteral("2024-01-05"), "N1") +
        coffee(QStringLiteral("2024-01-05"), "N2") +
        coffee(QStringLiteral("2024-01-05"), "N1") + // the same payment twice
        alipayRow(QStringLiteral("2024-01-09"), QStringLiteral("转账红包"), QStringLiteral("李四"),
                  QStringLiteral("收入"), QStringLiteral("100.00"), QStringLiteral("N3"));
    ImportedBatch first = import(QStringLiteral("jan.csv"), january);
    QCOMPARE(first.plan.counts.added(), 3);
    QCOMPARE(first.plan.counts.duplicates, 1);
    QVERIFY(first.batch > 0);
    QCOMPARE(import(QStringLiteral("jan.csv"), january).plan.counts.added(), 0);

    const QString overlap = alipayHeader + coffee(QStringLiteral("2024-01-05"), "N2") +
                            coffee(QStringLiteral("2024-01-20"), "N4");
    const ImportedBatch second = import(QStringLiteral("overlap.csv"), overlap);
    QCOMPARE(second.plan.counts.added(), 1);
    QCOMPARE(count(QStringLiteral("select count(*) from zcb")), 3);
    QCOMPARE(count(QStringLiteral("select count(*) from srb where srsq='202401'")), 1);

    // Without transaction numbers two identical coffees are two entries, once.
    const QString bank = bankHeader + QStringLiteral("20240105,083000,,3.50,96.50,消费,咖啡\n"
                                                     "20240105,083000,,3.50,93.00,消费,咖啡\n");
    QCOMPARE(import(QStringLiteral("bank.csv"), bank).plan.counts.added(), 2);
    QCOMPARE(import(QStringLiteral("bank.csv"), bank).plan.counts.added(), 0);
    QCOMPARE(listBatches(db()).size(), 3);
}

void TestImporter::possibleDuplicates_data()
{
    QTest::addColumn<QString>("setup"); // a statement in the program's dialect or a file
    QTest::addColumn<bool>("possible");
    QTest::newRow("typed, same day and amount")
        << "insert into zcb(zcrq,zclb,zcmc,zcje,zcsm,zcsq) values(#2024-01-05#,'01','餐饮',28.16,"
           "'咖啡','202401')"
        << true;
    QTest::newRow("typed, the next day")
        << "insert into zcb(zcrq,zclb,zcmc,zcje,zcsm,zcsq) values(#2024-01-06#,'01','餐饮',28.16,"
           "'咖啡','202401')"
        << false;
    QTest::newRow("typed income of the amount")
        << "insert into srb(srrq,srlb,srmc,srje,srsm,srsq) values(#2024-01-05#,'01','工资',28.16,"
           "'','202401')"
        << false;
    QTest::newRow("from another source, a day before")
        << "wechat:2024-01-04 09:00:00,商户消费,瑞幸咖啡,拿铁,支出,¥28.16,零钱,支付成功,W1,,/"
        << true;
    QTest::newRow("from the same source")
        << "alipay:" + coffee(QStringLiteral("2024-01-05"), "N9").trimmed() << false;
}

void TestImporter::possibleDuplicates()
{
    QFETCH(QString, setup);
    QFETCH(bool, possible);
    if (setup.startsWith(QLatin1String("wechat:")))
        import(QStringLiteral("wechat.csv"), wechatHeader + setup.mid(7) + QLatin1Char('\n'));
    else if (setup.startsWith(QLatin1String("alipay:")))
        import(QStringLiteral("earlier.csv"), alipayHeader + setup.mid(7) + QLatin1Char('\n'));
    else
        m_book->exec(setup);
    const qint64 before = count(QStringLiteral("select count(*) from zcb"));

    const QString path = write(QStringLiteral("alipay.csv"),
                               alipayHeader + coffee(QStringLiteral("2024-01-05"), "N1"));
    const ParsedStatement statement = readStatement(path);
    const ImportPlan plan = planImport(db(), statement, {});
    QCOMPARE(plan.rows[0].state == RowState::PossibleDuplicate, possible);
    QCOMPARE(plan.rows[0].taken, !possible);

    // Left out by default, taken in by choice.
    ImportChoices choices;
    choices.rows[0].take = true;
    importStatement(db(), path, statement, {}, choices, QStringLiteral("admin"));
    QCOMPARE(count(QStringLiteral("select count(*) from zcb")), before + 1);
}

void TestImporter::categoriesFromRulesNamesAndUnsorted()
{
    m_book->exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('Z','01','餐饮')"));
    m_book->exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('Z','02','交通')"));
    m_book->exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('S','01','工资')"));
    const QString text =
        alipayHeader + coffee(QStringLiteral("2024-01-05"), "N1") +
        alipayRow(QStringLiteral("2024-01-06"), QStringLiteral("交通出行"), QStringLiteral("滴滴"),
                  QStringLiteral("支出"), QStringLiteral("15.00"), QStringLiteral("N2")) +
        alipayRow(QStringLiteral("2024-01-07"), QStringLiteral("日用百货"), QStringLiteral("超市"),
                  QStringLiteral("支出"), QStringLiteral("9.90"), QStringLiteral("N3")) +
        alipayRow(QStringLiteral("2024-01-08"), QStringLiteral("转账红包"), QStringLiteral("李四"),
                  QStringLiteral("收入"), QStringLiteral("100.00"), QStringLiteral("N4"));
    const ImportedBatch batch = import(QStringLiteral("jan.csv"), text);
    QCOMPARE(summaryText(batch.plan),
             QStringLiteral("新增 4 笔（收入 1 笔 100.00 元，支出 3 笔 53.06 元）；重复 0 笔；"
                            "疑似重复 0 笔；不计收支 0 笔；未成功 0 笔；2 笔记入“待分类”"
                            "（新建收入类别 02、支出类别 03）"));
    QVERIFY(batch.madeCategory);
    QCOMPARE(m_book
                 ->value(QStringLiteral("select group_concat(zclb || zcmc, ' ') from "
                                        "(select * from zcb order by zcrq)"))
                 .toString(),
             QStringLiteral("01餐饮 02交通 03待分类"));
    QCOMPARE(m_book->value(QStringLiteral("select srlb || srmc from srb")).toString(),
             QStringLiteral("02待分类"));

    // A rule made for a row goes with the import and serves the next file.
    ImportChoices choices;
    choices.rules << CategoryRule{EntryKind::Expense, RuleMatch::Counterpart,
                                  QStringLiteral("超市"), QStringLiteral("01")};
    const QString february =
        alipayHeader + alipayRow(QStringLiteral("2024-02-07"), QStringLiteral("日用百货"),
                                 QStringLiteral("超市"), QStringLiteral("支出"),
                                 QStringLiteral("5.00"), QStringLiteral("N5"));
    QCOMPARE(import(QStringLiteral("feb.csv"), february, choices).plan.rows[0].code,
             QStringLiteral("01"));
    const QString march =
        alipayHeader + alipayRow(QStringLiteral("2024-03-07"), QStringLiteral("日用百货"),
                                 QStringLiteral("超市"), QStringLiteral("支出"),
                                 QStringLiteral("6.00"), QStringLiteral("N6"));
    const ImportedBatch third = import(QStringLiteral("mar.csv"), march);
    QCOMPARE(third.plan.rows[0].from, CategoryFrom::Rule);
    QCOMPARE(third.plan.rows[0].code, QStringLiteral("01"));
}

void TestImporter::nothingStoredUnlessAllIs()
{
    const QString text = alipayHeader + coffee(QStringLiteral("2024-01-05"), "N1") +
                         coffee(QStringLiteral("2024-13-45"), "N2");
    try {
        import(QStringLiteral("bad.csv"), text);
        QFAIL("an error row imported");
    } catch (const StoreError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("第 3 行")), qPrintable(e.message()));
    }
    QCOMPARE(count(QStringLiteral("select count(*) from zcb")), 0);
    QCOMPARE(count(QStringLiteral("select count(*) from import_batches")), 0);

    // A book another program has locked: nothing either.
    {
        AnotherProgram other(m_book->path());
        QVERIFY(other.exec("begin immediate"));
        ImportChoices skip;
        skip.skipErrors = true;
        QVERIFY_THROWS_EXCEPTION(StoreError, import(QStringLiteral("bad.csv"), text, skip));
    }
    QCOMPARE(count(QStringLiteral("select count(*) from zcb")), 0);

    ImportChoices skip;
    skip.skipErrors = true;
    QCOMPARE(import(QStringLiteral("bad.csv"), text, skip).plan.counts.added(), 1);
}

void TestImporter::nothingStoredOnAFullDisk()
{
    FullDisk disk;
    if (!disk.mounted())
        QSKIP(qPrintable(disk.why()));
    const QString bookPath = disk.filePath(QStringLiteral("vandrel.mdb"));
    createDatabase(bookPath);
    Database book(QStringLiteral("full"), bookPath, 200);
    QString text = alipayHeader;
    for (int i = 0; i < 200; ++i)
        text += coffee(QStringLiteral("2024-01-05"), QStringLiteral("N%1").arg(i));
    const QString path = write(QStringLiteral("big.csv"), text);
    const ParsedStatement statement = readStatement(path);
    importStatement(book, path, statement, {}, {}, QStringLiteral("admin"));
    // The first import fits; the disk is then full.
    disk.fill();
    const QString again =
        write(QStringLiteral("again.csv"), text.replace(QLatin1String(",N"), QLatin1String(",M")));
    try {
        importStatement(book, again, readStatement(again), {}, {}, QStringLiteral("admin"));
        QFAIL("imported onto a full disk");
    } catch (const StoreError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("full")), qPrintable(e.message()));
    }
    Statement entries(book, QStringLiteral("select count(*), (select count(*) from "
                                           "import_keys), (select count(*) from import_batches) "
                                           "from zcb"));
    QVERIFY(entries.step());
    QCOMPARE(entries.value(0).toLongLong(), 200);
    QCOMPARE(entries.value(1).toLongLong(), 200);
    QCOMPARE(entries.value(2).toLongLong(), 1);
}

void TestImporter::twoImportsAtTheSameMoment()
{
    // The window previews, the command line imports the same file, then the
    // window imports what it previewed: each row is added once.
    const QString text = alipayHeader + coffee(QStringLiteral("2024-01-05"), "N1") +
                         coffee(QStringLiteral("2024-01-06"), "N2");
    const QString path = write(QStringLiteral("jan.csv"), text);
    const ParsedStatement statement = readStatement(path);
    QCOMPARE(planImport(db(), statement, {}).counts.added(), 2);

    Database commandLine(QStringLiteral("command line"), m_book->path(), 200);
    QCOMPARE(
        importStatement(commandLine, path, readStatement(path), {}, {}, QStringLiteral("admin"))
            .plan.counts.added(),
        2);
    const ImportedBatch late =
        importStatement(db(), path, statement, {}, {}, QStringLiteral("admin"));
    QCOMPARE(late.plan.counts.added(), 0);
    QCOMPARE(late.batch, 0);
    QCOMPARE(count(QStringLiteral("select count(*) from zcb")), 2);
}

void TestImporter::undoAndRedoOfABatch()
{
    const QString text =
        alipayHeader + coffee(QStringLiteral("2024-01-05"), "N1") +
        coffee(QStringLiteral("2024-01-06"), "N2") +
        alipayRow(QStringLiteral("2024-01-09"), QStringLiteral("转账红包"), QStringLiteral("李四"),
                  QStringLiteral("收入"), QStringLiteral("100.00"), QStringLiteral("N3"));
    const qint64 batch = import(QStringLiteral("jan.csv"), text).batch;
    m_book->exec(QStringLiteral("insert into zcb(zcrq,zclb,zcmc,zcje,zcsm,zcsq) "
                                "values(#2024-01-07#,'01','餐饮',5,'typed','202401')"));
    m_book->exec(QStringLiteral("update zcb set zcsm='corrected' where zcrq='2024-01-06'"));
    const BatchEntries entries = batchEntries(db(), batch);
    QCOMPARE(entries.entries, 3);
    QCOMPARE(entries.corrected, 1);
    QCOMPARE(undoQuestion(entries),
             QStringLiteral("撤销导入将删除这批导入的 3 笔记录（其中 1 笔导入后修改过，也会删除）"
                            "。确定撤销吗？"));
    const QString uids =
        m_book->value(QStringLiteral("select group_concat(uid) from zcb")).toString();

    undoImportBatch(db(), batch);
    QCOMPARE(count(QStringLiteral("select count(*) from zcb")), 1); // the typed one
    QCOMPARE(count(QStringLiteral("select count(*) from srb")), 0);
    QCOMPARE(count(QStringLiteral("select count(*) from import_keys")), 0);
    QVERIFY(findBatch(db(), batch)->undone);
    QVERIFY(batchLine(*findBatch(db(), batch)).endsWith(QStringLiteral("已撤销")));
    QVERIFY_THROWS_EXCEPTION(StoreError, undoImportBatch(db(), batch));

    // The file can come in again; then the undone batch cannot come back.
    const qint64 again = import(QStringLiteral("jan.csv"), text).batch;
    QCOMPARE(count(QStringLiteral("select count(*) from zcb")), 3);
    QVERIFY_THROWS_EXCEPTION(StoreError, redoImportBatch(db(), batch));
    undoImportBatch(db(), again);
    redoImportBatch(db(), batch);
    QCOMPARE(m_book->value(QStringLiteral("select group_concat(uid) from zcb")).toString(), uids);
    QCOMPARE(m_book->value(QStringLiteral("select zcsm from zcb where zcrq='2024-01-06'")),
             QVariant(QStringLiteral("corrected")));
    QCOMPARE(import(QStringLiteral("jan.csv"), text).plan.counts.added(), 0);
}

void TestImporter::importsInTheUndoJournal()
{
    registerImportJournal();
    const QString text = alipayHeader + coffee(QStringLiteral("2024-01-05"), "N1") +
                         coffee(QStringLiteral("2024-01-06"), "N2");
    qint64 batch = 0;
    {
        Transaction transaction(db());
        batch = import(QStringLiteral("jan.csv"), text).batch;
        recordImport(db(), batch);
        transaction.commit();
    }
    std::optional<JournalRecord> step = nextUndo(db());
    QVERIFY(step);
    QCOMPARE(step->action.description, QStringLiteral("导入账单 jan.csv（新增 2 笔）"));
    QCOMPARE(undoAction(m_book->context(), step->number), StepOutcome::Done);
    QCOMPARE(count(QStringLiteral("select count(*) from zcb")), 0);
    step = nextRedo(db());
    QCOMPARE(redoAction(m_book->context(), step->number), StepOutcome::Done);
    QCOMPARE(count(QStringLiteral("select count(*) from zcb")), 2);

    // Undone again, then the file comes in anew: the old batch cannot come back.
    QCOMPARE(undoAction(m_book->context(), nextUndo(db())->number), StepOutcome::Done);
    import(QStringLiteral("jan.csv"), text);
    QCOMPARE(redoAction(m_book->context(), nextRedo(db())->number), StepOutcome::Conflict);
    QCOMPARE(count(QStringLiteral("select count(*) from zcb")), 2);
    QVERIFY(findBatch(db(), batch)->undone);
}

QTEST_GUILESS_MAIN(TestImporter)
#include "test_importer.moc"
