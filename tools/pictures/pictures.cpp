// Draws the login dialog, the four windows and the budget dialog over a sample
// book, each after a typical action, the remark search, the table export's
// dialog and the charts' print preview, into PNG files for the README:
//   scripts/pictures                  (builds, runs this under Xvfb, writes docs/)
//   pictures <folder> [--stay]        (--stay keeps the program open for a look)
// Run it on the xcb platform: frames and fonts are then the ones a user sees.

#include "app/mainform.h"
#include "app/taboutbox.h"
#include "app/tform6.h"
#include "import/tdrzd.h"
#include "safety/backups.h"
#include "safety/tbfhf.h"
#include "samplebook.h"
#include "testsupport.h"
#include "ui/qttranslations.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {

template <typename T> T* child(const QWidget* parent, const char* name)
{
    T* w = parent->findChild<T*>(QLatin1String(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}

QWidget* form(const TMainForm& main, const char* name)
{
    for (QMdiSubWindow* sub : main.mdiArea()->subWindowList())
        if (sub->widget() && sub->widget()->objectName() == QLatin1String(name))
            return sub->widget();
    qFatal("no window %s", name);
}

// What the screen shows of the window, frames of the child windows included.
bool save(QWidget* window, const QString& path)
{
    QTest::qWait(300); // let the window system and the charts finish drawing
    QImage image = window->screen()->grabWindow(window->winId()).toImage();
    if (image.isNull())
        image = window->grab().toImage();
    QImageWriter writer(path, "png");
    writer.setQuality(0); // the smallest file; PNG stays lossless
    if (!writer.write(image.convertToFormat(QImage::Format_RGB888))) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path),
                     qPrintable(writer.errorString()));
        return false;
    }
    std::printf("%s\n", qPrintable(QFileInfo(path).absoluteFilePath()));
    return true;
}

// The screen where the window stands, a dialog over it included.
bool saveScreen(QWidget* window, const QString& path)
{
    QTest::qWait(300);
    const QRect area = window->frameGeometry();
    const QImage image =
        window->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
    QImageWriter writer(path, "png");
    writer.setQuality(0);
    if (image.isNull() || !writer.write(image.convertToFormat(QImage::Format_RGB888))) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(QFileInfo(path).absoluteFilePath()));
    return true;
}

// Runs picture on the modal dialog that the next step opens, then closes it.
void onNextDialog(std::function<void(QDialog*)> picture)
{
    QTimer::singleShot(0, qApp, [picture] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            qFatal("no dialog opened");
        picture(dialog);
        dialog->reject();
    });
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QDir out(args.size() > 1 && !args.at(1).startsWith(QLatin1String("--"))
                       ? args.at(1)
                       : QStringLiteral("docs"));
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        std::fprintf(stderr, "pictures: the %s platform draws no real frames; use xcb\n",
                     qPrintable(QGuiApplication::platformName()));
    QApplication::setWindowIcon(QIcon(programIcon(64)));
    installQtTranslations(app);
    QDir().mkpath(out.absolutePath());

    TestBook book;
    fillSampleBook(book);
    book.exec(QStringLiteral("insert into login1(user1,pwd1,priv1) values('李华','lihua','110')"));
    book.exec(QStringLiteral("insert into login1(user1,pwd1,priv1) values('guest','guest','010')"));
    // Budgets of December 2026, two of them spent beyond.
    const std::pair<const char*, int> budgets[] = {{"01", 2000}, {"02", 3800}, {"03", 500},
                                                   {"04", 300},  {"05", 0},    {"06", 250}};
    for (const auto& [code, yuan] : budgets)
        book.exec(QStringLiteral("insert into yss(lb,yf,je) values('%1','202612',%2)")
                      .arg(QLatin1String(code))
                      .arg(yuan * 100));
    // The login dialog tiles pic.bmp from the working folder, as in a user's.
    const QString oldDir = QDir::currentPath();
    QFile::copy(QStringLiteral(PELMORA_SOURCE_DIR "/resources/pic.bmp"),
                QDir(book.dir()).filePath(QStringLiteral("pic.bmp")));
    QDir::setCurrent(book.dir());

    TMainForm main(book.messages(), book.path());
    TForm6 login(main, book.messages(), book.path());
    login.show();
    if (!QTest::qWaitForWindowExposed(&login))
        return 1;
    typeText(child<QLineEdit>(&login, "Edit_user"), QStringLiteral("admin"));
    typeText(child<QLineEdit>(&login, "Edit_pwd"), QStringLiteral("tovek"));
    bool ok = save(&login, out.filePath(QStringLiteral("login.png")));

    child<QPushButton>(&login, "BitBtn1")->click();
    if (!QTest::qWaitForWindowExposed(&main))
        return 1;

    // The book: an income search over the sample year, with its listing.
    main.menuEntry(TMainForm::SZGL)->trigger();
    QWidget* szgl = form(main, "szgl");
    // Fixed dates throughout, so that the pictures change only with the windows.
    child<QDateEdit>(szgl, "DateTimePicker_lr")->setDate(QDate(2026, 12, 20));
    child<QRadioButton>(szgl, "RadioButton_cx_sr")->click();
    child<QDateEdit>(szgl, "DateTimePicker_cx1")->setDate(QDate(2026, 1, 1));
    child<QDateEdit>(szgl, "DateTimePicker_cx2")->setDate(QDate(2026, 12, 31));
    child<QPushButton>(szgl, "BitBtn_cx")->click();
    ok = save(&main, out.filePath(QStringLiteral("book.png"))) && ok;

    // The year's expenses whose remark holds 超市, then the table export's dialog.
    child<QRadioButton>(szgl, "RadioButton_cx_zc")->click();
    child<QLineEdit>(szgl, "Edit_cx_sm")->setText(QStringLiteral("超市"));
    child<QPushButton>(szgl, "BitBtn_cx")->click();
    ok = save(&main, out.filePath(QStringLiteral("remark.png"))) && ok;
    onNextDialog([&](QDialog* dialog) {
        // Its list of file types open: CSV and XLSX.
        if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
            types->showPopup();
        ok = saveScreen(&main, out.filePath(QStringLiteral("table.png"))) && ok;
    });
    child<QPushButton>(szgl, "BitBtn_table")->click();
    child<QRadioButton>(szgl, "RadioButton_cx_sr")->click();
    child<QLineEdit>(szgl, "Edit_cx_sm")->clear();
    child<QPushButton>(szgl, "BitBtn_cx")->click();

    // The analysis window after a chart run over the same year.
    main.menuEntry(TMainForm::FXTB)->trigger();
    QWidget* fxtb = form(main, "fxtb");
    child<QDateEdit>(fxtb, "DateTimePicker1")->setDate(QDate(2026, 1, 1));
    child<QDateEdit>(fxtb, "DateTimePicker2")->setDate(QDate(2026, 12, 31));
    child<QPushButton>(fxtb, "BitBtn1")->click();
    child<QPushButton>(fxtb, "BitBtn1")->setFocus();
    ok = save(&main, out.filePath(QStringLiteral("analysis.png"))) && ok;

    // The budget dialog that "预算" opens there, for December of the sample year.
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog)
            qFatal("no budget dialog");
        child<QDateEdit>(dialog, "Date_month")->setDate(QDate(2026, 12, 1));
        ok = save(dialog, out.filePath(QStringLiteral("budget.png"))) && ok;
        dialog->close();
    });
    child<QPushButton>(fxtb, "BitBtn_budget")->click();

    // The print preview of the charts' page, as the PDF holds it too.
    onNextDialog([&](QDialog* preview) {
        preview->resize(1000, 760);
        ok = save(preview, out.filePath(QStringLiteral("print.png"))) && ok;
    });
    child<QPushButton>(fxtb, "BitBtn_print")->click();

    // The maintenance window with the income categories and the users listed.
    main.menuEntry(TMainForm::XTWH)->trigger();
    QWidget* xtwh = form(main, "xtwh");
    child<QRadioButton>(xtwh, "RadioButton1")->click();
    child<QPushButton>(xtwh, "BitBtn_userlist")->click();
    ok = save(&main, out.filePath(QStringLiteral("maintenance.png"))) && ok;

    // 备份与恢复 over the maintenance window, with copies of fixed moments only
    // (the automatic copy of this sign-in goes) and a copy an older version wrote
    // beside the book.
    const QDateTime december(QDate(2026, 12, 1), QTime(20, 15, 3));
    Database& database = main.context().database();
    QDir(backupFolder(book.path())).removeRecursively();
    for (int day = 0; day < 3; ++day)
        writeBackup(database, CopyReason::Auto, december.addDays(day * 3));
    writeBackup(database, CopyReason::Compact, december.addDays(5).addSecs(3600));
    writeBackup(database, CopyReason::Manual, december.addDays(8).addSecs(-7200));
    QFile::copy(book.path(),
                QDir(book.dir()).filePath(QStringLiteral("vandrel-backup-20261115-093000.mdb")));
    Tbfhf backups(main.context(), xtwh);
    backups.setWindowModality(Qt::NonModal);
    backups.show();
    backups.Grid_backups->selectRow(2);
    if (!QTest::qWaitForWindowExposed(&backups))
        return 1;
    ok = save(&backups, out.filePath(QStringLiteral("backups.png"))) && ok;
    backups.close();

    // The about panel over the maximised book window.
    main.menuEntry(TMainForm::SZGL)->trigger();
    main.menuEntry(TMainForm::N1)->trigger();
    ok = save(&main, out.filePath(QStringLiteral("about.png"))) && ok;

    // The import dialog after the preview of a 支付宝 statement of December; the
    // cinema ticket matches an entry of the book (疑似重复).
    {
        const QString statement = QDir(book.dir()).filePath(QStringLiteral("支付宝交易明细.csv"));
        QFile file(statement);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(QStringLiteral(
                           "支付宝交易记录明细查询\n起始时间：[2026-12-01 00:00:00]    "
                           "终止时间：[2026-12-31 23:59:59]\n"
                           "交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,"
                           "交易状态,交易订单号,商家订单号,备注\n"
                           "2026-12-28 19:02:11,餐饮美食,海底捞,/,晚餐,支出,386.00,花呗,交易成功,"
                           "2026122822001401,,\n"
                           "2026-12-27 08:15:40,交通出行,滴滴出行,/,快车,支出,23.50,余额宝,"
                           "交易成功,2026122722001402,,\n"
                           "2026-12-26 12:30:02,日用百货,盒马鲜生,/,蔬菜水果,支出,68.90,花呗,"
                           "交易成功,2026122622001403,,\n"
                           "2026-12-25 20:11:45,转账红包,李华,/,圣诞红包,收入,200.00,余额,"
                           "交易成功,2026122522001404,,\n"
                           "2026-12-24 10:00:00,信用借还,花呗,/,花呗还款,不计收支,1200.00,余额宝,"
                           "还款成功,2026122422001405,,\n"
                           "2026-12-23 15:22:10,服饰装扮,优衣库,/,羽绒服,支出,499.00,花呗,"
                           "交易关闭,2026122322001406,,\n"
                           "2026-12-21 18:40:00,餐饮美食,瑞幸咖啡,/,生椰拿铁,支出,15.90,余额,"
                           "交易成功,2026122122001407,,\n"
                           "2026-12-17 19:30:00,文化休闲,万达影城,/,电影票,支出,300.00,花呗,"
                           "交易成功,2026121722001408,,\n")
                           .toUtf8()) < 0 ||
            !file.flush())
            return 1;
        file.close();
        main.menuEntry(TMainForm::SZGL)->trigger();
        Tdrzd dialog(book.context(), form(main, "szgl"));
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog))
            return 1;
        // Relative to the working folder, as a user may type it.
        child<QLineEdit>(&dialog, "Edit_file")->setText(QFileInfo(statement).fileName());
        child<QPushButton>(&dialog, "BitBtn_preview")->click();
        child<QTableView>(&dialog, "Grid_preview")->setFocus();
        ok = save(&dialog, out.filePath(QStringLiteral("import.png"))) && ok;
    }

    if (!book.messages().all().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(book.messages().all().join(QLatin1Char('\n'))));
        ok = false;
    }
    if (args.contains(QStringLiteral("--stay")))
        app.exec();
    QDir::setCurrent(oldDir);
    return ok ? 0 : 1;
}
