// Image commands.
#include "engine/commands.h"

// Not built yet: these lines report an unknown command until the family lands.
LineOutcome cmdRecognise(CommandContext &ctx, const ScriptLine &line)
{
    return commandNotAvailable(ctx, line);
}

LineOutcome cmdCapture(CommandContext &ctx, const ScriptLine &line)
{
    return commandNotAvailable(ctx, line);
}

LineOutcome cmdPicture(CommandContext &ctx, const ScriptLine &line)
{
    return commandNotAvailable(ctx, line);
}

