#pragma once

#include "engine/commandcontext.h"
#include "engine/linecheck.h"

// Every command of the script language, grouped by the source file that holds it. Each one
// receives the split line and the running interpreter's context; the dispatch table
// (engine/dispatchtable.cpp) says which command word runs which.

// Control flow (cmd_flow.cpp)
LineOutcome cmdRepeat(CommandContext &ctx, const ScriptLine &line); // 执行
LineOutcome cmdStop(CommandContext &ctx, const ScriptLine &line); // 截止
LineOutcome cmdClipboardCondition(CommandContext &ctx, const ScriptLine &line); // 已复制
LineOutcome cmdLoop(CommandContext &ctx, const ScriptLine &line); // 循环…
LineOutcome cmdRefresh(CommandContext &ctx, const ScriptLine &line); // 刷新
LineOutcome cmdJumpTo(CommandContext &ctx, const ScriptLine &line); // 跳到
LineOutcome cmdJumpForward(CommandContext &ctx, const ScriptLine &line); // 跳加
LineOutcome cmdJumpBack(CommandContext &ctx, const ScriptLine &line); // 跳减

// Comparison (cmd_compare.cpp)
LineOutcome cmdCompare(CommandContext &ctx, const ScriptLine &line); // 对比

// Variables and the clipboard (cmd_variables.cpp)
LineOutcome cmdCopy(CommandContext &ctx, const ScriptLine &line); // 复制
LineOutcome cmdStringVariable(CommandContext &ctx, const ScriptLine &line); // 串n
LineOutcome cmdNumberVariable(CommandContext &ctx, const ScriptLine &line); // 变n

// Input (cmd_input.cpp)
LineOutcome cmdMouse(CommandContext &ctx, const ScriptLine &line); // 鼠标
LineOutcome cmdKeyboard(CommandContext &ctx, const ScriptLine &line); // 键盘
LineOutcome cmdKeyDown(CommandContext &ctx, const ScriptLine &line); // 按下
LineOutcome cmdKeyUp(CommandContext &ctx, const ScriptLine &line); // 抬起
LineOutcome cmdPaste(CommandContext &ctx, const ScriptLine &line); // 粘贴

// Time (cmd_time.cpp)
LineOutcome cmdDelay(CommandContext &ctx, const ScriptLine &line); // 延时
LineOutcome cmdWaitForTime(CommandContext &ctx, const ScriptLine &line); // 时间
LineOutcome cmdDate(CommandContext &ctx, const ScriptLine &line); // 日期

// System, files and folders (cmd_system.cpp)
LineOutcome cmdShutdown(CommandContext &ctx, const ScriptLine &line); // 关机
LineOutcome cmdOpen(CommandContext &ctx, const ScriptLine &line); // 打开
LineOutcome cmdFolder(CommandContext &ctx, const ScriptLine &line); // 文件夹
LineOutcome cmdShell(CommandContext &ctx, const ScriptLine &line); // cmd
LineOutcome cmdProcess(CommandContext &ctx, const ScriptLine &line); // 进程
LineOutcome cmdFile(CommandContext &ctx, const ScriptLine &line); // 文件
LineOutcome cmdRename(CommandContext &ctx, const ScriptLine &line); // 改名

// CSV (cmd_csv.cpp)
LineOutcome cmdSaveCsv(CommandContext &ctx, const ScriptLine &line); // 存csv
LineOutcome cmdLookupCsv(CommandContext &ctx, const ScriptLine &line); // 查csv

// Images (cmd_image.cpp)
LineOutcome cmdRecognise(CommandContext &ctx, const ScriptLine &line); // 识别
LineOutcome cmdCapture(CommandContext &ctx, const ScriptLine &line); // 截图
LineOutcome cmdPicture(CommandContext &ctx, const ScriptLine &line); // 图片

// The checks: each reads a line with its command's own parsing, without running it. Commands
// with nothing to check have none.
void checkSourceOnly(LineCheck &check, const ScriptLine &line); // the source rule alone
void checkClipboardCondition(LineCheck &check, const ScriptLine &line);
void checkLineJump(LineCheck &check, const ScriptLine &line); // 跳到, 刷新
void checkJumpForward(LineCheck &check, const ScriptLine &line);
void checkJumpBack(LineCheck &check, const ScriptLine &line);
void checkCompare(LineCheck &check, const ScriptLine &line);
void checkCopy(LineCheck &check, const ScriptLine &line);
void checkVariableCommand(LineCheck &check, const ScriptLine &line); // 串n, 变n
void checkMouse(LineCheck &check, const ScriptLine &line);
void checkKeyboard(LineCheck &check, const ScriptLine &line);
void checkSingleKey(LineCheck &check, const ScriptLine &line); // 按下, 抬起
void checkDelay(LineCheck &check, const ScriptLine &line);
void checkWaitForTime(LineCheck &check, const ScriptLine &line);
void checkFolder(LineCheck &check, const ScriptLine &line);
void checkFile(LineCheck &check, const ScriptLine &line);
void checkRename(LineCheck &check, const ScriptLine &line);
void checkSaveCsv(LineCheck &check, const ScriptLine &line);
void checkLookupCsv(LineCheck &check, const ScriptLine &line);
void checkRecognise(LineCheck &check, const ScriptLine &line);
void checkCapture(LineCheck &check, const ScriptLine &line);
void checkPicture(LineCheck &check, const ScriptLine &line);
