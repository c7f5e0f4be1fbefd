#include "app/pelmoraapplication.h"

#include "store/messages.h"

PelmoraApplication::PelmoraApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool PelmoraApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const StoreError& e) {
        if (m_messages)
            m_messages->error(e.message());
    } catch (const std::exception& e) {
        if (m_messages)
            m_messages->error(QString::fromLocal8Bit(e.what()));
    }
    return false;
}
