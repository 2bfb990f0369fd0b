// zorbel-cli: the headless front end for scripts and automation.
#include <unistd.h>

#include <iostream>

#include "cli.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return zorbel::cli::RunCli(args, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
