#pragma once

#include "store/context.h"

#include <QDateTime>
#include <QMainWindow>
#include <QPointer>
#include <functional>

class Messages;
class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QTimer;

// The caption the clock writes: the title, a blank and the date-time text.
QString clockCaption(const QDateTime& now);

// The frame: menu, status bar, clock, and the child windows inside it. Owns the
// connection and the shared query objects for the whole run.
class TMainForm final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMainForm)

public:
    enum MenuEntry
    {
        SZGL,
        FXTB,
        XTWH,
        N1,
        app_close
    };

    explicit TMainForm(Messages& messages,
                       const QString& databasePath = QString::fromLatin1(kDatabaseFileName),
                       QWidget* parent = nullptr);
    ~TMainForm() override;

    Context& context() { return m_context; }
    Messages& messages() { return m_messages; }
    QAction* menuEntry(MenuEntry entry) const;
    QLabel* statusPanel(int index) const;
    QMdiArea* mdiArea() const { return m_mdiArea; }

    // Offered to the login dialog.
    void disableMenuEntry(int position); // 1, 2 or 3
    void setUserName(const QString& name);
    void showMainWindow();

public Q_SLOTS:
    void SZGLClick();
    void FXTBClick();
    void XTWHClick();
    void N1Click();
    void app_closeClick();
    void Timer1Timer();
    // Closes the book and analysis windows.
    void closeFunctionWindows();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void openChild(QPointer<QMdiSubWindow>& flag, const QString& windowName,
                   const QString& statusText, bool maximised,
                   const std::function<QWidget*()>& create);

    Messages& m_messages;
    Context m_context;
    QMdiArea* m_mdiArea = nullptr;
    QAction* m_entries[5] = {};
    QLabel* m_panels[3] = {};
    QTimer* m_timer = nullptr;
    QPointer<QMdiSubWindow> m_szgl;
    QPointer<QMdiSubWindow> m_fxtb;
    QPointer<QMdiSubWindow> m_xtwh;
    QPointer<QMdiSubWindow> m_aboutbox;
};
