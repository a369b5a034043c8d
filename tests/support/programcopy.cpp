#include "programcopy.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

int copiesMade = 0; // numbers the copies of this test process

} // namespace

std::unique_ptr<XvfbSession> ProgramCopy::startSession(const XvfbSession::Options &options,
    const QStringList &tools, const QStringList &files, QString *why)
{
    const QStringList missing = XvfbSession::missingTools(options, tools);
    if (!missing.isEmpty()) {
        *why = QStringLiteral("not installed (tools/install-deps.sh installs them): ")
            + missing.join(QStringLiteral(", "));
        return nullptr;
    }
    for (const QString &file : files) {
        if (!QFileInfo::exists(file)) {
            *why = file;
            return nullptr;
        }
    }
    auto session = std::make_unique<XvfbSession>(options);
    if (!session->isValid()) {
        *why = session->errorString();
        return nullptr;
    }
    qInfo("Xvfb on %s", qPrintable(session->display()));
    return session;
}

ProgramCopy::ProgramCopy(XvfbSession &session, const QString &binary, const QString &programFolder)
    : m_session(session)
{
    if (programFolder.isEmpty()) {
        m_dir = std::make_unique<QTemporaryDir>();
        if (!m_dir->isValid()) {
            m_error = QStringLiteral("no temporary folder");
            return;
        }
        m_folder = m_dir->path();
    } else {
        m_folder = programFolder;
        if (!QDir().mkpath(m_folder)) {
            m_error = QStringLiteral("cannot make ") + m_folder;
            return;
        }
    }
    m_path = filePath(QStringLiteral("Quorvel-e2e-%1-%2")
                          .arg(QCoreApplication::applicationPid())
                          .arg(++copiesMade));
    if (!QFile::copy(binary, m_path)) {
        m_error = QStringLiteral("cannot copy %1 to %2").arg(binary, m_path);
        return;
    }
    if (!QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        m_error = QStringLiteral("cannot make %1 executable").arg(m_path);
        return;
    }
    if (writeText(QStringLiteral("Quorvel.qcf"), QString()).isEmpty())
        m_error = QStringLiteral("cannot write the settings file");
}

ProgramCopy::~ProgramCopy()
{
    for (QProcess *process : qAsConst(m_started))
        m_session.stop(process);
}

QString ProgramCopy::filePath(const QString &name) const
{
    return QDir(m_folder).filePath(name);
}

QString ProgramCopy::writeText(const QString &name, const QString &text) const
{
    const QString path = filePath(name);
    const QByteArray bytes = text.toUtf8();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

QProcess *ProgramCopy::launch(const QStringList &arguments, const QProcessEnvironment &environment)
{
    QProcess *app = m_session.start(m_path, arguments, m_folder, environment);
    if (app)
        m_started << app;
    return app;
}

QProcess *ProgramCopy::startOther(const QString &program, const QStringList &arguments)
{
    QProcess *process = m_session.start(program, arguments);
    if (process)
        m_started << process;
    return process;
}
