#include "ui/progressdialog.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace {

constexpr int kShowAfterMs = 400;
constexpr int kEventsEveryMs = 50;
constexpr int kSteps = 1000;

} // namespace

ProgressDialog::ProgressDialog(QWidget* parent, const QString& label)
    : m_dialog(new QProgressDialog(label, QStringLiteral("取消"), 0, kSteps, parent))
{
    m_dialog->setObjectName(QStringLiteral("ProgressDialog"));
    m_dialog->setWindowTitle(QStringLiteral("Pelmora"));
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    // Shown by report() once the work has gone on for a moment, not by the dialog's own guess.
    m_dialog->setMinimumDuration(24 * 3600 * 1000);
    m_started.start();
    m_lastEvents.start();
}

ProgressDialog::~ProgressDialog()
{
    delete m_dialog;
}

Progress ProgressDialog::progress()
{
    return [this](qint64 done, qint64 total) {
        return report(done, total);
    };
}

bool ProgressDialog::report(qint64 done, qint64 total)
{
    if (!m_dialog)
        return false;
    if (total > 0) {
        m_dialog->setMaximum(kSteps);
        m_dialog->setValue(
            static_cast<int>(qBound<qint64>(0, done * kSteps / total, qint64{kSteps})));
    } else {
        m_dialog->setMaximum(0); // a moving bar: the end is not known
    }
    if (!m_dialog->isVisible() && m_started.elapsed() >= kShowAfterMs)
        m_dialog->show();
    if (m_dialog->isVisible() && m_lastEvents.elapsed() >= kEventsEveryMs) {
        QCoreApplication::processEvents();
        m_lastEvents.restart();
    }
    return m_dialog && !m_dialog->wasCanceled();
}
