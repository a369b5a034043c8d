#pragma once

#include "engine/checker.h"

#include <QByteArray>
#include <QString>

// The checker's report as `Quorvel --check` prints it: pure functions from a report to text, so
// the shape scripts and editors parse stays in one place and under test.
//
// Text, one prepared line per row, numbered as a run counts them, then the problems and a summary:
//      1  script.zt:1       鼠标->100,200
//      2  script.zt:3       跳舞->1
//      3  lib.zt:2 (宏)     延时->100
//   script.zt:3: 错误: 第2行: 无该命令类型
//   1 个错误, 0 个警告
namespace checkreport {

// The file a line came from as the report names it: scriptPath (the checked file as the command
// line gave it) for the script's own lines, the #insert path as written for inserted ones.
QString originFile(const preparation::LineOrigin &origin, const QString &scriptPath);

// "file:line", or the file alone when the line is not known.
QString originLabel(const preparation::LineOrigin &origin, const QString &scriptPath);

// A text safe on one row of a terminal: control characters become their visible pictures
// (a CR shows as U+240D), so a stray one cannot break or overwrite the row.
QString printable(const QString &text);

// How many terminal columns a text takes: two for the wide characters of East Asian scripts
// (Chinese, full-width forms), one for the rest. Keeps the origin column straight with Chinese
// file names and the macro mark.
int displayWidth(const QString &text);

// "脚本:3: 错误: 第2行: 无该命令类型"; a directive's problem (line 0) has no "第N行".
QString problemLine(const checker::Problem &problem, const QString &scriptPath);

// "1 个错误, 0 个警告".
QString summaryLine(const checker::Report &report);

// The whole text report, every row ending in a line feed.
QString formatText(const checker::Report &report, const QString &scriptPath);

// The report as one JSON document (UTF-8):
// {"file", "lines": [{"line", "file", "sourceLine", "rewritten", "text"}],
//  "problems": [{"severity": "error"|"warning", "line", "file", "sourceLine", "message"}],
//  "errors", "warnings"}
QByteArray formatJson(const checker::Report &report, const QString &scriptPath);

} // namespace checkreport
