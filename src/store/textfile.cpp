#include "store/textfile.h"

#include "store/gbk.h"
#include "store/storeerror.h"

#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

constexpr qsizetype kChunkBytes = 1 << 16;

} // namespace

GbkTextFile::GbkTextFile(const QString& path) : m_path(path)
{
    const bool replacing = QFileInfo::exists(m_path);
    m_file = std::make_unique<QSaveFile>(m_path);
    // Unbuffered: every write reaches the system at once, so its error is the
    // one reported, not lost in a buffer flushed while the file is closed.
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail(m_file->errorString());
    // The new file takes the old one's permissions; a new name is the owner's alone.
    if (!replacing && !m_file->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        fail(m_file->errorString());
    m_chunk.reserve(kChunkBytes + 4096);
}

GbkTextFile::~GbkTextFile() = default;

void GbkTextFile::fail(const QString& reason) const
{
    throw StoreError(QFileInfo(m_path).fileName() + QStringLiteral(": ") + reason);
}

void GbkTextFile::writeLine(const QString& line)
{
    m_chunk += encodeGbk(line);
    m_chunk += "\r\n";
    if (m_chunk.size() >= kChunkBytes)
        writeOut();
}

void GbkTextFile::writeOut()
{
    if (!m_file)
        fail(QStringLiteral("the file is not open"));
    qsizetype done = 0;
    while (done < m_chunk.size()) {
        const qint64 n = m_file->write(m_chunk.constData() + done, m_chunk.size() - done);
        if (n <= 0)
            fail(m_file->errorString());
        done += n;
    }
    m_chunk.clear();
}

void GbkTextFile::commit()
{
    writeOut();
    // The save file would ignore a failed sync; a file that did not reach the
    // disk must not replace the old one.
    if (::fsync(m_file->handle()) != 0)
        fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (!m_file->commit())
        fail(m_file->errorString());
    m_file.reset();
}

void writeGbkLines(const QString& path, const QStringList& lines)
{
    GbkTextFile file(path);
    for (const QString& line : lines)
        file.writeLine(line);
    file.commit();
}
