#include "share/tablewriter.h"

#include "share/pendingfile.h"
#include "store/numbers.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <xlsxwriter.h>

namespace {

constexpr qsizetype kChunkBytes = 1 << 16;

QString rowLimitMessage()
{
    return QStringLiteral("XLSX表格最多容纳%1行数据，请改存为CSV文件！")
        .arg(TableWriter::xlsxMaxDataRows);
}

// Texts a spreadsheet would run as a formula, or read as one after trimming.
bool looksLikeFormula(const QString& text)
{
    if (text.isEmpty())
        return false;
    switch (text.front().unicode()) {
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

// "-0.05", "3500.00".
QString centsText(qint64 cents)
{
    const quint64 magnitude = cents < 0 ? 0 - static_cast<quint64>(cents) : cents;
    return (cents < 0 ? QStringLiteral("-") : QString()) + QString::number(magnitude / 100) +
           QLatin1Char('.') + QStringLiteral("%1").arg(magnitude % 100, 2, 10, QLatin1Char('0'));
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

// One format's way of putting rows into the pending file.
class TableWriter::Sink
{
public:
    explicit Sink(const QString& path) : m_file(path) {}
    virtual ~Sink() = default;
    virtual bool begin(const QStringList& captions) = 0;
    virtual bool addRow(const TableRow& cells) = 0;
    virtual bool commit() = 0;
    const QString& error() const { return m_file.error(); }

protected:
    PendingFile m_file;
};

namespace {

class CsvSink final : public TableWriter::Sink
{
public:
    using Sink::Sink;

    bool begin(const QStringList& captions) override
    {
        if (!m_file.create())
            return false;
        m_chunk.reserve(kChunkBytes + 4096);
        m_chunk += "\xEF\xBB\xBF";
        m_columns = captions.size();
        for (qsizetype i = 0; i < captions.size(); ++i)
            field(i, captions[i]);
        return endLine();
    }

    bool addRow(const TableRow& cells) override
    {
        if (m_file.failed())
            return false;
        // Every line as many fields as the header, as readers expect.
        for (qsizetype i = 0; i < std::max(cells.size(), m_columns); ++i)
            field(i, i < cells.size() ? cellText(cells[i]) : QString());
        return endLine();
    }

    bool commit() override
    {
        if (m_file.failed() || !m_file.write(m_chunk))
            return false;
        m_chunk.clear();
        return m_file.commit();
    }

private:
    static QString cellText(const TableCell& cell)
    {
        switch (cell.kind) {
        case TableCell::Kind::Empty:
            return QString();
        case TableCell::Kind::Text:
            // A leading apostrophe is what spreadsheets take for "this is text".
            return looksLikeFormula(cell.textValue) ? QLatin1Char('\'') + cell.textValue
                                                    : cell.textValue;
        case TableCell::Kind::Date:
            return cell.dateValue.isValid() ? dateText(cell.dateValue) : QString();
        case TableCell::Kind::Cents:
            return centsText(cell.whole);
        case TableCell::Kind::Integer:
            return QString::number(cell.whole);
        case TableCell::Kind::Number:
            return numberText(cell.real);
        }
        return QString();
    }

    void field(qsizetype index, const QString& text)
    {
        if (index > 0)
            m_chunk += ',';
        const bool quoted = text.contains(QLatin1Char('"')) || text.contains(QLatin1Char(',')) ||
                            text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
        if (!quoted) {
            m_chunk += text.toUtf8();
            return;
        }
        QString doubled = text;
        doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        m_chunk += '"';
        m_chunk += doubled.toUtf8();
        m_chunk += '"';
    }

    bool endLine()
    {
        m_chunk += "\r\n";
        if (m_chunk.size() < kChunkBytes)
            return true;
        const bool written = m_file.write(m_chunk);
        m_chunk.clear();
        return written;
    }

    QByteArray m_chunk;
    qsizetype m_columns = 0;
};

class XlsxSink final : public TableWriter::Sink
{
public:
    using Sink::Sink;

    ~XlsxSink() override
    {
        if (m_book)
            lxw_workbook_free(m_book);
    }

    bool begin(const QStringList& captions) override
    {
        if (!m_file.create())
            return false;
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
            return m_file.fail(PendingFile::systemReason(errno ? errno : ENOMEM));

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
            if (!check(worksheet_write_string(m_sheet, 0, col, captions[i].toUtf8().constData(),
                                              bold)))
                return false;
        }
        worksheet_freeze_panes(m_sheet, 1, 0);
        return true;
    }

    bool addRow(const TableRow& cells) override
    {
        if (m_file.failed())
            return false;
        if (!m_sheet)
            return m_file.fail(QStringLiteral("the file is not open"));
        if (m_rows == TableWriter::xlsxMaxDataRows)
            return m_file.fail(rowLimitMessage());
        ++m_rows;
        const auto row = static_cast<lxw_row_t>(m_rows);
        for (qsizetype i = 0; i < cells.size(); ++i) {
            if (!check(write(row, static_cast<lxw_col_t>(i), cells[i])))
                return false;
        }
        return true;
    }

    bool commit() override
    {
        if (m_file.failed())
            return false;
        if (!m_book)
            return m_file.fail(QStringLiteral("the file is not open"));
        lxw_workbook* book = m_book;
        m_book = nullptr;
        errno = 0;
        const lxw_error result = workbook_close(book);
        if (result != LXW_NO_ERROR) {
            // The file and zip failures leave the system's reason in errno.
            const bool system =
                result >= LXW_ERROR_CREATING_XLSX_FILE && result <= LXW_ERROR_ZIP_CLOSE;
            return m_file.fail(system && errno != 0 ? PendingFile::systemReason(errno)
                                                    : QString::fromUtf8(lxw_strerror(result)));
        }
        return m_file.commit();
    }

private:
    lxw_error write(lxw_row_t row, lxw_col_t col, const TableCell& cell)
    {
        switch (cell.kind) {
        case TableCell::Kind::Empty:
            return LXW_NO_ERROR;
        case TableCell::Kind::Text:
            return text(row, col, cell.textValue);
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

    bool check(lxw_error result)
    {
        return result == LXW_NO_ERROR || m_file.fail(QString::fromUtf8(lxw_strerror(result)));
    }

    QByteArray m_folder;
    lxw_workbook* m_book = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    lxw_format* m_dateFormat = nullptr;
    lxw_format* m_centsFormat = nullptr;
    qint64 m_rows = 0;
};

} // namespace

TableWriter::TableWriter(const QString& path)
{
    if (formatOf(path) == Format::Xlsx)
        m_sink = std::make_unique<XlsxSink>(path);
    else
        m_sink = std::make_unique<CsvSink>(path);
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

bool TableWriter::begin(const QStringList& captions)
{
    return m_sink->begin(captions);
}

bool TableWriter::addRow(const TableRow& cells)
{
    return m_sink->addRow(cells);
}

bool TableWriter::commit()
{
    return m_sink->commit();
}

const QString& TableWriter::error() const
{
    return m_sink->error();
}
