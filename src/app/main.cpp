#include "app/home.h"
#include "app/mainform.h"
#include "app/pelmoraapplication.h"
#include "app/taboutbox.h"
#include "app/tform6.h"
#include "store/database.h"
#include "store/storeerror.h"
#include "ui/boxmessages.h"

#include <QDir>
#include <QIcon>
#include <cstdio>
#include <cstring>

namespace {

void printHelp()
{
    std::puts("Usage: pelmora [option]\n"
              "\n"
              "Household bookkeeping. Without an option the program starts with its login\n"
              "dialog and keeps its book in vandrel.mdb in the working directory.\n"
              "\n"
              "Options:\n"
              "  --home             work in $PELMORA_HOME, else $XDG_DATA_HOME/pelmora, else\n"
              "                     ~/.local/share/pelmora; on first use make that folder,\n"
              "                     a fresh book and the login picture there\n"
              "  --create-database  write a fresh vandrel.mdb into the working directory\n"
              "                     (initial user admin, password tovek); an existing\n"
              "                     file is never overwritten\n"
              "  --help             show this help and exit\n"
              "  --version          show the version and exit");
}

int createDatabaseHere()
{
    const QString path = QDir::current().absoluteFilePath(QString::fromLatin1(kDatabaseFileName));
    try {
        createDatabase(path);
    } catch (const StoreError& e) {
        std::fprintf(stderr, "pelmora: %s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    std::printf("Created %s (user admin, password tovek).\n", path.toLocal8Bit().constData());
    return 0;
}

// Moves into the home folder, making what is missing there; false ends the run.
bool enterHome()
{
    const QString folder = homeFolder();
    QStringList notes;
    QString error;
    try {
        prepareHome(folder, notes);
    } catch (const StoreError& e) {
        error = e.message();
    }
    for (const QString& note : notes)
        std::fprintf(stderr, "pelmora: %s\n", note.toLocal8Bit().constData());
    if (!error.isEmpty()) {
        std::fprintf(stderr, "pelmora: %s\n", error.toLocal8Bit().constData());
        return false;
    }
    if (!QDir::setCurrent(folder)) {
        std::fprintf(stderr, "pelmora: cannot enter the working folder %s\n",
                     folder.toLocal8Bit().constData());
        return false;
    }
    std::fprintf(stderr, "pelmora: working folder %s\n", folder.toLocal8Bit().constData());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1) {
        const char* option = argv[1];
        if (argc > 2) {
            std::fprintf(stderr, "pelmora: too many arguments; see pelmora --help\n");
            return 2;
        }
        if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0) {
            printHelp();
            return 0;
        }
        if (std::strcmp(option, "--version") == 0) {
            std::puts("pelmora " PELMORA_VERSION);
            return 0;
        }
        if (std::strcmp(option, "--create-database") == 0)
            return createDatabaseHere();
        if (std::strcmp(option, "--home") != 0) {
            std::fprintf(stderr, "pelmora: unknown option %s; see pelmora --help\n", option);
            return 2;
        }
        if (!enterHome())
            return 1;
    }

    PelmoraApplication app(argc, argv);
    QApplication::setApplicationName(applicationTitle());
    QApplication::setApplicationVersion(QStringLiteral(PELMORA_VERSION));
    // Lets the desktop match the windows to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.pelmora.Pelmora"));
    QApplication::setWindowIcon(QIcon(programIcon(64)));
    // The main window is shown by the login dialog only; closing the dialog ends the run.
    QApplication::setQuitOnLastWindowClosed(false);

    BoxMessages messages;
    app.setMessages(&messages);

    TMainForm mainForm(messages);
    mainForm.hide();
    TForm6 login(mainForm, messages);
    login.show();
    return app.exec();
}
