// Shows the book window over a small sample book and saves a picture of it:
//   book_shot out.png
#include "book/tszgl.h"
#include "store/context.h"
#include "store/database.h"
#include "store/messages.h"
#include "store/query.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

namespace {

class NoMessages final : public Messages
{
public:
    void info(const QString&) override {}
    bool ask(const QString&) override { return true; }
    void error(const QString& text) override { qWarning("%s", qPrintable(text)); }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("vandrel.mdb"));
    createDatabase(path);
    NoMessages messages;
    Context context(path, messages);
    Query q(context.database());
    const char* rows[] = {"insert into bmb(sz,lb,bmmc) values('S','01','工资')",
                          "insert into bmb(sz,lb,bmmc) values('S','02','奖金')",
                          "insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                          "values(#2005-11-05#,'01','工资',3500,'十一月','200511')",
                          "insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                          "values(#2005-11-20#,'02','奖金',12.5,'季度奖','200511')",
                          "insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                          "values(#2005-11-02#,'01','工资',0.5,'补发十月的零头','200511')"};
    for (const char* sql : rows) {
        q.setText(QString::fromUtf8(sql));
        q.exec();
    }
    Tszgl w(context);
    w.resize(1014, 682);
    w.show();
    w.findChild<QRadioButton*>(QStringLiteral("RadioButton_cx_sr"))->click();
    w.findChild<QDateEdit*>(QStringLiteral("DateTimePicker_cx1"))->setDate(QDate(2005, 11, 1));
    w.findChild<QDateEdit*>(QStringLiteral("DateTimePicker_cx2"))->setDate(QDate(2005, 11, 30));
    w.findChild<QPushButton*>(QStringLiteral("BitBtn_cx"))->click();
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("book.png");
    QTimer::singleShot(500, &w, [&] {
        w.grab().save(out);
        app.quit();
    });
    return app.exec();
}
