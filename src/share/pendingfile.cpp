#include "share/pendingfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

PendingFile::PendingFile(const QString& path) : m_path(path), m_target(path)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString target = info.canonicalFilePath();
        if (!target.isEmpty())
            m_target = target;
    }
}

PendingFile::~PendingFile()
{
    discard();
}

QString PendingFile::systemReason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

bool PendingFile::fail(const QString& reason)
{
    if (!m_failed) {
        m_failed = true;
        m_error = QFileInfo(m_path).fileName() + QStringLiteral(": ") + reason;
    }
    discard();
    return false;
}

void PendingFile::discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.isEmpty()) {
        ::unlink(QFile::encodeName(m_temporary).constData());
        m_temporary.clear();
    }
}

bool PendingFile::create()
{
    const QByteArray target = QFile::encodeName(m_target);
    // An older file the owner may not write stays, as a save file leaves it.
    if (::access(target.constData(), F_OK) == 0 && ::access(target.constData(), W_OK) != 0)
        return fail(systemReason(errno));
    const QFileInfo info(m_target);
    QByteArray name = QFile::encodeName(
        info.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(info.fileName())));
    // mkostemp creates the name exclusively and for the owner only.
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0)
        return fail(systemReason(errno));
    m_temporary = QFile::decodeName(name);
    return true;
}

bool PendingFile::write(const char* data, qsizetype size)
{
    if (m_failed)
        return false;
    if (m_fd < 0)
        return fail(QStringLiteral("the file is not open"));
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(systemReason(errno));
        }
        data += n;
        size -= n;
    }
    return true;
}

bool PendingFile::commit()
{
    if (m_failed)
        return false;
    if (m_fd < 0)
        return fail(QStringLiteral("the file is not open"));
    // The new file takes the old one's permissions.
    struct stat older;
    if (::stat(QFile::encodeName(m_target).constData(), &older) == 0 && S_ISREG(older.st_mode) &&
        ::fchmod(m_fd, older.st_mode & 07777) != 0)
        return fail(systemReason(errno));
    // Another writer may have written the file by its name: the data is the
    // file's, so this descriptor's sync covers it.
    if (::fsync(m_fd) != 0)
        return fail(systemReason(errno));
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        return fail(systemReason(errno));
    // One step that replaces an older file: readers see the old file or the new one.
    if (::rename(QFile::encodeName(m_temporary).constData(),
                 QFile::encodeName(m_target).constData()) != 0)
        return fail(systemReason(errno));
    m_temporary.clear();
    return true;
}
