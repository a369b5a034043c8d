#pragma once

#include <QByteArray>
#include <QString>

// The settings file beside the executable: key=value lines ended by CR LF (a bare LF, as editors
// on Linux write, is read as a line end too), in the local 8-bit encoding. Read once at start-up; every change rewrites one key at once.
namespace settings {

// The file is meant to stay below this size; larger files are still read and rewritten whole.
constexpr int bufferSize = 20480;

// Reads the whole file into target; 0, or -1 when it cannot be opened (target unchanged).
int ReadSettingsFile(QByteArray &target, const QString &path);

// The value of key in text (empty when absent, or when its line has no line end).
void ReadSetting(QByteArray &value, const QByteArray &text, const QByteArray &key);
QByteArray ReadSetting(const QByteArray &text, const QByteArray &key);

// text with the line of key replaced by key=value, or with that line put in front.
void ReplaceSettingLine(QByteArray &result, const QByteArray &text, const QByteArray &key,
                        const QByteArray &value);

// Stores key=value in the file; 0, or -1 when the file cannot be opened or replaced.
// A missing file is never created.
int WriteSetting(const QString &path, const QByteArray &key, const QByteArray &value);

// Trims spaces and tabs only (never CR or LF).
QByteArray trimBlanks(const QByteArray &text);

} // namespace settings
