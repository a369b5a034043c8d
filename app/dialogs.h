#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// The one seam through which the program asks the user: message boxes and file dialogs.
// Tests install a responder that records the question and answers it instead of a person.
// Message boxes are wide enough for their titles under a window manager's decorations.
namespace dialogs {

enum class Kind { About, Information, Question, SaveFile, OpenFile };

struct Question
{
    Kind kind;
    QString title; // caption of the box or dialog
    QString text; // message, or the starting folder of a file dialog
    QString filter; // file dialogs only
};

// Returns the answer: a chosen path for file dialogs (empty for cancel), "yes" to say yes to a
// question, ignored otherwise.
using Responder = std::function<QString(const Question &)>;

// Installs a responder (tests); an empty one restores the real dialogs.
void setResponder(Responder responder);

void about(QWidget *parent, const QString &title, const QString &text);
void information(QWidget *parent, const QString &title, const QString &text,
                 QMessageBox::StandardButtons buttons = QMessageBox::Ok);
// A yes/no question; true for yes.
bool question(QWidget *parent, const QString &title, const QString &text);
// The dialog adds defaultSuffix to a name typed without one before it asks whether to replace an
// existing file, so the question is asked about the file that will be written.
QString saveFileName(QWidget *parent, const QString &caption, const QString &folder,
                     const QString &filter, const QString &defaultSuffix = QString());
QString openFileName(QWidget *parent, const QString &caption, const QString &folder,
                     const QString &filter);

} // namespace dialogs
