// The simulator's single-threaded event loop: sockets to watch, actions to
// run later (delayed answers), and a stop descriptor (signals write to it).
#pragma once

#include <chrono>
#include <functional>
#include <map>

namespace gensim {

class EventLoop {
public:
    using Clock = std::chrono::steady_clock;

    // Calls onReadable whenever fd has data (or is closed by the peer).
    void Watch(int fd, std::function<void()> onReadable);
    void Unwatch(int fd);

    // Runs `action` after `delay`; actions due at the same time run in the
    // order they were added (the pieces of a chunked answer stay in order).
    void After(std::chrono::milliseconds delay, std::function<void()> action);

    // Serves until stopFd becomes readable.
    void Run(int stopFd);

private:
    void RunDueActions();

    std::map<int, std::function<void()>> watched_;
    std::multimap<Clock::time_point, std::function<void()>> timers_;
};

}  // namespace gensim
