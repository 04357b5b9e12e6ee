#include "support/process.h"

#include <csignal>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace testsupport {

std::map<std::string, std::string> CurrentEnvironment() {
    std::map<std::string, std::string> env;
    for (char **e = environ; *e; ++e) {
        std::string s = *e;
        std::size_t eq = s.find('=');
        if (eq != std::string::npos) env[s.substr(0, eq)] = s.substr(eq + 1);
    }
    return env;
}

pid_t StartProcess(const std::string &program, std::vector<std::string> args,
                   const std::map<std::string, std::string> &env, const std::string &folder) {
    std::vector<std::string> envText;
    for (const auto &[k, v] : env)
        envText.push_back(k + "=" + v);
    std::vector<char *> envp;
    for (auto &s : envText)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    args.insert(args.begin(), program);
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(126);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

bool WaitForExit(pid_t pid, std::chrono::steady_clock::duration limit, int *status) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (waitpid(pid, status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, status, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

std::vector<std::vector<std::string>> DriverLogEntries(const std::string &text) {
    std::vector<std::vector<std::string>> entries;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream f(line);
        for (std::string field; std::getline(f, field, '\t');)
            fields.push_back(field);
        entries.push_back(fields);
    }
    return entries;
}

} // namespace testsupport
