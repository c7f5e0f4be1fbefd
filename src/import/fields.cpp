#include "import/fields.h"

#include "store/numbers.h"

#include <QRegularExpression>
#include <cmath>

namespace {

bool isPadding(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\r' || u == u'\n' || u == 0x3000 || u == 0xA0 ||
           u == 0xFEFF;
}

// Whole cents of digits with at most two decimals, exactly; empty for other texts.
std::optional<qint64> plainCents(QStringView digits)
{
    qint64 cents = 0;
    int decimals = -1;
    for (const QChar c : digits) {
        if (c == QLatin1Char('.') && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (c < QLatin1Char('0') || c > QLatin1Char('9') || decimals == 2 || cents > 1e15)
            return std::nullopt;
        cents = cents * 10 + (c.unicode() - u'0');
        if (decimals >= 0)
            ++decimals;
    }
    if (digits.isEmpty() || digits == u".")
        return std::nullopt;
    for (int i = decimals < 0 ? 0 : decimals; i < 2; ++i)
        cents *= 10;
    return cents;
}

// Whole cents of a plain decimal text ("1,234.5"), through the cent rounding of
// typed amounts. Refused beyond ten thousand billion yuan.
std::optional<qint64> centsOf(QString digits)
{
    // Up to two decimals the rounding changes nothing: read them exactly.
    if (const auto cents = plainCents(digits); cents && *cents < qint64(1e15))
        return cents;
    if (digits.contains(QLatin1Char(','))) {
        static const QRegularExpression grouped(
            QStringLiteral("^[0-9]{1,3}(,[0-9]{3})+(\\.[0-9]*)?$"));
        if (!grouped.match(digits).hasMatch())
            return std::nullopt;
        digits.remove(QLatin1Char(','));
    }
    const auto value = convertNumber(digits);
    if (!value)
        return std::nullopt;
    const auto rounded = roundCents(*value);
    if (!rounded || std::fabs(*rounded) >= 1e13)
        return std::nullopt;
    return std::llround(*rounded * 100.0);
}

const QString& timePattern()
{
    static const QString pattern =
        QStringLiteral("(?:[\\sT]+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?(?:\\.\\d+)?)?");
    return pattern;
}

QTime timeOf(const QRegularExpressionMatch& m, int first, bool* ok)
{
    *ok = true;
    if (m.captured(first).isEmpty())
        return QTime();
    const QTime time(m.captured(first).toInt(), m.captured(first + 1).toInt(),
                     m.captured(first + 2).isEmpty() ? 0 : m.captured(first + 2).toInt());
    *ok = time.isValid();
    return time;
}

// Only Latin words have a case to ignore; Chinese ones compare faster without.
Qt::CaseSensitivity caseOf(const char16_t* word)
{
    return word[0] < 0x80 ? Qt::CaseInsensitive : Qt::CaseSensitive;
}

bool containsAny(const QString& text, std::initializer_list<const char16_t*> words)
{
    for (const char16_t* word : words)
        if (text.contains(QStringView(word), caseOf(word)))
            return true;
    return false;
}

bool startsWithAny(const QString& text, std::initializer_list<const char16_t*> words)
{
    for (const char16_t* word : words)
        if (text.startsWith(QStringView(word), caseOf(word)))
            return true;
    return false;
}

} // namespace

QString trimCell(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isPadding(text[start]))
        ++start;
    while (end > start && isPadding(text[end - 1]))
        --end;
    return start == 0 && end == text.size() ? text : text.mid(start, end - start);
}

std::optional<Amount> readAmountCell(const QString& cell)
{
    QString text = trimCell(cell);
    Amount amount;
    // Most cells are a plain number, with or without a sign: no pattern needed.
    {
        QStringView digits(text);
        const bool minus = digits.startsWith(u'-');
        if (minus || digits.startsWith(u'+'))
            digits = digits.sliced(1);
        if (const auto cents = plainCents(digits); cents && *cents < qint64(1e15)) {
            amount.cents = minus ? -*cents : *cents;
            return amount;
        }
    }
    static const QRegularExpression refundNote(QStringLiteral(
        "[（(]\\s*(?:已?全额退款|已退款\\s*[¥￥]?\\s*([0-9][0-9,]*(?:\\.[0-9]+)?))\\s*[)）]"));
    const QRegularExpressionMatch note = refundNote.match(text);
    if (note.hasMatch()) {
        if (note.captured(1).isEmpty()) {
            amount.refundedInFull = true;
        } else {
            const auto refund = centsOf(note.captured(1));
            if (!refund)
                return std::nullopt;
            amount.refundCents = *refund;
        }
        text.remove(note.capturedStart(), note.capturedLength());
        text = trimCell(text);
    }

    // Accounting brackets mark a negative amount: "(12.30)".
    bool negative = false;
    if (text.size() > 2 && (text.front() == QLatin1Char('(') || text.front() == u'（') &&
        (text.back() == QLatin1Char(')') || text.back() == u'）')) {
        negative = true;
        text = trimCell(text.mid(1, text.size() - 2));
    }

    static const QRegularExpression shape(
        QStringLiteral("^([+\\-−]?)\\s*(?:¥|￥|CNY|RMB|人民币)?\\s*([+\\-−]?)\\s*"
                       "([0-9][0-9,]*(?:\\.[0-9]*)?|\\.[0-9]+)\\s*(?:元|CNY|RMB)?\\s*(-?)$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = shape.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    int signs = 0;
    for (int group : {1, 2, 4}) {
        const QString sign = m.captured(group);
        if (sign.isEmpty())
            continue;
        ++signs;
        if (sign != QStringLiteral("+"))
            negative = !negative;
    }
    if (signs > 1)
        return std::nullopt;
    const auto cents = centsOf(m.captured(3));
    if (!cents)
        return std::nullopt;
    amount.cents = negative ? -*cents : *cents;
    return amount;
}

std::optional<DateCell> readDateCell(const QString& cell)
{
    const QString text = trimCell(cell);
    // Most statements write "yyyy-MM-dd HH:mm:ss": read it without a pattern.
    if ((text.size() == 10 || text.size() == 19) && text[4] == u'-' && text[7] == u'-' &&
        (text.size() == 10 || (text[10] == u' ' && text[13] == u':' && text[16] == u':'))) {
        const auto number = [&](qsizetype at, qsizetype length) {
            int value = 0;
            for (qsizetype i = at; i < at + length; ++i) {
                if (text[i] < u'0' || text[i] > u'9')
                    return -1;
                value = value * 10 + (text[i].unicode() - u'0');
            }
            return value;
        };
        DateCell date;
        date.a = number(0, 4);
        date.b = number(5, 2);
        date.c = number(8, 2);
        if (text.size() == 19)
            date.time = QTime(number(11, 2), number(14, 2), number(17, 2));
        if (QDate(date.a, date.b, date.c).isValid() && (text.size() == 10 || date.time.isValid()))
            return date;
        return std::nullopt;
    }
    static const QRegularExpression yearFirst(
        QStringLiteral("^(\\d{4})\\s*[-/.年]\\s*(\\d{1,2})\\s*[-/.月]\\s*(\\d{1,2})\\s*日?") +
        timePattern() + QStringLiteral("$"));
    static const QRegularExpression compact(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})") +
                                            timePattern() + QStringLiteral("$"));
    static const QRegularExpression yearLast(
        QStringLiteral("^(\\d{1,2})[-/.](\\d{1,2})[-/.](\\d{4})") + timePattern() +
        QStringLiteral("$"));
    static const QRegularExpression yearLess(QStringLiteral("^(\\d{1,2})[-/.](\\d{1,2})") +
                                             timePattern() + QStringLiteral("$"));

    DateCell date;
    QRegularExpressionMatch m = yearFirst.match(text);
    if (!m.hasMatch())
        m = compact.match(text);
    bool timeOk = true;
    if (m.hasMatch()) {
        date.form = DateCell::Form::YearFirst;
        date.a = m.captured(1).toInt();
        date.b = m.captured(2).toInt();
        date.c = m.captured(3).toInt();
        date.time = timeOf(m, 4, &timeOk);
        if (!timeOk || !QDate(date.a, date.b, date.c).isValid())
            return std::nullopt;
        return date;
    }
    m = yearLast.match(text);
    if (m.hasMatch()) {
        date.form = DateCell::Form::YearLast;
        date.c = m.captured(3).toInt();
    } else {
        m = yearLess.match(text);
        if (!m.hasMatch())
            return std::nullopt;
        date.form = DateCell::Form::YearLess;
    }
    date.a = m.captured(1).toInt();
    date.b = m.captured(2).toInt();
    date.time = timeOf(m, date.form == DateCell::Form::YearLast ? 4 : 3, &timeOk);
    const bool someMonth = (date.a >= 1 && date.a <= 12) || (date.b >= 1 && date.b <= 12);
    if (!timeOk || !someMonth || date.a < 1 || date.b < 1 || date.a > 31 || date.b > 31)
        return std::nullopt;
    return date;
}

QTime readTimeCell(const QString& cell)
{
    const QString text = trimCell(cell);
    static const QRegularExpression separated(
        QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?(?:\\.\\d+)?$"));
    static const QRegularExpression compact(QStringLiteral("^(\\d{2})(\\d{2})(\\d{2})$"));
    QRegularExpressionMatch m = separated.match(text);
    if (!m.hasMatch())
        m = compact.match(text);
    if (!m.hasMatch())
        return QTime();
    return QTime(m.captured(1).toInt(), m.captured(2).toInt(),
                 m.captured(3).isEmpty() ? 0 : m.captured(3).toInt());
}

QDate resolveDate(const DateCell& cell, DateOrder order, const QDate& statementEnd)
{
    if (cell.form == DateCell::Form::YearFirst)
        return QDate(cell.a, cell.b, cell.c);
    const int month = order == DateOrder::MonthDay ? cell.a : cell.b;
    const int day = order == DateOrder::MonthDay ? cell.b : cell.a;
    if (cell.form == DateCell::Form::YearLast)
        return QDate(cell.c, month, day);
    if (!statementEnd.isValid())
        return QDate();
    // 12/29 in a statement that ends in January 2024 is 2023-12-29.
    QDate date(statementEnd.year(), month, day);
    if (!date.isValid() || date > statementEnd)
        date = QDate(statementEnd.year() - 1, month, day);
    return date;
}

QDate latestDateIn(const QString& text)
{
    static const QRegularExpression separated(
        QStringLiteral("(?<!\\d)((?:19|20)\\d{2})\\s*[年/.\\-]\\s*(\\d{1,2})(?!\\d)(?:\\s*[月/"
                       ".\\-]?\\s*(\\d{1,2})(?!\\d))?"));
    static const QRegularExpression compact(
        QStringLiteral("(?<!\\d)((?:19|20)\\d{2})(\\d{2})(\\d{2})(?!\\d)"));
    QDate latest;
    for (const QRegularExpression* re : {&separated, &compact}) {
        auto it = re->globalMatch(text);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            const int year = m.captured(1).toInt();
            const int month = m.captured(2).toInt();
            QDate date;
            if (m.captured(3).isEmpty()) {
                const QDate first(year, month, 1);
                if (first.isValid())
                    date = QDate(year, month, first.daysInMonth());
            } else {
                date = QDate(year, month, m.captured(3).toInt());
            }
            if (date.isValid() && (!latest.isValid() || date > latest))
                latest = date;
        }
    }
    return latest;
}

Direction readDirectionCell(const QString& cell)
{
    const QString text = trimCell(cell);
    Direction direction;
    if (text.isEmpty() || text == QStringLiteral("/") || text == QStringLiteral("-") ||
        text == QStringLiteral("其他") || containsAny(text, {u"不计收支", u"中性"})) {
        direction.neutral = true;
        return direction;
    }
    if (startsWithAny(text, {u"收", u"入", u"存入", u"贷", u"credit", u"cr"}) ||
        text.compare(QStringLiteral("c"), Qt::CaseInsensitive) == 0) {
        direction.flow = Flow::In;
    } else if (startsWithAny(text, {u"支", u"出", u"借", u"debit", u"dr"}) ||
               text.compare(QStringLiteral("d"), Qt::CaseInsensitive) == 0) {
        direction.flow = Flow::Out;
    } else {
        direction.readable = false;
    }
    return direction;
}

bool isFailedState(const QString& state)
{
    return containsAny(state, {u"关闭", u"失败", u"撤销", u"撤回", u"取消", u"等待付款", u"待付款",
                               u"未支付", u"未付款", u"全额退款"});
}

qint64 refundInState(const QString& state)
{
    if (!state.contains(u"已退款"))
        return 0;
    static const QRegularExpression refund(
        QStringLiteral("已退款\\s*[（(]?\\s*[¥￥]?\\s*([0-9][0-9,]*(?:\\.[0-9]+)?)"));
    const QRegularExpressionMatch m = refund.match(state);
    if (!m.hasMatch())
        return 0;
    return centsOf(m.captured(1)).value_or(0);
}

bool isOwnTransferText(const QString& text)
{
    return containsAny(text, {u"还款",
                              u"提现",
                              u"取现",
                              u"取款",
                              u"存现",
                              u"现金存入",
                              u"零钱充值",
                              u"余额充值",
                              u"账户充值",
                              u"钱包充值",
                              u"零钱通",
                              u"余额宝",
                              u"转入零钱",
                              u"本人账户",
                              u"本人转账",
                              u"转给自己",
                              u"payment thank you",
                              u"payment - thank you",
                              u"autopay",
                              u"atm withdrawal",
                              u"cash withdrawal"});
}

bool isRefundText(const QString& text)
{
    return containsAny(text, {u"退款", u"退货", u"refund"});
}
