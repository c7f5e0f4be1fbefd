#include "app/tform6.h"

#include "app/mainform.h"
#include "store/messages.h"
#include "store/sqltext.h"
#include "store/storeerror.h"
#include "ui/palette.h"
#include "ui/widgets.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

QString loginLookupSql(const QString& userName)
{
    return QStringLiteral("select * from login1 where user1='") + sqlEscape(userName) +
           QStringLiteral("'");
}

QList<int> withheldMenuEntries(const QString& rights)
{
    QList<int> entries;
    for (int position = 1; position <= 3; ++position) {
        if (position <= rights.size() && rights.at(position - 1) == QLatin1Char('0'))
            entries << position;
    }
    return entries;
}

namespace {

const char kConnectionCheck[] = "select * from login1";

int loginConnectionNumber()
{
    static int number = 0;
    return ++number;
}

} // namespace

TForm6::TForm6(TMainForm& mainForm, Messages& messages, const QString& databasePath,
               QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_mainForm(mainForm), m_messages(messages),
      m_database(QStringLiteral("login-%1").arg(loginConnectionNumber()), databasePath),
      m_query(m_database, QString::fromLatin1(kConnectionCheck))
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("PelmoraVerson1.0"));
    setWindowTextBlue(this);

    auto makeLabel = [this](const char* name, const QString& text, const QRect& place) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QString::fromLatin1(name));
        label->setGeometry(place);
        label->setAutoFillBackground(true); // each label on its own plain background
        return label;
    };
    Label1 = makeLabel("Label1", QStringLiteral("系 统 登 录"), QRect(136, 24, 105, 16));
    QFont title(QStringLiteral("新宋体"));
    title.setPixelSize(16);
    title.setBold(true);
    Label1->setFont(title);
    // 16 pixels would clip the glyphs of a 16-pixel Chinese font: the title takes
    // the size of its text instead.
    Label1->adjustSize();
    Label2 = makeLabel("Label2", QStringLiteral("用户名："), QRect(120, 64, 57, 18));
    Label3 = makeLabel("Label3", QStringLiteral("密      码："), QRect(120, 102, 65, 18));
    Label4 =
        makeLabel("Label4", QStringLiteral("初始用户 admin，密码 tovek"), QRect(120, 128, 161, 16));
    QFont small = Label4->font();
    small.setPixelSize(11);
    Label4->setFont(small);

    // Cream through the palette: a style sheet of its own would hide the password character.
    QPalette cream = palette();
    cream.setColor(QPalette::Base, QColor(0xFF, 0xFB, 0xF0));
    Edit_user = new QLineEdit(this);
    Edit_user->setObjectName(QStringLiteral("Edit_user"));
    Edit_user->setGeometry(184, 58, 81, 23);
    Edit_user->setValidator(new GbkLengthValidator(8, Edit_user));
    Edit_user->setPalette(cream);
    QFont bold = Edit_user->font();
    bold.setBold(true);
    Edit_user->setFont(bold);

    Edit_pwd = new QLineEdit(this);
    Edit_pwd->setObjectName(QStringLiteral("Edit_pwd"));
    Edit_pwd->setGeometry(184, 96, 81, 23);
    Edit_pwd->setPalette(cream);
    setPasswordCharacter(Edit_pwd, QLatin1Char('*'));
    Edit_pwd->setValidator(new GbkLengthValidator(GbkLengthValidator::NoLimit, Edit_pwd));

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton),
                              QStringLiteral("登录"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(112, 152, 65, 25);
    // Enter on a focused button presses it, as in every window.
    BitBtn1->setAutoDefault(true);

    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton),
                              QStringLiteral("退  出"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(208, 152, 65, 25);
    BitBtn2->setAutoDefault(true);

    setTabOrder(Edit_user, Edit_pwd);
    setTabOrder(Edit_pwd, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);

    for (QLineEdit* edit : {Edit_user, Edit_pwd}) {
        installCharFilter(edit, [](QChar c) { return c != QLatin1Char(' '); });
        installEnterMovesFocus(edit);
    }

    resize(309, 224);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Edit_user->setFocus();

    connect(BitBtn1, &QPushButton::clicked, this, &TForm6::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm6::BitBtn2Click);
}

TForm6::~TForm6() = default;

void TForm6::BitBtn1Click()
{
    guarded(m_messages, [this] {
        if (Edit_user->text().isEmpty()) {
            Edit_user->setFocus();
            m_messages.info(QStringLiteral("用户名不能为空！"));
            return;
        }
        if (Edit_pwd->text().isEmpty()) {
            Edit_pwd->setFocus();
            m_messages.info(QStringLiteral("密码不能为空！"));
            return;
        }
        try {
            // A failed lookup leaves its statement behind: the check runs its own,
            // so that one bad attempt cannot fail every later one.
            if (!m_query.isOpen())
                m_query.setText(QString::fromLatin1(kConnectionCheck));
            m_query.open();
        } catch (const StoreError& e) {
            m_messages.info(QStringLiteral("与数据库连接失败,请确认vandrel.mdb是否存在!"),
                            e.message());
            return;
        }
        m_query.setText(loginLookupSql(Edit_user->text()));
        m_query.open();
        if (m_query.isEmpty()) {
            Edit_user->setFocus();
            m_messages.info(QStringLiteral("未发现指定的用户名！请重输！"));
            return;
        }
        const QString stored = m_query.fieldText(QStringLiteral("pwd1"));
        if (stored.isEmpty() || stored != Edit_pwd->text()) {
            Edit_pwd->setFocus();
            m_messages.info(QStringLiteral("密码不正确，请重输！"));
            return;
        }
        m_userName = m_query.fieldText(QStringLiteral("user1"));
        m_rights = m_query.fieldText(QStringLiteral("priv1"));
        for (int position : withheldMenuEntries(m_rights))
            m_mainForm.disableMenuEntry(position);
        m_mainForm.setUserName(m_userName);
        m_mainForm.showMainWindow();
        hide();
        m_query.close();
        m_database.close(); // the dialog is never used again this run
    });
}

void TForm6::BitBtn2Click()
{
    close();
    QCoreApplication::quit();
}

void TForm6::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    // Read at every repaint, so a picture replaced while the program runs shows;
    // a missing or unreadable file leaves the plain background.
    const QPixmap picture(QStringLiteral("pic.bmp"));
    if (picture.isNull())
        return;
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, 309, 225), QBrush(picture));
}

void TForm6::closeEvent(QCloseEvent* event)
{
    event->accept();
    QCoreApplication::quit();
}
