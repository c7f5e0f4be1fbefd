#include "app/commandline.h"

QList<CommandLineCommand> commandLineCommands()
{
    // Each feature that offers commands adds them here, in the order the help lists them.
    return {};
}
