// The commands of zorbel-cli on the program's own document and model.
#include "cli.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "cli_options.h"
#include "instrument_session.h"
#include "setting_changes.h"
#include "zorbel/model/document.h"
#include "zorbel/model/setup_file.h"

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

void PrintSetup(std::ostream& out, const DeviceSettings& settings) {
    std::string section;
    for (const SetupEntry& e : SetupFileEntries(settings)) {
        if (e.section != section) {
            section = e.section;
            out << "[" << section << "]\n";
        }
        out << e.key << "=" << e.value << "\n";
    }
    out.flush();
}

// "Load Setup" as the program does it, except that a missing file is an
// error here: a script that names a file means that file, not the defaults.
int LoadSetup(Context& c, const std::string& path) {
    struct stat st {};
    if (HasExtension(path, ".set") && ::stat(path.c_str(), &st) != 0) {
        c.messages.ShowMessage(std::string(kCannotLoadMessage) + std::strerror(errno), path);
        return kExitBadInput;
    }
    if (!c.doc.LoadSetup(path)) return kExitBadInput;
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

int Show(Context& c) {
    if (!c.options.arguments.empty()) {
        if (int status = LoadSetup(c, c.options.arguments[0])) return status;
    } else if (c.options.channel) {
        c.Settings().SetCurrentChannel(*c.options.channel);
    }
    PrintSetup(c.out, c.Settings());
    return kExitOk;
}

int Read(Context& c) {
    if (c.options.channel) c.Settings().SetCurrentChannel(*c.options.channel);
    InstrumentSession session(c.Settings(), c.options, c.err);
    if (int status = session.ReadOperation()) return status;
    PrintSetup(c.out, c.Settings());
    return kExitOk;
}

int Write(Context& c) {
    if (int status = LoadSetup(c, c.options.arguments[0])) return status;
    InstrumentSession session(c.Settings(), c.options, c.err);
    session.Settle();
    if (int status = session.WriteOperation()) return status;
    PrintSetup(c.out, c.Settings());
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
    const std::uint32_t points = c.Settings().Record(channel).arbitraryPointCount;
    if (points == 0) return c.Fail(path + ": the waveform has fewer than 16 points: nothing to download");

    DownloadProgress progress(c.err, c.progress);
    progress.Begin(channel, points);
    InstrumentSession session(c.Settings(), c.options, c.err, &progress);
    session.Settle();
    if (int status = session.ReadOperation()) return status;
    if (c.Settings().Record(channel).waveType != kWaveArbitrary) c.Settings().SetWaveType(channel, kWaveArbitrary);
    const int status = session.Download(channel, points);
    progress.End(status == kExitOk);
    return status;
}

int Convert(Context& c) {
    const std::string& in = c.options.arguments[0];
    const std::string& out = c.options.arguments[1];
    for (const std::string* path : {&in, &out})
        if (!ArbitraryKind(*path)) return c.Fail(*path + ": File is not *.arb or *.qwf");
    if (!c.doc.LoadArbitrary(*ArbitraryKind(in), in)) return kExitBadInput;
    if (!c.doc.SaveArbitrary(*ArbitraryKind(out), out)) return kExitBadInput;
    return kExitOk;
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
    case Command::Show: return Show(c);
    case Command::Read: return Read(c);
    case Command::Write: return Write(c);
    case Command::Set: return Set(c);
    case Command::Arb: return Arb(c);
    case Command::Convert: return Convert(c);
    }
    return kExitBadInput;
}

}  // namespace zorbel::cli
