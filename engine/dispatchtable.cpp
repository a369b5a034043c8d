#include "engine/dispatchtable.h"

#include "engine/commands.h"
#include "engine/linepatterns.h"

namespace {

CommandRow row(MatchRule match, const char *keyword, Command command, Check check)
{
    return CommandRow {match, QString::fromUtf8(keyword), command, check};
}

CommandRow word(const char *keyword, Command command, Check check)
{
    return row(MatchRule::Equals, keyword, command, check);
}

} // namespace

const QVector<CommandRow> &dispatchTable()
{
    static const QVector<CommandRow> table = {
        word("执行", cmdRepeat, checkSourceOnly),
        word("鼠标", cmdMouse, checkMouse),
        word("键盘", cmdKeyboard, checkKeyboard),
        word("按下", cmdKeyDown, checkSingleKey),
        word("抬起", cmdKeyUp, checkSingleKey),
        word("粘贴", cmdPaste, checkSourceOnly),
        word("延时", cmdDelay, checkDelay),
        word("时间", cmdWaitForTime, checkWaitForTime),
        word("关机", cmdShutdown, checkSourceOnly),
        word("打开", cmdOpen, checkSourceOnly),
        word("文件夹", cmdFolder, checkFolder),
        word("cmd", cmdShell, checkSourceOnly),
        word("进程", cmdProcess, nullptr),
        word("截止", cmdStop, nullptr),
        word("识别", cmdRecognise, checkRecognise),
        word("复制", cmdCopy, checkCopy),
        word("已复制", cmdClipboardCondition, checkClipboardCondition),
        word("对比", cmdCompare, checkCompare),
        row(MatchRule::BeginsWith, "循环", cmdLoop, nullptr),
        row(MatchRule::StringCommand, "", cmdStringVariable, checkVariableCommand),
        row(MatchRule::NumberCommand, "", cmdNumberVariable, checkVariableCommand),
        word("存csv", cmdSaveCsv, checkSaveCsv),
        word("查csv", cmdLookupCsv, checkLookupCsv),
        word("刷新", cmdRefresh, checkLineJump),
        word("跳到", cmdJumpTo, checkLineJump),
        word("跳加", cmdJumpForward, checkJumpForward),
        word("跳减", cmdJumpBack, checkJumpBack),
        word("文件", cmdFile, checkFile),
        word("改名", cmdRename, checkRename),
        word("日期", cmdDate, nullptr),
        word("截图", cmdCapture, checkCapture),
        word("图片", cmdPicture, checkPicture),
    };
    return table;
}

namespace {

// Runs for every row before the matching one of every line: kept inline.
inline bool matches(const CommandRow &row, const QString &commandWord)
{
    switch (row.match) {
    case MatchRule::Equals:
        return commandWord == row.keyword;
    case MatchRule::BeginsWith:
        return commandWord.startsWith(row.keyword);
    case MatchRule::StringCommand:
        return linepatterns::stringCommand(commandWord, nullptr);
    case MatchRule::NumberCommand:
        return linepatterns::numberCommand(commandWord, nullptr);
    }
    return false;
}

} // namespace

bool rowMatches(const CommandRow &row, const QString &commandWord)
{
    return matches(row, commandWord);
}

const CommandRow *findRow(const QString &commandWord)
{
    for (const CommandRow &row : dispatchTable()) {
        if (matches(row, commandWord))
            return &row;
    }
    return nullptr;
}

Command findCommand(const QString &commandWord)
{
    const CommandRow *row = findRow(commandWord);
    return row ? row->command : nullptr;
}
