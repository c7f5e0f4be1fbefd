#include "analysis/tfxtb.h"

#include "store/context.h"

Tfxtb::Tfxtb(Context& context, QWidget* parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("fxtb"));
    setWindowTitle(QStringLiteral("分析图表"));
}
