#pragma once

#include "store/progress.h"

#include <QDateTime>
#include <QString>

class Database;

// Writes the safety copy taken before action ("系统初始化", "数据库压缩") into
// folder under the first free name made from the moment (safetyCopyName); an
// existing file is never overwritten. Returns the copy's path. Throws
// StoreError with the refusal of the action, which names the file and the
// reason, or Cancelled.
QString writeSafetyCopy(Database& database, const QString& folder, const QDateTime& moment,
                        const QString& action, const Progress& progress = {});
