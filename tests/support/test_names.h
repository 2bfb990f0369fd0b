// Names of parameterised test cases that read well in CTest's list: a
// description such as "no link: nothing" becomes "NoLinkNothing" (GoogleTest
// takes letters, digits and underscores only).
#pragma once

#include <string>
#include <string_view>

namespace zorbel::test {

inline std::string CaseName(std::string_view description) {
    std::string name;
    bool wordStart = true;
    for (char c : description) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !digit) {
            wordStart = true;
            continue;
        }
        name += wordStart && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        wordStart = false;
    }
    return name.empty() ? "Unnamed" : name;
}

}  // namespace zorbel::test
