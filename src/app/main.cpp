#include "app/commandline.h"
#include "app/mainform.h"
#include "app/pelmoraapplication.h"
#include "app/taboutbox.h"
#include "app/tform6.h"
#include "ui/boxmessages.h"
#include "ui/qttranslations.h"

#include <QIcon>

int main(int argc, char** argv)
{
    if (const std::optional<int> status = runCommandLine(argc, argv))
        return *status;

    PelmoraApplication app(argc, argv);
    QApplication::setApplicationName(applicationTitle());
    QApplication::setApplicationVersion(QStringLiteral(PELMORA_VERSION));
    // Lets the desktop match the windows to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.pelmora.Pelmora"));
    QApplication::setWindowIcon(QIcon(programIcon(64)));
    installQtTranslations(app);
    // The main window is shown by the login dialog only; closing the dialog ends the run.
    QApplication::setQuitOnLastWindowClosed(false);

    BoxMessages messages;
    app.setMessages(&messages);

    TMainForm mainForm(messages);
    mainForm.hide();
    TForm6 login(mainForm, messages);
    login.show();
    return app.exec();
}
