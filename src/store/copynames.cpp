#include "store/copynames.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

const QString kStampFormat = QStringLiteral("yyyyMMdd-HHmmss");

} // namespace

QString safetyCopyName(const QDateTime& moment, int attempt)
{
    QString name = QStringLiteral("vandrel-backup-") + moment.toString(kStampFormat);
    if (attempt > 0)
        name += QStringLiteral("-%1").arg(attempt + 1);
    return name + QStringLiteral(".mdb");
}

std::optional<CopyName> parseSafetyCopyName(const QString& fileName)
{
    static const QRegularExpression form(
        QStringLiteral("^vandrel-backup-(\\d{8}-\\d{6})(?:-(\\d{1,9}))?\\.mdb$"));
    const QRegularExpressionMatch m = form.match(fileName);
    if (!m.hasMatch())
        return std::nullopt;
    const QDateTime moment = QDateTime::fromString(m.captured(1), kStampFormat);
    if (!moment.isValid())
        return std::nullopt;
    return CopyName{moment, m.captured(2).isEmpty() ? 1 : m.captured(2).toInt()};
}

QString newestSafetyCopy(const QString& bookPath)
{
    const QDir folder = QFileInfo(bookPath).absoluteDir();
    QString newest;
    CopyName newestName;
    for (const QString& name :
         folder.entryList({QStringLiteral("vandrel-backup-*.mdb")}, QDir::Files)) {
        const std::optional<CopyName> parsed = parseSafetyCopyName(name);
        if (!parsed)
            continue;
        if (newest.isEmpty() || parsed->moment > newestName.moment ||
            (parsed->moment == newestName.moment && parsed->number > newestName.number)) {
            newest = folder.absoluteFilePath(name);
            newestName = *parsed;
        }
    }
    return newest;
}
