#pragma once

#include "store/entrykind.h"

#include <QString>

// Statement texts of backups, restores and the undo journal, in SQLite's form
// with ? placeholders for their values.

// --- the summary a copy carries (table bfxx, only ever in copies) ---

// Entry counts of both kinds and the newest entry date (null without entries).
QString summaryCountsSql();
QString createSummarySql();
// incomes, expenses, newest entry date
QString insertSummarySql();
QString readSummarySql();
QString dropSummarySql();

// --- what a restore looks at in a copy ---

QString tableNamesSql();
// The columns of the table named by the value.
QString tableColumnsSql();
QString triggersAndViewsSql();

// --- the generation, bumped by every restore ---

QString generationSql();
QString setGenerationSql(qint64 generation);

// --- the journal (table czrz) ---

// type, description, data, kinds
QString insertJournalSql();
QString clearRedoSql();
// Keeps the newest rows: the value is how many.
QString trimJournalSql();
QString nextUndoSql();
QString nextRedoSql();
// cx set to the first value for the row numbered by the second.
QString markJournalSql();
QString dropJournalRowSql();
QString emptyJournalSql();

// --- entries as the journal's own steps write them, by their numbers ---

// uid and the six values of the entry, in table order.
QString readEntrySql(EntryKind kind);
// uid first, then the six values.
QString insertNumberedEntrySql(EntryKind kind);
// The six values, then uid.
QString updateNumberedEntrySql(EntryKind kind);
QString deleteNumberedEntrySql(EntryKind kind);
