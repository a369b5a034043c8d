#pragma once

// A real main window in a temporary program folder, with the dialogs answered by the test.
#include "app/dialogs.h"
#include "app/mainwindow.h"
#include "fakeplatform.h"
#include "testfiles.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextEdit>

#include <functional>
#include <memory>

struct TestWindow
{
    QTemporaryDir dir;
    FakePlatform platform;
    std::unique_ptr<MainWindow> window;
    QStringList questions; // "title|text" of every dialog asked
    QStringList answers; // what the file dialogs answer, in turn (empty: cancel)

    // scripts: file names in ZtFiles with their bytes.
    // adjust: changes to the start-up state (an argument, the executable's path) before the
    // window is made.
    explicit TestWindow(const QByteArray &settings = {},
        const QMap<QString, QByteArray> &scripts = {},
        const std::function<void(ProcessState &)> &adjust = {})
    {
        write(QStringLiteral("Quorvel.qcf"), settings);
        QDir().mkpath(dir.filePath(QStringLiteral("ZtFiles")));
        for (auto it = scripts.begin(); it != scripts.end(); ++it)
            write(QStringLiteral("ZtFiles/") + it.key(), it.value());
        dialogs::setResponder([this](const dialogs::Question &q) {
            questions << q.title + QLatin1Char('|') + q.text;
            return answers.isEmpty() ? QString() : answers.takeFirst();
        });
        ProcessState process;
        process.programFolder = dir.path() + QLatin1Char('/');
        process.settingsPath = process.programFolder + QStringLiteral("Quorvel.qcf");
        if (adjust)
            adjust(process);
        window = std::make_unique<MainWindow>(process, platform);
    }
    ~TestWindow()
    {
        window.reset();
        dialogs::setResponder({});
    }

    QString path(const QString &name) const { return dir.filePath(name); }
    QString scriptFolder() const { return dir.path() + QStringLiteral("/ZtFiles/"); }
    void write(const QString &name, const QByteArray &bytes) const { writeFile(dir.filePath(name), bytes); }
    QByteArray read(const QString &name) const { return readFile(dir.filePath(name)); }

    template<typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QTextEdit *editor() const { return child<QTextEdit>("tEdt_ExecuteText"); }

    // Types text as key presses carrying it, as an input method or a keyboard delivers them.
    void type(const QString &text) const
    {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(editor(), &press);
        }
    }
    // Text arriving at once, as an input method commits a word.
    void commit(const QString &text) const
    {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
        QApplication::sendEvent(editor(), &press);
    }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(editor(), &press);
    }
    void setCursor(int position, int anchor = -1) const
    {
        QTextCursor cursor = editor()->textCursor();
        cursor.setPosition(anchor < 0 ? position : anchor);
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        editor()->setTextCursor(cursor);
    }
};
