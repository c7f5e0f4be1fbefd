#pragma once

#include "store/entrykind.h"

#include <QString>

// The categories of a kind in code order, as the entry lists and the
// maintenance window read them.
QString categoryListSql(EntryKind kind);
