#include "store/copynames.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace {

const QString kStampFormat = QStringLiteral("yyyyMMdd-HHmmss");

struct ReasonWord
{
    CopyReason reason;
    const char* word;
};

constexpr ReasonWord kReasonWords[] = {
    {CopyReason::Auto, "auto"},       {CopyReason::Reset, "reset"},
    {CopyReason::Compact, "compact"}, {CopyReason::Restore, "restore"},
    {CopyReason::Manual, "manual"},   {CopyReason::Older, "backup"},
};

// In the backup folder the newer form only; beside the book the older one only.
QList<CopyFile> copiesIn(const QDir& folder, const QString& pattern, bool older)
{
    QList<CopyFile> copies;
    for (const QString& name : folder.entryList({pattern}, QDir::Files)) {
        const std::optional<CopyName> parsed = parseCopyName(name);
        if (parsed && (parsed->reason == CopyReason::Older) == older)
            copies.append({folder.absoluteFilePath(name), *parsed});
    }
    return copies;
}

} // namespace

QString copyReasonWord(CopyReason reason)
{
    for (const ReasonWord& r : kReasonWords)
        if (r.reason == reason)
            return QString::fromLatin1(r.word);
    return QString();
}

QString backupFolder(const QString& bookPath)
{
    return QFileInfo(bookPath).absoluteDir().absoluteFilePath(QStringLiteral("backups"));
}

QString backupCopyName(const QDateTime& moment, CopyReason reason, int attempt)
{
    QString name = QStringLiteral("vandrel-");
    if (reason == CopyReason::Older)
        name += QStringLiteral("backup-") + moment.toString(kStampFormat);
    else
        name += moment.toString(kStampFormat) + QLatin1Char('-') + copyReasonWord(reason);
    if (attempt > 0)
        name += QStringLiteral("-%1").arg(attempt + 1);
    return name + QStringLiteral(".mdb");
}

bool isNewer(const CopyName& a, const CopyName& b)
{
    return a.moment != b.moment ? a.moment > b.moment : a.number > b.number;
}

std::optional<CopyName> parseCopyName(const QString& fileName)
{
    static const QRegularExpression form(
        QStringLiteral("^vandrel-(?:backup-(\\d{8}-\\d{6})|(\\d{8}-\\d{6})-(auto|reset|compact|"
                       "restore|manual))(?:-(\\d{1,9}))?\\.mdb$"));
    const QRegularExpressionMatch m = form.match(fileName);
    if (!m.hasMatch())
        return std::nullopt;
    const bool older = !m.captured(1).isEmpty();
    const QDateTime moment = QDateTime::fromString(m.captured(older ? 1 : 2), kStampFormat);
    if (!moment.isValid())
        return std::nullopt;
    CopyName name{moment, m.captured(4).isEmpty() ? 1 : m.captured(4).toInt(), CopyReason::Older};
    if (!older)
        for (const ReasonWord& r : kReasonWords)
            if (m.captured(3) == QLatin1String(r.word))
                name.reason = r.reason;
    return name;
}

QList<CopyFile> listCopyFiles(const QString& bookPath)
{
    QList<CopyFile> copies =
        copiesIn(QDir(backupFolder(bookPath)), QStringLiteral("vandrel-*.mdb"), false);
    copies +=
        copiesIn(QFileInfo(bookPath).absoluteDir(), QStringLiteral("vandrel-backup-*.mdb"), true);
    std::stable_sort(copies.begin(), copies.end(),
                     [](const CopyFile& a, const CopyFile& b) { return isNewer(a.name, b.name); });
    return copies;
}

QString newestSafetyCopy(const QString& bookPath)
{
    const QList<CopyFile> copies = listCopyFiles(bookPath);
    return copies.isEmpty() ? QString() : copies.constFirst().path;
}
