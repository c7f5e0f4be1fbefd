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
// is left, and error() holds the system's reason.
class GbkTextFile final
{
public:
    explicit GbkTextFile(const QString& path);
    // Discards the new file unless commit() succeeded.
    ~GbkTextFile();
    GbkTextFile(const GbkTextFile&) = delete;
    GbkTextFile& operator=(const GbkTextFile&) = delete;

    bool open();
    // A failure is kept and reported by commit().
    void writeLine(const QString& line);
    bool commit();
    const QString& error() const { return m_error; }

private:
    bool writeOut();
    bool failWith(const QString& reason);

    QString m_path;
    std::unique_ptr<QSaveFile> m_file;
    QByteArray m_chunk;
    QString m_error;
    bool m_failed = false;
};

// Writes the lines through GbkTextFile. On failure returns false and sets the
// error text.
bool writeGbkLines(const QString& path, const QStringList& lines, QString* error = nullptr);
