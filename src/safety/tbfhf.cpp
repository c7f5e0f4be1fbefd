#include "safety/tbfhf.h"

#include "safety/backups.h"
#include "safety/safetystate.h"
#include "store/context.h"
#include "store/messages.h"
#include "store/numbers.h"
#include "store/storeerror.h"
#include "ui/palette.h"
#include "ui/progressdialog.h"
#include "ui/widgets.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString reasonText(CopyReason reason)
{
    switch (reason) {
    case CopyReason::Auto:
        return QStringLiteral("自动");
    case CopyReason::Reset:
        return QStringLiteral("系统初始化前");
    case CopyReason::Compact:
        return QStringLiteral("压缩前");
    case CopyReason::Restore:
        return QStringLiteral("恢复前");
    case CopyReason::Manual:
        return QStringLiteral("手动");
    case CopyReason::Older:
        break;
    }
    return QStringLiteral("安全副本（旧版）");
}

QTableWidgetItem* cell(const QString& text, Qt::Alignment alignment = Qt::AlignLeft)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment | Qt::AlignVCenter);
    return item;
}

} // namespace

Tbfhf::Tbfhf(Context& context, QWidget* parent) : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("bfhf"));
    setWindowTitle(QStringLiteral("备份与恢复"));
    setWindowTextBlue(this);
    setModal(true);

    Grid_backups = named<QTableWidget>(this, "Grid_backups");
    Grid_backups->setColumnCount(6);
    Grid_backups->setHorizontalHeaderLabels(
        {QStringLiteral("时间"), QStringLiteral("原因"), QStringLiteral("大小"),
         QStringLiteral("收入笔数"), QStringLiteral("支出笔数"), QStringLiteral("最后记账日期")});
    Grid_backups->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid_backups->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid_backups->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid_backups->verticalHeader()->hide();
    Grid_backups->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    Grid_backups->horizontalHeader()->setStretchLastSection(true);
    Grid_backups->setMinimumSize(640, 320);

    BitBtn_backupnow = makeButton(this, "BitBtn_backupnow", QStringLiteral("立即备份"),
                                  QStyle::SP_DialogSaveButton);
    BitBtn_restore = makeButton(this, "BitBtn_restore", QStringLiteral("恢复所选备份"),
                                QStyle::SP_BrowserReload);
    BitBtn_close =
        makeButton(this, "BitBtn_close", QStringLiteral("关闭"), QStyle::SP_DialogCloseButton);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn_backupnow);
    buttons->addWidget(BitBtn_restore);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Grid_backups, 1);
    layout->addLayout(buttons);

    connect(BitBtn_backupnow, &QPushButton::clicked, this, &Tbfhf::BitBtn_backupnowClick);
    connect(BitBtn_restore, &QPushButton::clicked, this, &Tbfhf::BitBtn_restoreClick);
    connect(BitBtn_close, &QPushButton::clicked, this, &Tbfhf::BitBtn_closeClick);

    guarded(m_context.messages(), [this] { loadCopies(); });
}

Tbfhf::~Tbfhf() = default;

void Tbfhf::loadCopies(const QString& chosen)
{
    const QList<BackupEntry> entries =
        listBackups(QFileInfo(m_context.database().path()).absoluteFilePath());
    Grid_backups->clearSelection();
    Grid_backups->setRowCount(static_cast<int>(entries.size()));
    for (int row = 0; row < entries.size(); ++row) {
        const BackupEntry& e = entries.at(row);
        QTableWidgetItem* moment = cell(momentText(e.file.name.moment));
        moment->setData(Qt::UserRole, e.file.path);
        moment->setToolTip(e.file.path);
        Grid_backups->setItem(row, 0, moment);
        Grid_backups->setItem(row, 1, cell(reasonText(e.file.name.reason)));
        Grid_backups->setItem(row, 2, cell(fileSizeText(e.size), Qt::AlignRight));
        // An older version's copy carries no summary: its counts stay blank.
        Grid_backups->setItem(
            row, 3,
            cell(e.summary ? QString::number(e.summary->incomes) : QString(), Qt::AlignRight));
        Grid_backups->setItem(
            row, 4,
            cell(e.summary ? QString::number(e.summary->expenses) : QString(), Qt::AlignRight));
        Grid_backups->setItem(row, 5, cell(e.summary ? e.summary->lastEntryDate : QString()));
        if (!chosen.isEmpty() && e.file.path == chosen)
            Grid_backups->selectRow(row);
    }
}

void Tbfhf::BitBtn_backupnowClick()
{
    Messages& messages = m_context.messages();
    guarded(messages, [&] {
        ProgressDialog progress(this, QStringLiteral("正在备份数据库……"));
        const QString path = writeBackup(m_context.database(), CopyReason::Manual,
                                         QDateTime::currentDateTime(), progress.progress());
        loadCopies(path);
        messages.info(QStringLiteral("备份完成：") + QFileInfo(path).fileName());
    });
}

void Tbfhf::BitBtn_restoreClick()
{
    Messages& messages = m_context.messages();
    guarded(messages, [&] {
        const QList<QTableWidgetItem*> selected = Grid_backups->selectedItems();
        if (selected.isEmpty()) {
            Grid_backups->setFocus();
            messages.info(QStringLiteral("请先在列表中选择要恢复的备份。"));
            return;
        }
        const QString path =
            Grid_backups->item(selected.first()->row(), 0)->data(Qt::UserRole).toString();
        const QString moment = momentText(copyMoment(path));
        if (!messages.ask(
                QStringLiteral("是否用 ") + moment +
                QStringLiteral(" 的备份替换当前数据库？替换前将自动保存当前数据库的安全副本。")))
            return;
        // Lists read from the old book are let go before its pages change.
        m_context.ADOQuery1().close();
        m_context.ADOQuery2().close();
        Database& book = m_context.database();
        try {
            ProgressDialog progress(this, QStringLiteral("正在恢复数据库……"));
            restoreBook(book, path, progress.progress());
        } catch (const StoreError& e) {
            loadCopies(path);
            messages.info(e.message());
            return;
        }
        announceRestore(m_context, bookGeneration(book));
        loadCopies();
        messages.info(QStringLiteral("数据库已恢复到 ") + moment + QStringLiteral(" 的备份。"));
    });
}

void Tbfhf::BitBtn_closeClick()
{
    accept();
}
