#include "book/tszgl.h"

#include "store/context.h"

Tszgl::Tszgl(Context& context, QWidget* parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("szgl"));
    setWindowTitle(QStringLiteral("收支管理"));
}
