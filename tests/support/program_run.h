// Running one of the project's programs as a separate process, as scripts
// do: its arguments, extra environment variables, and what it printed and
// returned.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace zorbel::test {

struct ProgramRun {
    int status = -1;  // exit status; -1 when it did not exit normally in time
    std::string out;
    std::string err;
};

// Starts `program` (a name in BinDir() or a path containing '/') with `args`
// and the test's environment plus `env`, standard input from /dev/null,
// waits up to `timeout` (then kills it) and collects both outputs.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env = {},
                      std::chrono::milliseconds timeout = std::chrono::seconds(60));

// zorbel-cli in BinDir().
using CliRun = ProgramRun;
inline CliRun RunZorbelCli(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {},
                           std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    return RunProgram("zorbel-cli", args, env, timeout);
}

}  // namespace zorbel::test
