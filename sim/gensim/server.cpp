// Event loop (see server.h).
#include "server.h"

#include <poll.h>

#include <cerrno>
#include <vector>

namespace gensim {

void EventLoop::Watch(int fd, std::function<void()> onReadable) { watched_[fd] = std::move(onReadable); }

void EventLoop::Unwatch(int fd) { watched_.erase(fd); }

void EventLoop::After(std::chrono::milliseconds delay, std::function<void()> action) {
    timers_.emplace(Clock::now() + delay, std::move(action));
}

void EventLoop::RunDueActions() {
    while (!timers_.empty() && timers_.begin()->first <= Clock::now()) {
        auto action = std::move(timers_.begin()->second);
        timers_.erase(timers_.begin());
        action();
    }
}

void EventLoop::Run(int stopFd) {
    for (;;) {
        RunDueActions();
        int timeoutMs = -1;
        if (!timers_.empty()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(timers_.begin()->first - Clock::now());
            timeoutMs = left.count() < 0 ? 0 : static_cast<int>(left.count());
        }
        std::vector<pollfd> fds;
        fds.push_back({stopFd, POLLIN, 0});
        for (const auto& entry : watched_) fds.push_back({entry.first, POLLIN, 0});
        const int ready = poll(fds.data(), fds.size(), timeoutMs);
        if (ready < 0 && errno != EINTR) return;
        if (ready <= 0) continue;
        if (fds[0].revents != 0) return;
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents == 0) continue;
            // The callback may unwatch itself or others: look it up afresh and copy it.
            const auto found = watched_.find(fds[i].fd);
            if (found == watched_.end()) continue;
            auto callback = found->second;
            callback();
        }
    }
}

}  // namespace gensim
