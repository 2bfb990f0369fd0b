// Runs zorbel-scopesim as a child process for end-to-end tests.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace scopetest {

// Path of a program built beside the tests (ZORBEL_BIN_DIR, else the folder
// of the running test).
std::string ProgramPath(const std::string& name);

class SimProcess {
public:
    // Starts the program with `args` plus "--ready-fd N" and waits up to 10 s
    // for its "ready" line; Ready() tells whether it came.
    SimProcess(const std::string& program, std::vector<std::string> args);
    ~SimProcess();  // SIGTERM, then wait
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Ready() const { return ready_; }
    // Sends SIGTERM and returns the exit status (-1 when it did not exit normally).
    int Stop();

private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

}  // namespace scopetest
