// A change of the NIC driver's function set: port handles keep naming the functions the tree was
// built from until a tree built from the new set exists, and a change seen while the tree is being
// rebuilt leads to one more rebuild.
#include <atomic>
#include <chrono>
#include <thread>

#include "access/discovery.h"
#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/wire.h"
#include "engine/api_lock.h"
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
};

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

// The function comes back while the rebuild's start-up runs (every command slowed down so that it
// lands there): the tree is built once more, from the set the driver ends with.
TEST_F(NicFunctionChange, AChangeDuringTheRebuildIsNotLost) {
  ASSERT_EQ(sim_.set_nic_functions(1, 0, 1), 0);
  sim_.inject_delay(VXSIM_ANY, VXSIM_ANY, 20, -1);
  sim_.journal_clear();
  std::atomic<bool> done{false};
  auto inventories = [this] {
    int n = 0;
    for (const vxsim_journal_entry& e : sim_.journal()) n += e.request == vx::wire::kNicChipInfo;
    return n;
  };
  std::thread restore([&] {
    // The rebuild has enumerated the functions once it sent the second inventory request.
    while (inventories() < 2 && !done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    sim_.set_nic_functions(1, 0, 2);
    sim_.clear_faults();
  });
  in_one_call([] {
    uint8_t record[540] = {};
    vx::ioctl_fetch_controller_attribs(3, record, 0, 0, vx::kProtocolNic);
  });
  done = true;
  restore.join();
  EXPECT_EQ(phbas_of("Vexalon1"), (Strings{"iSCSIPhysicalHBA0", "iSCSIPhysicalHBA1", "NICPhysicalHBA0",
                                           "NICPhysicalHBA1"}));
}

}  // namespace
}  // namespace vxtest
