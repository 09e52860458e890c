// The handlers still waiting for their behaviour: which schema rows point at them. The number only
// goes down as handlers get their real behaviour.
#include <cstring>
#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "engine/hm.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/logical_hba.h"
#include "schema/nic_hba.h"
#include "schema/pending.h"
#include "schema/send_target_portal.h"
#include "schema/session.h"
#include "schema/table_entries.h"
#include "schema/target.h"
#include "support/test_support.h"

namespace {

using namespace vx;

// Rows of the schema that point at a pending handler, counted over one instance of every group.
// Lower it when a handler gets its behaviour; it must never rise.
constexpr size_t kPendingRowCeiling = 157;

hm_node* at(hm_node* group, const char* path) {
  std::string rest = path;
  hm_node* node = group;
  while (node != nullptr && !rest.empty()) {
    size_t slash = rest.find('/');
    std::string part = rest.substr(0, slash);
    node = internal_get_node(node, part.c_str(), kGroup);
    rest = slash == std::string::npos ? "" : rest.substr(slash + 1);
  }
  return node;
}

// One instance of every group of the schema.
class PendingHandlers : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(init_hm(), 0);
    hm_node* root = get_node(0);
    hm_node* controller = initialize_Vexalon(root, nullptr, nullptr, nullptr);
    hm_node* phba = initialize_iSCSIPhysicalHBA(controller, nullptr, nullptr, nullptr);
    hm_node* lhba = initialize_LogicalHBA(phba, nullptr, nullptr, nullptr);
    hm_node* target = initialize_Target(lhba, nullptr, nullptr, nullptr);
    hm_node* session = initialize_Session(target, nullptr, nullptr, nullptr);
    hm_node* nic = initialize_NICPhysicalHBA(controller, nullptr, nullptr, nullptr);
    const hm_node* made[] = {
        controller,
        phba,
        lhba,
        target,
        session,
        nic,
        initialize_TargetPortal(target, nullptr, nullptr, nullptr),
        initialize_LUN(target, nullptr, nullptr, nullptr),
        initialize_Connection(session, nullptr, nullptr, nullptr),
        initialize_SendTargetPortal(at(lhba, "Discovery"), nullptr, nullptr, nullptr),
        initialize_RouteTableEntry(at(phba, "Network/TCPIPConfiguration/RouteTable"), nullptr, nullptr, nullptr),
        initialize_ARPTableEntry(at(phba, "Network/TCPIPConfiguration/ARPTable"), nullptr, nullptr, nullptr),
        initialize_iSNSServer(at(phba, "iSNS"), nullptr, nullptr, nullptr),
        initialize_NICLogicalHBA(nic, nullptr, nullptr, nullptr),
    };
    for (const hm_node* n : made) ASSERT_NE(n, nullptr);
    for (size_t i = 0; i < kPendingHandlerCount; ++i) pending_[kPendingHandlers[i].address] = kPendingHandlers[i].name;
    walk(root);
  }
  void TearDown() override { exit_hm(); }

  void walk(hm_node* node) {
    const void* handler = nullptr;
    if (hm_property* p = property_data(node)) handler = reinterpret_cast<const void*>(p->handler);
    if (const hm_action_descriptor* a = action_data(node)) handler = reinterpret_cast<const void*>(a->handler);
    if (hm_group_data* g = group_data(node)) handler = reinterpret_cast<const void*>(g->refresh);
    if (auto it = pending_.find(handler); handler != nullptr && it != pending_.end()) {
      ++rows_;
      used_.insert(it->second);
    }
    hm_group_data* g = group_data(node);
    if (g == nullptr) return;
    for (hm_node* c = g->first_child; c != node && c != nullptr; c = c->next) walk(c);
  }

  vxtest::TempRoot temp_root_;
  std::map<const void*, std::string> pending_;
  std::set<std::string> used_;
  size_t rows_ = 0;
};

TEST_F(PendingHandlers, OnlyShrink) {
  EXPECT_LE(rows_, kPendingRowCeiling) << "a table row points at a pending handler that was not pending before";
  std::string list;
  for (const std::string& name : used_) list += name + " ";
  RecordProperty("pending_rows", std::to_string(rows_));
  RecordProperty("pending_handlers", list);
}

TEST_F(PendingHandlers, EveryPendingHandlerIsStillUsedByATable) {
  for (size_t i = 0; i < kPendingHandlerCount; ++i) {
    EXPECT_EQ(used_.count(kPendingHandlers[i].name), 1u)
        << kPendingHandlers[i].name << " is pending but no table row installs it";
  }
}

TEST_F(PendingHandlers, AnswerNotSupported) {
  hm_node* controller = at(get_node(0), "Vexalon0");
  char buf[256] = "";
  varu_set_last_status(0, "");
  EXPECT_EQ(handle_vx_controller_properties(internal_get_node(controller, "BIOSVersion", kProperty), buf, kGet), 149u);
  vxtest::LastStatus status = vxtest::last_status();
  EXPECT_EQ(status.code, 149u);
  EXPECT_EQ(status.text, "This Operation is not supported.");
  char params[6][256] = {};
  EXPECT_EQ(do_UpgradeFlashROM(controller, nullptr, params), 149u);
  EXPECT_EQ(group_Discovery(controller), 149u);
}

}  // namespace
