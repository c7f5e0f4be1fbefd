// Writes the program's icon, as the about panel draws it, into a hicolor tree:
// iconwriter <folder> <size>...
#include "app/taboutbox.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: iconwriter <folder> <size>...\n");
        return 2;
    }
    const QDir top(QString::fromLocal8Bit(argv[1]));
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString file = top.filePath(folder + QStringLiteral("/pelmora.png"));
        if (size <= 0 || !top.mkpath(folder) || !programIcon(size).save(file, "PNG")) {
            std::fprintf(stderr, "iconwriter: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
