// The seam a host uses to point the library at a device: the root as given,
// without a trailing slash, and none for the real device.
#include <gtest/gtest.h>

#include <string>

#include "ixo/seams.h"
#include "tests/support/support.h"

namespace {

using SeamsTest = support::SimDeviceTest;

TEST_F(SeamsTest, DeviceRootIsNormalised) {
    ixoSetDeviceRoot("/srv/device/");
    EXPECT_STREQ(ixoGetDeviceRoot(), "/srv/device");
    ixoSetDeviceRoot("/");
    EXPECT_STREQ(ixoGetDeviceRoot(), "");
    ixoSetDeviceRoot(nullptr);
    EXPECT_STREQ(ixoGetDeviceRoot(), "");
    ixoSetDeviceRoot(root.c_str());
    EXPECT_EQ(ixoGetDeviceRoot(), root);
}

}  // namespace
