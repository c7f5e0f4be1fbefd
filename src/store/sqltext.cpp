#include "store/sqltext.h"

#include "store/storeerror.h"

namespace {

// The engine reads a NUL as the end of the statement and pairs a lone surrogate
// with whatever follows it (the closing quote), so either would break the
// statement around a text value.
void refuseBrokenText(const QString& statement)
{
    for (qsizetype i = 0; i < statement.size(); ++i) {
        const QChar c = statement.at(i);
        if (c.isHighSurrogate() && i + 1 < statement.size() &&
            statement.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isNull() || c.isSurrogate()) {
            const QString code = QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0');
            throw StoreError(
                QStringLiteral("a text holds a character the book cannot store (U+%1)").arg(code));
        }
    }
}

} // namespace

QString sqlEscape(const QString& value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\''), QStringLiteral("''"));
    return escaped;
}

QString toSqliteDialect(const QString& statement)
{
    refuseBrokenText(statement);
    QString out;
    out.reserve(statement.size());
    bool inText = false;
    for (qsizetype i = 0; i < statement.size(); ++i) {
        const QChar c = statement[i];
        if (c == QLatin1Char('\'')) {
            inText = !inText; // a doubled quote toggles twice, staying inside
            out += c;
        } else if (c == QLatin1Char('#') && !inText) {
            const qsizetype close = statement.indexOf(QLatin1Char('#'), i + 1);
            const qsizetype quote = statement.indexOf(QLatin1Char('\''), i + 1);
            // A literal never spans a quote: that hash sign would be inside a text.
            if (close < 0 || (quote >= 0 && quote < close)) {
                out += c;
                continue;
            }
            out += QLatin1Char('\'');
            out += QStringView(statement).mid(i + 1, close - i - 1);
            out += QLatin1Char('\'');
            i = close;
        } else {
            out += c;
        }
    }
    return out;
}
