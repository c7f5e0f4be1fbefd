#include "maintenance/safetycopy.h"

#include "maintenance/maintenancesql.h"
#include "store/database.h"
#include "store/storeerror.h"

#include <QDir>
#include <QFileInfo>

SafetyCopy writeSafetyCopy(Database& database, const QString& folder, const QDateTime& moment)
{
    const QDir dir(folder);
    SafetyCopy result;
    // Two copies within one second (or leftover files) must never overwrite a copy.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = dir.absoluteFilePath(safetyCopyName(moment, attempt));
        const QFileInfo info(path);
        if (info.exists() || info.isSymLink())
            continue;
        result.path = path;
        try {
            database.backupTo(path);
            result.written = true;
        } catch (const StoreError& e) {
            result.error = e.message();
        }
        return result;
    }
    result.path = dir.absoluteFilePath(safetyCopyName(moment));
    result.error = QStringLiteral("every name for the copy is taken");
    return result;
}
