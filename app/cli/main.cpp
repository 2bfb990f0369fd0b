// zorbel-cli: the headless front end for scripts and automation.
#include <unistd.h>

#include <iostream>

#include "cli.h"
#include "cli_options.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    int status = zorbel::cli::RunCli(args, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
    // A script that redirects the printed setup into a file must learn when
    // the disk refused it.
    if (!std::cout.flush()) {
        std::cerr << "zorbel-cli: cannot write to standard output\n";
        if (status == zorbel::cli::kExitOk) status = zorbel::cli::kExitFailed;
    }
    return status;
}
