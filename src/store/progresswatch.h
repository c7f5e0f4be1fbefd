#pragma once

#include "store/progress.h"

#include <functional>

struct sqlite3;

// Runs work, statements on the engine's connection db, telling progress now and
// then while they run (done and total 0: the engine does not know how far it
// is). When progress says stop, the running statement is interrupted and
// Cancelled is thrown in place of its failure. Without progress, work just runs.
void watchProgress(sqlite3* db, const Progress& progress, const std::function<void()>& work);
