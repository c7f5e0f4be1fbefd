#include "maintenance/txtwh.h"

#include "store/context.h"

Txtwh::Txtwh(Context& context, QWidget* parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("xtwh"));
    setWindowTitle(QStringLiteral("参数配置"));
}
