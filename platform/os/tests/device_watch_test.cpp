#include "platform/os/device_watch.h"

#include "platform/os/tests/support.h"

#include <gtest/gtest.h>

#include <fstream>

namespace ov::os {
namespace {

TEST(DeviceWatch, ADeviceThatComesIsReported) {
  test::ensureApp();
  std::vector<WinMessage> got;
  DeviceWatch watch([&](const WinMessage& m) {
    got.push_back(m);
    return std::intptr_t{0};
  });
  ASSERT_TRUE(watch.active());
  // The kernel repeats the "add" event of an existing device when asked: /dev/null comes again.
  {
    std::ofstream uevent("/sys/class/mem/null/uevent");
    ASSERT_TRUE(uevent) << "this machine does not let the test announce a device";
    uevent << "add";
  }
  ASSERT_TRUE(test::waitUntil([&] { return !got.empty(); }));
  EXPECT_EQ(got[0].msg, wm::kDeviceChange);
  EXPECT_EQ(got[0].wParam, kDevNodesChanged);
}

}  // namespace
}  // namespace ov::os
