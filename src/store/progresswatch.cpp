#include "store/progresswatch.h"

#include "store/storeerror.h"

#include <QScopeGuard>
#include <sqlite3.h>

namespace {

struct Watch
{
    const Progress& progress;
    bool stopped = false;
};

int tick(void* data)
{
    auto* watch = static_cast<Watch*>(data);
    watch->stopped = watch->stopped || !watch->progress(0, 0);
    return watch->stopped ? 1 : 0;
}

} // namespace

void watchProgress(sqlite3* db, const Progress& progress, const std::function<void()>& work)
{
    if (!progress) {
        work();
        return;
    }
    Watch watch{progress};
    sqlite3_progress_handler(db, 100000, tick, &watch);
    const auto unwatch = qScopeGuard([db] { sqlite3_progress_handler(db, 0, nullptr, nullptr); });
    try {
        work();
    } catch (const StoreError&) {
        if (watch.stopped)
            throw Cancelled();
        throw;
    }
}
