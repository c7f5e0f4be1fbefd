#pragma once

#include "store/messages.h"

// The real messages service: modal message boxes captioned with the
// application title.
class BoxMessages final : public Messages
{
public:
    void info(const QString& text, const QString& detail = QString()) override;
    bool ask(const QString& text) override;
    void error(const QString& text) override;
};
