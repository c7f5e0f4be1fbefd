#pragma once

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
    // A plain message with one OK button.
    virtual void info(const QString& text) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool ask(const QString& text) = 0;
    // The application-wide error display: the engine's message of an uncaught failure.
    virtual void error(const QString& text) = 0;
};

// The real service: modal message boxes captioned with the application title.
class BoxMessages final : public Messages
{
public:
    void info(const QString& text) override;
    bool ask(const QString& text) override;
    void error(const QString& text) override;
};

inline const QString& applicationTitle()
{
    static const QString title = QStringLiteral("Pelmora");
    return title;
}

// Runs a handler body; a failure that the handler does not catch itself is shown
// by the error display and the program goes on.
template <typename Body> void guarded(Messages& messages, Body&& body)
{
    try {
        std::forward<Body>(body)();
    } catch (const StoreError& e) {
        messages.error(e.message());
    } catch (const std::exception& e) {
        messages.error(QString::fromLocal8Bit(e.what()));
    }
}
