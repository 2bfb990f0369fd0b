// Loopback addresses for tests: every test that serves a LAN instrument
// takes its own address in 127.0.0.0/8, so tests can run side by side.
#pragma once

#include <cstdint>
#include <string>

namespace zorbel::test {

// A fresh address 127.a.b.c (a >= 1, so never 127.0.0.x, which hand-picked
// addresses use). Random per call: two test processes practically never meet,
// and helpers that bind retry with another address when one is taken.
std::string UniqueLoopbackAddress();

// The address as qmkHDInitComType takes it: first octet in the top byte.
std::uint32_t AddressValue(const std::string& dottedQuad);

}  // namespace zorbel::test
