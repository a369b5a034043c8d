// System, file and CSV commands.
#include "engine/commands.h"

// Not built yet: these lines report an unknown command until the family lands.
LineOutcome cmdShutdown(CommandContext &ctx, const ScriptLine &line)
{
    return commandNotAvailable(ctx, line);
}

LineOutcome cmdOpen(CommandContext &ctx, const ScriptLine &line)
{
    return commandNotAvailable(ctx, line);
}

LineOutcome cmdFolder(CommandContext &ctx, const ScriptLine &line)
{
    return commandNotAvailable(ctx, line);
}

LineOutcome cmdShell(CommandContext &ctx, const ScriptLine &line)
{
    return commandNotAvailable(ctx, line);
}

LineOutcome cmdProcess(CommandContext &ctx, const ScriptLine &line)
{
    return commandNotAvailable(ctx, line);
}

LineOutcome cmdFile(CommandContext &ctx, const ScriptLine &line)
{
    return commandNotAvailable(ctx, line);
}

LineOutcome cmdRename(CommandContext &ctx, const ScriptLine &line)
{
    return commandNotAvailable(ctx, line);
}

