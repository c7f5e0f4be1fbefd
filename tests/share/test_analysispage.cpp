#include "analysis/chartpanel.h"
#include "share/analysispage.h"
#include "testsupport.h"

#include <QDir>
#include <QProcess>
#include <QTest>
#include <QXmlStreamReader>

class TestAnalysisPage final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pdfHoldsTheTextsAsText();
};

void TestAnalysisPage::pdfHoldsTheTextsAsText()
{
    // Four panels filled as the analysis window fills them, at its sizes.
    QWidget window;
    window.resize(1014, 682);
    auto* incomes = new ChartPanel(ChartPanel::Kind::Pie, &window);
    auto* expenses = new ChartPanel(ChartPanel::Kind::Pie, &window);
    auto* months = new ChartPanel(ChartPanel::Kind::Bar, &window);
    auto* years = new ChartPanel(ChartPanel::Kind::Bar, &window);
    incomes->setGeometry(6, 62, 498, 219);
    expenses->setGeometry(506, 62, 498, 219);
    months->setGeometry(6, 280, 998, 192);
    years->setGeometry(6, 472, 499, 177);
    incomes->addSeries(QStringLiteral("Series1"));
    expenses->addSeries(QStringLiteral("Series2"));
    incomes->setTitleLines({QStringLiteral("当期收入情况图")});
    incomes->addPoint(0, 5000, QStringLiteral("工资"));
    incomes->addPoint(0, 1000, QStringLiteral("奖金"));
    expenses->setTitleLines({QStringLiteral("当期支出情况图")});
    expenses->addPoint(0, 800, QStringLiteral("房租"));
    months->setTitleLines({QStringLiteral("2005年收支按月对比图")});
    months->addSeries(QStringLiteral("Series3"));
    months->addSeries(QStringLiteral("Series4"));
    months->setSeriesTitle(0, QStringLiteral("收入"));
    months->setSeriesTitle(1, QStringLiteral("支出"));
    for (int m = 1; m <= 12; ++m) {
        months->addPoint(0, m * 100, QStringLiteral("%1月").arg(m), Qt::blue);
        months->addPoint(1, m * 50, QStringLiteral("%1月").arg(m), Qt::red);
    }
    years->setTitleLines({QStringLiteral("收支按年对比图")});
    years->addSeries(QStringLiteral("Series5"));
    years->addSeries(QStringLiteral("Series6"));
    years->setSeriesTitle(0, QStringLiteral("总收入"));
    years->setSeriesTitle(1, QStringLiteral("总支出"));
    years->addPoint(0, 6000, QStringLiteral("2005年"), Qt::blue);
    years->addPoint(1, 800, QStringLiteral("2005年"), Qt::red);
    // On screen a chart may use a CJK font whose PDF text turns 支 into the
    // radical ⽀, which a reader's search for 收支 misses.
    QFont noto = months->chart()->titleFont();
    noto.setFamilies({QStringLiteral("Noto Sans CJK SC")});
    months->chart()->setTitleFont(noto);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QDate from(2005, 1, 1);
    AnalysisPage page;
    page.title = analysisPageTitle(from, QDate(2005, 12, 31));
    page.charts = {incomes, expenses, months, years};
    const char* texts[9] = {"当期收入合计：6000", "2005年收入总额：7800", "收入总额：6000",
                            "当期支出合计：800",  "2005年支出总额：3900", "支出总额：800",
                            "当期结存余额：5200", "2005年结存余额：3900", "结存余额：5200"};
    for (int i = 0; i < 9; ++i)
        page.summary[i] = {QString::fromUtf8(texts[i]), i < 6 ? Qt::blue : Qt::red};
    page.made = QDateTime(QDate(2006, 1, 2), QTime(9, 30, 0));

    QTemporaryDir dir;
    QCOMPARE(analysisPdfFileName(from), QStringLiteral("2005图表分析.pdf"));
    const QString path = dir.filePath(analysisPdfFileName(from));
    writeFile(path, "an older file");
    const QFont titleFont = incomes->chart()->titleFont();
    QString error;
    QVERIFY2(writeAnalysisPdf(path, page, &error), qPrintable(error));
    // The page lends the charts its font only while it is drawn.
    QCOMPARE(incomes->chart()->titleFont(), titleFont);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), {analysisPdfFileName(from)});

    const QByteArray pdf = readFile(path);
    QVERIFY(pdf.startsWith("%PDF"));
    // Vectors and text, no picture of the window.
    QVERIFY(!pdf.contains("/Subtype /Image"));

    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"),
                    {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    QVERIFY2(pdftotext.waitForFinished(), "pdftotext (poppler-utils) did not run");
    // Each word with its height on the page.
    QHash<QString, double> words;
    QXmlStreamReader xml(pdftotext.readAllStandardOutput());
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            xml.name() == QLatin1String("word")) {
            const double height = xml.attributes().value(QLatin1String("yMax")).toDouble() -
                                  xml.attributes().value(QLatin1String("yMin")).toDouble();
            words.insert(xml.readElementText(), height);
        }
    }
    // The page's own texts, the charts' titles, legends and marks, 收支 as
    // the two characters (not the radical the CJK fonts share a glyph with).
    for (const QString& expected :
         {QStringLiteral("分析图表"), QStringLiteral("2005-01-01－至－2005-12-31"),
          QString::fromUtf8(texts[0]), QString::fromUtf8(texts[8]), QStringLiteral("汇总信息"),
          QStringLiteral("生成日期：2006-01-02"), QStringLiteral("09:30:00"),
          QStringLiteral("当期收入情况图"), QStringLiteral("2005年收支按月对比图"),
          QStringLiteral("总支出"), QStringLiteral("奖金"), QStringLiteral("83.3%")})
        QVERIFY2(words.contains(expected),
                 qPrintable(expected + QStringLiteral(" not in: ") + words.keys().join(' ')));
    // A pie's marks keep their size beside its legend at the PDF's resolution.
    QVERIFY2(words[QStringLiteral("83.3%")] < 1.5 * words[QStringLiteral("奖金")],
             qPrintable(QString::number(words[QStringLiteral("83.3%")])));
}

QTEST_MAIN(TestAnalysisPage)
#include "test_analysispage.moc"
