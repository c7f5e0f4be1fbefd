#pragma once

#include <QtGlobal>
#include <exception>
#include <functional>

// Long work reports how far it is (total 0 when unknown) and stops as soon as
// the callback returns false. An empty callback lets the work run to its end.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// Thrown by work that the user stopped. It is no failure: the handler guard
// lets it pass without a message, and the work has left nothing behind.
class Cancelled final : public std::exception
{
public:
    const char* what() const noexcept override { return "cancelled"; }
};

// Reports progress; throws Cancelled when the callback says stop.
inline void reportProgress(const Progress& progress, qint64 done, qint64 total)
{
    if (progress && !progress(done, total))
        throw Cancelled();
}
