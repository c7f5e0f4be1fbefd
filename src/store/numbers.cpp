#include "store/numbers.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

std::optional<double> convertNumber(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    qsizetype digits = 0;
    bool point = false;
    while (i < n && (isDigit(text[i]) || text[i] == QLatin1Char('.'))) {
        if (text[i] == QLatin1Char('.')) {
            if (point)
                return std::nullopt;
            point = true;
        } else {
            ++digits;
        }
        ++i;
    }
    if (digits == 0 && !point)
        return std::nullopt;
    qsizetype mantissaEnd = i;
    qsizetype exponentDigits = 0;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ++i;
        if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            ++i;
        while (i < n && isDigit(text[i])) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return std::nullopt;
    }
    const qsizetype end = i;
    while (i < n && isBlank(text[i]))
        ++i;
    if (i != n)
        return std::nullopt;
    if (digits == 0)
        return 0.0; // a lone point, possibly signed or with an exponent

    QString number = text.mid(start, end - start);
    // QLocale::c() reads neither "5." nor ".5" consistently on all versions.
    if (number.contains(QLatin1Char('.'))) {
        const qsizetype dot = number.indexOf(QLatin1Char('.'));
        const qsizetype mantissaLength = mantissaEnd - start;
        if (dot + 1 == mantissaLength || !isDigit(number[dot + 1]))
            number.insert(dot + 1, QLatin1Char('0'));
        if (dot == 0 || !isDigit(number[dot - 1]))
            number.insert(dot, QLatin1Char('0'));
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    if (!ok) {
        // The grammar was checked above, so only the range can fail: a tiny value
        // underflows to 0, a huge one overflows and is then refused by rounding.
        const qsizetype e = number.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive);
        if (e >= 0 && number.mid(e + 1).startsWith(QLatin1Char('-')))
            return 0.0;
        return number.startsWith(QLatin1Char('-')) ? -std::numeric_limits<double>::infinity()
                                                   : std::numeric_limits<double>::infinity();
    }
    return value;
}

std::optional<double> roundCents(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const long double cents = std::nearbyintl(static_cast<long double>(value) * 100.0L);
    // The largest long double below 2^63 still fits; 2^63 itself does not.
    constexpr long double limit = 9223372036854775808.0L;
    if (cents >= limit || cents < -limit)
        return std::nullopt;
    double result = static_cast<double>(cents / 100.0L);
    if (result == 0.0)
        result = 0.0; // no negative zero
    return result;
}

std::optional<double> parseAmount(const QString& text)
{
    const auto value = convertNumber(text);
    if (!value)
        return std::nullopt;
    return roundCents(*value);
}

QString numberText(double value)
{
    if (value == 0.0 || !std::isfinite(value))
        return value == 0.0 ? QStringLiteral("0") : QString::number(value);
    QString text = QString::number(value, 'g', 15);
    const qsizetype e = text.indexOf(QLatin1Char('e'));
    if (e < 0)
        return text;
    QString mantissa = text.left(e);
    QString exponent = text.mid(e + 1);
    bool negative = false;
    if (exponent.startsWith(QLatin1Char('+'))) {
        exponent.remove(0, 1);
    } else if (exponent.startsWith(QLatin1Char('-'))) {
        negative = true;
        exponent.remove(0, 1);
    }
    while (exponent.size() > 1 && exponent.startsWith(QLatin1Char('0')))
        exponent.remove(0, 1);
    return mantissa + QLatin1Char('E') + (negative ? QStringLiteral("-") : QString()) + exponent;
}

QString dateText(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString dateTimeText(const QDateTime& dateTime)
{
    const QTime time = dateTime.time();
    QString text = dateText(dateTime.date());
    if (time.hour() != 0 || time.minute() != 0 || time.second() != 0)
        text += QLatin1Char(' ') + time.toString(QStringLiteral("HH:mm:ss"));
    return text;
}

QString periodKey(const QDate& date)
{
    QString year = QString::number(date.year());
    if (year.size() == 2)
        year.prepend(QStringLiteral("20"));
    return year + QStringLiteral("%1").arg(date.month(), 2, 10, QLatin1Char('0'));
}

QString fileSizeText(qint64 bytes)
{
    const double kb = static_cast<double>(bytes) / 1024.0;
    if (kb < 1024.0)
        return QString::number(kb, 'f', 1) + QStringLiteral(" KB");
    const double mb = kb / 1024.0;
    if (mb < 1024.0)
        return QString::number(mb, 'f', 1) + QStringLiteral(" MB");
    return QString::number(mb / 1024.0, 'f', 1) + QStringLiteral(" GB");
}
