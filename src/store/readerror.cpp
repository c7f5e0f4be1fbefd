#include "store/readerror.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <sqlite3.h>

QString newestSafetyCopy(const QString& bookPath)
{
    const QDir folder = QFileInfo(bookPath).absoluteDir();
    static const QRegularExpression form(
        QStringLiteral("^vandrel-backup-(\\d{8}-\\d{6})(?:-(\\d{1,9}))?\\.mdb$"));
    QString newest;
    QString newestStamp;
    int newestNumber = 0;
    for (const QString& name :
         folder.entryList({QStringLiteral("vandrel-backup-*.mdb")}, QDir::Files)) {
        const QRegularExpressionMatch m = form.match(name);
        if (!m.hasMatch())
            continue;
        // A name without a number is the first copy of its second.
        const QString stamp = m.captured(1);
        const int number = m.captured(2).isEmpty() ? 1 : m.captured(2).toInt();
        if (newest.isEmpty() || stamp > newestStamp ||
            (stamp == newestStamp && number > newestNumber)) {
            newest = folder.absoluteFilePath(name);
            newestStamp = stamp;
            newestNumber = number;
        }
    }
    return newest;
}

bool isDamagedBook(const QSqlError& error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    if (ok && ((code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB))
        return true;
    const QString text = error.databaseText();
    return text.contains(QLatin1String("database disk image is malformed")) ||
           text.contains(QLatin1String("file is not a database"));
}

QString storeMessage(const QSqlError& error, const QString& bookPath)
{
    QString engine = error.databaseText();
    if (engine.isEmpty())
        engine = error.text();
    if (engine.isEmpty())
        engine = QStringLiteral("unknown database error");
    if (!isDamagedBook(error))
        return engine;
    QString text = QStringLiteral("数据库文件已损坏，有些记录无法读取：") +
                   QDir::toNativeSeparators(QFileInfo(bookPath).absoluteFilePath());
    const QString copy = newestSafetyCopy(bookPath);
    if (!copy.isEmpty())
        text += QStringLiteral("\n最新的安全副本：") + QDir::toNativeSeparators(copy) +
                QStringLiteral("\n关闭程序后，可以用它替换损坏的文件。");
    return text + QStringLiteral("\n（数据库的消息：") + engine + QStringLiteral("）");
}
