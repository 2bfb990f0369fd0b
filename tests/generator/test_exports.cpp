// A library exports exactly the functions of its public header: nothing is
// missing, and no internal symbol leaks out. Built once per library with
// QRV_PUBLIC_HEADER, EXPORTS_LIBRARY (file in build/lib), EXPORTS_MACRO (the
// header's export macro) and EXPORTS_AT_LEAST (functions the header declares).
#include "sim_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

std::set<std::string> HeaderFunctions() {
    std::ifstream header(QRV_PUBLIC_HEADER);
    std::stringstream text;
    text << header.rdbuf();
    const std::string body = text.str();
    std::set<std::string> names;
    const std::regex declaration(EXPORTS_MACRO R"(\s+\w+\s+(\w+)\s*\()");
    for (auto it = std::sregex_iterator(body.begin(), body.end(), declaration); it != std::sregex_iterator(); ++it)
        names.insert((*it)[1]);
    return names;
}

std::set<std::string> ExportedSymbols() {
    const std::string command = "nm -D --defined-only " + zorbel::test::BinDir() + "/../lib/" EXPORTS_LIBRARY;
    std::set<std::string> names;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::istringstream fields(line);
        std::string address, kind, name;
        if (fields >> address >> kind >> name) names.insert(name);
    }
    pclose(pipe);
    return names;
}

TEST(Exports, ExactlyThePublicHeader) {
    const auto declared = HeaderFunctions();
    ASSERT_GE(declared.size(), std::size_t{EXPORTS_AT_LEAST}) << "header not parsed: " << QRV_PUBLIC_HEADER;
    EXPECT_EQ(ExportedSymbols(), declared);
}

}  // namespace
