#pragma once

class QCoreApplication;

// Loads Qt's own Chinese texts, so that the file and print dialogs, the buttons of message
// boxes and the edit boxes' context menus speak the program's language. Without the
// translation files Qt's English texts stay; returns whether they were found.
bool installQtTranslations(QCoreApplication& app);
