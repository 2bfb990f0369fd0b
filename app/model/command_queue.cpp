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

bool CommandQueue::DropThrough(std::uint16_t code) {
    std::lock_guard lock(mutex_);
    const auto last =
        std::find_if(commands_.begin(), commands_.end(), [code](const InstrumentCommand& c) { return c.code == code; });
    if (last == commands_.end()) return false;
    commands_.erase(commands_.begin(), last + 1);
    return true;
}

void CommandQueue::RemoveIf(const std::function<bool(const InstrumentCommand&)>& drop) {
    std::lock_guard lock(mutex_);
    std::erase_if(commands_, drop);
}

}  // namespace zorbel
