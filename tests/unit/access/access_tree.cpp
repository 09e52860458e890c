#include "access_tree.h"

#include <vector>

namespace vxtest::access_tree {
namespace {

using vx::group;
using vx::kInstance;
using vx::length;
using vx::property;

vx::InstanceBits g_vexalon_bits, g_iscsi_bits, g_bare_bits, g_nic_bits, g_port_bits, g_lhba_bits, g_lower_bits,
    g_session_bits;

constexpr vx::SchemaRow kVexalonRows[] = {
    property(kInstance, "ActiveFirmwareVersion", "v", kReadOnly, vx::handle_internal_property, length(0, 255), ""),
    property(kInstance, "FirmwareVersionOnFlash", "v", kReadOnly, vx::handle_internal_property, length(0, 255), ""),
};
constexpr vx::SchemaRow kPhbaRows[] = {
    /* 0 */ property(kInstance, "PortNumber", "p", kReadOnly, vx::handle_internal_property, length(0, 255), "0"),
    /* 1 */ group(kInstance, "PCI", "pci"),
    /* 2 */ property(1, "DeviceID", "d", kReadOnly, vx::handle_internal_property, length(0, 255), "0x0"),
};
constexpr vx::SchemaRow kBarePhbaRows[] = {
    property(kInstance, "PortNumber", "p", kReadOnly, vx::handle_internal_property, length(0, 255), "0"),
};
constexpr vx::SchemaRow kSessionRows[] = {
    property(kInstance, "SessionState", "s", kReadOnly, vx::handle_internal_property, length(0, 255), ""),
};

std::vector<hm_node*> g_with_records;

}  // namespace

const vx::GroupSpec kVexalon = vx::group_spec("Vexalon", "c", 16, nullptr, kVexalonRows, g_vexalon_bits);
const vx::GroupSpec kIscsiPhba = vx::group_spec("iSCSIPhysicalHBA", "p", 8, nullptr, kPhbaRows, g_iscsi_bits);
const vx::GroupSpec kIscsiPhbaWithoutPci =
    vx::group_spec("iSCSIPhysicalHBA", "p", 8, nullptr, kBarePhbaRows, g_bare_bits);
const vx::GroupSpec kNicPhba = vx::group_spec("NICPhysicalHBA", "n", 8, nullptr, kPhbaRows, g_nic_bits);
const vx::GroupSpec kPort =
    vx::group_spec("PortDiscoveryAndConfiguration", "d", 4, nullptr, kBarePhbaRows, g_port_bits);
const vx::GroupSpec kLogicalHba = vx::group_spec("LogicalHBA", "l", 4, nullptr, g_lhba_bits);
const vx::GroupSpec kLowerCaseLogicalHba = vx::group_spec("logicalhba", "l", 4, nullptr, g_lower_bits);
const vx::GroupSpec kSession = vx::group_spec("Session", "s", 4, nullptr, kSessionRows, g_session_bits);

uint32_t unreadable(hm_node*, char*, uint32_t) { return 1; }

hm_node* build(const vx::GroupSpec& spec, hm_node* parent) {
  hm_node* node = vx::build_instance(spec, parent, nullptr, nullptr, nullptr);
  EXPECT_NE(node, nullptr) << spec.name;
  return node;
}

void attach_record(hm_node* group, uint32_t handle) {
  auto* record = static_cast<uint32_t*>(vx::varu_dcalloc(16));
  record[0] = handle;
  vx::group_data(group)->backend_info = record;
  g_with_records.push_back(group);
}

hm_node* prop(hm_node* group, const char* name) { return vx::internal_get_node(group, name, kProperty); }

std::string value(hm_node* group, const char* name) {
  hm_property* p = vx::property_data(prop(group, name));
  return p != nullptr ? std::string(p->value) : std::string("<missing>");
}

void set_handler(hm_node* group, const char* name, hm_property_handler handler) {
  hm_property* p = vx::property_data(prop(group, name));
  ASSERT_NE(p, nullptr) << name;
  p->handler = handler;
}

void TreeTest::SetUp() {
  ASSERT_EQ(vx::init_hm(), 0);
  root = vx::hierarchy_name_.root;
}

void release_records() {
  for (hm_node* group : g_with_records) {
    vx::varu_dfree(vx::group_data(group)->backend_info);
    vx::group_data(group)->backend_info = nullptr;
  }
  g_with_records.clear();
}

void TreeTest::TearDown() {
  release_records();
  vx::exit_hm();
}

}  // namespace vxtest::access_tree
