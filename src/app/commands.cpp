#include "app/commandline.h"
#include "import/importcommands.h"

#include <QCommandLineParser>

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
    };
}
