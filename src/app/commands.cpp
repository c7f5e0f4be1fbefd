#include "app/commandline.h"
#include "import/importcommands.h"
#include "safety/safetycommands.h"
#include "store/storeerror.h"

#include <QCommandLineParser>

namespace {

// Prints what the command did, or its failure; the exit status.
int report(const std::function<QStringList()>& command)
{
    try {
        for (const QString& line : command())
            printLine(line);
        return 0;
    } catch (const StoreError& e) {
        printError(e.message());
        return 1;
    }
}

bool noMoreThan(const QStringList& positional, qsizetype count)
{
    if (positional.size() <= count)
        return true;
    printError(QStringLiteral("too many arguments; see pelmora --help"));
    return false;
}

} // namespace

QList<CommandLineCommand> commandLineCommands()
{
    // Each feature that offers commands adds them here, in the order the help lists them.
    const CommandPrinter print{printLine, printError};
    return {
        {QStringLiteral("import"), QStringLiteral("FILE [options]"),
         QStringLiteral("import a statement (.csv .txt .xlsx .xls), all or nothing;\n"
                        "      rows the book has already are left out"),
         importOptions(),
         [print](const QStringList& arguments, const QCommandLineParser& parser) {
             return runImportCommand(arguments, parser, print);
         }},
        {QStringLiteral("imports"),
         QString(),
         QStringLiteral("list the imports, newest first, with their batch numbers"),
         {},
         [print](const QStringList& arguments, const QCommandLineParser&) {
             return runImportsCommand(arguments, print);
         }},
        {QStringLiteral("undo-import"),
         QStringLiteral("BATCH"),
         QStringLiteral("remove the entries of an import that are still in the book;\n"
                        "      the file can then be imported again"),
         {},
         [print](const QStringList& arguments, const QCommandLineParser&) {
             return runUndoImportCommand(arguments, print);
         }},
        {QStringLiteral("backup"),
         QString(),
         QStringLiteral("write a copy of the book into the folder backups beside it"),
         {},
         [](const QStringList& positional, const QCommandLineParser&) {
             return noMoreThan(positional, 0) ? report(backupCommand) : 2;
         }},
        {QStringLiteral("backups"),
         QString(),
         QStringLiteral("list the copies of the book, newest first: time, reason, size, "
                        "incomes, expenses, last entry date, file"),
         {},
         [](const QStringList& positional, const QCommandLineParser&) {
             return noMoreThan(positional, 0) ? report(backupsCommand) : 2;
         }},
        {QStringLiteral("restore"),
         QStringLiteral("FILE"),
         QStringLiteral("replace the book by the copy FILE, after checking it and saving the "
                        "book as it is into backups"),
         {},
         [](const QStringList& positional, const QCommandLineParser&) {
             if (positional.isEmpty()) {
                 printError(QStringLiteral("restore needs the copy's FILE; see pelmora --help"));
                 return 2;
             }
             if (!noMoreThan(positional, 1))
                 return 2;
             return report([&] { return restoreCommand(positional.constFirst()); });
         }},
    };
}
