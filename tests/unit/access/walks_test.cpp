// The ancestor walks and the controller queries on a small tree made by the builder.
#include "access/walks.h"

#include <string>
#include <vector>

#include "access_tree.h"
#include "engine/messages.h"

namespace vxtest::access_tree {
namespace {

class WalksTest : public TreeTest {
 protected:
  // ROOT / Vexalon0, Vexalon1 / iSCSIPhysicalHBA0 (handle 3, port 2) / LogicalHBA0, LogicalHBA1 (record 0) /
  // Session0; Vexalon1 / NICPhysicalHBA0 (port 1, no record); Vexalon1 / PortDiscoveryAndConfiguration0
  // (handle 5, unreadable port) / logicalhba0, logicalhba1.
  void SetUp() override {
    TreeTest::SetUp();
    build(kVexalon, root);
    controller = build(kVexalon, root);
    phba = build(kIscsiPhba, controller);
    vx::set_prop_val(phba, "PortNumber", "2");
    attach_record(phba, 3);
    build(kLogicalHba, phba);
    lhba1 = build(kLogicalHba, phba);
    attach_record(lhba1, 0);   // a record without a handle does not end the search
    session = build(kSession, lhba1);
    nic = build(kNicPhba, controller);
    vx::set_prop_val(nic, "PortNumber", "1");
    port = build(kPort, controller);
    attach_record(port, 5);
    set_handler(port, "PortNumber", unreadable);
    build(kLowerCaseLogicalHba, port);
    lower_lhba1 = build(kLowerCaseLogicalHba, port);
  }

  hm_node* controller = nullptr;
  hm_node* phba = nullptr;
  hm_node* lhba1 = nullptr;
  hm_node* session = nullptr;
  hm_node* nic = nullptr;
  hm_node* port = nullptr;
  hm_node* lower_lhba1 = nullptr;
};

TEST_F(WalksTest, AddressingOfEveryKindOfNode) {
  const struct { hm_node* node; int32_t port_handle, adapter, port_number, domain; } rows[] = {
      {root, -1, 0, 0, 0},
      {prop(controller, "ActiveFirmwareVersion"), -1, 1, 0, 0},
      {prop(phba, "PortNumber"), 3, 1, 2, 0},
      {vx::internal_get_node(phba, "PCI", kGroup), 3, 1, 2, 0},
      {prop(session, "SessionState"), 3, 1, 2, 1},   // below LogicalHBA1
      {nic, -1, 1, 1, 0},                             // no record
      {port, 5, 1, 0, 0},                             // an unreadable PortNumber
      {lower_lhba1, 5, 1, 0, 1},                      // group names compared ignoring case
      {nullptr, -1, 0, 0, 0},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(std::vector<int32_t>({vx::get_port_number(r.node), vx::get_vx_instance(r.node),
                                    vx::get_phba_port_number(r.node), vx::get_domain_id(r.node)}),
              std::vector<int32_t>({r.port_handle, r.adapter, r.port_number, r.domain})) << &r - rows;
  }
}

TEST_F(WalksTest, PortNumberMustBeWholeDecimal) {
  const std::pair<const char*, int32_t> rows[] = {{"3", 3},   {"12", 12}, {"0x1", 0}, {"1a", 0},
                                                  {"", 0},    {"-1", 0},  {"99999999999", 0}};
  for (const auto& [text, want] : rows) {
    vx::set_prop_val(phba, "PortNumber", "%s", text);
    EXPECT_EQ(vx::get_phba_port_number(session), want) << text;
  }
}

// The generation comes from the first iSCSI function's device ID, else the NIC function's; 1 with
// status 163 when none can be read.
TEST_F(WalksTest, GenerationFromTheDeviceId) {
  const std::pair<const char*, uint32_t> rows[] = {
      {"0x210", 2}, {"0x217", 2}, {"0x218", 65535}, {"0x700", 2}, {"0x703", 2}, {"0x704", 65535}, {"0x220", 3},
      {"0x227", 3}, {"0x228", 65535}, {"0x710", 3}, {"0x711", 65535}, {"0x712", 3}, {"0x713", 65535}, {"0x714", 3},
      {"0xE220", 4}, {"e228", 4}, {"0xE221", 65535}, {"0x0720", 5}, {"0x721", 65535}, {"0x722", 5}, {"0x728", 5},
      {"0x730", 6}, {"0x731", 65535}, {"0", 65535}, {"FFFFFFFFFF", 65535}, {"720x", 1}, {"", 1}, {"-720", 1},
      {"0x", 1}, {"zz", 1}};
  hm_node* pci = vx::internal_get_node(phba, "PCI", kGroup);
  vx::set_prop_val(vx::internal_get_node(nic, "PCI", kGroup), "DeviceID", "0x730");
  for (const auto& [id, want] : rows) {
    vx::varu_set_last_status(0, "");
    vx::set_prop_val(pci, "DeviceID", "%s", id);
    EXPECT_EQ(vx::get_vx_type(controller), want) << id;
    EXPECT_EQ(last_status().code, want == 1 ? 163u : 0u) << id;
  }
  hm_node* nic_only = build(kVexalon, root);
  vx::set_prop_val(vx::internal_get_node(build(kNicPhba, nic_only), "PCI", kGroup), "DeviceID", "0xE228");
  EXPECT_EQ(vx::get_vx_type(nic_only), 4u);
  hm_node* without_pci = build(kVexalon, root);
  build(kIscsiPhbaWithoutPci, without_pci);
  set_handler(pci, "DeviceID", unreadable);
  for (hm_node* node : {build(kVexalon, root), without_pci, controller, static_cast<hm_node*>(nullptr)}) {
    EXPECT_STATUS(vx::get_vx_type(node), 163, vx::msg::kNoControllerType);
  }
}

TEST_F(WalksTest, NcsiRequiredComparesTheVersionAsBytes) {
  const std::pair<const char*, uint32_t> rows[] = {{"4.0.0.0", 1},      {"3.102.147.9", 0}, {"10.0.0.0", 0},
                                                   {"3.102.148.0", 0},  {"3.102.148.01", 0}, {"3.102.149.0", 1},
                                                   {"3.2", 1},          {"", 0}};
  for (const auto& [version, want] : rows) {
    vx::set_prop_val(controller, "ActiveFirmwareVersion", "%s", version);
    EXPECT_EQ(vx::is_ncsi_required(controller), want) << version;
  }
  set_handler(controller, "ActiveFirmwareVersion", unreadable);
  EXPECT_EQ(vx::is_ncsi_required(controller), 1u);
  EXPECT_EQ(vx::is_ncsi_required(phba), 1u);   // no such property
  EXPECT_EQ(vx::is_ncsi_required(nullptr), 1u);
}

}  // namespace
}  // namespace vxtest::access_tree
