// The coalescing command queue.
#include "zorbel/model/command_queue.h"

#include <algorithm>

namespace zorbel {

void CommandQueue::Enqueue(const InstrumentCommand& command) {
    std::lock_guard lock(mutex_);
    // Only the first match can exist: every append already removed its twin.
    auto twin = std::find_if(commands_.begin(), commands_.end(), [&](const InstrumentCommand& c) {
        return c.code == command.code && c.channel == command.channel;
    });
    if (twin != commands_.end()) commands_.erase(twin);
    commands_.push_back(command);
}

InstrumentCommand CommandQueue::Dequeue() {
    std::lock_guard lock(mutex_);
    if (commands_.empty()) return InstrumentCommand{};
    InstrumentCommand front = commands_.front();
    commands_.pop_front();
    return front;
}

std::uint16_t CommandQueue::FrontCode() const {
    std::lock_guard lock(mutex_);
    return commands_.empty() ? code::kNone : commands_.front().code;
}

std::size_t CommandQueue::Size() const {
    std::lock_guard lock(mutex_);
    return commands_.size();
}

std::vector<InstrumentCommand> CommandQueue::Pending() const {
    std::lock_guard lock(mutex_);
    return {commands_.begin(), commands_.end()};
}

void CommandQueue::Clear() {
    std::lock_guard lock(mutex_);
    commands_.clear();
}

}  // namespace zorbel
