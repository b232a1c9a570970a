#include "clicommand.h"

const std::vector<CliCommand> &CliCommands()
{
    static const std::vector<CliCommand> table{PortsCommand(),   StatusCommand(), ParamsCommand(), PointsCommand(),
                                               CaptureCommand(), AlarmsCommand(), MonitorCommand()};
    return table;
}
