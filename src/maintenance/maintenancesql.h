#pragma once

#include "store/categorysql.h"
#include "store/entrykind.h"

#include <QList>
#include <QString>

// Statement texts, list lines and messages of the maintenance window. Every
// text value goes between quotes escaped, so it is stored and found as typed.

// --- categories ---

// The list of a kind is categoryListSql (store/categorysql.h).
QString categoryCountSql(EntryKind kind, const QString& code);
QString insertCategorySql(EntryKind kind, const QString& code, const QString& name);
// Entries of the category's own kind that use the code.
QString categoryUseSql(EntryKind kind, const QString& code);
QString deleteCategorySql(EntryKind kind, const QString& code);

enum class CategoryLayout
{
    Chosen, // choosing a kind and the reload after a removal: six spaces after the kind
    Added,  // the reload after an addition: four spaces after the kind
};

struct CategoryItem
{
    EntryKind kind = EntryKind::Income;
    QString code;
    QString name;
};

// kind: the kind letter as stored.
QString categoryLine(const QString& kind, const QString& code, const QString& name,
                     CategoryLayout layout);
// Reads kind, code and name back from a line of either layout (each trimmed).
CategoryItem readCategoryLine(const QString& line);

// Blanks and control characters removed at both ends (other white space, such
// as the ideographic space, belongs to the text).
QString trimBlanks(const QString& text);

QString categoryAddedMessage(const CategoryItem& item);
QString categoryInUseMessage(const CategoryItem& item);
QString categoryRemovedMessage(const CategoryItem& item);

// --- users ---

QString userListSql();
QString userCountSql(const QString& name);
QString insertUserSql(const QString& name, const QString& password, const QString& rights);
QString deleteUserSql(const QString& name);
QString updatePasswordSql(const QString& name, const QString& password);
QString rightsString(bool book, bool analysis, bool maintenance);
QString userAddedMessage(const QString& name, const QString& password);
QString userDeletedMessage(const QString& name);

// --- initialisation ---

struct InitialisationStep
{
    QString statement;
    QString failureMessage;
};

const QList<InitialisationStep>& initialisationSteps();

QString emptyTableSql(const QString& table);
// What the reset runs, in order, in one transaction: the initialisation steps,
// then the emptying of every added table that the reset empties.
QList<InitialisationStep> resetSteps();
// A reset that failed outside its steps (the book could not be locked, an added
// table could not be emptied, the commit failed); nothing of it was kept.
QString resetFailedMessage();

// --- compaction ---

QString compactSql();
QString compactionDoneMessage(qint64 before, qint64 after);
QString compactionFailedMessage(const QString& reason);

// The refusal of a reset or a compaction ("系统初始化", "数据库压缩") whose safety
// copy could not be written.
QString safetyCopyFailedMessage(const QString& action, const QString& path, const QString& reason);
