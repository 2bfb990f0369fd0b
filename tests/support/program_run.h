// Running zorbel-cli as a separate process, as scripts do: its arguments,
// extra environment variables, and what it printed and returned.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace zorbel::test {

struct CliRun {
    int status = -1;  // exit status; -1 when it did not exit normally in time
    std::string out;
    std::string err;
};

// Starts BinDir()/zorbel-cli with `args` and the test's environment plus
// `env`, waits up to `timeout` (then kills it) and collects both outputs.
CliRun RunZorbelCli(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {},
                    std::chrono::milliseconds timeout = std::chrono::seconds(60));

}  // namespace zorbel::test
