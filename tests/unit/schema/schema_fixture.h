// What the schema tests share: the parents an iSCSI group hangs under and paths of shown names.
#pragma once

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "engine/hm.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/logical_hba.h"
#include "schema/target.h"
#include "unit/engine/tree_helpers.h"

namespace vxtest {

// How far the chain an iSCSI group hangs under is built: controller, physical HBA, logical HBA,
// target.
enum class Depth { kController, kPhysicalHba, kLogicalHba, kTarget };

// A started hierarchy (TreeFixture, or any fixture with a `root`) with the chain built under
// "ROOT" as far as `depth`, without creating actions, as enumeration builds it.
template <class Started, Depth depth>
class WithParents : public Started {
 protected:
  void SetUp() override {
    Started::SetUp();
    if (this->HasFatalFailure()) return;
    vexalon = vx::initialize_Vexalon(this->root, nullptr, nullptr, nullptr);
    ASSERT_NE(vexalon, nullptr);
    if (depth == Depth::kController) return;
    phba = vx::initialize_iSCSIPhysicalHBA(vexalon, nullptr, nullptr, nullptr);
    ASSERT_NE(phba, nullptr);
    if (depth == Depth::kPhysicalHba) return;
    lhba = vx::initialize_LogicalHBA(phba, nullptr, nullptr, nullptr);
    ASSERT_NE(lhba, nullptr);
    if (depth == Depth::kLogicalHba) return;
    target = vx::initialize_Target(lhba, nullptr, nullptr, nullptr);
    ASSERT_NE(target, nullptr);
  }

  hm_node* vexalon = nullptr;
  hm_node* phba = nullptr;
  hm_node* lhba = nullptr;
  hm_node* target = nullptr;
};

// The node at a "/"-separated path of shown names below `from` ("." stays where it is, "" is
// `from` itself), each step looking for a node of `kind` (0: any). NULL when a step finds nothing.
inline hm_node* node_at(hm_node* from, const std::string& path, uint32_t kind = 0) {
  hm_node* node = from;
  for (size_t start = 0; node != nullptr && start < path.size();) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    const std::string part = path.substr(start, slash - start);
    if (part != ".") node = vx::internal_get_node(node, part.c_str(), kind);
    start = slash + 1;
  }
  return node;
}

}  // namespace vxtest
