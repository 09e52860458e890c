// A change of the NIC driver's function set: the functions are enumerated once per public call, port
// handles keep naming the functions the tree was built from until a tree built from the new set
// exists, and a change seen while the tree is being rebuilt leads to one more rebuild.
#include "access/discovery.h"
#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/wire.h"
#include "engine/api_lock.h"
#include "support/request_hook.h"
#include "tests/api/startup_fixture.h"

namespace vxtest {
namespace {

class NicFunctionChange : public StartupTest {
 protected:
  void SetUp() override {
    use_example("two-adapters.json");   // NIC handles 1-2 on adapter 0, 3-4 on adapter 1
    ASSERT_EQ(start(), 0u);
  }
  // Runs `body` inside one public call (its handlers' view of the tree).
  template <typename Fn>
  void in_one_call(Fn body) {
    vx::public_call("test", vx::CallNeeds::kTree, vx::StatusReset::kClear, [&]() -> uint32_t {
      body();
      return 0;
    });
  }
  size_t nic_commands() const {
    size_t n = 0;
    for (const vxsim_journal_entry& e : sim_.commands()) n += e.request == vx::wire::kNicFirmwareCommand;
    return n;
  }
  // Enumerations of the NIC functions (inventory requests) since the journal was cleared.
  int inventories() const {
    int n = 0;
    for (const vxsim_journal_entry& e : sim_.journal()) n += e.request == vx::wire::kNicChipInfo;
    return n;
  }
};

uint32_t nic_attributes(int32_t handle) {
  uint8_t record[540] = {};
  return vx::ioctl_fetch_controller_attribs(handle, record, 0, 0, vx::kProtocolNic);
}

// Every NIC-node request of one public call (firmware commands by handle and to all handles, and a
// driver request) is served by one enumeration of the functions; the next call, and every request
// made outside a call, enumerates again.
TEST_F(NicFunctionChange, FunctionsAreEnumeratedOncePerCall) {
  sim_.journal_clear();
  in_one_call([] {
    uint8_t reply[976] = {};
    EXPECT_EQ(nic_attributes(1), 0u);
    EXPECT_EQ(nic_attributes(4), 0u);
    EXPECT_EQ(nic_attributes(vx::kAllPorts), 0u);
    EXPECT_EQ(vx::ioctl_get_mtu(2, reply), 0u);
  });
  EXPECT_EQ(inventories(), 1);
  EXPECT_EQ(nic_commands(), 6u) << "every command was sent";
  in_one_call([] { EXPECT_EQ(nic_attributes(3), 0u); });
  EXPECT_EQ(inventories(), 2);
  EXPECT_EQ(nic_attributes(1), 0u);
  EXPECT_EQ(nic_attributes(1), 0u);
  EXPECT_EQ(inventories(), 4) << "outside a public call each request enumerates";
}

// A start-up enumerates the functions for its own requests, and once more at its end, however many
// NIC commands the adapters take.
TEST_F(NicFunctionChange, AStartUpEnumeratesTwice) {
  stop();
  sim_.journal_clear();
  ASSERT_EQ(start(), 0u);
  EXPECT_GT(nic_commands(), 8u);
  EXPECT_EQ(inventories(), 2);
}

// A change after the call's enumeration is not looked for in that call: its requests keep the
// tree's addresses, and the next call sees the change, refuses, and has the tree rebuilt.
TEST_F(NicFunctionChange, AChangeWithinACallIsSeenByTheNextCall) {
  uint32_t later = 1;
  in_one_call([&] {
    EXPECT_EQ(nic_attributes(1), 0u);
    ASSERT_EQ(sim_.set_nic_functions(1, 0, 1), 0);
    later = nic_attributes(1);
  });
  EXPECT_EQ(later, 0u);
  EXPECT_EQ(phbas_of("Vexalon1").size(), 4u);
  in_one_call([] { EXPECT_EQ(nic_attributes(1), 1u); });
  EXPECT_EQ(phbas_of("Vexalon1"), (Strings{"iSCSIPhysicalHBA0", "iSCSIPhysicalHBA1", "NICPhysicalHBA0"}));
}

// Adapter 0 loses function 0: in the rest of the call handle 2 (its function 1) would name adapter
// 1's function 0 in the driver's new numbering. Every handle-addressed request is refused instead.
TEST_F(NicFunctionChange, HandlesAreRefusedUntilTheTreeIsRebuilt) {
  ASSERT_EQ(sim_.set_nic_functions(0, 1, 1), 0);
  sim_.journal_clear();
  uint32_t results[4] = {};
  size_t sent = 0;
  in_one_call([&] {
    uint8_t record[540] = {};
    uint8_t reply[976] = {};
    results[0] = vx::ioctl_fetch_controller_attribs(1, record, 0, 0, vx::kProtocolNic);   // notices
    results[1] = vx::ioctl_fetch_controller_attribs(2, record, 0, 0, vx::kProtocolNic);
    results[2] = vx::ioctl_get_mtu(2, reply);
    results[3] = vx::ioctl_fetch_controller_attribs(vx::kAllPorts, record, 0, 0, vx::kProtocolNic);
    sent = nic_commands();
  });
  for (uint32_t r : results) EXPECT_EQ(r, 1u);
  EXPECT_EQ(sent, 0u) << "nothing reached a NIC function before the rebuild";
  EXPECT_EQ(phbas_of("Vexalon0"), (Strings{"iSCSIPhysicalHBA0", "iSCSIPhysicalHBA1", "NICPhysicalHBA0"}));
  uint8_t reply[976] = {};
  EXPECT_EQ(vx::ioctl_get_mtu(2, reply), 0u) << "the rebuilt tree's handles are served";
}

// The function comes back while the rebuild's start-up runs, right after the rebuild enumerated the
// functions (the second enumeration of the call): the tree is built once more, from the set the
// driver ends with.
TEST_F(NicFunctionChange, AChangeDuringTheRebuildIsNotLost) {
  ASSERT_EQ(sim_.set_nic_functions(1, 0, 1), 0);
  int inventories = 0;
  {
    const RequestHook restore(nullptr, [&](unsigned long request, const void*) {
      if (request == vx::wire::kNicChipInfo && ++inventories == 2) sim_.set_nic_functions(1, 0, 2);
    });
    in_one_call([] {
      uint8_t record[540] = {};
      vx::ioctl_fetch_controller_attribs(3, record, 0, 0, vx::kProtocolNic);
    });
  }
  EXPECT_EQ(inventories, 5) << "the call's, then two of each start-up: the rebuild's and one more";
  EXPECT_EQ(phbas_of("Vexalon1"), (Strings{"iSCSIPhysicalHBA0", "iSCSIPhysicalHBA1", "NICPhysicalHBA0",
                                           "NICPhysicalHBA1"}));
}

}  // namespace
}  // namespace vxtest
