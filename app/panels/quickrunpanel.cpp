#include "app/panels/quickrunpanel.h"

#include "app/dialogs.h"
#include "app/panels/panelsettings.h"
#include "app/processstate.h"
#include "app/scriptfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

QuickRunPanel::QuickRunPanel(QWidget *parent)
    : QGroupBox(parent)
{
}

void QuickRunPanel::attach(Host &host)
{
    m_host = &host;
    QMetaObject::connectSlotsByName(this);
}

void QuickRunPanel::focusNameField()
{
    panels::child<QLineEdit>(this, "lEdt_RunZtFile")->setFocus(Qt::ShortcutFocusReason);
}

void QuickRunPanel::on_lEdt_RunZtFile_returnPressed()
{
    QLineEdit *field = panels::child<QLineEdit>(this, "lEdt_RunZtFile");
    // The name as typed: a trailing blank is part of the file name looked for.
    const QString path = QDir::toNativeSeparators(existingScriptFile(
        m_host->process().scriptFolder() + field->text() + QStringLiteral(".zt")));
    if (QFileInfo::exists(path)) {
        bool tooLarge = false;
        const QString text = readWholeScriptFile(path, &tooLarge);
        if (tooLarge) {
            dialogs::about(window(), QStringLiteral("注意："), QStringLiteral("文件过大!"));
        } else {
            m_host->runScript(text);
            m_host->hideWindow();
        }
    } else {
        dialogs::about(window(), QStringLiteral("注意："), QStringLiteral("文件不存在!"));
    }
    field->clear();
}
