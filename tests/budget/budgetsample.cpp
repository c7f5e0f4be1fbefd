#include "budgetsample.h"

#include "testsupport.h"

void addBudget(TestBook& book, const QString& code, const QString& month, qint64 cents)
{
    book.exec(QStringLiteral("insert into yss(lb,yf,je) values('%1','%2',%3)")
                  .arg(code, month)
                  .arg(cents));
}
