#include "book/tszgl.h"
#include "maintenance/maintenancesql.h"
#include "maintenance/txtwh.h"
#include "store/copynames.h"
#include "store/schema.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <memory>

namespace {

// A maintenance window over a fresh book, signed in as user.
struct Fixture : WindowFixture<Txtwh>
{
    explicit Fixture(const QString& user = QStringLiteral("admin")) : WindowFixture(user)
    {
        create().resize(1000, 700);
    }
    bool ready() { return show(); }
    int count(const QString& statement) { return book.value(statement).toInt(); }
    QStringList lines(QListWidget* list) const
    {
        QStringList all;
        for (int i = 0; i < list->count(); ++i)
            all << list->item(i)->text();
        return all;
    }
    void addCategory(QRadioButton* kind, const QString& code, const QString& name)
    {
        kind->click();
        window->Edit_lb->clear();
        window->Edit_bmmc->clear();
        typeText(window->Edit_lb, code);
        typeText(window->Edit_bmmc, name);
        window->Button_adduser->click();
    }
    void addUser(const QString& name, const QString& password)
    {
        window->Edit_user->clear();
        window->Edit_pwd->clear();
        typeText(window->Edit_user, name);
        typeText(window->Edit_pwd, password);
        window->BitBtn_insert->click();
    }
    // Entries, categories and users of a book in use.
    void populate()
    {
        book.exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('S','01','工资')"));
        book.exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('Z','01','房租')"));
        book.exec(QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                                 "values(#2005-11-05#,'01','工资',3500,'','200511')"));
        book.exec(QStringLiteral("insert into zcb(zcrq,zclb,zcmc,zcje,zcsm,zcsq) "
                                 "values(#2005-11-06#,'01','房租',800,'','200511')"));
        book.exec(QStringLiteral("update login1 set pwd1='other', priv1='100'"));
        book.exec(QStringLiteral("insert into login1(user1,pwd1,priv1) values('bob','b','110')"));
        book.exec(QStringLiteral("insert into login1(user1,pwd1,priv1) values('carol','c','001')"));
    }
    QStringList backups() const
    {
        return QDir(backupFolder(book.path()))
            .entryList({QStringLiteral("vandrel-*.mdb")}, QDir::Files);
    }
    // count income entries of November 2005 with remarks long enough to fill pages.
    void addIncome(int count)
    {
        book.addIncomes(count, QStringLiteral("'2005-11-' || printf('%02d', 1 + n % 30)"),
                        QStringLiteral("n / 4.0"), QStringLiteral("printf('%0100d', n)"));
    }
    // A book in use whose many entries left room to reclaim when every second went.
    void populateWithGaps(int entries)
    {
        populate();
        addIncome(entries);
        book.exec(QStringLiteral("delete from srb where uid % 2 = 0"));
    }
    // Every row of the four tables in a fixed order, then the integrity check's verdict.
    QString allRows()
    {
        QString rows;
        for (const char* sql :
             {"select group_concat(r, ';') from (select uid||'|'||srrq||srlb||srmc||'|'||"
              "quote(srje)||'|'||srsm||srsq as r from srb order by uid)",
              "select group_concat(r, ';') from (select uid||'|'||zcrq||zclb||zcmc||'|'||"
              "quote(zcje)||'|'||zcsm||zcsq as r from zcb order by uid)",
              "select group_concat(r, ';') from (select sz||lb||bmmc as r from bmb order by r)",
              "select group_concat(r, ';') from (select user1||'|'||pwd1||priv1 as r from login1 "
              "order by r)",
              "pragma integrity_check"})
            rows += book.value(QString::fromUtf8(sql)).toString() + QLatin1Char('#');
        return rows;
    }
    qint64 bookSize() const { return QFileInfo(book.path()).size(); }
};

const QString kAddedPrefix = QStringLiteral("增加记录成功！");

} // namespace

class TestTxtwh : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initialState();
    void enterMovesFocusAndNeverActs();
    void inputLimits();
    void addWithoutKind();
    void addChecksInOrder();
    void sameCodeUnderBothKindsAndDuplicates();
    void listLayoutsAndRemovalFromEach();
    void removalGuardLooksAtOwnKindOnly();
    void removalWithoutSelection();
    void trailingSpacesStoredTrimmedInMessages();
    void categoryTextsStoredExactly();
    void databaseErrorReachesErrorDisplay();
    void userAdditionChecksInOrder();
    void userRightsAndCaseOfAdmin();
    void userTextsStoredExactly();
    void deleteUserGuards();
    void deleteSelfAsksFirst();
    void passwordChange();
    void initialisationAnsweredNo();
    void fullInitialisation();
    void failingStepKeepsNothing_data();
    void failingStepKeepsNothing();
    void safetyCopyFailureStopsInitialisation();
    void compactionShrinksAndKeepsEveryEntry();
    void compactionWithTheBookWindowOpenOnALongListing();
    void compactionWithoutSafetyCopyChangesNothing();
    void compactionRefusedWhileAnotherProgramReadsChangesNothing();
};

void TestTxtwh::initialState()
{
    Fixture f;
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    QCOMPARE(w.objectName(), QStringLiteral("xtwh"));
    QCOMPARE(w.windowTitle(), QStringLiteral("参数配置"));
    QVERIFY(!w.RadioButton1->isChecked() && !w.RadioButton2->isChecked());
    QCOMPARE(w.ListBox1->count(), 0);
    QCOMPARE(w.ListBox2->count(), 0);
    QVERIFY(w.CheckBox1->isChecked() && w.CheckBox2->isChecked() && w.CheckBox3->isChecked());
    QVERIFY(w.BitBtn_yasuo->isEnabled());
    QVERIFY(w.BitBtn_csh->isEnabled());
    QCOMPARE(w.Edit_pwd->echoMode(), QLineEdit::Password);
    QVERIFY(f.book.takeStatements().isEmpty()); // nothing is read until a kind is chosen
    for (const char* name :
         {"RadioButton1",   "RadioButton2", "Edit_lb",       "Edit_bmmc",       "Button_adduser",
          "Button_deluser", "ListBox1",     "Edit_user",     "Edit_pwd",        "CheckBox1",
          "CheckBox2",      "CheckBox3",    "BitBtn_insert", "BitBtn_userlist", "BitBtn_del",
          "BitBtn_update",  "ListBox2",     "Label8",        "BitBtn_yasuo",    "Label7",
          "BitBtn_csh"})
        QVERIFY2(w.findChild<QWidget*>(QString::fromLatin1(name)), name);

    // Tab order: category group, user group, lower part.
    const QList<QWidget*> expected = {
        w.ListBox1,        w.RadioButton1,   w.RadioButton2,  w.Edit_lb,       w.Edit_bmmc,
        w.Button_adduser,  w.Button_deluser, w.Edit_user,     w.Edit_pwd,      w.CheckBox1,
        w.CheckBox2,       w.CheckBox3,      w.BitBtn_insert, w.BitBtn_update, w.BitBtn_del,
        w.BitBtn_userlist, w.ListBox2,       w.BitBtn_yasuo,  w.BitBtn_csh};
    QList<QWidget*> chain;
    QWidget* at = w.ListBox1;
    do {
        if (expected.contains(at))
            chain << at;
        at = at->nextInFocusChain();
    } while (at != w.ListBox1 && chain.size() < expected.size());
    QCOMPARE(chain, expected);
}

void TestTxtwh::enterMovesFocusAndNeverActs()
{
    Fixture f;
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    w.RadioButton1->click();
    f.book.takeStatements();
    typeText(w.Edit_lb, QStringLiteral("01"));
    typeText(w.Edit_bmmc, QStringLiteral("工资"));
    w.Edit_lb->setFocus();
    QTest::keyClick(w.Edit_lb, Qt::Key_Return);
    QVERIFY(w.Edit_bmmc->hasFocus());
    QTest::keyClick(w.Edit_bmmc, Qt::Key_Enter);
    QVERIFY(w.Button_adduser->hasFocus());

    w.Edit_user->setFocus();
    QTest::keyClick(w.Edit_user, Qt::Key_Return);
    QVERIFY(w.Edit_pwd->hasFocus());
    QTest::keyClick(w.Edit_pwd, Qt::Key_Return);
    QVERIFY(w.CheckBox1->hasFocus());

    QVERIFY(f.messages().all().isEmpty());
    QVERIFY(f.book.takeStatements().isEmpty());
    QCOMPARE(w.Edit_lb->text(), QStringLiteral("01"));
}

void TestTxtwh::inputLimits()
{
    Fixture f;
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    typeText(w.Edit_lb, QStringLiteral("a1-b.2 3"));
    QCOMPARE(w.Edit_lb->text(), QStringLiteral("12"));
    // Pasting cannot bring in anything but digits either.
    w.Edit_lb->clear();
    w.Edit_lb->insert(QStringLiteral("a1"));
    w.Edit_lb->insert(QStringLiteral("工"));
    QCOMPARE(w.Edit_lb->text(), QString());
    w.Edit_lb->insert(QStringLiteral("07"));
    QCOMPARE(w.Edit_lb->text(), QStringLiteral("07"));
    typeText(w.Edit_bmmc, QStringLiteral("工资收入多"));
    QCOMPARE(w.Edit_bmmc->text(), QStringLiteral("工资收入"));
    w.Edit_bmmc->clear();
    typeText(w.Edit_bmmc, QStringLiteral("ab工资cde"));
    QCOMPARE(w.Edit_bmmc->text(), QStringLiteral("ab工资cd"));
    typeText(w.Edit_user, QStringLiteral("a b c d e"));
    QCOMPARE(w.Edit_user->text(), QStringLiteral("a b c d "));
    typeText(w.Edit_pwd, QStringLiteral("p a'ss,w.rd 1234567890123456"));
    QCOMPARE(w.Edit_pwd->text(), QStringLiteral("pa'ss,w.rd1234567890"));
    // Nothing the book cannot hold gets in, pasted or typed.
    for (QLineEdit* edit : {w.Edit_bmmc, w.Edit_user, w.Edit_pwd}) {
        edit->clear();
        for (const QString& junk :
             {QStringLiteral("a") + QChar(0), QStringLiteral("b\n"),
              QStringLiteral("c") + QChar(0xD800), QStringLiteral("\U0001F600")})
            edit->insert(junk);
        QCOMPARE(edit->text(), QString());
    }
}

void TestTxtwh::addWithoutKind()
{
    Fixture f;
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    typeText(w.Edit_lb, QStringLiteral("01"));
    typeText(w.Edit_bmmc, QStringLiteral("工资"));
    w.Edit_bmmc->setFocus();
    w.Button_adduser->click();
    QCOMPARE(f.messages().infos, QStringList{QStringLiteral("增加记录需要指定收支类型！")});
    QVERIFY(w.Button_adduser->hasFocus());
    QCOMPARE(f.count(QStringLiteral("select count(*) from bmb")), 0);
    QCOMPARE(w.Edit_lb->text(), QStringLiteral("01")); // typed texts stay
}

void TestTxtwh::addChecksInOrder()
{
    Fixture f;
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    w.RadioButton2->click();
    f.book.takeStatements();

    typeText(w.Edit_lb, QStringLiteral("1"));
    w.Button_adduser->click(); // the code is judged before the empty name
    QCOMPARE(f.messages().infos.last(), QStringLiteral("类别代码必须为两位数字！"));
    QVERIFY(w.Edit_lb->hasFocus());

    typeText(w.Edit_lb, QStringLiteral("7"));
    w.Button_adduser->click();
    QCOMPARE(f.messages().infos.last(), QStringLiteral("增加记录需要指定类别名称！"));
    QVERIFY(w.Edit_bmmc->hasFocus());
    QVERIFY(f.book.takeStatements().isEmpty());

    typeText(w.Edit_bmmc, QStringLiteral("   "));
    w.Button_adduser->click();
    QCOMPARE(f.messages().infos.last(),
             QStringLiteral("增加记录成功！\n收支类型：Z\n类别代码：17\n类别名称：   "));
    QCOMPARE(f.book.takeStatements(),
             (QStringList{QStringLiteral("select count(*) from bmb where sz='Z' and lb='17'"),
                          QStringLiteral("insert into bmb(sz,lb,bmmc) values('Z','17','   ')"),
                          QStringLiteral("select * from bmb where sz='Z' order by lb")}));
    QCOMPARE(f.book.value(QStringLiteral("select bmmc from bmb where lb='17'")).toString(),
             QStringLiteral("   "));
    QVERIFY(w.Edit_lb->text().isEmpty() && w.Edit_bmmc->text().isEmpty());
    QVERIFY(w.RadioButton2->isChecked());
}

void TestTxtwh::sameCodeUnderBothKindsAndDuplicates()
{
    Fixture f;
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    f.addCategory(w.RadioButton2, QStringLiteral("01"), QStringLiteral("房租"));
    f.addCategory(w.RadioButton1, QStringLiteral("01"), QStringLiteral("工资"));
    QCOMPARE(f.messages().infos.last(),
             QStringLiteral("增加记录成功！\n收支类型：S\n类别代码：01\n类别名称：工资"));
    QCOMPARE(f.count(QStringLiteral("select count(*) from bmb")), 2);

    const QStringList before = f.lines(w.ListBox1);
    f.messages().clear();
    typeText(w.Edit_lb, QStringLiteral("01"));
    typeText(w.Edit_bmmc, QStringLiteral("奖金"));
    w.Button_adduser->click();
    QCOMPARE(f.messages().infos,
             QStringList{QStringLiteral("指定类型和类别的编码已存在，不能增加同样记录")});
    QVERIFY(w.Edit_lb->hasFocus());
    QCOMPARE(f.lines(w.ListBox1), before);
    QCOMPARE(f.count(QStringLiteral("select count(*) from bmb")), 2);
    QCOMPARE(w.Edit_bmmc->text(), QStringLiteral("奖金"));
}

void TestTxtwh::listLayoutsAndRemovalFromEach()
{
    Fixture f;
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    f.addCategory(w.RadioButton1, QStringLiteral("02"), QStringLiteral("奖金"));
    f.addCategory(w.RadioButton1, QStringLiteral("01"), QStringLiteral("工资"));
    QCOMPARE(f.lines(w.ListBox1), (QStringList{QStringLiteral("S    01      工资"),
                                               QStringLiteral("S    02      奖金")}));

    // Removal from the four-space layout; the reload uses six.
    f.messages().clear();
    f.book.takeStatements();
    w.ListBox1->setCurrentRow(1);
    w.Button_deluser->click();
    QCOMPARE(f.messages().infos, QStringList{QStringLiteral(
                                     "记录删除成功！\n收支类型：S\n类别代码：02\n类别名称：奖金")});
    QCOMPARE(f.book.takeStatements(),
             (QStringList{QStringLiteral("select count(*) from srb where srlb='02'"),
                          QStringLiteral("delete from bmb where sz='S' and lb='02'"),
                          QStringLiteral("select * from bmb where sz='S' order by lb")}));
    QCOMPARE(f.lines(w.ListBox1), QStringList{QStringLiteral("S      01      工资")});

    // Choosing the other kind and back shows the six-space layout; removal works from it.
    f.addCategory(w.RadioButton2, QStringLiteral("09"), QStringLiteral("杂项"));
    QCOMPARE(f.lines(w.ListBox1), QStringList{QStringLiteral("Z    09      杂项")});
    w.RadioButton1->click();
    w.RadioButton2->click();
    QCOMPARE(f.lines(w.ListBox1), QStringList{QStringLiteral("Z      09      杂项")});
    w.ListBox1->setCurrentRow(0);
    w.Button_deluser->click();
    QCOMPARE(f.count(QStringLiteral("select count(*) from bmb where sz='Z'")), 0);
    QCOMPARE(f.count(QStringLiteral("select count(*) from bmb where sz='S'")), 1);
    QCOMPARE(w.ListBox1->count(), 0); // an empty kind: an empty list and no message
    QVERIFY(f.messages().infos.last().startsWith(QStringLiteral("记录删除成功！")));
}

void TestTxtwh::removalGuardLooksAtOwnKindOnly()
{
    Fixture f;
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    f.book.exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('S','05','利息')"));
    f.book.exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('Z','05','交通')"));
    f.book.exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('Z','06','话费')"));
    f.book.exec(QStringLiteral("insert into zcb(zcrq,zclb,zcmc,zcje,zcsm,zcsq) "
                               "values(#2005-11-06#,'05','交通',5,'','200511')"));
    f.book.exec(QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                               "values(#2005-11-06#,'06','其他',5,'','200511')"));

    // Expense 05 is used by an expense entry: refused, nothing deleted.
    w.RadioButton2->click();
    w.ListBox1->setCurrentRow(0);
    w.Button_deluser->click();
    QCOMPARE(f.messages().infos, QStringList{QStringLiteral(
                                     "不能删除该类别,因为数据库中有该类型记录！\n收支类型：Z\n"
                                     "类别代码：05\n类别名称：交通\n请先删除相应支出记录后再试")});
    QCOMPARE(f.count(QStringLiteral("select count(*) from bmb")), 3);

    // Expense 06 is used only by an income entry: removed.
    f.messages().clear();
    w.ListBox1->setCurrentRow(1);
    w.Button_deluser->click();
    QVERIFY(f.messages().infos.value(0).startsWith(QStringLiteral("记录删除成功！")));
    QCOMPARE(f.count(QStringLiteral("select count(*) from bmb where sz='Z' and lb='06'")), 0);

    // Income 05 is used only by an expense entry: removed too.
    w.RadioButton1->click();
    w.ListBox1->setCurrentRow(0);
    w.Button_deluser->click();
    QCOMPARE(f.count(QStringLiteral("select count(*) from bmb where sz='S'")), 0);
    QCOMPARE(f.count(QStringLiteral("select count(*) from bmb where sz='Z' and lb='05'")), 1);

    // And an income category used by an income entry is refused with the income line.
    f.book.exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('S','06','其他')"));
    w.RadioButton2->click();
    w.RadioButton1->click();
    f.messages().clear();
    w.ListBox1->setCurrentRow(0);
    w.Button_deluser->click();
    QVERIFY(f.messages().infos.value(0).endsWith(QStringLiteral("\n请先删除相应收入记录后再试")));
    QCOMPARE(f.count(QStringLiteral("select count(*) from bmb where sz='S'")), 1);
}

void TestTxtwh::removalWithoutSelection()
{
    Fixture f;
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    f.addCategory(w.RadioButton1, QStringLiteral("01"), QStringLiteral("工资"));
    f.messages().clear();
    w.ListBox1->setFocus(); // focus makes an item current, but selects none
    w.Button_deluser->click();
    QCOMPARE(f.messages().infos, QStringList{QStringLiteral("未选定要删除的记录，无法删除")});
    QVERIFY(w.ListBox1->hasFocus());
    QCOMPARE(f.count(QStringLiteral("select count(*) from bmb")), 1);
}

void TestTxtwh::trailingSpacesStoredTrimmedInMessages()
{
    Fixture f;
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    f.addCategory(w.RadioButton1, QStringLiteral("03"), QStringLiteral("工资  "));
    QCOMPARE(f.book.value(QStringLiteral("select bmmc from bmb")).toString(),
             QStringLiteral("工资  "));
    QCOMPARE(f.messages().infos.last(),
             QStringLiteral("增加记录成功！\n收支类型：S\n类别代码：03\n类别名称：工资  "));
    f.messages().clear();
    w.ListBox1->setCurrentRow(0);
    w.Button_deluser->click();
    QCOMPARE(f.messages().infos, QStringList{QStringLiteral(
                                     "记录删除成功！\n收支类型：S\n类别代码：03\n类别名称：工资")});
}

void TestTxtwh::categoryTextsStoredExactly()
{
    Fixture f;
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    f.addCategory(w.RadioButton2, QStringLiteral("04"), QStringLiteral("o'k 饭'"));
    QVERIFY(f.messages().errors.isEmpty());
    QCOMPARE(f.book.value(QStringLiteral("select bmmc from bmb where lb='04'")).toString(),
             QStringLiteral("o'k 饭'"));
    QCOMPARE(f.lines(w.ListBox1), QStringList{QStringLiteral("Z    04      o'k 饭'")});
    // The duplicate check finds it again.
    f.addCategory(w.RadioButton2, QStringLiteral("04"), QStringLiteral("x"));
    QCOMPARE(f.messages().infos.last(),
             QStringLiteral("指定类型和类别的编码已存在，不能增加同样记录"));
    w.ListBox1->setCurrentRow(0);
    w.Button_deluser->click();
    QVERIFY(f.messages().errors.isEmpty());
    QCOMPARE(f.count(QStringLiteral("select count(*) from bmb")), 0);
}

void TestTxtwh::databaseErrorReachesErrorDisplay()
{
    Fixture f;
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    f.book.exec(QStringLiteral("drop table bmb"));
    w.RadioButton1->click();
    QCOMPARE(f.messages().errors.size(), 1);
    QVERIFY(f.messages().errors.first().contains(QStringLiteral("bmb")));
    QCOMPARE(w.ListBox1->count(), 0);
    f.addCategory(w.RadioButton1, QStringLiteral("01"), QStringLiteral("工资"));
    QCOMPARE(f.messages().errors.size(), 2);
    QVERIFY(f.messages().infos.isEmpty());
}

void TestTxtwh::userAdditionChecksInOrder()
{
    Fixture f;
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    const auto expect = [&](const QString& message, QWidget* focus) {
        w.BitBtn_userlist->setFocus();
        f.messages().clear();
        w.BitBtn_insert->click();
        QCOMPARE(f.messages().infos, QStringList{message});
        QVERIFY(focus->hasFocus());
    };
    expect(QStringLiteral("必须输入用户名！"), w.Edit_user);
    typeText(w.Edit_user, QStringLiteral("admin"));
    expect(QStringLiteral("你不能增加admin用户"), w.Edit_user);
    w.Edit_user->clear();
    typeText(w.Edit_user, QStringLiteral("bob"));
    expect(QStringLiteral("必须输入密码！"), w.Edit_pwd);
    typeText(w.Edit_pwd, QStringLiteral("pw"));
    for (QCheckBox* box : {w.CheckBox1, w.CheckBox2, w.CheckBox3})
        box->setChecked(false);
    expect(QStringLiteral("权限设置不能全部为空！"), w.CheckBox1);
    QVERIFY(f.book.takeStatements().isEmpty());
    QCOMPARE(f.count(QStringLiteral("select count(*) from login1")), 1);
    QCOMPARE(w.Edit_user->text(), QStringLiteral("bob"));
    QCOMPARE(w.Edit_pwd->text(), QStringLiteral("pw"));
}

void TestTxtwh::userRightsAndCaseOfAdmin()
{
    Fixture f;
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    w.CheckBox2->setChecked(false);
    f.addUser(QStringLiteral("bob"), QStringLiteral("Se!cret"));
    QCOMPARE(f.messages().infos,
             QStringList{QStringLiteral("用户增加成功\n用户名：bob\n密  码：Se!cret")});
    QCOMPARE(f.book.takeStatements(),
             (QStringList{QStringLiteral("select count(*) from login1 where user1='bob'"),
                          QStringLiteral("insert into login1(user1,pwd1,priv1) "
                                         "values('bob','Se!cret','101')"),
                          QStringLiteral("select * from login1")}));
    QCOMPARE(f.book.value(QStringLiteral("select priv1 from login1 where user1='bob'")).toString(),
             QStringLiteral("101"));
    QCOMPARE(f.lines(w.ListBox2), (QStringList{QStringLiteral("admin"), QStringLiteral("bob")}));
    QVERIFY(w.Edit_user->text().isEmpty() && w.Edit_pwd->text().isEmpty());
    QVERIFY(w.CheckBox1->isChecked() && !w.CheckBox2->isChecked() && w.CheckBox3->isChecked());

    // A name differing only in case passes the exact comparison and meets the duplicate check.
    f.messages().clear();
    f.addUser(QStringLiteral("ADMIN"), QStringLiteral("x"));
    QCOMPARE(f.messages().infos, QStringList{QStringLiteral("该用户已经存在数据库中")});
    QVERIFY(w.Edit_user->hasFocus());
    f.messages().clear();
    f.addUser(QStringLiteral("Bob"), QStringLiteral("x"));
    QCOMPARE(f.messages().infos, QStringList{QStringLiteral("该用户已经存在数据库中")});
    QCOMPARE(f.count(QStringLiteral("select count(*) from login1")), 2);
}

void TestTxtwh::userTextsStoredExactly()
{
    Fixture f;
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    const QString name = QStringLiteral("o'张 ");
    f.addUser(name, QStringLiteral("p'w\"d"));
    QVERIFY(f.messages().errors.isEmpty());
    QCOMPARE(
        f.book.value(QStringLiteral("select pwd1 from login1 where user1='o''张 '")).toString(),
        QStringLiteral("p'w\"d"));
    QVERIFY(f.lines(w.ListBox2).contains(name));

    typeText(w.Edit_user, name);
    typeText(w.Edit_pwd, QStringLiteral("新'"));
    w.BitBtn_update->click();
    QCOMPARE(
        f.book.value(QStringLiteral("select pwd1 from login1 where user1='o''张 '")).toString(),
        QStringLiteral("新'"));

    w.ListBox2->setCurrentRow(f.lines(w.ListBox2).indexOf(name));
    w.BitBtn_del->click();
    QVERIFY(f.messages().errors.isEmpty());
    QCOMPARE(f.messages().infos.last(), QStringLiteral("删除用户o'张 成功！"));
    QCOMPARE(f.lines(w.ListBox2), QStringList{QStringLiteral("admin")});
}

void TestTxtwh::deleteUserGuards()
{
    Fixture f(QStringLiteral("bob"));
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    f.book.exec(QStringLiteral("insert into login1(user1,pwd1,priv1) values('carol','c','111')"));
    w.ListBox2->setFocus();
    w.BitBtn_del->click();
    QCOMPARE(f.messages().infos, QStringList{QStringLiteral("未选定要删除的用户，无法实现删除")});
    QVERIFY(w.ListBox2->hasFocus());

    w.BitBtn_userlist->click();
    QCOMPARE(f.lines(w.ListBox2), (QStringList{QStringLiteral("admin"), QStringLiteral("carol")}));
    f.messages().clear();
    w.ListBox2->setCurrentRow(0);
    w.BitBtn_del->click();
    QCOMPARE(f.messages().infos, QStringList{QStringLiteral("你不能删除admin用户！")});
    QVERIFY(w.BitBtn_del->hasFocus());
    QCOMPARE(f.count(QStringLiteral("select count(*) from login1")), 2);

    // Another user goes without a question.
    f.messages().clear();
    w.ListBox2->setCurrentRow(1);
    w.BitBtn_del->click();
    QVERIFY(f.messages().questions.isEmpty());
    QCOMPARE(f.messages().infos, QStringList{QStringLiteral("删除用户carol成功！")});
    QCOMPARE(f.lines(w.ListBox2), QStringList{QStringLiteral("admin")});
}

void TestTxtwh::deleteSelfAsksFirst()
{
    Fixture f(QStringLiteral("bob"));
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    f.book.exec(QStringLiteral("insert into login1(user1,pwd1,priv1) values('bob','b','111')"));
    w.BitBtn_userlist->click();
    w.ListBox2->setCurrentRow(1);
    const QString question =
        QStringLiteral("你将删除自己的用户，这样你将无法再登录，除非重建新用户！");
    f.messages().answers = {false};
    w.BitBtn_del->click();
    QCOMPARE(f.messages().questions, QStringList{question});
    QVERIFY(f.messages().infos.isEmpty());
    QCOMPARE(f.count(QStringLiteral("select count(*) from login1 where user1='bob'")), 1);

    f.messages().answers = {true};
    w.BitBtn_del->click();
    QCOMPARE(f.messages().infos, QStringList{QStringLiteral("删除用户bob成功！")});
    QCOMPARE(f.count(QStringLiteral("select count(*) from login1 where user1='bob'")), 0);
}

void TestTxtwh::passwordChange()
{
    Fixture f;
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    f.book.exec(QStringLiteral("insert into login1(user1,pwd1,priv1) values('bob','b','111')"));
    const QString users = QStringLiteral("select group_concat(user1||'/'||pwd1) from login1");
    const QString before = f.book.value(users).toString();

    typeText(w.Edit_user, QStringLiteral("   "));
    w.BitBtn_update->click();
    QCOMPARE(f.messages().infos.last(), QStringLiteral("用户名不能为空！"));
    QVERIFY(w.Edit_user->hasFocus());
    w.Edit_user->clear();
    typeText(w.Edit_user, QStringLiteral("bob "));
    w.BitBtn_update->click();
    QCOMPARE(f.messages().infos.last(), QStringLiteral("在密码框中直接输入新密码！"));
    QVERIFY(w.Edit_pwd->hasFocus());
    QVERIFY(f.messages().questions.isEmpty());

    // Answered No: nothing changes, the boxes keep their texts.
    typeText(w.Edit_pwd, QStringLiteral("new"));
    f.messages().answers = {false};
    w.BitBtn_update->click();
    QCOMPARE(f.messages().questions, QStringList{QStringLiteral("是否修改用户名框中的用户密码！")});
    QCOMPARE(w.Edit_pwd->text(), QStringLiteral("new"));
    f.book.takeStatements();

    // No user of that name (the untrimmed "bob ", "ghost"): said so, nothing changes.
    for (const QString& name : {QStringLiteral("bob "), QStringLiteral("ghost")}) {
        w.Edit_user->clear();
        w.Edit_pwd->clear();
        typeText(w.Edit_user, name);
        typeText(w.Edit_pwd, QStringLiteral("new"));
        f.messages().clear();
        w.BitBtn_update->click();
        QCOMPARE(f.messages().infos, QStringList{QStringLiteral("该用户不存在！")});
        QVERIFY(w.Edit_user->hasFocus());
        QCOMPARE(w.Edit_user->text(), name);
        QCOMPARE(f.book.value(users).toString(), before);
    }
    w.Edit_user->clear();
    w.Edit_pwd->clear();
    f.book.takeStatements();
    f.messages().clear();

    typeText(w.Edit_user, QStringLiteral("BOB"));
    typeText(w.Edit_pwd, QStringLiteral("x"));
    w.BitBtn_update->click();
    QCOMPARE(f.book.takeStatements().last(),
             QStringLiteral("update login1 set pwd1='x' where user1='BOB'"));
    QCOMPARE(f.messages().infos, QStringList{QStringLiteral("密码设置成功！")});
    QVERIFY(w.Edit_user->text().isEmpty() && w.Edit_pwd->text().isEmpty());
    QCOMPARE(f.book.value(QStringLiteral("select pwd1 from login1 where user1='bob'")).toString(),
             QStringLiteral("x"));
    QCOMPARE(w.ListBox2->count(), 0); // the list is not reloaded
}

void TestTxtwh::initialisationAnsweredNo()
{
    Fixture f;
    QVERIFY(f.ready());
    f.populate();
    f.messages().answers = {false};
    f.window->BitBtn_csh->click();
    QCOMPARE(f.messages().questions,
             QStringList{QStringLiteral("初始化后所有信息都被清空！确认要进行初始化吗？")});
    QVERIFY(f.messages().infos.isEmpty());
    QVERIFY(f.book.takeStatements().isEmpty());
    QVERIFY(f.backups().isEmpty());
    QCOMPARE(f.count(QStringLiteral("select count(*) from srb")), 1);
    QCOMPARE(f.count(QStringLiteral("select count(*) from zcb")), 1);
    QCOMPARE(f.count(QStringLiteral("select count(*) from bmb")), 2);
    QCOMPARE(f.count(QStringLiteral("select count(*) from login1")), 3);
}

void TestTxtwh::fullInitialisation()
{
    Fixture f(QStringLiteral("bob"));
    QVERIFY(f.ready());
    Txtwh& w = *f.window;
    f.populate();
    w.RadioButton1->click();
    w.BitBtn_userlist->click();
    const QStringList categories = f.lines(w.ListBox1);
    const QStringList users = f.lines(w.ListBox2);
    QCOMPARE(users.size(), 3);
    f.book.takeStatements();

    QString firstCopy;
    for (int run = 1; run <= 2; ++run) {
        f.messages().clear();
        w.BitBtn_csh->click();
        QCOMPARE(f.messages().infos, QStringList{QStringLiteral("系统初始化完成！")});
        QStringList statements;
        for (const InitialisationStep& step : resetSteps())
            statements << step.statement;
        QCOMPARE(f.book.takeStatements(), statements);
        for (const AddedTable& table : addedTables())
            if (table.emptiedByReset)
                QCOMPARE(f.count(QStringLiteral("select count(*) from ") + table.name), 0);
        QCOMPARE(f.count(QStringLiteral("select count(*) from srb")), 0);
        QCOMPARE(f.count(QStringLiteral("select count(*) from zcb")), 0);
        QCOMPARE(f.count(QStringLiteral("select count(*) from bmb")), 0);
        QCOMPARE(f.book
                     .value(QStringLiteral("select group_concat(user1||'/'||pwd1||'/'||priv1) "
                                           "from login1"))
                     .toString(),
                 QStringLiteral("admin/tovek/111"));
        // One safety copy per run, never overwriting the one before.
        QCOMPARE(f.backups().size(), run);
        if (run == 1)
            firstCopy = QDir(backupFolder(f.book.path())).filePath(f.backups().first());
    }
    // The lists stay as they were until they are read again.
    QCOMPARE(f.lines(w.ListBox1), categories);
    QCOMPARE(f.lines(w.ListBox2), users);
    w.BitBtn_userlist->click();
    QCOMPARE(f.lines(w.ListBox2), QStringList{QStringLiteral("admin")});

    // The first copy holds the book as it was before the reset: entries, categories, users.
    QCOMPARE(AnotherProgram(firstCopy).column(QStringLiteral(
                 "select ((select count(*) from srb) + (select count(*) from zcb)) || '/' || "
                 "(select count(*) from bmb) || '/' || (select count(*) from login1)")),
             QStringList{QStringLiteral("2/2/3")});
}

void TestTxtwh::failingStepKeepsNothing_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("lock");
    const QString trigger = QStringLiteral(
        "create trigger locked before %1 on %2 begin select raise(abort,'locked'); end");
    QTest::newRow("1 srb") << 0 << trigger.arg(QStringLiteral("delete"), QStringLiteral("srb"));
    QTest::newRow("2 zcb") << 1 << trigger.arg(QStringLiteral("delete"), QStringLiteral("zcb"));
    QTest::newRow("3 bmb") << 2 << trigger.arg(QStringLiteral("delete"), QStringLiteral("bmb"));
    QTest::newRow("4 login1") << 3
                              << trigger.arg(QStringLiteral("delete"), QStringLiteral("login1"));
    QTest::newRow("5 insert") << 4
                              << trigger.arg(QStringLiteral("insert"), QStringLiteral("login1"));
    QTest::newRow("1 table gone") << 0 << QStringLiteral("drop table srb");
}

void TestTxtwh::failingStepKeepsNothing()
{
    QFETCH(int, step);
    QFETCH(QString, lock);
    Fixture f;
    QVERIFY(f.ready());
    f.populate();
    f.book.exec(lock);
    f.window->BitBtn_csh->click();

    // The step's own message, the engine's words beneath it; the steps before it
    // are undone with it, so every user can still sign in.
    const QList<InitialisationStep>& steps = initialisationSteps();
    QCOMPARE(f.messages().infos, QStringList{steps.at(step).failureMessage});
    QVERIFY(!f.messages().details.first().isEmpty());
    QStringList ran;
    for (int i = 0; i <= step; ++i)
        ran << steps.at(i).statement;
    QCOMPARE(f.book.takeStatements(), ran);
    if (!lock.startsWith(QStringLiteral("drop")))
        QCOMPARE(f.count(QStringLiteral("select count(*) from srb")), 1);
    QCOMPARE(f.count(QStringLiteral("select count(*) from zcb")), 1);
    QCOMPARE(f.count(QStringLiteral("select count(*) from bmb")), 2);
    QCOMPARE(f.count(QStringLiteral("select count(*) from login1")), 3);
    QCOMPARE(f.backups().size(), 1);
}

void TestTxtwh::safetyCopyFailureStopsInitialisation()
{
    Fixture f;
    QVERIFY(f.ready());
    f.populate();
    {
        // Another program holds the book exclusively: no copy can be read.
        AnotherProgram other(f.book.path());
        QVERIFY(other.exec("begin exclusive"));

        f.window->BitBtn_csh->click();
        QCOMPARE(f.messages().questions.size(), 1);
        QCOMPARE(f.messages().infos.size(), 1);
        const QString message = f.messages().infos.first();
        QVERIFY2(message.startsWith(
                     QStringLiteral("系统初始化未进行：无法写入数据库的安全副本！\n文件：")),
                 qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("\n原因：")), qPrintable(message));
        QVERIFY(f.book.takeStatements().isEmpty());
    }
    QVERIFY(f.backups().isEmpty());
    QVERIFY(QDir(backupFolder(f.book.path()))
                .entryList({QStringLiteral("*vandrel-*")}, QDir::Files | QDir::Hidden)
                .isEmpty());
    QCOMPARE(f.count(QStringLiteral("select count(*) from srb")), 1);
    QCOMPARE(f.count(QStringLiteral("select count(*) from login1")), 3);
}

void TestTxtwh::compactionShrinksAndKeepsEveryEntry()
{
    Fixture f;
    QVERIFY(f.ready());
    f.populateWithGaps(3000);
    const QString rows = f.allRows();
    const qint64 before = f.bookSize();

    f.messages().answers = {false};
    f.window->BitBtn_yasuo->click();
    QCOMPARE(f.messages().questions,
             QStringList{QStringLiteral("是否压缩数据库？压缩前将自动保存数据库的安全副本。")});
    QVERIFY(f.messages().infos.isEmpty());
    QVERIFY(f.book.takeStatements().isEmpty());
    QVERIFY(f.backups().isEmpty());

    f.window->BitBtn_yasuo->click();
    const qint64 after = f.bookSize();
    QVERIFY2(after < before * 2 / 3, qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(after)));
    QCOMPARE(f.messages().infos, QStringList{compactionDoneMessage(before, after)});
    QCOMPARE(f.book.takeStatements(), QStringList{QStringLiteral("vacuum")});
    QCOMPARE(f.allRows(), rows);
    // The copy is the book as it was before (with the few pages of its summary).
    QCOMPARE(f.backups().size(), 1);
    const qint64 copySize =
        QFileInfo(QDir(backupFolder(f.book.path())).filePath(f.backups().first())).size();
    QVERIFY2(copySize >= before && copySize <= before + 2 * 4096,
             qPrintable(QStringLiteral("%1 / %2").arg(copySize).arg(before)));
}

void TestTxtwh::compactionWithTheBookWindowOpenOnALongListing()
{
    Fixture f;
    QVERIFY(f.ready());
    f.book.exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('S','01','工资')"));
    f.addIncome(1000);
    Tszgl book(f.book.context());
    book.show();
    book.findChild<QRadioButton*>(QStringLiteral("RadioButton_cx_sr"))->click();
    book.findChild<QDateEdit*>(QStringLiteral("DateTimePicker_cx1"))->setDate(QDate(2005, 11, 1));
    book.findChild<QDateEdit*>(QStringLiteral("DateTimePicker_cx2"))->setDate(QDate(2005, 11, 30));
    auto* search = book.findChild<QPushButton*>(QStringLiteral("BitBtn_cx"));
    auto* count = book.findChild<QLabel*>(QStringLiteral("Label_count"));
    search->click();
    QCOMPARE(count->text(), QStringLiteral("共 1000 条记录  "));

    f.messages().clear();
    f.window->BitBtn_yasuo->click();
    QCOMPARE(f.messages().errors, QStringList());
    QVERIFY2(oneStartingWith(f.messages().infos, QStringLiteral("数据库压缩完成！")),
             qPrintable(f.messages().infos.join(QLatin1Char('\n'))));

    // The listing goes on: scrolled to its end, its last entry deleted, searched again.
    auto* grid = book.findChild<QTableView*>(QStringLiteral("DBGrid1"));
    QAbstractItemModel* model = grid->model();
    grid->scrollToBottom();
    while (model->canFetchMore(QModelIndex()))
        model->fetchMore(QModelIndex());
    QCOMPARE(model->rowCount(), 1000);
    grid->setCurrentIndex(model->index(999, 0));
    const qint64 last = model->index(999, 0).data().toLongLong();
    book.findChild<QPushButton*>(QStringLiteral("BitBtn_del"))->click();
    QCOMPARE(f.messages().infos.last(), QStringLiteral("数据删除成功！"));
    QCOMPARE(f.count(QStringLiteral("select count(*) from srb where uid=%1").arg(last)), 0);
    QCOMPARE(count->text(), QStringLiteral("共 999 条记录  "));
    QCOMPARE(f.messages().errors, QStringList());
}

void TestTxtwh::compactionWithoutSafetyCopyChangesNothing()
{
    Fixture f;
    QVERIFY(f.ready());
    f.populateWithGaps(500);
    const QString rows = f.allRows();
    const qint64 before = f.bookSize();
    // A file stands where the folder of the copies would go.
    writeFile(backupFolder(f.book.path()), "not a folder");
    f.book.takeStatements();

    f.window->BitBtn_yasuo->click();
    QVERIFY2(
        oneStartingWith(f.messages().infos,
                        QStringLiteral("数据库压缩未进行：无法写入数据库的安全副本！\n文件：")),
        qPrintable(f.messages().infos.join(QLatin1Char('\n'))));
    QVERIFY(f.book.takeStatements().isEmpty());
    QCOMPARE(f.bookSize(), before);
    QCOMPARE(f.allRows(), rows);
}

void TestTxtwh::compactionRefusedWhileAnotherProgramReadsChangesNothing()
{
    Fixture f;
    QVERIFY(f.ready());
    f.populateWithGaps(500);
    const QString rows = f.allRows();
    const qint64 before = f.bookSize();
    {
        // Another program in the middle of reading the book.
        AnotherProgram reader(f.book.path());
        QVERIFY(reader.exec("begin; select count(*) from srb"));

        f.window->BitBtn_yasuo->click();
        QVERIFY2(oneStartingWith(f.messages().infos, QStringLiteral("数据库压缩失败！")),
                 qPrintable(f.messages().infos.join(QLatin1Char('\n'))));
    }
    QCOMPARE(f.bookSize(), before);
    QCOMPARE(f.allRows(), rows);
}

QTEST_MAIN(TestTxtwh)
#include "test_txtwh.moc"
