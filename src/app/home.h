#pragma once

#include <QString>
#include <QStringList>

// The working folder of `pelmora --home`: $PELMORA_HOME, else
// $XDG_DATA_HOME/pelmora, else ~/.local/share/pelmora.
QString homeFolder();

// Makes sure folder holds a book and the login picture, creating the folder
// (owner only), a fresh book and the picture where they are missing; nothing
// there is ever replaced. notes gets one line per thing created. Throws
// StoreError with the reason when the folder cannot be used.
void prepareHome(const QString& folder, QStringList& notes);
