#pragma once

#include <QWidget>

class Context;

class Tfxtb final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfxtb)

public:
    explicit Tfxtb(Context& context, QWidget* parent = nullptr);

private:
    Context& m_context;
};
