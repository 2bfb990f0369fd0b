// The commands of zorbel-cli on the program's own document and model.
#include "cli.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "cli_options.h"
#include "instrument_session.h"
#include "report_command.h"
#include "setting_changes.h"
#include "zorbel/atomic_file.h"
#include "zorbel/model/document.h"
#include "zorbel/model/setup_file.h"
#include "zorbel/model/sweep.h"
#include "zorbel/model/waveform_import.h"
#include "zorbel/numbers.h"

namespace zorbel::cli {
namespace {

// The document's messages, one line each on standard error.
class ErrorLines final : public DocumentMessages {
public:
    explicit ErrorLines(std::ostream& err) : err_(err) {}
    void ShowMessage(const std::string& text, const std::string& path) override {
        err_ << "zorbel-cli: " << path << ": " << text << "\n";
    }
    void ShowWarning(const std::string& text, const std::string& path) override {
        err_ << "zorbel-cli: " << path << ": warning: " << text << "\n";
    }

private:
    std::ostream& err_;
};

struct Context {
    const Options& options;
    std::ostream& out;
    std::ostream& err;
    bool progress;
    CZorbelDoc& doc;
    ErrorLines& messages;

    DeviceSettings& Settings() { return doc.GetDeviceSettings(); }
    int Fail(const std::string& text, int status = kExitBadInput) {
        err << "zorbel-cli: " << text << "\n";
        return status;
    }
};

std::string SetupText(const DeviceSettings& settings) {
    std::string text, section;
    for (const SetupEntry& e : SetupFileEntries(settings)) {
        if (e.section != section) {
            section = e.section;
            text += "[" + section + "]\n";
        }
        text += e.key + "=" + e.value + "\n";
    }
    return text;
}

// The settings in setup-file form on standard output, or with -o into a file
// that is replaced as a whole or not at all.
int PrintSetup(Context& c) {
    const std::string text = SetupText(c.Settings());
    if (!c.options.output) {
        c.out << text << std::flush;
        return kExitOk;
    }
    const std::string& path = *c.options.output;
    AtomicFile file;
    if (!file.Create(path) || !file.Write(text) || !file.Commit()) {
        c.messages.ShowMessage(FileTextOf(FileText::CannotSave, {file.Error()}), path);
        return kExitFailed;
    }
    return kExitOk;
}

// "Load Setup" as the program does it, except that a missing file is an
// error here: a script that names a file means that file, not the defaults.
int LoadSetup(Context& c, const std::string& path) {
    struct stat st {};
    if (HasExtension(path, ".set") && ::stat(path.c_str(), &st) != 0) {
        c.messages.ShowMessage(FileTextOf(FileText::CannotLoad, {std::strerror(errno)}), path);
        return kExitBadInput;
    }
    if (!c.doc.LoadSetup(path)) return kExitBadInput;
    if (const auto warning = SetupSectionsWarning(c.Settings(), path)) c.messages.ShowWarning(*warning, path);
    // The command line names the channel after the file.
    if (c.options.channel) c.Settings().SetCurrentChannel(*c.options.channel);
    return kExitOk;
}

// Kind of an arbitrary file by its extension: 0 .arb, 1 .qwf.
std::optional<std::uint16_t> ArbitraryKind(const std::string& path) {
    if (HasExtension(path, ".arb")) return kArbitraryDataFile;
    if (HasExtension(path, ".qwf")) return kArbitraryExchangeFile;
    return std::nullopt;
}

// Without copying the samples, which may be millions.
std::uint32_t PointCount(Context& c, std::uint16_t channel) {
    return c.Settings().ReadRecord(channel, [](const ChannelRecord& r) { return r.arbitraryPointCount; });
}

int Show(Context& c) {
    if (!c.options.arguments.empty()) {
        if (int status = LoadSetup(c, c.options.arguments[0])) return status;
    } else if (c.options.channel) {
        c.Settings().SetCurrentChannel(*c.options.channel);
    }
    return PrintSetup(c);
}

int Read(Context& c) {
    if (c.options.channel) c.Settings().SetCurrentChannel(*c.options.channel);
    InstrumentSession session(c.Settings(), c.options, c.err);
    if (int status = session.ReadOperation()) return status;
    return PrintSetup(c);
}

int Write(Context& c) {
    const std::string& path = c.options.arguments[0];
    if (int status = LoadSetup(c, path)) return status;
    InstrumentSession session(c.Settings(), c.options, c.err);
    session.Settle();
    // Every value against the instrument's own limits before any is sent:
    // otherwise the instrument refuses one halfway through the file, after
    // the values before it have changed its outputs.
    if (int status = session.ReadLimits()) return status;
    const std::string refused = CheckSetupLimits(c.Settings());
    if (!refused.empty()) return c.Fail(path + ": " + refused);
    // The limits just read are the ones checked: reading them again would
    // cost 40 exchanges.
    if (int status = session.WriteSettings()) return status;
    c.out << SetupText(c.Settings()) << std::flush;
    return kExitOk;
}

int Set(Context& c) {
    // Every argument is understood before the instrument is touched.
    const ParsedChanges parsed = ParseSettingChanges(c.options.arguments, c.Settings());
    if (!parsed.error.empty()) return c.Fail(parsed.error);
    const std::uint16_t channel = c.options.channel.value_or(0);
    c.Settings().SetCurrentChannel(channel);

    InstrumentSession session(c.Settings(), c.options, c.err);
    if (int status = session.ReadOperation()) return status;
    // The instrument's own limits, as the pages check against them.
    const std::string refused = CheckLimits(parsed.changes, channel, c.Settings().CopyLimits(channel));
    if (!refused.empty()) return c.Fail(refused);
    ApplySettingChanges(parsed.changes, channel, c.Settings());
    return session.Drain();
}

int Arb(Context& c) {
    const std::string& path = c.options.arguments[0];
    const auto kind = ArbitraryKind(path);
    if (!kind) return c.Fail(path + ": File is not *.arb or *.qwf");
    const std::uint16_t channel = c.options.channel.value_or(0);
    c.Settings().SetCurrentChannel(channel);
    // Loaded first, so that a refused file never reaches the instrument.
    if (!c.doc.LoadArbitrary(*kind, path)) return kExitBadInput;
    const std::uint32_t points = PointCount(c, channel);
    if (points == 0) return c.Fail(path + ": the waveform has fewer than 16 points: nothing to download");

    DownloadProgress progress(c.err, c.progress);
    progress.Begin(channel, points);
    InstrumentSession session(c.Settings(), c.options, c.err, &progress);
    session.Settle();
    if (int status = session.ReadOperation()) return status;
    const std::uint16_t waveType = c.Settings().ReadRecord(channel, [](const ChannelRecord& r) { return r.waveType; });
    if (waveType != kWaveArbitrary) c.Settings().SetWaveType(channel, kWaveArbitrary);
    const int status = session.Download(channel, points);
    progress.End(status == kExitOk);
    return status;
}

int Convert(Context& c) {
    const std::string& in = c.options.arguments[0];
    const std::string& out = c.options.arguments[1];
    // Sound files and tables come in as Import Data takes them, scaled to the
    // built-in limits (no instrument is asked for its own).
    const bool imported = !ArbitraryKind(in) && ImportKindOf(in) != ImportKind::None;
    if (!imported && !ArbitraryKind(in))
        return c.Fail(in +
                      ": File is not *.arb, *.qwf, a sound file (*.wav *.flac *.aif *.aiff) or a table (*.csv *.txt)");
    if (!ArbitraryKind(out)) return c.Fail(out + ": File is not *.arb or *.qwf");
    if (!(imported ? c.doc.ImportData(in) : c.doc.LoadArbitrary(*ArbitraryKind(in), in))) return kExitBadInput;
    // As arb: below 16 points no sample is valid, and the output would hold none.
    if (PointCount(c, c.Settings().CurrentChannel()) == 0)
        return c.Fail(in + ": the waveform has fewer than 16 points: nothing to convert");
    if (!c.doc.SaveArbitrary(*ArbitraryKind(out), out)) return kExitBadInput;
    return kExitOk;
}

// The printed page of a setup file's channel, for a lab's records.
int Report(Context& c) {
    const std::string& out = c.options.arguments[1];
    if (int status = LoadSetup(c, c.options.arguments[0])) return status;
    std::string error;
    if (!WriteReport(c.Settings(), c.Settings().CurrentChannel(), out, &error)) {
        c.messages.ShowMessage(FileTextOf(FileText::CannotSave, {error}), out);
        return kExitFailed;
    }
    return kExitOk;
}

int Sweep(Context& c) {
    std::string error;
    const std::optional<SweepPlan> plan = SweepPlanOf(c.options, c.Settings(), error);
    if (!plan) return c.Fail(error);
    SweepProblem problem = SweepProblem::None;
    std::optional<SweepSteps> steps = SweepSteps::Of(*plan, &problem);
    if (!steps) return c.Fail(std::string("sweep: ") + SweepProblemText(problem));
    const std::uint16_t channel = c.options.channel.value_or(0);
    c.Settings().SetCurrentChannel(channel);

    InstrumentSession session(c.Settings(), c.options, c.err);
    if (int status = session.ReadOperation()) return status;
    if (auto message = SweepLimitsMessage(*plan, channel, c.Settings().CopyLimits(channel))) return c.Fail(*message);
    if (!c.Settings().StartSweep(channel, *plan, std::move(*steps)))
        return c.Fail("the instrument went offline before the sweep", kExitFailed);
    const std::shared_ptr<SweepRun> run = c.Settings().Sweep();
    bool shown = false;
    const int status = session.Sweep(*run, [&](const SweepRun::Progress& p) {
        if (!c.progress) return;
        c.err << "\rSweep CH" << FormatInt(channel + 1) << ": " << SweepValueText(plan->parameter, p.value) << ", step "
              << FormatInt(static_cast<long long>(p.written)) << " of " << FormatInt(static_cast<long long>(p.total))
              << "    " << std::flush;
        shown = true;
    });
    if (shown) c.err << "\n";
    return status;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress) {
    const ParsedCommandLine parsed = ParseCommandLine(args);
    if (!parsed.options) {
        err << "zorbel-cli: " << parsed.error << " (see zorbel-cli --help)\n";
        return kExitBadInput;
    }
    const Options& options = *parsed.options;
    if (options.help) {
        out << HelpText();
        return kExitOk;
    }
    CZorbelDoc doc;
    ErrorLines messages(err);
    doc.SetMessages(&messages);
    Context c{options, out, err, progress, doc, messages};
    switch (options.command) {
    case Command::Show:
        return Show(c);
    case Command::Read:
        return Read(c);
    case Command::Write:
        return Write(c);
    case Command::Set:
        return Set(c);
    case Command::Arb:
        return Arb(c);
    case Command::Convert:
        return Convert(c);
    case Command::Report:
        return Report(c);
    case Command::Sweep:
        return Sweep(c);
    }
    return kExitBadInput;
}

}  // namespace zorbel::cli
