#include "share/tablewriter.h"

#include "store/numbers.h"
#include "store/pendingfile.h"

#include <QFileInfo>
#include <QStringEncoder>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <xlsxwriter.h>

namespace {

constexpr qsizetype kChunkBytes = 1 << 16;

QString rowLimitMessage()
{
    return QStringLiteral("XLSX表格最多容纳%1行数据，请改存为CSV文件！")
        .arg(TableWriter::xlsxMaxDataRows);
}

// The first characters of texts a spreadsheet would run as a formula, or read
// as one after trimming.
bool startsFormula(char16_t first)
{
    switch (first) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r':
        return true;
    default:
        return false;
    }
}

bool looksLikeFormula(QStringView text)
{
    return !text.isEmpty() && startsFormula(text.front().unicode());
}

// Places a text takes in a sheet's column: a Chinese character two.
int displayWidth(const QString& text)
{
    int width = 0;
    for (const QChar c : text)
        width += c.unicode() >= 0x2E80 ? 2 : 1;
    return width;
}

} // namespace

TableCell TableCell::amount(double value)
{
    const long double whole = std::nearbyintl(static_cast<long double>(value) * 100.0L);
    // Within ±2^63, where a 64-bit integer holds every whole number.
    if (std::isfinite(whole) && std::fabs(whole) < 9.2e18L)
        return cents(static_cast<qint64>(whole));
    return number(value);
}

// One format's way of putting rows into the pending file. Every step throws
// StoreError.
class TableWriter::Sink
{
public:
    explicit Sink(const QString& path) : m_file(path) {}
    virtual ~Sink() = default;
    virtual void begin(const QStringList& captions) = 0;
    virtual void addRow(const TableRow& cells) = 0;
    virtual void commit() = 0;

protected:
    PendingFile m_file;
};

namespace {

class CsvSink final : public TableWriter::Sink
{
public:
    using Sink::Sink;

    void begin(const QStringList& captions) override
    {
        m_chunk.reserve(kChunkBytes + 4096);
        m_chunk += "\xEF\xBB\xBF";
        m_columns = captions.size();
        for (qsizetype i = 0; i < captions.size(); ++i) {
            separate(i);
            text(captions[i], false);
        }
        endLine();
    }

    void addRow(const TableRow& cells) override
    {
        // Every line as many fields as the header, as readers expect.
        const qsizetype fields = std::max(cells.size(), m_columns);
        for (qsizetype i = 0; i < fields; ++i) {
            separate(i);
            if (i < cells.size())
                cell(cells[i]);
        }
        endLine();
    }

    void commit() override
    {
        m_file.write(m_chunk);
        m_chunk.resize(0);
        m_file.commit();
    }

private:
    // Each field goes straight into the chunk: a listing has millions of them.
    void cell(const TableCell& cell)
    {
        switch (cell.kind) {
        case TableCell::Kind::Empty:
            return;
        case TableCell::Kind::Text:
            return text(cell.textValue, true);
        case TableCell::Kind::Utf8Text:
            return utf8Text(cell.utf8Value);
        case TableCell::Kind::Date:
            if (cell.dateValue.isValid())
                date(cell.dateValue);
            return;
        case TableCell::Kind::Cents:
            return cents(cell.whole);
        case TableCell::Kind::Integer:
            return integer(cell.whole);
        case TableCell::Kind::Number:
            return text(numberText(cell.real), false);
        }
    }

    void separate(qsizetype index)
    {
        if (index > 0)
            m_chunk += ',';
    }

    void text(QStringView value, bool guarded)
    {
        bool quoted = false;
        for (const QChar c : value) {
            if (c == QLatin1Char('"') || c == QLatin1Char(',') || c == QLatin1Char('\r') ||
                c == QLatin1Char('\n')) {
                quoted = true;
                break;
            }
        }
        if (quoted)
            m_chunk += '"';
        // A leading apostrophe is what spreadsheets take for "this is text".
        if (guarded && looksLikeFormula(value))
            m_chunk += '\'';
        if (!quoted) {
            utf8(value);
        } else {
            qsizetype from = 0;
            for (qsizetype i = 0; i < value.size(); ++i) {
                if (value[i] == QLatin1Char('"')) {
                    utf8(value.sliced(from, i + 1 - from));
                    m_chunk += '"';
                    from = i + 1;
                }
            }
            utf8(value.sliced(from));
            m_chunk += '"';
        }
    }

    // The same for a text in UTF-8: the characters that matter are ASCII.
    void utf8Text(QByteArrayView value)
    {
        const bool quoted = needsQuotes(value);
        if (quoted)
            m_chunk += '"';
        if (!value.isEmpty() && startsFormula(static_cast<uchar>(value.front())))
            m_chunk += '\'';
        if (!quoted) {
            m_chunk += value;
        } else {
            qsizetype from = 0;
            for (qsizetype i = 0; i < value.size(); ++i) {
                if (value[i] == '"') {
                    m_chunk += value.sliced(from, i + 1 - from);
                    m_chunk += '"';
                    from = i + 1;
                }
            }
            m_chunk += value.sliced(from);
            m_chunk += '"';
        }
    }

    static bool needsQuotes(QByteArrayView value)
    {
        for (const char c : value) {
            if (c == '"' || c == ',' || c == '\r' || c == '\n')
                return true;
        }
        return false;
    }

    void utf8(QStringView value)
    {
        const qsizetype at = m_chunk.size();
        m_chunk.resize(at + m_utf8.requiredSpace(value.size()));
        char* end = m_utf8.appendToBuffer(m_chunk.data() + at, value);
        m_chunk.resize(end - m_chunk.constData());
    }

    void integer(qint64 value)
    {
        char digits[24];
        m_chunk.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
    }

    // "-0.05", "3500.00".
    void cents(qint64 value)
    {
        const quint64 magnitude = value < 0 ? 0 - static_cast<quint64>(value) : value;
        if (value < 0)
            m_chunk += '-';
        char digits[24];
        m_chunk.append(digits,
                       std::to_chars(digits, digits + sizeof digits, magnitude / 100).ptr - digits);
        m_chunk += '.';
        m_chunk += static_cast<char>('0' + magnitude % 100 / 10);
        m_chunk += static_cast<char>('0' + magnitude % 10);
    }

    void date(const QDate& value)
    {
        int y = 0;
        int m = 0;
        int d = 0;
        value.getDate(&y, &m, &d);
        if (y < 1000 || y > 9999)
            return text(dateText(value), false);
        const char digits[10] = {static_cast<char>('0' + y / 1000),
                                 static_cast<char>('0' + y / 100 % 10),
                                 static_cast<char>('0' + y / 10 % 10),
                                 static_cast<char>('0' + y % 10),
                                 '-',
                                 static_cast<char>('0' + m / 10),
                                 static_cast<char>('0' + m % 10),
                                 '-',
                                 static_cast<char>('0' + d / 10),
                                 static_cast<char>('0' + d % 10)};
        m_chunk.append(digits, sizeof digits);
    }

    void endLine()
    {
        m_chunk += "\r\n";
        if (m_chunk.size() < kChunkBytes)
            return;
        m_file.write(m_chunk);
        // Keeps its room for the next lines.
        m_chunk.resize(0);
    }

    QByteArray m_chunk;
    qsizetype m_columns = 0;
    QStringEncoder m_utf8{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
};

class XlsxSink final : public TableWriter::Sink
{
public:
    using Sink::Sink;

    ~XlsxSink() override { close(); }

    void begin(const QStringList& captions) override
    {
        // The sheet's rows wait in a nameless file beside the target, not in
        // memory and not on a /tmp that may live in memory.
        m_folder = QFile::encodeName(QFileInfo(m_file.temporaryPath()).absolutePath());
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = m_folder.data();
        errno = 0;
        m_book = workbook_new_opt(QFile::encodeName(m_file.temporaryPath()).constData(), &options);
        if (m_book)
            m_sheet = workbook_add_worksheet(m_book, nullptr);
        if (!m_book || !m_sheet)
            fail(PendingFile::systemReason(errno ? errno : ENOMEM));

        lxw_format* bold = workbook_add_format(m_book);
        format_set_bold(bold);
        m_dateFormat = workbook_add_format(m_book);
        format_set_num_format(m_dateFormat, "yyyy-mm-dd");
        m_centsFormat = workbook_add_format(m_book);
        format_set_num_format(m_centsFormat, "0.00");

        for (qsizetype i = 0; i < captions.size(); ++i) {
            const auto col = static_cast<lxw_col_t>(i);
            const double width = std::max(12, displayWidth(captions[i]) + 4);
            worksheet_set_column(m_sheet, col, col, width, nullptr);
            check(worksheet_write_string(m_sheet, 0, col, captions[i].toUtf8().constData(), bold));
        }
        worksheet_freeze_panes(m_sheet, 1, 0);
    }

    void addRow(const TableRow& cells) override
    {
        if (!m_sheet)
            fail(QStringLiteral("the file is not open"));
        if (m_rows == TableWriter::xlsxMaxDataRows)
            fail(rowLimitMessage());
        ++m_rows;
        const auto row = static_cast<lxw_row_t>(m_rows);
        for (qsizetype i = 0; i < cells.size(); ++i)
            check(write(row, static_cast<lxw_col_t>(i), cells[i]));
    }

    void commit() override
    {
        if (!m_book)
            fail(QStringLiteral("the file is not open"));
        lxw_workbook* book = m_book;
        m_book = nullptr;
        m_sheet = nullptr;
        errno = 0;
        const lxw_error result = workbook_close(book);
        if (result != LXW_NO_ERROR) {
            // The file and zip failures leave the system's reason in errno.
            const bool system =
                result >= LXW_ERROR_CREATING_XLSX_FILE && result <= LXW_ERROR_ZIP_CLOSE;
            fail(system && errno != 0 ? PendingFile::systemReason(errno)
                                      : QString::fromUtf8(lxw_strerror(result)));
        }
        m_file.commit();
    }

private:
    // Drops the workbook unwritten.
    void close()
    {
        if (m_book)
            lxw_workbook_free(m_book);
        m_book = nullptr;
        m_sheet = nullptr;
    }

    // A workbook left open would write its file at its close.
    [[noreturn]] void fail(const QString& reason)
    {
        close();
        m_file.fail(reason);
    }

    lxw_error write(lxw_row_t row, lxw_col_t col, const TableCell& cell)
    {
        switch (cell.kind) {
        case TableCell::Kind::Empty:
            return LXW_NO_ERROR;
        case TableCell::Kind::Text:
            return text(row, col, cell.textValue);
        case TableCell::Kind::Utf8Text:
            // A byte array ends in a NUL, as the library reads strings.
            return worksheet_write_string(m_sheet, row, col, cell.utf8Value.constData(), nullptr);
        case TableCell::Kind::Date: {
            const QDate& d = cell.dateValue;
            if (!d.isValid())
                return LXW_NO_ERROR;
            // A sheet's dates start in 1900; earlier ones stay readable as text.
            if (d.year() < 1900 || d.year() > 9999)
                return text(row, col, dateText(d));
            lxw_datetime value{d.year(), d.month(), d.day(), 0, 0, 0};
            return worksheet_write_datetime(m_sheet, row, col, &value, m_dateFormat);
        }
        case TableCell::Kind::Cents:
            return worksheet_write_number(m_sheet, row, col, static_cast<double>(cell.whole) / 100,
                                          m_centsFormat);
        case TableCell::Kind::Integer:
            return worksheet_write_number(m_sheet, row, col, static_cast<double>(cell.whole),
                                          nullptr);
        case TableCell::Kind::Number:
            if (!std::isfinite(cell.real))
                return text(row, col, numberText(cell.real));
            return worksheet_write_number(m_sheet, row, col, cell.real, nullptr);
        }
        return LXW_NO_ERROR;
    }

    // Always a string cell: a text never becomes a formula here.
    lxw_error text(lxw_row_t row, lxw_col_t col, const QString& value)
    {
        return worksheet_write_string(m_sheet, row, col, value.toUtf8().constData(), nullptr);
    }

    void check(lxw_error result)
    {
        if (result != LXW_NO_ERROR)
            fail(QString::fromUtf8(lxw_strerror(result)));
    }

    QByteArray m_folder;
    lxw_workbook* m_book = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    lxw_format* m_dateFormat = nullptr;
    lxw_format* m_centsFormat = nullptr;
    qint64 m_rows = 0;
};

} // namespace

TableWriter::TableWriter(const QString& path, const QStringList& captions)
{
    if (formatOf(path) == Format::Xlsx)
        m_sink = std::make_unique<XlsxSink>(path);
    else
        m_sink = std::make_unique<CsvSink>(path);
    m_sink->begin(captions);
}

TableWriter::~TableWriter() = default;

TableWriter::Format TableWriter::formatOf(const QString& path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) == 0
               ? Format::Xlsx
               : Format::Csv;
}

QString TableWriter::rowLimitError(const QString& path, qint64 dataRows)
{
    if (formatOf(path) != Format::Xlsx || dataRows <= xlsxMaxDataRows)
        return QString();
    return QFileInfo(path).fileName() + QStringLiteral(": ") + rowLimitMessage();
}

void TableWriter::addRow(const TableRow& cells)
{
    m_sink->addRow(cells);
}

void TableWriter::commit()
{
    m_sink->commit();
}
