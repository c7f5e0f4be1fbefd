#include "safety/safetycommands.h"

#include "safety/backups.h"
#include "store/database.h"
#include "store/numbers.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString bookPath()
{
    return QDir::current().absoluteFilePath(QString::fromLatin1(kDatabaseFileName));
}

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(QDir::current().relativeFilePath(path));
}

} // namespace

QStringList backupCommand()
{
    Database book(QStringLiteral("command"), bookPath());
    return {QStringLiteral("copy written: ") + shown(writeBackup(book, CopyReason::Manual))};
}

QStringList backupsCommand()
{
    QStringList lines;
    for (const BackupEntry& e : listBackups(bookPath())) {
        lines << QStringList{momentText(e.file.name.moment),
                             copyReasonWord(e.file.name.reason),
                             fileSizeText(e.size),
                             e.summary ? QString::number(e.summary->incomes) : QStringLiteral("-"),
                             e.summary ? QString::number(e.summary->expenses) : QStringLiteral("-"),
                             e.summary && !e.summary->lastEntryDate.isEmpty()
                                 ? e.summary->lastEntryDate
                                 : QStringLiteral("-"),
                             shown(e.file.path)}
                     .join(QLatin1Char('\t'));
    }
    return lines;
}

QStringList restoreCommand(const QString& file)
{
    const QString path = QFileInfo(file).absoluteFilePath();
    Database book(QStringLiteral("command"), bookPath());
    const QString kept = restoreBook(book, path);
    return {QStringLiteral("the book as it was: ") + shown(kept),
            QStringLiteral("restored the book to the copy of ") + momentText(copyMoment(path))};
}
