#pragma once

#include <QApplication>

class Messages;

// The application; a failure that escapes an event handler is shown by the
// error display instead of ending the program.
class PelmoraApplication final : public QApplication
{
    Q_OBJECT
public:
    PelmoraApplication(int& argc, char** argv);
    void setMessages(Messages* messages) { m_messages = messages; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    Messages* m_messages = nullptr;
};
