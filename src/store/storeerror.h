#pragma once

#include <QString>
#include <stdexcept>

// The one way a failure travels: a statement, a connection or a file that
// failed, with the text to show and, for the engine's failures, its extended
// result code (0 for failures that did not come from the engine).
class StoreError : public std::runtime_error
{
public:
    explicit StoreError(const QString& message, int code = 0)
        : std::runtime_error(message.toStdString()), m_message(message), m_code(code)
    {}
    const QString& message() const noexcept { return m_message; }
    int code() const noexcept { return m_code; }

private:
    QString m_message;
    int m_code;
};
