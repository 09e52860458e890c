// Login parameters through the IMA entry points at the four levels (logical HBA, target, static
// target, SendTargets portal) on the simulated lab, against what the hierarchy holds.
#include "tests/ima/settings_fixture.h"

namespace vxtest {
namespace {

const IMA_UINT kNoDigest[] = {IMA_DIGEST_NONE};

class LoginParamsTest : public SettingsTest {
 protected:
  struct Level {
    IMA_OID oid;
    std::string options;   // its login-options group
  };
  void SetUp() override {
    SettingsTest::SetUp();
    const std::string target = add_target("iqn.2026-01.com.example:store.open", "10.0.0.5");
    const std::string stp = add_discovery_portal("10.0.0.9");
    levels = {{oid_at(IMA_OBJECT_TYPE_LHBA, kLhba), std::string(kLhba) + "/InitiatorLoginOptions"},
              {oid_at(IMA_OBJECT_TYPE_TARGET, target + "/TargetPortal0"), target + "/TargetLoginOptions"},
              {oid_at(IMA_OBJECT_TYPE_STATIC_DISCOVERY_TARGET, target + "/TargetPortal0"), target + "/TargetLoginOptions"},
              {oid_at(IMA_OBJECT_TYPE_DISCOVERY_ADDRESS, stp), stp + "/SendTargetPortalLoginOptions"}};
  }
  bool standard_level(const IMA_OID& oid) const {
    return oid.objectType == IMA_OBJECT_TYPE_LHBA || oid.objectType == IMA_OBJECT_TYPE_TARGET;
  }
  std::vector<Level> levels;
};

TEST_F(LoginParamsTest, EveryReaderAtEveryLevel) {
  const struct {
    IMA_STATUS (*get)(IMA_OID, IMA_MIN_MAX_VALUE*);
    uint32_t value;   // the logical HBA's default, whatever the level
  } numbers[] = {
      {ima().IMA_GetMaxConnectionsProperties, 1},      {ima().IMA_GetMaxOutstandingR2TProperties, 1},
      {ima().IMA_GetFirstBurstLengthProperties, 8192}, {ima().IMA_GetMaxBurstLengthProperties, 262144},
      {ima().IMA_GetDefaultTime2WaitProperties, 2},    {ima().IMA_GetDefaultTime2RetainProperties, 20},
      {ima().IMA_GetErrorRecoveryLevelProperties, 0},  {ima().IMA_GetMaxRecvDataSegmentLengthProperties, 65536},
  };
  const struct {
    IMA_STATUS (*get)(IMA_OID, IMA_BOOL_VALUE*);
    const char* key;   // of the level, or NULL for the logical HBA's default ("1")
    uint32_t settable_and_default;
  } flags[] = {
      {ima().IMA_GetDataPduInOrderProperties, nullptr, 0},
      {ima().IMA_GetDataSequenceInOrderProperties, nullptr, 0},
      {ima().IMA_GetImmediateDataProperties, "ImmediateData", 1},
      {ima().IMA_GetInitialR2TProperties, "InitialR2T", 0},
  };
  for (const Level& level : levels) {
    SCOPED_TRACE(imahost::oid_text(level.oid));
    for (const auto& n : numbers) {
      Guarded record(sizeof(IMA_MIN_MAX_VALUE));
      ASSERT_EQ(n.get(level.oid, record.as<IMA_MIN_MAX_VALUE>()), IMA_STATUS_SUCCESS);
      EXPECT_EQ(record.words({0, 4, 8, 12, 16, 20, 24}), "1 0 " + std::to_string(n.value) + " 0 0 0 0");
      EXPECT_TRUE(record.guard_intact());
    }
    for (const auto& f : flags) {
      Guarded record(sizeof(IMA_BOOL_VALUE));
      ASSERT_EQ(f.get(level.oid, record.as<IMA_BOOL_VALUE>()), IMA_STATUS_SUCCESS);
      const bool on = f.key == nullptr || values(level.options, {f.key}) == "Yes";
      const std::string both = std::to_string(f.settable_and_default);   // settable, default
      EXPECT_EQ(record.words({0, 4, 8, 12}), "1 " + both + (on ? " 1 " : " 0 ") + both) << (f.key ? f.key : "default");
      EXPECT_TRUE(record.guard_intact());
    }
    IMA_DIGEST_PROPERTIES digests{};
    EXPECT_EQ(ima().IMA_GetDigestProperties(level.oid, &digests) + digests.headerDigestSupported + digests.dataDigestSupported, 2u);
  }
}

TEST_F(LoginParamsTest, DigestsAndImmediateDataAreSetWhereTheyApply) {
  using Setter = IMA_STATUS (*)(IMA_OID, IMA_UINT, const IMA_UINT*);
  using Getter = IMA_STATUS (*)(IMA_OID, IMA_UINT*, IMA_UINT*);
  const struct {
    Setter set;
    Getter get;
    const char* keys[2];
    bool standard;
  } digests[] = {
      {ima().IMA_VMW_SetHeaderDigest, ima().IMA_VMW_GetHeaderDigest, {"HeaderDigest", "HeaderParam"}, false},
      {ima().IMA_VMW_SetDataDigest, ima().IMA_VMW_GetDataDigest, {"DataDigest", "DataParam"}, false},
      {ima().IMA_SetHeaderDigestValues, ima().IMA_VMW_GetHeaderDigest, {"HeaderDigest", "HeaderParam"}, true},
      {ima().IMA_SetDataDigestValues, ima().IMA_VMW_GetDataDigest, {"DataDigest", "DataParam"}, true},
  };
  for (const Level& level : levels) {
    SCOPED_TRACE(imahost::oid_text(level.oid));
    for (const auto& d : digests) {
      for (const IMA_UINT first : {IMA_DIGEST_CRC32C, IMA_DIGEST_NONE}) {
        const IMA_UINT list[] = {first, 7};   // only the first entry counts
        if (d.standard && !standard_level(level.oid)) {
          EXPECT_EQ(d.set(level.oid, 2, list), IMA_ERROR_INCORRECT_OBJECT_TYPE);
          continue;
        }
        ASSERT_EQ(d.set(level.oid, 2, list), IMA_STATUS_SUCCESS) << d.keys[0] << first;
        EXPECT_EQ(values(level.options, {d.keys[0], d.keys[1]}), first == 1 ? "CRC32C|Preferred" : "None|Prohibited");
        IMA_UINT count = 0, got[2] = {9, 9};
        ASSERT_EQ(d.get(level.oid, &count, got), IMA_STATUS_SUCCESS);
        EXPECT_EQ(count * 100 + got[0] * 10 + got[1], first == 1 ? 210u : 109u);
      }
    }
    const IMA_STATUS set = ima().IMA_SetImmediateData(level.oid, 0);
    if (!standard_level(level.oid)) {
      EXPECT_EQ(set, IMA_ERROR_INCORRECT_OBJECT_TYPE);
      continue;
    }
    ASSERT_EQ(set, IMA_STATUS_SUCCESS);
    IMA_BOOL_VALUE immediate{};
    ASSERT_EQ(ima().IMA_GetImmediateDataProperties(level.oid, &immediate), IMA_STATUS_SUCCESS);
    EXPECT_EQ(values(level.options, {"ImmediateData"}) + std::to_string(immediate.currentValue), "No0");
  }
}

TEST_F(LoginParamsTest, OtherKeysAreNotSupported) {
  const IMA_OID lhba = levels[0].oid, target = levels[1].oid, bad = oid(99, 0);
  Guarded marker(sizeof(IMA_BOOL_VALUE));
  EXPECT_EQ(ima().IMA_SetInitialR2T(lhba, 1), IMA_ERROR_NOT_SUPPORTED);
  EXPECT_EQ(ima().IMA_SetInitialR2T(lhba, 2), IMA_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ima().IMA_SetImmediateData(bad, 2), IMA_ERROR_INVALID_PARAMETER);   // before the identifier
  EXPECT_EQ(ima().IMA_SetMaxConnections(target, 4), IMA_ERROR_NOT_SUPPORTED);
  EXPECT_EQ(ima().IMA_GetOFMarkerProperties(target, marker.as<IMA_BOOL_VALUE>()), IMA_ERROR_NOT_SUPPORTED);
  EXPECT_TRUE(marker.all(0) && marker.guard_intact());
  EXPECT_EQ(ima().IMA_VMW_SetDataDigest(lhba, 0, kNoDigest), IMA_ERROR_INVALID_PARAMETER);
}

}  // namespace
}  // namespace vxtest
