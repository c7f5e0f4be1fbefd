#include "ui/boxmessages.h"

#include <QApplication>
#include <QMessageBox>

namespace {

int showBox(QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons,
            QMessageBox::StandardButton defaultButton, const QString& detail = QString())
{
    QMessageBox box(icon, applicationTitle(), text, buttons, QApplication::activeWindow());
    box.setDefaultButton(defaultButton);
    box.setDetailedText(detail);
    return box.exec();
}

} // namespace

void BoxMessages::info(const QString& text, const QString& detail)
{
    showBox(QMessageBox::NoIcon, text, QMessageBox::Ok, QMessageBox::Ok, detail);
}

bool BoxMessages::ask(const QString& text)
{
    return showBox(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
                   QMessageBox::Yes) == QMessageBox::Yes;
}

void BoxMessages::error(const QString& text)
{
    showBox(QMessageBox::Critical, text, QMessageBox::Ok, QMessageBox::Ok);
}
