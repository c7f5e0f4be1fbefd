#pragma once

#include <QByteArray>
#include <QString>

// A new file made under a temporary name beside its place and moved there by
// commit() only once it is complete and on disk, replacing an older file in
// one step. The temporary name is created exclusively, so no other file is
// ever written over. A new file is readable by its owner only; a file it
// replaces keeps its permissions. On any failure nothing changes on disk and
// error() holds the file's name and the system's reason.
class PendingFile final
{
public:
    explicit PendingFile(const QString& path);
    // Removes the temporary file unless commit() succeeded.
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool create();
    // Where the content goes, for writers that open the file by name themselves.
    const QString& temporaryPath() const { return m_temporary; }
    bool write(const char* data, qsizetype size);
    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    bool commit();

    // Records the first failure; always returns false.
    bool fail(const QString& reason);
    // The system's text for an error number.
    static QString systemReason(int code);
    bool failed() const { return m_failed; }
    const QString& error() const { return m_error; }

private:
    void discard();

    QString m_path;   // as given, for messages
    QString m_target; // where the file lands: a link's target, as a save file does
    QString m_temporary;
    int m_fd = -1;
    bool m_failed = false;
    QString m_error;
};
