#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

class QSaveFile;

// Writes GBK text, each line ending in CR LF, into a new file that replaces
// path only once it is complete and on disk. Lines are written as they come, so
// a file of any length costs little memory. A file the writer creates is
// readable by its owner only; a file it replaces keeps its permissions. On any
// failure nothing changes on disk: an older file stays as it was, no new file
// is left, and the StoreError thrown names the file and the system's reason.
class GbkTextFile final
{
public:
    // Opens the new file. Throws StoreError.
    explicit GbkTextFile(const QString& path);
    // Discards the new file unless commit() succeeded.
    ~GbkTextFile();
    GbkTextFile(const GbkTextFile&) = delete;
    GbkTextFile& operator=(const GbkTextFile&) = delete;

    // Throws StoreError.
    void writeLine(const QString& line);
    // Puts the complete file in place. Throws StoreError.
    void commit();

private:
    void writeOut();
    [[noreturn]] void fail(const QString& reason) const;

    QString m_path;
    std::unique_ptr<QSaveFile> m_file;
    QByteArray m_chunk;
};

// Writes the lines through GbkTextFile. Throws StoreError.
void writeGbkLines(const QString& path, const QStringList& lines);
