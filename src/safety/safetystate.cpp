#include "safety/safetystate.h"

#include "safety/backups.h"
#include "safety/copyfile.h"
#include "store/context.h"
#include "store/messages.h"
#include "store/storeerror.h"
#include "ui/progressdialog.h"

#include <QFileInfo>

namespace {

void automaticCopy(Context& context, QWidget* parent)
{
    try {
        Database& book = context.database();
        ProgressDialog progress(parent, QStringLiteral("正在自动备份数据库……"));
        writeBackup(book, CopyReason::Auto, QDateTime::currentDateTime(), progress.progress(),
                    [](const QString&, const QString& reason) { return reason; });
        pruneAutomaticCopies(QFileInfo(book.path()).absoluteFilePath());
    } catch (const StoreError& e) {
        context.messages().info(QStringLiteral("自动备份失败：") + e.message());
    } catch (const Cancelled&) {
    }
}

} // namespace

SafetyState::SafetyState(Context& context) : QObject(&context)
{
    setObjectName(QStringLiteral("SafetyState"));
    connect(&context, &Context::entriesChanged, this, [this] { m_changed = true; });
    connect(&context, &Context::categoriesChanged, this, [this] { m_changed = true; });
    connect(&context, &Context::budgetsChanged, this, [this] { m_changed = true; });
    connect(&context, &Context::bookReplaced, this, [this] { m_changed = true; });
}

SafetyState& SafetyState::of(Context& context)
{
    auto* state = context.findChild<SafetyState*>(QString(), Qt::FindDirectChildrenOnly);
    return state ? *state : *new SafetyState(context);
}

void noteGeneration(Context& context)
{
    SafetyState& state = SafetyState::of(context);
    if (!state.generation)
        state.generation = bookGeneration(context.database());
}

void checkGeneration(Context& context)
{
    SafetyState& state = SafetyState::of(context);
    const qint64 now = bookGeneration(context.database());
    if (!state.generation || *state.generation == now) {
        state.generation = now;
        return;
    }
    state.generation = now;
    for (EntryKind kind : kEntryKinds)
        context.announceEntries(kind, nullptr);
    throw StoreError(QStringLiteral("数据库已被另一个程序恢复为备份，所列的记录可能已不存在，"
                                    "操作未执行。列表已重新查询，请重新选择。"));
}

void announceRestore(Context& context, qint64 generation)
{
    SafetyState& state = SafetyState::of(context);
    state.generation = generation;
    Q_EMIT state.restored();
    context.announceBookReplaced();
}

void automaticCopyAfterSignIn(Context& context, QWidget* parent)
{
    SafetyState::of(context);
    try {
        noteGeneration(context);
    } catch (const StoreError&) {
        // An unreadable book shows itself at the first window; the copy reports it too.
    }
    const QString bookPath = QFileInfo(context.database().path()).absoluteFilePath();
    for (const CopyFile& file : listCopyFiles(bookPath))
        if (file.name.reason == CopyReason::Auto) {
            if (file.name.moment.secsTo(QDateTime::currentDateTime()) < 24 * 3600)
                return;
            break;
        }
    automaticCopy(context, parent);
}

void automaticCopyAtExit(Context& context, QWidget* parent)
{
    SafetyState& state = SafetyState::of(context);
    if (!state.bookChanged() || state.exitCopyDone())
        return;
    state.noteExitCopy();
    automaticCopy(context, parent);
}
