// The simulated drivers: no answer passes the room the request gave.
#include "sim_support.h"

namespace simtest {
namespace {

TEST_F(SimTest, answers_never_pass_the_room) {
  load_example("one-adapter.json");
  Request huge = command(32, 1, 540);
  const uint32_t length = 0x7FFFFFFF;
  std::memcpy(&huge.bytes[8], &length, 4);
  const std::vector<uint8_t> before = huge.bytes;
  int error = 0;
  EXPECT_EQ(send(iscsi_path(0), huge, &error), -1);
  EXPECT_EQ(error, EINVAL);
  EXPECT_EQ(huge.bytes, before) << "an oversized request length is refused untouched";
  const uint8_t commands[][2] = {{32, 1}, {72, 1}, {171, 1}, {172, 1}, {6, 6}, {7, 6}, {78, 1}, {79, 1}, {200, 9}};
  for (bool nic : {false, true}) {
    for (const auto& c : commands) {
      for (uint32_t len : {0u, 3u, 8u, 111u, 112u, 200u}) {
        Request r = nic ? nic_command(3, 0, 1, c[0], c[1], len) : command(c[0], c[1], len);
        if (len >= 112) std::memcpy(r.payload() + 8, "/obj", 5);   // a valid object name
        EXPECT_EQ(send(nic ? wire::kNicNodePath : iscsi_path(1), r), 0);
        EXPECT_TRUE(r.canary_intact()) << "nic " << nic << " op " << int(c[0]) << " len " << len;
      }
    }
  }
  Request cut = command(32, 1, 200);
  ASSERT_EQ(send(iscsi_path(0), cut), 0);
  EXPECT_EQ(cut.status(), 4) << "a record larger than the request is cut with status 4";
  EXPECT_EQ(cut.length(), 540u);
}

}  // namespace
}  // namespace simtest
