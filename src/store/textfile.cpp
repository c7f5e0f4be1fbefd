#include "store/textfile.h"

#include "store/gbk.h"

#include <QSaveFile>

bool writeGbkLines(const QString& path, const QStringList& lines, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QByteArray chunk;
    for (const QString& line : lines) {
        chunk += encodeGbk(line);
        chunk += "\r\n";
        if (chunk.size() >= 1 << 16) {
            if (file.write(chunk) != chunk.size())
                break;
            chunk.clear();
        }
    }
    if (!chunk.isEmpty())
        file.write(chunk);
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
