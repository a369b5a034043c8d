#pragma once

#include "engine/commandcontext.h"

// The command families outside the interpreter core, one source file each. Every function
// receives the split line and the running interpreter's context.

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

// System, files and CSV (cmd_system.cpp)
LineOutcome cmdShutdown(CommandContext &ctx, const ScriptLine &line); // 关机
LineOutcome cmdOpen(CommandContext &ctx, const ScriptLine &line); // 打开
LineOutcome cmdFolder(CommandContext &ctx, const ScriptLine &line); // 文件夹
LineOutcome cmdShell(CommandContext &ctx, const ScriptLine &line); // cmd
LineOutcome cmdProcess(CommandContext &ctx, const ScriptLine &line); // 进程
LineOutcome cmdSaveCsv(CommandContext &ctx, const ScriptLine &line); // 存csv
LineOutcome cmdLookupCsv(CommandContext &ctx, const ScriptLine &line); // 查csv
LineOutcome cmdFile(CommandContext &ctx, const ScriptLine &line); // 文件
LineOutcome cmdRename(CommandContext &ctx, const ScriptLine &line); // 改名

// Images (cmd_image.cpp)
LineOutcome cmdRecognise(CommandContext &ctx, const ScriptLine &line); // 识别
LineOutcome cmdCapture(CommandContext &ctx, const ScriptLine &line); // 截图
LineOutcome cmdPicture(CommandContext &ctx, const ScriptLine &line); // 图片

// For a command whose family is not part of this build yet: reports the line as an
// unknown command, exactly as a word without any row would be.
LineOutcome commandNotAvailable(CommandContext &ctx, const ScriptLine &line);
