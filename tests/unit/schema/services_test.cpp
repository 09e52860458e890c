// The adapter-service groups under a controller (link configurations, profiles, NC-SI, trace
// modules, event log): each builder stops at its maximum per parent instance and leaves the tree as
// it was; the value rules of their properties.
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "schema/event_log.h"
#include "schema/ext_fat.h"
#include "schema/link_config.h"
#include "schema/ncsi.h"
#include "schema/profile.h"
#include "unit/schema/schema_fixture.h"

namespace {

using namespace vx;
using vxtest::node_at;
using Builder = hm_node* (*)(hm_node*, hm_node*, hm_node*, char[6][256]);

using ServiceGroups = vxtest::WithParents<vxtest::TreeFixture, vxtest::Depth::kController>;

int instances_of(hm_node* parent, const char* name) {
  int n = 0;
  for (hm_node* c = group_data(parent)->first_child; c != parent; c = c->next) {
    n += c->kind == kGroup && instance_info(c) != nullptr && std::strcmp(c->name, name) == 0;
  }
  return n;
}

// In order: a later row's parent may be an instance an earlier row made. The two Port groups, and
// the modes of two modules, count apart.
struct Family {
  const char* group;
  Builder build;
  const char* parent;   // below Vexalon0
  int max;
};
constexpr Family kFamilies[] = {
    {"LinkConfig", initialize_LinkConfig, "LinkReconfiguration", 32},
    {"Profile", initialize_Profile, "ProfileManagement", 100},
    {"Protocol", initialize_Profile_Protocol, "ProfileManagement/Profile99", 8},
    {"Port", initialize_ActiveProfile_Port, "ProfileManagement/ActiveProfile", 4},
    {"Port", initialize_ConfiguredProfile_Port, "ProfileManagement/ConfiguredProfile", 4},
    {"Function", initialize_ActiveProfile_Port_Function, "ProfileManagement/ActiveProfile/Port3", 64},
    {"Function", initialize_ConfiguredProfile_Port_Function, "ProfileManagement/ConfiguredProfile/Port3", 64},
    {"NCSIStaticConfiguration", initialize_NCSIStaticConfiguration, "NCSI", 1},
    {"NCSIDynamicConfiguration", initialize_NCSIDynamicConfiguration, "NCSI", 1},
    {"ExtFATModule", initialize_ExtFATModule, "ExtFATData", 64},
    {"ExtFATMode", initialize_ExtFATMode, "ExtFATData/ExtFATModule0", 2},
    {"ExtFATMode", initialize_ExtFATMode, "ExtFATData/ExtFATModule63", 2},
    {"EventLogEntry", initialize_EventLogEntry, "EventLog", 1024},
};

TEST_F(ServiceGroups, EachStopsAtItsMaximumAndLeavesTheTreeAsItWas) {
  for (const Family& f : kFamilies) {
    hm_node* parent = node_at(vexalon, f.parent);
    ASSERT_NE(parent, nullptr) << f.parent;
    for (int i = 0; i < f.max; ++i) ASSERT_NE(f.build(parent, nullptr, nullptr, nullptr), nullptr) << f.group << i;
    const uint32_t allocations = varu_alloc_count();
    const int32_t tags = vxtest::tags_in_use();
    EXPECT_EQ(f.build(parent, nullptr, nullptr, nullptr), nullptr) << f.parent;
    EXPECT_EQ(varu_alloc_count(), allocations) << f.parent;
    EXPECT_EQ(vxtest::tags_in_use(), tags) << f.parent;
    EXPECT_EQ(instances_of(parent, f.group), f.max) << f.parent;
  }
}

// A value against the rule its property stores, as a write through the public call checks it.
struct Check {
  const char* property;   // below Vexalon0, once one instance of every group is made
  const char* value;
  uint32_t want;
};
constexpr Check kChecks[] = {
    {"ProfileManagement/ActiveProfile/Port0/MCType", "hpflex", 0},   // lists ignore case
    {"ProfileManagement/ConfiguredProfile/Port0/MCType", "HPZMC", 0},
    {"ProfileManagement/ConfiguredProfile/Port0/MCType", "vNIC3", kStatusInvalidValue},
    {"ProfileManagement/ConfiguredProfile/Port0/Function0/MACAddress", "00:00:00:00:00:00", 0},
    {"ProfileManagement/ConfiguredProfile/Port0/Function0/MACAddress", "00:00:00:00:00:0", kStatusBadLength},
    {"ProfileManagement/ConfiguredProfile/Port0/Function0/SRIOVState", "enabled", 0},
    {"ProfileManagement/ConfiguredProfile/Port0/Function0/Protocol", "RoCE-NIC1", kStatusBadLength},
    {"ProfileManagement/Profile0/ProfileId", "256", 0},
    {"ProfileManagement/Profile0/ProfileId", "257", kStatusOutOfRange},
    {"ProfileManagement/Profile0/Protocol0/FunctionCount", "0", kStatusOutOfRange},
    {"LinkReconfiguration/LinkConfig0/LinkConfigID", "0x20", 0},
    {"LinkReconfiguration/LinkConfig0/LinkConfigDescription", "", kStatusBadLength},
    {"NCSI/NCSIDynamicConfiguration0/MgmtVLANId", "4095", 0},
    {"NCSI/NCSIDynamicConfiguration0/MgmtVLANId", "4096", kStatusOutOfRange},
    {"NCSI/NCSIDynamicConfiguration0/MgmtVLANId", "-1", kStatusOutOfRange},
    {"NCSI/NCSIDynamicConfiguration0/MgmtVLANId", "VLAN5", kStatusInvalidValue},
    {"NCSI/NCSIDynamicConfiguration0/EnableWOLPort1", "YES", 0},
    {"ExtFATData/ExtFATModule0/ExtFATMode0/TraceLevel", "255", 0},
    {"ExtFATData/ExtFATModule0/ExtFATMode0/TraceLevel", "2", kStatusInvalidValue},
    {"ExtFATData/ExtFATModule0/ExtFATMode0/PortMask", "0xC", 0},
    {"ExtFATData/ExtFATModule0/ExtFATMode0/PortMask", "0x1FF", kStatusBadLength},
    {"ExtFATData/ExtFATModule0/ExtFATMode0/PCIFunctionMask", "0xFFFFFFFFFFFFFFFFF", kStatusBadLength},
    {"EventLog/EventLogEntry0/Severity", "informational", 0},
    {"EventLog/EventLogEntry0/Severity", "Critical", kStatusInvalidValue},
    {"EventLog/EventLogEntry0/ErrorCode", "256", kStatusOutOfRange},
};

TEST_F(ServiceGroups, PropertiesCheckValuesByTheirStoredRules) {
  hm_node* profiles = node_at(vexalon, "ProfileManagement");
  hm_node* configured_port = initialize_ConfiguredProfile_Port(node_at(profiles, "ConfiguredProfile"), nullptr,
                                                               nullptr, nullptr);
  const hm_node* made[] = {
      initialize_Profile_Protocol(initialize_Profile(profiles, nullptr, nullptr, nullptr), nullptr, nullptr, nullptr),
      initialize_ActiveProfile_Port(node_at(profiles, "ActiveProfile"), nullptr, nullptr, nullptr),
      initialize_ConfiguredProfile_Port_Function(configured_port, nullptr, nullptr, nullptr),
      initialize_LinkConfig(node_at(vexalon, "LinkReconfiguration"), nullptr, nullptr, nullptr),
      initialize_NCSIDynamicConfiguration(node_at(vexalon, "NCSI"), nullptr, nullptr, nullptr),
      initialize_ExtFATMode(initialize_ExtFATModule(node_at(vexalon, "ExtFATData"), nullptr, nullptr, nullptr),
                            nullptr, nullptr, nullptr),
      initialize_EventLogEntry(node_at(vexalon, "EventLog"), nullptr, nullptr, nullptr),
  };
  for (const hm_node* m : made) ASSERT_NE(m, nullptr);
  for (const Check& c : kChecks) {
    const hm_property* p = property_data(node_at(vexalon, c.property));
    ASSERT_NE(p, nullptr) << c.property;
    char value[kValueSize];
    std::snprintf(value, sizeof value, "%s", c.value);
    EXPECT_EQ(varu_validate(value, p->allowed, p->vtype, p->min, p->max), c.want) << c.property << " = " << c.value;
  }
}

}  // namespace
