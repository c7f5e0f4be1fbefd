#include "import/importer.h"

#include "import/entrytexts.h"
#include "import/importsql.h"
#include "store/database.h"
#include "store/numbers.h"
#include "store/statement.h"
#include "store/storeerror.h"
#include "store/transaction.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cmath>
#include <utility>

namespace {

const QString kUnsortedName = QStringLiteral("待分类");
constexpr qsizetype progressStep = 4096;
// Pages an import keeps in memory: a large statement's entries, keys and index
// pages are then written once, at the commit.
constexpr int kLargeCacheMb = 32;

int at(EntryKind kind)
{
    return kind == EntryKind::Income ? 0 : 1;
}

// Typed entries and the sources of imported ones, by day and amount.
struct Neighbours
{
    bool typed = false;
    QStringList sources;
};
using NeighbourMap = QHash<std::pair<qint64, qint64>, Neighbours>;

qint64 centsOf(double amount)
{
    return std::llround(amount * 100.0);
}

QString ruleMatchText(RuleMatch match)
{
    switch (match) {
    case RuleMatch::Counterpart:
        return QStringLiteral("counterpart");
    case RuleMatch::Category:
        return QStringLiteral("category");
    case RuleMatch::Keyword:
        break;
    }
    return QStringLiteral("keyword");
}

std::optional<RuleMatch> ruleMatchOf(const QString& text)
{
    for (RuleMatch match : {RuleMatch::Counterpart, RuleMatch::Category, RuleMatch::Keyword})
        if (ruleMatchText(match) == text)
            return match;
    return std::nullopt;
}

const BookCategory* findCategory(const QList<BookCategory>& categories, const QString& code)
{
    for (const BookCategory& category : categories)
        if (category.code == code)
            return &category;
    return nullptr;
}

bool ruleFits(const CategoryRule& rule, const StatementRow& row)
{
    switch (rule.match) {
    case RuleMatch::Counterpart:
        return !row.counterpart.isEmpty() && row.counterpart == rule.pattern;
    case RuleMatch::Category:
        return !row.sourceCategory.isEmpty() && row.sourceCategory == rule.pattern;
    case RuleMatch::Keyword:
        break;
    }
    return !rule.pattern.isEmpty() &&
           (row.description.contains(rule.pattern, Qt::CaseInsensitive) ||
            row.counterpart.contains(rule.pattern, Qt::CaseInsensitive) ||
            row.sourceType.contains(rule.pattern, Qt::CaseInsensitive));
}

const RowChoice& choiceOf(const ImportChoices& choices, qsizetype row)
{
    static const RowChoice none;
    const auto it = choices.rows.constFind(row);
    return it == choices.rows.constEnd() ? none : *it;
}

// The kind an entry of the row would be: a neutral row's by the way its money went.
EntryKind kindOf(const StatementRow& row, const RowChoice& choice)
{
    if (row.kind == RowKind::Income)
        return EntryKind::Income;
    if (row.kind == RowKind::Expense)
        return EntryKind::Expense;
    if (choice.kind)
        return *choice.kind;
    return row.flow == Flow::In ? EntryKind::Income : EntryKind::Expense;
}

// The book category a statement category matches by name, found once per name.
class NameMatcher
{
public:
    explicit NameMatcher(const CategoryBook& book)
    {
        for (EntryKind kind : kEntryKinds)
            for (const BookCategory& category : book.categories[at(kind)])
                m_names[at(kind)].append(category.name);
    }
    qsizetype match(EntryKind kind, const QString& sourceCategory)
    {
        QHash<QString, qsizetype>& known = m_known[at(kind)];
        const auto it = known.constFind(sourceCategory);
        if (it != known.constEnd())
            return *it;
        const qsizetype found = matchingCategory(sourceCategory, m_names[at(kind)]);
        known.insert(sourceCategory, found);
        return found;
    }

private:
    QStringList m_names[2];
    QHash<QString, qsizetype> m_known[2];
};

void assignCategory(PlannedRow& planned, const StatementRow& row, const ImportPlan& plan,
                    const ImportChoices& choices, NameMatcher& names)
{
    const QList<BookCategory>& categories = plan.book.categories[at(planned.kind)];
    const auto use = [&](const QString& code, CategoryFrom from) {
        const BookCategory* category = findCategory(categories, code);
        if (!category)
            return false;
        planned.code = category->code;
        planned.name = category->name;
        planned.from = from;
        return true;
    };
    for (RuleMatch match : {RuleMatch::Counterpart, RuleMatch::Category, RuleMatch::Keyword})
        for (const QList<CategoryRule>* rules : {&choices.rules, &plan.book.rules})
            for (const CategoryRule& rule : *rules)
                if (rule.kind == planned.kind && rule.match == match && ruleFits(rule, row) &&
                    use(rule.code, CategoryFrom::Rule))
                    return;
    const qsizetype named = names.match(planned.kind, row.sourceCategory);
    if (named >= 0 && use(categories.at(named).code, CategoryFrom::Name))
        return;
    const QString& option =
        planned.kind == EntryKind::Income ? choices.incomeCategory : choices.expenseCategory;
    if (!option.isEmpty() && use(option, CategoryFrom::Option))
        return;
    const QString suggested = plan.book.suggestions[at(planned.kind)].value(row.counterpart);
    if (!suggested.isEmpty() && use(suggested, CategoryFrom::Suggestion))
        return;
    planned.code = plan.unsortedCode[at(planned.kind)];
    planned.name = kUnsortedName;
    planned.from = CategoryFrom::Unsorted;
}

} // namespace

QList<BookCategory> bookCategories(Database& database, EntryKind kind)
{
    QList<BookCategory> categories;
    Statement read(database, categoriesSql(), {kindLetter(kind)});
    while (read.step())
        categories.append({read.value(0).toString(), read.value(1).toString()});
    return categories;
}

namespace {

QList<CategoryRule> readRules(Database& database, const QString& source)
{
    QList<CategoryRule> rules;
    Statement read(database, rulesSql(), {source});
    while (read.step()) {
        const auto kind = kindOfLetter(read.value(0).toString());
        const auto match = ruleMatchOf(read.value(1).toString());
        if (kind && match)
            rules.append({*kind, *match, read.value(2).toString(), read.value(3).toString()});
    }
    return rules;
}

// The lowest code no category of the kind has, 01 to 99, then 00.
QString lowestFreeCode(const QList<BookCategory>& categories)
{
    for (int n = 1; n <= 100; ++n) {
        const QString code = QStringLiteral("%1").arg(n % 100, 2, 10, QLatin1Char('0'));
        if (!findCategory(categories, code))
            return code;
    }
    return QString();
}

NeighbourMap readNeighbours(Database& database, EntryKind kind, const QDate& first,
                            const QDate& last, bool tables)
{
    NeighbourMap map;
    QVariantList values = {first.addDays(-1), last.addDays(1)};
    if (tables)
        values.prepend(kindLetter(kind));
    Statement read(database, neighboursSql(kind, tables), values);
    while (read.step()) {
        const QDate day = QDate::fromString(read.value(0).toString(), Qt::ISODate);
        if (!day.isValid())
            continue;
        Neighbours& n = map[{day.toJulianDay(), centsOf(read.value(1).toDouble())}];
        const QVariant source = read.value(2);
        if (source.isNull())
            n.typed = true;
        else if (!n.sources.contains(source.toString()))
            n.sources.append(source.toString());
    }
    return map;
}

bool isPossibleDuplicate(const NeighbourMap& map, const StatementRow& row, const QString& source)
{
    const qint64 day = row.date.toJulianDay();
    for (qint64 d = day - 1; d <= day + 1; ++d) {
        const auto it = map.constFind({d, row.amountCents});
        if (it == map.constEnd())
            continue;
        if (d == day && it->typed)
            return true;
        for (const QString& other : it->sources)
            if (other != source)
                return true;
    }
    return false;
}

// The category most used for each counterpart among the kind's entries of the
// two years up to the statement's end, by remarks that start with it.
QHash<QString, QString> readSuggestions(Database& database, EntryKind kind,
                                        const QSet<QString>& counterparts, const QDate& first,
                                        const QDate& last)
{
    QHash<QString, QHash<QString, int>> uses;
    Statement read(database, remarksSql(kind), {first.addYears(-2), last});
    while (read.step()) {
        const QString remark = read.value(1).toString();
        for (qsizetype end = remark.indexOf(QLatin1Char(' '));;
             end = remark.indexOf(QLatin1Char(' '), end + 1)) {
            const QString head = end < 0 ? remark : remark.left(end);
            if (counterparts.contains(head))
                ++uses[head][read.value(0).toString()];
            if (end < 0)
                break;
        }
    }
    QHash<QString, QString> best;
    for (auto it = uses.cbegin(); it != uses.cend(); ++it) {
        QString code;
        int most = 0;
        for (auto c = it->cbegin(); c != it->cend(); ++c)
            if (c.value() > most || (c.value() == most && c.key() < code)) {
                code = c.key();
                most = c.value();
            }
        best.insert(it.key(), code);
    }
    return best;
}

// What an entry looked like when it was imported, so that a correction since
// can be told.
qint64 fingerprint(const QString& date, const QString& code, const QString& name, qint64 cents,
                   const QString& remark)
{
    const QByteArray text = (date + QChar(0x1F) + code + QChar(0x1F) + name + QChar(0x1F) +
                             QString::number(cents) + QChar(0x1F) + remark)
                                .toUtf8();
    quint64 hash = 14695981039346656037ULL; // FNV-1a
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return static_cast<qint64>(hash);
}

QString errorsMessage(const ParsedStatement& statement, qint64 errors)
{
    QStringList lines;
    lines << QStringLiteral("账单中有 %1 行无法读取，没有导入任何记录：").arg(errors);
    for (const StatementRow& row : statement.rows) {
        if (row.kind != RowKind::Error)
            continue;
        if (lines.size() > 5) {
            lines << QStringLiteral("……");
            break;
        }
        lines << row.error;
    }
    return lines.join(QLatin1Char('\n'));
}

struct RoleName
{
    ColumnRole role;
    const char* name;
};
constexpr RoleName roleNames[] = {
    {ColumnRole::Date, "date"},
    {ColumnRole::Time, "time"},
    {ColumnRole::Amount, "amount"},
    {ColumnRole::Income, "income"},
    {ColumnRole::Expense, "expense"},
    {ColumnRole::Direction, "direction"},
    {ColumnRole::Counterpart, "counterpart"},
    {ColumnRole::Description, "description"},
    {ColumnRole::Category, "category"},
    {ColumnRole::Type, "type"},
    {ColumnRole::State, "state"},
    {ColumnRole::TransactionNo, "number"},
    {ColumnRole::Refund, "refund"},
};

QString columnsText(const ColumnMap& columns)
{
    QStringList parts;
    for (const auto& [role, column] : columns)
        for (const RoleName& r : roleNames)
            if (r.role == role)
                parts << QString::fromLatin1(r.name) + QLatin1Char('=') + QString::number(column);
    return parts.join(QLatin1Char(','));
}

ColumnMap columnsOf(const QString& text)
{
    ColumnMap columns;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = part.section(QLatin1Char('='), 0, 0);
        bool ok = false;
        const int column = part.section(QLatin1Char('='), 1).toInt(&ok);
        for (const RoleName& r : roleNames)
            if (ok && name == QLatin1String(r.name))
                columns[r.role] = column;
    }
    return columns;
}

} // namespace

bool hasImportTables(Database& database)
{
    Statement count(database, importTablesSql());
    return count.step() && count.value(0).toInt() == 5;
}

void requireWritableImportTables(Database& database)
{
    if (database.isReadOnly())
        throw StoreError(QStringLiteral("账本文件是只读的，不能导入或撤销导入。"));
    if (!hasImportTables(database))
        throw StoreError(QStringLiteral("账本里没有导入账单所需的表，请重新打开账本后再试。"));
}

QString rowStateText(RowState state)
{
    switch (state) {
    case RowState::New:
        return QStringLiteral("新增");
    case RowState::Duplicate:
        return QStringLiteral("重复");
    case RowState::PossibleDuplicate:
        return QStringLiteral("疑似重复");
    case RowState::Neutral:
        return QStringLiteral("不计收支");
    case RowState::Failed:
        return QStringLiteral("未成功");
    case RowState::Error:
        break;
    }
    return QStringLiteral("错误");
}

CategoryRule ruleFor(const StatementRow& row, EntryKind kind, const QString& code)
{
    if (!row.counterpart.isEmpty())
        return {kind, RuleMatch::Counterpart, row.counterpart, code};
    if (!row.sourceCategory.isEmpty())
        return {kind, RuleMatch::Category, row.sourceCategory, code};
    return {kind, RuleMatch::Keyword, row.description.isEmpty() ? row.sourceType : row.description,
            code};
}

ImportPlan planImport(Database& database, const ParsedStatement& statement,
                      const ImportChoices& choices, const Progress& progress)
{
    ImportPlan plan;
    const ReadSnapshot snapshot(database);
    const bool tables = hasImportTables(database);
    for (EntryKind kind : kEntryKinds) {
        QList<BookCategory>& categories = plan.book.categories[at(kind)];
        categories = bookCategories(database, kind);
        for (const BookCategory& category : std::as_const(categories))
            if (category.name == kUnsortedName) {
                plan.unsortedCode[at(kind)] = category.code;
                plan.unsortedExists[at(kind)] = true;
                break;
            }
        if (!plan.unsortedExists[at(kind)])
            plan.unsortedCode[at(kind)] = lowestFreeCode(categories);
    }
    if (tables)
        plan.book.rules = readRules(database, statement.keySource);

    const QList<StatementRow>& rows = statement.rows;
    const QStringList keys = duplicateKeys(statement.keySource, rows);
    plan.rows.resize(rows.size());
    std::optional<Statement> lookup;
    if (tables)
        lookup.emplace(database, keyLookupSql());
    const QString incomeLetter = kindLetter(EntryKind::Income);
    QSet<QString> seen;
    seen.reserve(rows.size());
    QDate first[2];
    QDate last[2];
    QSet<QString> counterparts[2];
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (i % progressStep == 0)
            reportProgress(progress, i, rows.size());
        const StatementRow& row = rows.at(i);
        PlannedRow& planned = plan.rows[i];
        planned.key = keys.at(i);
        planned.kind = kindOf(row, choiceOf(choices, i));
        if (row.kind == RowKind::Error) {
            planned.state = RowState::Error;
            continue;
        }
        if (row.kind == RowKind::Failed) {
            planned.state = RowState::Failed;
            continue;
        }
        if (choices.suggest)
            counterparts[at(planned.kind)].insert(row.counterpart);
        bool duplicate = seen.contains(planned.key);
        if (!duplicate) {
            seen.insert(planned.key);
            if (lookup) {
                lookup->reset({incomeLetter, planned.key});
                if (lookup->step()) {
                    duplicate = lookup->value(2).toBool();
                    planned.staleKey = !duplicate;
                }
            }
        }
        if (duplicate) {
            planned.state = RowState::Duplicate;
            continue;
        }
        // Only rows that may be taken need their remark now.
        const Remark remark = entryRemark(row, statement.source);
        planned.remark = remark.text;
        planned.dropped = remark.dropped;
        if (row.kind == RowKind::Neutral) {
            planned.state = RowState::Neutral;
        } else {
            planned.state = RowState::New;
            QDate& from = first[at(planned.kind)];
            QDate& to = last[at(planned.kind)];
            from = from.isValid() ? std::min(from, row.date) : row.date;
            to = to.isValid() ? std::max(to, row.date) : row.date;
        }
    }
    lookup.reset();

    for (EntryKind kind : kEntryKinds) {
        if (!first[at(kind)].isValid())
            continue;
        const NeighbourMap map =
            readNeighbours(database, kind, first[at(kind)], last[at(kind)], tables);
        if (map.isEmpty())
            continue;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            PlannedRow& planned = plan.rows[i];
            if (planned.state == RowState::New && planned.kind == kind &&
                isPossibleDuplicate(map, rows.at(i), statement.keySource))
                planned.state = RowState::PossibleDuplicate;
        }
        if (choices.suggest)
            plan.book.suggestions[at(kind)] = readSuggestions(
                database, kind, counterparts[at(kind)], first[at(kind)], last[at(kind)]);
    }
    applyChoices(plan, statement, choices);
    return plan;
}

void applyChoices(ImportPlan& plan, const ParsedStatement& statement, const ImportChoices& choices)
{
    plan.counts = ImportCounts();
    plan.first = QDate();
    plan.last = QDate();
    plan.makeUnsorted[0] = plan.makeUnsorted[1] = false;
    ImportCounts& counts = plan.counts;
    NameMatcher names(plan.book);
    for (qsizetype i = 0; i < plan.rows.size(); ++i) {
        PlannedRow& planned = plan.rows[i];
        const StatementRow& row = statement.rows.at(i);
        const RowChoice& choice = choiceOf(choices, i);
        planned.taken = false;
        switch (planned.state) {
        case RowState::Error:
            ++counts.errors;
            continue;
        case RowState::Failed:
            ++counts.failed;
            continue;
        case RowState::Duplicate:
            ++counts.duplicates;
            break;
        case RowState::New:
            planned.taken = choice.take.value_or(true);
            break;
        case RowState::PossibleDuplicate:
            planned.taken = choice.take.value_or(false);
            counts.possible += planned.taken ? 0 : 1;
            break;
        case RowState::Neutral:
            planned.taken = choice.take.value_or(false);
            counts.neutral += planned.taken ? 0 : 1;
            break;
        }
        planned.kind = kindOf(row, choice);
        assignCategory(planned, row, plan, choices, names);
        if (!planned.taken)
            continue;
        if (planned.kind == EntryKind::Income) {
            ++counts.income;
            counts.incomeCents += row.amountCents;
        } else {
            ++counts.expense;
            counts.expenseCents += row.amountCents;
        }
        if (planned.from == CategoryFrom::Unsorted) {
            ++counts.unsorted;
            plan.makeUnsorted[at(planned.kind)] = !plan.unsortedExists[at(planned.kind)];
        }
        counts.dropped += planned.dropped;
        plan.first = plan.first.isValid() ? std::min(plan.first, row.date) : row.date;
        plan.last = plan.last.isValid() ? std::max(plan.last, row.date) : row.date;
    }
}

QString yuanText(qint64 cents)
{
    const qint64 whole = cents < 0 ? -cents : cents;
    return QStringLiteral("%1%2.%3")
        .arg(cents < 0 ? QStringLiteral("-") : QString())
        .arg(whole / 100)
        .arg(whole % 100, 2, 10, QLatin1Char('0'));
}

QString summaryText(const ImportPlan& plan)
{
    const ImportCounts& c = plan.counts;
    QString text =
        QStringLiteral("新增 %1 笔（收入 %2 笔 %3 元，支出 %4 笔 %5 元）；重复 %6 笔；疑似重复 %7 "
                       "笔；不计收支 %8 笔；未成功 %9 笔")
            .arg(c.added())
            .arg(c.income)
            .arg(yuanText(c.incomeCents))
            .arg(c.expense)
            .arg(yuanText(c.expenseCents))
            .arg(c.duplicates)
            .arg(c.possible)
            .arg(c.neutral)
            .arg(c.failed);
    if (c.errors > 0)
        text += QStringLiteral("；错误 %1 笔").arg(c.errors);
    if (c.unsorted > 0) {
        text += QStringLiteral("；%1 笔记入“待分类”").arg(c.unsorted);
        QStringList made;
        for (EntryKind kind : kEntryKinds)
            if (plan.makeUnsorted[at(kind)])
                made << kindWord(kind) + QStringLiteral("类别 ") + plan.unsortedCode[at(kind)];
        if (!made.isEmpty())
            text +=
                QStringLiteral("（新建") + made.join(QStringLiteral("、")) + QStringLiteral("）");
    }
    if (c.dropped > 0)
        text += QStringLiteral("；说明中去掉了 %1 个无法保存的字符").arg(c.dropped);
    return text;
}

QString fileSha256(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("无法读取文件“%1”：%2").arg(path, file.errorString()));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file) || file.error() != QFileDevice::NoError)
        throw StoreError(QStringLiteral("读取文件时出错：%1").arg(file.errorString()));
    return QString::fromLatin1(hash.result().toHex());
}

ImportedBatch importStatement(Database& database, const QString& path,
                              const ParsedStatement& statement, const ReadOptions& answers,
                              const ImportChoices& choices, const QString& user,
                              const Progress& progress)
{
    requireWritableImportTables(database);
    const QString sha256 = fileSha256(path);
    const LargeCache cache(database, kLargeCacheMb);
    Transaction transaction(database);
    const qint64 total = statement.rows.size() * 2;
    ImportedBatch result;
    result.plan = planImport(database, statement, choices, [&](qint64 done, qint64) {
        return !progress || progress(done, total);
    });
    const ImportPlan& plan = result.plan;
    if (plan.counts.errors > 0 && !choices.skipErrors)
        throw StoreError(errorsMessage(statement, plan.counts.errors));

    for (EntryKind kind : kEntryKinds) {
        if (!plan.makeUnsorted[at(kind)])
            continue;
        if (plan.unsortedCode[at(kind)].isEmpty())
            throw StoreError(
                QStringLiteral("%1类别的编码已经用完，无法新建“待分类”：请先为这些记录指定类别。")
                    .arg(kindWord(kind)));
        database.execute(insertCategorySql(),
                         {kindLetter(kind), plan.unsortedCode[at(kind)], kUnsortedName});
        result.madeCategory = true;
    }

    if (plan.counts.added() > 0) {
        const ImportCounts& c = plan.counts;
        database.execute(
            insertBatchSql(),
            {QFileInfo(path).absoluteFilePath(), sha256, statement.layout, statement.keySource,
             QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), user,
             plan.first, plan.last, c.income, c.incomeCents, c.expense, c.expenseCents,
             c.duplicates, c.possible, c.neutral, c.failed, c.errors});
        result.batch = database.lastInsertId();

        // Texts of a day, made once for its rows.
        QHash<qint64, std::pair<QString, QString>> days;
        Statement insertIncome(database, insertEntrySql(EntryKind::Income));
        Statement insertExpense(database, insertEntrySql(EntryKind::Expense));
        Statement insertKey(database, insertKeySql());
        Statement deleteKey(database, deleteKeySql());
        for (qsizetype i = 0; i < plan.rows.size(); ++i) {
            if (i % progressStep == 0)
                reportProgress(progress, statement.rows.size() + i, total);
            const PlannedRow& planned = plan.rows.at(i);
            if (!planned.taken)
                continue;
            const StatementRow& row = statement.rows.at(i);
            if (planned.staleKey) {
                deleteKey.reset({planned.key});
                deleteKey.step();
            }
            auto day = days.constFind(row.date.toJulianDay());
            if (day == days.constEnd())
                day =
                    days.insert(row.date.toJulianDay(), {dateText(row.date), periodKey(row.date)});
            const QString& date = day->first;
            Statement& insert = planned.kind == EntryKind::Income ? insertIncome : insertExpense;
            insert.reset({date, planned.code, planned.name,
                          static_cast<double>(row.amountCents) / 100.0, planned.remark,
                          day->second});
            insert.step();
            insertKey.reset(
                {kindLetter(planned.kind), database.lastInsertId(), planned.key, result.batch,
                 fingerprint(date, planned.code, planned.name, row.amountCents, planned.remark)});
            insertKey.step();
        }
    }

    for (const CategoryRule& rule : choices.rules)
        database.execute(saveRuleSql(), {statement.keySource, kindLetter(rule.kind),
                                         ruleMatchText(rule.match), rule.pattern, rule.code});
    if (!answers.columns.empty() || answers.dateOrder || answers.card)
        database.execute(saveLayoutAnswersSql(),
                         {statement.signature, columnsText(answers.columns),
                          answers.dateOrder ? QVariant(*answers.dateOrder == DateOrder::DayMonth
                                                           ? QStringLiteral("dmy")
                                                           : QStringLiteral("mdy"))
                                            : QVariant(),
                          answers.card ? QVariant(*answers.card ? 1 : 0) : QVariant()});
    transaction.commit();
    return result;
}

std::optional<ReadOptions> rememberedAnswers(Database& database, const QString& signature)
{
    if (signature.isEmpty() || !hasImportTables(database))
        return std::nullopt;
    Statement read(database, layoutAnswersSql(), {signature});
    if (!read.step())
        return std::nullopt;
    ReadOptions options;
    options.columns = columnsOf(read.value(0).toString());
    const QString order = read.value(1).toString();
    if (order == QLatin1String("dmy"))
        options.dateOrder = DateOrder::DayMonth;
    else if (order == QLatin1String("mdy"))
        options.dateOrder = DateOrder::MonthDay;
    if (!read.value(2).isNull())
        options.card = read.value(2).toInt() != 0;
    return options;
}

ParsedStatement readWithRememberedAnswers(Database& database, const QString& path,
                                          ReadOptions& options, const Progress& progress)
{
    ParsedStatement statement = readStatement(path, options, progress);
    if (!statement.questions.any())
        return statement;
    const auto remembered = rememberedAnswers(database, statement.signature);
    if (!remembered)
        return statement;
    bool more = false;
    if (options.columns.empty() && !remembered->columns.empty()) {
        options.columns = remembered->columns;
        more = true;
    }
    if (!options.dateOrder && remembered->dateOrder) {
        options.dateOrder = remembered->dateOrder;
        more = true;
    }
    if (!options.card && remembered->card) {
        options.card = remembered->card;
        more = true;
    }
    return more ? readStatement(path, options, progress) : statement;
}

qint64 entryFingerprint(const QString& date, const QString& code, const QString& name,
                        double amount, const QString& remark)
{
    return fingerprint(date, code, name, centsOf(amount), remark);
}
