// Small text helpers for command families.
#pragma once

#include <string>
#include <string_view>

namespace gensim {

// Splits "<root><n><rest>" into n and rest: "SOURce2:FREQuency 5" gives 2
// and ":FREQuency 5", "OUTPut1 ON" gives 1 and " ON". False when the command
// does not start with root and a channel number 1 or 2.
bool SplitChannelCommand(std::string_view command, std::string_view root, int& channel, std::string_view& rest);

// Splits "HEADER ARGUMENT" at the first blank; argument empty when there is none.
void SplitHeader(std::string_view text, std::string_view& header, std::string_view& argument);

// The text with control and non-ASCII bytes as \xNN, for logs.
std::string Printable(std::string_view text);

}  // namespace gensim
