// Test support: programs started as processes of their own, as a user or a
// desktop starts them, and the log their driver writes.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

// The environment of this process, name to value.
std::map<std::string, std::string> CurrentEnvironment();

// Starts program with args from folder, with env as its whole environment;
// gives its process id. The child ends with 126 when it cannot enter folder
// and 127 when the program does not start.
pid_t StartProcess(const std::string &program, std::vector<std::string> args,
                   const std::map<std::string, std::string> &env, const std::string &folder);

// Waits for the process to end and puts its status in *status; false when
// it had to be killed for taking longer than limit.
bool WaitForExit(pid_t pid, std::chrono::steady_clock::duration limit, int *status);

// The lines of a driver's log, each split at its tabs.
std::vector<std::vector<std::string>> DriverLogEntries(const std::string &text);

} // namespace testsupport
