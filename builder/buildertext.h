#pragma once

#include <QString>

// The text the instruction-builder buttons write into the editor. Field texts go in unchanged
// (neither trimmed nor checked): the interpreter reports a bad argument when the script runs.
namespace builder {

QString delayLine(const QString &milliseconds); // 延时->ms
QString keyboardLine(const QString &keys); // 键盘->keys
QString mouseOffsetLine(const QString &x, const QString &y); // 鼠标->x*y
QString executeTimeLine(int hour, int minute); // 时间->hh:mm
QString recognitionLine(const QString &bitmapPath); // 识别->path

// "打开->" with the target and its wait: an existing file is opened as it is and given 2 s;
// anything else is a web address, "http://" added unless it names its scheme, and given 3 s.
QString openTargetText(const QString &target, bool isExistingFile);

// Dial-up with the system's Rasdial tool through the cmd command, and the wait after it.
QString adslConnectText(const QString &name, const QString &user, const QString &password);
QString adslDisconnectText(const QString &name);

// Ready-made blocks for the user to complete.
QString localLoopTemplate();
QString copyIfElseTemplate();
QString compareTemplate();
QString loopRecognitionTemplate();
QString recognitionIfElseTemplate();

} // namespace builder
