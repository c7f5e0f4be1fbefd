#include "import/fields.h"
#include "import/sheetreaders.h"
#include "store/storeerror.h"

#include <QFile>
#include <freexl.h>

namespace {

const QString& saveAsText()
{
    static const QString text = QStringLiteral("请在表格程序中把它另存为 .xlsx 或 .csv 后再导入。");
    return text;
}

class Workbook
{
public:
    explicit Workbook(const QString& path)
    {
        m_status = freexl_open(QFile::encodeName(path).constData(), &m_handle);
    }
    ~Workbook()
    {
        if (m_handle)
            freexl_close(m_handle);
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    int status() const { return m_status; }
    const void* handle() const { return m_handle; }
    unsigned int info(unsigned short what) const
    {
        unsigned int value = 0;
        if (freexl_get_info(m_handle, what, &value) != FREEXL_OK)
            return 0;
        return value;
    }

private:
    const void* m_handle = nullptr;
    int m_status = FREEXL_OK;
};

QString cellText(const FreeXL_CellValue& value)
{
    switch (value.type) {
    case FREEXL_CELL_INT:
        return QString::number(value.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return sheetNumberText(value.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        return value.value.text_value ? QString::fromUtf8(value.value.text_value) : QString();
    default:
        return QString();
    }
}

} // namespace

TableRead readXls(const QString& path, const RowSink& sink, const Progress& progress)
{
    TableRead result;
    result.kind = FileKind::Xls;
    Workbook book(path);
    // A small workbook kept in the compound file's mini stream after another
    // stream: FreeXL gives up on it yet reports success, with no workbook.
    const QString unreadable = QStringLiteral("这个 .xls 表格无法直接读取：") + saveAsText();
    if (book.status() == FREEXL_OK && !book.handle())
        throw StoreError(unreadable);
    if (book.status() != FREEXL_OK || !book.handle())
        throw StoreError(QStringLiteral("无法读取这个 .xls 表格（错误 %1）：").arg(book.status()) +
                         saveAsText());
    // FreeXL reports an obfuscated workbook as anything but plain.
    if (book.info(FREEXL_BIFF_PASSWORD) != FREEXL_BIFF_PLAIN)
        throw StoreError(QStringLiteral("这个 .xls 表格有密码保护，无法读取。"));
    // Or it keeps the workbook and finds no version and no sheet in it.
    if (book.info(FREEXL_BIFF_VERSION) == 0 || book.info(FREEXL_BIFF_SHEET_COUNT) == 0 ||
        freexl_select_active_worksheet(book.handle(), 0) != FREEXL_OK)
        throw StoreError(unreadable);
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(book.handle(), &rows, &columns) != FREEXL_OK)
        throw StoreError(QStringLiteral("这个 .xls 表格已损坏，无法读取。"));
    for (unsigned int row = 0; row < rows; ++row) {
        SourceRow out{static_cast<qint64>(row) + 1, {}};
        bool any = false;
        for (unsigned short column = 0; column < columns; ++column) {
            FreeXL_CellValue value;
            QString text;
            if (freexl_get_cell_value(book.handle(), row, column, &value) == FREEXL_OK)
                text = trimCell(cellText(value));
            any = any || !text.isEmpty();
            out.cells.append(text);
        }
        while (!out.cells.isEmpty() && out.cells.constLast().isEmpty())
            out.cells.removeLast();
        if (any && !sink(std::move(out)))
            break;
        if (row % 256 == 255)
            reportProgress(progress, row + 1, rows);
    }
    return result;
}
