#pragma once

#include "store/progress.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QString>

class QWidget;

// Long work under a progress dialog with a cancel button. The dialog appears
// only when the work goes on for more than a moment; it is window-modal, so
// that the events processed meanwhile cannot close the form whose handler is
// running, nor start a second piece of work. The work reports to progress()
// and throws Cancelled once the user has cancelled.
class ProgressDialog final
{
public:
    ProgressDialog(QWidget* parent, const QString& label);
    ~ProgressDialog();
    ProgressDialog(const ProgressDialog&) = delete;
    ProgressDialog& operator=(const ProgressDialog&) = delete;

    Progress progress();
    // What progress() does; false once cancelled.
    bool report(qint64 done, qint64 total);
    QProgressDialog* dialog() const { return m_dialog; }

private:
    QPointer<QProgressDialog> m_dialog;
    QElapsedTimer m_started;
    QElapsedTimer m_lastEvents;
};
