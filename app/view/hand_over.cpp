// The mailbox behind queued calls to the interface thread.
#include "zorbel/view/hand_over.h"

#include <QPointer>
#include <utility>

namespace zorbel {

void HandOver::Post(std::function<void()> call) {
    bool first = false;
    {
        std::lock_guard lock(mutex_);
        first = posted_.empty();
        posted_.push_back(std::move(call));
    }
    // One queued call empties the mailbox: later posts before it runs ride
    // along. Named by its slot so that the queued event holds nothing of ours.
    if (first) QMetaObject::invokeMethod(this, "RunPosted", Qt::QueuedConnection);
}

void HandOver::RunPosted() {
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard lock(mutex_);
        calls.swap(posted_);
    }
    // A call may delete this object (closing the window): the rest go unrun,
    // as queued calls to a deleted receiver do.
    const QPointer<HandOver> alive(this);
    for (auto& call : calls) {
        if (!alive) return;
        call();
    }
}

}  // namespace zorbel
