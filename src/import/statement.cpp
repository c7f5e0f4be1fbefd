#include "import/statement.h"

#include "store/storeerror.h"

#include <QRegularExpression>
#include <QSet>
#include <vector>

namespace {

// Rows searched for the header; statements put it within their first few dozen.
constexpr int headRows = 64;
constexpr int sampleRows = 5;

// A date that waits for the order of day and month, or for its year.
struct PendingDate
{
    qsizetype row = 0;
    DateCell cell;
    QString text;
};

QString cellAt(const QStringList& cells, const ColumnMap& columns, ColumnRole role)
{
    const auto it = columns.find(role);
    if (it == columns.end() || it->second < 0 || it->second >= cells.size())
        return QString();
    return cells.at(it->second);
}

bool hasColumn(const ColumnMap& columns, ColumnRole role)
{
    const auto it = columns.find(role);
    return it != columns.end() && it->second >= 0;
}

bool isRuleLine(const QStringList& cells)
{
    for (const QString& cell : cells) {
        if (cell.isEmpty())
            continue;
        const QChar first = cell.front();
        if (first != u'-' && first != u'=' && first != u'—' && first != u'_' && first != u'*')
            return false;
        static const QRegularExpression rule(QStringLiteral("^[-=—_*]{5,}"));
        return rule.match(cell).hasMatch();
    }
    return false;
}

bool isSummaryLine(const QStringList& cells)
{
    static const QRegularExpression summary(
        QStringLiteral("合计|总计|小计|汇总|共计|累计|本页|^\\s*(sub)?total"),
        QRegularExpression::CaseInsensitiveOption);
    for (const QString& cell : cells)
        if (summary.match(cell).hasMatch())
            return true;
    return false;
}

bool hasCjk(const QStringList& cells)
{
    for (const QString& cell : cells)
        for (const QChar c : cell)
            if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
                return true;
    return false;
}

// A row of words followed by a row as wide: a header whose names are unknown.
bool looksLikeHeader(const QList<SourceRow>& rows, qsizetype at)
{
    const QStringList& cells = rows.at(at).cells;
    int words = 0;
    for (const QString& cell : cells) {
        if (cell.isEmpty())
            continue;
        if (readDateCell(cell) || readAmountCell(cell))
            return false;
        ++words;
    }
    return words >= 2 && at + 1 < rows.size() && rows.at(at + 1).cells.size() == cells.size();
}

QString rowError(qint64 line, const QString& what)
{
    return QStringLiteral("第 %1 行：%2").arg(QString::number(line), what);
}

class StatementReader
{
public:
    StatementReader(const QString& path, const ReadOptions& options)
        : m_path(path), m_options(options)
    {}

    ParsedStatement read(const Progress& progress);

private:
    bool take(SourceRow&& row);
    bool settleHeader(qsizetype at, const Layout& layout);
    bool settleFallbackHeader();
    bool takeData(SourceRow&& row);
    void decideCard();
    void decideDateOrder();
    StatementRow classify(qint64 line, const QStringList& cells);
    QString intern(const QString& text);
    void resolveDates();

    QString m_path;
    ReadOptions m_options;
    ParsedStatement m_result;
    // Why the statement cannot be read; the read stops at the row that tells.
    QString m_error;

    QList<SourceRow> m_head; // rows before the header is found
    bool m_haveHeader = false;
    Layout m_layout;
    QString m_preamble; // title and period lines
    bool m_platformDirection = false;
    bool m_trailer = false;
    bool m_seenData = false;
    // The card question waits for a row: a statement without rows asks nothing.
    bool m_cardUndecided = false;
    std::vector<PendingDate> m_pending;

    DateOrder m_order = DateOrder::MonthDay;
    QDate m_statementEnd;
    // Texts that repeat from row to row (categories, states, counterparts), held once.
    QSet<QString> m_texts;
};

QString StatementReader::intern(const QString& text)
{
    constexpr qsizetype kept = 8192;
    const auto it = m_texts.constFind(text);
    if (it != m_texts.constEnd())
        return *it;
    if (m_texts.size() < kept)
        m_texts.insert(text);
    return text;
}

bool StatementReader::settleHeader(qsizetype at, const Layout& layout)
{
    m_haveHeader = true;
    m_layout = layout;
    m_result.header = m_head.at(at).cells;
    m_result.layout = layout.name;
    m_result.source = layout.source;
    m_result.signature = layoutSignature(m_result.header);
    m_result.keySource = layout.fit == Layout::Fit::Known ? layout.source : m_result.signature;
    m_result.columns = layout.columns;
    for (const auto& [role, column] : m_options.columns)
        m_result.columns[role] = column;
    m_result.questions.missingRoles = missingRoles(m_result.columns);

    QStringList preamble;
    for (qsizetype i = 0; i < at; ++i)
        preamble.append(m_head.at(i).cells.join(QLatin1Char(' ')));
    m_preamble = preamble.join(QLatin1Char('\n'));

    const int direction = m_result.columns.count(ColumnRole::Direction)
                              ? m_result.columns.at(ColumnRole::Direction)
                              : -1;
    if (direction >= 0 && direction < m_result.header.size()) {
        const QString name = normalizedHeader(m_result.header.at(direction));
        m_platformDirection =
            !name.contains(u'借') && !name.contains(u'贷') && !name.contains(QStringLiteral("dr"));
    }

    decideCard();

    // The rows after the header, already read.
    QList<SourceRow> rest = m_head.mid(at + 1);
    m_head.clear();
    for (SourceRow& row : rest)
        if (!takeData(std::move(row)))
            return false;
    return true;
}

// No header by known or common names: the row with most common names, or a
// row of words followed by rows as wide, so that the dialog can ask.
bool StatementReader::settleFallbackHeader()
{
    qsizetype best = -1;
    Layout bestLayout;
    for (qsizetype i = 0; i < m_head.size(); ++i) {
        const Layout layout = recognizeHeader(m_head.at(i).cells);
        if (layout.fit == Layout::Fit::Partial &&
            (best < 0 || layout.columns.size() > bestLayout.columns.size())) {
            best = i;
            bestLayout = layout;
        }
    }
    if (best < 0) {
        for (qsizetype i = 0; i < m_head.size() && best < 0; ++i) {
            if (looksLikeHeader(m_head, i)) {
                best = i;
                bestLayout = genericLayout(m_head.at(i).cells);
            }
        }
    }
    if (best < 0) {
        m_error = QStringLiteral("无法识别这个文件的格式：找不到账单的表头行。");
        return false;
    }
    return settleHeader(best, bestLayout);
}

bool StatementReader::take(SourceRow&& row)
{
    if (m_haveHeader)
        return takeData(std::move(row));
    m_head.append(std::move(row));
    const Layout layout = recognizeHeader(m_head.constLast().cells);
    if (layout.fit == Layout::Fit::Known || layout.fit == Layout::Fit::Complete)
        return settleHeader(m_head.size() - 1, layout);
    if (m_head.size() >= headRows)
        return settleFallbackHeader();
    return true;
}

bool StatementReader::takeData(SourceRow&& row)
{
    const QStringList& cells = row.cells;
    if (isRuleLine(cells)) {
        // A rule after the entries starts the statement's closing lines.
        m_trailer = m_seenData;
        ++m_result.skippedLines;
        return true;
    }
    if (m_trailer || cells == m_result.header) {
        ++m_result.skippedLines;
        return true;
    }
    // Without the columns nothing more can be read: the dialog asks first.
    if (!m_result.questions.missingRoles.isEmpty()) {
        m_result.sample.append(cells);
        return m_result.sample.size() < sampleRows;
    }
    const ColumnMap& columns = m_result.columns;
    const QString date = cellAt(cells, columns, ColumnRole::Date);
    const auto cell = readDateCell(date);
    if (!cell) {
        const bool amount = readAmountCell(cellAt(cells, columns, ColumnRole::Amount)) ||
                            readAmountCell(cellAt(cells, columns, ColumnRole::Income)) ||
                            readAmountCell(cellAt(cells, columns, ColumnRole::Expense));
        if (isSummaryLine(cells) || (date.isEmpty() && !amount)) {
            ++m_result.skippedLines;
            return true;
        }
    }
    m_seenData = true;
    if (m_result.rows.size() >= m_options.maxRows) {
        m_error = QStringLiteral("账单超过 %1 行，请分成几个文件导入。").arg(m_options.maxRows);
        return false;
    }
    if (m_result.sample.size() < sampleRows)
        m_result.sample.append(cells);
    m_result.rows.append(classify(row.line, cells));
    StatementRow& entry = m_result.rows.last();
    if (!cell) {
        entry.kind = RowKind::Error;
        entry.error = rowError(row.line, QStringLiteral("无法识别日期“%1”。").arg(date));
    } else if (cell->form == DateCell::Form::YearFirst) {
        entry.date = QDate(cell->a, cell->b, cell->c);
        if (cell->time.isValid())
            entry.time = cell->time;
    } else {
        m_pending.push_back({m_result.rows.size() - 1, *cell, date});
    }
    return true;
}

void StatementReader::decideCard()
{
    // A credit card's statement by its layout, or by 信用卡 in its title or header.
    if (m_layout.card != CardKind::Unknown) {
        m_result.card = m_layout.card == CardKind::Card;
    } else if (m_preamble.contains(QStringLiteral("信用卡")) ||
               m_result.header.join(QLatin1Char(' ')).contains(QStringLiteral("信用卡"))) {
        m_result.card = true;
    } else if (m_options.card) {
        m_result.card = *m_options.card;
    } else {
        m_cardUndecided = hasColumn(m_result.columns, ColumnRole::Amount) &&
                          !hasColumn(m_result.columns, ColumnRole::Direction) &&
                          !hasColumn(m_result.columns, ColumnRole::Income) &&
                          !hasColumn(m_result.columns, ColumnRole::Expense);
    }
}

void StatementReader::decideDateOrder()
{
    // Day and month: a first part above 12 says day first, a second one month
    // first; dates that read the same either way say nothing.
    bool dayFirst = false;
    bool monthFirst = false;
    bool undecided = false;
    bool undecidedWithYear = false;
    bool yearLess = false;
    for (const PendingDate& pending : m_pending) {
        const DateCell& cell = pending.cell;
        yearLess = yearLess || cell.form == DateCell::Form::YearLess;
        if (cell.a > 12) {
            dayFirst = true;
        } else if (cell.b > 12) {
            monthFirst = true;
        } else if (cell.a != cell.b) {
            undecided = true;
            undecidedWithYear = undecidedWithYear || cell.form == DateCell::Form::YearLast;
        }
    }
    if (m_options.dateOrder) {
        m_order = *m_options.dateOrder;
    } else if (dayFirst != monthFirst) {
        m_order = dayFirst ? DateOrder::DayMonth : DateOrder::MonthDay;
    } else if (dayFirst && monthFirst) {
        m_result.questions.dateOrder = true;
    } else if (undecided) {
        // Chinese statements write a date without its year month first.
        if (!undecidedWithYear && hasCjk(m_result.header))
            m_order = DateOrder::MonthDay;
        else
            m_result.questions.dateOrder = true;
    }
    if (yearLess)
        m_statementEnd = latestDateIn(m_preamble);
}

void StatementReader::resolveDates()
{
    for (const PendingDate& pending : m_pending) {
        StatementRow& row = m_result.rows[pending.row];
        row.date = resolveDate(pending.cell, m_order, m_statementEnd);
        if (pending.cell.time.isValid())
            row.time = pending.cell.time;
        if (row.date.isValid())
            continue;
        row.kind = RowKind::Error;
        row.error = rowError(
            row.line,
            pending.cell.form == DateCell::Form::YearLess && !m_statementEnd.isValid()
                ? QStringLiteral("日期“%1”没有年份，账单里也找不到年份。").arg(pending.text)
                : QStringLiteral("无法识别日期“%1”。").arg(pending.text));
    }
}

// Everything of a row but its date, which may wait for the whole column.
StatementRow StatementReader::classify(qint64 line, const QStringList& cells)
{
    const ColumnMap& columns = m_result.columns;
    const auto cell = [&](ColumnRole role) {
        return cellAt(cells, columns, role);
    };
    StatementRow row;
    row.line = line;
    row.counterpart = intern(cell(ColumnRole::Counterpart));
    row.description = intern(cell(ColumnRole::Description));
    row.sourceCategory = intern(cell(ColumnRole::Category));
    row.sourceType = intern(cell(ColumnRole::Type));
    row.transactionNo = cell(ColumnRole::TransactionNo);
    row.state = intern(cell(ColumnRole::State));
    row.time = readTimeCell(cell(ColumnRole::Time));

    const auto fail = [&](const QString& what) {
        row.kind = RowKind::Error;
        row.error = rowError(line, what);
        return row;
    };

    // Amount and direction.
    Amount amount;
    bool neutral = false;
    if (hasColumn(m_result.columns, ColumnRole::Amount)) {
        const QString text = cell(ColumnRole::Amount);
        const auto read = readAmountCell(text);
        if (!read)
            return fail(QStringLiteral("无法识别金额“%1”。").arg(text));
        amount = *read;
        if (hasColumn(m_result.columns, ColumnRole::Direction)) {
            const QString text = cell(ColumnRole::Direction);
            const Direction direction = readDirectionCell(text);
            if (!direction.readable)
                return fail(QStringLiteral("无法识别收支方向“%1”。").arg(text));
            row.flow = direction.flow;
            neutral = direction.neutral;
        } else if (amount.cents == 0) {
            neutral = true;
        } else {
            // A card's statement shows a purchase positive, an account's a deposit.
            row.flow = (amount.cents > 0) != m_result.card ? Flow::In : Flow::Out;
        }
    } else {
        const QString incomeText = cell(ColumnRole::Income);
        const QString expenseText = cell(ColumnRole::Expense);
        const auto income =
            incomeText.isEmpty() ? std::optional<Amount>(Amount()) : readAmountCell(incomeText);
        if (!income)
            return fail(QStringLiteral("无法识别金额“%1”。").arg(incomeText));
        const auto expense =
            expenseText.isEmpty() ? std::optional<Amount>(Amount()) : readAmountCell(expenseText);
        if (!expense)
            return fail(QStringLiteral("无法识别金额“%1”。").arg(expenseText));
        if (income->cents != 0 && expense->cents != 0)
            return fail(QStringLiteral("收入和支出两栏都有金额。"));
        amount = income->cents != 0 ? *income : *expense;
        neutral = amount.cents == 0;
        if (!neutral)
            row.flow = income->cents != 0 ? Flow::In : Flow::Out;
    }
    row.amountCents = amount.cents < 0 ? -amount.cents : amount.cents;

    qint64 refund = amount.refundCents + refundInState(row.state);
    const QString refundText = cell(ColumnRole::Refund);
    if (!refundText.isEmpty()) {
        const auto column = readAmountCell(refundText);
        if (!column)
            return fail(QStringLiteral("无法识别退款金额“%1”。").arg(refundText));
        refund += column->cents < 0 ? -column->cents : column->cents;
    }

    const bool refundRow =
        row.flow != Flow::Out &&
        (isRefundText(row.sourceType) || isRefundText(row.description) ||
         isRefundText(row.sourceCategory) || row.state.contains(QStringLiteral("退款成功")));
    if (refundRow) {
        row.kind = RowKind::Neutral;
    } else if (isFailedState(row.state) || amount.refundedInFull) {
        row.kind = RowKind::Failed;
    } else if (row.flow == Flow::Out && refund >= row.amountCents && refund > 0) {
        row.kind = RowKind::Failed; // refunded in full
    } else if (neutral) {
        row.kind = RowKind::Neutral;
    } else if (!m_platformDirection &&
               isOwnTransferText(row.sourceType + QLatin1Char(' ') + row.description +
                                 QLatin1Char(' ') + row.counterpart)) {
        row.kind = RowKind::Neutral;
    } else {
        row.kind = row.flow == Flow::In ? RowKind::Income : RowKind::Expense;
    }
    if (row.flow == Flow::Out && refund > 0 && refund < row.amountCents)
        row.amountCents -= refund;
    return row;
}

ParsedStatement StatementReader::read(const Progress& progress)
{
    const TableRead table = readTable(
        m_path, [this](SourceRow&& row) { return take(std::move(row)); }, progress,
        [](const QStringList& cells) {
            const Layout::Fit fit = recognizeHeader(cells).fit;
            return fit == Layout::Fit::Known || fit == Layout::Fit::Complete;
        });
    m_result.fileKind = table.kind;
    m_result.encoding = table.encoding;
    if (m_error.isEmpty() && !m_haveHeader) {
        if (m_head.isEmpty())
            m_error = QStringLiteral("文件里没有账单内容。");
        else
            settleFallbackHeader();
    }
    if (!m_error.isEmpty())
        throw StoreError(m_error);
    if (!m_result.questions.missingRoles.isEmpty())
        return std::move(m_result);

    m_result.questions.card = m_cardUndecided && !m_result.rows.isEmpty();
    decideDateOrder();
    if (m_result.questions.any()) {
        m_result.rows.clear();
        return std::move(m_result);
    }
    resolveDates();
    return std::move(m_result);
}

} // namespace

qsizetype ParsedStatement::count(RowKind kind) const
{
    qsizetype n = 0;
    for (const StatementRow& row : rows)
        n += row.kind == kind ? 1 : 0;
    return n;
}

ParsedStatement readStatement(const QString& path, const ReadOptions& options,
                              const Progress& progress)
{
    StatementReader reader(path, options);
    return reader.read(progress);
}
