// ServiceQueue: one step of the worker. Phase 1 starts the job named by the
// lowest pending job flag; phase 2 drains the queue, a whole batch per step.
#include "zorbel/model/device_settings.h"

namespace zorbel {
namespace {

// Lowest of the job flags phase 1 starts (calibration is started by the dialog).
std::uint16_t FirstStartableJob(std::uint16_t flags) {
    for (std::uint16_t bit : {kJobReadLimits, kJobReadSettings, kJobWriteSettings, kJobArbitraryDownload})
        if (flags & bit) return bit;
    return 0;
}

}  // namespace

void DeviceSettings::ServiceQueue(std::stop_token stop) {
    ApplyPendingConnection();
    if (!HoldInstrument()) return;
    ServiceStep(stop);
    // Held until the session is idle again, so that no other program's
    // commands come between those of one job.
    if (IsIdle()) instrumentLock_.Release();
}

// Work that reaches the instrument: a job, or queued commands of an online
// session that is not latched (those of a latched one are dropped unsent).
bool DeviceSettings::WantsInstrument() const {
    if (demo_ != 0) return false;
    if (jobFlags_ != 0) return true;
    return !queue_.Empty() && linkState_ == 1 && lastStatus_ == kStatusOk;
}

// False while the step must not talk to the instrument: another program holds
// it (the work waits, one attempt per step), or the wait has just run out.
bool DeviceSettings::HoldInstrument() {
    const auto now = std::chrono::steady_clock::now();
    const auto endWait = [&] {
        if (waitingSince_) waitedNs_ += std::chrono::nanoseconds(now - waitMark_).count();
        waitingSince_.reset();
    };
    if (!locksInstrument_ || !WantsInstrument() || instrumentLock_.Held()) {
        endWait();
        return true;
    }
    const std::string folder = lockFolder_.empty() ? InstrumentLockFolder() : lockFolder_;
    const std::string path = folder + "/" + InstrumentLockName(connectionType_, lanAddress_);
    // A lock file that cannot be made leaves nothing to coordinate with: go on.
    if (instrumentLock_.TryAcquire(path) != InstrumentLock::Attempt::Busy) {
        endWait();
        return true;
    }
    if (!waitingSince_) waitingSince_ = waitMark_ = now;
    waitedNs_ += std::chrono::nanoseconds(now - waitMark_).count();
    waitMark_ = now;
    if (now - *waitingSince_ >= InstrumentWait()) RefuseBusy();
    return false;
}

void DeviceSettings::RefuseBusy() {
    waitingSince_.reset();
    jobFlags_ = 0;
    queue_.Clear();
    linkState_ = 0;
    busy_ = true;
}

void DeviceSettings::ServiceStep(std::stop_token stop) {
    SessionObserver& observer = Observer();
    if (demo_ == 0) StartJobs(observer);

    const std::uint16_t front = queue_.FrontCode();
    const std::uint16_t flags = jobFlags_;
    if (flags & kJobReadLimits) {
        if (front == code::kNone || !DrainBatch(code::kReadLimitsEnd, stop)) return;
        linkState_ = lastStatus_ == kStatusOk ? 1 : 0;
        ClearJobFlag(kJobReadLimits);
    } else if (flags & kJobReadSettings) {
        if (front == code::kNone || !DrainBatch(code::kReadSettingsEnd, stop)) return;
        EndSettingsBatch(kJobReadSettings, observer);
    } else if (flags == kJobWriteSettings) {
        if (front == code::kNone || !DrainBatch(code::kWriteSettingsEnd, stop)) return;
        EndSettingsBatch(kJobWriteSettings, observer);
    } else if (flags & kJobCalibration) {
        DrainCalibration(front, observer, stop);
    } else {
        DrainNormal(front, stop);
    }
}

void DeviceSettings::ApplyPendingConnection() {
    if (!connectionPending_.exchange(false)) return;
    instrumentLock_.Release();  // it was the old link's
    api_.InitComType(connectionType_, lanAddress_);
}

void DeviceSettings::StartJobs(SessionObserver& observer) {
    const std::uint16_t flags = jobFlags_;
    if (flags == 0) {
        // Idle online: notice an instrument that has gone away.
        if (api_.DeviceConnect() == 0) {
            lastStatus_ = kStatusNoLink;
            demo_ = 1;
        }
        return;
    }
    const std::uint16_t job = FirstStartableJob(flags);
    if (job == 0) return;
    if (api_.DeviceConnect() != 1) {
        // The job is simply not done; the next idle step notices the absence.
        jobFlags_ = 0;
        jobRefused_ = true;
        return;
    }
    switch (job) {
    case kJobReadLimits:
        // A new job re-establishes the link: this is where the latch opens.
        demo_ = 0;
        lastStatus_ = kStatusOk;
        linkState_ = 1;
        QueueBatch(job);
        observer.ShowProgress(jobFlags_);
        break;
    case kJobReadSettings:
    case kJobWriteSettings:
        QueueBatch(job);
        observer.ShowProgress(jobFlags_);
        break;
    case kJobArbitraryDownload: {
        // Served for the channel whose download was started, not the one that
        // happens to be current now: switching channels mid-download must not
        // send the other channel's waveform.
        const std::uint16_t channel = downloadChannel_;
        if (linkState_ != 1) {
            // Without a link neither 0x3008 nor 0x3009 would ever run.
            ClearJobFlag(kJobArbitraryDownload);
            break;
        }
        const bool pointsLeft =
            ReadRecord(channel, [](const ChannelRecord& r) { return r.arbitrarySent < r.arbitraryLength; });
        if (pointsLeft) {
            EnqueueCommand(code::kArbSendData, channel);
            observer.ShowProgress(jobFlags_);
        } else {
            EnqueueCommand(code::kArbFinish, channel);
        }
        break;
    }
    default:
        break;
    }
}

void DeviceSettings::QueueBatch(std::uint16_t job) {
    for (std::int32_t ch = 0; ch < kChannelCount; ++ch) {
        if (job == kJobReadLimits) {
            for (std::size_t n = 0; n < kParameterCount; ++n) EnqueueCommand(ReadLimitsCode(ParameterAt(n)), ch);
        } else if (job == kJobReadSettings) {
            EnqueueCommand(code::kReadOnOff, ch);
            EnqueueCommand(code::kReadWaveType, ch);
            for (std::size_t n = 0; n < kParameterCount; ++n) EnqueueCommand(ReadParameterCode(ParameterAt(n)), ch);
        } else {
            const ChannelRecord record = Record(static_cast<std::uint16_t>(ch));
            EnqueueCommand(code::kWriteOnOff, ch, record.outputState);
            EnqueueCommand(code::kWriteWaveType, ch, record.waveType);
            for (std::size_t n = 0; n < kParameterCount; ++n)
                EnqueueCommand(WriteParameterCode(ParameterAt(n)), ch, 0, record.values[n]);
        }
    }
    if (job == kJobReadLimits) {
        EnqueueCommand(code::kReadLimitsEnd, kWholeInstrument);
    } else {
        EnqueueCommand(code::kRefresh, kWholeInstrument);
        EnqueueCommand(job == kJobReadSettings ? code::kReadSettingsEnd : code::kWriteSettingsEnd, kWholeInstrument);
    }
}

// Executes up to the end marker. False when the queue ran dry first (the
// marker was taken away) or the worker is asked to stop: the batch then ends
// at a later step.
bool DeviceSettings::DrainBatch(std::uint16_t endCode, std::stop_token stop) {
    for (;;) {
        if (stop.stop_requested()) return false;
        const InstrumentCommand command = queue_.Dequeue();
        if (command.code == endCode) return true;
        ExecuteCommand(command);
        if (command.code == code::kNone) return false;
    }
}

void DeviceSettings::EndSettingsBatch(std::uint16_t job, SessionObserver& observer) {
    linkState_ = lastStatus_ == kStatusOk ? 1 : 0;
    ClearJobFlag(job);
    observer.UpdatePanel();
    observer.RequestRefresh(kRefreshAnnotations);
}

void DeviceSettings::DrainCalibration(std::uint16_t front, SessionObserver& observer, std::stop_token stop) {
    if (api_.DeviceConnect() != 1) {
        calibrationRunState_ = kCalibrationIdle;
        return;
    }
    if (front == code::kNone) return;
    for (;;) {
        if (stop.stop_requested()) return;
        const InstrumentCommand command = queue_.Dequeue();
        if (command.code == code::kNone) return;
        if (calibrationRunState_ == kCalibrationIdle) continue;  // stopped: dropped unexecuted
        ExecuteCommand(command);
        observer.CalibrationStep(command.code);
        if (command.code == code::kCalStop) calibrationRunState_ = kCalibrationIdle;
        if (lastStatus_ != kStatusOk) {
            linkState_ = 0;
            return;
        }
        linkState_ = 1;
    }
}

void DeviceSettings::DrainNormal(std::uint16_t front, std::stop_token stop) {
    if (front == code::kNone) return;
    for (;;) {
        if (stop.stop_requested()) return;
        const InstrumentCommand command = queue_.Dequeue();
        if (command.code == code::kNone) break;
        if (command.code == code::kRefresh) continue;  // only batches refresh
        ExecuteCommand(command);
    }
    if (sync_ && linkState_ == 1 && demo_ == 0 && lastStatus_ == kStatusOk) lastStatus_ = api_.RefreshDevice();
}

}  // namespace zorbel
