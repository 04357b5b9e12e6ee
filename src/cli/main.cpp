// Process entry of velorinder-cli.
#include "cli/cli.h"

#include <iostream>

int main(int argc, char *argv[]) {
    std::vector<std::string> args(argv, argv + argc);
    return RunCli(args, std::cout, std::cerr);
}
