// Process entry: the run-time is started, the program runs, the run-time is closed.
#include "platform/platform.h"
#include "shell/shell.h"

int main(int argc, char *argv[]) {
    if (InitCVIRTE(argc, argv) == 0) return -1;
    // The system has already split the command line; the program ignores it.
    std::vector<std::string> args(argv, argv + argc);
    VelorinderMain(argc, args);
    CloseCVIRTE();
    return 0;
}
