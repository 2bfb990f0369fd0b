// The document's file operations: extension checks, opening the files and
// reporting failures; the formats themselves are setup_file.cpp and
// arbitrary_files.cpp.
#include "zorbel/model/document.h"

#include "zorbel/model/arbitrary_files.h"
#include "zorbel/model/setup_file.h"
#include "zorbel/model/text_file.h"
#include "zorbel/model/waveform_import.h"

namespace zorbel {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool HasExtension(std::string_view path, std::string_view extension) {
    if (path.size() < extension.size()) return false;
    const std::string_view tail = path.substr(path.size() - extension.size());
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (LowerAscii(tail[i]) != LowerAscii(extension[i])) return false;
    return true;
}

CZorbelDoc::CZorbelDoc() = default;

CZorbelDoc::CZorbelDoc(GeneratorApi& api) : settings_(api) {}

bool CZorbelDoc::Refuse(std::string_view message, const std::string& path) {
    if (messages_) messages_->ShowMessage(std::string(message), path);
    return false;
}

bool CZorbelDoc::LoadSetup(const std::string& path) {
    if (!HasExtension(path, ".set")) return Refuse(FileTextOf(FileText::NotSetupFile), path);
    if (const Result read = ReadSetupFile(settings_, path); !read)
        return Refuse(FileTextOf(FileText::CannotLoad, {read.Why()}), path);
    return true;
}

bool CZorbelDoc::SaveSetup(const std::string& path) {
    if (!HasExtension(path, ".set")) return Refuse(FileTextOf(FileText::NotSetupFile), path);
    if (const Result written = WriteSetupFile(settings_, path); !written)
        return Refuse(FileTextOf(FileText::CannotSave, {written.Why()}), path);
    return true;
}

bool CZorbelDoc::CheckArbitraryKind(std::uint16_t kind, const std::string& path) {
    if (kind == kArbitraryDataFile) return HasExtension(path, ".arb") || Refuse(FileTextOf(FileText::NotArbFile), path);
    if (kind == kArbitraryExchangeFile)
        return HasExtension(path, ".qwf") || Refuse(FileTextOf(FileText::NotQwfFile), path);
    return false;
}

bool CZorbelDoc::LoadArbitrary(std::uint16_t kind, const std::string& path) {
    if (!CheckArbitraryKind(kind, path)) return false;
    FileLines file;
    if (!file.Open(path)) return Refuse(FileTextOf(FileText::CannotLoad, {file.Error()}), path);
    const std::uint16_t channel = settings_.CurrentChannel();
    std::string error;
    LoadWarnings warnings;
    const bool loaded = kind == kArbitraryDataFile ? ReadArbFile(settings_, file, channel, &error, &warnings)
                                                   : ReadQwfFile(settings_, file, channel, &error, &warnings);
    if (!loaded) return Refuse(FileTextOf(FileText::CannotLoad, {error}), path);
    ShowWarnings(warnings, path);
    return true;
}

std::optional<LongJob> CZorbelDoc::LoadArbitraryJob(std::uint16_t kind, const std::string& path, RedrawSink* sink,
                                                    std::function<void(const ImportOutcome&)> done) {
    if (!CheckArbitraryKind(kind, path)) return std::nullopt;
    const ArbitraryFormat format = kind == kArbitraryDataFile ? ArbitraryFormat::Arb : ArbitraryFormat::Qwf;
    return ArbitraryFileJob(settings_, format, path, settings_.CurrentChannel(), sink, std::move(done));
}

bool CZorbelDoc::ImportData(const std::string& path) {
    if (ImportKindOf(path) == ImportKind::None) return LoadArbitrary(kArbitraryExchangeFile, path);
    std::string error;
    LoadWarnings warnings;
    if (!ImportWaveformFile(settings_, path, settings_.CurrentChannel(), &error, &warnings))
        return Refuse(FileTextOf(FileText::CannotLoad, {error}), path);
    ShowWarnings(warnings, path);
    return true;
}

bool CZorbelDoc::ImportEnded(const ImportOutcome& outcome, const std::string& path) {
    if (!outcome.imported) return Refuse(FileTextOf(FileText::CannotLoad, {outcome.error}), path);
    ShowWarnings(outcome.warnings, path);
    return true;
}

void CZorbelDoc::ShowWarnings(const LoadWarnings& warnings, const std::string& path) {
    if (!messages_) return;
    for (const std::string& warning : warnings) messages_->ShowWarning(warning, path);
}

bool CZorbelDoc::SaveArbitrary(std::uint16_t kind, const std::string& path) {
    if (!CheckArbitraryKind(kind, path)) return false;
    AtomicTextFile file;
    if (!file.Create(path)) return Refuse(FileTextOf(FileText::CannotSave, {file.Error()}), path);
    const std::uint16_t channel = settings_.CurrentChannel();
    std::string error;
    const bool written = kind == kArbitraryDataFile ? WriteArbFile(settings_, file, channel, &error)
                                                    : WriteQwfFile(settings_, file, channel, &error);
    // The sink knows the system's reason when the disk refused the text.
    if (!written)
        return Refuse(FileTextOf(FileText::CannotSave, {(file.Error().empty() ? error : file.Error())}), path);
    if (!file.Commit()) return Refuse(FileTextOf(FileText::CannotSave, {file.Error()}), path);
    return true;
}

}  // namespace zorbel
