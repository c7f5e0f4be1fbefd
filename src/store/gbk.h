#pragma once

#include <QByteArray>
#include <QString>

// Encodes text in the GBK code page; a character GBK cannot hold becomes "?".
QByteArray encodeGbk(const QString& text);

// Length of the text in GBK bytes (a Chinese character counts two).
qsizetype gbkLength(const QString& text);

// True when every character of the text has a GBK form.
bool isGbkText(const QString& text);
