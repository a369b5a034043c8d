#include "app/dialogs.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QIcon>
#include <QSpacerItem>

namespace dialogs {

namespace {

Responder &responder()
{
    static Responder r;
    return r;
}

// A box sized to a short text alone is narrower than a window manager's title bar needs for
// its icon, buttons and the title, which then shows as "…".
constexpr int kMinimumBoxWidth = 320;

int execWide(QMessageBox &box)
{
    // QMessageBox sizes itself from its layout, which it rebuilds whenever its text or icon
    // changes: the spacer goes in last.
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(kMinimumBoxWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    return box.exec();
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
    // As QMessageBox::about: the program's icon beside the text, one OK button.
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    const QIcon icon = box.windowIcon();
    box.setIconPixmap(icon.pixmap(icon.actualSize(QSize(64, 64))));
    execWide(box);
}

void information(QWidget *parent, const QString &title, const QString &text,
                 QMessageBox::StandardButtons buttons)
{
    if (responder()) {
        responder()({Kind::Information, title, text, {}});
        return;
    }
    QMessageBox box(QMessageBox::Information, title, text, buttons, parent);
    execWide(box);
}

bool question(QWidget *parent, const QString &title, const QString &text)
{
    if (responder())
        return responder()({Kind::Question, title, text, {}}) == QLatin1String("yes");
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return execWide(box) == QMessageBox::Yes;
}

QString saveFileName(QWidget *parent, const QString &caption, const QString &folder,
                     const QString &filter, const QString &defaultSuffix)
{
    if (responder())
        return responder()({Kind::SaveFile, caption, folder, filter});
    QFileDialog dialog(parent, caption, folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString openFileName(QWidget *parent, const QString &caption, const QString &folder,
                     const QString &filter)
{
    if (responder())
        return responder()({Kind::OpenFile, caption, folder, filter});
    return QFileDialog::getOpenFileName(parent, caption, folder, filter);
}

} // namespace dialogs
