#include "maintenance/safetycopy.h"

#include "maintenance/maintenancesql.h"
#include "store/copynames.h"
#include "store/database.h"
#include "store/storeerror.h"

#include <QDir>
#include <QFileInfo>

QString writeSafetyCopy(Database& database, const QString& folder, const QDateTime& moment,
                        const QString& action, const Progress& progress)
{
    const QDir dir(folder);
    // Two copies within one second (or leftover files) must never overwrite a copy.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = dir.absoluteFilePath(safetyCopyName(moment, attempt));
        const QFileInfo info(path);
        if (info.exists() || info.isSymLink())
            continue;
        try {
            database.backupTo(path, progress);
        } catch (const StoreError& e) {
            throw StoreError(safetyCopyFailedMessage(action, path, e.message()), e.code());
        }
        return path;
    }
    throw StoreError(safetyCopyFailedMessage(action, dir.absoluteFilePath(safetyCopyName(moment)),
                                             QStringLiteral("every name for the copy is taken")));
}
