#include "sim_process.h"

#include "loopback.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace zorbel::test {

namespace {

void SetError(std::string* error, const std::string& text) {
    if (error != nullptr) *error = text;
}

// Waits up to `timeout` for the child to exit; its status, or nullopt.
std::optional<int> WaitExit(pid_t pid, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return status;
        if (r < 0 && errno != EINTR) return std::nullopt;
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace

std::string BinDir() {
    if (const char* dir = std::getenv("ZORBEL_BIN_DIR"); dir != nullptr && *dir != '\0') return dir;
    char self[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return ".";
    std::string path(self, static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/'));
}

std::unique_ptr<SimProcess> SimProcess::Start(const std::string& program, const std::vector<std::string>& args,
                                              std::string* error, std::chrono::milliseconds timeout) {
    const std::string path = program.find('/') == std::string::npos ? BinDir() + "/" + program : program;
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        SetError(error, "pipe failed");
        return nullptr;
    }
    // The child sees the write end as descriptor 3 (dup2 clears close-on-exec).
    constexpr int kChildReadyFd = 3;
    std::vector<std::string> argvText{path};
    argvText.insert(argvText.end(), args.begin(), args.end());
    argvText.push_back("--ready-fd");
    argvText.push_back(std::to_string(kChildReadyFd));
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);

    // fork and exec rather than posix_spawn: the child asks to be ended when
    // the test goes, even when it dies without stopping it (a sanitizer
    // halting it). A simulator left running holds the test's standard error,
    // and CTest waits for that to close. Only async-signal-safe calls below.
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        if (ready[1] == kChildReadyFd) {
            fcntl(kChildReadyFd, F_SETFD, 0);
        } else {
            dup2(ready[1], kChildReadyFd);
        }
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0 && devNull != STDOUT_FILENO) {
            dup2(devNull, STDOUT_FILENO);
            close(devNull);
        }
        execve(path.c_str(), argv.data(), environ);
        _exit(127);
    }
    const int forkError = pid < 0 ? errno : 0;
    close(ready[1]);
    if (pid < 0) {
        close(ready[0]);
        SetError(error, "cannot start " + path + ": " + std::strerror(forkError));
        return nullptr;
    }
    std::unique_ptr<SimProcess> process(new SimProcess(pid));

    // "ready" arrives, or EOF when the program exits first.
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (received.find("ready") == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{ready[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            close(ready[0]);
            SetError(error, path + " did not report ready in time");
            return nullptr;  // the destructor stops it
        }
        char buffer[64];
        const ssize_t n = read(ready[0], buffer, sizeof buffer);
        if (n <= 0) {
            close(ready[0]);
            const auto status = process->Stop();
            SetError(error, path + " exited before it was ready (status " +
                                (status ? std::to_string(WEXITSTATUS(*status)) : std::string("?")) + ")");
            return nullptr;
        }
        received.append(buffer, static_cast<std::size_t>(n));
    }
    close(ready[0]);
    return process;
}

SimProcess::~SimProcess() { Stop(); }

std::optional<int> SimProcess::Stop() {
    if (stopped_) return status_;
    stopped_ = true;
    kill(pid_, SIGTERM);
    status_ = WaitExit(pid_, std::chrono::seconds(5));
    if (!status_) {
        kill(pid_, SIGKILL);
        WaitExit(pid_, std::chrono::seconds(5));
    }
    return status_;
}

std::uint32_t Gensim::LanAddressValue() const { return AddressValue(lanAddress_); }

std::unique_ptr<Gensim> Gensim::Start(const GensimConfig& config, std::string* error) {
    std::unique_ptr<Gensim> sim(new Gensim());
    if (config.usb) {
        sim->dir_ = std::make_unique<TempDir>();
        sim->usbPath_ = sim->dir_->File("usb.sock");
    }
    // A taken address makes the simulator exit before "ready": try another.
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::vector<std::string> args;
        if (config.lan) {
            sim->lanAddress_ = UniqueLoopbackAddress();
            args.insert(args.end(), {"--lan", sim->lanAddress_});
        }
        if (config.usb) args.insert(args.end(), {"--usb", "unix:" + sim->usbPath_});
        args.insert(args.end(), config.extraArgs.begin(), config.extraArgs.end());
        sim->process_ = SimProcess::Start("zorbel-gensim", args, error);
        sim->args_ = std::move(args);
        if (sim->process_) return sim;
        if (!config.lan) break;
    }
    return nullptr;
}

void Gensim::Kill() {
    if (!process_) return;
    ::kill(process_->Pid(), SIGKILL);
    process_->Stop();  // reaps it
}

bool Gensim::Restart(std::string* error) {
    process_.reset();
    process_ = SimProcess::Start("zorbel-gensim", args_, error);
    return process_ != nullptr;
}

}  // namespace zorbel::test
