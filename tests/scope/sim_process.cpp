// Child process helper for the end-to-end tests (see sim_process.h).
#include "sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "zorbel/numbers.h"

extern char** environ;

namespace scopetest {

namespace {
constexpr int kReadyFd = 3;
}

std::string ProgramPath(const std::string& name) {
    if (const char* dir = std::getenv("ZORBEL_BIN_DIR"); dir && *dir) return std::string(dir) + "/" + name;
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
}

SimProcess::SimProcess(const std::string& program, std::vector<std::string> args) {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) return;
    args.insert(args.begin(), program);
    args.push_back("--ready-fd");
    args.push_back(zorbel::formatInt(kReadyFd));
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], kReadyFd);  // dup2 clears close-on-exec
    const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ready[1]);
    if (rc != 0) {
        pid_ = -1;
        ::close(ready[0]);
        return;
    }
    pollfd entry{ready[0], POLLIN, 0};
    char text[16] = {};
    if (::poll(&entry, 1, 10000) > 0)
        ready_ = ::read(ready[0], text, sizeof text - 1) > 0 && std::string(text) == "ready\n";
    ::close(ready[0]);
}

SimProcess::~SimProcess() { Stop(); }

int SimProcess::Stop() {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace scopetest
