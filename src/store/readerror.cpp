#include "store/readerror.h"

#include "store/copynames.h"

#include <QDir>
#include <QFileInfo>
#include <sqlite3.h>

bool isDamagedBook(int code)
{
    return (code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB;
}

QString storeMessage(int code, const QString& engineText, const QString& bookPath)
{
    const QString engine =
        engineText.isEmpty() ? QStringLiteral("unknown database error") : engineText;
    if (!isDamagedBook(code))
        return engine;
    QString text = QStringLiteral("数据库文件已损坏，有些记录无法读取：") +
                   QDir::toNativeSeparators(QFileInfo(bookPath).absoluteFilePath());
    const QString copy = newestSafetyCopy(bookPath);
    if (!copy.isEmpty())
        text += QStringLiteral("\n最新的安全副本：") + QDir::toNativeSeparators(copy) +
                QStringLiteral("\n关闭程序后，可以用它替换损坏的文件。");
    return text + QStringLiteral("\n（数据库的消息：") + engine + QStringLiteral("）");
}
