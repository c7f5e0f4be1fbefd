#include "import/statementfile.h"

#include "import/sheetreaders.h"
#include "store/numbers.h"
#include "store/storeerror.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <cmath>

namespace {

bool startsWith(const QByteArray& head, const char* signature, qsizetype size)
{
    return head.size() >= size && memcmp(head.constData(), signature, size) == 0;
}

bool isPicture(const QByteArray& head)
{
    return startsWith(head, "\x89PNG", 4) || startsWith(head, "\xFF\xD8\xFF", 3) ||
           startsWith(head, "GIF8", 4) ||
           (startsWith(head, "BM", 2) && head.size() >= 14 && head.mid(6, 4) == QByteArray(4, 0)) ||
           startsWith(head, "II*\0", 4) || startsWith(head, "MM\0*", 4) ||
           (startsWith(head, "RIFF", 4) && head.mid(8, 4) == "WEBP");
}

bool isHtml(const QByteArray& head)
{
    const QByteArray start = head.left(512).trimmed().toLower();
    return start.startsWith("<!doctype html") || start.startsWith("<html") ||
           start.startsWith("<table") || start.contains("<html");
}

// BIFF2 to BIFF4 workbooks are a bare record stream that starts with a BOF record.
bool isBareBiff(const QByteArray& head)
{
    return head.size() >= 4 && (head[1] == 0x00 || head[1] == 0x02 || head[1] == 0x04) &&
           head[0] == 0x09 && head[2] != 0 && head[3] == 0x00;
}

} // namespace

TableRead readTable(const QString& path, const RowSink& sink, const Progress& progress,
                    const HeaderTest& isHeader)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw StoreError(QStringLiteral("找不到文件“%1”。").arg(path));
    if (info.isDir())
        throw StoreError(QStringLiteral("“%1”是文件夹，不是账单文件。").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("无法读取文件“%1”：%2").arg(path, file.errorString()));
    if (file.size() == 0)
        throw StoreError(QStringLiteral("文件是空的，没有可导入的账单。"));
    const QByteArray head = file.peek(512);
    if (startsWith(head, "PK\x03\x04", 4)) {
        file.close();
        return readXlsx(path, sink, progress);
    }
    if (startsWith(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) || isBareBiff(head)) {
        file.close();
        return readXls(path, sink, progress);
    }
    if (startsWith(head, "%PDF", 4))
        throw StoreError(QStringLiteral(
            "这个文件是 PDF 文档：请从支付平台或银行导出 CSV 或 Excel 格式的账单后再导入。"));
    if (isPicture(head))
        throw StoreError(QStringLiteral("这个文件是图片，不是账单文件。"));
    if (isHtml(head))
        throw StoreError(QStringLiteral(
            "这个文件是网页（HTML）格式：请在表格程序中把它另存为 .xlsx 或 .csv 后再导入。"));
    return readDelimitedText(file, sink, progress, isHeader);
}

QString excelDateText(double serial, bool base1904)
{
    if (!std::isfinite(serial) || serial < 0 || serial > 2958465) // 9999-12-31
        return QString();
    qint64 days = static_cast<qint64>(std::floor(serial));
    qint64 seconds = std::llround((serial - static_cast<double>(days)) * 86400.0);
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    QDate date;
    if (base1904)
        date = QDate(1904, 1, 1).addDays(days);
    else if (days >= 61)
        date = QDate(1899, 12, 30).addDays(days); // Excel counts a 29 February 1900
    else
        date = QDate(1899, 12, 31).addDays(days);
    QString text = date.toString(QStringLiteral("yyyy-MM-dd"));
    if (seconds > 0)
        text += QLatin1Char(' ') +
                QTime(0, 0).addSecs(static_cast<int>(seconds)).toString(QStringLiteral("HH:mm:ss"));
    return text;
}

QString sheetNumberText(double value)
{
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e18)
        return QString::number(static_cast<qint64>(value));
    return numberText(value);
}
