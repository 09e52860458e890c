// A small controller tree built with the engine's builder, for the walks and the host helpers.
//
//   ROOT
//     Vexalon0 ... Vexalon<n>            ActiveFirmwareVersion, FirmwareVersionOnFlash
//       iSCSIPhysicalHBA<n>, NICPhysicalHBA<n>   PortNumber, PCI/DeviceID
//       PortDiscoveryAndConfiguration<n> PortNumber
//         LogicalHBA<n>
//           Session<n>                  SessionState
#pragma once

#include <cstdint>

#include <gtest/gtest.h>

#include "engine/builder.h"
#include "engine/hm.h"
#include "support/test_support.h"

namespace vxtest::access_tree {

extern const vx::GroupSpec kVexalon;
extern const vx::GroupSpec kIscsiPhba;
extern const vx::GroupSpec kIscsiPhbaWithoutPci;
extern const vx::GroupSpec kNicPhba;
extern const vx::GroupSpec kPort;
extern const vx::GroupSpec kLogicalHba;
extern const vx::GroupSpec kLowerCaseLogicalHba;   // "logicalhba"
extern const vx::GroupSpec kSession;

// A property handler that always fails, for "cannot be read" cases.
uint32_t unreadable(hm_node* prop, char* buf, uint32_t op);

hm_node* build(const vx::GroupSpec& spec, hm_node* parent);
// Puts a driver record (first word = port handle) on a group; the fixture removes it before the
// tree is torn down.
void attach_record(hm_node* group, uint32_t handle);
// Frees the records attach_record made (TreeTest does it before the tree goes).
void release_records();
// The property node `name` of `group`.
hm_node* prop(hm_node* group, const char* name);
std::string value(hm_node* group, const char* name);
// Replaces a property's handler.
void set_handler(hm_node* group, const char* name, hm_property_handler handler);

class TreeTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  TempRoot temp_root;
  hm_node* root = nullptr;
};

}  // namespace vxtest::access_tree
