// Process entry: the run-time is started, the program runs, the run-time is closed.
#include "platform/platform.h"
#include "shell/shell.h"

int main(int argc, char *argv[])
{
    if (InitCVIRTE(argc, argv) == 0)
        return -1;
    std::vector<std::string> args = SplitCommandLine(argc, argv);
    int rc = VelorinderMain(static_cast<int>(args.size()), args);
    CloseCVIRTE();
    return rc;
}
