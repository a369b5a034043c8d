#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// The one seam through which the program asks the user: message boxes and file dialogs.
// Tests install a responder that records the question and answers it instead of a person.
namespace dialogs {

enum class Kind { About, Information, SaveFile, OpenFile };

struct Question
{
    Kind kind;
    QString title; // caption of the box or dialog
    QString text; // message, or the starting folder of a file dialog
    QString filter; // file dialogs only
};

// Returns the answer: a chosen path for file dialogs (empty for cancel), ignored otherwise.
using Responder = std::function<QString(const Question &)>;

// Installs a responder (tests); an empty one restores the real dialogs.
void setResponder(Responder responder);

void about(QWidget *parent, const QString &title, const QString &text);
void information(QWidget *parent, const QString &title, const QString &text,
                 QMessageBox::StandardButtons buttons = QMessageBox::Ok);
QString saveFileName(QWidget *parent, const QString &caption, const QString &folder,
                     const QString &filter);
QString openFileName(QWidget *parent, const QString &caption, const QString &folder,
                     const QString &filter);

} // namespace dialogs
