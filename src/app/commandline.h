#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QCommandLineParser;

// A command for people who script their books: `pelmora NAME [arguments]`. It
// runs on the book in the working folder (or in the home folder with --home),
// without windows, prints what it did on standard output and a failure on
// standard error, and returns the exit status: 0 on success.
struct CommandLineCommand
{
    QString name;
    QString arguments; // as the help shows them: "FILE [--dry-run]"
    QString description;
    QList<QCommandLineOption> options;
    // positional: the arguments after the command's name.
    std::function<int(const QStringList& positional, const QCommandLineParser& parser)> run;
};

// Every command the program knows, as the features offer them.
QList<CommandLineCommand> commandLineCommands();

// Reads the command line. Returns the exit status when the run ends here
// (--help, --version, --create-database, a command, a wrong option), or nothing
// when the windows should start; with --home the working folder has then been
// entered. Needs no application object; a command gets a core one of its own.
std::optional<int> runCommandLine(int argc, char** argv);

// Writes a line to standard output or standard error in the terminal's encoding.
void printLine(const QString& line);
void printError(const QString& line);
