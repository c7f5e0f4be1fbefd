#include "store/textfile.h"

#include "store/gbk.h"

namespace {

constexpr qsizetype kChunkBytes = 1 << 16;

} // namespace

GbkTextFile::GbkTextFile(const QString& path) : m_file(path)
{
    m_chunk.reserve(kChunkBytes + 4096);
}

GbkTextFile::~GbkTextFile() = default;

void GbkTextFile::writeLine(const QString& line)
{
    m_chunk += encodeGbk(line);
    m_chunk += "\r\n";
    if (m_chunk.size() >= kChunkBytes)
        writeOut();
}

void GbkTextFile::writeOut()
{
    m_file.write(m_chunk);
    m_chunk.clear();
}

void GbkTextFile::commit()
{
    writeOut();
    m_file.commit();
}

void writeGbkLines(const QString& path, const QStringList& lines)
{
    GbkTextFile file(path);
    for (const QString& line : lines)
        file.writeLine(line);
    file.commit();
}
