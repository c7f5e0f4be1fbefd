#include "book/tszgl.h"
#include "store/gbk.h"
#include "store/listingmodel.h"
#include "store/numbers.h"
#include "store/query.h"
#include "testsupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQueryModel>
#include <QStringDecoder>
#include <QTableView>
#include <QTest>
#include <memory>

namespace {

const QDate kToday = QDate::currentDate();
const QString kNewEntries = QStringLiteral("收支录入|保存");

QString income(const QString& date, const QString& code, const QString& name, const QString& amount,
               const QString& remark)
{
    return QStringLiteral(
               "insert into srb(srrq,srlb,srmc,srje,srsm,srsq) values(#%1#,'%2','%3',%4,'%5','%6')")
        .arg(date, code, name, amount, remark, date.left(4) + date.mid(5, 2));
}

QString expense(const QString& date, const QString& code, const QString& name,
                const QString& amount, const QString& remark)
{
    QString s = income(date, code, name, amount, remark);
    return s.replace(QStringLiteral("srb(sr"), QStringLiteral("zcb(zc"))
        .replace(QStringLiteral(",sr"), QStringLiteral(",zc"));
}

QStringList startingWith(const QStringList& statements, const QString& head)
{
    QStringList out;
    for (const QString& s : statements)
        if (s.startsWith(head))
            out << s;
    return out;
}

} // namespace

class TestTszgl : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture<Tszgl>> f;
    TestBook* book = nullptr;
    Tszgl* w = nullptr;

    template <typename T> T* get(const char* name) { return f->child<T>(name); }
    QPushButton* btn(const char* name) { return get<QPushButton>(name); }
    QLineEdit* edit(const char* name) { return get<QLineEdit>(name); }
    QComboBox* combo(const char* name) { return get<QComboBox>(name); }
    QDateEdit* date(const char* name) { return get<QDateEdit>(name); }
    QRadioButton* radio(const char* name) { return get<QRadioButton>(name); }
    QTableView* grid() { return get<QTableView>("DBGrid1"); }
    QStringList& infos() { return book->messages().infos; }
    // Files are written into the book's folder.
    QString inBook(const QString& name) const { return QDir(book->dir()).filePath(name); }
    int count(const char* table)
    {
        return book->value(QStringLiteral("select count(*) from %1").arg(QLatin1String(table)))
            .toInt();
    }

    void fillEntry(int item, const QString& amount, const QString& remark)
    {
        combo("ComboBox_lr_lb")->setCurrentIndex(item);
        edit("Edit_lr_je")->setText(amount);
        edit("Memo_lr_sm")->setText(remark);
    }
    void setRange(const QDate& from, const QDate& to)
    {
        date("DateTimePicker_cx1")->setDate(from);
        date("DateTimePicker_cx2")->setDate(to);
    }
    QStringList captions()
    {
        QStringList out;
        for (int i = 0; i < 7; ++i)
            out << grid()->model()->headerData(i, Qt::Horizontal).toString();
        return out;
    }
    // Seeds a November 2005 income book: uid 1 (11-05, 3500), 2 (11-20, 12.5), 3 (11-02, 0.5).
    void seedNovember()
    {
        book->exec(income(QStringLiteral("2005-11-05"), QStringLiteral("01"),
                          QStringLiteral("工资"), QStringLiteral("3500"),
                          QStringLiteral("十一月")));
        book->exec(income(QStringLiteral("2005-11-20"), QStringLiteral("02"),
                          QStringLiteral("奖金"), QStringLiteral("12.5"), QStringLiteral("季度")));
        book->exec(income(QStringLiteral("2005-11-02"), QStringLiteral("01"),
                          QStringLiteral("工资"), QStringLiteral("0.5"), QStringLiteral("补发")));
    }
    // Income entries n = 1..rows, one a day from 2000-01-01: amount n, remark "r<n>".
    void seedDays(int rows)
    {
        book->addIncomes(rows, QStringLiteral("date('2000-01-01', '+' || (n - 1) || ' days')"),
                         QStringLiteral("n"), QStringLiteral("'r' || n"));
    }
    // How the entry group takes its input: its title and the save button's text.
    QString entryMode()
    {
        return get<QGroupBox>("GroupBox_lr")->title() + QLatin1Char('|') +
               btn("BitBtn_save")->text();
    }
    // The entry boxes: date, category, amount, remark.
    QString entryBoxes()
    {
        return QStringList{date("DateTimePicker_lr")->date().toString(Qt::ISODate),
                           combo("ComboBox_lr_lb")->currentText(), edit("Edit_lr_je")->text(),
                           edit("Memo_lr_sm")->text()}
            .join(QLatin1Char('|'));
    }
    bool kindChoosable()
    {
        return radio("RadioButton_lr_sr")->isEnabled() && radio("RadioButton_lr_zc")->isEnabled();
    }
    void searchIncomeDays()
    {
        radio("RadioButton_cx_sr")->click();
        setRange(QDate(2000, 1, 1), QDate(2030, 12, 31));
        btn("BitBtn_cx")->click();
    }
    // Shows a row of the grid as a user scrolling to it would.
    void scrollTo(int row)
    {
        grid()->scrollTo(grid()->model()->index(row, 0));
        grid()->viewport()->repaint();
        QCoreApplication::processEvents();
    }
    void searchIncomeNovember()
    {
        radio("RadioButton_cx_sr")->click();
        setRange(QDate(2005, 11, 1), QDate(2005, 11, 30));
        btn("BitBtn_cx")->click();
    }

private Q_SLOTS:
    void init()
    {
        f = std::make_unique<WindowFixture<Tszgl>>();
        book = &f->book;
        for (const char* row :
             {"'S','01','工资'", "'S','02','奖金'", "'Z','02','交通'", "'Z','01','餐饮'"})
            book->exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values(%1)")
                           .arg(QString::fromUtf8(row)));
        w = &f->create();
        QVERIFY(f->show());
    }

    void cleanup() { f.reset(); }

    void initialState()
    {
        QCOMPARE(w->objectName(), QStringLiteral("szgl"));
        QCOMPARE(w->windowTitle(), QStringLiteral("收支管理"));
        QVERIFY(radio("RadioButton_lr_sr")->isChecked());
        QVERIFY(!radio("RadioButton_cx_sr")->isChecked() &&
                !radio("RadioButton_cx_zc")->isChecked());
        QCOMPARE(combo("ComboBox_lr_lb")->count(), 2);
        QCOMPARE(combo("ComboBox_lr_lb")->itemText(0), QStringLiteral("01工资"));
        QCOMPARE(combo("ComboBox_lr_lb")->currentText(), QString());
        QCOMPARE(combo("ComboBox_cx_lb")->count(), 0);
        QCOMPARE(get<QLabel>("Label_cx_lb")->text(), QStringLiteral("收入类别："));
        QCOMPARE(get<QLabel>("Label_lr_sm")->text(), QStringLiteral("收入说明：( 限100汉字 )"));
        QCOMPARE(date("DateTimePicker_cx1")->date(), kToday);
        QCOMPARE(date("DateTimePicker_lr")->date(), kToday);
        QVERIFY(!grid()->isVisible() && !grid()->isEnabled());
        QVERIFY(!btn("BitBtn_cx_txt")->isEnabled());
        QVERIFY(!btn("BitBtn_del")->isEnabled());
        QVERIFY(!btn("BitBtn_update")->isEnabled());
        QCOMPARE(btn("BitBtn_cx")->text(), QStringLiteral("查  询"));
    }

    void tabOrder()
    {
        const QStringList expected = {
            "DateTimePicker_cx1", "DateTimePicker_cx2", "Edit_cx_je",
            "BitBtn_cx",          "ComboBox_cx_lb",     "RadioButton_cx_sr",
            "RadioButton_cx_zc",  "BitBtn_cx_txt",      "DBGrid1",
            "DateTimePicker_lr",  "ComboBox_lr_lb",     "Edit_lr_je",
            "Memo_lr_sm",         "BitBtn_save",        "BitBtn_resume",
            "RadioButton_lr_sr",  "RadioButton_lr_zc",  "BitBtn_update",
            "BitBtn_del"};
        QStringList seen;
        QWidget* start = date("DateTimePicker_cx1");
        QWidget* at = start;
        do {
            if (expected.contains(at->objectName()) && !seen.contains(at->objectName()))
                seen << at->objectName();
            at = at->nextInFocusChain();
        } while (at != start);
        QCOMPARE(seen, expected);
    }

    void saveRoundsToCents_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("stored");
        QTest::newRow("tie to even down") << "0.125" << 0.12;
        QTest::newRow("tie to even up") << "0.375" << 0.38;
        QTest::newRow("lone point") << "." << 0.0;
        QTest::newRow("zero") << "0" << 0.0;
        QTest::newRow("leading zeros") << "007" << 7.0;
        QTest::newRow("trailing zeros") << "100.00" << 100.0;
        QTest::newRow("exponent that fits the box") << "1e11" << 1e11;
    }
    void saveRoundsToCents()
    {
        QFETCH(QString, typed);
        QFETCH(double, stored);
        fillEntry(0, typed, QStringLiteral("备注"));
        btn("BitBtn_save")->click();
        QCOMPARE(infos(), QStringList{QStringLiteral("数据保存成功！")});
        QCOMPARE(book->value(QStringLiteral("select srje from srb")).toDouble(), stored);
        QCOMPARE(book->value(QStringLiteral("select srsq from srb")).toString(), periodKey(kToday));
    }

    void exactInsertThroughTheWindow()
    {
        date("DateTimePicker_lr")->setDate(QDate(2005, 11, 5));
        fillEntry(0, QStringLiteral("3500"), QStringLiteral("十一月"));
        btn("BitBtn_save")->click();
        QCOMPARE(
            startingWith(book->takeStatements(), QStringLiteral("insert")),
            QStringList{QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                                       "values(#2005-11-05#,'01','工资',3500,'十一月','200511')")});
        // Ready for the next entry; saving again at once is refused.
        QCOMPARE(date("DateTimePicker_lr")->date(), kToday);
        QCOMPARE(combo("ComboBox_lr_lb")->currentIndex(), -1);
        QCOMPARE(combo("ComboBox_lr_lb")->count(), 2);
        QVERIFY(edit("Edit_lr_je")->text().isEmpty() && edit("Memo_lr_sm")->text().isEmpty());
        btn("BitBtn_save")->click();
        QCOMPARE(infos().last(), QStringLiteral("必须选择收入类别！"));
        QCOMPARE(count("srb"), 1);
    }

    void saveChecksInOrder()
    {
        radio("RadioButton_lr_zc")->click();
        edit("Edit_lr_je")->setText(QStringLiteral("5"));
        edit("Memo_lr_sm")->setText(QStringLiteral("x"));
        btn("BitBtn_save")->click();
        QCOMPARE(infos().last(),
                 QStringLiteral("必须选择收入类别！")); // income wording for both kinds
        QVERIFY(combo("ComboBox_lr_lb")->hasFocus());

        fillEntry(1, QString(), QStringLiteral("x"));
        btn("BitBtn_save")->click();
        QCOMPARE(infos().last(), QStringLiteral("必须选择收入金额！"));
        QVERIFY(edit("Edit_lr_je")->hasFocus());

        edit("Edit_lr_je")->setText(QStringLiteral("1.2.3")); // as if pasted
        btn("BitBtn_save")->click();
        QCOMPARE(infos().last(), QStringLiteral("输入的金额格式非法!"));
        QCOMPARE(edit("Edit_lr_je")->text(), QStringLiteral("1.2.3"));

        edit("Edit_lr_je")->setText(QStringLiteral("abc"));
        btn("BitBtn_save")->click();
        QCOMPARE(infos().last(), QStringLiteral("输入的金额格式非法!"));

        // Rounded, 1e14 is 15 characters: the box could show only a cut amount.
        edit("Edit_lr_je")->setText(QStringLiteral("1e14"));
        btn("BitBtn_save")->click();
        QCOMPARE(infos().last(), QStringLiteral("输入的金额格式非法!"));
        QCOMPARE(edit("Edit_lr_je")->text(), QStringLiteral("1e14"));

        fillEntry(1, QStringLiteral("12.30"), QString());
        btn("BitBtn_save")->click();
        QCOMPARE(infos().last(), QStringLiteral("必须填写备注说明！"));
        QVERIFY(edit("Memo_lr_sm")->hasFocus());
        QCOMPARE(edit("Edit_lr_je")->text(), QStringLiteral("12.3"));
        QCOMPARE(count("zcb") + count("srb"), 0);
    }

    void quotesAndChineseStoredAsTyped()
    {
        book->exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('S','03','O''K')"));
        radio("RadioButton_lr_zc")->click();
        radio("RadioButton_lr_sr")->click(); // reload with the new category
        QCOMPARE(combo("ComboBox_lr_lb")->itemText(2), QStringLiteral("03O'K"));
        fillEntry(2, QStringLiteral("1"), QStringLiteral("it's '工资'"));
        btn("BitBtn_save")->click();
        QCOMPARE(book->value(QStringLiteral("select srsm from srb where srmc='O''K'")).toString(),
                 QStringLiteral("it's '工资'"));
        QCOMPARE(book->messages().errors, QStringList());
    }

    void typedInputLimits()
    {
        QLineEdit* amount = edit("Edit_lr_je");
        amount->setFocus();
        typeText(amount, QStringLiteral("a-1,2.5e"));
        QCOMPARE(amount->text(), QStringLiteral("12.5"));
        typeText(edit("Edit_cx_je"), QStringLiteral("x9-."));
        QCOMPARE(edit("Edit_cx_je")->text(), QStringLiteral("9."));
        typeText(amount, QStringLiteral("1234567890123"));
        QCOMPARE(amount->text().size(), 12);

        QLineEdit* memo = edit("Memo_lr_sm");
        typeText(memo, QString(100, QChar(0x6C49)));
        QCOMPARE(memo->text().size(), 100);
        typeText(memo, QStringLiteral("字"));
        typeText(memo, QStringLiteral("a"));
        QCOMPARE(memo->text(), QString(100, QChar(0x6C49)));
    }

    void entryKindSwitching()
    {
        seedNovember();
        searchIncomeNovember();
        QVERIFY(grid()->isVisible());
        fillEntry(0, QStringLiteral("5"), QStringLiteral("r"));
        date("DateTimePicker_lr")->setDate(QDate(2001, 1, 1));
        radio("RadioButton_lr_zc")->click();
        QCOMPARE(get<QLabel>("Label_lr_rq")->text(), QStringLiteral("支出日期："));
        QCOMPARE(get<QLabel>("Label_lr_je")->text(), QStringLiteral("支出金额："));
        QCOMPARE(get<QLabel>("Label_lr_sm")->text(), QStringLiteral("支出说明：( 限100汉字 )"));
        QCOMPARE(combo("ComboBox_lr_lb")->itemText(0), QStringLiteral("01餐饮"));
        QVERIFY(edit("Edit_lr_je")->text().isEmpty() && edit("Memo_lr_sm")->text().isEmpty());
        QCOMPARE(date("DateTimePicker_lr")->date(), kToday);
        QVERIFY(!grid()->isVisible() && !grid()->isEnabled());
        QVERIFY(!btn("BitBtn_del")->isEnabled());
        QVERIFY(btn("BitBtn_cx_txt")->isEnabled()); // kept
        QVERIFY(!get<QLabel>("Label_count")->text().isEmpty());

        // The kind already chosen: nothing changes.
        fillEntry(1, QStringLiteral("7"), QStringLiteral("kept"));
        radio("RadioButton_lr_zc")->click();
        QCOMPARE(edit("Memo_lr_sm")->text(), QStringLiteral("kept"));
        QCOMPARE(combo("ComboBox_lr_lb")->currentIndex(), 1);

        btn("BitBtn_resume")->click();
        QVERIFY(edit("Memo_lr_sm")->text().isEmpty() && edit("Edit_lr_je")->text().isEmpty());
        QCOMPARE(combo("ComboBox_lr_lb")->currentIndex(), -1);
        QVERIFY(radio("RadioButton_lr_zc")->isChecked());
    }

    void searchStatementsCountsAndCaptions()
    {
        seedNovember();
        radio("RadioButton_cx_sr")->click();
        QCOMPARE(combo("ComboBox_cx_lb")->itemText(1), QStringLiteral("02奖金"));
        setRange(QDate(2005, 11, 1), QDate(2005, 11, 30));
        combo("ComboBox_cx_lb")->setCurrentIndex(0);
        edit("Edit_cx_je")->setText(QStringLiteral("3500"));
        book->takeStatements();
        btn("BitBtn_cx")->click();
        QCOMPARE(
            book->takeStatements(),
            QStringList(
                {QStringLiteral("select count(*),sum(srje) from srb where srrq between "
                                "#2005-11-01# and #2005-11-30# and srlb='01' and srje=3500"),
                 QStringLiteral("select * from srb where srrq between #2005-11-01# and "
                                "#2005-11-30# and srlb='01' and srje=3500 order by srrq desc")}));
        QCOMPARE(get<QLabel>("Label_count")->text(), QStringLiteral("共 1 条记录  "));
        QCOMPARE(get<QLabel>("Label_sum")->text(), QStringLiteral("合计 3500 元  "));
        QCOMPARE(combo("ComboBox_cx_lb")->currentIndex(), -1);
        QCOMPARE(edit("Edit_cx_je")->text(), QStringLiteral("3500"));

        // Repeated without choosing again: every category in the range.
        edit("Edit_cx_je")->clear();
        btn("BitBtn_cx")->click();
        QCOMPARE(get<QLabel>("Label_count")->text(), QStringLiteral("共 3 条记录  "));
        QCOMPARE(get<QLabel>("Label_sum")->text(), QStringLiteral("合计 3513 元  "));
        QCOMPARE(captions().first(), QStringLiteral("收入编号"));
        QCOMPARE(captions().last(), QStringLiteral("所属时期"));
        QVERIFY(grid()->isVisible() && grid()->isEnabled() && grid()->hasFocus());
        QCOMPARE(grid()->currentIndex().row(), 0);
        QCOMPARE(grid()->model()->index(0, 0).data().toInt(), 2); // newest first
        QCOMPARE(grid()->model()->index(2, 0).data().toInt(), 3);
        QVERIFY(btn("BitBtn_cx_txt")->isEnabled() && btn("BitBtn_del")->isEnabled());
    }

    void searchBeforeAnyKindIsAnExpenseSearch()
    {
        book->exec(expense(kToday.toString(Qt::ISODate), QStringLiteral("01"),
                           QStringLiteral("餐饮"), QStringLiteral("12.5"), QStringLiteral("午饭")));
        btn("BitBtn_cx")->click();
        QCOMPARE(captions(), QStringList({QStringLiteral("支出编号"), QStringLiteral("支出日期"),
                                          QStringLiteral("支出类别"), QStringLiteral("支出名称"),
                                          QStringLiteral("支出金额"), QStringLiteral("支出说明"),
                                          QStringLiteral("所属时期")}));
        QCOMPARE(get<QLabel>("Label_sum")->text(), QStringLiteral("合计 12.5 元  "));
        QCOMPARE(get<QLabel>("Label_cx_lb")->text(), QStringLiteral("收入类别："));
    }

    void searchChecksAndNoMatch()
    {
        seedNovember();
        searchIncomeNovember();
        // A first date after the last: refused, the listing stays.
        setRange(QDate(2005, 12, 1), QDate(2005, 11, 30));
        btn("BitBtn_cx")->click();
        QCOMPARE(infos().last(), QStringLiteral("起始时期大于终止时期！"));
        QVERIFY(date("DateTimePicker_cx1")->hasFocus());
        QVERIFY(!btn("BitBtn_cx_txt")->isEnabled());
        QVERIFY(btn("BitBtn_del")->isEnabled() && grid()->isVisible());

        // Amounts: rounded for the condition, refused when not a number, in both kinds.
        setRange(QDate(2005, 11, 5), QDate(2005, 11, 5));
        edit("Edit_cx_je")->setText(QStringLiteral("0.125"));
        book->takeStatements();
        btn("BitBtn_cx")->click();
        QVERIFY(book->takeStatements().first().endsWith(QStringLiteral(" and srje=0.12")));
        // Nothing found: grid hidden, labels cleared, category choice dropped.
        QCOMPARE(infos().last(), QStringLiteral("未发现符合条件的记录！"));
        QVERIFY(!grid()->isVisible());
        QVERIFY(get<QLabel>("Label_count")->text().isEmpty() &&
                get<QLabel>("Label_sum")->text().isEmpty());
        QVERIFY(!btn("BitBtn_cx_txt")->isEnabled());
        QVERIFY(btn("BitBtn_del")->isEnabled()); // keeps its state

        for (const char* kind : {"RadioButton_cx_zc", "RadioButton_cx_sr"}) {
            radio(kind)->click();
            edit("Edit_cx_je")->setText(QStringLiteral("1.2.3"));
            btn("BitBtn_cx")->click();
            QCOMPARE(infos().last(), QStringLiteral("输入的金额格式非法!"));
            QVERIFY(edit("Edit_cx_je")->hasFocus());
        }
        // Equal dates: that one day.
        edit("Edit_cx_je")->clear();
        btn("BitBtn_cx")->click();
        QCOMPARE(get<QLabel>("Label_count")->text(), QStringLiteral("共 1 条记录  "));
    }

    void queryKindSwitching()
    {
        seedNovember();
        searchIncomeNovember();
        edit("Edit_cx_je")->setText(QStringLiteral("1"));
        radio("RadioButton_cx_zc")->click();
        QCOMPARE(get<QLabel>("Label_cx_lb")->text(), QStringLiteral("支出类别："));
        QCOMPARE(combo("ComboBox_cx_lb")->itemText(0), QStringLiteral("01餐饮"));
        QCOMPARE(combo("ComboBox_cx_lb")->currentIndex(), -1);
        QVERIFY(edit("Edit_cx_je")->text().isEmpty());
        QVERIFY(get<QLabel>("Label_count")->text().isEmpty());
        QVERIFY(!grid()->isVisible() && !btn("BitBtn_del")->isEnabled() &&
                !btn("BitBtn_cx_txt")->isEnabled());
        QCOMPARE(date("DateTimePicker_cx1")->date(), QDate(2005, 11, 1));
    }

    void deletion()
    {
        seedNovember();
        radio("RadioButton_cx_sr")->click();
        setRange(QDate(2005, 11, 1), QDate(2005, 11, 30));
        combo("ComboBox_cx_lb")->setCurrentIndex(0);
        btn("BitBtn_cx")->click();
        QCOMPARE(get<QLabel>("Label_count")->text(), QStringLiteral("共 2 条记录  "));
        book->takeStatements();
        btn("BitBtn_del")->click(); // the newest listed entry: uid 1 (11-05)
        const QStringList ran = book->takeStatements();
        QCOMPARE(ran.first(), QStringLiteral("delete from srb where uid=1"));
        QVERIFY(!ran.at(1).contains(QStringLiteral("srlb"))); // the category choice was dropped
        QCOMPARE(infos().last(), QStringLiteral("数据删除成功！"));
        QCOMPARE(get<QLabel>("Label_count")->text(), QStringLiteral("共 2 条记录  "));
        QCOMPARE(book->value(QStringLiteral("select count(*) from srb where uid=1")).toInt(), 0);

        // A row chosen in the grid is the one deleted.
        grid()->setCurrentIndex(grid()->model()->index(1, 0));
        btn("BitBtn_del")->click();
        QCOMPARE(count("srb"), 1);
        QCOMPARE(book->value(QStringLiteral("select uid from srb")).toInt(), 2);

        // The only entry: success, then nothing found, grid hidden.
        infos().clear();
        btn("BitBtn_del")->click();
        QCOMPARE(infos(), QStringList({QStringLiteral("数据删除成功！"),
                                       QStringLiteral("未发现符合条件的记录！")}));
        QVERIFY(!grid()->isVisible());
        QCOMPARE(count("srb"), 0);
    }

    void deletionNeverActsOnRowsThatAreNotListedEntries()
    {
        seedNovember();
        searchIncomeNovember();
        // Nothing found: the listing object holds the totals row (count 0 in field 0).
        setRange(QDate(2004, 1, 1), QDate(2004, 1, 1));
        btn("BitBtn_cx")->click();
        QVERIFY(btn("BitBtn_del")->isEnabled());
        btn("BitBtn_del")->click();
        QCOMPARE(infos().last(), QStringLiteral("数据删除失败！"));
        QCOMPARE(count("srb"), 3);

        // Nor may the export write the totals row as a listing.
        w->BitBtn_cx_txtClick();
        QVERIFY(QDir(book->dir()).entryList({QStringLiteral("*.txt")}).isEmpty());
    }

    // Entries changed elsewhere (another window, an import) show in the listing
    // at once and silently; the window's own changes follow its own steps.
    void aListingFollowsChangesMadeElsewhere()
    {
        seedNovember();
        searchIncomeNovember();
        grid()->setCurrentIndex(grid()->model()->index(1, 0));
        Context& context = book->context();
        infos().clear();
        book->exec(income(QStringLiteral("2005-11-30"), QStringLiteral("02"),
                          QStringLiteral("奖金"), QStringLiteral("7"), QStringLiteral("年底")));
        context.announceEntries(EntryKind::Expense, nullptr); // another kind: nothing to do
        QCOMPARE(get<QLabel>("Label_count")->text(), QStringLiteral("共 3 条记录  "));
        context.announceEntries(EntryKind::Income, nullptr);
        QCOMPARE(get<QLabel>("Label_count")->text(), QStringLiteral("共 4 条记录  "));
        QCOMPARE(get<QLabel>("Label_sum")->text(), QStringLiteral("合计 3520 元  "));
        QCOMPARE(grid()->model()->index(0, 5).data().toString(), QStringLiteral("年底"));
        QCOMPARE(grid()->currentIndex().row(), 1);
        book->exec(QStringLiteral("delete from srb"));
        context.announceEntries(EntryKind::Income, nullptr);
        QVERIFY(!grid()->isVisible() && !btn("BitBtn_del")->isEnabled());
        QCOMPARE(get<QLabel>("Label_count")->text(), QString());
        QCOMPARE(infos(), QStringList());

        // A category added elsewhere is offered at once; the chosen one stays chosen.
        combo("ComboBox_lr_lb")->setCurrentIndex(1);
        book->exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('S','00','利息')"));
        context.announceCategories(nullptr);
        QCOMPARE(combo("ComboBox_lr_lb")->count(), 3);
        QCOMPARE(combo("ComboBox_lr_lb")->currentText(), QStringLiteral("02奖金"));
    }

    void editCorrectsEveryField_data()
    {
        QTest::addColumn<bool>("isIncome");
        QTest::newRow("income") << true;
        QTest::newRow("expense") << false;
    }
    void editCorrectsEveryField()
    {
        QFETCH(bool, isIncome);
        const QString kindWord = isIncome ? QStringLiteral("收入") : QStringLiteral("支出");
        const QString first = isIncome ? QStringLiteral("工资") : QStringLiteral("餐饮");
        const QString second = isIncome ? QStringLiteral("奖金") : QStringLiteral("交通");
        auto entry = isIncome ? income : expense;
        book->exec(entry(QStringLiteral("2005-11-05"), QStringLiteral("01"), first,
                         QStringLiteral("3500"), QStringLiteral("十一月")));
        book->exec(entry(QStringLiteral("2005-11-20"), QStringLiteral("02"), second,
                         QStringLiteral("12.5"), QStringLiteral("季度")));
        radio(isIncome ? "RadioButton_cx_sr" : "RadioButton_cx_zc")->click();
        setRange(QDate(2005, 11, 1), QDate(2005, 11, 30));
        btn("BitBtn_cx")->click();
        btn("BitBtn_update")->click(); // the current row: the newest, uid 2
        QVERIFY(radio(isIncome ? "RadioButton_lr_sr" : "RadioButton_lr_zc")->isChecked());
        QVERIFY(!radio("RadioButton_lr_sr")->isEnabled() &&
                !radio("RadioButton_lr_zc")->isEnabled());
        QCOMPARE(get<QLabel>("Label_lr_je")->text(), kindWord + QStringLiteral("金额："));
        QCOMPARE(combo("ComboBox_lr_lb")->count(), 2);
        QCOMPARE(entryMode(), QStringLiteral("收支录入（修改%1编号 2）|保存修改").arg(kindWord));
        QCOMPARE(entryBoxes(), QStringLiteral("2005-11-20|02%1|12.5|季度").arg(second));
        QVERIFY(grid()->isVisible());

        date("DateTimePicker_lr")->setDate(QDate(2005, 11, 21));
        combo("ComboBox_lr_lb")->setCurrentIndex(0);
        edit("Edit_lr_je")->setText(QStringLiteral("0.125"));
        edit("Memo_lr_sm")->setText(QStringLiteral("改过"));
        book->takeStatements();
        btn("BitBtn_save")->click();
        QCOMPARE(infos(), QStringList{QStringLiteral("数据修改成功！")});
        const QStringList ran = book->takeStatements();
        QString expected = QStringLiteral("update srb set srrq=#2005-11-21#,srlb='01',srmc='") +
                           first +
                           QStringLiteral("',srje=0.12,srsm='改过',srsq='200511' where uid=2");
        if (!isIncome)
            expected.replace(QStringLiteral("sr"), QStringLiteral("zc"));
        QCOMPARE(ran.first(), expected);
        QCOMPARE(ran.size(), 3); // and the search again

        // The grid and both totals show the change; the group takes new entries again.
        QCOMPARE(get<QLabel>("Label_count")->text(), QStringLiteral("共 2 条记录  "));
        QCOMPARE(get<QLabel>("Label_sum")->text(), QStringLiteral("合计 3500.12 元  "));
        QCOMPARE(grid()->model()->index(0, 0).data().toInt(), 2);
        QCOMPARE(grid()->model()->index(0, 4).data().toDouble(), 0.12);
        QCOMPARE(entryMode(), kNewEntries);
        QVERIFY(kindChoosable());
        QVERIFY(radio(isIncome ? "RadioButton_lr_sr" : "RadioButton_lr_zc")->isChecked());
        QCOMPARE(entryBoxes(), kToday.toString(Qt::ISODate) + QStringLiteral("|||"));
        QVERIFY(btn("BitBtn_update")->isEnabled());
    }

    void editRunsTheChecksOfASave()
    {
        seedNovember();
        searchIncomeNovember();
        btn("BitBtn_update")->click(); // uid 2, 12.5
        book->takeStatements();
        combo("ComboBox_lr_lb")->setCurrentIndex(-1);
        btn("BitBtn_save")->click();
        QCOMPARE(infos().last(), QStringLiteral("必须选择收入类别！"));
        QVERIFY(combo("ComboBox_lr_lb")->hasFocus());

        combo("ComboBox_lr_lb")->setCurrentIndex(0);
        edit("Edit_lr_je")->clear();
        btn("BitBtn_save")->click();
        QCOMPARE(infos().last(), QStringLiteral("必须选择收入金额！"));
        QVERIFY(edit("Edit_lr_je")->hasFocus());

        for (const char* bad : {"1.2.3", "1e14"}) {
            edit("Edit_lr_je")->setText(QString::fromLatin1(bad));
            btn("BitBtn_save")->click();
            QCOMPARE(infos().last(), QStringLiteral("输入的金额格式非法!"));
            QCOMPARE(edit("Edit_lr_je")->text(), QString::fromLatin1(bad));
        }

        edit("Edit_lr_je")->setText(QStringLiteral("12.30"));
        edit("Memo_lr_sm")->clear();
        btn("BitBtn_save")->click();
        QCOMPARE(infos().last(), QStringLiteral("必须填写备注说明！"));
        QVERIFY(edit("Memo_lr_sm")->hasFocus());
        QCOMPARE(edit("Edit_lr_je")->text(), QStringLiteral("12.3"));

        QVERIFY(startingWith(book->takeStatements(), QStringLiteral("update")).isEmpty());
        QCOMPARE(book->value(QStringLiteral("select srje from srb where uid=2")).toDouble(), 12.5);
        QCOMPARE(entryMode(), QStringLiteral("收支录入（修改收入编号 2）|保存修改"));
    }

    void entryGoneMeanwhile()
    {
        seedNovember();
        searchIncomeNovember();
        btn("BitBtn_update")->click(); // uid 2
        QVERIFY(AnotherProgram(book->path()).exec("delete from srb where uid=2"));

        book->takeStatements();
        btn("BitBtn_save")->click();
        QCOMPARE(infos(), QStringList{QStringLiteral("数据修改失败！")});
        QCOMPARE(book->takeStatements().size(), 1); // no search after it
        QCOMPARE(entryMode(), QStringLiteral("收支录入（修改收入编号 2）|保存修改"));
        QCOMPARE(edit("Memo_lr_sm")->text(), QStringLiteral("季度"));

        // The grid still lists it: deleting it deletes nothing.
        infos().clear();
        btn("BitBtn_del")->click();
        QCOMPARE(infos(), QStringList{QStringLiteral("数据删除失败！")});
        QCOMPARE(count("srb"), 2);
    }

    void editOnlyOfAListedEntry()
    {
        seedNovember();
        searchIncomeNovember();
        QVERIFY(btn("BitBtn_update")->isEnabled());

        // A search that finds nothing: "删除" keeps its state, "修改" does not.
        btn("BitBtn_cx")->click();
        QVERIFY(btn("BitBtn_update")->isEnabled());
        setRange(QDate(2004, 1, 1), QDate(2004, 1, 1));
        btn("BitBtn_cx")->click();
        QVERIFY(btn("BitBtn_del")->isEnabled() && !btn("BitBtn_update")->isEnabled());
        w->BitBtn_updateClick();
        QCOMPARE(entryMode(), kNewEntries);

        // Choosing an entry kind hides the listing.
        setRange(QDate(2005, 11, 1), QDate(2005, 11, 30));
        btn("BitBtn_cx")->click();
        radio("RadioButton_lr_zc")->click();
        QVERIFY(!btn("BitBtn_update")->isEnabled());
    }

    void editCancelledByResume()
    {
        seedNovember();
        searchIncomeNovember();
        grid()->setCurrentIndex(grid()->model()->index(1, 0)); // uid 1
        btn("BitBtn_update")->click();
        QCOMPARE(entryMode(), QStringLiteral("收支录入（修改收入编号 1）|保存修改"));
        radio("RadioButton_lr_zc")->click(); // refused while editing
        QVERIFY(radio("RadioButton_lr_sr")->isChecked());
        QCOMPARE(edit("Memo_lr_sm")->text(), QStringLiteral("十一月"));

        book->takeStatements();
        btn("BitBtn_resume")->click();
        QVERIFY(book->takeStatements().isEmpty());
        QCOMPARE(entryMode(), kNewEntries);
        QVERIFY(kindChoosable());
        QCOMPARE(entryBoxes(), kToday.toString(Qt::ISODate) + QStringLiteral("|||"));
    }

    void editKeepsARemovedCategoryAndQuotes()
    {
        book->exec(income(QStringLiteral("2005-11-07"), QStringLiteral("03"),
                          QStringLiteral("O''K"), QStringLiteral("8"), QStringLiteral("it''s")));
        searchIncomeNovember(); // category 03 is no category (any more)
        btn("BitBtn_update")->click();
        QCOMPARE(combo("ComboBox_lr_lb")->count(), 3);
        QCOMPARE(combo("ComboBox_lr_lb")->currentText(), QStringLiteral("03O'K"));
        QCOMPARE(edit("Memo_lr_sm")->text(), QStringLiteral("it's"));
        edit("Memo_lr_sm")->setText(QStringLiteral("it's '改'"));
        btn("BitBtn_save")->click();
        QCOMPARE(infos().first(), QStringLiteral("数据修改成功！"));
        QCOMPARE(book->value(QStringLiteral("select srlb||srmc||'|'||srsm from srb")).toString(),
                 QStringLiteral("03O'K|it's '改'"));
        QCOMPARE(combo("ComboBox_lr_lb")->count(), 2); // kept for that entry only
        QCOMPARE(book->messages().errors, QStringList());
    }

    void exportFile()
    {
        seedNovember();
        book->exec(income(QStringLiteral("2005-11-03"), QStringLiteral("02"),
                          QStringLiteral("奖金"), QStringLiteral("1"),
                          QStringLiteral("两行\r\n备注")));
        searchIncomeNovember();
        const QString name = QStringLiteral("收入2005-11-01--2005-11-30.txt");
        QFile old(inBook(name));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'x'));
        old.close();

        btn("BitBtn_cx_txt")->click();
        QCOMPARE(infos().last(), QStringLiteral("数据导出完成，文件名：") + name);
        QFile file(inBook(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(bytes.count("\r\n"), 3 + 4 + 6);
        QVERIFY(bytes.contains(QByteArray("--1--2005-11-05--01--\xb9\xa4\xd7\xca--3500--")));
        const QStringList lines =
            QStringDecoder("GBK").decode(bytes).operator QString().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 14); // the last CR LF ends the final line
        QCOMPARE(lines[0], name);
        QCOMPARE(lines[2],
                 QStringLiteral("--编号--日  期--类别--类别名称--金  额--备    注----------"));
        QCOMPARE(lines[3], QStringLiteral("--2--2005-11-20--02--奖金--12.5--季度"));
        QCOMPARE(lines[4], QStringLiteral("--1--2005-11-05--01--工资--3500--十一月"));
        QCOMPARE(lines[5], QStringLiteral("--4--2005-11-03--02--奖金--1--两行 备注"));
        QVERIFY(lines[9].startsWith(QStringLiteral("导出日期：") + kToday.toString(Qt::ISODate)));
        QCOMPARE(lines[10], QStringLiteral("日期范围：2005-11-01--2005-11-30"));
        QCOMPARE(lines[11], QStringLiteral("记录合计：4条     合计 3514 元  "));
        QCOMPARE(lines[12], QString(44, QLatin1Char('*')));
        // The grid is left on the last entry, which a deletion then removes.
        QCOMPARE(grid()->currentIndex().row(), 3);
        btn("BitBtn_del")->click();
        QCOMPARE(book->value(QStringLiteral("select count(*) from srb where uid=3")).toInt(), 0);

        // New dates after the search name the file and its range line.
        setRange(QDate(2005, 10, 1), QDate(2005, 12, 31));
        btn("BitBtn_cx_txt")->click();
        QVERIFY(QFile::exists(inBook(QStringLiteral("收入2005-10-01--2005-12-31.txt"))));
    }

    void exportOfALongListing()
    {
        // More rows than the grid fetches at once.
        book->exec(QStringLiteral(
            "insert into srb(srrq,srlb,srmc,srje,srsm,srsq) select '2005-11-' || "
            "printf('%02d', 1 + n % 28), '01', '工资', n, 'r' || n, '200511' from (with recursive "
            "c(n) as (select 1 union all select n + 1 from c where n < 300) select n from c)"));
        searchIncomeNovember();
        QCOMPARE(get<QLabel>("Label_count")->text(), QStringLiteral("共 300 条记录  "));
        btn("BitBtn_cx_txt")->click();
        QFile file(inBook(QStringLiteral("收入2005-11-01--2005-11-30.txt")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count("\r\n"), 3 + 300 + 6);
        QCOMPARE(grid()->currentIndex().row(), 299);

        // The grid still chooses the row that a deletion removes.
        const int chosen = grid()->model()->index(5, 0).data().toInt();
        grid()->setCurrentIndex(grid()->model()->index(5, 0));
        btn("BitBtn_del")->click();
        QCOMPARE(book->value(QStringLiteral("select count(*) from srb where uid=%1").arg(chosen))
                     .toInt(),
                 0);
        QCOMPARE(count("srb"), 299);
    }

    void exportFailureShowsTheSystemMessage()
    {
        seedNovember();
        searchIncomeNovember();
        // A folder of the file's name: the file cannot be written.
        QVERIFY(QDir(book->dir()).mkdir(QStringLiteral("收入2005-11-01--2005-11-30.txt")));
        infos().clear();
        btn("BitBtn_cx_txt")->click();
        QVERIFY(infos().isEmpty());
        QCOMPARE(book->messages().errors.size(), 1);
    }

    void exportWithoutQueryKindIsAnExpenseFile()
    {
        book->exec(expense(kToday.toString(Qt::ISODate), QStringLiteral("01"),
                           QStringLiteral("餐饮"), QStringLiteral("3"), QStringLiteral("x")));
        btn("BitBtn_cx")->click();
        btn("BitBtn_cx_txt")->click();
        const QString name = QStringLiteral("支出%1--%1.txt").arg(kToday.toString(Qt::ISODate));
        QCOMPARE(infos().last(), QStringLiteral("数据导出完成，文件名：") + name);
        QVERIFY(QFile::exists(inBook(name)));
    }

    void exportOfAListingLongerThanTheGridKeeps()
    {
        const int rows = ListingModel::pageRows * ListingModel::cachedPages + 1000;
        seedDays(rows);
        searchIncomeDays();
        QCOMPARE(grid()->model()->rowCount(), rows);
        for (int row : {rows / 2, rows - 1, 300})
            scrollTo(row);
        grid()->setCurrentIndex(grid()->model()->index(300, 0));

        btn("BitBtn_cx_txt")->click();
        const QString name = QStringLiteral("收入2000-01-01--2030-12-31.txt");
        QCOMPARE(infos().last(), QStringLiteral("数据导出完成，文件名：") + name);
        const QByteArray bytes = readFile(inBook(name));
        QStringList lines = {
            name, QString(),
            QStringLiteral("--编号--日  期--类别--类别名称--金  额--备    注----------")};
        for (int n = rows; n >= 1; --n)
            lines << QStringLiteral("--%1--%2--01--工资--%1--r%1")
                         .arg(n)
                         .arg(QDate(2000, 1, 1).addDays(n - 1).toString(Qt::ISODate));
        const QString stamp = QStringDecoder("GBK").decode(bytes).operator QString().section(
            QStringLiteral("\r\n"), rows + 5, rows + 5);
        QVERIFY(stamp.startsWith(QStringLiteral("导出日期：") + kToday.toString(Qt::ISODate)));
        lines << QString() << QString(44, QLatin1Char('*')) << stamp
              << QStringLiteral("日期范围：2000-01-01--2030-12-31")
              << QStringLiteral("记录合计：%1条     合计 %2 元  ")
                     .arg(rows)
                     .arg(qint64(rows) * (rows + 1) / 2)
              << QString(44, QLatin1Char('*'));
        QByteArray expected;
        for (const QString& line : lines)
            expected += encodeGbk(line) + "\r\n";
        QCOMPARE(bytes, expected);
        QCOMPARE(grid()->currentIndex().row(), rows - 1);
    }

    void aDamagedPageReachesTheErrorDisplay()
    {
        seedDays(3000);
        const QString copyName = QStringLiteral("vandrel-backup-20261208-153012.mdb");
        const QString copy = QDir(book->dir()).filePath(copyName);
        writeFile(copy, {});
        searchIncomeDays();
        QCOMPARE(get<QLabel>("Label_count")->text(), QStringLiteral("共 3000 条记录  "));
        QVERIFY(damageLeafPage(book->path(), QStringLiteral("srb")) > 0);
        // The grid's reading, as the user scrolls through the listing: said once.
        for (int row = 0; row < 3000; row += 100)
            scrollTo(row);
        QStringList& errors = book->messages().errors;
        const QString damaged = QStringLiteral("数据库文件已损坏");
        QVERIFY2(oneStartingWith(errors, damaged) && errors.first().contains(copy),
                 qPrintable(errors.join(QLatin1Char('\n'))));
        // An export that cannot read every row writes nothing and claims nothing.
        infos().clear();
        errors.clear();
        btn("BitBtn_cx_txt")->click();
        QVERIFY(infos().isEmpty());
        QVERIFY2(oneStartingWith(errors, damaged), qPrintable(errors.join(QLatin1Char('\n'))));
        QCOMPARE(QDir(book->dir()).entryList(QDir::Files),
                 QStringList({copyName, QStringLiteral("vandrel.mdb")}));
    }

    void aLongListingLeavesTheBookWritable()
    {
        seedDays(1000);
        searchIncomeDays();
        QVERIFY(anotherProgramWritesAtOnce(book->path()));
        scrollTo(700);
        QVERIFY(anotherProgramWritesAtOnce(book->path()));
        f->window.reset();
        settle();
        QVERIFY(anotherProgramWritesAtOnce(book->path()));
    }

    void exportOnAFullDisk()
    {
        FullDisk disk;
        if (!disk.mounted())
            QSKIP(qPrintable(disk.why()));
        seedNovember();
        searchIncomeNovember();
        const QString name = QStringLiteral("收入2005-11-01--2005-11-30.txt");
        disk.fill(name);
        book->context().setWorkFolder(disk.path());
        btn("BitBtn_cx_txt")->click();
        QVERIFY(infos().isEmpty());
        const QStringList& errors = book->messages().errors;
        QVERIFY2(errors.size() == 1 && errors.first().contains(FullDisk::fullText()),
                 qPrintable(errors.join(QLatin1Char('\n'))));
        QCOMPARE(readFile(disk.filePath(name)), FullDisk::older());
        QCOMPARE(disk.files(), QStringList({QStringLiteral("filler"), name}));
    }

    void enterKeys()
    {
        seedNovember();
        date("DateTimePicker_lr")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(combo("ComboBox_lr_lb")->hasFocus());
        date("DateTimePicker_cx1")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        QVERIFY(date("DateTimePicker_cx2")->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(edit("Edit_cx_je")->hasFocus());

        // A typed key drops the entry category list open.
        combo("ComboBox_lr_lb")->setFocus();
        QTest::keyClick(combo("ComboBox_lr_lb"), Qt::Key_A);
        QTRY_VERIFY(combo("ComboBox_lr_lb")->view()->isVisible());
        combo("ComboBox_lr_lb")->hidePopup();

        // Enter in an edit box searches, never saves.
        fillEntry(0, QStringLiteral("1"), QStringLiteral("x"));
        book->takeStatements();
        for (const char* box : {"Edit_lr_je", "Memo_lr_sm", "Edit_cx_je"})
            QTest::keyClick(edit(box), Qt::Key_Return);
        const QStringList ran = book->takeStatements();
        QCOMPARE(startingWith(ran, QStringLiteral("select count(*)")).size(), 3);
        QVERIFY(startingWith(ran, QStringLiteral("insert")).isEmpty());
        QCOMPARE(count("srb"), 3);
    }
};

QTEST_MAIN(TestTszgl)
#include "test_tszgl.moc"
