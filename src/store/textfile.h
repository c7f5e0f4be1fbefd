#pragma once

#include <QString>
#include <QStringList>

// Writes the lines as GBK text, each ending in CR LF. The file is replaced only
// once the new one is complete. On failure returns false and sets the error text.
bool writeGbkLines(const QString& path, const QStringList& lines, QString* error = nullptr);
