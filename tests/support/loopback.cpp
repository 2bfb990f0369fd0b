#include "loopback.h"

#include <arpa/inet.h>

#include <random>

namespace zorbel::test {

std::string UniqueLoopbackAddress() {
    static thread_local std::mt19937 engine{std::random_device{}()};
    std::uniform_int_distribution<int> octet(1, 254);
    return "127." + std::to_string(octet(engine)) + "." + std::to_string(octet(engine)) + "." +
           std::to_string(octet(engine));
}

std::uint32_t AddressValue(const std::string& dottedQuad) {
    in_addr address{};
    if (inet_pton(AF_INET, dottedQuad.c_str(), &address) != 1) return 0;
    return ntohl(address.s_addr);
}

}  // namespace zorbel::test
