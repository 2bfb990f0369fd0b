// The link state at library load: USB selected, LAN pointed at
// QRV_LAN_ADDRESS. The variable is set before main, as a user's environment
// would be, ahead of the library's first use.
#include "QRVHardDll.h"
#include "link_state_view.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

constexpr const char* kAddress = "127.0.3.1";
const bool kEnvironmentSet = setenv("QRV_LAN_ADDRESS", kAddress, 1) == 0;

TEST(LinkStartup, UsbFirstAndTheLanAddressFromTheEnvironment) {
    ASSERT_TRUE(kEnvironmentSet);
    EXPECT_EQ(qrv::CurrentComType(), 0);
    EXPECT_EQ(qrv::CurrentLanAddress(), kAddress);
    EXPECT_TRUE(qrv::LanLinkOpen());
}

}  // namespace
