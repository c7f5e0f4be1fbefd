#pragma once

#include <QString>
#include <stdexcept>

// A statement or connection failure, carrying the engine's own message.
class StoreError : public std::runtime_error
{
public:
    explicit StoreError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {}
    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};
