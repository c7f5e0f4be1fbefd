#include "import/importcommands.h"

#include "import/batches.h"
#include "import/importer.h"
#include "import/importjournal.h"
#include "store/database.h"
#include "store/storeerror.h"
#include "store/transaction.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace {

const QString kDryRun = QStringLiteral("dry-run");
const QString kDateOrder = QStringLiteral("date-order");
const QString kCard = QStringLiteral("card");
const QString kAccount = QStringLiteral("account");
const QString kIncomeCategory = QStringLiteral("income-category");
const QString kExpenseCategory = QStringLiteral("expense-category");
const QString kSkipBad = QStringLiteral("skip-bad");

// "读取账单 45%" on standard error while it is a terminal, rewritten in place.
class TerminalProgress
{
public:
    TerminalProgress(const QString& what) : m_what(what), m_shown(isatty(fileno(stderr)) == 1) {}
    ~TerminalProgress() { clear(); }
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    Progress progress()
    {
        if (!m_shown)
            return {};
        return [this](qint64 done, qint64 total) {
            const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
            if (percent != m_percent) {
                m_percent = percent;
                std::fputs(QStringLiteral("\rpelmora: %1 %2%")
                               .arg(m_what)
                               .arg(percent)
                               .toLocal8Bit()
                               .constData(),
                           stderr);
                std::fflush(stderr);
            }
            return true;
        };
    }
    void clear()
    {
        if (m_shown && m_percent >= 0)
            std::fputs("\r\033[K", stderr);
        m_percent = -1;
    }

private:
    QString m_what;
    bool m_shown;
    int m_percent = -1;
};

QString userName()
{
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME"));
    return user.isEmpty() ? QStringLiteral("命令行") : user;
}

bool categoryExists(Database& database, EntryKind kind, const QString& code)
{
    for (const BookCategory& category : bookCategories(database, kind))
        if (category.code == code)
            return true;
    return false;
}

// The questions the statement leaves open that no option answered.
QString openQuestions(const ParsedStatement& statement)
{
    QStringList open;
    if (!statement.questions.missingRoles.isEmpty()) {
        QStringList roles;
        for (ColumnRole role : statement.questions.missingRoles)
            roles << roleName(role);
        open << QStringLiteral("the columns of %1 are not known (choose them once in the window's "
                               "导入账单 dialog, which remembers them for files of this layout)")
                    .arg(roles.join(QStringLiteral("、")));
    }
    if (statement.questions.dateOrder)
        open << QStringLiteral("its dates do not tell the day from the month: give --date-order "
                               "dmy or --date-order mdy");
    if (statement.questions.card)
        open << QStringLiteral("its amounts carry the direction in their sign and nothing tells "
                               "whether it is a credit card's: give --card or --account");
    return open.join(QStringLiteral("; "));
}

} // namespace

QList<QCommandLineOption> importOptions()
{
    return {
        QCommandLineOption(kDryRun, QStringLiteral("show what import would add; store nothing")),
        QCommandLineOption(kDateOrder,
                           QStringLiteral("dates as day/month/year (dmy) or month/day/year (mdy)"),
                           QStringLiteral("dmy|mdy")),
        QCommandLineOption(kCard, QStringLiteral("a credit card's statement: purchases positive")),
        QCommandLineOption(kAccount, QStringLiteral("an account's statement: money in positive")),
        QCommandLineOption(kIncomeCategory,
                           QStringLiteral("income category for rows no rule or name matches"),
                           QStringLiteral("CODE")),
        QCommandLineOption(kExpenseCategory,
                           QStringLiteral("expense category for rows no rule or name matches"),
                           QStringLiteral("CODE")),
        QCommandLineOption(
            kSkipBad, QStringLiteral("leave out rows that cannot be read instead of refusing")),
    };
}

int runImportCommand(const QStringList& arguments, const QCommandLineParser& parser,
                     const CommandPrinter& print)
{
    if (arguments.size() != 1) {
        print.error(QStringLiteral("import takes one FILE; see pelmora --help"));
        return 2;
    }
    const QString path = arguments.constFirst();
    ReadOptions options;
    if (parser.isSet(kDateOrder)) {
        const QString order = parser.value(kDateOrder);
        if (order != QLatin1String("dmy") && order != QLatin1String("mdy")) {
            print.error(QStringLiteral("--date-order takes dmy or mdy, not %1").arg(order));
            return 2;
        }
        options.dateOrder =
            order == QLatin1String("dmy") ? DateOrder::DayMonth : DateOrder::MonthDay;
    }
    if (parser.isSet(kCard) && parser.isSet(kAccount)) {
        print.error(QStringLiteral("a statement is a card's (--card) or an account's (--account), "
                                   "not both"));
        return 2;
    }
    if (parser.isSet(kCard) || parser.isSet(kAccount))
        options.card = parser.isSet(kCard);
    ImportChoices choices;
    choices.skipErrors = parser.isSet(kSkipBad);
    choices.incomeCategory = parser.value(kIncomeCategory);
    choices.expenseCategory = parser.value(kExpenseCategory);

    try {
        Database database(QStringLiteral("import"));
        database.ensureOpen();
        ParsedStatement statement;
        {
            TerminalProgress reading(QStringLiteral("读取账单"));
            statement = readWithRememberedAnswers(database, path, options, reading.progress());
        }
        if (statement.questions.any()) {
            print.error(
                QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), openQuestions(statement)));
            return 2;
        }
        for (EntryKind kind : kEntryKinds) {
            const QString& code =
                kind == EntryKind::Income ? choices.incomeCategory : choices.expenseCategory;
            if (!code.isEmpty() && !categoryExists(database, kind, code)) {
                print.error(QStringLiteral("the book has no %1 category %2")
                                .arg(kind == EntryKind::Income ? QStringLiteral("income")
                                                               : QStringLiteral("expense"),
                                     code));
                return 2;
            }
        }
        if (parser.isSet(kDryRun)) {
            print.line(summaryText(planImport(database, statement, choices)));
            print.line(QStringLiteral("试运行：没有导入任何记录。"));
            return 0;
        }
        TerminalProgress importing(QStringLiteral("导入"));
        Transaction transaction(database);
        const ImportedBatch imported = importStatement(database, path, statement, options, choices,
                                                       userName(), importing.progress());
        if (imported.batch > 0)
            recordImport(database, imported.batch);
        transaction.commit();
        importing.clear();
        print.line(summaryText(imported.plan));
        print.line(QStringLiteral("导入完成：新增 %1 笔。").arg(imported.plan.counts.added()));
        if (imported.batch > 0)
            print.line(
                QStringLiteral("批次 %1（撤销：pelmora undo-import %1）").arg(imported.batch));
    } catch (const Cancelled&) {
        return 1;
    } catch (const StoreError& e) {
        print.error(e.message());
        return 1;
    }
    return 0;
}

int runImportsCommand(const QStringList& arguments, const CommandPrinter& print)
{
    if (!arguments.isEmpty()) {
        print.error(QStringLiteral("imports takes no arguments; see pelmora --help"));
        return 2;
    }
    try {
        Database database(QStringLiteral("imports"));
        database.ensureOpen();
        const QList<BatchRecord> batches = listBatches(database);
        if (batches.isEmpty())
            print.error(QStringLiteral("the book has no imports"));
        for (const BatchRecord& batch : batches)
            print.line(QString::number(batch.id) + QStringLiteral("  ") + batchLine(batch));
    } catch (const StoreError& e) {
        print.error(e.message());
        return 1;
    }
    return 0;
}

int runUndoImportCommand(const QStringList& arguments, const CommandPrinter& print)
{
    bool ok = false;
    const qint64 batch = arguments.size() == 1 ? arguments.constFirst().toLongLong(&ok) : 0;
    if (!ok || batch <= 0) {
        print.error(QStringLiteral("undo-import takes the number of a batch, as pelmora imports "
                                   "lists them; see pelmora --help"));
        return 2;
    }
    try {
        Database database(QStringLiteral("undo-import"));
        database.ensureOpen();
        requireWritableImportTables(database);
        Transaction transaction(database);
        const qint64 corrected = batchEntries(database, batch).corrected;
        const BatchEntries undone = undoImportBatch(database, batch);
        recordUndoImport(database, batch, undone);
        transaction.commit();
        QString line =
            QStringLiteral("已撤销第 %1 批导入：删除 %2 笔记录").arg(batch).arg(undone.entries);
        if (corrected > 0)
            line += QStringLiteral("（其中 %1 笔导入后修改过）").arg(corrected);
        print.line(line + QStringLiteral("。"));
    } catch (const StoreError& e) {
        print.error(e.message());
        return 1;
    }
    return 0;
}
