// Text helpers for command families (see command_text.h).
#include "command_text.h"

namespace gensim {

bool SplitChannelCommand(std::string_view command, std::string_view root, int& channel, std::string_view& rest) {
    if (command.substr(0, root.size()) != root) return false;
    const std::string_view tail = command.substr(root.size());
    if (tail.empty() || (tail[0] != '1' && tail[0] != '2')) return false;
    if (tail.size() > 1 && tail[1] >= '0' && tail[1] <= '9') return false;  // "SOURce12"
    channel = tail[0] - '0';
    rest = tail.substr(1);
    return true;
}

void SplitHeader(std::string_view text, std::string_view& header, std::string_view& argument) {
    const auto blank = text.find(' ');
    header = text.substr(0, blank);
    argument = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
}

std::string Printable(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

}  // namespace gensim
