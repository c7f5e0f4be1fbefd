#pragma once

#include <QString>

// A database file being made under a name of its own (a copy, a restore, a new
// book): removed with its journal unless it was moved into place.
class DraftFile final
{
public:
    explicit DraftFile(QString path) : m_path(std::move(path)) {}
    ~DraftFile();
    DraftFile(const DraftFile&) = delete;
    DraftFile& operator=(const DraftFile&) = delete;

    const QString& path() const { return m_path; }
    // Moves the file to target, which must not exist (moveIntoPlace); it then
    // stays. Throws StoreError.
    void moveTo(const QString& target);

private:
    QString m_path;
    bool m_moved = false;
};
