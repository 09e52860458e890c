// LUNs of a logged-in target through the public calls: the scan, the inquiry and capacity
// properties, and writes that land in the remote LUN's kept data.
#include <gtest/gtest.h>

#include "tests/api/iscsi_fixture.h"

namespace vxtest {
namespace {

class IscsiLuns : public IscsiLab {
 protected:
  void SetUp() override {
    IscsiLab::SetUp();
    ASSERT_EQ(add_target(kGen3Lhba, kOpenTarget, "10.0.0.5"), 0u);
    target_ = target_path(kGen3Lhba, 0);
    ASSERT_EQ(act(tag_at(target_), "ReScanLUNS", {}), 0u);
  }
  uint32_t write(int lun, const char* lba, const char* count) {
    return act(tag_at(target_ + "/LUN" + std::to_string(lun)), "SCSIWrite", {lba, count});
  }
  std::string target_;
};

TEST_F(IscsiLuns, ScanShowsEachLunsSizeBlockVendorAndSerial) {
  struct Row {
    const char* block;
    const char* size;
    const char* model;
    const char* serial;
    const char* number;
  };
  const Row rows[] = {
      {"512", "1.00 GB", "VDISK           ", "OPEN-0", "0000000000000000"},
      {"4096", "1.00 GB", "VDISK4K         ", "OPEN-1", "0000000000000100"},
      {"512", "512.00 KB", "VDISK           ", "OPEN-2", "0000000000000200"},
      {"512", "4.00 TB", "VDISK           ", "OPEN-3", "0000000000000300"},   // READ CAPACITY(16)
  };
  ASSERT_EQ(groups_under(target_).size(), 7u);   // options, portal, session, four LUNs
  for (size_t i = 0; i < 4; ++i) {
    const std::string lun = target_ + "/LUN" + std::to_string(i);
    SCOPED_TRACE(lun);
    EXPECT_EQ(value_at(lun + "/BlockSize"), rows[i].block);
    EXPECT_EQ(value_at(lun + "/LUNSize"), rows[i].size);
    EXPECT_EQ(value_at(lun + "/DeviceVendorName"), "QMC     ");
    EXPECT_EQ(value_at(lun + "/DeviceModelNumber"), rows[i].model);
    EXPECT_EQ(value_at(lun + "/LUNSerialNumber"), rows[i].serial);
    EXPECT_EQ(value_at(lun + "/LUNType"), "0x0");
    EXPECT_EQ(value_at(lun + "/LUNNumber"), rows[i].number);
    EXPECT_EQ(value_at(lun + "/LUNName"), "vmhba33:0:1");
    EXPECT_EQ(act(tag_at(lun), "StdInquiry", {}), 0u);
  }
}

TEST_F(IscsiLuns, WritesLandInTheLunDataInPiecesTheRequestCarries) {
  sim_.journal_clear();
  ASSERT_EQ(write(0, "10", "200"), 0u);
  size_t passthru = 0;
  for (const vxsim_journal_entry& e : sim_.commands()) passthru += e.opcode == 59 && e.subsystem == 6 ? 1 : 0;
  EXPECT_EQ(passthru, 3u) << "READ CAPACITY, then 127 and 73 blocks";
  std::vector<uint8_t> data = lun_blocks(kOpenTarget, 0, 9, 202, 512);
  ASSERT_EQ(data.size(), 202u * 512);
  EXPECT_TRUE(untouched(&data[0], 9, 512));
  for (uint32_t b = 1; b <= 200; ++b) EXPECT_EQ(data[b * 512 + 7], 0u) << "block " << 9 + b;
  EXPECT_TRUE(untouched(&data[201 * 512], 210, 512));

  ASSERT_EQ(write(1, "3", "20"), 0u);   // 4096-byte blocks: 15 to a request
  data = lun_blocks(kOpenTarget, 1, 3, 20, 4096);
  ASSERT_EQ(data.size(), 20u * 4096);
  EXPECT_EQ(data[19 * 4096 + 4095], 0u);
  EXPECT_TRUE(untouched(lun_blocks(kOpenTarget, 1, 23, 1, 4096).data(), 23, 4096));
}

TEST_F(IscsiLuns, AWriteTheTargetRefusesFailsAndChangesNothing) {
  EXPECT_EQ(write(2, "1000", "100"), 1u);   // past the 1024 blocks of LUN 2
  EXPECT_TRUE(untouched(lun_blocks(kOpenTarget, 2, 1000, 1, 512).data(), 1000, 512));
  // A closed session can be asked nothing.
  ASSERT_EQ(session_control(kOpenTarget, VXSIM_SESSION_CLOSE), 1);
  EXPECT_EQ(write(2, "0", "1"), 90u);
  EXPECT_EQ(last_status().text,
            "Failed to get LUN info. Application internal error occurred. Please check varu2d.log file for more "
            "information.");
  EXPECT_EQ(value_at(target_ + "/LUN0/BlockSize").front(), '<');
}

TEST_F(IscsiLuns, RescanKeepsTheLunsOfAnOpenSessionAndDropsThemWhenItCloses) {
  EXPECT_EQ(act(tag_at(target_), "ReScanLUNS", {}), 0u);
  EXPECT_EQ(groups_under(target_).size(), 7u);
  ASSERT_EQ(session_control(kOpenTarget, VXSIM_SESSION_CLOSE), 1);
  EXPECT_EQ(act(tag_at(target_), "ReScanLUNS", {}), 0u);
  EXPECT_EQ(groups_under(target_).size(), 3u) << "a closed session reports no LUNs";
}

}  // namespace
}  // namespace vxtest
