#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QPushButton;

// The program's icon, drawn rather than shipped: a green ledger with a coin.
QPixmap programIcon(int size);

// The about panel: product name and version; OK closes it.
class TAboutBox final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAboutBox)

public:
    explicit TAboutBox(QWidget* parent = nullptr);

public Q_SLOTS:
    void OKButtonClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Copyright;
    QLabel* Comments;
    QPushButton* OKButton;
};
