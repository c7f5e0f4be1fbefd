#include "store/readerror.h"

#include "store/copynames.h"

#include <QDir>
#include <QFileInfo>
#include <sqlite3.h>

bool isDamagedBook(int code)
{
    return isCorruptFile(code) || isForeignFile(code);
}

bool isCorruptFile(int code)
{
    return (code & 0xff) == SQLITE_CORRUPT;
}

bool isForeignFile(int code)
{
    return (code & 0xff) == SQLITE_NOTADB;
}

namespace {

// Empty when the engine's words are all there is to say.
QString explanation(int code, FailedWhile when)
{
    const QString notSaved = QStringLiteral("数据没有保存。");
    const QString journal =
        QStringLiteral("无法在数据库文件旁建立日志文件（文件夹不能写入或磁盘已满），") + notSaved;
    switch (code) {
    case SQLITE_IOERR_READ:
    case SQLITE_IOERR_SHORT_READ:
        return QStringLiteral("读取磁盘时出错，数据没有读出。");
    case SQLITE_IOERR_NOMEM:
        return {};
    case SQLITE_IOERR_DIR_FSYNC: // the folder, after the journal was made in it
    case SQLITE_READONLY_DIRECTORY:
    case SQLITE_READONLY_ROLLBACK:
        return journal;
    case SQLITE_READONLY:
        return QStringLiteral("数据库文件是只读的，") + notSaved;
    default:
        break;
    }
    switch (code & 0xff) {
    case SQLITE_FULL:
        return QStringLiteral("磁盘空间已满，") + notSaved;
    case SQLITE_IOERR:
        return QStringLiteral("磁盘读写出错，") + notSaved;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("数据库文件正被另一个程序使用，请稍后再试。");
    case SQLITE_READONLY:
        return journal;
    case SQLITE_CANTOPEN:
        // While opening, the book itself could not be opened: the engine says so.
        return when == FailedWhile::Working ? journal : QString();
    default:
        break;
    }
    return {};
}

} // namespace

QString storeMessage(int code, const QString& engineText, const QString& bookPath, FailedWhile when)
{
    const QString engine =
        engineText.isEmpty() ? QStringLiteral("unknown database error") : engineText;
    if (!isDamagedBook(code)) {
        const QString plain = explanation(code, when);
        return plain.isEmpty() ? engine
                               : plain + QStringLiteral("（") + engine + QStringLiteral("）");
    }
    QString text = QStringLiteral("数据库文件已损坏，有些记录无法读取：") +
                   QDir::toNativeSeparators(QFileInfo(bookPath).absoluteFilePath());
    const QString copy = newestSafetyCopy(bookPath);
    if (!copy.isEmpty())
        text += QStringLiteral("\n最新的安全副本：") + QDir::toNativeSeparators(copy) +
                QStringLiteral(
                    "\n可以在“系统维护”的“备份与恢复”中恢复它，或关闭程序后用它替换损坏的文件。");
    return text + QStringLiteral("\n（数据库的消息：") + engine + QStringLiteral("）");
}
