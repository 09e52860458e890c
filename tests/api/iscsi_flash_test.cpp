// The boot-target and initiator-CHAP flash regions of a generation-5 adapter, edited by a boot
// login: what a region holds after a good edit, and a region left as it was when the edit is refused.
#include <cstring>

#include <gtest/gtest.h>

#include "engine/hm.h"
#include "tests/api/iscsi_fixture.h"

namespace vxtest {
namespace {

constexpr const char* kObjects = "/var/lib/vxsim/BL5202B0007/objects/%2Fiscsidata%2FPort0%2FInstance0%2FRegion";

class IscsiFlash : public IscsiLab {
 protected:
  std::string region(int n) const { return root_.read(kObjects + std::to_string(n)); }
  void put_region(int n, const std::string& bytes) const { root_.write(kObjects + std::to_string(n), bytes); }
  // The initiator's CHAP settings, which a new target takes.
  void initiator_chap(const char* method) {
    ASSERT_EQ(act(tag_at(std::string(kGen5Lhba) + "/InitiatorLoginOptions/Authentication"), "ConfigureCHAP",
                  {method, "store1", "mutualsecret1", "tgtuser", "tgtsecret123", "Required"}),
              0u);
  }
};

TEST_F(IscsiFlash, AMutualChapBootLoginWritesBothRegions) {
  initiator_chap("Mutual CHAP");
  ASSERT_EQ(add_target(kGen5Lhba, kChapTarget, "10.0.0.6", nullptr, "True"), 0u);
  EXPECT_EQ(value_at(target_path(kGen5Lhba, 0) + "/Session0/SessionStatus"), "Open");
  const std::string boot = region(3);
  for (const char* text : {kChapTarget, "tgtuser", "tgtsecret123", "store1", "mutualsecret1"}) {
    EXPECT_NE(boot.find(text), std::string::npos) << text;
  }
  const std::string chap = region(2);
  EXPECT_NE(chap.find(std::string("\x02\x07\x00\x03store1", 9)), std::string::npos);
  EXPECT_NE(chap.find(std::string("\x03\x0e\x00\x03mutualsecret1", 17)), std::string::npos);
  EXPECT_EQ(chap.size() % 4, 0u);
}

TEST_F(IscsiFlash, ARefusedEditLeavesTheRegionAsItWas) {
  const std::string past_end("\0\0\0\0\x10\0\0\0\0\0\0\0\0\0\0\0\x01\x01\0\0", 20);   // says 16, holds 4
  const std::string empty("\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 16);                     // no TLV at all
  const std::string sound("\0\0\0\0\x04\0\0\0\0\0\0\0\0\0\0\0\x01\x01\0\0", 20);
  const struct {
    std::string image;
    int fault_opcode;   // a write refused by the firmware, or 0
  } rows[] = {{past_end, 0}, {empty, 0}, {sound, 172}};
  int n = 0;
  for (const auto& r : rows) {
    SCOPED_TRACE(n);
    put_region(3, r.image);
    const std::string before = region(3);
    if (r.fault_opcode != 0) sim_.inject_status(r.fault_opcode, 1, 3, 0, 1);
    const std::string name = "iqn.2026-01.com.example:boot" + std::to_string(n++);
    EXPECT_STATUS(add_target(kGen5Lhba, name.c_str(), "10.0.0.5", nullptr, "True"), 306,
                  "Target Login succeeded, but failed to add the iSCSI Boot Target TLV in the iSCSI Region in "
                  "firmware.");
    EXPECT_EQ(region(3), before);
  }
}

}  // namespace
}  // namespace vxtest
