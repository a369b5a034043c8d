#pragma once

#include <QFile>
#include <QFileInfo>
#include <QtTest>

// Whole-file helpers for tests that work with real files.

// Replaces the file's content; fails the running test when it cannot.
inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

// The file's bytes; empty when it is missing, a folder or unreadable.
inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}
