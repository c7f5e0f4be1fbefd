#pragma once

#include <QByteArray>
#include <QString>

// A new file made under a temporary name beside its place and moved there by
// commit() only once it is complete and on disk, replacing an older file in
// one step. The temporary name is created exclusively, so no other file is
// ever written over. A new file is readable by its owner only; a file it
// replaces keeps its permissions. On any failure nothing changes on disk, and
// the StoreError thrown names the file and the system's reason for the call
// that failed.
class PendingFile final
{
public:
    // Creates the file under its temporary name. Throws StoreError.
    explicit PendingFile(const QString& path);
    // Removes the temporary file unless commit() succeeded.
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Where the content goes, for writers that open the file by name themselves.
    const QString& temporaryPath() const { return m_temporary; }
    // Throws StoreError.
    void write(const char* data, qsizetype size);
    void write(const QByteArray& bytes) { write(bytes.constData(), bytes.size()); }
    // Puts the complete file in place. Throws StoreError.
    void commit();

    // Discards the new file and throws the StoreError for reason.
    [[noreturn]] void fail(const QString& reason);
    // The system's text for an error number.
    static QString systemReason(int code);

private:
    void discard();

    QString m_path;   // as given, for messages
    QString m_target; // where the file lands: a link's target, as a save file does
    QString m_temporary;
    int m_fd = -1;
};
