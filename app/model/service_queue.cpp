// ServiceQueue: one step of the worker. Phase 1 starts the job named by the
// lowest pending job flag; phase 2 drains the queue, a whole batch per step.
#include "zorbel/model/device_settings.h"

namespace zorbel {
namespace {

// How often the idle worker asks whether the instrument is still there.
constexpr std::chrono::milliseconds kPresenceCheckPeriod{100};

// Lowest of the job flags phase 1 starts (calibration is started by the dialog).
Job FirstStartableJob(Job flags) {
    for (Job bit : {Job::ReadLimits, Job::ReadSettings, Job::WriteSettings, Job::ArbitraryDownload})
        if (Any(flags, bit)) return bit;
    return Job::None;
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

// The worker's end of a job's part. When that was the job's last part, how
// the job ended is recorded first, so that whoever sees the flags clear sees
// its outcome with them. The calibration job is ended by its dialog.
void DeviceSettings::EndJobPart(Job bits) {
    const Job left = JobFlags() & ~bits;
    if (left == Job::None) {
        if (busy_)
            RecordLastJob(JobEnd::InstrumentBusy);
        else if (jobRefused_)
            RecordLastJob(JobEnd::InstrumentAbsent);
        else if (lastStatus_ == GeneratorStatus::Ok && linkState_ == Link::Up)
            RecordLastJob(JobEnd::Succeeded);
        else
            RecordLastJob(JobEnd::Failed);
    }
    ClearJobFlag(bits);
}

// Work that reaches the instrument: a job, or queued commands of an online
// session that is not latched (those of a latched one are dropped unsent).
bool DeviceSettings::WantsInstrument() const {
    if (demo_ != 0) return false;
    if (JobFlags() != Job::None) return true;
    // A sweep keeps the instrument between its steps too.
    return (!queue_.Empty() || SweepRunning()) && Online();
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
    queue_.Clear();
    linkState_ = Link::Down;
    busy_ = true;
    EndJobPart(JobFlags());
}

void DeviceSettings::ServiceStep(std::stop_token stop) {
    SessionObserver& observer = Observer();
    if (demo_ == 0)
        StartJobs(observer);
    else if (instrumentLost_ && JobFlags() == Job::None)
        CheckPresence();  // to say when it is back

    const std::uint16_t front = queue_.FrontCode();
    const Job flags = JobFlags();
    if (Any(flags, Job::ReadLimits)) {
        if (front == code::kNone || !DrainBatch(code::kReadLimitsEnd, stop)) return;
        linkState_ = lastStatus_ == GeneratorStatus::Ok ? Link::Up : Link::Down;
        EndJobPart(Job::ReadLimits);
    } else if (Any(flags, Job::ReadSettings)) {
        if (front == code::kNone || !DrainBatch(code::kReadSettingsEnd, stop)) return;
        EndSettingsBatch(Job::ReadSettings, observer, stop);
    } else if (flags == Job::WriteSettings) {
        if (front == code::kNone || !DrainBatch(code::kWriteSettingsEnd, stop)) return;
        EndSettingsBatch(Job::WriteSettings, observer, stop);
    } else if (Any(flags, Job::Calibration)) {
        DrainCalibration(front, observer, stop);
    } else {
        ServiceSweep(stop);
        DrainNormal(queue_.FrontCode(), stop);
    }
}

void DeviceSettings::ApplyPendingConnection() {
    if (!connectionPending_.exchange(false)) return;
    instrumentLock_.Release();  // it was the old link's
    api_.InitComType(connectionType_, lanAddress_);
}

void DeviceSettings::StartJobs(SessionObserver& observer) {
    const Job flags = JobFlags();
    if (flags == Job::None) {
        CheckPresence();
        return;
    }
    const Job job = FirstStartableJob(flags);
    if (job == Job::None) return;
    if (api_.DeviceConnect() != 1) {
        // The job is simply not done; the next idle step notices the absence.
        jobRefused_ = true;
        EndJobPart(flags);
        return;
    }
    switch (job) {
    case Job::ReadLimits:
        // A new job re-establishes the link: this is where the latch opens.
        demo_ = 0;
        lastStatus_ = GeneratorStatus::Ok;
        linkState_ = Link::Up;
        QueueBatch(job);
        observer.ShowProgress(JobFlags());
        break;
    case Job::ReadSettings:
    case Job::WriteSettings:
        QueueBatch(job);
        observer.ShowProgress(JobFlags());
        break;
    case Job::ArbitraryDownload: {
        // Served for the channel whose download was started, not the one that
        // happens to be current now: switching channels mid-download must not
        // send the other channel's waveform.
        const std::uint16_t channel = downloadChannel_;
        if (linkState_ != Link::Up) {
            // Without a link neither 0x3008 nor 0x3009 would ever run.
            EndJobPart(Job::ArbitraryDownload);
            break;
        }
        const bool pointsLeft =
            ReadRecord(channel, [](const ChannelRecord& r) { return r.arbitrarySent < r.arbitraryLength; });
        if (pointsLeft) {
            EnqueueCommand(code::kArbSendData, channel);
            observer.ShowProgress(JobFlags());
        } else {
            EnqueueCommand(code::kArbFinish, channel);
        }
        break;
    }
    default:
        break;
    }
}

// Idle online: notice an instrument that has gone away; once lost, notice
// that it answers again. Ten times a second is soon enough for a person and
// keeps an idle program cheap (on USB each check opens the device). Over the
// LAN the check sees only the socket, so neither shows there.
void DeviceSettings::CheckPresence() {
    const auto now = std::chrono::steady_clock::now();
    if (now < nextPresenceCheck_) return;
    nextPresenceCheck_ = now + kPresenceCheckPeriod;
    if (api_.DeviceConnect() == 0) {
        if (demo_ == 0) {
            lastStatus_ = GeneratorStatus::NoLink;
            instrumentLost_ = true;
            demo_ = 1;
        }
        instrumentBack_ = false;
    } else if (instrumentLost_) {
        instrumentBack_ = true;
    }
}

void DeviceSettings::QueueBatch(Job job) {
    for (std::int32_t ch = 0; ch < kChannelCount; ++ch) {
        if (job == Job::ReadLimits) {
            for (std::size_t n = 0; n < kParameterCount; ++n) EnqueueCommand(ReadLimitsCode(ParameterAt(n)), ch);
        } else if (job == Job::ReadSettings) {
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
    if (job == Job::ReadLimits) {
        EnqueueCommand(code::kReadLimitsEnd, kWholeInstrument);
    } else {
        EnqueueCommand(code::kRefresh, kWholeInstrument);
        EnqueueCommand(job == Job::ReadSettings ? code::kReadSettingsEnd : code::kWriteSettingsEnd, kWholeInstrument);
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

void DeviceSettings::EndSettingsBatch(Job job, SessionObserver& observer, std::stop_token stop) {
    linkState_ = lastStatus_ == GeneratorStatus::Ok ? Link::Up : Link::Down;
    EndJobPart(job);
    // Sent: no user that is stopping the worker is waited for.
    if (!stop.stop_requested()) observer.UpdatePanel(stop);
    observer.RequestRefresh(RefreshMask::Annotations);
}

void DeviceSettings::DrainCalibration(std::uint16_t front, SessionObserver& observer, std::stop_token stop) {
    if (api_.DeviceConnect() != 1) {
        calibrationRunState_ = CalibrationRun::Idle;
        calibrationGeneratorGone_ = true;
        // Said in the status bar as for any other job that found no device:
        // the idle presence check that follows would leave the session
        // looking as if nothing had been tried yet.
        jobRefused_ = true;
        return;
    }
    // Over the LAN the connect check only sees the socket: a generator that
    // stopped answering is gone until a new job opens the latch again.
    if (lastStatus_ == GeneratorStatus::Ok) calibrationGeneratorGone_ = false;
    if (front == code::kNone) return;
    for (;;) {
        if (stop.stop_requested()) return;
        const InstrumentCommand command = queue_.Dequeue();
        if (command.code == code::kNone) return;
        if (calibrationRunState_ == CalibrationRun::Idle) continue;  // stopped: dropped unexecuted
        ExecuteCommand(command, stop);
        if (!stop.stop_requested()) observer.CalibrationStep(command.code, stop);
        if (command.code == code::kCalStop) calibrationRunState_ = CalibrationRun::Idle;
        if (lastStatus_ != GeneratorStatus::Ok) {
            linkState_ = Link::Down;
            // No answer or no link, unlike a refused value: the generator has
            // gone, and the dialog closes once its run has ended.
            if (lastStatus_ != GeneratorStatus::Rejected) calibrationGeneratorGone_ = true;
            return;
        }
        linkState_ = Link::Up;
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
    if (sync_ && demo_ == 0 && Online()) Store(api_.RefreshDevice());
}

}  // namespace zorbel
