// Device memory: the "MMEMory:" commands on the simulated file system
// (file_tree.h). Commands that change something answer "0" when done and
// "-1" when not. The catalog and file uploads answer in pieces of at most
// --piece-size characters, each piece "<piece number>,<total>,<end>,<count>,
// "<text>"" (the leading field numbers the pieces from 1); --piece-gap makes
// every piece after the first claim an end one beyond the truth, a fault the
// host must catch.
#include "command_text.h"
#include "family.h"
#include "file_tree.h"
#include "zorbel/numbers.h"

namespace gensim {

namespace {

constexpr std::string_view kDone = "0";
constexpr std::string_view kRefused = "-1";

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// Takes `"name"` off the front of `text` (blanks before it allowed).
bool TakeQuoted(std::string_view& text, std::string_view& name) {
    text = TrimBlanks(text);
    if (text.empty() || text.front() != '"') return false;
    const auto close = text.find('"', 1);
    if (close == std::string_view::npos) return false;
    name = text.substr(1, close - 1);
    text.remove_prefix(close + 1);
    return true;
}

bool TakeComma(std::string_view& text) {
    text = TrimBlanks(text);
    if (text.empty() || text.front() != ',') return false;
    text.remove_prefix(1);
    return true;
}

bool TakeInt(std::string_view& text, long long& value) {
    const auto comma = text.find(',');
    if (comma == std::string_view::npos || !zorbel::parseInt(TrimBlanks(text.substr(0, comma)), value)) return false;
    text.remove_prefix(comma + 1);
    return true;
}

// Exactly one quoted name and nothing after it.
bool OneName(std::string_view argument, std::string_view& name) {
    return TakeQuoted(argument, name) && TrimBlanks(argument).empty();
}

bool TwoNames(std::string_view argument, std::string_view& first, std::string_view& second) {
    return TakeQuoted(argument, first) && TakeComma(argument) && TakeQuoted(argument, second) &&
           TrimBlanks(argument).empty();
}

Answers Verdict(bool done) { return Answers{std::string(done ? kDone : kRefused)}; }

class FileSystemFamily final : public CommandFamily {
public:
    explicit FileSystemFamily(const SimOptions& options)
        : pieceSize_(static_cast<std::size_t>(options.pieceSize)), pieceGap_(options.pieceGap) {}

    std::optional<Answers> Handle(std::string_view command, GeneratorState& state) override {
        if (command.substr(0, 7) != "MMEMory") return std::nullopt;
        std::string_view header;
        std::string_view argument;
        SplitHeader(command, header, argument);
        std::string_view a;
        std::string_view b;
        if (command == "MMEMory:DIRectory?") return Answers{tree_.CurrentDirectory()};
        if (command == "MMEMory:CATalog?") return Pieces(tree_.Catalog());
        if (header == "MMEMory:CDIRectory") {
            // Sent without quotes; quotes are taken as well.
            if (!OneName(argument, a)) a = TrimBlanks(argument);
            return Verdict(tree_.ChangeDirectory(a));
        }
        if (header == "MMEMory:MDIRectory") return Verdict(OneName(argument, a) && tree_.MakeDirectory(a));
        if (header == "MMEMory:RDIRectory") return Verdict(OneName(argument, a) && tree_.RemoveDirectory(a));
        if (header == "MMEMory:COPY") return Verdict(TwoNames(argument, a, b) && tree_.Copy(a, b));
        if (header == "MMEMory:MOVE") return Verdict(TwoNames(argument, a, b) && tree_.Move(a, b));
        if (header == "MMEMory:DELete") return Verdict(OneName(argument, a) && tree_.Delete(a));
        if (header == "MMEMory:STORe:STATe") return Verdict(OneName(argument, a) && tree_.StoreState(a, state));
        if (header == "MMEMory:LOAD:STATe") {
            if (!OneName(argument, a)) return Verdict(false);
            const auto stored = tree_.LoadState(a);
            if (stored) state = *stored;
            return Verdict(stored.has_value());
        }
        if (header == "MMEMory:DOWNload") return Download(argument);
        if (header == "MMEMory:UPLoad") {
            if (!OneName(argument, a)) return Verdict(false);
            const auto content = tree_.ReadFile(a);
            return content ? Pieces(*content) : Verdict(false);
        }
        return std::nullopt;
    }

private:
    // "name", total, end, count, "text": the text runs from the quote after
    // the count to the last quote, so it may hold commas and quotes.
    Answers Download(std::string_view argument) {
        std::string_view name;
        long long total = 0;
        long long end = 0;
        long long count = 0;
        if (!TakeQuoted(argument, name) || !TakeComma(argument) || !TakeInt(argument, total) ||
            !TakeInt(argument, end) || !TakeInt(argument, count))
            return Verdict(false);
        const auto open = argument.find('"');
        const auto close = argument.rfind('"');
        if (open == std::string_view::npos || close <= open) return Verdict(false);
        const std::string_view text = argument.substr(open + 1, close - open - 1);
        if (count != static_cast<long long>(text.size())) return Verdict(false);
        return Verdict(tree_.WritePiece(name, total, end, text));
    }

    Answers Pieces(const std::string& text) const {
        const std::string total = zorbel::formatInt(static_cast<long long>(text.size()));
        Answers pieces;
        std::size_t offset = 0;
        do {
            const std::size_t count = std::min(pieceSize_, text.size() - offset);
            long long end = static_cast<long long>(offset + count);
            if (pieceGap_ && offset > 0) ++end;
            pieces.push_back(zorbel::formatInt(static_cast<long long>(pieces.size() + 1)) + "," + total + "," +
                             zorbel::formatInt(end) + "," + zorbel::formatInt(static_cast<long long>(count)) + ",\"" +
                             text.substr(offset, count) + "\"");
            offset += count;
        } while (offset < text.size());
        return pieces;
    }

    FileTree tree_;
    std::size_t pieceSize_;  // characters of text per piece, at least 1
    bool pieceGap_;
};

}  // namespace

std::unique_ptr<CommandFamily> MakeFileSystemFamily(const SimOptions& options) {
    return std::make_unique<FileSystemFamily>(options);
}

}  // namespace gensim
