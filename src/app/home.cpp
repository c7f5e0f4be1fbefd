#include "app/home.h"

#include "store/database.h"
#include "store/storeerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

QString systemReason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// mkdir -p with owner-only folders: the book holds the passwords in plain text.
void makeFolder(const QString& folder, QStringList& notes)
{
    const QFileInfo info(folder);
    if (info.isDir())
        return;
    if (info.exists() || info.isSymLink())
        throw StoreError(
            QStringLiteral("%1 is in the way of the working folder: it is not a folder")
                .arg(folder));
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath())
        makeFolder(parent, notes);
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
        throw StoreError(QStringLiteral("cannot make the working folder %1: %2")
                             .arg(folder, systemReason(errno)));
    notes.append(QStringLiteral("made the folder %1").arg(folder));
}

void putPicture(const QString& path, QStringList& notes)
{
    QFile source(QStringLiteral(":/pelmora/pic.bmp"));
    QFile target(path);
    QByteArray bytes;
    if (source.open(QIODevice::ReadOnly))
        bytes = source.readAll();
    // NewOnly: a picture that appeared meanwhile is kept.
    if (bytes.isEmpty() || !target.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        target.write(bytes) != bytes.size() || !target.flush()) {
        const QString reason = target.errorString();
        if (target.isOpen()) {
            target.close();
            target.remove();
        }
        throw StoreError(QStringLiteral("cannot write the login picture %1: %2").arg(path, reason));
    }
    target.close();
    notes.append(QStringLiteral("put the login picture into %1").arg(path));
}

} // namespace

QString homeFolder()
{
    const QString own = qEnvironmentVariable("PELMORA_HOME");
    if (!own.isEmpty())
        return QDir::cleanPath(QDir::current().absoluteFilePath(own));
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    // Relative values are invalid and ignored.
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(data + QStringLiteral("/pelmora"));
}

void prepareHome(const QString& folder, QStringList& notes)
{
    makeFolder(folder, notes);
    const QDir dir(folder);
    const QString book = dir.filePath(QString::fromLatin1(kDatabaseFileName));
    if (!QFileInfo::exists(book) && !QFileInfo(book).isSymLink()) {
        try {
            createDatabase(book);
            notes.append(
                QStringLiteral("made a fresh book %1 (user admin, password tovek)").arg(book));
        } catch (const StoreError&) {
            if (!QFileInfo::exists(book)) // another start may have made it meanwhile
                throw;
        }
    }
    const QString picture = dir.filePath(QStringLiteral("pic.bmp"));
    if (!QFileInfo::exists(picture) && !QFileInfo(picture).isSymLink())
        putPicture(picture, notes);
}
