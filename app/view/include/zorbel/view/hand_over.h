// Calls handed from any thread to the thread a QObject lives on (the
// interface thread), through a lock that ThreadSanitizer can see.
//
// A queued QMetaObject::invokeMethod with a lambda carries the lambda's
// captures through Qt's event queue, whose futex-based lock is invisible to
// TSan in Debian's uninstrumented Qt: every capture read on the receiving
// thread is then reported as a race. Here the queued call names a slot and
// carries nothing of ours; what is handed over passes through `mutex_`.
#pragma once
#include <QObject>
#include <functional>
#include <mutex>
#include <vector>

namespace zorbel {

class HandOver final : public QObject {
    Q_OBJECT

public:
    // Lives on the thread that creates it; with a parent it goes with the
    // parent, and calls still waiting go with it unrun.
    explicit HandOver(QObject* parent = nullptr) : QObject(parent) {}

    // Any thread: `call` runs on this object's thread, after the calls
    // posted before it. The caller keeps this object alive meanwhile.
    void Post(std::function<void()> call);

private slots:
    void RunPosted();

private:
    std::mutex mutex_;
    std::vector<std::function<void()>> posted_;
};

}  // namespace zorbel
