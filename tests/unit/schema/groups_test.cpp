// One instance of every group of the schema: each against its listing, and the handlers still
// waiting for their behaviour (which table rows point at them; the number only goes down).
#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "schema/application_tlv.h"
#include "schema/dcb_features.h"
#include "schema/event_log.h"
#include "schema/ext_fat.h"
#include "schema/link_config.h"
#include "schema/ncsi.h"
#include "schema/nic_hba.h"
#include "schema/pending.h"
#include "schema/port.h"
#include "schema/profile.h"
#include "schema/send_target_portal.h"
#include "schema/session.h"
#include "schema/table_entries.h"
#include "unit/schema/listing.h"
#include "unit/schema/schema_fixture.h"

namespace {

using namespace vx;
using vxtest::node_at;

// Rows of the schema that point at a pending handler, over one instance of every group. Lower it
// when a handler gets its behaviour; it must never rise.
constexpr size_t kPendingRowCeiling = 0;

class EveryGroup : public vxtest::WithParents<vxtest::TreeFixture, vxtest::Depth::kTarget> {
 protected:
  void SetUp() override {
    WithParents::SetUp();
    if (HasFatalFailure()) return;
    hm_node* session = initialize_Session(target, nullptr, nullptr, nullptr);
    hm_node* nic = initialize_NICPhysicalHBA(vexalon, nullptr, nullptr, nullptr);
    made_ = {
        {"Vexalon", vexalon},
        {"iSCSIPhysicalHBA", phba},
        {"LogicalHBA", lhba},
        {"Target", target},
        {"Session", session},
        {"NICPhysicalHBA", nic},
        {"TargetPortal", initialize_TargetPortal(target, nullptr, nullptr, nullptr)},
        {"LUN", initialize_LUN(target, nullptr, nullptr, nullptr)},
        {"Connection", initialize_Connection(session, nullptr, nullptr, nullptr)},
        {"SendTargetPortal", initialize_SendTargetPortal(node_at(lhba, "Discovery"), nullptr, nullptr, nullptr)},
        {"RouteTableEntry", initialize_RouteTableEntry(node_at(phba, "Network/TCPIPConfiguration/RouteTable"),
                                                       nullptr, nullptr, nullptr)},
        {"ARPTableEntry",
         initialize_ARPTableEntry(node_at(phba, "Network/TCPIPConfiguration/ARPTable"), nullptr, nullptr, nullptr)},
        {"iSNSServer", initialize_iSNSServer(node_at(phba, "iSNS"), nullptr, nullptr, nullptr)},
        {"NICLogicalHBA", initialize_NICLogicalHBA(nic, nullptr, nullptr, nullptr)},
    };
    hm_node* profiles = node_at(vexalon, "ProfileManagement");
    hm_node* profile = initialize_Profile(profiles, nullptr, nullptr, nullptr);
    hm_node* active_port = initialize_ActiveProfile_Port(node_at(profiles, "ActiveProfile"), nullptr, nullptr, nullptr);
    hm_node* configured_port =
        initialize_ConfiguredProfile_Port(node_at(profiles, "ConfiguredProfile"), nullptr, nullptr, nullptr);
    hm_node* module = initialize_ExtFATModule(node_at(vexalon, "ExtFATData"), nullptr, nullptr, nullptr);
    made_.insert({
        {"LinkConfig", initialize_LinkConfig(node_at(vexalon, "LinkReconfiguration"), nullptr, nullptr, nullptr)},
        {"Profile", profile},
        {"Protocol", initialize_Profile_Protocol(profile, nullptr, nullptr, nullptr)},
        {"ActiveProfile_Port", active_port},
        {"ActiveProfile_Port_Function", initialize_ActiveProfile_Port_Function(active_port, nullptr, nullptr, nullptr)},
        {"ConfiguredProfile_Port", configured_port},
        {"ConfiguredProfile_Port_Function",
         initialize_ConfiguredProfile_Port_Function(configured_port, nullptr, nullptr, nullptr)},
        {"NCSIStaticConfiguration",
         initialize_NCSIStaticConfiguration(node_at(vexalon, "NCSI"), nullptr, nullptr, nullptr)},
        {"NCSIDynamicConfiguration",
         initialize_NCSIDynamicConfiguration(node_at(vexalon, "NCSI"), nullptr, nullptr, nullptr)},
        {"ExtFATModule", module},
        {"ExtFATMode", initialize_ExtFATMode(module, nullptr, nullptr, nullptr)},
        {"EventLogEntry", initialize_EventLogEntry(node_at(vexalon, "EventLog"), nullptr, nullptr, nullptr)},
    });
    for (const auto& [name, node] : made_) ASSERT_NE(node, nullptr) << name;
    // The port groups have no listing: port_test.cpp checks their tables.
    hm_node* port = initialize_PortDiscoveryAndConfiguration(vexalon, nullptr, nullptr, nullptr);
    ASSERT_NE(port, nullptr);
    const std::string pg = "DCBX/PriorityGroups/", tlv = "DCBX/ApplicationTLVGroups/";
    for (hm_node* built :
         {initialize_Channel(node_at(port, "ChannelManagement"), nullptr, nullptr, nullptr),
          initialize_AdministratorPGSetting_PG(node_at(port, pg + "AdministratorPGSetting"), nullptr, nullptr, nullptr),
          initialize_PeerPGSetting_PG(node_at(port, pg + "PeerPGSetting"), nullptr, nullptr, nullptr),
          initialize_OperationalPGSettings_PG(node_at(port, pg + "OperationalPGSettings"), nullptr, nullptr, nullptr),
          initialize_AdministratorTLVSetting_ApplicationTLV(node_at(port, tlv + "AdministratorTLVSetting"), nullptr,
                                                            nullptr, nullptr),
          initialize_PeerTLVSetting_ApplicationTLV(node_at(port, tlv + "PeerTLVSetting"), nullptr, nullptr, nullptr),
          initialize_OperationalTLVSettings_ApplicationTLV(node_at(port, tlv + "OperationalTLVSettings"), nullptr,
                                                           nullptr, nullptr)}) {
      ASSERT_NE(built, nullptr);
    }
  }

  // Pending handlers installed by the rows below `node`: the rows counted, the handlers named.
  void pending_rows(hm_node* node, size_t* rows, std::set<std::string>* used) {
    static const std::map<const void*, std::string> pending = [] {
      std::map<const void*, std::string> m;
      for (size_t i = 0; i < kPendingHandlerCount; ++i) m[kPendingHandlers[i].address] = kPendingHandlers[i].name;
      return m;
    }();
    const void* handler = nullptr;
    if (hm_property* p = property_data(node)) handler = reinterpret_cast<const void*>(p->handler);
    if (const hm_action_descriptor* a = action_data(node)) handler = reinterpret_cast<const void*>(a->handler);
    hm_group_data* g = group_data(node);
    if (g != nullptr) handler = reinterpret_cast<const void*>(g->refresh);
    if (auto it = pending.find(handler); handler != nullptr && it != pending.end()) {
      ++*rows;
      used->insert(it->second);
    }
    for (hm_node* c = g != nullptr ? g->first_child : nullptr; c != node && c != nullptr; c = c->next) {
      pending_rows(c, rows, used);
    }
  }

  std::map<std::string, hm_node*> made_;
};

TEST_F(EveryGroup, MatchesItsListingAndPendingHandlersOnlyShrink) {
  for (const auto& [name, node] : made_) EXPECT_TRUE(vxtest::MatchesListing(name + ".tsv", node));
  size_t rows = 0;
  std::set<std::string> used;
  pending_rows(root, &rows, &used);
  EXPECT_LE(rows, kPendingRowCeiling) << "a table row points at a pending handler that was not pending before";
  for (size_t i = 0; i < kPendingHandlerCount; ++i) {
    EXPECT_EQ(used.count(kPendingHandlers[i].name), 1u) << kPendingHandlers[i].name << " is installed by no row";
  }
}

}  // namespace
