#pragma once

#include "xvfbsession.h"

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// The built program as end-to-end tests run it: a copy in a program folder of its own, beside an
// empty Quorvel.qcf, started on a private Xvfb. The copy's file name ("Quorvel-e2e-<pid>-<n>")
// belongs to this test process alone: the single-instance rule ends other instances by that
// name, so it only ever ends copies this test made. Everything started through a copy is stopped
// when the copy goes, before its folder is removed.
class ProgramCopy
{
public:
    // A session for end-to-end tests, started once every tool it and the test need (`tools`)
    // is installed and every file the test needs (the built program, helpers) exists; null
    // otherwise, with the reason in *why.
    static std::unique_ptr<XvfbSession> startSession(const XvfbSession::Options &options,
        const QStringList &tools, const QStringList &files, QString *why);

    // The copy of `binary` in a new temporary folder, or in `programFolder` (made if missing,
    // left in place afterwards) when one is given.
    ProgramCopy(
        XvfbSession &session, const QString &binary, const QString &programFolder = QString());
    ~ProgramCopy();
    ProgramCopy(const ProgramCopy &) = delete;
    ProgramCopy &operator=(const ProgramCopy &) = delete;

    bool isValid() const { return m_error.isEmpty(); }
    QString errorString() const { return m_error; }
    QString path() const { return m_path; } // the copy
    QString folder() const { return m_folder; } // the program folder
    // A file in the program folder; an absolute name stays as it is.
    QString filePath(const QString &name) const;

    // Replaces a file's text (a script, the settings; missing folders are made) with `text` as
    // the program reads it: in UTF-8, the local 8-bit encoding of the locales the tests give it
    // (C.UTF-8; and C, under which it reads UTF-8 as well). The file's path; empty when it could not be written.
    QString writeText(const QString &name, const QString &text) const;

    // Starts the copy in its folder on the session, with the session's environment unless
    // another one is given.
    QProcess *launch(const QStringList &arguments,
        const QProcessEnvironment &environment = QProcessEnvironment());
    // Starts another program on the session (a viewer, a target window), stopped with the copy.
    QProcess *startOther(const QString &program, const QStringList &arguments);
    // Everything started through this copy, in order.
    QList<QProcess *> started() const { return m_started; }

private:
    XvfbSession &m_session;
    std::unique_ptr<QTemporaryDir> m_dir; // when the folder is this copy's own
    QString m_folder;
    QString m_path;
    QString m_error;
    QList<QProcess *> m_started;
};
