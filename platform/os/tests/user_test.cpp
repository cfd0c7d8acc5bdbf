#include "platform/os/user.h"

#include "platform/os/tests/support.h"

#include <gtest/gtest.h>

namespace ov::os {
namespace {

TEST(User, NamesComeFromTheAccount) {
  std::string login = test::run({"id", "-un"});
  ASSERT_FALSE(login.empty());
  login.pop_back();  // newline
  EXPECT_EQ(userName(), login);
  // getent: name:password:uid:gid:gecos:home:shell
  std::string entry = test::run({"getent", "passwd", login});
  size_t at = 0;
  for (int field = 0; field < 4; ++field) at = entry.find(':', at) + 1;
  std::string gecos = entry.substr(at, entry.find(':', at) - at);
  EXPECT_EQ(userFullName(), gecos.substr(0, gecos.find(',')));
}

}  // namespace
}  // namespace ov::os
