#include "app/mainform.h"

#include "analysis/tfxtb.h"
#include "app/taboutbox.h"
#include "book/tszgl.h"
#include "maintenance/txtwh.h"
#include "store/messages.h"
#include "store/numbers.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <ranges>

QString clockCaption(const QDateTime& now)
{
    return applicationTitle() + QLatin1Char(' ') + dateTimeText(now);
}

TMainForm::TMainForm(Messages& messages, const QString& databasePath, QWidget* parent)
    : QMainWindow(parent), m_messages(messages), m_context(databasePath, messages)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("PelmoraVerson1.0--"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(QStringLiteral("MdiArea"));
    // A maximised window stays maximised behind the about panel; by default the
    // area would maximise whichever child becomes active instead.
    m_mdiArea->setOption(QMdiArea::DontMaximizeSubWindowOnActivation);
    setCentralWidget(m_mdiArea);

    QMenuBar* menu = menuBar();
    menu->setObjectName(QStringLiteral("MainMenu1"));
    struct Entry
    {
        const char* name;
        QString caption;
        void (TMainForm::*handler)();
    };
    const Entry entries[] = {
        {"SZGL", QStringLiteral("收支管理 "), &TMainForm::SZGLClick},
        {"FXTB", QStringLiteral("分析图表 "), &TMainForm::FXTBClick},
        {"XTWH", QStringLiteral("系统维护"), &TMainForm::XTWHClick},
        {"N1", QStringLiteral("关 于"), &TMainForm::N1Click},
        {"app_close", QStringLiteral("退出程序"), &TMainForm::app_closeClick},
    };
    for (int i = 0; i < 5; ++i) {
        // Captions are plain texts: an '&' would become an accelerator.
        QAction* action = menu->addAction(entries[i].caption);
        action->setObjectName(QString::fromLatin1(entries[i].name));
        connect(action, &QAction::triggered, this, entries[i].handler);
        m_entries[i] = action;
    }

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusBar1_panel%1").arg(i));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        if (i == 0)
            panel->setFixedWidth(60);
        else if (i == 1)
            panel->setFixedWidth(100);
        bar->addWidget(panel, i == 2 ? 1 : 0);
        m_panels[i] = panel;
    }
    m_panels[0]->setText(QStringLiteral("用户名："));
    connect(&m_context, &Context::userChanged, m_panels[1], &QLabel::setText);

    // Client area 1014 x 668 below the menu bar; a fixed border.
    setFixedSize(1014, 668 + menu->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &TMainForm::Timer1Timer);
    m_timer->start();
}

TMainForm::~TMainForm()
{
    // Child forms use the context; they go before it does.
    if (m_mdiArea)
        delete m_mdiArea;
    m_mdiArea = nullptr;
}

QAction* TMainForm::menuEntry(MenuEntry entry) const
{
    return m_entries[entry];
}

QLabel* TMainForm::statusPanel(int index) const
{
    return m_panels[index];
}

void TMainForm::disableMenuEntry(int position)
{
    if (position >= 1 && position <= 3)
        m_entries[position - 1]->setEnabled(false);
}

void TMainForm::setUserName(const QString& name)
{
    m_context.setCurrentUser(name);
}

void TMainForm::showMainWindow()
{
    show();
}

void TMainForm::openChild(QPointer<QMdiSubWindow>& flag, const QString& windowName,
                          const QString& statusText, bool maximised,
                          const std::function<QWidget*()>& create)
{
    if (flag) {
        const QList<QMdiSubWindow*> children = m_mdiArea->subWindowList(QMdiArea::CreationOrder);
        for (QMdiSubWindow* sub : children | std::views::reverse) {
            if (sub->widget() && sub->widget()->objectName() == windowName) {
                sub->show();
                // Raises it too, though never above the about panel.
                m_mdiArea->setActiveSubWindow(sub);
                break;
            }
        }
    } else {
        QWidget* form = nullptr;
        bool failed = true;
        guarded(m_messages, [&] {
            form = create();
            failed = false;
        });
        if (failed)
            return; // the status text and the flag stay as they were
        // Function windows: a fixed single border, a system menu (with its close
        // button) and a maximise button. The about panel: no frame at all, and
        // above the function windows for as long as it is open.
        const Qt::WindowFlags frame =
            maximised ? Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                            Qt::MSWindowsFixedSizeDialogHint
                      : Qt::SubWindow | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
        QMdiSubWindow* sub = m_mdiArea->addSubWindow(form, frame);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->setWindowIcon(windowIcon());
        if (maximised) {
            // Restoring gives back the form's designed client area.
            const QSize client =
                form->testAttribute(Qt::WA_Resized) ? form->size() : form->sizeHint();
            sub->resize(client.grownBy(sub->contentsMargins()));
            sub->showMaximized();
        } else {
            sub->adjustSize();
            sub->show();
            // Centred over the main window, not over the area between menu and status bar.
            const QPoint centre = m_mdiArea->viewport()->mapFrom(this, rect().center());
            sub->move(centre - sub->rect().center());
        }
        m_mdiArea->setActiveSubWindow(sub);
        flag = sub;
    }
    m_panels[2]->setText(statusText);
}

void TMainForm::SZGLClick()
{
    openChild(m_szgl, QStringLiteral("szgl"), QStringLiteral("  收支管理  处于工作状态"), true,
              [this] { return new Tszgl(m_context); });
}

void TMainForm::FXTBClick()
{
    openChild(m_fxtb, QStringLiteral("fxtb"), QStringLiteral("  分析图表  处于工作状态"), true,
              [this] { return new Tfxtb(m_context); });
}

void TMainForm::XTWHClick()
{
    openChild(m_xtwh, QStringLiteral("xtwh"), QStringLiteral("  参数配置  处于工作状态"), true,
              [this] { return new Txtwh(m_context); });
}

void TMainForm::N1Click()
{
    openChild(m_aboutbox, QStringLiteral("aboutbox"), QStringLiteral("  关于说明  处于工作状态"),
              false, [] { return new TAboutBox; });
}

void TMainForm::app_closeClick()
{
    QCoreApplication::quit();
}

void TMainForm::Timer1Timer()
{
    setWindowTitle(clockCaption(QDateTime::currentDateTime()));
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    event->accept();
    QCoreApplication::quit();
}
