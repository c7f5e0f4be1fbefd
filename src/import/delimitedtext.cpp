#include "import/fields.h"
#include "import/sheetreaders.h"
#include "store/storeerror.h"

#include <QFile>
#include <QStringDecoder>
#include <array>
#include <optional>

namespace {

constexpr qint64 chunkSize = qint64(1) << 20;
// No statement has a record this long; a file that does is no statement, and
// an unclosed quote must not swallow a whole large file.
constexpr qint64 recordLimit = qint64(1) << 20;
// Rows looked at to find the delimiter.
constexpr int sniffRows = 64;

// Splits decoded text into records (RFC 4180 quoting, CRLF, LF or CR line ends),
// fed in pieces of any size.
class RecordSplitter
{
public:
    explicit RecordSplitter(QChar delimiter) : m_delimiter(delimiter) {}

    // Hands complete records to sink; false when the sink stopped or a record
    // grew too long.
    bool feed(QStringView text, const RowSink& sink);
    // Ends the last record, which may lack a line end.
    bool finish(const RowSink& sink);
    bool overlong() const { return m_overlong; }
    // The line being read.
    qint64 line() const { return m_line; }

private:
    enum class State
    {
        Field,
        Quoted,
        QuoteInQuoted
    };

    void endField();
    bool endRecord(const RowSink& sink);

    QChar m_delimiter;
    State m_state = State::Field;
    QString m_field;
    QStringList m_cells;
    qint64 m_line = 1;
    qint64 m_recordLine = 1;
    qint64 m_recordSize = 0;
    bool m_afterCr = false;
    bool m_overlong = false;
};

void RecordSplitter::endField()
{
    // A copy of the exact size; the buffer keeps its room for the next field.
    const QString trimmed = trimCell(m_field);
    m_cells.append(QString(trimmed.constData(), trimmed.size()));
    m_field.resize(0);
    m_state = State::Field;
}

bool RecordSplitter::endRecord(const RowSink& sink)
{
    endField();
    SourceRow row{m_recordLine, std::move(m_cells)};
    m_cells = QStringList();
    m_cells.reserve(row.cells.size());
    m_recordSize = 0;
    m_recordLine = m_line;
    for (const QString& cell : row.cells)
        if (!cell.isEmpty())
            return sink(std::move(row));
    return true;
}

bool RecordSplitter::feed(QStringView text, const RowSink& sink)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        // Ordinary characters go in one run.
        if (m_state != State::QuoteInQuoted) {
            qsizetype end = i;
            while (end < n) {
                const QChar c = text[end];
                if (c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n') ||
                    (c == m_delimiter && m_state == State::Field))
                    break;
                ++end;
            }
            if (end > i) {
                m_recordSize += end - i;
                if (m_recordSize > recordLimit) {
                    m_overlong = true;
                    return false;
                }
                m_field.append(text.mid(i, end - i));
                m_afterCr = false;
                i = end;
                if (i == n)
                    break;
            }
        }
        const QChar c = text[i];
        if (c == QLatin1Char('\n') && m_afterCr) {
            m_afterCr = false;
            if (m_state == State::Quoted)
                m_field.append(c);
            continue;
        }
        m_afterCr = c == QLatin1Char('\r');
        if (++m_recordSize > recordLimit) {
            m_overlong = true;
            return false;
        }
        const bool lineEnd = c == QLatin1Char('\n') || c == QLatin1Char('\r');
        if (lineEnd)
            ++m_line;
        switch (m_state) {
        case State::Quoted:
            if (c == QLatin1Char('"'))
                m_state = State::QuoteInQuoted;
            else
                m_field.append(c);
            continue;
        case State::QuoteInQuoted:
            if (c == QLatin1Char('"')) {
                m_field.append(c);
                m_state = State::Quoted;
                continue;
            }
            m_state = State::Field;
            break;
        case State::Field:
            if (c == QLatin1Char('"') && trimCell(m_field).isEmpty()) {
                m_field.resize(0);
                m_state = State::Quoted;
                continue;
            }
            break;
        }
        if (lineEnd) {
            if (!endRecord(sink))
                return false;
        } else if (c == m_delimiter) {
            endField();
        } else {
            m_field.append(c);
        }
    }
    return true;
}

bool RecordSplitter::finish(const RowSink& sink)
{
    if (m_cells.isEmpty() && m_field.isEmpty() && m_state == State::Field)
        return true;
    return endRecord(sink);
}

// The delimiter under which an early row is a header; failing that, the one
// that splits most early rows into the same number of fields.
QChar findDelimiter(QStringView head, const HeaderTest& isHeader)
{
    const std::array<QChar, 3> candidates = {QLatin1Char(','), QLatin1Char('\t'), QLatin1Char(';')};
    QChar best = candidates[0];
    qsizetype bestHeaderCells = 0;
    int bestRows = 0;
    qsizetype bestWidth = 0;
    QChar bestByShape = candidates[0];
    for (const QChar delimiter : candidates) {
        QList<qsizetype> widths;
        qsizetype headerCells = 0;
        RecordSplitter splitter(delimiter);
        const RowSink collect = [&](SourceRow&& row) {
            if (isHeader && headerCells == 0 && isHeader(row.cells))
                headerCells = row.cells.size();
            widths.append(row.cells.size());
            return widths.size() < sniffRows;
        };
        if (splitter.feed(head, collect))
            splitter.finish(collect);
        if (headerCells > bestHeaderCells) {
            bestHeaderCells = headerCells;
            best = delimiter;
        }
        // The most frequent width above one, and how many rows have it.
        for (const qsizetype width : widths) {
            if (width < 2)
                continue;
            const int rows = static_cast<int>(widths.count(width));
            if (rows > bestRows || (rows == bestRows && width > bestWidth)) {
                bestRows = rows;
                bestWidth = width;
                bestByShape = delimiter;
            }
        }
    }
    return bestHeaderCells > 0 ? best : bestByShape;
}

// Whether bytes are UTF-8, allowing a sequence cut off at their very end.
bool isUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        int follow = 0;
        if (c < 0x80)
            follow = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            follow = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            follow = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            follow = 3;
        else
            return false;
        for (int k = 1; k <= follow; ++k) {
            if (i + k >= n)
                return true;
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
        }
        i += follow + 1;
    }
    return true;
}

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

QString encodingError(qint64 line)
{
    return QStringLiteral("第 %1 行：文字的编码无法识别（既不是 UTF-8，也不是 GB18030）。")
        .arg(line);
}

} // namespace

TableRead readDelimitedText(QFile& file, const RowSink& sink, const Progress& progress,
                            const HeaderTest& isHeader)
{
    TableRead result;
    result.kind = FileKind::Text;
    const qint64 total = file.size();
    QByteArray bytes = file.read(chunkSize);
    if (bytes.isEmpty())
        throw StoreError(QStringLiteral("读取文件时出错：%1").arg(file.errorString()));
    qint64 done = bytes.size();

    qsizetype bom = 0;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        result.encoding = QStringLiteral("UTF-8");
        bom = 3;
    } else if (bytes.startsWith("\xFF\xFE")) {
        result.encoding = QStringLiteral("UTF-16LE");
        bom = 2;
    } else if (bytes.startsWith("\xFE\xFF")) {
        result.encoding = QStringLiteral("UTF-16BE");
        bom = 2;
    } else if (bytes.contains('\0')) {
        throw StoreError(QStringLiteral("这个文件不是文本账单，也不是 Excel 表格，无法读取。"));
    } else {
        result.encoding = isUtf8(bytes) ? QStringLiteral("UTF-8") : QStringLiteral("GB18030");
    }
    const bool utf16 = result.encoding.startsWith(QStringLiteral("UTF-16"));
    std::optional<QStringDecoder> decoder;
    decoder.emplace(result.encoding.toLatin1().constData());
    bool sawNonAscii = false;
    std::optional<RecordSplitter> splitter;
    bool stopped = false;

    QByteArrayView chunk = QByteArrayView(bytes).sliced(bom);
    while (true) {
        QString text = decoder->decode(chunk);
        if (decoder->hasError()) {
            if (result.encoding == QStringLiteral("UTF-8") && !sawNonAscii) {
                // Plain ASCII so far: the file is GB18030 text after all.
                result.encoding = QStringLiteral("GB18030");
                decoder.emplace("GB18030");
                text = decoder->decode(chunk);
            }
            if (decoder->hasError()) {
                const qsizetype bad = text.indexOf(QChar(QChar::ReplacementCharacter));
                const qint64 line = (splitter ? splitter->line() : 1) +
                                    QStringView(text).left(bad < 0 ? 0 : bad).count(u'\n');
                throw StoreError(encodingError(line));
            }
        }
        if (!isAscii(chunk))
            sawNonAscii = true;
        if (!splitter) {
            result.delimiter = findDelimiter(text, isHeader);
            splitter.emplace(result.delimiter);
        }
        if (!splitter->feed(text, sink)) {
            stopped = true;
            break;
        }
        reportProgress(progress, done, total);
        bytes = file.read(chunkSize);
        if (bytes.isEmpty())
            break;
        done += bytes.size();
        chunk = QByteArrayView(bytes);
    }
    if (splitter->overlong())
        throw StoreError(QStringLiteral("第 %1 行太长，这不是账单文件。").arg(splitter->line()));
    if (stopped)
        return result;
    if (file.error() != QFileDevice::NoError)
        throw StoreError(QStringLiteral("读取文件时出错：%1").arg(file.errorString()));
    if (done != total)
        throw StoreError(QStringLiteral("文件在读取过程中被改动了，请重新导入。"));
    // A multi-byte sequence cut off at the end stays pending in the decoder
    // without an error; a line end fed after it does not come out alone.
    const bool cutOff =
        utf16 ? (done - bom) % 2 != 0
              : QString(decoder->decode(QByteArrayView("\n", 1))) != QLatin1String("\n");
    if (cutOff)
        throw StoreError(QStringLiteral("文件末尾的文字不完整，文件可能没有保存或下载完整。"));
    splitter->finish(sink);
    return result;
}
