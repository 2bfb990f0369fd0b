// Kill-during-save: a child process saves one of the program's files (setup,
// data, image, language choice, calibration report) over and over as the
// program does and is killed (SIGKILL) at a random moment, a hundred
// times per kind of file. The file on disk must always be exactly the old
// version or the new one, never a mix, a part or nothing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "sim_process.h"
#include "temp_dir.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Helper() { return zorbel::test::BinDir() + "/zorbel-save-loop"; }

// Starts the helper; `out` gets the read end of its standard output.
pid_t Spawn(const std::vector<std::string>& args, int* out) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int pipe[2] = {-1, -1};
    if (out && pipe2(pipe, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out) posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (out) {
        close(pipe[1]);
        *out = pipe[0];
    }
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return status;
}

// Waits (at most 20 s) for the helper's "R": it is about to start saving.
bool WaitUntilSaving(int fd) {
    pollfd p{fd, POLLIN, 0};
    char ready = 0;
    return poll(&p, 1, 20000) == 1 && read(fd, &ready, 1) == 1 && ready == 'R';
}

// 1 once the helper reports its first complete save (at most 20 s), else 0.
std::size_t FirstSaveDone(int fd) {
    pollfd p{fd, POLLIN, 0};
    char saved = 0;
    return poll(&p, 1, 20000) == 1 && read(fd, &saved, 1) == 1 ? 1 : 0;
}

// Saves counted from the rest of the helper's output.
std::size_t Drain(int fd) {
    std::size_t saves = 0;
    char buffer[256];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) saves += static_cast<std::size_t>(n);
    close(fd);
    return saves;
}

// How long one save takes here (sanitizer builds are several times slower):
// a helper saves for 300 ms.
std::chrono::microseconds SaveDuration(const std::string& kind, const std::string& path) {
    int out = -1;
    const pid_t pid = Spawn({Helper(), kind, path, "loop", "A"}, &out);
    if (pid <= 0) return 300ms;
    const bool started = WaitUntilSaving(out);
    std::this_thread::sleep_for(300ms);
    kill(pid, SIGKILL);
    Wait(pid);
    const std::size_t saves = started ? Drain(out) : (close(out), 0);
    return std::chrono::microseconds(300000 / (saves + 1));
}

struct Kind {
    const char* name;       // the helper's KIND
    const char* extension;  // what the document insists on
};

class KillDuringSave : public ::testing::TestWithParam<Kind> {};

TEST_P(KillDuringSave, FileIsAlwaysTheOldOrTheNewOneComplete) {
    constexpr int kRuns = 100;
    const Kind kind = GetParam();
    zorbel::test::TempDir dir;
    const std::string target = dir.File(std::string("target") + kind.extension);
    const std::string refA = dir.File(std::string("a") + kind.extension);
    const std::string refB = dir.File(std::string("b") + kind.extension);
    for (const auto& [path, version] : {std::pair{refA, "A"}, std::pair{refB, "B"}}) {
        const pid_t pid = Spawn({Helper(), kind.name, path, "once", version}, nullptr);
        ASSERT_GT(pid, 0) << Helper();
        const int status = Wait(pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "helper failed for version " << version;
    }
    const std::string a = ReadAll(refA);
    const std::string b = ReadAll(refB);
    ASSERT_FALSE(a.empty());
    ASSERT_NE(a, b);
    std::filesystem::copy_file(refA, target);

    // The seed is printed, so a failing run can be repeated.
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    // Within the first three saves' time after the helper starts saving: the
    // kill lands before the first save ends, inside a later one (writing,
    // flushing, renaming) or between two.
    const auto save = SaveDuration(kind.name, dir.File(std::string("calibration") + kind.extension));
    std::uniform_int_distribution<long> delayUs(0, 3 * save.count());
    std::size_t saves = 0;
    int sawA = 0, sawB = 0;
    for (int run = 0; run < kRuns; ++run) {
        int out = -1;
        const pid_t pid = Spawn({Helper(), kind.name, target, "loop", run % 2 ? "A" : "B"}, &out);
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(WaitUntilSaving(out)) << "run " << run << ": the helper did not start";
        // Every fourth run waits for a first complete save, so that kills land
        // among saves also when the machine is slower than measured above.
        if (run % 4 == 0) saves += FirstSaveDone(out);
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        kill(pid, SIGKILL);
        const int status = Wait(pid);
        saves += Drain(out);
        ASSERT_TRUE(WIFSIGNALED(status)) << "run " << run << ": the helper ended by itself";
        const std::string now = ReadAll(target);
        if (now == a)
            ++sawA;
        else if (now == b)
            ++sawB;
        else
            FAIL() << "run " << run << ": a torn file of " << now.size() << " bytes (versions: " << a.size() << ", "
                   << b.size() << ")";
    }
    // The kills did land among saves, not only before the first one.
    EXPECT_GT(saves, 0u);
    EXPECT_GT(sawA, 0);
    EXPECT_GT(sawB, 0);
    // A killed save leaves its temporary file behind (nobody is left to remove
    // it); it never takes the target's name.
    int leftovers = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        leftovers += entry.path().filename().string().find(".tmp") != std::string::npos;
    std::printf(
        "%s: %d kills within %ld us of the first save, %zu saves completed, file A %d times, B %d times, "
        "%d temporary files left\n",
        kind.name, kRuns, static_cast<long>(3 * save.count()), saves, sawA, sawB, leftovers);
}

INSTANTIATE_TEST_SUITE_P(Files, KillDuringSave,
                         ::testing::Values(Kind{"setup", ".set"}, Kind{"arb", ".arb"}, Kind{"qwf", ".qwf"},
                                           Kind{"image", ".bmp"}, Kind{"lan", ".set"}, Kind{"report", ".csv"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
