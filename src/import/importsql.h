#pragma once

#include "store/entrykind.h"

#include <QString>

// The statements of imports, in SQLite's form with ? placeholders; the tables
// are made by the store's schema step. Kinds are bound as their letters.

// An import's key: the entry it names (kind, number) and whether that entry is
// in its table still. Binds the income kind, then the key.
QString keyLookupSql();

// The entries of a kind dated in a range, with the source of the import each
// came from (null for one typed by hand; always null without the import
// tables, as in a read-only book). Binds the kind (with the sources only), the
// first and the last day.
QString neighboursSql(EntryKind kind, bool withSources);

// The categories of a kind, code and name in code order. Binds the kind.
QString categoriesSql();
QString insertCategorySql();

// Remarks and categories of a kind's entries in a range, from which the
// category most used for a counterpart is suggested. Binds the first and the
// last day.
QString remarksSql(EntryKind kind);

// One entry: date, code, name, amount, remark, period.
QString insertEntrySql(EntryKind kind);
// kind, number, key, batch, fingerprint.
QString insertKeySql();
// A key whose entry has left the book. Binds the key.
QString deleteKeySql();

// file, sha256, layout, source, time, user, first and last day, then the counts:
// income rows and cents, expense rows and cents, duplicates, possible
// duplicates, neutral, failed, errors.
QString insertBatchSql();
// Every batch, newest first; with a condition on id when one is asked for.
QString batchesSql();
QString batchSql();
QString setBatchStateSql();

// The rules of a source: kind, match, pattern, code. Binds the source.
QString rulesSql();
// source, kind, match, pattern, code; replaces the rule of the same pattern.
QString saveRuleSql();

// The answers given for a header layout: columns, date order, card. Binds the
// signature.
QString layoutAnswersSql();
QString saveLayoutAnswersSql();

// A batch's entries of a kind still in the book with their fingerprint as
// imported: number, date, code, name, amount, remark, fingerprint. Binds the
// batch and the kind.
QString batchEntriesSql(EntryKind kind);
// Undo: a batch's entries of a kind kept for a redo, then removed, then its keys.
QString keepUndoneSql(EntryKind kind);
QString deleteBatchEntriesSql(EntryKind kind);
QString deleteBatchKeysSql();
// Redo: keys and entry numbers of the undone entries that are taken meanwhile,
// then the entries and keys put back and the kept rows dropped.
QString takenKeysSql();
QString takenNumbersSql(EntryKind kind);
QString restoreEntriesSql(EntryKind kind);
QString restoreKeysSql();
QString dropUndoneSql();

// Whether the book has the import tables (a read-only book may lack them).
QString importTablesSql();
