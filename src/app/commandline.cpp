#include "app/commandline.h"

#include "app/home.h"
#include "store/database.h"
#include "store/storeerror.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

namespace {

const QString kProgram = QStringLiteral("pelmora");

QString helpText(const QList<CommandLineCommand>& commands)
{
    QString text = QStringLiteral(
        "Usage: pelmora [option]\n"
        "       pelmora [--home] COMMAND [arguments]\n"
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
        "  --version          show the version and exit\n");
    if (commands.isEmpty())
        return text;
    text +=
        QStringLiteral("\nCommands, on the book in the working directory (or the home folder with\n"
                       "--home); each exits 0 on success:\n");
    for (const CommandLineCommand& command : commands) {
        text += QStringLiteral("  ") + command.name;
        if (!command.arguments.isEmpty())
            text += QLatin1Char(' ') + command.arguments;
        text += QStringLiteral("\n      ") + command.description + QLatin1Char('\n');
        for (const QCommandLineOption& option : command.options) {
            QString names = QStringLiteral("--") + option.names().constFirst();
            if (!option.valueName().isEmpty())
                names += QLatin1Char(' ') + option.valueName();
            // A long option name gets its description on a line of its own.
            text +=
                QStringLiteral("      ") +
                (names.size() < 22 ? names.leftJustified(22)
                                   : names + QLatin1Char('\n') + QString(28, QLatin1Char(' '))) +
                option.description() + QLatin1Char('\n');
        }
    }
    return text;
}

int createDatabaseHere()
{
    const QString path = QDir::current().absoluteFilePath(QString::fromLatin1(kDatabaseFileName));
    try {
        createDatabase(path);
    } catch (const StoreError& e) {
        printError(e.message());
        return 1;
    }
    printLine(QStringLiteral("Created %1 (user admin, password tovek).").arg(path));
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
        printError(note);
    if (!error.isEmpty()) {
        printError(error);
        return false;
    }
    if (!QDir::setCurrent(folder)) {
        printError(QStringLiteral("cannot enter the working folder %1").arg(folder));
        return false;
    }
    printError(QStringLiteral("working folder %1").arg(folder));
    return true;
}

} // namespace

void printLine(const QString& line)
{
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void printError(const QString& line)
{
    std::fputs(
        (kProgram + QStringLiteral(": ") + line + QLatin1Char('\n')).toLocal8Bit().constData(),
        stderr);
}

std::optional<int> runCommandLine(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (arguments.size() <= 1)
        return std::nullopt;

    const QList<CommandLineCommand> commands = commandLineCommands();
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption home(QStringLiteral("home"));
    const QCommandLineOption create(QStringLiteral("create-database"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({home, create, help, version});
    for (const CommandLineCommand& command : commands)
        for (const QCommandLineOption& option : command.options)
            parser.addOption(option);
    if (!parser.parse(arguments)) {
        QString reason = parser.errorText();
        if (reason.endsWith(QLatin1Char('.')))
            reason.chop(1);
        printError(reason + QStringLiteral("; see pelmora --help"));
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(helpText(commands).toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        printLine(QStringLiteral("pelmora " PELMORA_VERSION));
        return 0;
    }
    const QStringList positional = parser.positionalArguments();
    if (parser.isSet(create)) {
        if (!positional.isEmpty() || arguments.size() > 2) {
            printError(QStringLiteral("too many arguments; see pelmora --help"));
            return 2;
        }
        return createDatabaseHere();
    }

    const CommandLineCommand* chosen = nullptr;
    if (!positional.isEmpty()) {
        for (const CommandLineCommand& command : commands)
            if (command.name == positional.constFirst())
                chosen = &command;
        if (!chosen) {
            printError(QStringLiteral("unknown command %1; see pelmora --help")
                           .arg(positional.constFirst()));
            return 2;
        }
    }
    // A command's own options belong to it alone.
    for (const CommandLineCommand& command : commands)
        for (const QCommandLineOption& option : command.options)
            if (parser.isSet(option) && &command != chosen) {
                printError(QStringLiteral("--%1 belongs to another command; see pelmora --help")
                               .arg(option.names().constFirst()));
                return 2;
            }
    if (parser.isSet(home) && !enterHome())
        return 1;
    if (!chosen)
        return std::nullopt;

    // The store needs an application object (its drivers are plugins).
    QCoreApplication application(argc, argv);
    return chosen->run(positional.mid(1), parser);
}
