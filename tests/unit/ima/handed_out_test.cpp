// What the front end hands out is taken back when a read after its allocation fails: the list is
// freed (ASan sees a leak) and the caller's pointer set to NULL; a value not read is not valid. A
// hand-built initiator whose properties read their cached values, without the properties read last.
#include <gtest/gtest.h>

#include "engine/hm.h"
#include "ima.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/logical_hba.h"
#include "schema/target.h"
#include "support/cached_tree.h"
#include "support/test_support.h"

namespace vx {
namespace {

TEST(HandedOut, AFailedReadHandsNothingOut) {
  vxtest::TempRoot root;
  ASSERT_EQ(IMA_VMW_PluginInit(1), IMA_STATUS_SUCCESS);
  hm_node* adapter = initialize_Vexalon(get_node(0), nullptr, nullptr, nullptr);
  hm_node* lhba = initialize_LogicalHBA(initialize_iSCSIPhysicalHBA(adapter, nullptr, nullptr, nullptr), nullptr, nullptr, nullptr);
  hm_node* portal = initialize_TargetPortal(initialize_Target(lhba, nullptr, nullptr, nullptr), nullptr, nullptr, nullptr);
  ASSERT_NE(portal, nullptr);
  vxtest::cache_values(adapter);
  hm_node* auth = internal_get_node(internal_get_node(lhba, "InitiatorLoginOptions", kGroup), "Authentication", kGroup);
  ASSERT_EQ(delete_node(internal_get_node(auth, "InitiatorSecret", kProperty)) + delete_node(internal_get_node(portal, "PortalGroupTag", kProperty)), 0u);
  int taken = 0;
  auto* list = reinterpret_cast<IMA_INITIATOR_AUTHPARMS_LIST*>(&taken);
  auto* keys = reinterpret_cast<IMA_ADDRESS_KEYS*>(&taken);
  EXPECT_EQ(IMA_GetLhbaMutualAuthParmsList({3, 1, static_cast<uint32_t>(lhba->tag), 0}, 1, &list), IMA_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(IMA_GetAddressKeys({9, 1, static_cast<uint32_t>(portal->tag), 0}, &keys), IMA_ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(list == nullptr && keys == nullptr);
  // A value that cannot be read is not reported as valid.
  hm_node* nic = internal_get_node(internal_get_node(lhba->parent, "Network", kGroup), "NICConfiguration", kGroup);
  hm_node* defaults = internal_get_node(lhba, "InitiatorDefaultLoginOptions", kGroup);
  ASSERT_EQ(delete_node(internal_get_node(nic, "MaxMTUSize", kProperty)) +
                delete_node(internal_get_node(defaults, "MaxBurstLength", kProperty)),
            0u);
  IMA_MIN_MAX_VALUE mtu, burst;
  EXPECT_EQ(IMA_VMW_GetMtuProperties({4, 1, static_cast<uint32_t>(lhba->parent->tag), 0}, &mtu), IMA_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(IMA_GetMaxBurstLengthProperties({3, 1, static_cast<uint32_t>(lhba->tag), 0}, &burst), IMA_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(mtu.currentValueValid + burst.currentValueValid, 0u);
  delete_node(adapter);
  IMA_VMW_PluginCleanup();
}

}  // namespace
}  // namespace vx
