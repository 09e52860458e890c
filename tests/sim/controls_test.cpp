// The test controls: journal, fault injection, NIC function changes and reset.
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

std::vector<int> nic_functions_listed() {
  wire::ChipInfoRecord rec{};
  int fd = vxsim_device_open(wire::kNicNodePath, 2);
  if (fd < 0) return {-1};
  EXPECT_EQ(vxsim_device_ioctl(fd, wire::kNicChipInfo, &rec), 0);
  vxsim_device_close(fd);
  std::vector<int> out;
  for (int i = 0; i < rec.count; ++i) {
    for (int f = 0; f < rec.records[i].function_count; ++f) out.push_back(rec.records[i].functions[f]);
  }
  return out;
}

TEST_F(SimTest, nic_function_changes_reach_chip_inventory_and_esx_conf) {
  load_example("one-adapter.json");
  root.write(wire::kEsxConfPath, root.read(wire::kEsxConfPath) + "/net/kept = \"yes\"\n");
  const struct { int first, count; std::vector<int> functions; const char* esx_conf; } rows[] = {
      {4, 3, {4, 5, 6},
       "/net/kept = \"yes\"\n/device/003:00.4/vmkname = \"vmnic2\"\n/device/003:00.5/vmkname = \"vmnic3\"\n"
       "/device/003:00.6/vmkname = \"vmnic4\"\n"},
      {0, 0, {-1}, "/net/kept = \"yes\"\n"},   // {-1}: the NIC node is gone
      {1, 1, {1}, "/net/kept = \"yes\"\n/device/003:00.1/vmkname = \"vmnic1\"\n"},
  };
  for (const auto& row : rows) {
    ASSERT_EQ(vxsim_set_nic_functions(0, row.first, row.count), 0);
    EXPECT_EQ(nic_functions_listed(), row.functions);
    EXPECT_EQ(root.read(wire::kEsxConfPath), row.esx_conf);
  }
  const int bad[][3] = {{-1, 0, 1}, {1, 0, 1}, {0, 0, -1}, {0, 0, 9}, {0, 7, 2}, {0, 2, 1}, {0, -1, 1}};
  for (const auto& b : bad) EXPECT_EQ(vxsim_set_nic_functions(b[0], b[1], b[2]), -1) << b[0] << b[1] << b[2];
  EXPECT_EQ(nic_functions_listed(), std::vector<int>{1});
}

TEST_F(SimTest, reset_retires_descriptors_and_clears_controls_but_keeps_state) {
  load_example("one-adapter.json");
  int fd = open(iscsi_path(0));
  ASSERT_GE(fd, 0);
  ASSERT_EQ(vxsim_set_nic_functions(0, 0, 0), 0);
  vxsim_inject_status(7, 6, 1, 0, 1);
  Request lost = command(7, 6, 260);   // a failed command changes no state
  std::strcpy(reinterpret_cast<char*>(lost.payload()) + 4, "iqn.2024-01.com.example:lost");
  ASSERT_EQ(send(iscsi_path(0), lost), 0);
  Request save = command(79, 1, 132);
  std::memcpy(save.payload(), "KEEP", 4);
  ASSERT_EQ(send(iscsi_path(0), save), 0);
  vxsim_inject_status(VXSIM_ANY, VXSIM_ANY, 1, 0, -1);

  ASSERT_EQ(vxsim_reset(), 0);
  EXPECT_EQ(vxsim_journal_count(), 0);
  char name[64];
  EXPECT_EQ(vxsim_device_ioctl(fd, wire::kIscsiHostAdapterName, name), -1);
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(vxsim_owns_fd(fd), 1) << "the number stays reserved until the library closes it";
  EXPECT_EQ(vxsim_device_close(fd), 0);
  EXPECT_EQ(nic_functions_listed(), (std::vector<int>{0, 1}));
  Request sign = command(78, 1, 132);
  ASSERT_EQ(send(iscsi_path(0), sign), 0);
  EXPECT_EQ(sign.status(), 0);
  EXPECT_EQ(sign.text(0), "KEEP");
  Request fetch = command(6, 6, 260);
  ASSERT_EQ(send(iscsi_path(0), fetch), 0);
  EXPECT_EQ(fetch.text(4), "iqn.1990-07.com.quillmarchant:bl3202a0001");
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
