// zorbel-cli as a function, so that tests can run it in-process: the
// command line without the program name, standard output and error, and
// whether a progress line may be drawn (standard error is a terminal).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zorbel::cli {

// Returns the exit status (cli_options.h).
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress);

}  // namespace zorbel::cli
