// The controller queries of the ancestor walks, on a controller built from the schema.
#include "access/walks.h"

#include <string>

#include "engine/messages.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/nic_hba.h"
#include "unit/engine/tree_helpers.h"

namespace {

uint32_t unreadable(hm_node*, char*, uint32_t) { return 1; }

class WalksTest : public vxtest::TreeFixture {
 protected:
  void SetUp() override {
    TreeFixture::SetUp();
    controller = vx::initialize_Vexalon(root, nullptr, nullptr, nullptr);
    phba = vx::initialize_iSCSIPhysicalHBA(controller, nullptr, nullptr, nullptr);
    nic = vx::initialize_NICPhysicalHBA(controller, nullptr, nullptr, nullptr);
    ASSERT_TRUE(controller && phba && nic);
  }
  hm_node* pci(hm_node* function) { return vx::internal_get_node(function, "PCI", kGroup); }
  hm_node* controller = nullptr;
  hm_node* phba = nullptr;
  hm_node* nic = nullptr;
};

// The generation comes from the first iSCSI function's device ID, else the NIC function's; 1 with
// status 163 when none can be read.
TEST_F(WalksTest, GenerationFromTheDeviceId) {
  const std::pair<const char*, uint32_t> rows[] = {
      {"0x210", 2}, {"0x217", 2}, {"0x218", 65535}, {"0x700", 2}, {"0x703", 2}, {"0x704", 65535}, {"0x220", 3},
      {"0x227", 3}, {"0x228", 65535}, {"0x710", 3}, {"0x711", 65535}, {"0x712", 3}, {"0x713", 65535}, {"0x714", 3},
      {"0xE220", 4}, {"e228", 4}, {"0xE221", 65535}, {"0x0720", 5}, {"0x721", 65535}, {"0x722", 5}, {"0x728", 5},
      {"0x730", 6}, {"0x731", 65535}, {"0", 65535}, {"FFFFFFFFFF", 65535}, {"720x", 1}, {"", 1}, {"-720", 1},
      {"0x", 1}, {"zz", 1}};
  vx::set_prop_val(pci(nic), "DeviceID", "0x730");
  for (const auto& [id, want] : rows) {
    vx::varu_set_last_status(0, "");
    vx::set_prop_val(pci(phba), "DeviceID", "%s", id);
    EXPECT_EQ(vx::get_vx_type(controller), want) << id;
    EXPECT_EQ(vxtest::last_status().code, want == 1 ? 163u : 0u) << id;
  }
  ASSERT_EQ(vx::delete_node(phba), 0u);
  vx::set_prop_val(pci(nic), "DeviceID", "0xE228");
  EXPECT_EQ(vx::get_vx_type(controller), 4u) << "without an iSCSI function";
  vx::property_data(vx::internal_get_node(pci(nic), "DeviceID", kProperty))->handler = unreadable;
  hm_node* empty = vx::initialize_Vexalon(root, nullptr, nullptr, nullptr);
  for (hm_node* node : {controller, empty, static_cast<hm_node*>(nullptr)}) {
    EXPECT_STATUS(vx::get_vx_type(node), 163, vx::msg::kNoControllerType);
  }
}

}  // namespace
