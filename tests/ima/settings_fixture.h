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
      read(tag_at(group), tag_at(group + "/" + p, VARU_KIND_PROPERTY), text, sizeof text);
      out += (out.empty() ? "" : "|") + std::string(text);
    }
    return out;
  }
  // A lab target added as the logical HBA's first; its path.
  std::string add_target(const char* name, const char* address) {
    const std::string target = std::string(kLhba) + "/Target0";
    EXPECT_EQ(act(kLhba, "AddTarget", {name, address}), 0u) << name;
    EXPECT_EQ(values(target, {"TargetISCSIName"}), name);
    return target;
  }
  // A SendTargets portal added to the logical HBA; its path.
  std::string add_discovery_portal(const char* address) {
    EXPECT_EQ(act(std::string(kLhba) + "/Discovery", "AddSendTargetPortal", {address, "3260"}), 0u);
    return std::string(kLhba) + "/Discovery/SendTargetPortal0";
  }
};

}  // namespace vxtest
