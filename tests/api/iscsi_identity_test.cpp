// The initiator's name, alias, QoS limits and Enabled flag through the public calls.
#include <gtest/gtest.h>

#include "tests/api/iscsi_fixture.h"

namespace vxtest {
namespace {

std::string name_prop(const char* lhba, const char* prop) {
  return value_at(std::string(lhba) + "/InitiatoriSCSIName/" + prop);
}
uint32_t set_at(const std::string& group, const char* prop, const char* value) {
  return set_value(tag_at(group), prop, value);
}

TEST_F(IscsiLab, NameAndAliasAreOneSettingOfEveryFunction) {
  const std::string group = std::string(kGen3Lhba) + "/InitiatoriSCSIName";
  EXPECT_EQ(name_prop(kGen3Lhba, "InitiatoriSCSIName"), kGen3Initiator);
  ASSERT_EQ(set_at(group, "InitiatorAlias", "lab-host"), 0u);
  ASSERT_EQ(set_at(group, "InitiatoriSCSIName", "IQN.2026-02.COM.EXAMPLE:HOST"), 0u);
  for (const char* lhba : {kGen3Lhba, kGen5Lhba, "Vexalon0/iSCSIPhysicalHBA1/LogicalHBA0"}) {
    EXPECT_EQ(name_prop(lhba, "InitiatorAlias"), "lab-host") << lhba;
    EXPECT_EQ(name_prop(lhba, "InitiatoriSCSIName"), "iqn.2026-02.com.example:host") << lhba;
  }
  EXPECT_STATUS(set_at(group, "InitiatoriSCSIName", "iqn.2026-02.com.example:a_b"), 30,
                "Invalid iSCSI name. Please use valid iSCSI name as per RFC 3722.");
  sim_.inject_status(7, 6, 1, 0xFF, -1);
  EXPECT_STATUS(set_at(group, "InitiatorAlias", "other"), 111,
                "Failed to set initiator name and initiator alias. Application internal error occurred. Please check "
                "varu2d.log file for more information.");
  sim_.clear_faults();
  sim_.inject_status(6, 6, 1, 0xFF, 1);
  EXPECT_STATUS(VARU_get_property_val(tag_at(group), tag_at(group + "/InitiatorAlias", VARU_KIND_PROPERTY),
                                      std::vector<char>(256).data(), 256),
                110,
                "Failed to obtain initiator name and initiator alias. Application internal error occurred. Please "
                "check varu2d.log file for more information.");
}

TEST_F(IscsiLab, QosIsShownInItsUnitsAndReadBackFromTheFirmware) {
  const std::string qos = std::string(kGen3Lhba) + "/iSCSIQoS";
  ASSERT_EQ(set_at(qos, "MaxBytesPerSecond", "1000"), 0u);
  ASSERT_EQ(set_at(qos, "MaxIosPerSecond", "0x10"), 0u);   // the base rule of the value check
  EXPECT_EQ(value_at(qos + "/MaxBytesPerSecond"), "1000");
  EXPECT_EQ(value_at(qos + "/MaxIosPerSecond"), "16");
  EXPECT_EQ(value_at(std::string(kGen5Lhba) + "/iSCSIQoS/MaxIosPerSecond"), "0") << "a limit of one function only";
  sim_.inject_status(28, 1, 3, 0, 1);
  EXPECT_STATUS(set_at(qos, "MaxIosPerSecond", "5"), 115,
                "Failed to set iSCSI QoS properties. Application internal error occurred. Please check varu2d.log file "
                "for more information.");
  EXPECT_EQ(value_at(qos + "/MaxIosPerSecond"), "16");
}

TEST_F(IscsiLab, TheLogicalHbaStaysEnabled) {
  EXPECT_STATUS(set_at(kGen3Lhba, "Enabled", "false"), 47, "LogicalHBA0 is always enabled. It cannot be disabled.");
  sim_.journal_clear();
  EXPECT_EQ(set_at(kGen3Lhba, "Enabled", "True"), 0u);
  EXPECT_TRUE(sim_.commands().empty());
  EXPECT_EQ(value_at(std::string(kGen3Lhba) + "/Enabled"), "True");
}

}  // namespace
}  // namespace vxtest
