#include "store/messages.h"

#include <QApplication>
#include <QMessageBox>

namespace {

int showBox(QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons,
            QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, applicationTitle(), text, buttons, QApplication::activeWindow());
    box.setDefaultButton(defaultButton);
    return box.exec();
}

} // namespace

void BoxMessages::info(const QString& text)
{
    showBox(QMessageBox::NoIcon, text, QMessageBox::Ok, QMessageBox::Ok);
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
