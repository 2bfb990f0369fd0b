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

// The jobs CancelJob stops.
constexpr Job kCancellable = Job::ReadLimits | Job::ReadSettings | Job::WriteSettings | Job::ArbitraryDownload;

// End marker of the batch a job part queues.
std::uint16_t BatchEnd(Job part) {
    if (part == Job::ReadLimits) return code::kReadLimitsEnd;
    return part == Job::ReadSettings ? code::kReadSettingsEnd : code::kWriteSettingsEnd;
}

// Commands of a download under way (not the divider, which its setter queues too).
bool DownloadStep(const InstrumentCommand& c) {
    return c.code == code::kArbAddressLength || c.code == code::kArbData || c.code == code::kArbSendData ||
           c.code == code::kArbFinish;
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
    const Job flags = JobFlags();
    if ((flags & ~bits) == Job::None) {
        if (busy_)
            RecordLastJob(JobEnd::InstrumentBusy, flags);
        else if (jobRefused_)
            RecordLastJob(JobEnd::InstrumentAbsent, flags);
        else if (Online())
            RecordLastJob(JobEnd::Succeeded, flags);
        else
            RecordLastJob(JobEnd::Failed, flags);
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
    // A cancel that came between two steps (or between two slices of a
    // download) ends the job before anything more is started or sent.
    if (CancelPending()) {
        CancelRunningJob(observer, stop);
        return;
    }
    if (demo_ == 0)
        StartJobs(observer);
    else if (instrumentLost_ && JobFlags() == Job::None)
        CheckPresence();  // to say when it is back

    const std::uint16_t front = queue_.FrontCode();
    const Job flags = JobFlags();
    // A batch ends at its marker; a cancel between two of its commands ends
    // the job, and a queue that ran dry or a stop leaves it for a later step.
    const auto drained = [&](Job part) {
        if (front == code::kNone) return false;
        const BatchDrain drain = DrainBatch(BatchEnd(part), stop);
        if (drain == BatchDrain::Cancelled) CancelRunningJob(observer, stop);
        return drain == BatchDrain::Ended;
    };
    if (Any(flags, Job::ReadLimits)) {
        if (!drained(Job::ReadLimits)) return;
        linkState_ = Online() ? Link::Up : Link::Down;
        EndJobPart(Job::ReadLimits);
    } else if (Any(flags, Job::ReadSettings)) {
        if (!drained(Job::ReadSettings)) return;
        EndSettingsBatch(Job::ReadSettings, observer, stop);
    } else if (flags == Job::WriteSettings) {
        if (!drained(Job::WriteSettings)) return;
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
        std::lock_guard lock(jobStartMutex_);
        // A job begun meanwhile finds the absence itself and says so.
        if (JobFlags() != Job::None) return;
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

// Executes up to the end marker. Pending when the queue ran dry first (the
// marker was taken away) or the worker is asked to stop: the batch then ends
// at a later step. Cancelled when CancelJob asked, between two commands.
DeviceSettings::BatchDrain DeviceSettings::DrainBatch(std::uint16_t endCode, std::stop_token stop) {
    for (;;) {
        if (stop.stop_requested()) return BatchDrain::Pending;
        if (CancelPending()) return BatchDrain::Cancelled;
        const InstrumentCommand command = queue_.Dequeue();
        if (command.code == endCode) return BatchDrain::Ended;
        ExecuteCommand(command);
        if (command.code == code::kNone) return BatchDrain::Pending;
    }
}

bool DeviceSettings::CancelPending() const { return cancelRequested_ && Any(JobFlags(), kCancellable); }

void DeviceSettings::CancelRunningJob(SessionObserver& observer, std::stop_token stop) {
    cancelRequested_ = false;
    const Job flags = JobFlags();
    if (Any(flags, Job::ArbitraryDownload)) {
        CancelDownload(observer, stop);
        return;
    }
    const Job operation = flags & kCancellable;
    if (operation == Job::None) return;
    // The rest of the batch under way goes unsent; the session is offline,
    // as after a failed exchange, until the next Read or Write Operation.
    const Job part = FirstStartableJob(flags);
    const bool batchCut = queue_.DropThrough(BatchEnd(part));
    linkState_ = Link::Down;
    RecordLastJob(JobEnd::Cancelled, operation);
    ClearJobFlag(operation);
    // The panel shows what was read or written before the cancel.
    if (batchCut && part != Job::ReadLimits) {
        if (!stop.stop_requested()) observer.UpdatePanel(stop);
        observer.RequestRefresh(RefreshMask::Annotations);
    }
}

void DeviceSettings::CancelDownload(SessionObserver& observer, std::stop_token stop) {
    const std::uint16_t channel = downloadChannel_;
    queue_.RemoveIf([channel](const InstrumentCommand& c) {
        return DownloadStep(c) && static_cast<std::uint16_t>(c.channel) == channel;
    });
    // Points have gone out: the waveform memory holds new points up to where
    // the download stopped and old ones after, and the output window still
    // covers both. Nothing of that mixture may be played.
    if (downloadSent_ > 0 && Online()) {
        ExecuteCommand(InstrumentCommand{code::kWriteOnOff, channel, 0, 0.0});
        if (lastStatus_ == GeneratorStatus::Ok) {
            ModifyRecord(channel, [](ChannelRecord& r) { r.outputState = 0; });
            if (!stop.stop_requested()) observer.UpdatePanel(stop);
            observer.RequestRefresh(RefreshMask::Annotations);
        }
    }
    RecordLastJob(JobEnd::Cancelled, Job::ArbitraryDownload);
    ClearJobFlag(Job::ArbitraryDownload);
}

void DeviceSettings::EndSettingsBatch(Job job, SessionObserver& observer, std::stop_token stop) {
    linkState_ = Online() ? Link::Up : Link::Down;
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
        ExecuteCommand(command, stop);
    }
    if (sync_ && demo_ == 0 && Online()) Store(api_.RefreshDevice());
}

}  // namespace zorbel
