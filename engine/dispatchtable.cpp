#include "engine/dispatchtable.h"

#include "engine/commands.h"
#include "engine/linepatterns.h"

namespace {

CommandRow row(MatchRule match, const char *keyword, Command command)
{
    return CommandRow {match, QString::fromUtf8(keyword), command};
}

CommandRow word(const char *keyword, Command command)
{
    return row(MatchRule::Equals, keyword, command);
}

} // namespace

const QVector<CommandRow> &dispatchTable()
{
    static const QVector<CommandRow> table = {
        word("执行", cmdRepeat),
        word("鼠标", cmdMouse),
        word("键盘", cmdKeyboard),
        word("按下", cmdKeyDown),
        word("抬起", cmdKeyUp),
        word("粘贴", cmdPaste),
        word("延时", cmdDelay),
        word("时间", cmdWaitForTime),
        word("关机", cmdShutdown),
        word("打开", cmdOpen),
        word("文件夹", cmdFolder),
        word("cmd", cmdShell),
        word("进程", cmdProcess),
        word("截止", cmdStop),
        word("识别", cmdRecognise),
        word("复制", cmdCopy),
        word("已复制", cmdClipboardCondition),
        word("对比", cmdCompare),
        row(MatchRule::BeginsWith, "循环", cmdLoop),
        row(MatchRule::StringCommand, "", cmdStringVariable),
        row(MatchRule::NumberCommand, "", cmdNumberVariable),
        word("存csv", cmdSaveCsv),
        word("查csv", cmdLookupCsv),
        word("刷新", cmdRefresh),
        word("跳到", cmdJumpTo),
        word("跳加", cmdJumpForward),
        word("跳减", cmdJumpBack),
        word("文件", cmdFile),
        word("改名", cmdRename),
        word("日期", cmdDate),
        word("截图", cmdCapture),
        word("图片", cmdPicture),
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

Command findCommand(const QString &commandWord)
{
    for (const CommandRow &row : dispatchTable()) {
        if (matches(row, commandWord))
            return row.command;
    }
    return nullptr;
}
