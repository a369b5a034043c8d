#include "app/panels/scriptfilespanel.h"

#include "app/dialogs.h"
#include "app/panels/panelsettings.h"
#include "app/processstate.h"
#include "app/scriptfiles.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

const QString kScriptFilter = QStringLiteral("*.zt");
const QString kNoticeTitle = QStringLiteral("提示:");

QComboBox *scriptList(const QObject *panel)
{
    return panels::child<QComboBox>(panel, "cmBox_LoadInstruction");
}

} // namespace

ScriptFilesPanel::ScriptFilesPanel(QWidget *parent)
    : QWidget(parent)
{
}

void ScriptFilesPanel::attach(Host &host)
{
    m_host = &host;
    QMetaObject::connectSlotsByName(this);
}

QString ScriptFilesPanel::currentScriptName() const
{
    return scriptList(this)->currentText();
}

void ScriptFilesPanel::restoreSettings()
{
    const ProcessState &process = m_host->process();
    const QString folder = process.scriptFolder();
    QDir().mkpath(folder);
    if (QFileInfo::exists(process.defaultScriptPath())) {
        scriptList(this)->addItem(QStringLiteral("Quorvel"));
        bool tooLarge = false;
        const QString text = readWholeScriptFile(process.defaultScriptPath(), &tooLarge);
        if (tooLarge)
            m_startUpNote = tooLargeScriptNote(process.defaultScriptPath());
        else
            m_host->showScript(text);
    }
    m_host->restartUndoHistory();
    QStringList names;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files);
    for (const QFileInfo &file : files) {
        if (file.suffix().compare(QLatin1String("zt"), Qt::CaseInsensitive) == 0
            && file.completeBaseName() != QLatin1String("Quorvel"))
            names << file.completeBaseName();
    }
    std::sort(names.begin(), names.end(),
        [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    scriptList(this)->addItems(names);
}

void ScriptFilesPanel::on_cmBox_LoadInstruction_activated(const QString &name)
{
    m_host->showRunHint();
    m_currentScriptPath
        = existingScriptFile(m_host->process().scriptFolder() + name + QStringLiteral(".zt"));
    if (QFileInfo::exists(m_currentScriptPath)) {
        bool tooLarge = false;
        const QString text = readWholeScriptFile(m_currentScriptPath, &tooLarge);
        if (tooLarge)
            dialogs::about(window(), kNoticeTitle, QStringLiteral("文件过大!"));
        else
            m_host->showScript(text);
    } else {
        dialogs::about(window(), kNoticeTitle, QStringLiteral("文件不存在!"));
    }
    m_host->restartUndoHistory();
}

QString ScriptFilesPanel::chooseSavePath()
{
    // The dialog adds ".zt" to a bare name before its own question about replacing a file.
    QString path = dialogs::saveFileName(window(), QStringLiteral("文件另存为"),
        m_host->process().scriptFolder(), kScriptFilter, QStringLiteral("zt"));
    if (path.isEmpty())
        return path;
    path = QDir::toNativeSeparators(path);
    // A dialog that left the name bare (a native one, without a default suffix) has not asked
    // about the file that is written now: nothing is replaced without a yes.
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".zt");
        if (QFileInfo::exists(path)
            && !dialogs::question(window(), QStringLiteral("文件另存为"),
                QStringLiteral("%1 已存在。\n要替换它吗?").arg(QFileInfo(path).fileName())))
            return QString();
    }
    return path;
}

void ScriptFilesPanel::on_pBtn_InstructionSaveAs_clicked()
{
    const QString path = chooseSavePath();
    if (path.isEmpty())
        return;
    if (!writeScriptFile(path, m_host->scriptText())) {
        dialogs::about(window(), kNoticeTitle, QStringLiteral("保存失败!"));
        return;
    }
    dialogs::about(window(), kNoticeTitle, QStringLiteral("保存成功!"));
    listIfLoadable(path);
}

void ScriptFilesPanel::listIfLoadable(const QString &path)
{
    // Listed only when the list can load it again: a script right in the script folder.
    const QFileInfo file(path);
    const bool inScriptFolder
        = QDir::cleanPath(file.absolutePath()) == QDir::cleanPath(m_host->process().scriptFolder());
    if (!inScriptFolder || file.suffix().compare(QLatin1String("zt"), Qt::CaseInsensitive) != 0)
        return;
    const QString name = file.completeBaseName();
    QComboBox *list = scriptList(this);
    if (list->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
        list->addItem(name);
}
