#pragma once

#include "store/progress.h"
#include "store/storeerror.h"

#include <QString>
#include <exception>
#include <utility>

// Every message and question of the program goes through this service, so
// that tests can read the texts and script the answers.
class Messages
{
public:
    virtual ~Messages() = default;
    // A plain message with one OK button. detail: what went wrong underneath
    // (the engine's or the system's own words), shown on request below a message
    // whose text is fixed.
    virtual void info(const QString& text, const QString& detail = QString()) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool ask(const QString& text) = 0;
    // The application-wide error display: the engine's message of an uncaught failure.
    virtual void error(const QString& text) = 0;
};

inline const QString& applicationTitle()
{
    static const QString title = QStringLiteral("Pelmora");
    return title;
}

// Runs a handler body; a failure that the handler does not catch itself is shown
// by the error display and the program goes on. Work the user stopped ends
// quietly. Returns true when the body ran to its end.
template <typename Body> bool guarded(Messages& messages, Body&& body)
{
    try {
        std::forward<Body>(body)();
        return true;
    } catch (const Cancelled&) {
    } catch (const StoreError& e) {
        messages.error(e.message());
    } catch (const std::exception& e) {
        messages.error(QString::fromLocal8Bit(e.what()));
    }
    return false;
}
