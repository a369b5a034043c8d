#include "app/dialogs.h"

#include <QFileDialog>

namespace dialogs {

namespace {

Responder &responder()
{
    static Responder r;
    return r;
}

} // namespace

void setResponder(Responder r)
{
    responder() = std::move(r);
}

void about(QWidget *parent, const QString &title, const QString &text)
{
    if (responder()) {
        responder()({Kind::About, title, text, {}});
        return;
    }
    QMessageBox::about(parent, title, text);
}

void information(QWidget *parent, const QString &title, const QString &text,
                 QMessageBox::StandardButtons buttons)
{
    if (responder()) {
        responder()({Kind::Information, title, text, {}});
        return;
    }
    QMessageBox::information(parent, title, text, buttons);
}

QString saveFileName(QWidget *parent, const QString &caption, const QString &folder,
                     const QString &filter)
{
    if (responder())
        return responder()({Kind::SaveFile, caption, folder, filter});
    return QFileDialog::getSaveFileName(parent, caption, folder, filter);
}

QString openFileName(QWidget *parent, const QString &caption, const QString &folder,
                     const QString &filter)
{
    if (responder())
        return responder()({Kind::OpenFile, caption, folder, filter});
    return QFileDialog::getOpenFileName(parent, caption, folder, filter);
}

} // namespace dialogs
