#include "import/statement.h"
#include "import/statementfile.h"
#include "store/storeerror.h"
#include "testsupport.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <zip.h>

namespace {

const QString wechatHeader = QStringLiteral(
    "交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,商户单号,备注");

QByteArray utf8(const char* text)
{
    return QByteArray(text);
}

// Why the file cannot be read; empty when it can.
QString readFailure(const QString& path, const ReadOptions& options = {},
                    const Progress& progress = {})
{
    try {
        readStatement(path, options, progress);
    } catch (const StoreError& e) {
        return e.message();
    }
    return QString();
}

QByteArray encoded(const QString& text, const char* encoding)
{
    QStringEncoder encoder(encoding);
    return encoder(text);
}

// A zip of the given entries, as a spreadsheet program writes an .xlsx.
void writeZip(const QString& path, const QList<std::pair<const char*, QByteArray>>& entries)
{
    int error = 0;
    zip_t* zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    QVERIFY(zip);
    for (const auto& [name, bytes] : entries) {
        // libzip reads the buffers at zip_close(); keep them alive until then.
        auto* copy = new QByteArray(bytes);
        zip_source_t* source = zip_source_buffer(zip, copy->constData(), copy->size(), 0);
        QVERIFY(zip_file_add(zip, name, source, ZIP_FL_ENC_UTF_8) >= 0);
    }
    QCOMPARE(zip_close(zip), 0);
}

// BIFF8 records.
QByteArray record(quint16 type, const QByteArray& body)
{
    QByteArray out(4, 0);
    qToLittleEndian<quint16>(type, out.data());
    qToLittleEndian<quint16>(static_cast<quint16>(body.size()), out.data() + 2);
    return out + body;
}

QByteArray le16(quint16 v)
{
    QByteArray out(2, 0);
    qToLittleEndian(v, out.data());
    return out;
}

QByteArray le32(quint32 v)
{
    QByteArray out(4, 0);
    qToLittleEndian(v, out.data());
    return out;
}

QByteArray utf16(const QString& text)
{
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

// A workbook stream with one sheet of text rows (numbers where a cell reads as
// one, a date serial in the first column of data rows), padded to padTo bytes.
QByteArray biffWorkbook(const QList<QStringList>& rows, int padTo)
{
    const QByteArray bof =
        le16(0x0600) + le16(0x0005) + le16(0x0DBB) + le16(0x07CC) + le32(0) + le32(6);
    QStringList strings;
    QByteArray cells;
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows[r].size(); ++c) {
            const QString text = rows[r][c];
            bool number = false;
            const double value = text.toDouble(&number);
            const quint16 xf = r > 0 && c == 0 ? 16 : 15; // 16 shows a date
            if (number) {
                QByteArray body = le16(r) + le16(c) + le16(xf) + QByteArray(8, 0);
                qToLittleEndian(value, body.data() + 6);
                cells += record(0x0203, body);
            } else {
                if (!strings.contains(text))
                    strings.append(text);
                cells += record(0x00FD, le16(r) + le16(c) + le16(xf) + le32(strings.indexOf(text)));
            }
        }
    }
    QByteArray sst = le32(strings.size()) + le32(strings.size());
    for (const QString& s : strings)
        sst += le16(s.size()) + QByteArray(1, 0x01) + utf16(s);

    QByteArray globals =
        record(0x0809, bof) + record(0x0042, le16(0x04B0)) + record(0x0022, le16(0));
    for (int i = 0; i < 17; ++i)
        globals += record(0x00E0, le16(0) + le16(i == 16 ? 14 : 0) + QByteArray(16, 0));
    const QByteArray sheetName = QByteArray("Sheet1");
    const int boundSheetSize = 4 + 8 + sheetName.size();
    const QByteArray tail = record(0x00FC, sst) + record(0x000A, {});
    const int pad = qMax(0, padTo - int(globals.size() + boundSheetSize + tail.size()) - 4);
    if (pad > 0)
        globals += record(0x00C1, QByteArray(pad, 0)); // a record FreeXL skips
    const quint32 sheetOffset = globals.size() + boundSheetSize + tail.size();
    globals +=
        record(0x0085, le32(sheetOffset) + QByteArray(1, 0) + QByteArray(1, 0) +
                           QByteArray(1, char(sheetName.size())) + QByteArray(1, 0) + sheetName);
    globals += tail;
    qsizetype width = 0;
    for (const QStringList& row : rows)
        width = qMax(width, row.size());
    const QByteArray sheet =
        record(0x0809, le16(0x0600) + le16(0x0010) + QByteArray(12, 0)) +
        record(0x0200, le32(0) + le32(rows.size()) + le16(0) + le16(width) + le16(0)) + cells +
        record(0x000A, {});
    return globals + sheet;
}

// A compound file holding the stream as "Workbook": in ordinary sectors, or,
// when it is below 4096 bytes, in the mini stream after a small summary stream,
// as spreadsheet programs keep small files.
QByteArray compoundFile(const QByteArray& stream)
{
    constexpr quint32 free = 0xFFFFFFFF, end = 0xFFFFFFFE, none = 0xFFFFFFFF;
    const bool mini = stream.size() < 4096;
    const auto sectorsFor = [](qsizetype bytes, int size) {
        return int((bytes + size - 1) / size);
    };
    QList<quint32> fat = {0xFFFFFFFD, end}; // sector 0: FAT, 1: directory
    const auto chain = [](QList<quint32>& table, int first, int count) {
        for (int i = 0; i < count; ++i)
            table.append(i + 1 < count ? quint32(first + i + 1) : end);
    };
    const QByteArray summary(128, 'S');
    QByteArray body;
    quint32 rootStart = end, rootSize = 0, streamStart = 2;
    if (mini) {
        QList<quint32> miniFat;
        const int summarySectors = sectorsFor(summary.size(), 64);
        chain(miniFat, 0, summarySectors);
        chain(miniFat, summarySectors, sectorsFor(stream.size(), 64));
        QByteArray miniFatBytes;
        for (int i = 0; i < 128; ++i)
            miniFatBytes += le32(i < miniFat.size() ? miniFat[i] : free);
        const QByteArray container = summary.leftJustified(summarySectors * 64, '\0') +
                                     stream.leftJustified(sectorsFor(stream.size(), 64) * 64, '\0');
        chain(fat, 2, 1);
        rootStart = 3;
        rootSize = container.size();
        streamStart = summarySectors;
        chain(fat, 3, sectorsFor(container.size(), 512));
        body =
            miniFatBytes + container.leftJustified(sectorsFor(container.size(), 512) * 512, '\0');
    } else {
        chain(fat, 2, sectorsFor(stream.size(), 512));
        body = stream.leftJustified(sectorsFor(stream.size(), 512) * 512, '\0');
    }
    const auto entry = [](const QString& name, quint8 type, quint32 left, quint32 child,
                          quint32 start, quint32 size) {
        QByteArray e = utf16(name).leftJustified(64, '\0') + le16((name.size() + 1) * 2);
        e += char(type);
        e += char(1);
        e += le32(left) + le32(none) + le32(child) + QByteArray(36, 0);
        return e + le32(start) + le32(size) + le32(0);
    };
    QByteArray directory =
        entry(QStringLiteral("Root Entry"), 5, none, 1, rootStart, rootSize) +
        entry(QStringLiteral("Workbook"), 2, mini ? 2 : none, none, streamStart, stream.size());
    if (mini)
        directory +=
            entry(QStringLiteral("\x05SummaryInformation"), 2, none, none, 0, summary.size());
    while (directory.size() < 512)
        directory += entry(QString(), 0, none, none, 0, 0);
    QByteArray fatBytes;
    for (int i = 0; i < 128; ++i)
        fatBytes += le32(i < fat.size() ? fat[i] : free);

    QByteArray header = QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(16, 0) +
                        le16(0x003E) + le16(3) + le16(0xFFFE) + le16(9) + le16(6) +
                        QByteArray(6, 0) + le32(0) + le32(1) + le32(1) + le32(0) + le32(4096) +
                        le32(mini ? 2 : end) + le32(mini ? 1 : 0) + le32(end) + le32(0) + le32(0);
    for (int i = 1; i < 109; ++i)
        header += le32(free);
    return header + fatBytes + directory + body;
}

} // namespace

class TestStatementFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void encodings_data();
    void encodings();
    void gb18030AfterLongAsciiStart();
    void textCutOffAtTheEnd_data();
    void textCutOffAtTheEnd();
    void delimitersAndQuoting_data();
    void delimitersAndQuoting();
    void xlsxWorkbook();
    void xlsWorkbook();
    void xlsInTheMiniStreamIsRefused();
    void badFiles_data();
    void badFiles();
    void cancelledAndCutShortWhileRead();

private:
    QString file(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void TestStatementFiles::encodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("encoding");
    const QString text = QStringLiteral("微信支付账单明细\r\n") + wechatHeader +
                         QStringLiteral("\r\n2023-01-05 12:00:00,商户消费,瑞幸咖啡,拿铁,支出,"
                                        "¥28.16,零钱,支付成功,42000001,1001,/\r\n");
    QTest::newRow("UTF-8") << text.toUtf8() << "UTF-8";
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + text.toUtf8() << "UTF-8";
    QTest::newRow("UTF-16LE") << QByteArray("\xFF\xFE") + encoded(text, "UTF-16LE") << "UTF-16LE";
    QTest::newRow("UTF-16BE") << QByteArray("\xFE\xFF") + encoded(text, "UTF-16BE") << "UTF-16BE";
    QTest::newRow("GB18030") << encoded(text, "GB18030") << "GB18030";
}

void TestStatementFiles::encodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, encoding);
    writeFile(file(QStringLiteral("wechat.csv")), bytes);
    const ParsedStatement statement = readStatement(file(QStringLiteral("wechat.csv")));
    QCOMPARE(statement.encoding, encoding);
    QCOMPARE(statement.layout, QStringLiteral("微信支付"));
    QCOMPARE(statement.rows.size(), 1);
    QCOMPARE(statement.rows[0].counterpart, QStringLiteral("瑞幸咖啡"));
    QCOMPARE(statement.rows[0].amountCents, 2816);
    QCOMPARE(statement.rows[0].line, 3);
}

// The encoding is guessed from the first megabyte; Chinese text after it still
// decides it.
void TestStatementFiles::gb18030AfterLongAsciiStart()
{
    QByteArray bytes = "Date,Description,Amount\n";
    for (int i = 0; bytes.size() < (3 << 19); ++i)
        bytes += "2024-01-05,coffee number " + QByteArray::number(i) + ",-3.00\n";
    bytes += encoded(QStringLiteral("2024-01-06,工资,+100.00\n"), "GB18030");
    writeFile(file(QStringLiteral("long.csv")), bytes);
    ReadOptions options;
    options.card = false;
    const ParsedStatement statement = readStatement(file(QStringLiteral("long.csv")), options);
    QCOMPARE(statement.encoding, QStringLiteral("GB18030"));
    QCOMPARE(statement.rows.constLast().description, QStringLiteral("工资"));
    QCOMPARE(statement.rows.constLast().kind, RowKind::Income);
}

void TestStatementFiles::textCutOffAtTheEnd_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray lines = "Date,Description,Amount\n2024-01-05,tea,-3.00\n2024-01-06,";
    QTest::newRow("GB18030 lead byte") << lines + encoded(QStringLiteral("茶"), "GB18030").left(1);
    QTest::newRow("UTF-8 sequence") << lines + QStringLiteral("茶").toUtf8().left(2);
    QTest::newRow("UTF-16 odd byte")
        << QByteArray("\xFF\xFE") + encoded(QString::fromLatin1(lines), "UTF-16LE") + "x";
}

void TestStatementFiles::textCutOffAtTheEnd()
{
    QFETCH(QByteArray, bytes);
    writeFile(file(QStringLiteral("cut.csv")), bytes);
    ReadOptions options;
    options.card = false;
    const QString failure = readFailure(file(QStringLiteral("cut.csv")), options);
    QVERIFY2(failure.contains(QStringLiteral("不完整")), qPrintable(failure));
}

void TestStatementFiles::delimitersAndQuoting_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<QString>("rows"); // line: cells joined by '|', rows by '\n'
    QTest::newRow("comma, CRLF, padding")
        << utf8("日期,说明,金额\r\n 2024-01-05\t, 茶 ,\t-3.00 \r\n") << ","
        << "1:日期|说明|金额\n2:2024-01-05|茶|-3.00";
    QTest::newRow("tab, amounts with commas")
        << utf8("日期\t说明\t金额\n2024-01-05\t茶\t\"-1,234.00\"\n") << "\t"
        << "1:日期|说明|金额\n2:2024-01-05|茶|-1,234.00";
    QTest::newRow("semicolon") << utf8("Date;Description;Amount\n2024-01-05;tea, green;-3.00\n")
                               << ";"
                               << "1:Date|Description|Amount\n2:2024-01-05|tea, green|-3.00";
    QTest::newRow("quotes, line breaks inside, no last line end")
        << utf8("日期,说明,金额\n2024-01-05,\"He said \"\"hi\"\",\nthen left\",1\n2024-01-06,,2")
        << ","
        << "1:日期|说明|金额\n2:2024-01-05|He said \"hi\",\nthen left|1\n4:2024-01-06||2";
}

void TestStatementFiles::delimitersAndQuoting()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, delimiter);
    QFETCH(QString, rows);
    writeFile(file(QStringLiteral("split.csv")), bytes);
    QStringList read;
    const TableRead table = readTable(
        file(QStringLiteral("split.csv")),
        [&](SourceRow&& row) {
            read.append(QString::number(row.line) + QLatin1Char(':') +
                        row.cells.join(QLatin1Char('|')));
            return true;
        },
        {}, [](const QStringList& cells) { return cells.size() == 3; });
    QCOMPARE(QString(table.delimiter), delimiter);
    QCOMPARE(read.join(QLatin1Char('\n')), rows);
}

void TestStatementFiles::xlsxWorkbook()
{
    const QByteArray workbook =
        R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="账单" sheetId="1" r:id="rId1"/></sheets></workbook>)";
    const QByteArray rels =
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/data.xml"/></Relationships>)";
    QByteArray shared =
        R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)";
    for (const QString& s : wechatHeader.split(QLatin1Char(',')))
        shared += "<si><t>" + s.toUtf8() + "</t></si>";
    shared += R"(<si><r><t>瑞幸</t></r><r><t>咖啡</t></r><rPh><t>ruixing</t></rPh></si></sst>)";
    const QByteArray styles =
        R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><numFmts><numFmt numFmtId="164" formatCode="yyyy\-mm\-dd\ hh:mm:ss"/></numFmts><cellXfs><xf numFmtId="0"/><xf numFmtId="164"/></cellXfs></styleSheet>)";
    QByteArray sheet =
        R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)"
        R"(<row r="1"><c r="A1" t="inlineStr"><is><t>微信支付账单明细</t></is></c></row>)"
        R"(<row r="17">)";
    for (int i = 0; i < 11; ++i)
        sheet += "<c r=\"" + QByteArray(1, char('A' + i)) + "17\" t=\"s\"><v>" +
                 QByteArray::number(i) + "</v></c>";
    sheet +=
        R"(</row><row r="18"><c r="A18" s="1"><v>44931.5</v></c>)"
        R"(<c r="B18" t="inlineStr"><is><t>商户消费</t></is></c><c r="C18" t="s"><v>11</v></c>)"
        R"(<c r="E18" t="inlineStr"><is><t>支出</t></is></c><c r="F18"><v>28.16</v></c>)"
        R"(<c r="H18" t="inlineStr"><is><t>支付成功</t></is></c>)"
        R"(<c r="I18"><v>4200001234567890</v></c></row></sheetData></worksheet>)";
    const QString path = file(QStringLiteral("wechat.xlsx"));
    writeZip(path, {{"xl/workbook.xml", workbook},
                    {"xl/_rels/workbook.xml.rels", rels},
                    {"xl/sharedStrings.xml", shared},
                    {"xl/styles.xml", styles},
                    {"xl/worksheets/data.xml", sheet}});
    const ParsedStatement statement = readStatement(path);
    QCOMPARE(statement.fileKind, FileKind::Xlsx);
    QCOMPARE(statement.layout, QStringLiteral("微信支付"));
    QCOMPARE(statement.rows.size(), 1);
    const StatementRow& row = statement.rows[0];
    QCOMPARE(row.line, 18);
    QCOMPARE(row.date, QDate(2023, 1, 5));
    QCOMPARE(row.time, QTime(12, 0));
    QCOMPARE(row.counterpart, QStringLiteral("瑞幸咖啡"));
    QCOMPARE(row.kind, RowKind::Expense);
    QCOMPARE(row.amountCents, 2816);
    QCOMPARE(row.transactionNo, QStringLiteral("4200001234567890"));
}

void TestStatementFiles::xlsWorkbook()
{
    const QList<QStringList> rows = {
        {QStringLiteral("交易日期"), QStringLiteral("摘要"), QStringLiteral("交易金额"),
         QStringLiteral("账户余额"), QStringLiteral("对方账号与户名")},
        {QStringLiteral("45296"), QStringLiteral("消费"), QStringLiteral("-3.5"),
         QStringLiteral("96.5"), QStringLiteral("便利店")},
        {QStringLiteral("45297"), QStringLiteral("工资"), QStringLiteral("10000"),
         QStringLiteral("10096.5"), QStringLiteral("公司")}};
    const QString path = file(QStringLiteral("bank.xls"));
    writeFile(path, compoundFile(biffWorkbook(rows, 6000)));
    const ParsedStatement statement = readStatement(path);
    QCOMPARE(statement.fileKind, FileKind::Xls);
    QCOMPARE(statement.layout, QStringLiteral("建设银行"));
    QCOMPARE(statement.rows.size(), 2);
    QCOMPARE(statement.rows[0].date, QDate(2024, 1, 5));
    QCOMPARE(statement.rows[0].kind, RowKind::Expense);
    QCOMPARE(statement.rows[0].amountCents, 350);
    QCOMPARE(statement.rows[0].counterpart, QStringLiteral("便利店"));
    QCOMPARE(statement.rows[1].line, 3);
    QCOMPARE(statement.rows[1].kind, RowKind::Income);
    QCOMPARE(statement.rows[1].amountCents, 1000000);
}

void TestStatementFiles::xlsInTheMiniStreamIsRefused()
{
    const QList<QStringList> rows = {
        {QStringLiteral("交易日期"), QStringLiteral("摘要"), QStringLiteral("交易金额")},
        {QStringLiteral("45296"), QStringLiteral("消费"), QStringLiteral("-3.5")}};
    const QString path = file(QStringLiteral("small.xls"));
    writeFile(path, compoundFile(biffWorkbook(rows, 0)));
    const QString failure = readFailure(path);
    QVERIFY2(failure.contains(QStringLiteral("另存为 .xlsx 或 .csv")), qPrintable(failure));
}

void TestStatementFiles::badFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QByteArray random(4096, 0);
    quint32 seed = 7;
    for (char& c : random)
        c = char((seed = seed * 1103515245u + 12345u) >> 24);
    QTest::newRow("empty") << QByteArray() << "空";
    QTest::newRow("picture") << QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) << "图片";
    QTest::newRow("PDF") << QByteArray("%PDF-1.7\n") << "PDF";
    QTest::newRow("random bytes") << random << "不是文本账单";
    QTest::newRow("zip, not a workbook") << QByteArray() << "不是 Excel";
    QTest::newRow("damaged workbook") << QByteArray("PK\x03\x04garbage", 11) << "损坏";
    QTest::newRow("text without a header") << utf8("hello\nworld\n") << "表头";
}

void TestStatementFiles::badFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    const QString path = file(QStringLiteral("bad.csv"));
    if (QByteArray(QTest::currentDataTag()) == "zip, not a workbook")
        writeZip(path, {{"readme.txt", "hello"}});
    else
        writeFile(path, bytes);
    const QString failure = readFailure(path);
    QVERIFY2(failure.contains(message), qPrintable(failure));
    QVERIFY(readFailure(file(QStringLiteral("missing.csv"))).contains(QStringLiteral("找不到")));
}

void TestStatementFiles::cancelledAndCutShortWhileRead()
{
    QByteArray bytes = "Date,Description,Amount\n";
    while (bytes.size() < (5 << 19))
        bytes += "2024-01-05,coffee,-3.00\n";
    const QString path = file(QStringLiteral("big.csv"));
    writeFile(path, bytes);
    ReadOptions options;
    options.card = false;

    QVERIFY_THROWS_EXCEPTION(Cancelled,
                             readStatement(path, options, [](qint64, qint64) { return false; }));

    qint64 total = 0;
    const QString cut = readFailure(path, options, [&](qint64, qint64 size) {
        total = size;
        QFile(path).resize(size / 2);
        return true;
    });
    QCOMPARE(total, bytes.size());
    QVERIFY2(cut.contains(QStringLiteral("改动")), qPrintable(cut));
}

QTEST_GUILESS_MAIN(TestStatementFiles)
#include "test_statementfiles.moc"
