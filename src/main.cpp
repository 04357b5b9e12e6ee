// Process entry: the run-time is started, the program runs, the run-time is closed.
#include "platform/platform.h"
#include "shell/shell.h"

#include <cstdio>

int main(int argc, char *argv[]) {
    if (InitCVIRTE(argc, argv) == 0) return -1;
    // The help collections of runs that were killed go at start.
    if (!RemoveStaleHelpCollections(HelpCollectionFolder()))
        std::fprintf(stderr, "velorinder: a stale help collection in %s cannot be removed\n",
                     HelpCollectionFolder().c_str());
    // The system has already split the command line; the program ignores it.
    std::vector<std::string> args(argv, argv + argc);
    VelorinderMain(argc, args);
    CloseCVIRTE();
    return 0;
}
