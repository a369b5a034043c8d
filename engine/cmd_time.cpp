// Timing and date commands.
#include "engine/commands.h"

// Not built yet: these lines report an unknown command until the family lands.
LineOutcome cmdDelay(CommandContext &ctx, const ScriptLine &line)
{
    return commandNotAvailable(ctx, line);
}

LineOutcome cmdWaitForTime(CommandContext &ctx, const ScriptLine &line)
{
    return commandNotAvailable(ctx, line);
}

LineOutcome cmdDate(CommandContext &ctx, const ScriptLine &line)
{
    return commandNotAvailable(ctx, line);
}

