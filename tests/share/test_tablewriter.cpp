#include "book/booksql.h"
#include "share/tablerows.h"
#include "share/tablewriter.h"
#include "testsupport.h"

#include <QDir>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QXmlStreamReader>
#include <cerrno>
#include <cstring>

namespace {

// A listing of three entries whose remarks need quoting or the formula guard.
QList<TableRow> listing()
{
    const QList<ExportEntry> entries = {
        {12, QStringLiteral("2005-11-05"), QStringLiteral("01"), QStringLiteral("工资"), 3500,
         QStringLiteral("=SUM(A1:A9)")},
        {13, QStringLiteral("2005-11-06"), QStringLiteral("02"), QStringLiteral("奖金"), 0.125,
         QStringLiteral("-5, \"minus\"")},
        {14, QStringLiteral("2005-11-30"), QStringLiteral("03"), QStringLiteral("利息"), 1234.5,
         QStringLiteral("第一行\r\n@第二行")},
    };
    QList<TableRow> rows;
    for (const ExportEntry& e : entries)
        rows << listingTableRow(e, QStringLiteral("200511"));
    return rows;
}

bool writeTable(const QString& path, const QStringList& captions, const QList<TableRow>& rows,
                QString* error = nullptr)
{
    TableWriter writer(path);
    bool ok = writer.begin(captions);
    for (const TableRow& row : rows)
        ok = ok && writer.addRow(row);
    ok = ok && writer.commit();
    if (error)
        *error = writer.error();
    return ok;
}

QByteArray unzipped(const QString& zip, const QString& member)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), zip, member});
    if (!unzip.waitForFinished() || unzip.exitCode() != 0)
        qFatal("unzip -p %s %s failed", qPrintable(zip), qPrintable(member));
    return unzip.readAllStandardOutput();
}

struct SheetCell
{
    QString type;   // t: empty for a number
    QString format; // the number format of its style
    QString value;  // <v>, or the text of an inline string
};

// The cells of the first sheet by reference ("B2"), with their number formats.
QHash<QString, SheetCell> sheetCells(const QString& xlsx)
{
    QHash<QString, QString> codes{{QStringLiteral("0"), QString()},
                                  {QStringLiteral("2"), QStringLiteral("0.00")}};
    QStringList styleFormats;
    QXmlStreamReader styles(unzipped(xlsx, QStringLiteral("xl/styles.xml")));
    bool inCellXfs = false;
    while (!styles.atEnd()) {
        styles.readNext();
        if (styles.isStartElement() && styles.name() == QLatin1String("numFmt"))
            codes.insert(styles.attributes().value(QLatin1String("numFmtId")).toString(),
                         styles.attributes().value(QLatin1String("formatCode")).toString());
        if (styles.name() == QLatin1String("cellXfs"))
            inCellXfs = styles.isStartElement();
        if (inCellXfs && styles.isStartElement() && styles.name() == QLatin1String("xf"))
            styleFormats << styles.attributes().value(QLatin1String("numFmtId")).toString();
    }
    QHash<QString, SheetCell> cells;
    QXmlStreamReader sheet(unzipped(xlsx, QStringLiteral("xl/worksheets/sheet1.xml")));
    QString ref;
    while (!sheet.atEnd()) {
        sheet.readNext();
        if (!sheet.isStartElement())
            continue;
        if (sheet.name() == QLatin1String("c")) {
            ref = sheet.attributes().value(QLatin1String("r")).toString();
            SheetCell& cell = cells[ref];
            cell.type = sheet.attributes().value(QLatin1String("t")).toString();
            const int style = sheet.attributes().value(QLatin1String("s")).toInt();
            cell.format = codes.value(styleFormats.value(style), QStringLiteral("?"));
        } else if (sheet.name() == QLatin1String("v") || sheet.name() == QLatin1String("t")) {
            // Control characters stand as _xHHHH_ in a sheet's text.
            QString text = sheet.readElementText();
            static const QRegularExpression escaped(QStringLiteral("_x([0-9A-F]{4})_"));
            for (auto m = escaped.match(text); m.hasMatch(); m = escaped.match(text))
                text.replace(m.capturedStart(), m.capturedLength(),
                             QChar(m.captured(1).toUShort(nullptr, 16)));
            cells[ref].value = text;
        } else if (sheet.name() == QLatin1String("f")) {
            cells[ref].type = QStringLiteral("formula");
        }
    }
    return cells;
}

QString reason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

class TestTableWriter final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void csvBytes();
    void xlsxReadBack();
    void reportRows();
    void xlsxRefusesRowsBeyondASheet();
    void failureLeavesNoFile_data();
    void failureLeavesNoFile();
};

void TestTableWriter::csvBytes()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(listingTableFileName());
    QVERIFY(writeTable(path, listingCaptions(EntryKind::Income), listing()));
    QCOMPARE(readFile(path),
             QByteArray("\xEF\xBB\xBF"
                        "收入编号,收入日期,收入类别,收入名称,收入金额,收入说明,所属时期\r\n"
                        "12,2005-11-05,01,工资,3500.00,'=SUM(A1:A9),200511\r\n"
                        "13,2005-11-06,02,奖金,0.12,\"'-5, \"\"minus\"\"\",200511\r\n"
                        "14,2005-11-30,03,利息,1234.50,\"第一行\r\n@第二行\",200511\r\n"));
    QCOMPARE(QFile::permissions(path),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}

void TestTableWriter::xlsxReadBack()
{
    QTemporaryDir dir;
    const QString name = QStringLiteral("收支查询.xlsx");
    const QString path = dir.filePath(name);
    writeFile(path, "an older file");
    QString error;
    QVERIFY2(writeTable(path, listingCaptions(EntryKind::Expense), listing(), &error),
             qPrintable(error));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), {name});

    const QHash<QString, SheetCell> cells = sheetCells(path);
    auto check = [&cells](const char* ref, const char* type, const char* format,
                          const char* value) {
        const SheetCell cell = cells.value(QLatin1String(ref));
        QCOMPARE(cell.type, QString::fromUtf8(type));
        QCOMPARE(cell.format, QString::fromUtf8(format));
        QCOMPARE(cell.value, QString::fromUtf8(value));
    };
    check("A1", "inlineStr", "", "支出编号");
    check("A2", "", "", "12");
    // 2005-11-05 as a sheet's day number, shown as a date.
    check("B2", "", "yyyy-mm-dd", "38661");
    check("C2", "inlineStr", "", "01");
    check("E2", "", "0.00", "3500");
    check("E3", "", "0.00", "0.12");
    // A text stays a text, whatever it starts with, and without the CSV's apostrophe.
    check("F2", "inlineStr", "", "=SUM(A1:A9)");
    check("F4", "inlineStr", "", "第一行\r\n@第二行");
    check("G4", "inlineStr", "", "200511");
}

void TestTableWriter::reportRows()
{
    ReportFigures figures;
    figures.income = 6000.3;
    figures.incomeRows = {{QStringLiteral("01"), QStringLiteral("工资"), 5000},
                          {QStringLiteral("02"), QStringLiteral("奖金"), 1000.3}};
    // No share of a kind whose total is not above 0, as in the text report.
    figures.expense = 0;
    figures.expenseRows = {{QStringLiteral("01"), QStringLiteral("餐饮"), 0}};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("2005年度收支情况报告表.csv"));
    QVERIFY(
        writeTable(path, reportTableCaptions(), reportTableRows(QStringLiteral("2005"), figures)));
    QCOMPARE(readFile(path), QByteArray("\xEF\xBB\xBF"
                                        "时期,收支,代码,名称,金额,比例(%)\r\n"
                                        "2005,收入,01,工资,5000.00,83.3291668749896\r\n"
                                        "2005,收入,02,奖金,1000.30,16.6708331250104\r\n"
                                        "2005,收入合计,,,6000.30,\r\n"
                                        "2005,支出,01,餐饮,0.00,0\r\n"
                                        "2005,支出合计,,,0.00,\r\n"
                                        "2005,收入－支出,,,6000.30,\r\n"));
}

void TestTableWriter::xlsxRefusesRowsBeyondASheet()
{
    const qint64 most = TableWriter::xlsxMaxDataRows;
    QCOMPARE(most, 1048575);
    QVERIFY(TableWriter::rowLimitError(QStringLiteral("a.xlsx"), most).isEmpty());
    QVERIFY(TableWriter::rowLimitError(QStringLiteral("a.XLSX"), most + 1)
                .contains(QStringLiteral("1048575")));
    QVERIFY(TableWriter::rowLimitError(QStringLiteral("a.csv"), most + 1).isEmpty());

    // While streaming, the row past the sheet's last fails and nothing is written.
    QTemporaryDir dir;
    TableWriter writer(dir.filePath(QStringLiteral("a.xlsx")));
    QVERIFY(writer.begin({QStringLiteral("x")}));
    for (qint64 i = 0; i < most; ++i) {
        if (!writer.addRow({}))
            QFAIL(qPrintable(writer.error()));
    }
    QVERIFY(!writer.addRow({}));
    QVERIFY2(writer.error().contains(QStringLiteral("1048575")), qPrintable(writer.error()));
    QVERIFY(!writer.commit());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestTableWriter::failureLeavesNoFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("fullDisk");
    QTest::newRow("csv, missing folder") << QStringLiteral("收支查询.csv") << false;
    QTest::newRow("xlsx, missing folder") << QStringLiteral("收支查询.xlsx") << false;
    QTest::newRow("csv, full disk") << QStringLiteral("收支查询.csv") << true;
    QTest::newRow("xlsx, full disk") << QStringLiteral("收支查询.xlsx") << true;
}

void TestTableWriter::failureLeavesNoFile()
{
    QFETCH(QString, name);
    QFETCH(bool, fullDisk);
    QString error;
    if (!fullDisk) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("gone/") + name);
        QVERIFY(!writeTable(path, {QStringLiteral("x")}, listing(), &error));
        QVERIFY2(error.contains(reason(ENOENT)), qPrintable(error));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
        return;
    }
    FullDisk disk;
    if (!disk.mounted())
        QSKIP(qPrintable(disk.why()));
    disk.fill(name);
    const QStringList before = disk.files();
    QVERIFY(
        !writeTable(disk.filePath(name), listingCaptions(EntryKind::Income), listing(), &error));
    QVERIFY2(error.contains(FullDisk::fullText()), qPrintable(error));
    QCOMPARE(readFile(disk.filePath(name)), FullDisk::older());
    QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden), before);
}

QTEST_MAIN(TestTableWriter)
#include "test_tablewriter.moc"
