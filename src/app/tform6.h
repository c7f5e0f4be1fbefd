#pragma once

#include "store/database.h"
#include "store/query.h"

#include <QWidget>

class Messages;
class QLabel;
class QLineEdit;
class QPushButton;
class TMainForm;

// The lookup statement of a sign-in; the typed name is escaped, never able to
// end the quoted text early.
QString loginLookupSql(const QString& userName);

// Which of the menu entries 1 to 3 a rights string withholds (a "0" there).
QList<int> withheldMenuEntries(const QString& rights);

// The login dialog: checks a user against the user table on its own connection
// and hands over to the main window.
class TForm6 final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm6)

public:
    TForm6(TMainForm& mainForm, Messages& messages,
           const QString& databasePath = QString::fromLatin1(kDatabaseFileName),
           QWidget* parent = nullptr);
    ~TForm6() override;

    const QString& userName() const { return m_userName; }
    const QString& rights() const { return m_rights; }

public Q_SLOTS:
    void BitBtn1Click();
    void BitBtn2Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    TMainForm& m_mainForm;
    Messages& m_messages;
    Database m_database;
    Query m_query;
    QString m_userName;
    QString m_rights;

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* Edit_user;
    QLineEdit* Edit_pwd;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
};
