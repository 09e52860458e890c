// The iSCSI lab (examples/iscsi-lab.json) as the host's authentication, IP and login-parameter
// tests see it: the generation-5 adapter's second function, targets and SendTargets portals made
// through the hierarchy, and the values the entry points must have read or written.
#pragma once

#include <cstdio>

#include "tests/ima/ima_fixture.h"

namespace vxtest {

class SettingsTest : public ImaTest {
 protected:
  static constexpr const char* kPhba = "Vexalon1/iSCSIPhysicalHBA1";
  static constexpr const char* kLhba = "Vexalon1/iSCSIPhysicalHBA1/LogicalHBA0";

  void SetUp() override {
    ImaTest::SetUp();
    // The record of initiator login options that a first start writes for each logical HBA.
    std::string records;
    for (const char* key : {"Vexalon0,iSCSIPhysicalHBA0", "Vexalon0,iSCSIPhysicalHBA1", "Vexalon1,iSCSIPhysicalHBA0",
                            "Vexalon1,iSCSIPhysicalHBA1"}) {
      records += std::string(key) + ",LogicalHBA0,Yes,Yes,None,None,None,,,,,Prohibited,Prohibited,Prohibited\n";
    }
    root.write("/scratch/Talvix/intr_logopts.txt", records);
    started("iscsi-lab.json");
  }

  // An action through the plug-in's hierarchy API, its slots in order; NULL and the slots after the
  // list are parameters not given.
  uint32_t act(const std::string& group, const char* action, std::initializer_list<const char*> params = {}) {
    char block[VARU_PARAM_COUNT][VARU_VALUE_SIZE] = {};
    for (auto& slot : block) slot[0] = static_cast<char>(VARU_PARAM_ABSENT);
    size_t i = 0;
    for (const char* p : params) {
      if (p != nullptr) std::snprintf(block[i], VARU_VALUE_SIZE, "%s", p);
      ++i;
    }
    auto run = reinterpret_cast<decltype(&VARU_do_action)>(host.symbol("VARU_do_action"));
    return run(tag_at(group), tag_at(group + "/" + action, VARU_KIND_ACTION), block, nullptr);
  }
  // Property values below `group`, read through the hierarchy and joined by "|".
  std::string values(const std::string& group, std::initializer_list<const char*> properties) {
    auto read = reinterpret_cast<decltype(&VARU_get_property_val)>(host.symbol("VARU_get_property_val"));
    std::string out;
    for (const char* p : properties) {
      char text[VARU_VALUE_SIZE] = "";
      const std::string path = group + "/" + p;
      const size_t slash = path.rfind('/');
      read(tag_at(path.substr(0, slash)), tag_at(path, VARU_KIND_PROPERTY), text, sizeof text);
      out += (out.empty() ? "" : "|") + std::string(text);
    }
    return out;
  }
  // A lab target added to the logical HBA; the path of the target.
  std::string add_target(const char* name, const char* address) {
    EXPECT_EQ(act(kLhba, "AddTarget", {name, address}), 0u) << name;
    std::string path;
    for (int m = 0; m < 8 && path.empty(); ++m) {
      const std::string target = std::string(kLhba) + "/Target" + std::to_string(m);
      if (values(target, {"TargetISCSIName"}) == name) path = target;
    }
    return path;
  }
  // A SendTargets portal added to the logical HBA; its path.
  std::string add_discovery_portal(const char* address) {
    EXPECT_EQ(act(std::string(kLhba) + "/Discovery", "AddSendTargetPortal", {address, "3260"}), 0u);
    return std::string(kLhba) + "/Discovery/SendTargetPortal0";
  }
};

}  // namespace vxtest
