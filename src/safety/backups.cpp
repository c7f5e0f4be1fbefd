#include "safety/backups.h"

#include "store/bookcopy.h"
#include "store/database.h"
#include "store/draftfile.h"
#include "store/schema.h"
#include "store/storeerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <algorithm>

namespace {

constexpr int kKeptDays = 10;
constexpr int kKeptMonths = 12;

QString defaultFailure(const QString& path, const QString& reason)
{
    return QStringLiteral("无法写入数据库的备份：") + QDir::toNativeSeparators(path) +
           QStringLiteral("\n原因：") + reason;
}

// The backup folder beside the book, made readable by its owner only when new.
QDir backupDir(const QString& bookPath)
{
    const QString folder = backupFolder(bookPath);
    const QFileInfo info(folder);
    if (!info.exists()) {
        if (!QDir().mkpath(folder))
            throw StoreError(
                QStringLiteral("无法建立文件夹 %1").arg(QDir::toNativeSeparators(folder)));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    } else if (!info.isDir()) {
        throw StoreError(QStringLiteral("%1 不是文件夹").arg(QDir::toNativeSeparators(folder)));
    }
    return QDir(folder);
}

// Hidden files of copies that a killed program left behind more than a day ago.
void removeLeftovers(const QDir& folder)
{
    const QDateTime dayAgo = QDateTime::currentDateTime().addDays(-1);
    for (const QFileInfo& file :
         folder.entryInfoList({QStringLiteral(".*vandrel-*")}, QDir::Files | QDir::Hidden))
        if (file.lastModified() < dayAgo)
            QFile::remove(file.absoluteFilePath());
}

// A name of its own: a journal a killed program left beside an older file of
// the same name would otherwise be played into the new one.
QString hiddenName(const QString& name, const char* what)
{
    return QStringLiteral(".%1.%2-%3.%4")
        .arg(name)
        .arg(QCoreApplication::applicationPid())
        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))
        .arg(QLatin1String(what));
}

} // namespace

QString writeBackup(Database& book, CopyReason reason, const QDateTime& moment,
                    const Progress& progress, const CopyFailureText& failure)
{
    const CopyFailureText& failed = failure ? failure : CopyFailureText(defaultFailure);
    const QString bookPath = QFileInfo(book.path()).absoluteFilePath();
    QString target = QDir(backupFolder(bookPath)).absoluteFilePath(backupCopyName(moment, reason));
    try {
        const QDir folder = backupDir(bookPath);
        removeLeftovers(folder);
        // Two copies within one second (or files in the way) never overwrite a copy.
        int attempt = 0;
        for (; attempt < 100; ++attempt) {
            target = folder.absoluteFilePath(backupCopyName(moment, reason, attempt));
            const QFileInfo info(target);
            if (!info.exists() && !info.isSymLink())
                break;
        }
        if (attempt == 100)
            throw StoreError(QStringLiteral("every name for the copy is taken"));

        DraftFile partial(
            folder.absoluteFilePath(hiddenName(QFileInfo(target).fileName(), "partial")));
        book.backupTo(partial.path(), progress);
        try {
            writeSummary(partial.path());
        } catch (const StoreError&) {
            // A book that lacks a table of entries (or a damaged one) is still
            // copied whole; the list then shows no counts for it. A summary cut
            // short by the disk is rolled back first.
            settleCopy(partial.path());
        }
        // The book as it stands, damaged or not, is what a restore must keep.
        QString check;
        try {
            check = quickCheckFile(partial.path());
        } catch (const StoreError& e) {
            check = e.message(); // damaged beyond the check's own reading
        }
        if (check != QLatin1String("ok") && reason != CopyReason::Restore)
            throw StoreError(QStringLiteral("副本没有通过检查：") + check);
        partial.moveTo(target);
    } catch (const StoreError& e) {
        throw StoreError(failed(target, e.message()), e.code());
    }
    return target;
}

QList<BackupEntry> listBackups(const QString& bookPath)
{
    QList<BackupEntry> entries;
    for (const CopyFile& file : listCopyFiles(bookPath))
        entries.append({file, QFileInfo(file.path).size(), readSummary(file.path)});
    return entries;
}

QList<qsizetype> copiesToRemove(const QList<CopyName>& copies)
{
    QList<qsizetype> order(copies.size());
    for (qsizetype i = 0; i < copies.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](qsizetype a, qsizetype b) { return isNewer(copies[a], copies[b]); });
    // Newest first, so the first copy met of a day or month is its newest.
    QSet<QDate> days;
    QSet<int> months;
    QSet<qsizetype> kept;
    for (qsizetype i : order) {
        const QDate day = copies[i].moment.date();
        const int month = day.year() * 12 + day.month();
        if (!days.contains(day) && days.size() < kKeptDays) {
            days.insert(day);
            kept.insert(i);
        }
        if (!months.contains(month) && months.size() < kKeptMonths) {
            months.insert(month);
            kept.insert(i);
        }
    }
    QList<qsizetype> removed;
    for (qsizetype i = 0; i < copies.size(); ++i)
        if (!kept.contains(i))
            removed << i;
    return removed;
}

void pruneAutomaticCopies(const QString& bookPath)
{
    QList<CopyFile> automatic;
    for (const CopyFile& file : listCopyFiles(bookPath))
        if (file.name.reason == CopyReason::Auto)
            automatic << file;
    QList<CopyName> names;
    for (const CopyFile& file : automatic)
        names << file.name;
    for (qsizetype i : copiesToRemove(names))
        QFile::remove(automatic.at(i).path);
}

QString restoreBook(Database& book, const QString& path, const Progress& progress)
{
    checkRestorable(path, progress);
    const QString kept = writeBackup(
        book, CopyReason::Restore, QDateTime::currentDateTime(), progress,
        [](const QString& copy, const QString& reason) {
            return QStringLiteral("恢复未进行：无法写入当前数据库的安全副本！\n文件：") +
                   QDir::toNativeSeparators(copy) + QStringLiteral("\n原因：") + reason;
        });
    const DraftFile prepared(
        QDir(backupFolder(book.path()))
            .absoluteFilePath(hiddenName(QFileInfo(path).fileName(), "restoring")));
    try {
        // A new generation tells every program that has the book open that the
        // entries it lists are gone; it travels inside the copy, so it arrives
        // in the same step as the entries.
        qint64 current = 0;
        try {
            current = bookGeneration(book);
        } catch (const StoreError&) {
            // A book too damaged to tell: the copy's own number is passed all the same.
        }
        const qint64 generation = std::max(current, fileGeneration(path)) + 1;
        copyBookFile(path, prepared.path(), progress);
        prepareForRestore(prepared.path(), generation);
        writeIntoBook(book, prepared.path(), progress);
    } catch (const StoreError& e) {
        throw StoreError(QStringLiteral("恢复失败，数据库保持原样。\n原因：") + e.message(),
                         e.code());
    }
    ensureSchema(book);
    return kept;
}

QDateTime copyMoment(const QString& path)
{
    if (const std::optional<CopyName> name = parseCopyName(QFileInfo(path).fileName()))
        return name->moment;
    return QFileInfo(path).lastModified();
}

QString momentText(const QDateTime& moment)
{
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
