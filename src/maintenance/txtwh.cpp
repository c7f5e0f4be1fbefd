#include "maintenance/txtwh.h"

#include "budget/budgetbook.h"
#include "safety/backups.h"
#include "safety/tbfhf.h"
#include "store/context.h"
#include "store/gbk.h"
#include "store/messages.h"
#include "store/storeerror.h"
#include "store/transaction.h"
#include "ui/palette.h"
#include "ui/progressdialog.h"
#include "ui/widgets.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QLabel* label(QWidget* parent, const QString& text)
{
    return new QLabel(text, parent);
}

QPushButton* button(QWidget* parent, const char* name, const QString& text,
                    QStyle::StandardPixmap glyph)
{
    QPushButton* b = makeButton(parent, name, text, glyph);
    b->setMinimumSize(96, 28);
    return b;
}

// The safety copy written before action changes the whole book. False, the user
// told why, when it could not be written.
bool copiedBefore(Context& context, CopyReason reason, const QString& action,
                  ProgressDialog& progress)
{
    try {
        writeBackup(context.database(), reason, QDateTime::currentDateTime(), progress.progress(),
                    [&action](const QString& copy, const QString& why) {
                        return safetyCopyFailedMessage(action, copy, why);
                    });
    } catch (const StoreError& e) {
        context.messages().info(e.message());
        return false;
    }
    return true;
}

} // namespace

Txtwh::Txtwh(Context& context, QWidget* parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("xtwh"));
    setWindowTitle(QStringLiteral("参数配置"));
    setWindowTextBlue(this);

    buildCategoryGroup();
    buildUserGroup();
    buildLowerPart();
    // The password box's style sheet (its '#') would take the application's
    // palette instead of the window's.
    setWindowTextBlue(Edit_pwd);

    auto* top = new QHBoxLayout;
    top->addWidget(GroupBox1);
    top->addWidget(GroupBox2);
    auto* lower = new QGridLayout;
    lower->addWidget(Label8, 0, 0);
    lower->addWidget(BitBtn_yasuo, 0, 1);
    lower->addWidget(Label7, 1, 0);
    lower->addWidget(BitBtn_csh, 1, 1);
    lower->addWidget(Label9, 2, 0);
    lower->addWidget(BitBtn_backup, 2, 1);
    lower->setColumnStretch(0, 1);
    lower->setVerticalSpacing(12);
    auto* page = new QVBoxLayout;
    page->addLayout(top);
    page->addSpacing(16);
    page->addLayout(lower);
    page->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(16, 16, 16, 16);
    outer->addLayout(page);
    outer->addStretch(1);

    // Tab order: category group, user group, then the lower part.
    const QList<QWidget*> order = {ListBox1,      RadioButton1,   RadioButton2,   Edit_lb,
                                   Edit_bmmc,     Button_adduser, Button_deluser, Edit_user,
                                   Edit_pwd,      CheckBox1,      CheckBox2,      CheckBox3,
                                   BitBtn_insert, BitBtn_update,  BitBtn_del,     BitBtn_userlist,
                                   ListBox2,      BitBtn_yasuo,   BitBtn_csh,     BitBtn_backup};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));

    // The window has no default button: Enter only moves on.
    for (QLineEdit* edit : {Edit_lb, Edit_bmmc, Edit_user, Edit_pwd})
        installEnterMovesFocus(edit);

    connectChecked(RadioButton1, this, [this] { RadioButton1Click(); });
    connectChecked(RadioButton2, this, [this] { RadioButton2Click(); });
    connect(Button_adduser, &QPushButton::clicked, this, &Txtwh::Button_adduserClick);
    connect(Button_deluser, &QPushButton::clicked, this, &Txtwh::Button_deluserClick);
    connect(BitBtn_insert, &QPushButton::clicked, this, &Txtwh::BitBtn_insertClick);
    connect(BitBtn_userlist, &QPushButton::clicked, this, &Txtwh::BitBtn_userlistClick);
    connect(BitBtn_del, &QPushButton::clicked, this, &Txtwh::BitBtn_delClick);
    connect(BitBtn_update, &QPushButton::clicked, this, &Txtwh::BitBtn_updateClick);
    connect(BitBtn_yasuo, &QPushButton::clicked, this, &Txtwh::BitBtn_yasuoClick);
    connect(BitBtn_csh, &QPushButton::clicked, this, &Txtwh::BitBtn_cshClick);
    connect(BitBtn_backup, &QPushButton::clicked, this, &Txtwh::BitBtn_backupClick);
}

Txtwh::~Txtwh() = default;

void Txtwh::buildCategoryGroup()
{
    GroupBox1 = named<QGroupBox>(this, "GroupBox1");
    RadioButton1 = named<QRadioButton>(GroupBox1, "RadioButton1");
    RadioButton2 = named<QRadioButton>(GroupBox1, "RadioButton2");

    Edit_lb = named<QLineEdit>(GroupBox1, "Edit_lb");
    Edit_lb->setMaxLength(2);
    Edit_lb->setFixedWidth(48);
    setDigitsOnly(Edit_lb);

    Edit_bmmc = named<QLineEdit>(GroupBox1, "Edit_bmmc");
    Edit_bmmc->setValidator(new GbkLengthValidator(8, Edit_bmmc));
    Edit_bmmc->setFixedWidth(110);

    Button_adduser = named<QPushButton>(GroupBox1, "Button_adduser");
    Button_deluser = named<QPushButton>(GroupBox1, "Button_deluser");
    for (QPushButton* b : {Button_adduser, Button_deluser}) {
        b->setAutoDefault(true);
        b->setMinimumSize(80, 28);
    }

    GroupBox1->setTitle(QStringLiteral("参数配置"));
    RadioButton1->setText(QStringLiteral("收入 ( S )"));
    RadioButton2->setText(QStringLiteral("支出 ( Z )"));
    Button_adduser->setText(QStringLiteral("增加"));
    Button_deluser->setText(QStringLiteral("删除"));
    ListBox1 = named<QListWidget>(GroupBox1, "ListBox1");
    ListBox1->setMinimumSize(380, 180);
    // The lines are laid out in columns of characters.
    QFont fixed(QStringLiteral("monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    ListBox1->setFont(fixed);

    auto* kinds = new QHBoxLayout;
    kinds->addWidget(RadioButton1);
    kinds->addSpacing(12);
    kinds->addWidget(RadioButton2);
    kinds->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button_adduser);
    buttons->addSpacing(12);
    buttons->addWidget(Button_deluser);
    buttons->addStretch(1);

    auto* grid = new QGridLayout(GroupBox1);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(10);
    grid->addWidget(label(GroupBox1, QStringLiteral("选择收支类型，进行相应的增加和删除操作 ")), 0,
                    0, 1, 3);
    grid->addWidget(label(GroupBox1, QStringLiteral("收支类型： ")), 1, 0);
    grid->addLayout(kinds, 1, 1, 1, 2);
    grid->addWidget(label(GroupBox1, QStringLiteral("类别代码： ")), 2, 0);
    grid->addWidget(Edit_lb, 2, 1);
    grid->addWidget(label(GroupBox1, QStringLiteral("类别代码为2位数字  ")), 2, 2);
    grid->addWidget(label(GroupBox1, QStringLiteral("类别名称： ")), 3, 0);
    grid->addWidget(Edit_bmmc, 3, 1);
    grid->addWidget(label(GroupBox1, QStringLiteral("类别名称不超过4个汉字或8个数字 ")), 3, 2);
    grid->addLayout(buttons, 4, 1, 1, 2);
    auto* heading = label(GroupBox1, QStringLiteral("代码 类别  名  称"));
    grid->addWidget(heading, 5, 0, 1, 3);
    grid->addWidget(ListBox1, 6, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(6, 1);
}

void Txtwh::buildUserGroup()
{
    GroupBox2 = named<QGroupBox>(this, "GroupBox2");

    Edit_user = named<QLineEdit>(GroupBox2, "Edit_user");
    Edit_user->setValidator(new GbkLengthValidator(8, Edit_user));
    Edit_user->setFixedWidth(110);

    Edit_pwd = named<QLineEdit>(GroupBox2, "Edit_pwd");
    Edit_pwd->setMaxLength(20);
    Edit_pwd->setValidator(new GbkLengthValidator(GbkLengthValidator::NoLimit, Edit_pwd));
    Edit_pwd->setFixedWidth(170);
    setPasswordCharacter(Edit_pwd, QLatin1Char('#'));
    installCharFilter(Edit_pwd, [](QChar c) { return c != QLatin1Char(' '); });

    CheckBox1 = named<QCheckBox>(GroupBox2, "CheckBox1");
    CheckBox2 = named<QCheckBox>(GroupBox2, "CheckBox2");
    CheckBox3 = named<QCheckBox>(GroupBox2, "CheckBox3");
    GroupBox2->setTitle(QStringLiteral("用户管理"));
    CheckBox1->setText(QStringLiteral("收支管理"));
    CheckBox2->setText(QStringLiteral("综合查询"));
    CheckBox3->setText(QStringLiteral("系统维护"));
    for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3})
        box->setChecked(true);

    BitBtn_insert =
        button(GroupBox2, "BitBtn_insert", QStringLiteral("添加用户"), QStyle::SP_DialogOkButton);
    BitBtn_userlist = button(GroupBox2, "BitBtn_userlist", QStringLiteral("列出用户"),
                             QStyle::SP_DialogIgnoreButton);
    BitBtn_del =
        button(GroupBox2, "BitBtn_del", QStringLiteral("删除用户"), QStyle::SP_DialogCancelButton);
    BitBtn_update = button(GroupBox2, "BitBtn_update", QStringLiteral("修改密码"),
                           QStyle::SP_DialogRetryButton);

    ListBox2 = named<QListWidget>(GroupBox2, "ListBox2");
    ListBox2->setMinimumSize(200, 180);

    auto* rights = new QHBoxLayout;
    rights->addWidget(CheckBox1);
    rights->addWidget(CheckBox2);
    rights->addWidget(CheckBox3);
    rights->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn_insert);
    buttons->addWidget(BitBtn_update);
    buttons->addWidget(BitBtn_del);
    buttons->addWidget(BitBtn_userlist);
    buttons->addStretch(1);

    auto* grid = new QGridLayout(GroupBox2);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(10);
    grid->addWidget(label(GroupBox2, QStringLiteral("用户名：")), 0, 0);
    grid->addWidget(Edit_user, 0, 1);
    grid->addWidget(label(GroupBox2, QStringLiteral("用户名最多8个字符或者四个汉字 ")), 0, 2);
    grid->addWidget(label(GroupBox2, QStringLiteral("密    码：")), 1, 0);
    grid->addWidget(Edit_pwd, 1, 1, 1, 2);
    grid->addWidget(label(GroupBox2, QStringLiteral("密码长度最多20位，修改密码时需输入用户名")), 2,
                    0, 1, 3);
    grid->addWidget(label(GroupBox2, QStringLiteral("权     限：")), 3, 0);
    grid->addLayout(rights, 3, 1, 1, 2);
    grid->addLayout(buttons, 4, 0, 1, 3);
    grid->addWidget(label(GroupBox2, QStringLiteral("用户列表")), 5, 0, 1, 3);
    grid->addWidget(ListBox2, 6, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(6, 1);
}

void Txtwh::buildLowerPart()
{
    Label8 = makeLabel(this, "Label8",
                       QStringLiteral("压缩数据库  (ACCESS数据库文件在使用过程中会逐渐臃肿)"));
    BitBtn_yasuo =
        button(this, "BitBtn_yasuo", QStringLiteral("压缩数据库"), QStyle::SP_DialogOkButton);

    Label7 =
        makeLabel(this, "Label7",
                  QStringLiteral("系统初始化：数据库将被清空，并设置初始用户：admin  密码：tovek"));
    setTextColour(Label7, kWarningRed);
    BitBtn_csh =
        button(this, "BitBtn_csh", QStringLiteral("系统初始化"), QStyle::SP_DialogNoButton);

    Label9 =
        makeLabel(this, "Label9",
                  QStringLiteral("备份与恢复：查看数据库的备份，立即备份，或恢复到以前的备份"));
    BitBtn_backup =
        button(this, "BitBtn_backup", QStringLiteral("备份与恢复"), QStyle::SP_DriveHDIcon);
}

std::optional<EntryKind> Txtwh::chosenKind() const
{
    if (RadioButton1->isChecked())
        return EntryKind::Income;
    if (RadioButton2->isChecked())
        return EntryKind::Expense;
    return std::nullopt;
}

void Txtwh::loadCategories(EntryKind kind, CategoryLayout layout)
{
    ListBox1->clear();
    Query& query = m_context.ADOQuery1();
    query.setText(categoryListSql(kind));
    query.open();
    if (query.isEmpty()) {
        query.close();
        return;
    }
    QStringList lines;
    for (query.first(); !query.eof(); query.next()) {
        lines << categoryLine(query.fieldText(QStringLiteral("sz")),
                              query.fieldText(QStringLiteral("lb")),
                              query.fieldText(QStringLiteral("bmmc")), layout);
    }
    ListBox1->addItems(lines);
    query.close();
}

void Txtwh::RadioButton1Click()
{
    guarded(m_context.messages(),
            [this] { loadCategories(EntryKind::Income, CategoryLayout::Chosen); });
}

void Txtwh::RadioButton2Click()
{
    guarded(m_context.messages(),
            [this] { loadCategories(EntryKind::Expense, CategoryLayout::Chosen); });
}

void Txtwh::Button_adduserClick()
{
    Messages& messages = m_context.messages();
    guarded(messages, [&] {
        const std::optional<EntryKind> kind = chosenKind();
        if (!kind) {
            Button_adduser->setFocus();
            messages.info(QStringLiteral("增加记录需要指定收支类型！"));
            return;
        }
        const QString code = Edit_lb->text();
        if (gbkLength(code) != 2) {
            Edit_lb->setFocus();
            messages.info(QStringLiteral("类别代码必须为两位数字！"));
            return;
        }
        const QString name = Edit_bmmc->text();
        if (name.isEmpty()) {
            Edit_bmmc->setFocus();
            messages.info(QStringLiteral("增加记录需要指定类别名称！"));
            return;
        }
        Query& query = m_context.ADOQuery1();
        query.setText(categoryCountSql(*kind, code));
        query.open();
        if (query.field(0).toLongLong() > 0) {
            Edit_lb->setFocus();
            query.close();
            messages.info(QStringLiteral("指定类型和类别的编码已存在，不能增加同样记录"));
            return;
        }
        query.setText(insertCategorySql(*kind, code, name));
        query.exec();
        query.close();
        m_context.announceCategories(this);
        messages.info(categoryAddedMessage({*kind, code, name}));
        Edit_lb->clear();
        Edit_bmmc->clear();
        loadCategories(*kind, CategoryLayout::Added);
    });
}

void Txtwh::Button_deluserClick()
{
    Messages& messages = m_context.messages();
    guarded(messages, [&] {
        const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
        if (selected.isEmpty()) {
            ListBox1->setFocus();
            messages.info(QStringLiteral("未选定要删除的记录，无法删除"));
            return;
        }
        const CategoryItem item = readCategoryLine(selected.first()->text());
        Query& query = m_context.ADOQuery1();
        query.setText(categoryUseSql(item.kind, item.code));
        query.open();
        const qlonglong uses = query.field(0).toLongLong();
        query.close();
        if (uses > 0) {
            messages.info(categoryInUseMessage(item));
            return;
        }
        if (!budgetsMayGo(m_context, item.kind, item.code, item.name))
            return;
        Transaction transaction(m_context.database());
        query.setText(deleteCategorySql(item.kind, item.code));
        query.exec();
        removeCategoryBudgets(m_context.database(), item.kind, item.code);
        transaction.commit();
        m_context.announceCategories(this);
        messages.info(categoryRemovedMessage(item));
        query.close();
        loadCategories(item.kind, CategoryLayout::Chosen);
    });
}

void Txtwh::BitBtn_userlistClick()
{
    guarded(m_context.messages(), [this] {
        ListBox2->clear();
        Query& query = m_context.ADOQuery1();
        query.setText(userListSql());
        query.open();
        QStringList names;
        for (query.first(); !query.eof(); query.next())
            names << query.fieldText(0);
        ListBox2->addItems(names);
        // The query stays open, as the list was read from it.
    });
}

void Txtwh::BitBtn_insertClick()
{
    Messages& messages = m_context.messages();
    guarded(messages, [&] {
        const QString name = Edit_user->text();
        const QString password = Edit_pwd->text();
        if (name.isEmpty()) {
            Edit_user->setFocus();
            messages.info(QStringLiteral("必须输入用户名！"));
            return;
        }
        if (name == QLatin1String("admin")) {
            Edit_user->setFocus();
            messages.info(QStringLiteral("你不能增加admin用户"));
            return;
        }
        if (password.isEmpty()) {
            Edit_pwd->setFocus();
            messages.info(QStringLiteral("必须输入密码！"));
            return;
        }
        const QString rights =
            rightsString(CheckBox1->isChecked(), CheckBox2->isChecked(), CheckBox3->isChecked());
        if (rights == QLatin1String("000")) {
            CheckBox1->setFocus();
            messages.info(QStringLiteral("权限设置不能全部为空！"));
            return;
        }
        Query& query = m_context.ADOQuery1();
        query.setText(userCountSql(name));
        query.open();
        if (query.field(0).toLongLong() > 0) {
            Edit_user->setFocus();
            query.close();
            messages.info(QStringLiteral("该用户已经存在数据库中"));
            return;
        }
        query.close();
        query.setText(insertUserSql(name, password, rights));
        query.exec();
        messages.info(userAddedMessage(name, password));
        Edit_user->clear();
        Edit_pwd->clear();
        BitBtn_userlistClick();
    });
}

void Txtwh::BitBtn_delClick()
{
    Messages& messages = m_context.messages();
    guarded(messages, [&] {
        const QList<QListWidgetItem*> selected = ListBox2->selectedItems();
        if (selected.isEmpty()) {
            ListBox2->setFocus();
            messages.info(QStringLiteral("未选定要删除的用户，无法实现删除"));
            return;
        }
        const QString name = selected.first()->text();
        if (name == QLatin1String("admin")) {
            BitBtn_del->setFocus();
            messages.info(QStringLiteral("你不能删除admin用户！"));
            return;
        }
        if (name == m_context.currentUser() &&
            !messages.ask(
                QStringLiteral("你将删除自己的用户，这样你将无法再登录，除非重建新用户！"))) {
            return;
        }
        Query& query = m_context.ADOQuery1();
        query.setText(deleteUserSql(name));
        query.exec();
        messages.info(userDeletedMessage(name));
        query.close();
        BitBtn_userlistClick();
    });
}

void Txtwh::BitBtn_updateClick()
{
    Messages& messages = m_context.messages();
    guarded(messages, [&] {
        if (trimBlanks(Edit_user->text()).isEmpty()) {
            Edit_user->setFocus();
            messages.info(QStringLiteral("用户名不能为空！"));
            return;
        }
        if (trimBlanks(Edit_pwd->text()).isEmpty()) {
            Edit_pwd->setFocus();
            messages.info(QStringLiteral("在密码框中直接输入新密码！"));
            return;
        }
        if (!messages.ask(QStringLiteral("是否修改用户名框中的用户密码！")))
            return;
        Query& query = m_context.ADOQuery1();
        query.setText(updatePasswordSql(Edit_user->text(), Edit_pwd->text()));
        // An update of no row changed nothing: there is no user of that name.
        if (query.exec() == 0) {
            Edit_user->setFocus();
            messages.info(QStringLiteral("该用户不存在！"));
            return;
        }
        messages.info(QStringLiteral("密码设置成功！"));
        Edit_user->clear();
        Edit_pwd->clear();
    });
}

void Txtwh::BitBtn_yasuoClick()
{
    Messages& messages = m_context.messages();
    guarded(messages, [&] {
        if (!messages.ask(QStringLiteral("是否压缩数据库？压缩前将自动保存数据库的安全副本。")))
            return;
        // Both steps read or rewrite the whole book: seconds on a large one.
        Database& database = m_context.database();
        const QString path = QFileInfo(database.path()).absoluteFilePath();
        ProgressDialog progress(this, QStringLiteral("正在保存数据库的安全副本……"));
        if (!copiedBefore(m_context, CopyReason::Compact, QStringLiteral("数据库压缩"), progress))
            return;
        // VACUUM rebuilds the book inside one transaction of this connection: a
        // failure (disk full, a lock held by another program) or a cancel rolls
        // back to the book as it was, and no other program's write can fall
        // between reading the book and replacing it, as it could with a copy
        // renamed over it.
        progress.dialog()->setLabelText(QStringLiteral("正在压缩数据库……"));
        const qint64 before = QFileInfo(path).size();
        Query& query = m_context.ADOQuery1();
        try {
            query.setText(compactSql());
            query.exec(progress.progress());
        } catch (const StoreError& e) {
            messages.info(compactionFailedMessage(e.message()));
            return;
        }
        messages.info(compactionDoneMessage(before, QFileInfo(path).size()));
    });
}

void Txtwh::BitBtn_cshClick()
{
    Messages& messages = m_context.messages();
    guarded(messages, [&] {
        if (!messages.ask(QStringLiteral("初始化后所有信息都被清空！确认要进行初始化吗？")))
            return;

        // A reset answered Yes by mistake can be undone by hand from this copy.
        Database& database = m_context.database();
        ProgressDialog progress(this, QStringLiteral("正在保存数据库的安全副本……"));
        if (!copiedBefore(m_context, CopyReason::Reset, QStringLiteral("系统初始化"), progress))
            return;

        // All or nothing: a reset cut short after its user was deleted would let
        // nobody sign in again. The transaction is rolled back before the
        // message is shown, so that no lock is held while the user reads it.
        const QList<InitialisationStep> steps = resetSteps();
        const InitialisationStep* running = nullptr;
        Query& query = m_context.ADOQuery1();
        try {
            Transaction reset(database);
            for (const InitialisationStep& step : steps) {
                running = &step;
                query.setText(step.statement);
                query.exec();
            }
            running = nullptr;
            query.close();
            reset.commit();
        } catch (const StoreError& e) {
            query.close();
            messages.info(running ? running->failureMessage : resetFailedMessage(), e.message());
            return;
        }
        m_context.announceBookReplaced();
        messages.info(QStringLiteral("系统初始化完成！"));
    });
}

void Txtwh::BitBtn_backupClick()
{
    Tbfhf dialog(m_context, this);
    dialog.exec();
}
