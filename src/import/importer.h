#pragma once

#include "import/statement.h"
#include "store/entrykind.h"
#include "store/progress.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class Database;

// Turning a statement's rows into entries of the book: which rows are new,
// which the book has (duplicates) or may have (possible duplicates), their
// categories, and the import itself, all or nothing.

enum class RowState
{
    New,
    Duplicate,         // its key names an entry in the book, or an earlier row of the file
    PossibleDuplicate, // a typed entry of its kind, day and amount, or an imported one
                       // from another source of its kind and amount within a day
    Neutral,           // neither income nor expense
    Failed,            // did not go through
    Error              // could not be read
};

// 新增, 重复, 疑似重复, 不计收支, 未成功, 错误.
QString rowStateText(RowState state);

// What a rule looks at: the counterpart, the statement's own category, or a
// keyword in the row's texts.
enum class RuleMatch
{
    Counterpart,
    Category,
    Keyword
};

struct CategoryRule
{
    EntryKind kind = EntryKind::Expense;
    RuleMatch match = RuleMatch::Counterpart;
    QString pattern;
    QString code;
};

// How a row's category was found.
enum class CategoryFrom
{
    Rule,       // a rule of the source
    Name,       // the statement's category matches a category's name
    Option,     // the category given for unmatched rows
    Suggestion, // most used in the book for the counterpart
    Unsorted    // 待分类
};

struct BookCategory
{
    QString code;
    QString name;
};

// The categories of a kind, in code order.
QList<BookCategory> bookCategories(Database& database, EntryKind kind);

// The rule a user's choice of category for the row makes: on its counterpart,
// else its statement category, else its description.
CategoryRule ruleFor(const StatementRow& row, EntryKind kind, const QString& code);

// The user's say over single rows.
struct RowChoice
{
    std::optional<bool> take;      // a neutral row or a possible duplicate taken in
    std::optional<EntryKind> kind; // of a neutral row taken in
};

struct ImportChoices
{
    QHash<qsizetype, RowChoice> rows; // by index into the statement's rows
    // Rules made in this import, before those of the book; stored with it.
    QList<CategoryRule> rules;
    // Rows that could not be read are left out; otherwise they stop the import.
    bool skipErrors = false;
    // Categories for rows no rule or name matches (the command line's options).
    QString incomeCategory;
    QString expenseCategory;
    // Suggest the category most used for the counterpart (the dialog).
    bool suggest = false;
};

struct ImportCounts
{
    qint64 income = 0;
    qint64 incomeCents = 0;
    qint64 expense = 0;
    qint64 expenseCents = 0;
    qint64 duplicates = 0;
    qint64 possible = 0; // left out
    qint64 neutral = 0;  // left out
    qint64 failed = 0;
    qint64 errors = 0;
    qint64 unsorted = 0; // taken rows that go to 待分类
    int dropped = 0;     // characters without a GBK form left out of remarks
    qint64 added() const { return income + expense; }
};

struct PlannedRow
{
    RowState state = RowState::Error;
    bool taken = false;
    EntryKind kind = EntryKind::Expense;
    QString code;
    QString name;
    CategoryFrom from = CategoryFrom::Unsorted;
    QString remark; // of rows that may be taken; entryRemark() tells the others'
    int dropped = 0;
    QString key;
    bool staleKey = false; // the key names an entry that has left the book
};

// What the book holds that the categories of a statement's rows depend on.
struct CategoryBook
{
    QList<BookCategory> categories[2]; // by kind
    QList<CategoryRule> rules;         // of the statement's source
    // Most used category code per counterpart, by kind (when suggesting).
    QHash<QString, QString> suggestions[2];
};

struct ImportPlan
{
    QList<PlannedRow> rows; // one per statement row
    ImportCounts counts;
    CategoryBook book;
    // 待分类 of each kind: its code (empty when no code is free), whether the
    // book has it, and whether the import makes it.
    QString unsortedCode[2];
    bool unsortedExists[2] = {false, false};
    bool makeUnsorted[2] = {false, false};
    // The days of the rows taken.
    QDate first;
    QDate last;
};

// Decides each row against the book: its key, its state, whether it is taken,
// its kind and category. Reads only.
ImportPlan planImport(Database& database, const ParsedStatement& statement,
                      const ImportChoices& choices, const Progress& progress = {});

// Applies changed choices to a plan without reading the book again: rows taken
// in or left out, rules made, and the counts.
void applyChoices(ImportPlan& plan, const ParsedStatement& statement, const ImportChoices& choices);

// "新增 12 笔（收入 1 笔 28.50 元，支出 11 笔 431.22 元）；重复 0 笔；疑似重复 1 笔；
// 不计收支 2 笔；未成功 1 笔", with errors, 待分类 and dropped characters when
// there are any.
QString summaryText(const ImportPlan& plan);

// A whole number of cents as yuan: "431.22".
QString yuanText(qint64 cents);

struct ImportedBatch
{
    qint64 batch = 0; // 0 when nothing was added
    ImportPlan plan;  // as decided in the import's transaction
    bool madeCategory = false;
};

// The file's SHA-256 as hex. Throws StoreError.
QString fileSha256(const QString& path);

// Imports the statement read from path: plans it again in one BEGIN IMMEDIATE
// transaction, so that rows another import added meanwhile count as duplicates,
// makes 待分类 where needed, stores the entries, their keys and the batch, the
// rules made and the answers given for the layout. All or nothing: throws
// StoreError (rows that could not be read and are not to be skipped, a locked or
// full book) or Cancelled, and the book is as it was.
ImportedBatch importStatement(Database& database, const QString& path,
                              const ParsedStatement& statement, const ReadOptions& answers,
                              const ImportChoices& choices, const QString& user,
                              const Progress& progress = {});

// Whether the book has the tables of imports: a read-only book opens as it is,
// and an older one may lack them.
bool hasImportTables(Database& database);
// Throws StoreError with a message for the user unless imports can be stored.
void requireWritableImportTables(Database& database);

// What an entry looks like as its columns read, to tell an entry corrected
// since its import.
qint64 entryFingerprint(const QString& date, const QString& code, const QString& name,
                        double amount, const QString& remark);

// The answers remembered for a header layout; nothing when none were given.
std::optional<ReadOptions> rememberedAnswers(Database& database, const QString& signature);

// Reads a statement, with the answers remembered for its layout when it leaves
// questions open. Throws as readStatement().
ParsedStatement readWithRememberedAnswers(Database& database, const QString& path,
                                          ReadOptions& options, const Progress& progress = {});
