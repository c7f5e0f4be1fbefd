#include "store/sqltext.h"

QString sqlEscape(const QString& value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\''), QStringLiteral("''"));
    return escaped;
}

QString toSqliteDialect(const QString& statement)
{
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
            if (close < 0) {
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
