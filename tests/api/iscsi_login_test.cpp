// Login and logout, CHAP and the login options of a target through the public calls on the simulated
// lab: the tries over the CHAP and digest policies, what each refusal says, and the saved records
// that a change of a target's options rewrites.
#include <algorithm>
#include <cstdio>

#include <gtest/gtest.h>

#include "access/wire.h"
#include "backend/backend.h"
#include "iscsi/login_options.h"
#include "iscsi/records.h"
#include "tests/api/iscsi_fixture.h"

namespace vxtest {
namespace {

constexpr const char* kAuthenticationText =
    "Authentication failure. Please make sure your initiator is properly enabled for authentication at the target.";

class IscsiLogin : public IscsiLab {
 protected:
  // The lab's open and CHAP targets, found through its discovery portal: no session yet.
  void discover(const char* lhba) {
    const std::string discovery = std::string(lhba) + "/Discovery";
    ASSERT_EQ(act(tag_at(discovery), "AddSendTargetPortal", {"10.0.0.9", "3260"}), 0u);
    ASSERT_EQ(act(tag_at(discovery + "/SendTargetPortal0/SendTargetPortalLoginOptions/Authentication"),
                  "ConfigureCHAP", {"One-Way CHAP", nullptr, nullptr, "discuser", "discsecret12", "Required"}),
              0u);
    ASSERT_EQ(act(tag_at(discovery + "/SendTargetPortal0"), "DiscoverTargets", {}), 0u);
  }
  uint32_t chap(const std::string& target, std::initializer_list<const char*> params) {
    return act(tag_at(target + "/TargetLoginOptions/Authentication"), "ConfigureCHAP", params);
  }
  size_t logins() const {
    const auto commands = sim_.commands();
    return static_cast<size_t>(std::count_if(commands.begin(), commands.end(),
                                             [](const vxsim_journal_entry& e) { return e.opcode == 23 && e.subsystem == 6; }));
  }
};

TEST_F(IscsiLogin, LogsInAndOutWithAndWithoutChap) {
  discover(kGen3Lhba);
  const std::string open = target_path(kGen3Lhba, 0);
  const std::string protected_target = target_path(kGen3Lhba, 1);
  struct Row {
    const std::string* target;
    std::initializer_list<const char*> chap;   // empty: as it is
    uint32_t status;                          // 0: logged in
    size_t tries;
  };
  const Row rows[] = {
      {&open, {}, 0, 1},
      {&protected_target, {}, 25, 1},
      {&protected_target, {"One-Way CHAP", nullptr, nullptr, "tgtuser", "tgtsecret123", "Required"}, 0, 1},
      {&protected_target, {"One-Way CHAP", nullptr, nullptr, "tgtuser", "tgtsecret124", "Required"}, 25, 1},
      {&protected_target, {"Mutual CHAP", "store1", "mutualsecret1", "tgtuser", "tgtsecret123", "Required"}, 0, 1},
      {&protected_target, {"Mutual CHAP", "store1", "mutualsecret2", "tgtuser", "tgtsecret123", "Required"}, 25, 1},
      // Discouraged: without CHAP first, which the target refuses, then with it.
      {&protected_target, {"One-Way CHAP", nullptr, nullptr, "tgtuser", "tgtsecret123", "Discouraged"}, 0, 2},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(*r.target + " " + (r.chap.size() > 0 ? *r.chap.begin() : "no CHAP"));
    if (r.chap.size() > 0) {
      ASSERT_EQ(chap(*r.target, r.chap), 0u);
    }
    sim_.journal_clear();
    const uint32_t target = tag_at(*r.target);
    if (r.status != 0) {
      EXPECT_STATUS(act(target, "Login", {}), r.status, kAuthenticationText);
      EXPECT_EQ(tag_at(*r.target + "/Session0"), kMissing);
      EXPECT_EQ(saved().find(",0,iqn"), std::string::npos) << "the registration of the try is withdrawn";
      continue;
    }
    ASSERT_EQ(act(target, "Login", {}), 0u);
    EXPECT_EQ(logins(), r.tries);
    EXPECT_EQ(value_at(*r.target + "/Session0/SessionStatus"), "Open");
    EXPECT_EQ(value_at(*r.target + "/Session0/Persistent"), "True");
    EXPECT_EQ(value_at(*r.target + "/Session0/Connection0/DestinationPortNumber"), "3260");
    EXPECT_NE(saved().find(",0,iqn"), std::string::npos) << "the persistent session is recorded with its ISID";
    EXPECT_EQ(act(target, "Logout", {}), 0u);
    EXPECT_EQ(tag_at(*r.target + "/Session0"), kMissing);
    EXPECT_EQ(saved().find(",0,iqn"), std::string::npos);
  }
  EXPECT_STATUS(act(tag_at(open), "Logout", {}), 174, "No active sessions are present to logout the target.");
  EXPECT_STATUS(act(tag_at(open), "Logout", {"9"}), 20, "Invalid instance number. Please use valid instance number.");
  EXPECT_STATUS(act(tag_at(open), "Login", {"10.0.0.6", "3260"}), 29, "Portal not found.");
}

TEST_F(IscsiLogin, DigestsDecideAndAnOptionChangeLogsTheIdleSessionInAgain) {
  ASSERT_EQ(add_target(kGen5Lhba, kCrcTarget, "10.0.0.7", "3261"), 0u);
  const std::string target = target_path(kGen5Lhba, 0);
  const uint32_t options = tag_at(target + "/TargetLoginOptions");
  EXPECT_EQ(value_at(target + "/Session0/SessionStatus"), "Login failed");
  EXPECT_STATUS(act(tag_at(target), "Login", {}), 243, "Failed to login due to mismatch in CRC Configuration.");

  EXPECT_STATUS(set_value(options, "HeaderParam", "Preferred"), 193,
                "Cannot set the digest level to Preferred when the digest is default value.");
  ASSERT_EQ(set_value(options, "HeaderDigest", "CRC32C"), 0u);
  EXPECT_EQ(value_at(target + "/Session0/SessionStatus"), "Open") << "registered again with the new options";
  ASSERT_EQ(set_value(options, "HeaderParam", "Preferred"), 0u);
  EXPECT_STATUS(set_value(options, "HeaderDigest", "None"), 194,
                "Cannot set the digest to default when level is set to Preferred.");

  // Preferred tries CRC32C first, which this target takes: a second session.
  sim_.journal_clear();
  ASSERT_EQ(act(tag_at(target), "Login", {}), 0u);
  EXPECT_EQ(logins(), 1u);
  EXPECT_EQ(value_at(target + "/Session1/SessionStatus"), "Open");
  EXPECT_EQ(value_at(target + "/Session1/Connection0/ConnectionNegotiatedLoginOptions/HeaderDigest"), "CRC32C");
  EXPECT_EQ(value_at(target + "/Session1/Connection0/ConnectionNegotiatedLoginOptions/MaxSendDataSegmentLength"),
            "65536");
}

// The target variant that no table installs, called as the engine calls a property handler.
TEST_F(IscsiLogin, TheTargetVariantOfTheOptionHandlerReadsAndChangesTheTargetsOptions) {
  ASSERT_EQ(add_target(kGen5Lhba, kCrcTarget, "10.0.0.7", "3261"), 0u);
  const std::string target = target_path(kGen5Lhba, 0);
  ASSERT_EQ(value_at(target + "/Session0/SessionStatus"), "Login failed");
  const struct {
    const char* property;
    uint32_t op;
    const char* value;       // to set; what a get answers
    uint32_t want;
    uint32_t code;           // the status of a refusal
    const char* digests;     // HeaderDigest and DataDigest of the target's record afterwards
  } rows[] = {
      {"HeaderParam", kSet, "Preferred", 1, 193, "None,None"},
      {"HeaderDigest", kSet, "CRC32C", 0, 0, "CRC32C,None"},
      {"HeaderDigest", kGet, "CRC32C", 0, 0, "CRC32C,None"},
      {"HeaderParam", kSet, "Preferred", 0, 0, "CRC32C,None"},
      {"HeaderDigest", kSet, "None", 1, 194, "CRC32C,None"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.property) + (r.op == kSet ? " := " : " reads ") + r.value);
    hm_node* prop = vx::get_node(static_cast<int32_t>(tag_at(target + "/TargetLoginOptions/" + r.property,
                                                             VARU_KIND_PROPERTY)));
    char buf[VARU_VALUE_SIZE] = "";
    if (r.op == kSet) std::snprintf(buf, sizeof buf, "%s", r.value);
    EXPECT_EQ(vx::handle_target_loginopts(prop, buf, r.op), r.want);
    if (r.code != 0) {
      EXPECT_EQ(last_status().code, r.code);
    } else {
      EXPECT_STREQ(buf, r.value);
    }
    EXPECT_NE(saved().find(std::string(",Yes,Yes,") + r.digests + ","), std::string::npos) << saved();
  }
  EXPECT_EQ(value_at(target + "/Session0/SessionStatus"), "Open") << "registered again with the new digest";
  // A read takes the stored record, not the value shown before.
  std::string changed = saved();
  changed.replace(changed.find(",Yes,Yes,CRC32C,None,"), 21, ",Yes,Yes,CRC32C,CRC32C,");
  root_.write(kSavedTargets, changed);
  hm_node* data =
      vx::get_node(static_cast<int32_t>(tag_at(target + "/TargetLoginOptions/DataDigest", VARU_KIND_PROPERTY)));
  char buf[VARU_VALUE_SIZE] = "";
  EXPECT_EQ(vx::handle_target_loginopts(data, buf, kGet), 0u);
  EXPECT_STREQ(buf, "CRC32C");
}

TEST_F(IscsiLogin, ChapSettingsAreCheckedAndRewriteEveryRecordOfTheTarget) {
  ASSERT_EQ(add_target(kGen3Lhba, kOpenTarget, "10.0.0.5"), 0u);
  const std::string target = target_path(kGen3Lhba, 0);
  ASSERT_EQ(act(tag_at(target), "AddTargetPortal", {"10.0.0.5", "3262"}), 0u);
  struct Row {
    std::initializer_list<const char*> params;
    uint32_t status;
    const char* text;
  };
  const Row rows[] = {
      {{"One-Way CHAP", nullptr, nullptr, "user", "0x0123456789abcdef0123456", nullptr}, 6,
       "Invalid value. Odd number of characters are not allowed."},
      {{"One-Way CHAP", nullptr, nullptr, "user", "0x0123456789abcdef01234g", nullptr}, 6,
       "Invalid value. The valid values are 0-9, a-f and A-F."},
      {{"One-Way CHAP", nullptr, nullptr, "user", "0x0123456789abcdef012345", nullptr}, 8,
       "TargetSecret: Number of characters should be from 24 to 32."},
      {{"One-Way CHAP", nullptr, nullptr, "user", "seventeenchars!!!", nullptr}, 8,
       "TargetSecret: Number of characters should be from 12 to 16."},
      {{"Mutual CHAP", nullptr, nullptr, "user", "targetsecret", nullptr}, 138,
       "InitiatorCHAPName and InitiatorSecret are required in case of Mutual CHAP authentication method. Either "
       "InitiatorCHAPName and InitiatorSecret are not provided or invalid values are given to them. Please provide "
       "valid values for InitiatorCHAPName and InitiatorSecret."},
      {{"Mutual CHAP", "me", "targetsecret", "user", "targetsecret", nullptr}, 38,
       "Initiator CHAP secret is same as target CHAP secret. Please set a different initiator CHAP secret from the "
       "target CHAP secret."},
      {{"One-Way CHAP", nullptr, nullptr, "us,er", "targetsecret", nullptr}, 6, "TargetCHAPName: Invalid value."},
      {{"One-Way CHAP", nullptr, nullptr, "user", "target\tsecret", nullptr}, 6, "TargetSecret: Invalid value."},
  };
  const std::string before = saved();
  for (const Row& r : rows) {
    SCOPED_TRACE(*(r.params.begin() + 4));
    EXPECT_STATUS(chap(target, r.params), r.status, r.text);
  }
  EXPECT_EQ(saved(), before) << "nothing refused was written";

  // Accepted: hex of 24 digits; One-Way ignores (and empties) initiator values; no CHAPParam is Prohibited.
  EXPECT_EQ(chap(target, {"one-way chap", "me", "mysecret1234", "user", "0x0123456789abcdef01234567", nullptr}), 0u);
  EXPECT_EQ(last_status().code, 137u);
  const std::string auth = target + "/TargetLoginOptions/Authentication/";
  EXPECT_EQ(value_at(auth + "AuthenticationMethod"), "One-Way CHAP");
  EXPECT_EQ(value_at(auth + "CHAPParam"), "Prohibited");
  EXPECT_EQ(cached_at(auth + "InitiatorCHAPName"), "");
  // Every record of the target, each with its own ISID.
  std::string want;
  for (const char* portal_isid : {"3260,", "3260,0", "3262,", "3262,1"}) {
    want += "Vexalon0,iSCSIPhysicalHBA0,LogicalHBA0," + std::string(kOpenTarget) + ",10.0.0.5," + portal_isid + "," +
            kGen3Initiator + ",Yes,Yes,None,None,One-Way CHAP,,,user,0x0123456789abcdef01234567,Static,Prohibited," +
            "Prohibited,Prohibited\n";
  }
  EXPECT_EQ(saved(), want);
  ASSERT_EQ(act(tag_at(auth.substr(0, auth.size() - 1)), "DeleteCHAP", {}), 0u);
  EXPECT_EQ(value_at(auth + "AuthenticationMethod"), "None");
  EXPECT_EQ(value_at(auth + "TargetSecret"), "");
  EXPECT_EQ(saved(), before);
  set_value(0, "VARUDebugLevel", "3");
  ::unlink(root_.at(kSavedTargets).c_str());
  EXPECT_EQ(set_value(tag_at(target + "/TargetLoginOptions"), "HeaderDigest", "CRC32C"), 1u);
  EXPECT_NE(log().find("VARU_set_target_loginoptions: Failed to get a file lock for temp_tgt.txt\n"),
            std::string::npos);
}

int (*g_real_ioctl)(int, unsigned long, void*) = nullptr;
std::vector<uint32_t> g_registered_etos;

// Notes the ETO of every persistent-target registration on its way to the adapter.
int eto_spy(int fd, unsigned long request, void* arg) {
  const auto* bytes = static_cast<const uint8_t*>(arg);
  if (request == vx::wire::kIscsiFirmwareCommand && bytes[0] == 27 && bytes[1] == 6) {
    uint32_t eto = 0;
    std::memcpy(&eto, bytes + sizeof(vx::wire::Request_Header) + offsetof(vx::login_target_request, eto), sizeof eto);
    g_registered_etos.push_back(eto);
  }
  return g_real_ioctl(fd, request, arg);
}

TEST_F(IscsiLogin, ARegistrationMadeAgainAfterAWithdrawalCarriesTheTargetsEto) {
  discover(kGen3Lhba);
  const std::string target = target_path(kGen3Lhba, 1);   // CHAP: Discouraged tries without it first
  ASSERT_EQ(chap(target, {"One-Way CHAP", nullptr, nullptr, "tgtuser", "tgtsecret123", "Discouraged"}), 0u);
  const uint32_t eto = static_cast<uint32_t>(std::stoul(value_at(target + "/ETO")));
  g_real_ioctl = vx::host_ops().ioctl;
  vx::ScopedHostOp<int (*)(int, unsigned long, void*)> spy(&vx::HostOps::ioctl, eto_spy);
  ASSERT_EQ(act(tag_at(target), "Login", {}), 0u);
  EXPECT_EQ(g_registered_etos, (std::vector<uint32_t>{0xFFFFFFFFu, eto}));
}

TEST_F(IscsiLogin, TimeOutsBootSessionsAndTheInitiatorLevel) {
  discover(kGen3Lhba);
  const std::string open = target_path(kGen3Lhba, 0);
  sim_.inject_status(17, 6, 1, 0xFF, 1);   // the session configuration refuses the ETO once
  EXPECT_EQ(act(tag_at(open), "Login", {}), 0u);
  EXPECT_EQ(last_status().code, 58u);
  EXPECT_EQ(value_at(open + "/Session0/Persistent"), "True") << "the steps after the ETO still ran";
  // A client that attaches reads the time-out of targets without a session again.
  vx::set_prop_val(vx::get_node(static_cast<int32_t>(tag_at(target_path(kGen3Lhba, 1)))), "ETO", "%s", "99");
  ASSERT_EQ(backend_client_init(0), 0u);
  EXPECT_EQ(cached_at(target_path(kGen3Lhba, 1) + "/ETO"), "10");

  ASSERT_EQ(add_target(kGen5Lhba, kOpenTarget, "10.0.0.5", nullptr, "True"), 0u);
  EXPECT_STATUS(act(tag_at(target_path(kGen5Lhba, 0)), "Logout", {}), 126,
                "Cannot logout the session as it is an active boot session. Please use the iSCSIPrism configuration "
                "utility to logout the session.");

  // The initiator level lives in its own file, which start-up makes; a new target starts from it.
  const uint32_t initiator = tag_at(std::string(kGen5Lhba) + "/InitiatorLoginOptions");
  root_.write("/scratch/Talvix/intr_logopts.txt",
              "Vexalon1,iSCSIPhysicalHBA0,LogicalHBA0,Yes,Yes,None,None,None,,,,,Prohibited,Prohibited,Prohibited\n");
  ASSERT_EQ(set_value(initiator, "ImmediateData", "No"), 0u);
  ASSERT_EQ(act(tag_at(std::string(kGen5Lhba) + "/InitiatorLoginOptions/Authentication"), "ConfigureCHAP",
                {"One-Way CHAP", nullptr, nullptr, "user", "targetsecret", "Required"}),
            0u);
  EXPECT_EQ(root_.read("/scratch/Talvix/intr_logopts.txt"),
            "Vexalon1,iSCSIPhysicalHBA0,LogicalHBA0,Yes,No,None,None,One-Way CHAP,,,user,targetsecret,Required,"
            "Prohibited,Prohibited\n");
  ASSERT_EQ(add_target(kGen5Lhba, kChapTarget, "10.0.0.6"), 0u);
  EXPECT_EQ(value_at(target_path(kGen5Lhba, 1) + "/TargetLoginOptions/ImmediateData"), "No");
  EXPECT_EQ(value_at(target_path(kGen5Lhba, 1) + "/TargetLoginOptions/Authentication/TargetCHAPName"), "user");
}

// Two processes on one root take turns on one target: each logs in and out, and flips its two
// digests, which keeps the record's size. Each sees the options the other set last, in the
// properties and in the record its own login writes.
TEST_F(IscsiLogin, TwoProcessesSeeEachOthersChanges) {
  discover(kGen3Lhba);
  const std::string target = target_path(kGen3Lhba, 0);
  const uint32_t options = tag_at(target + "/TargetLoginOptions");
  ASSERT_EQ(set_value(options, "DataDigest", "CRC32C"), 0u);   // the first pair below
  constexpr int kTurns = 24;
  const char* const kPairs[2][2] = {{"None", "CRC32C"}, {"CRC32C", "None"}};   // HeaderDigest, DataDigest
  auto play = [&](int in, int out, int first) {
    int wrong = 0;
    for (int turn = first; turn < kTurns; turn += 2) {
      char last = 0;
      if (::read(in, &last, 1) != 1) return kTurns;
      const char* const* want = kPairs[last - '0'];
      if (value_at(target + "/TargetLoginOptions/HeaderDigest") != want[0] ||
          value_at(target + "/TargetLoginOptions/DataDigest") != want[1]) {
        ++wrong;
      }
      if (act(tag_at(target), "Login", {}) != 0) return kTurns + 1;
      const std::string record =
          std::string(",3260,0,") + kGen3Initiator + ",Yes,Yes," + want[0] + "," + want[1] + ",None,";
      if (saved().find(record) == std::string::npos) ++wrong;
      if (act(tag_at(target), "Logout", {}) != 0) return kTurns + 2;
      const char next = static_cast<char>('0' + turn % 2);
      for (const char* const* pair : {kPairs[1 - turn % 2], kPairs[turn % 2]}) {
        if (set_value(options, "HeaderDigest", pair[0]) != 0 || set_value(options, "DataDigest", pair[1]) != 0) {
          return kTurns + 3;
        }
      }
      if (::write(out, &next, 1) != 1) return kTurns;
    }
    return wrong;
  };
  const vxtest::Turns turns = vxtest::take_turns(play);
  EXPECT_EQ(turns.parent, 0);
  EXPECT_EQ(turns.child, 0);
}

}  // namespace
}  // namespace vxtest
