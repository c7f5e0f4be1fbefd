#include "import/fields.h"
#include "import/sheetreaders.h"
#include "store/storeerror.h"

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <functional>
#include <vector>
#include <zip.h>

namespace {

constexpr zip_uint64_t chunkSize = 1 << 16;
// Shared strings and styles are held whole; past this they are no statement's.
constexpr zip_uint64_t wholeEntryLimit = zip_uint64_t(512) << 20;

const QString& brokenText()
{
    static const QString text = QStringLiteral("这个 Excel 表格（.xlsx）已损坏，无法读取。");
    return text;
}

class Archive
{
public:
    explicit Archive(const QString& path)
    {
        int error = 0;
        m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
    }
    ~Archive()
    {
        if (m_zip)
            zip_discard(m_zip);
    }
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    bool isOpen() const { return m_zip != nullptr; }
    bool has(const QString& name) const
    {
        return zip_name_locate(m_zip, name.toUtf8().constData(), 0) >= 0;
    }
    // The entry's uncompressed size, or -1 when it is missing.
    qint64 size(const QString& name) const
    {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat(m_zip, name.toUtf8().constData(), 0, &stat) != 0 ||
            !(stat.valid & ZIP_STAT_SIZE))
            return -1;
        return static_cast<qint64>(stat.size);
    }
    // Hands the entry to take piece by piece; false on a damaged entry or when
    // take says stop (then stopped is set).
    bool stream(const QString& name, const std::function<bool(QByteArrayView)>& take,
                bool* stopped = nullptr)
    {
        zip_file_t* file = zip_fopen(m_zip, name.toUtf8().constData(), 0);
        if (!file)
            return false;
        QByteArray buffer(chunkSize, Qt::Uninitialized);
        bool ok = true;
        while (true) {
            const zip_int64_t n = zip_fread(file, buffer.data(), chunkSize);
            if (n < 0) {
                ok = false;
                break;
            }
            if (n == 0)
                break;
            if (!take(QByteArrayView(buffer.constData(), n))) {
                if (stopped)
                    *stopped = true;
                ok = false;
                break;
            }
        }
        zip_fclose(file);
        return ok;
    }

private:
    zip_t* m_zip = nullptr;
};

// Feeds an entry to an XML reader and hands each token to visit; false on a
// damaged entry or bad XML.
bool parseEntry(Archive& archive, const QString& name,
                const std::function<bool(QXmlStreamReader&)>& visit, bool* stopped = nullptr)
{
    QXmlStreamReader xml;
    bool bad = false;
    const bool streamed = archive.stream(
        name,
        [&](QByteArrayView piece) {
            xml.addData(piece.toByteArray());
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
                    return true; // wants the next piece
                if (xml.hasError()) {
                    bad = true;
                    return false;
                }
                if (!visit(xml))
                    return false;
            }
            return true;
        },
        stopped);
    if (stopped && *stopped && !bad)
        return true;
    return streamed && !bad && !xml.hasError();
}

// Column index of a cell reference: "A1" is 0, "AB7" is 27; -1 without letters.
int columnOf(QStringView reference)
{
    int column = 0;
    int letters = 0;
    for (const QChar c : reference) {
        const char16_t u = c.toUpper().unicode();
        if (u < u'A' || u > u'Z')
            break;
        column = column * 26 + (u - u'A' + 1);
        if (++letters > 3)
            return -1;
    }
    return letters == 0 ? -1 : column - 1;
}

// Whether a number format shows a date or time.
bool isDateFormat(int id, const QString& code)
{
    if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
        (id >= 50 && id <= 58))
        return true;
    if (code.isEmpty())
        return false;
    QString bare = code;
    static const QRegularExpression quoted(QStringLiteral("\"[^\"]*\"|\\\\.|_.|\\[[^\\]]*\\]"));
    bare.remove(quoted);
    static const QRegularExpression dateLetters(QStringLiteral("[ydmhs]"),
                                                QRegularExpression::CaseInsensitiveOption);
    return bare.contains(dateLetters);
}

struct Workbook
{
    QString sheet;
    bool base1904 = false;
    QStringList sharedStrings;
    std::vector<bool> dateStyles;
};

bool readWorkbook(Archive& archive, Workbook& book)
{
    const QString relationships =
        QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
    QString sheetId;
    const bool ok =
        parseEntry(archive, QStringLiteral("xl/workbook.xml"), [&](QXmlStreamReader& xml) {
            if (!xml.isStartElement())
                return true;
            if (xml.name() == QLatin1String("workbookPr")) {
                const auto value = xml.attributes().value(QLatin1String("date1904"));
                book.base1904 = value == QLatin1String("1") || value == QLatin1String("true");
            } else if (xml.name() == QLatin1String("sheet") && sheetId.isEmpty()) {
                sheetId = xml.attributes().value(relationships, QLatin1String("id")).toString();
                if (sheetId.isEmpty())
                    sheetId = xml.attributes().value(QLatin1String("r:id")).toString();
            }
            return true;
        });
    if (!ok)
        return false;
    if (!sheetId.isEmpty() && archive.has(QStringLiteral("xl/_rels/workbook.xml.rels"))) {
        parseEntry(archive, QStringLiteral("xl/_rels/workbook.xml.rels"),
                   [&](QXmlStreamReader& xml) {
                       if (xml.isStartElement() && xml.name() == QLatin1String("Relationship") &&
                           xml.attributes().value(QLatin1String("Id")) == sheetId) {
                           const QString target =
                               xml.attributes().value(QLatin1String("Target")).toString();
                           book.sheet = target.startsWith(QLatin1Char('/'))
                                            ? target.mid(1)
                                            : QStringLiteral("xl/") + target;
                           return false;
                       }
                       return true;
                   });
    }
    if (book.sheet.isEmpty() || !archive.has(book.sheet))
        book.sheet = QStringLiteral("xl/worksheets/sheet1.xml");
    return archive.has(book.sheet);
}

bool readSharedStrings(Archive& archive, Workbook& book)
{
    const QString name = QStringLiteral("xl/sharedStrings.xml");
    if (!archive.has(name))
        return true;
    if (archive.size(name) < 0 || static_cast<zip_uint64_t>(archive.size(name)) > wholeEntryLimit)
        return false;
    QString text;
    int phonetic = 0;
    bool inText = false;
    return parseEntry(archive, name, [&](QXmlStreamReader& xml) {
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("si"))
                text.clear();
            else if (xml.name() == QLatin1String("rPh"))
                ++phonetic;
            else if (xml.name() == QLatin1String("t"))
                inText = phonetic == 0;
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("si"))
                book.sharedStrings.append(text);
            else if (xml.name() == QLatin1String("rPh"))
                --phonetic;
            else if (xml.name() == QLatin1String("t"))
                inText = false;
        } else if (xml.isCharacters() && inText) {
            text += xml.text();
        }
        return true;
    });
}

bool readStyles(Archive& archive, Workbook& book)
{
    const QString name = QStringLiteral("xl/styles.xml");
    if (!archive.has(name))
        return true;
    if (archive.size(name) < 0 || static_cast<zip_uint64_t>(archive.size(name)) > wholeEntryLimit)
        return false;
    QHash<int, QString> formats;
    bool inCellXfs = false;
    return parseEntry(archive, name, [&](QXmlStreamReader& xml) {
        if (xml.isStartElement()) {
            const auto attributes = xml.attributes();
            if (xml.name() == QLatin1String("numFmt")) {
                formats.insert(attributes.value(QLatin1String("numFmtId")).toInt(),
                               attributes.value(QLatin1String("formatCode")).toString());
            } else if (xml.name() == QLatin1String("cellXfs")) {
                inCellXfs = true;
            } else if (xml.name() == QLatin1String("xf") && inCellXfs) {
                const int id = attributes.value(QLatin1String("numFmtId")).toInt();
                book.dateStyles.push_back(isDateFormat(id, formats.value(id)));
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs")) {
            inCellXfs = false;
        }
        return true;
    });
}

// Reads the sheet's rows one by one.
class SheetReader
{
public:
    SheetReader(const Workbook& book, const RowSink& sink) : m_book(book), m_sink(sink) {}

    bool visit(QXmlStreamReader& xml);

private:
    QString cellText() const;

    const Workbook& m_book;
    const RowSink& m_sink;
    qint64 m_row = 0;
    QStringList m_cells;
    int m_column = -1;
    QString m_type;
    int m_style = 0;
    QString m_value;
    bool m_inValue = false;
    int m_phonetic = 0;
};

QString SheetReader::cellText() const
{
    if (m_type == QLatin1String("s")) {
        bool ok = false;
        const int index = m_value.trimmed().toInt(&ok);
        return ok && index >= 0 && index < m_book.sharedStrings.size()
                   ? m_book.sharedStrings.at(index)
                   : QString();
    }
    if (!m_type.isEmpty() && m_type != QLatin1String("n"))
        return m_value; // inline, formula and error texts, booleans, ISO dates
    bool ok = false;
    const double number = m_value.trimmed().toDouble(&ok);
    if (!ok)
        return m_value;
    if (m_style >= 0 && static_cast<size_t>(m_style) < m_book.dateStyles.size() &&
        m_book.dateStyles[static_cast<size_t>(m_style)]) {
        const QString date = excelDateText(number, m_book.base1904);
        if (!date.isEmpty())
            return date;
    }
    return sheetNumberText(number);
}

bool SheetReader::visit(QXmlStreamReader& xml)
{
    if (xml.isStartElement()) {
        const auto name = xml.name();
        if (name == QLatin1String("row")) {
            bool ok = false;
            const qint64 r = xml.attributes().value(QLatin1String("r")).toLongLong(&ok);
            m_row = ok && r > 0 ? r : m_row + 1;
            m_cells.clear();
            m_column = -1;
        } else if (name == QLatin1String("c")) {
            const auto attributes = xml.attributes();
            const int column = columnOf(attributes.value(QLatin1String("r")));
            m_column = column >= 0 ? column : m_column + 1;
            m_type = attributes.value(QLatin1String("t")).toString();
            m_style = attributes.value(QLatin1String("s")).toInt();
            m_value.clear();
        } else if (name == QLatin1String("v") || name == QLatin1String("t")) {
            m_inValue = m_phonetic == 0;
        } else if (name == QLatin1String("rPh")) {
            ++m_phonetic;
        }
    } else if (xml.isCharacters()) {
        if (m_inValue)
            m_value += xml.text();
    } else if (xml.isEndElement()) {
        const auto name = xml.name();
        if (name == QLatin1String("v") || name == QLatin1String("t")) {
            m_inValue = false;
        } else if (name == QLatin1String("rPh")) {
            --m_phonetic;
        } else if (name == QLatin1String("c")) {
            if (m_column >= 0 && m_column < 16384) {
                while (m_cells.size() <= m_column)
                    m_cells.append(QString());
                m_cells[m_column] = trimCell(cellText());
            }
        } else if (name == QLatin1String("row")) {
            for (const QString& cell : std::as_const(m_cells))
                if (!cell.isEmpty())
                    return m_sink(SourceRow{m_row, std::exchange(m_cells, QStringList())});
        }
    }
    return true;
}

} // namespace

TableRead readXlsx(const QString& path, const RowSink& sink, const Progress& progress)
{
    TableRead result;
    result.kind = FileKind::Xlsx;
    Archive archive(path);
    if (!archive.isOpen())
        throw StoreError(brokenText());
    if (!archive.has(QStringLiteral("xl/workbook.xml")))
        throw StoreError(QStringLiteral("这个压缩文件不是 Excel 表格（.xlsx），无法读取。"));
    Workbook book;
    if (!readWorkbook(archive, book) || !readSharedStrings(archive, book) ||
        !readStyles(archive, book))
        throw StoreError(brokenText());

    const qint64 total = archive.size(book.sheet);
    qint64 done = 0;
    SheetReader reader(book, sink);
    bool stopped = false;
    bool cancelled = false;
    QXmlStreamReader xml;
    bool bad = false;
    archive.stream(
        book.sheet,
        [&](QByteArrayView piece) {
            done += piece.size();
            xml.addData(piece.toByteArray());
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
                    break;
                if (xml.hasError()) {
                    bad = true;
                    return false;
                }
                if (!reader.visit(xml)) {
                    stopped = true;
                    return false;
                }
            }
            if (progress && !progress(done, total)) {
                cancelled = true;
                return false;
            }
            return true;
        },
        nullptr);
    if (cancelled)
        throw Cancelled();
    if (!stopped && (bad || done != total || xml.hasError()))
        throw StoreError(brokenText());
    return result;
}
