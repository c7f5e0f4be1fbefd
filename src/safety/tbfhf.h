#pragma once

#include <QDialog>

class Context;
class QPushButton;
class QTableWidget;

// "备份与恢复": the copies of the book, newest first, a copy written on demand,
// and the book replaced by a chosen copy.
class Tbfhf final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tbfhf)

public:
    explicit Tbfhf(Context& context, QWidget* parent = nullptr);
    ~Tbfhf() override;

    QTableWidget* Grid_backups = nullptr;
    QPushButton* BitBtn_backupnow = nullptr;
    QPushButton* BitBtn_restore = nullptr;
    QPushButton* BitBtn_close = nullptr;

public Q_SLOTS:
    void BitBtn_backupnowClick();
    void BitBtn_restoreClick();
    void BitBtn_closeClick();

private:
    // Lists the copies again; the copy at path, when given, is chosen.
    void loadCopies(const QString& chosen = QString());

    Context& m_context;
};
