// Renders the analysis window after a chart run over a sample book to a PNG:
//   analysis_picture [output.png] [--stay] [--many]   (default docs/analysis.png; --stay keeps
//                                              the window open for a look at it)

#include "analysis/tfxtb.h"
#include "samplebook.h"
#include "testsupport.h"

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString output =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/analysis.png");

    TestBook book;
    fillSampleBook(book);
    // --many: a crowded book, to see how legends and marks cope.
    if (app.arguments().contains(QStringLiteral("--many"))) {
        for (int c = 7; c <= 25; ++c) {
            const QString code = QStringLiteral("%1").arg(c, 2, 10, QLatin1Char('0'));
            addCategory(book, QStringLiteral("Z"), code, QStringLiteral("支出类别%1").arg(c));
            for (int m = 1; m <= 12; ++m)
                addEntry(book, QStringLiteral("Z"), QDate(2026, m, 3), code, QString(), 100.0 * c);
        }
        for (int y = 2007; y < 2022; ++y)
            addEntry(book, QStringLiteral("S"), QDate(y, 5, 5), QStringLiteral("01"), QString(),
                     123456.78 * (y - 2000));
    }
    Tfxtb window(book.context());
    window.resize(1014, 682);
    window.findChild<QDateEdit*>(QStringLiteral("DateTimePicker1"))->setDate(QDate(2026, 1, 1));
    window.findChild<QDateEdit*>(QStringLiteral("DateTimePicker2"))->setDate(QDate(2026, 12, 31));
    window.show();
    window.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
    window.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->setFocus();
    settle();
    if (!book.messages().all().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(book.messages().all().join(QLatin1Char('\n'))));
        return 1;
    }
    QDir().mkpath(QFileInfo(output).absolutePath());
    if (!window.grab().save(output)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
        return 1;
    }
    std::printf("%s\n", qPrintable(QFileInfo(output).absoluteFilePath()));
    std::fflush(stdout);
    if (app.arguments().contains(QStringLiteral("--stay")))
        return app.exec();
    return 0;
}
