// CHAP through the IMA entry points on the simulated lab: set at the logical HBA, at one target and
// at a SendTargets portal, read back through the records and the hierarchy, and used by logins and
// discovery against the lab's CHAP target (tgtuser / store1) and portal (discuser).
#include "tests/ima/settings_fixture.h"

namespace vxtest {
namespace {

constexpr uint32_t kChap = IMA_AUTHMETHOD_CHAP;
constexpr const char* kChapTarget = "iqn.2026-01.com.example:store.chap";

class AuthTest : public SettingsTest {
 protected:
  // Method | mutual name | one-way name | one-way secret | policy of a login-options group.
  std::string chap_at(const std::string& options) {
    return values(options + "/Authentication",
                  {"AuthenticationMethod", "InitiatorCHAPName", "TargetCHAPName", "TargetSecret", "CHAPParam"});
  }
  // Credentials in a record followed by guard bytes.
  Guarded credentials(const char* name, const char* secret, uint32_t word = 0) {
    Guarded record(sizeof(IMA_INITIATOR_AUTHPARMS));
    *record.as<IMA_INITIATOR_AUTHPARMS>() = chap_parms(name, secret, word);
    return record;
  }
  IMA_INITIATOR_AUTHPARMS* chap(Guarded& record) { return record.as<IMA_INITIATOR_AUTHPARMS>(); }
  uint32_t login(const std::string& target) {
    const uint32_t status = act(target, "Login");
    if (status == 0) {
      EXPECT_EQ(act(target, "Logout"), 0u);
    }
    return status;
  }
};

TEST_F(AuthTest, OneWayThenMutualAtTheLogicalHbaCarryIntoATargetsLogin) {
  const IMA_OID lhba = oid_at(IMA_OBJECT_TYPE_LHBA, kLhba);
  const std::string options = std::string(kLhba) + "/InitiatorLoginOptions";
  Guarded one_way = credentials("tgtuser", "tgtsecret123", IMA_VMW_CHAP_REQUIRED);
  ASSERT_EQ(ima().IMA_VMW_SetInitiatorAuthParms(lhba, kChap, chap(one_way)), IMA_STATUS_SUCCESS);
  EXPECT_EQ(chap_at(options), "One-Way CHAP||tgtuser|tgtsecret123|Required");
  Guarded got(sizeof(IMA_INITIATOR_AUTHPARMS));
  ASSERT_EQ(ima().IMA_GetInitiatorAuthParms(lhba, kChap, chap(got)), IMA_STATUS_SUCCESS);
  const std::string lengths = std::to_string(got.u32(516)) + " " + std::to_string(got.u32(784));   // the texts'
  EXPECT_EQ(got.text(4) + "/" + got.text(528) + " " + lengths + " " + std::to_string(got.u32(524)), "tgtuser/tgtsecret123 7 12 256");
  EXPECT_TRUE(got.guard_intact());

  // Mutual CHAP over it keeps the one-way credentials and policy.
  Guarded mutual = credentials("store1", "mutualsecret1");
  ASSERT_EQ(ima().IMA_AddLhbaMutualAuthParms(lhba, kChap, chap(mutual)), IMA_STATUS_SUCCESS);
  EXPECT_EQ(chap_at(options), "Mutual CHAP|store1|tgtuser|tgtsecret123|Required");
  IMA_INITIATOR_AUTHPARMS_LIST* list = nullptr;
  ASSERT_EQ(ima().IMA_GetLhbaMutualAuthParmsList(lhba, kChap, &list), IMA_STATUS_SUCCESS);
  EXPECT_EQ(std::to_string(list->authParmsCount) + reinterpret_cast<char*>(list->authParms[0].chapParms.name), "1store1");
  ima().IMA_FreeMemory(list);
  ASSERT_EQ(ima().IMA_VMW_GetMutualAuthParms(lhba, kChap, chap(got)), IMA_STATUS_SUCCESS);
  EXPECT_EQ(got.text(4) + " " + std::to_string(got.u32(788)), "store1 4");

  // A new policy keeps both pairs of credentials.
  const IMA_AUTHMETHOD preferred[] = {IMA_AUTHMETHOD_CHAP, IMA_AUTHMETHOD_NONE};
  ASSERT_EQ(ima().IMA_SetInitiatorAuthMethods(lhba, 2, preferred), IMA_STATUS_SUCCESS);
  EXPECT_EQ(chap_at(options), "Mutual CHAP|store1|tgtuser|tgtsecret123|Preferred");
  IMA_UINT count = 0;
  IMA_AUTHMETHOD in_use[2] = {9, 9};
  ASSERT_EQ(ima().IMA_GetInUseInitiatorAuthMethods(lhba, &count, in_use), IMA_STATUS_SUCCESS);
  EXPECT_EQ(count * 100 + in_use[0] * 10 + in_use[1], 210u);

  // A target added now starts from the initiator's options and logs in with them.
  EXPECT_EQ(login(add_target(kChapTarget, "10.0.0.6")), 0u);

  // Removing mutual CHAP leaves the one-way CHAP working.
  ASSERT_EQ(ima().IMA_RemoveLhbaMutualAuthParms(lhba, kChap, chap(mutual)), IMA_STATUS_SUCCESS);
  EXPECT_EQ(chap_at(options), "One-Way CHAP||tgtuser|tgtsecret123|Preferred");
}

TEST_F(AuthTest, ATargetLogsInOnlyWithItsCredentials) {
  const std::string target = add_target(kChapTarget, "10.0.0.6"), options = target + "/TargetLoginOptions";
  const IMA_OID portal = oid_at(IMA_OBJECT_TYPE_TARGET, target + "/TargetPortal0");
  EXPECT_NE(login(target), 0u);
  // The standard order: methods, then credentials, which keep the policy.
  ASSERT_EQ(ima().IMA_VMW_SetInitiatorAuthMethods(portal, 1, &kChap), IMA_STATUS_SUCCESS);
  EXPECT_EQ(chap_at(options), "One-Way CHAP||vexalon|quietmeadowlark|Required");
  Guarded one_way = credentials("tgtuser", "tgtsecret123");
  ASSERT_EQ(ima().IMA_SetInitiatorLocalAuthParms(portal, kChap, chap(one_way), 1), IMA_STATUS_SUCCESS);
  ASSERT_EQ(ima().IMA_GetInitiatorAuthParms(portal, kChap, chap(one_way)), IMA_STATUS_SUCCESS);   // any level
  EXPECT_EQ(one_way.text(4) + " " + std::to_string(one_way.u32(784)), "tgtuser 12");
  EXPECT_EQ(login(target), 0u);

  // Mutual CHAP switched on keeps the working one-way credentials; the placeholder mutual ones fail.
  ASSERT_EQ(ima().IMA_SetMutualLocalAuth(portal, kChap, 1), IMA_STATUS_SUCCESS);
  EXPECT_EQ(chap_at(options), "Mutual CHAP|vexalon|tgtuser|tgtsecret123|Required");
  EXPECT_NE(login(target), 0u);
  Guarded mutual = credentials("store1", "mutualsecret1");
  ASSERT_EQ(ima().IMA_SetMutualLocalAuthParms(portal, kChap, chap(mutual), 1), IMA_STATUS_SUCCESS);
  ASSERT_EQ(act(target, "Login"), 0u);

  // With a session to one of its portals, what the session used is reported, not the target's own.
  Guarded got(sizeof(IMA_INITIATOR_AUTHPARMS));
  IMA_BOOL enabled = 9;
  ASSERT_EQ(ima().IMA_GetInitiatorLocalAuthParms(portal, kChap, chap(got), &enabled), IMA_STATUS_SUCCESS);
  const std::string used = target + "/Session0/SessionLoginOptions/Authentication";
  EXPECT_EQ(values(used, {"AuthenticationMethod", "TargetCHAPName"}), "Mutual CHAP|tgtuser");
  EXPECT_EQ(enabled, 1u);
  EXPECT_EQ(got.text(4), "tgtuser");
  ASSERT_EQ(ima().IMA_GetMutualLocalAuthParms(portal, kChap, chap(got)), IMA_STATUS_SUCCESS);
  EXPECT_EQ(got.text(528) + " " + std::to_string(got.u32(784)), "mutualsecret1 13");
  EXPECT_TRUE(got.guard_intact());
  ASSERT_EQ(act(target, "Logout"), 0u);

  // Mutual CHAP off leaves one-way CHAP; a wrong secret fails the login; PROHIBITED switches it off.
  ASSERT_EQ(ima().IMA_SetMutualLocalAuthParms(portal, kChap, chap(mutual), 0), IMA_STATUS_SUCCESS);
  EXPECT_EQ(chap_at(options), "One-Way CHAP||tgtuser|tgtsecret123|Required");
  Guarded wrong = credentials("tgtuser", "tgtsecret124", IMA_VMW_CHAP_REQUIRED);
  ASSERT_EQ(ima().IMA_VMW_SetInitiatorAuthParms(portal, kChap, chap(wrong)), IMA_STATUS_SUCCESS);
  EXPECT_NE(login(target), 0u);
  Guarded off = credentials("", "", IMA_VMW_CHAP_PROHIBITED);
  ASSERT_EQ(ima().IMA_VMW_SetInitiatorAuthParms(portal, kChap, chap(off)), IMA_STATUS_SUCCESS);
  EXPECT_EQ(chap_at(options), "None||||Prohibited");
  // The session the one-way registration logged in stays open and still reports what it used.
  ASSERT_EQ(ima().IMA_GetInitiatorLocalAuthParms(portal, kChap, chap(got), &enabled), IMA_STATUS_SUCCESS);
  EXPECT_EQ(std::to_string(enabled) + " " + got.text(4), "1 tgtuser");
}

TEST_F(AuthTest, ADiscoveryAddressDiscoversWithItsChap) {
  const std::string stp = add_discovery_portal("10.0.0.9");
  const IMA_OID address = oid_at(IMA_OBJECT_TYPE_DISCOVERY_ADDRESS, stp);
  EXPECT_NE(act(stp, "DiscoverTargets"), 0u);
  Guarded one_way = credentials("discuser", "discsecret12", IMA_VMW_CHAP_REQUIRED);
  ASSERT_EQ(ima().IMA_VMW_SetInitiatorAuthParms(address, kChap, chap(one_way)), IMA_STATUS_SUCCESS);
  EXPECT_EQ(act(stp, "DiscoverTargets"), 0u);
}

TEST_F(AuthTest, RefusedArgumentsChangeNothing) {
  const IMA_OID lhba = oid_at(IMA_OBJECT_TYPE_LHBA, kLhba);
  Guarded set = credentials("tgtuser", "tgtsecret123", IMA_VMW_CHAP_REQUIRED);
  ASSERT_EQ(ima().IMA_VMW_SetInitiatorAuthParms(lhba, kChap, chap(set)), IMA_STATUS_SUCCESS);
  const std::string options = std::string(kLhba) + "/InitiatorLoginOptions", before = chap_at(options);
  Guarded short_secret = credentials("user", "elevenchars"), long_secret = credentials("user", "seventeen-chars-x");
  Guarded full_secret = credentials("user", std::string(256, 's').c_str()), full_name = credentials(std::string(512, 'n').c_str(), "tgtsecret123");
  const IMA_AUTHMETHOD twice[] = {kChap, kChap}, none_twice[] = {0, 0}, unknown[] = {2}, three[] = {0, 1, 0};
  IMA_UINT count = 1;
  IMA_AUTHMETHOD methods[2] = {};
  const IMA_OID bad = oid(99, 0);
  const struct {
    const char* what;
    IMA_STATUS got, want;
  } rows[] = {
      {"11 characters", ima().IMA_VMW_SetInitiatorAuthParms(lhba, kChap, chap(short_secret)), IMA_ERROR_INVALID_PARAMETER},
      {"17 characters", ima().IMA_AddLhbaMutualAuthParms(lhba, kChap, chap(long_secret)), IMA_ERROR_INVALID_PARAMETER},
      {"mutual 11", ima().IMA_VMW_SetMutualAuthParms(lhba, kChap, chap(short_secret)), IMA_ERROR_INVALID_PARAMETER},
      {"secret fills its field", ima().IMA_SetInitiatorAuthParms(lhba, kChap, chap(full_secret)), IMA_ERROR_INVALID_PARAMETER},
      {"name fills its field", ima().IMA_SetInitiatorAuthParms(lhba, kChap, chap(full_name)), IMA_ERROR_INVALID_PARAMETER},
      {"method NONE", ima().IMA_GetInitiatorAuthParms(lhba, 0, chap(set)), IMA_ERROR_INVALID_PARAMETER},
      {"method 2", ima().IMA_VMW_SetInitiatorAuthParms(lhba, 2, chap(set)), IMA_ERROR_INVALID_PARAMETER},
      {"NONE sets nothing", ima().IMA_SetInitiatorAuthParms(lhba, 0, chap(short_secret)), IMA_STATUS_SUCCESS},
      {"CHAP twice", ima().IMA_SetInitiatorAuthMethods(bad, 2, twice), IMA_ERROR_INVALID_PARAMETER},
      {"NONE twice", ima().IMA_VMW_SetInitiatorAuthMethods(lhba, 2, none_twice), IMA_ERROR_INVALID_PARAMETER},
      {"method 2 in a list", ima().IMA_SetInitiatorAuthMethods(lhba, 1, unknown), IMA_ERROR_INVALID_PARAMETER},
      {"three methods", ima().IMA_VMW_SetInitiatorAuthMethods(bad, 3, three), IMA_ERROR_INVALID_PARAMETER},
      {"no methods", ima().IMA_SetInitiatorAuthMethods(lhba, 0, twice), IMA_ERROR_INVALID_PARAMETER},
      {"settable 2", ima().IMA_GetSupportedAuthMethods(lhba, 2, &count, methods), IMA_ERROR_INVALID_PARAMETER},
      {"capacity 1", ima().IMA_GetSupportedAuthMethods(lhba, 0, &count, methods) + count * 10 + methods[0], 10u},
      {"set mutual methods", ima().IMA_VMW_SetMutualAuthMethods(bad, 1, twice), IMA_ERROR_NOT_SUPPORTED},
  };
  for (const auto& row : rows) EXPECT_EQ(row.got, row.want) << row.what;
  EXPECT_EQ(chap_at(options), before);
  // Capacity 1: NONE only (above); a larger one: NONE then CHAP.
  count = 5;
  ASSERT_EQ(ima().IMA_VMW_GetSupportedAuthMethods(lhba, 1, &count, methods), IMA_STATUS_SUCCESS);
  EXPECT_EQ(count * 100 + methods[0] * 10 + methods[1], 201u);
  // Mutual CHAP needs one-way CHAP under it.
  ASSERT_EQ(ima().IMA_VMW_SetInitiatorAuthMethods(lhba, 1, none_twice), IMA_STATUS_SUCCESS);
  Guarded mutual = credentials("store1", "mutualsecret1");
  EXPECT_EQ(ima().IMA_AddLhbaMutualAuthParms(lhba, kChap, chap(mutual)), IMA_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(chap_at(options), "None||||Prohibited");
}

}  // namespace
}  // namespace vxtest
