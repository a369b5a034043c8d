// Mouse and keyboard commands.
#include "engine/commands.h"

// Not built yet: these lines report an unknown command until the family lands.
LineOutcome cmdMouse(CommandContext &ctx, const ScriptLine &line)
{
    return commandNotAvailable(ctx, line);
}

LineOutcome cmdKeyboard(CommandContext &ctx, const ScriptLine &line)
{
    return commandNotAvailable(ctx, line);
}

LineOutcome cmdKeyDown(CommandContext &ctx, const ScriptLine &line)
{
    return commandNotAvailable(ctx, line);
}

LineOutcome cmdKeyUp(CommandContext &ctx, const ScriptLine &line)
{
    return commandNotAvailable(ctx, line);
}

LineOutcome cmdPaste(CommandContext &ctx, const ScriptLine &line)
{
    return commandNotAvailable(ctx, line);
}

