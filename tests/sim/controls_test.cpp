// The test controls: fault injection and the journal, also under concurrent requests.
#include <chrono>
#include <thread>

#include "sim_support.h"

namespace simtest {
namespace {

enum class Kind { kStatus, kErrno, kUnanswered, kDelay };

TEST_F(SimTest, faults_apply_to_matching_commands_until_their_count_expires) {
  load_example("one-adapter.json");
  // What the next three controller-attributes commands (32/1) give: ioctl result and status.
  const struct { Kind kind; int opcode, subsystem, count; int rc[3]; uint8_t status[3]; } rows[] = {
      {Kind::kStatus, 32, 1, 2, {0, 0, 0}, {1, 1, 0}},
      {Kind::kStatus, VXSIM_ANY, VXSIM_ANY, 1, {0, 0, 0}, {1, 0, 0}},
      {Kind::kStatus, 32, VXSIM_ANY, -1, {0, 0, 0}, {1, 1, 1}},   // until cleared
      {Kind::kStatus, 33, 1, -1, {0, 0, 0}, {0, 0, 0}},
      {Kind::kStatus, 32, 2, -1, {0, 0, 0}, {0, 0, 0}},
      {Kind::kErrno, 32, 1, 1, {-1, 0, 0}, {120, 0, 0}},
      {Kind::kUnanswered, VXSIM_ANY, 1, 2, {0, 0, 0}, {120, 120, 0}},
      {Kind::kDelay, 32, 1, 1, {0, 0, 0}, {0, 0, 0}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    vxsim_clear_faults();
    switch (row.kind) {
      case Kind::kStatus: vxsim_inject_status(row.opcode, row.subsystem, 1, 17, row.count); break;
      case Kind::kErrno: vxsim_inject_errno(row.opcode, row.subsystem, 0, EIO, row.count); break;
      case Kind::kUnanswered: vxsim_inject_unanswered(row.opcode, row.subsystem, row.count); break;
      case Kind::kDelay: vxsim_inject_delay(row.opcode, row.subsystem, 30, row.count); break;
    }
    for (int i = 0; i < 3; ++i) {
      Request r = command(32, 1, 540);
      const std::vector<uint8_t> sent = r.bytes;
      int error = 0;
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(send(iscsi_path(0), r, &error), row.rc[i]) << i;
      EXPECT_EQ(r.status(), row.status[i]) << i;
      EXPECT_TRUE(row.rc[i] == 0 || error == EIO) << i;
      EXPECT_TRUE(row.status[i] != 120 || r.bytes == sent) << i << ": the buffer as the library sent it";
      EXPECT_TRUE(row.status[i] != 1 || r.additional() == 17) << i;
      EXPECT_TRUE(row.kind != Kind::kDelay || i != 0 ||
                  std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(30));
      vxsim_journal_entry e;
      ASSERT_EQ(vxsim_journal_get(vxsim_journal_count() - 1, &e), 0);
      EXPECT_EQ(e.result, row.rc[i]);
      EXPECT_EQ(e.error, row.rc[i] ? EIO : 0);
    }
  }
  // Errno faults reach the driver-private requests too, by request or for any.
  const struct { uint32_t request; int opcode, rc_chip, rc_command; } privates[] = {
      {wire::kNicChipInfo, 32, -1, 0}, {0, VXSIM_ANY, -1, -1}, {0, 32, 0, -1}};
  for (const auto& row : privates) {
    vxsim_clear_faults();
    vxsim_inject_errno(row.opcode, VXSIM_ANY, row.request, ENODEV, -1);
    int fd = open(wire::kNicNodePath);
    wire::ChipInfoRecord chips{};
    EXPECT_EQ(vxsim_device_ioctl(fd, wire::kNicChipInfo, &chips), row.rc_chip) << &row - privates;
    Request r = nic_command(3, 0, 0, 32, 1, 540);
    EXPECT_EQ(vxsim_device_ioctl(fd, wire::kNicFirmwareCommand, r.bytes.data()), row.rc_command) << &row - privates;
    vxsim_device_close(fd);
  }
}

TEST_F(SimTest, concurrent_requests_are_each_answered_and_journalled) {
  load_example("two-adapters.json");
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 50; ++i) {
        Request r = t % 2 ? nic_command(4, 0, static_cast<uint8_t>(t / 2), 32, 1, 540) : command(32, 1, 540);
        int rc = send(t % 2 ? std::string(wire::kNicNodePath) : iscsi_path(t / 2), r);
        if (rc != 0 || r.status() != 0 || r.payload()[508] != (t % 2 ? 4 : 3)) ++failures[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
  EXPECT_EQ(vxsim_journal_count(), 200);
}

}  // namespace
}  // namespace simtest
