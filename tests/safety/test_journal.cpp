#include "book/tszgl.h"
#include "safety/entryjournal.h"
#include "safety/journal.h"
#include "store/transaction.h"
#include "testsupport.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <memory>

class TestJournal : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture<Tszgl>> f;
    TestBook* book = nullptr;

    template <typename T> T* get(const char* name) { return f->child<T>(name); }
    QPushButton* btn(const char* name) { return get<QPushButton>(name); }
    QPushButton* undo() { return btn("BitBtn_undo"); }
    QPushButton* redo() { return btn("BitBtn_redo"); }
    FakeMessages& messages() { return book->messages(); }
    // Every income entry: number, date, amount and remark.
    QString incomes()
    {
        return book
            ->value(QStringLiteral("select group_concat(r, ';') from (select uid || ' ' || srrq "
                                   "|| ' ' || srje || ' ' || srsm as r from srb order by uid)"))
            .toString();
    }
    QString count() { return get<QLabel>("Label_count")->text(); }
    void searchNovember()
    {
        get<QRadioButton>("RadioButton_cx_sr")->click();
        get<QDateEdit>("DateTimePicker_cx1")->setDate(QDate(2005, 11, 1));
        get<QDateEdit>("DateTimePicker_cx2")->setDate(QDate(2005, 11, 30));
        btn("BitBtn_cx")->click();
    }
    void saveIncome(const QString& amount, const QString& remark)
    {
        get<QComboBox>("ComboBox_lr_lb")->setCurrentIndex(0);
        get<QLineEdit>("Edit_lr_je")->setText(amount);
        get<QLineEdit>("Memo_lr_sm")->setText(remark);
        btn("BitBtn_save")->click();
    }
    // The first listed entry (uid 2, 2005-11-20) is deleted.
    void deleteFirst() { btn("BitBtn_del")->click(); }

private Q_SLOTS:
    void init()
    {
        f = std::make_unique<WindowFixture<Tszgl>>();
        book = &f->book;
        book->exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('S','01','工资')"));
        for (const char* row : {"(#2005-11-05#,'01','工资',3500,'十一月','200511')",
                                "(#2005-11-20#,'01','工资',12.5,'季度','200511')",
                                "(#2005-11-02#,'01','工资',0.5,'补发','200511')"})
            book->exec(QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) values") +
                       QString::fromUtf8(row));
        QVERIFY(f->show());
        searchNovember();
        QCOMPARE(count(), QStringLiteral("共 3 条记录  "));
    }
    void cleanup() { f.reset(); }

    void undoAndRedoEachAction_data();
    void undoAndRedoEachAction();
    void journalWorksAcrossARestart();
    void undoRefusesARowAnotherProgramChanged_data();
    void undoRefusesARowAnotherProgramChanged();
    void undoActsOnlyOnTheActionItsButtonNamed();
    void aRestoreElsewhereRefusesTheDeletion();
    void keysOutsideTextBoxes();
    void journalKeepsTheNewest200();
};

void TestJournal::undoAndRedoEachAction_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("named");
    QTest::newRow("save") << "save"
                          << QStringLiteral("保存收入编号 4（%1 工资 35.00）")
                                 .arg(QDate::currentDate().toString(Qt::ISODate));
    QTest::newRow("correct") << "correct"
                             << QStringLiteral("修改收入编号 2（2005-11-20 工资 99.00）");
    QTest::newRow("delete") << "delete"
                            << QStringLiteral("删除收入编号 2（2005-11-20 工资 12.50）");
}

void TestJournal::undoAndRedoEachAction()
{
    QFETCH(QString, action);
    QFETCH(QString, named);
    QVERIFY(!undo()->isEnabled() && !redo()->isEnabled());
    const QString before = incomes();
    if (action == QLatin1String("save")) {
        saveIncome(QStringLiteral("35"), QStringLiteral("新"));
    } else if (action == QLatin1String("correct")) {
        btn("BitBtn_update")->click();
        get<QLineEdit>("Edit_lr_je")->setText(QStringLiteral("99"));
        btn("BitBtn_save")->click();
    } else {
        deleteFirst();
    }
    const QString after = incomes();
    QVERIFY(after != before);
    QCOMPARE(undo()->toolTip(), QStringLiteral("撤销：") + named);
    QVERIFY(!redo()->isEnabled());
    messages().clear();

    undo()->click();
    QCOMPARE(incomes(), before); // a deleted entry returns under its own number
    QVERIFY(!undo()->isEnabled());
    QCOMPARE(redo()->toolTip(), QStringLiteral("重做：") + named);
    // The listing was searched again, silently.
    QCOMPARE(count(), QStringLiteral("共 3 条记录  "));
    redo()->click();
    QCOMPARE(incomes(), after);
    QCOMPARE(undo()->toolTip(), QStringLiteral("撤销：") + named);
    QVERIFY(!redo()->isEnabled());
    QCOMPARE(messages().all(), QStringList());
}

void TestJournal::journalWorksAcrossARestart()
{
    deleteFirst();
    const QString named = undo()->toolTip();
    f->window.reset();
    Context later(book->path(), messages(), TestBook::busyTimeoutMs);
    Tszgl window(later);
    auto* undoLater = window.findChild<QPushButton*>(QStringLiteral("BitBtn_undo"));
    QCOMPARE(undoLater->toolTip(), named);
    undoLater->click();
    QCOMPARE(incomes(), QStringLiteral("1 2005-11-05 3500.0 十一月;2 2005-11-20 12.5 季度;"
                                       "3 2005-11-02 0.5 补发"));
}

void TestJournal::undoRefusesARowAnotherProgramChanged_data()
{
    QTest::addColumn<bool>("drop");
    QTest::newRow("No keeps the step") << false;
    QTest::newRow("Yes drops it") << true;
}

void TestJournal::undoRefusesARowAnotherProgramChanged()
{
    QFETCH(bool, drop);
    saveIncome(QStringLiteral("35"), QStringLiteral("新"));
    const QString named = undo()->toolTip().mid(3);
    QVERIFY(AnotherProgram(book->path()).exec("update srb set srsm='别人改的' where uid=4"));
    const QString changed = incomes();
    messages().clear();
    messages().answers = {drop};
    undo()->click();
    QCOMPARE(messages().questions,
             QStringList{QStringLiteral("撤销未进行：“") + named +
                         QStringLiteral("”涉及的记录已被另一个程序修改，没有改动。\n"
                                        "是否从撤销记录中删去这一步？")});
    QCOMPARE(incomes(), changed);
    QCOMPARE(undo()->isEnabled(), !drop);
    QCOMPARE(book->value(QStringLiteral("select count(*) from czrz")).toInt(), drop ? 0 : 1);
}

void TestJournal::undoActsOnlyOnTheActionItsButtonNamed()
{
    deleteFirst();
    const QString named = undo()->toolTip().mid(3);
    // Another Pelmora saves an entry; this window has not looked since.
    {
        FakeMessages otherMessages;
        Context other(book->path(), otherMessages, TestBook::busyTimeoutMs);
        Database& db = other.database();
        Transaction t(db);
        db.execute(QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                                  "values('2005-11-09','01','工资',7,'别处','200511')"));
        recordAction(db, entrySaved(db, EntryKind::Income, db.lastInsertId()));
        t.commit();
    }
    const QString before = incomes();
    messages().clear();
    undo()->click();
    QCOMPARE(incomes(), before);
    QCOMPARE(messages().infos.size(), 1);
    QVERIFY2(messages().infos.first().startsWith(QStringLiteral("撤销未进行：“") + named +
                                                 QStringLiteral("”已不是")),
             qPrintable(messages().infos.first()));
    QCOMPARE(undo()->toolTip(), QStringLiteral("撤销：保存收入编号 4（2005-11-09 工资 7.00）"));
}

void TestJournal::aRestoreElsewhereRefusesTheDeletion()
{
    // Another program restores the book: a new generation, and entries differ.
    QVERIFY(
        AnotherProgram(book->path()).exec("pragma user_version=9; delete from srb where uid=3"));
    messages().clear();
    deleteFirst();
    QCOMPARE(messages().infos, QStringList{QStringLiteral("数据删除失败！")});
    QVERIFY2(
        messages().details.first().startsWith(QStringLiteral("数据库已被另一个程序恢复为备份")),
        qPrintable(messages().details.first()));
    QCOMPARE(count(), QStringLiteral("共 2 条记录  "));
    QCOMPARE(book->value(QStringLiteral("select count(*) from srb")).toInt(), 2);
    QVERIFY(!undo()->isEnabled());
    // The listing read again is the one that counts now.
    messages().clear();
    deleteFirst();
    QCOMPARE(messages().infos.first(), QStringLiteral("数据删除成功！"));
    QCOMPARE(book->value(QStringLiteral("select count(*) from srb")).toInt(), 1);
}

void TestJournal::keysOutsideTextBoxes()
{
    deleteFirst();
    const QString after = incomes();
    auto* remark = get<QLineEdit>("Memo_lr_sm");
    remark->setFocus();
    QTest::keyClick(remark, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(incomes(), after);
    auto* grid = get<QTableView>("DBGrid1");
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(incomes() != after);
    QTest::keyClick(grid, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(incomes(), after);
    QTest::keyClick(grid, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(grid, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(incomes(), after);
}

void TestJournal::journalKeepsTheNewest200()
{
    saveIncome(QStringLiteral("1"), QStringLiteral("a"));
    undo()->click();
    QVERIFY(redo()->isEnabled());
    Database& db = book->context().database();
    {
        Transaction t(db);
        for (int i = 0; i < 205; ++i)
            recordAction(db, {QStringLiteral("save"), QString::number(i), {}, {}});
        t.commit();
    }
    QCOMPARE(book->value(QStringLiteral("select count(*) || ' ' || min(sm) || ' ' || sum(cx) "
                                        "from czrz"))
                 .toString(),
             QStringLiteral("200 10 0"));
}

QTEST_MAIN(TestJournal)
#include "test_journal.moc"
