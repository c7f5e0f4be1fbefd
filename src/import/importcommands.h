#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QCommandLineParser;

// The command line's import commands, on the book in the working folder:
//   pelmora import FILE [options]   (importOptions())
//   pelmora imports
//   pelmora undo-import BATCH
// Each returns the exit status: 0 done, 1 failed (nothing stored), 2 refused
// (wrong arguments, or a question the statement leaves open that no option
// answers).

// Where a command writes its lines: the program's own printers, which write in
// the terminal's encoding.
struct CommandPrinter
{
    std::function<void(const QString&)> line;
    std::function<void(const QString&)> error;
};

QList<QCommandLineOption> importOptions();

int runImportCommand(const QStringList& arguments, const QCommandLineParser& parser,
                     const CommandPrinter& print);
int runImportsCommand(const QStringList& arguments, const CommandPrinter& print);
int runUndoImportCommand(const QStringList& arguments, const CommandPrinter& print);
