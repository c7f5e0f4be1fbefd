#include "store/categorysql.h"

QString categoryListSql(EntryKind kind)
{
    return QStringLiteral("select * from bmb where sz='") + kindLetter(kind) +
           QStringLiteral("' order by lb");
}
