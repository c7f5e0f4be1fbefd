#pragma once

#include <QWidget>

class Context;

class Tszgl final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tszgl)

public:
    explicit Tszgl(Context& context, QWidget* parent = nullptr);

private:
    Context& m_context;
};
