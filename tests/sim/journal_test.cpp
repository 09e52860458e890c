// The simulator's journal over a long run, and a firmware handler that throws: the module keeps its
// memory bounded and never lets an exception out into the C caller.
#include <new>

#include "sim_support.h"

namespace simtest {
namespace {

// 100,000 commands of 64 KB (6.4 GB sent) stay within the journal's payload cap: a 32-bit client
// runs out of address space long before that when dropped payloads are not freed.
TEST_F(SimTest, a_long_run_of_large_commands_keeps_only_the_newest_payloads) {
  load_example("one-adapter.json");
  constexpr int kCommands = 100000;
  constexpr uint32_t kLength = 64 * 1024;
  Request r = command(200, 9, kLength);
  const int fd = vxsim_device_open(iscsi_path(0).c_str(), 2);
  ASSERT_GE(fd, 0);
  int failed = 0;
  for (int i = 0; i < kCommands; ++i) {
    std::memcpy(r.payload(), &i, sizeof i);
    failed += vxsim_device_ioctl(fd, wire::kIscsiFirmwareCommand, r.bytes.data()) != 0;
  }
  vxsim_device_close(fd);
  EXPECT_EQ(failed, 0);
  ASSERT_EQ(vxsim_journal_count(), kCommands);
  // 64 MiB of payloads: the newest 1024 commands' are kept, the ones before are gone.
  struct Row {
    int index;
    int want;
  } rows[] = {{kCommands - 1, int{kLength}}, {kCommands - 1024, int{kLength}}, {kCommands - 1025, -1}, {0, -1}};
  for (const Row& row : rows) {
    int first = -1;
    EXPECT_EQ(vxsim_journal_payload(row.index, &first, sizeof first), row.want) << row.index;
    if (row.want > 0) {
      EXPECT_EQ(first, row.index);
    }
  }
}

// A handler that throws fails that one device call, with the errno of what went wrong; the module
// answers the next call as usual.
TEST_F(SimTest, a_throwing_handler_fails_the_device_call) {
  load_example("one-adapter.json");
  struct Row {
    int out_of_memory;
    int error;
  } rows[] = {{1, ENOMEM}, {0, EIO}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.error);
    vxsim_journal_clear();
    vxsim_inject_exception(32, 1, row.out_of_memory, 1);
    Request thrown = command(32, 1, 540);
    int error = 0;
    EXPECT_EQ(send(iscsi_path(0), thrown, &error), -1);
    EXPECT_EQ(error, row.error);
    EXPECT_TRUE(thrown.canary_intact());
    Request next = command(32, 1, 540);
    EXPECT_EQ(send(iscsi_path(0), next), 0);
    EXPECT_EQ(next.status(), 0);
    ASSERT_EQ(vxsim_journal_count(), 2);
    vxsim_journal_entry e{};
    ASSERT_EQ(vxsim_journal_get(0, &e), 0);
    EXPECT_EQ(e.result, -1);
    EXPECT_EQ(e.error, row.error);
    EXPECT_EQ(vxsim_journal_payload(0, nullptr, 0), 540) << "the request as it was sent";
  }
}

}  // namespace
}  // namespace simtest
