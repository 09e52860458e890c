// The port tree's tables through their builders: the fixed subtree of a port instance, the maxima
// of its instanced groups, value rules and the texts that must stay exactly as they are.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "schema/application_tlv.h"
#include "schema/dcb_features.h"
#include "schema/nic_hba.h"
#include "schema/port.h"
#include "unit/schema/schema_fixture.h"

namespace {

using namespace vx;
using vxtest::child_names;
using vxtest::node_at;
using vxtest::tags_in_use;

using Builder = hm_node* (*)(hm_node*, hm_node*, hm_node*, char[6][256]);

constexpr const char* kPG = "DCBX/PriorityGroups/";
constexpr const char* kTLV = "DCBX/ApplicationTLVGroups/";

// The instanced groups inside a port, with the group each hangs under.
const std::pair<Builder, std::string> kInnerGroups[] = {
    {initialize_Channel, "ChannelManagement"},
    {initialize_AdministratorPGSetting_PG, std::string(kPG) + "AdministratorPGSetting"},
    {initialize_PeerPGSetting_PG, std::string(kPG) + "PeerPGSetting"},
    {initialize_OperationalPGSettings_PG, std::string(kPG) + "OperationalPGSettings"},
    {initialize_AdministratorTLVSetting_ApplicationTLV, std::string(kTLV) + "AdministratorTLVSetting"},
    {initialize_PeerTLVSetting_ApplicationTLV, std::string(kTLV) + "PeerTLVSetting"},
    {initialize_OperationalTLVSettings_ApplicationTLV, std::string(kTLV) + "OperationalTLVSettings"},
};

class PortTables : public vxtest::WithParents<vxtest::TreeFixture, vxtest::Depth::kController> {
 protected:
  void SetUp() override {
    WithParents::SetUp();
    if (HasFatalFailure()) return;
    port = initialize_PortDiscoveryAndConfiguration(vexalon, nullptr, nullptr, nullptr);
    ASSERT_NE(port, nullptr);
  }
  hm_node* at(const std::string& path) { return node_at(port, path); }
  // Instances of every group that lives inside a port, one each.
  void make_instances() {
    for (const auto& [build, path] : kInnerGroups) {
      ASSERT_NE(build(at(path), nullptr, nullptr, nullptr), nullptr) << path;
    }
  }

  hm_node* port = nullptr;
};

// Every node below and with `node`: its count by kind, and each passed to `visit`.
template <typename Visit>
void walk(hm_node* node, int counts[5], Visit visit) {
  ++counts[node->kind];
  visit(node);
  hm_group_data* g = node->kind == kGroup ? group_data(node) : nullptr;
  for (hm_node* c = g != nullptr ? g->first_child : nullptr; c != nullptr && c != node; c = c->next) walk(c, counts, visit);
}

TEST_F(PortTables, APortIsItsFixedSubtreeInCreationOrder) {
  int counts[5] = {};
  int refreshed = 0;
  walk(port, counts, [&](hm_node* n) { refreshed += n->kind == kGroup && group_data(n)->refresh != nullptr; });
  EXPECT_EQ(counts[kGroup] + counts[kProperty] + counts[kAction], static_cast<int>(kPortNodeCount));
  EXPECT_EQ(counts[kGroup], 26);
  EXPECT_EQ(counts[kProperty], 147);
  EXPECT_EQ(refreshed, 3) << "the three application TLV settings";

  const std::pair<std::string, std::string> children[] = {
      {"", "PortNumber,PortName,PortState,PhysicalLinkStatus,PHYType,InterfaceType,BeaconState,TXThrottle,"
           "ChannelManagement,BaseT10G,FCoEWWPN,Mode,ConfiguredSpeed,DACCableLength,ANSpeedsSupported,"
           "ForceSpeedsSupported,TxFlowControl,RxFlowControl,Beacon,SetPortSpeed,DumpTransceiverData,"
           "ErasePortandDiscoveryConfiguration,LLDP,DCBX"},
      {"ChannelManagement", ""},
      {"LLDP", "LocalConfiguration,PeerConfiguration,LLDPStatistics"},
      {"DCBX", "DCBXPortVars,DCBXStatistics,PFC,PriorityGroups,ApplicationTLVGroups,QCN"},
      {"DCBX/PFC", "AdministratorPFCSetting,PeerPFCSetting,OperationalPFCSettings"},
      {std::string(kTLV) + "AdministratorTLVSetting", "Advertise,Enabled,Willing,AddApplicationTLV,DeleteApplicationTLV"},
      {std::string(kPG) + "OperationalPGSettings", "PG15PriorityMemberShip,Error,OperationalMode,Synced,NumPGSupported"},
      {"DCBX/QCN/PeerQCNSetting", "Advertise,Enabled,Error,CNPVBitMap,Willing,ReadyBitMap"},
  };
  for (const auto& [path, names] : children) EXPECT_EQ(child_names(at(path)), names) << path;
  const std::string baset = child_names(at("BaseT10G"));
  EXPECT_EQ(baset.substr(0, 37), "10GBaseTDiagStatus,Temperature,PHYLin");
  EXPECT_EQ(baset.substr(baset.size() - 62), "NVPUsed,IsClearCountersSupported,SelfTest,RunTDR,ClearCounters");
}

TEST_F(PortTables, InstancedGroupsStopAtTheirMaximaAndLeaveTheTreeUnchanged) {
  make_instances();
  std::vector<std::pair<Builder, std::string>> rows = {{initialize_PortDiscoveryAndConfiguration, ""}};
  rows.insert(rows.end(), std::begin(kInnerGroups), std::end(kInnerGroups));
  const int maxima[] = {4, 16, 8, 8, 8, 15, 15, 15};
  for (size_t r = 0; r < rows.size(); ++r) {
    hm_node* parent = rows[r].second.empty() ? vexalon : at(rows[r].second);
    hm_node* last = nullptr;
    for (hm_node* made; (made = rows[r].first(parent, nullptr, nullptr, nullptr)) != nullptr;) last = made;
    ASSERT_NE(last, nullptr) << rows[r].second;
    EXPECT_EQ(instance_info(last)->number, maxima[r] - 1) << rows[r].second;
    const uint32_t allocations = varu_alloc_count();
    const int32_t in_use = tags_in_use();
    const std::string names = child_names(parent);
    EXPECT_EQ(rows[r].first(parent, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(varu_alloc_count(), allocations);
    EXPECT_EQ(tags_in_use(), in_use);
    EXPECT_EQ(child_names(parent), names);
  }
  // Each controller numbers its ports from 0; a port below a deeper chain than a controller's
  // (here a NIC physical HBA of the second controller) would take a bitfield past the array.
  hm_node* second = initialize_Vexalon(root, nullptr, nullptr, nullptr);
  hm_node* port0 = initialize_PortDiscoveryAndConfiguration(second, nullptr, nullptr, nullptr);
  ASSERT_NE(port0, nullptr);
  EXPECT_EQ(instance_info(port0)->number, 0);
  hm_node* nic = initialize_NICPhysicalHBA(second, nullptr, nullptr, nullptr);
  EXPECT_EQ(initialize_PortDiscoveryAndConfiguration(nic, nullptr, nullptr, nullptr), nullptr);
}

// What a set of `value` meets: 10 for a read-only property, else its rule's verdict. "Action:Param"
// names a parameter of an action; a leading "~" asks for the rule alone.
uint32_t outcome(hm_node* port, std::string path, const char* value) {
  const bool rule_only = path[0] == '~';
  if (rule_only) path.erase(0, 1);
  char buf[kValueSize];
  std::snprintf(buf, sizeof buf, "%s", value);
  const size_t colon = path.find(':');
  if (colon != std::string::npos) {
    const hm_action_descriptor* d = action_data(node_at(port, path.substr(0, colon)));
    for (int i = 0; d != nullptr && i < d->param_count; ++i) {
      const hm_action_param& p = d->params[i];
      if (path.compare(colon + 1, std::string::npos, p.name) == 0) return varu_validate(buf, p.allowed, p.vtype, p.min, p.max);
    }
    return 0xBAD;
  }
  const hm_property* p = property_data(node_at(port, path));
  if (p == nullptr) return 0xBAD;
  if (p->access == kReadOnly && !rule_only) return kStatusReadOnly;
  return varu_validate(buf, p->allowed, p->vtype, p->min, p->max);
}

TEST_F(PortTables, ValuesMeetTheRulesOfTheTables) {
  make_instances();
  const std::string admin_tlv = std::string(kTLV) + "AdministratorTLVSetting/";
  const std::string admin_pg = std::string(kPG) + "AdministratorPGSetting/";
  struct Row {
    std::string path;
    const char* value;
    uint32_t want;
  };
  const Row rows[] = {
      {"PortState", "enabled", 0},   // list items compare without regard to case
      {"TXThrottle", "123", kStatusBadLength},
      {"PortNumber", "1", kStatusReadOnly},
      {"TxFlowControl", "N/A", kStatusInvalidValue},   // its initial text, but not in its list
      {"SetPortSpeed:Speed", "40gb/10gb", 0},
      {"SetPortSpeed:DACCableLength", "11", kStatusOutOfRange},
      {"ChannelManagement/Channel0/LPVID", "4095", kStatusOutOfRange},
      {"~ChannelManagement/Channel0/MACAddress", "00:11:22:33:44:5", kStatusBadLength},
      {"~ChannelManagement/Channel0/MACAddress", "00:11:22:33:44:55", 0},
      {"LLDP/PeerConfiguration/TTL", "1", kStatusReadOnly},
      {"~LLDP/LLDPStatistics/TxPacketCount", "0", kStatusOutOfRange},   // maximum -1: all 32 bits
      {"DCBX/DCBXStatistics/UnrecognizedTLVs", "1", kStatusReadOnly},
      {"DCBX/DCBXPortVars/DCBXMode", "auto-ieee", 0},
      {"DCBX/DCBXPortVars/DCBXMode", "IEEE", kStatusInvalidValue},
      {"BaseT10G/NVPValue", "101", 0},   // a text of at most 100 characters, not a number
      {"BaseT10G/SelfTestResult", "0", kStatusReadOnly},
      {"BaseT10G/SelfTest:TestType", "crosstalk", 0},
      {"BaseT10G/SelfTest:SourceCable", "PairE", kStatusInvalidValue},
      {"DCBX/PFC/AdministratorPFCSetting/PriorityBitMap", "0xFF", 0},
      {"DCBX/PFC/AdministratorPFCSetting/PriorityBitMap", "0x1FF", kStatusBadLength},
      {"DCBX/QCN/AdministratorQCNSetting/CNPVBitMap", "0x1", kStatusReadOnly},
      {"DCBX/QCN/AdministratorQCNSetting/Enabled", "yes", 0},
      {admin_pg + "PG0/ConfigurePGSettings:Bandwidth", "255", 0},   // 255: no bandwidth limit
      {admin_pg + "PG0/ConfigurePGSettings:Bandwidth", "256", kStatusOutOfRange},
      {"~" + std::string(kPG) + "PeerPGSetting/PG0/Bandwidth", "255", kStatusOutOfRange},
      {admin_tlv + "DeleteApplicationTLV:InstanceNumber", "14", 0},
      {admin_tlv + "DeleteApplicationTLV:InstanceNumber", "15", kStatusOutOfRange},
      {admin_tlv + "AddApplicationTLV:ProtocolID", "99999", 0},
      {admin_tlv + "AddApplicationTLV:ProtocolID", "100000", kStatusOutOfRange},
      {admin_tlv + "ApplicationTLV0/PriorityBitMap", "0x08", 0},
      {std::string(kTLV) + "PeerTLVSetting/ApplicationTLV0/PriorityBitMap", "0x08", kStatusReadOnly},
  };
  for (const Row& r : rows) EXPECT_EQ(outcome(port, r.path, r.value), r.want) << r.path << " = " << r.value;
}

TEST_F(PortTables, TextsKeepTheirBlanksTabsAndSpellingAndFitTheirFields) {
  make_instances();
  const std::string at_register = "This property specifies at following register ";
  const std::string tv = ". For TV20460 this property will be enumerated as N/A.";
  const std::pair<std::string, std::string> rows[] = {
      {"", "This group allows per-port LLDP, DCBX, ICDSconfiguration and Beaconing."},
      {"RxFlowControl", "This property indicates whether the response to flow control messages is enabled"},
      {"BaseT10G/TimeSinceLinkHigh", at_register + "9\tRegister 30.16390" + tv},
      {"BaseT10G/AverageMSEPairA", at_register + "7 Register 30.16390" + tv},
      {"BaseT10G/PHYFrameCounter", at_register + "1\tRegister 30.16399-16403 Counter 0x80000200" + tv},
      {"BaseT10G/NVPUsed", "This property specifies the NVPUsed at the time when RunTDR test exectued."},
      {"BaseT10G/ClearCounters", "This command resets the counter to 0"},
      {"LLDP/PeerConfiguration/TTL", " This property indicates the LLDP TTL for peer configuration."},
      {"DCBX/PFC/PeerPFCSetting/Enabled",
       "The property specifies that the PFC feature is enabled on the peer when set to \"yes\". "},
      {std::string(kPG) + "PeerPGSetting/Enabled",
       " This PG feature is enabled on the peer when set to \"yes\" and disabled when  \"no\"."},
      {std::string(kPG) + "AdministratorPGSetting/NumPGSupported", " This propery specifies the number of PG supported."},
      {std::string(kTLV) + "PeerTLVSetting/Willing",
       " The peer is willing to accept application TLV settings sent by DCBX-enabled HBA when Willing=\"yes\". "},
  };
  for (const auto& [path, text] : rows) {
    hm_node* n = at(path);
    ASSERT_NE(n, nullptr) << path;
    EXPECT_EQ(std::string(n->description), text) << path;
  }
  const std::string pg = at(std::string(kPG) + "AdministratorPGSetting/PG0")->description;
  EXPECT_EQ(pg.substr(0, 30), " The Priority Group provides c");
  const std::string admin_tlvs = at(std::string(kTLV) + "AdministratorTLVSetting")->description;
  EXPECT_EQ(admin_tlvs.substr(admin_tlvs.size() - 17), "and enabled lags.");
  EXPECT_NE(std::strstr(at(std::string(kTLV) + "PeerTLVSetting/ApplicationTLV0")->description, " muliple ULPs"), nullptr);

  int counts[5] = {};
  walk(port, counts, [](hm_node* n) {
    EXPECT_LE(std::strlen(n->description), static_cast<size_t>(kDescriptionSize - 1)) << n->name;
    const hm_action_descriptor* d = n->kind == kAction ? action_data(n) : nullptr;
    for (int i = 0; d != nullptr && i < d->param_count; ++i) {
      EXPECT_LE(std::strlen(d->params[i].description), static_cast<size_t>(kDescriptionSize - 1)) << n->name;
    }
  });
  EXPECT_EQ(counts[kGroup] + counts[kProperty] + counts[kAction], static_cast<int>(kPortNodeCount) + 11 + (4 + 3 + 3) + 3 * 5);
}

}  // namespace
