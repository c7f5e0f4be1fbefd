#include "app/mainform.h"
#include "app/tform6.h"
#include "testsupport.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// The main window and the login dialog over a fresh book.
struct Login
{
    TestBook book;
    FakeMessages messages;
    TMainForm main{messages, book.path()};
    TForm6 dialog{main, messages, book.path()};
    QLineEdit* user = dialog.findChild<QLineEdit*>(QStringLiteral("Edit_user"));
    QLineEdit* pwd = dialog.findChild<QLineEdit*>(QStringLiteral("Edit_pwd"));
    QPushButton* login = dialog.findChild<QPushButton*>(QStringLiteral("BitBtn1"));

    bool show()
    {
        dialog.show();
        return QTest::qWaitForWindowActive(&dialog);
    }
    void attempt(const QString& name, const QString& password)
    {
        user->setText(name);
        pwd->setText(password);
        login->click();
    }
    bool signedIn() const { return main.isVisible() && dialog.isHidden(); }
};

} // namespace

class TestLogin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dialogAsDesigned();
    void checksInOrder_data();
    void checksInOrder();
    void passwordsCompareExactly();
    void signingInHandsOverToTheMainWindow();
    void rightsWithholdMenuEntries_data();
    void rightsWithholdMenuEntries();
    void aQuoteInTheNameFindsNoUser();
    void aFailedLookupNeverLocksTheDialog();
    void aMissingBookIsReportedUntilItAppears();
    void keysInTheEditBoxes();
    void lookupStatement();
    void closingTheDialogEndsTheProgram_data();
    void closingTheDialogEndsTheProgram();
};

void TestLogin::dialogAsDesigned()
{
    Login l;
    QVERIFY(l.show());
    QCOMPARE(l.dialog.objectName(), QStringLiteral("Form6"));
    QCOMPARE(l.dialog.windowTitle(), QStringLiteral("PelmoraVerson1.0"));
    QVERIFY(l.user->hasFocus());
    QCOMPARE(l.pwd->echoMode(), QLineEdit::Password);
    // Every character shows as '*', typed text in blue on cream.
    l.pwd->setText(QStringLiteral("abc"));
    const QImage masked = l.pwd->grab().toImage();
    l.pwd->setEchoMode(QLineEdit::Normal);
    l.pwd->setText(QStringLiteral("***"));
    QCOMPARE(l.pwd->grab().toImage(), masked);
    l.pwd->setEchoMode(QLineEdit::Password);
    l.pwd->clear();
    for (QLineEdit* edit : {l.user, l.pwd}) {
        QCOMPARE(edit->palette().color(QPalette::Text), QColor(Qt::blue));
        QCOMPARE(edit->palette().color(QPalette::Base), QColor(0xFF, 0xFB, 0xF0));
    }
    QCOMPARE(l.dialog.findChild<QLabel*>(QStringLiteral("Label3"))->text(),
             QStringLiteral("密      码："));
    QCOMPARE(l.dialog.findChild<QPushButton*>(QStringLiteral("BitBtn2"))->text(),
             QStringLiteral("退  出"));
    // The name box holds at most 8 GBK bytes: four Chinese characters.
    typeText(l.user, QStringLiteral("管理员甲乙"));
    QCOMPARE(l.user->text(), QStringLiteral("管理员甲"));
}

void TestLogin::checksInOrder_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    textRow("both empty", "", "", "用户名不能为空！", "Edit_user");
    textRow("no name", "", "tovek", "用户名不能为空！", "Edit_user");
    textRow("no password", "admin", "", "密码不能为空！", "Edit_pwd");
    textRow("unknown user", "nobody", "tovek", "未发现指定的用户名！请重输！", "Edit_user");
    textRow("wrong password", "admin", "tovex", "密码不正确，请重输！", "Edit_pwd");
    textRow("password in other case", "admin", "TOVEK", "密码不正确，请重输！", "Edit_pwd");
}

void TestLogin::checksInOrder()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    Login l;
    QVERIFY(l.show());
    // Start with the focus elsewhere, so that the move is seen.
    l.login->setFocus();
    l.attempt(name, password);
    QCOMPARE(l.messages.all(), QStringList{message});
    QVERIFY(l.dialog.findChild<QWidget*>(focus)->hasFocus());
    QCOMPARE(l.user->text(), name); // typed texts stay
    QCOMPARE(l.pwd->text(), password);
    QVERIFY(!l.signedIn());
    // Failed attempts can be repeated without limit, then succeed.
    l.messages.clear();
    l.attempt(QStringLiteral("admin"), QStringLiteral("tovek"));
    QVERIFY(l.messages.all().isEmpty());
    QVERIFY(l.signedIn());
}

void TestLogin::passwordsCompareExactly()
{
    Login l;
    l.book.exec(QStringLiteral("insert into login1(user1,pwd1,priv1) values('blank','','111')"));
    l.book.exec(QStringLiteral("insert into login1(user1,pwd1,priv1) values('nulled',null,'111')"));
    l.book.exec(
        QStringLiteral("insert into login1(user1,pwd1,priv1) values('trail','abc ','111')"));
    QVERIFY(l.show());
    for (const char* user : {"blank", "nulled"}) {
        l.attempt(QString::fromLatin1(user), QStringLiteral("x"));
        QCOMPARE(l.messages.infos.value(0), QStringLiteral("密码不正确，请重输！"));
        l.messages.clear();
    }
    // A stored trailing blank is part of the password; a typed blank never enters the box.
    l.attempt(QStringLiteral("trail"), QStringLiteral("abc"));
    QCOMPARE(l.messages.infos.value(0), QStringLiteral("密码不正确，请重输！"));
    QVERIFY(!l.signedIn());
}

void TestLogin::signingInHandsOverToTheMainWindow()
{
    Login l;
    QVERIFY(l.show());
    QVERIFY(l.main.isHidden());
    QCOMPARE(l.main.statusPanel(1)->text(), QString());
    l.attempt(QStringLiteral("ADMIN"), QStringLiteral("tovek"));
    QVERIFY(l.messages.all().isEmpty());
    QVERIFY(l.signedIn());
    QCOMPARE(l.main.statusPanel(1)->text(), QStringLiteral("admin")); // as stored, not as typed
    QCOMPARE(l.main.context().currentUser(), QStringLiteral("admin"));
    QCOMPARE(l.dialog.userName(), QStringLiteral("admin"));
    QCOMPARE(l.dialog.rights(), QStringLiteral("111"));
    for (auto entry :
         {TMainForm::SZGL, TMainForm::FXTB, TMainForm::XTWH, TMainForm::N1, TMainForm::app_close})
        QVERIFY(l.main.menuEntry(entry)->isEnabled());
}

void TestLogin::rightsWithholdMenuEntries_data()
{
    QTest::addColumn<QVariant>("rights");
    QTest::addColumn<QList<bool>>("enabled");
    QTest::newRow("101") << QVariant(QStringLiteral("101")) << QList<bool>{true, false, true};
    QTest::newRow("000") << QVariant(QStringLiteral("000")) << QList<bool>{false, false, false};
    QTest::newRow("empty") << QVariant(QString()) << QList<bool>{true, true, true};
    QTest::newRow("absent") << QVariant() << QList<bool>{true, true, true};
    QTest::newRow("1") << QVariant(QStringLiteral("1")) << QList<bool>{true, true, true};
    QTest::newRow("a0b") << QVariant(QStringLiteral("a0b")) << QList<bool>{true, false, true};
    QTest::newRow("short 10") << QVariant(QStringLiteral("10")) << QList<bool>{true, false, true};
}

void TestLogin::rightsWithholdMenuEntries()
{
    QFETCH(QVariant, rights);
    QFETCH(QList<bool>, enabled);
    Login l;
    const QString value = rights.isNull()
                              ? QStringLiteral("null")
                              : QLatin1Char('\'') + rights.toString() + QLatin1Char('\'');
    l.book.exec(
        QStringLiteral("insert into login1(user1,pwd1,priv1) values('li','pw',%1)").arg(value));
    QVERIFY(l.show());
    l.attempt(QStringLiteral("li"), QStringLiteral("pw"));
    QVERIFY(l.signedIn());
    QCOMPARE(l.dialog.rights(), rights.toString());
    const QList<bool> actual{l.main.menuEntry(TMainForm::SZGL)->isEnabled(),
                             l.main.menuEntry(TMainForm::FXTB)->isEnabled(),
                             l.main.menuEntry(TMainForm::XTWH)->isEnabled()};
    QCOMPARE(actual, enabled);
    QVERIFY(l.main.menuEntry(TMainForm::N1)->isEnabled());
    QVERIFY(l.main.menuEntry(TMainForm::app_close)->isEnabled());
}

void TestLogin::aQuoteInTheNameFindsNoUser()
{
    Login l;
    QVERIFY(l.show());
    l.attempt(QStringLiteral("' or '1'='1"), QStringLiteral("tovek"));
    QCOMPARE(l.messages.all(), QStringList{QStringLiteral("未发现指定的用户名！请重输！")});
    QVERIFY(!l.signedIn());
    l.messages.clear();
    // A stored name with a quote is found exactly.
    l.book.exec(QStringLiteral("insert into login1(user1,pwd1,priv1) values('o''k','pw','111')"));
    l.attempt(QStringLiteral("o'k"), QStringLiteral("pw"));
    QVERIFY(l.messages.all().isEmpty());
    QCOMPARE(l.main.statusPanel(1)->text(), QStringLiteral("o'k"));
}

void TestLogin::aFailedLookupNeverLocksTheDialog()
{
    Login l;
    QVERIFY(l.show());
    // Both boxes refuse a NUL; set past them, it fails the lookup, not the next sign-in.
    for (QLineEdit* edit : {l.user, l.pwd}) {
        edit->insert(QStringLiteral("a") + QChar(0) + QStringLiteral("b"));
        QCOMPARE(edit->text(), QString());
    }
    l.attempt(QStringLiteral("ad") + QChar(0) + QStringLiteral("min"), QStringLiteral("tovek"));
    QCOMPARE(l.messages.errors.size(), 1);
    QVERIFY(l.messages.infos.isEmpty());
    QVERIFY(!l.signedIn());
    l.messages.clear();
    l.attempt(QStringLiteral("admin"), QStringLiteral("tovek"));
    QVERIFY(l.messages.all().isEmpty());
    QVERIFY(l.signedIn());
}

void TestLogin::aMissingBookIsReportedUntilItAppears()
{
    Login l;
    const QString moved = l.book.path() + QStringLiteral(".away");
    QVERIFY(QFile::rename(l.book.path(), moved));
    QVERIFY(l.show());
    l.login->setFocus();
    l.attempt(QStringLiteral("admin"), QStringLiteral("tovek"));
    QCOMPARE(l.messages.all(),
             QStringList{QStringLiteral("与数据库连接失败,请确认vandrel.mdb是否存在!")});
    QVERIFY(l.login->hasFocus());           // the focus stays
    QVERIFY(!QFile::exists(l.book.path())); // never created by the attempt
    // An empty file in its place is no book either.
    {
        QFile empty(l.book.path());
        QVERIFY(empty.open(QIODevice::WriteOnly));
    }
    l.login->click();
    QCOMPARE(l.messages.infos.size(), 2);
    QVERIFY(!l.signedIn());
    QVERIFY(QFile::remove(l.book.path()));
    QVERIFY(QFile::rename(moved, l.book.path()));
    l.messages.clear();
    l.login->click();
    QVERIFY(l.messages.all().isEmpty());
    QVERIFY(l.signedIn());
}

void TestLogin::keysInTheEditBoxes()
{
    Login l;
    QVERIFY(l.show());
    l.user->setFocus();
    QTest::keyClicks(l.user, QStringLiteral("ad min"));
    QCOMPARE(l.user->text(), QStringLiteral("admin")); // a typed blank is dropped
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(l.pwd->hasFocus());
    QTest::keyClicks(l.pwd, QStringLiteral("to vek"));
    QCOMPARE(l.pwd->text(), QStringLiteral("tovek"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    QVERIFY(l.login->hasFocus());
    QVERIFY(!l.signedIn()); // Enter never signs in
    QVERIFY(l.messages.all().isEmpty());
    // Pasted blanks are kept: the filter acts on typing only.
    l.user->insert(QStringLiteral(" "));
    QCOMPARE(l.user->text(), QStringLiteral("admin "));
    l.user->backspace();
    // Enter on the focused button presses it, as on any button.
    QTest::keyClick(l.login, Qt::Key_Return);
    QVERIFY(l.signedIn());
}

void TestLogin::lookupStatement()
{
    QCOMPARE(loginLookupSql(QStringLiteral("admin")),
             QStringLiteral("select * from login1 where user1='admin'"));
    QCOMPARE(loginLookupSql(QStringLiteral("a'b")),
             QStringLiteral("select * from login1 where user1='a''b'"));
    QCOMPARE(withheldMenuEntries(QStringLiteral("000")), QList<int>({1, 2, 3}));
    QCOMPARE(withheldMenuEntries(QStringLiteral("0000")), QList<int>({1, 2, 3}));
    QCOMPARE(withheldMenuEntries(QString()), QList<int>());
}

void TestLogin::closingTheDialogEndsTheProgram_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("exit button") << "button" << 0;
    QTest::newRow("system close") << "close" << 0;
    QTest::newRow("signing in goes on") << "login" << 7;
}

void TestLogin::closingTheDialogEndsTheProgram()
{
    QFETCH(QString, how);
    QFETCH(int, exitCode);
    // As in the program: only the dialog's own closing ends the run.
    QApplication::setQuitOnLastWindowClosed(false);
    Login l;
    QVERIFY(l.show());
    QTimer::singleShot(0, &l.dialog, [&] {
        if (how == QLatin1String("button"))
            l.dialog.findChild<QPushButton*>(QStringLiteral("BitBtn2"))->click();
        else if (how == QLatin1String("close"))
            l.dialog.close();
        else
            l.attempt(QStringLiteral("admin"), QStringLiteral("tovek"));
    });
    QTimer::singleShot(1000, [] { QCoreApplication::exit(7); }); // the run went on
    QCOMPARE(QCoreApplication::exec(), exitCode);
    QApplication::setQuitOnLastWindowClosed(true);
}

QTEST_MAIN(TestLogin)
#include "test_login.moc"
