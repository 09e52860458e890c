// What the front end hands out is taken back when a read after its allocation fails: the list is
// freed and the caller's pointer set to NULL (ASan sees any leak). A hand-built initiator whose
// properties read their cached values, with the properties read last removed.
#include <gtest/gtest.h>

#include "engine/hm.h"
#include "ima.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/logical_hba.h"
#include "schema/target.h"
#include "support/cached_tree.h"
#include "support/test_support.h"

namespace {

TEST(HandedOut, AFailedReadHandsNothingOut) {
  vxtest::TempRoot root;
  ASSERT_EQ(IMA_VMW_PluginInit(1), IMA_STATUS_SUCCESS);
  hm_node* adapter = vx::initialize_Vexalon(vx::get_node(0), nullptr, nullptr, nullptr);
  hm_node* lhba = vx::initialize_LogicalHBA(vx::initialize_iSCSIPhysicalHBA(adapter, nullptr, nullptr, nullptr),
                                            nullptr, nullptr, nullptr);
  hm_node* portal =
      vx::initialize_TargetPortal(vx::initialize_Target(lhba, nullptr, nullptr, nullptr), nullptr, nullptr, nullptr);
  ASSERT_NE(portal, nullptr);
  vxtest::cache_values(adapter);
  hm_node* auth =
      vx::internal_get_node(vx::internal_get_node(lhba, "InitiatorLoginOptions", kGroup), "Authentication", kGroup);
  ASSERT_EQ(vx::delete_node(vx::internal_get_node(auth, "InitiatorSecret", kProperty)), 0u);
  ASSERT_EQ(vx::delete_node(vx::internal_get_node(portal, "PortalGroupTag", kProperty)), 0u);

  int taken = 0;
  auto* list = reinterpret_cast<IMA_INITIATOR_AUTHPARMS_LIST*>(&taken);
  EXPECT_EQ(IMA_GetLhbaMutualAuthParmsList({IMA_OBJECT_TYPE_LHBA, 1, static_cast<uint32_t>(lhba->tag), 0}, 1, &list),
            IMA_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(list, nullptr);
  auto* keys = reinterpret_cast<IMA_ADDRESS_KEYS*>(&taken);
  EXPECT_EQ(IMA_GetAddressKeys({IMA_OBJECT_TYPE_TARGET, 1, static_cast<uint32_t>(portal->tag), 0}, &keys),
            IMA_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(keys, nullptr);
  vx::delete_node(adapter);
  IMA_VMW_PluginCleanup();
}

}   // namespace
