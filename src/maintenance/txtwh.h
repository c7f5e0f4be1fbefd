#pragma once

#include <QWidget>

class Context;

class Txtwh final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Txtwh)

public:
    explicit Txtwh(Context& context, QWidget* parent = nullptr);

private:
    Context& m_context;
};
