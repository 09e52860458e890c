// The imahost client as an administrator drives it against the iSCSI lab: one process per command,
// every change checked in the hierarchy through vxcli, a process of its own that reads the saved
// state as the next command does.
#include <sys/wait.h>

#include <cstdio>

#include "sim/vxsim_control.h"
#include "tests/ima/ima_fixture.h"
#include "tools/vxufi/ufi_writer.h"

namespace vxtest {
namespace {

constexpr const char* kOpen = "iqn.2026-01.com.example:store.open";
constexpr const char* kChap = "iqn.2026-01.com.example:store.chap";
constexpr const char* kDiscovery = "vmhba33/10.0.0.9:3260";
constexpr const char* kLhba = "ROOT/Vexalon0/iSCSIPhysicalHBA0/LogicalHBA0";

struct Ran {
  int exit;
  std::string out;   // standard output and error
};

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class CommandLineTest : public ImaTest {
 protected:
  void SetUp() override {
    ImaTest::SetUp();
    use_example("iscsi-lab.json");
  }
  Ran run(const std::string& program, const std::string& args, const std::string& env = "") {
    const std::string plugin = imahost::plugin_path();
    const std::string line = env + " " + plugin.substr(0, plugin.rfind('/') + 1) + program + " " + args + " 2>&1";
    Ran ran{-1, ""};
    FILE* pipe = ::popen(line.c_str(), "r");
    for (char buf[512]; pipe != nullptr && std::fgets(buf, sizeof buf, pipe) != nullptr;) ran.out += buf;
    if (pipe != nullptr) ran.exit = WEXITSTATUS(::pclose(pipe));
    return ran;
  }
  std::string imahost(const std::string& args, int exit = 0) {
    const Ran ran = run("imahost", args);
    EXPECT_EQ(ran.exit, exit) << args << "\n" << ran.out;
    return ran.out;
  }
  // The lines of the logical HBA's target of that iSCSI name, as vxcli shows them; "" when none.
  std::string target_tree(const std::string& name, const std::string& lhba = kLhba) {
    const std::string tree = run("vxcli", "tree " + lhba).out;
    for (size_t at = tree.find("\n  Target"); at != std::string::npos; at = tree.find("\n  Target", at + 1)) {
      size_t end = at + 1;
      while ((end = tree.find("\n  ", end + 1)) != std::string::npos && tree[end + 3] == ' ') {
      }
      const std::string block = tree.substr(at, end - at);
      if (block.find("TargetISCSIName [") != std::string::npos && block.find("\"" + name + "\"") != std::string::npos) {
        return block;
      }
    }
    return "";
  }
  // Sessions of a target closed, failed or opened again by the simulated network, through the module
  // this process loads with a start of its own.
  int session_control(const char* target, int action) {
    const std::string plugin = imahost::plugin_path();
    void* sim = ::dlopen((plugin.substr(0, plugin.rfind('/') + 1) + "libvxsim.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    auto control = sim != nullptr ? reinterpret_cast<decltype(&vxsim_session_control)>(::dlsym(sim, "vxsim_session_control"))
                                  : nullptr;
    const int changed = control != nullptr ? control(target, action) : -1;
    if (sim != nullptr) ::dlclose(sim);
    return changed;
  }
  // The first value of `property` in a block of the tree.
  static std::string value(const std::string& block, const std::string& property) {
    const size_t at = block.find(" " + property + " [");
    const size_t quote = block.find(" = \"", at);
    return at == std::string::npos ? "?" : block.substr(quote + 4, block.find('"', quote + 4) - quote - 4);
  }
};

TEST_F(CommandLineTest, ADaysWorkActsOnTheObjectsItNames) {
  const std::string open = kOpen, chap = kChap, discovery = kDiscovery;
  imahost("ip address vmhba33 10.0.0.21");
  EXPECT_EQ(run("vxcli", "get ROOT/Vexalon0/iSCSIPhysicalHBA0/Network/TCPIPConfiguration/InitiatorIPAddress").out,
            "10.0.0.21\n");
  // Added without CHAP, the discovery through it fails: a warning, the address stays.
  EXPECT_NE(imahost("discovery add vmhba33 10.0.0.9").find("Authentication failure"), std::string::npos);
  imahost("auth chap " + discovery + " discuser discsecret12");
  imahost("auth methods " + discovery + " chap");
  // Both targets are found; the CHAP target's log-in fails until it has its credentials.
  const std::string found = imahost("discovery rediscover vmhba33", 1);
  EXPECT_NE(found.find("vmhba33/" + chap + "  (target:"), std::string::npos) << found;
  EXPECT_NE(found.find("the rediscovery failed in part"), std::string::npos);
  imahost("auth chap " + chap + " tgtuser tgtsecret123");
  imahost("auth methods " + chap + " chap");
  EXPECT_EQ(count(imahost("session add vmhba33"), " open "), 3u);   // two portals of store.open, one of store.chap
  // A log-in the adapter failed is listed with its state, though the IMA session list leaves it out.
  started("iscsi-lab.json");
  ASSERT_EQ(session_control(kChap, VXSIM_SESSION_FAIL), 1);
  EXPECT_NE(imahost("session list " + chap).find("10.0.0.6:3260        Login failed"), std::string::npos);
  ASSERT_EQ(session_control(kChap, VXSIM_SESSION_REOPEN), 1);
  EXPECT_EQ(count(imahost("lun list " + open), "\n  LUN "), 4u);     // each LUN once, not once per session
  // Digests on two targets by name: each change lands on its own target only.
  imahost("login set " + open + " header-digest crc32c");
  imahost("login set " + chap + " data-digest crc32c");
  imahost("auth mutual " + chap + " store1 mutualsecret1");
  const std::string open_tree = target_tree(open), chap_tree = target_tree(chap);
  EXPECT_EQ(value(open_tree, "HeaderDigest") + "|" + value(open_tree, "DataDigest"), "CRC32C|None");
  EXPECT_EQ(value(chap_tree, "HeaderDigest") + "|" + value(chap_tree, "DataDigest"), "None|CRC32C");
  EXPECT_EQ(value(chap_tree, "AuthenticationMethod") + "|" + value(chap_tree, "InitiatorCHAPName"), "Mutual CHAP|store1");
  // Log out one session named by target and ISID, as the listing printed it.
  const std::string listed = imahost("session list " + open);
  const size_t v6 = listed.find("[fd00::5]:3260");
  const size_t name = listed.find("vmhba33/", v6);
  const std::string session = listed.substr(name, listed.find("  (", name) - name);
  imahost("session remove " + session);
  const std::string left = target_tree(open);
  EXPECT_EQ(count(left, "SessionStatus ["), 1u);
  EXPECT_EQ(left.find("\"" + session.substr(session.rfind('/') + 1) + "\""), std::string::npos);
  EXPECT_NE(imahost("session list vmhba33").find("[fd00::5]:3260       no session"), std::string::npos);
  // A whole target goes, every portal of it; the other target is untouched.
  EXPECT_EQ(count(imahost("static remove " + open), "removed vmhba33/"), 2u);
  EXPECT_EQ(target_tree(open), "");
  EXPECT_EQ(value(target_tree(chap), "DataDigest"), "CRC32C");
  // After the restart of the next command, its names still find what was kept.
  EXPECT_EQ(imahost("target list vmhba33").find("vmhba33/" + chap + "  (target:"), 0u);
  EXPECT_NE(imahost("login show vmhba33/" + chap).find("DataDigest                CRC32C"), std::string::npos);
  EXPECT_NE(imahost("auth show " + chap).find("store1"), std::string::npos);
  EXPECT_EQ(imahost("discovery list vmhba34"), "none\n");
}

TEST_F(CommandLineTest, IdentifiersAreTakenOnlyWithTheirName) {
  const std::string listed = imahost("hba list");
  const size_t at = listed.find("vmhba33  (lhba:");
  ASSERT_NE(at, std::string::npos) << listed;
  const std::string id = listed.substr(at + 10, listed.find(')', at) - at - 10);
  EXPECT_NE(imahost("lhba show " + id + "=vmhba33").find("vmhba33"), std::string::npos);
  EXPECT_NE(imahost("lhba show " + id, 1).find("a number alone may name another object"), std::string::npos);
  EXPECT_NE(imahost("lhba show " + id + "=vmhba34", 1).find("vmhba34 is lhba:"), std::string::npos);
  EXPECT_NE(imahost("discovery rediscover " + id + "=vmhba33", 1).find("is a logical HBA; here a physical HBA"),
            std::string::npos);
  // A target two logical HBAs have is named with its logical HBA; a change lands on that one only.
  const std::string crc = "iqn.2026-01.com.example:store.crc";
  for (const std::string hba : {"vmhba33", "vmhba34"}) {
    EXPECT_EQ(imahost("static add " + hba + " " + crc + " 10.0.0.7:3261").find(hba + "/" + crc + "@10.0.0.7:3261  (static:"), 0u);
  }
  EXPECT_NE(imahost("login show " + crc, 1).find("names more than one object"), std::string::npos);
  imahost("login set vmhba34/" + crc + " header-digest crc32c");
  EXPECT_EQ(value(target_tree(crc, "ROOT/Vexalon0/iSCSIPhysicalHBA1/LogicalHBA0"), "HeaderDigest") + "|" +
                value(target_tree(crc), "HeaderDigest"),
            "CRC32C|None");
  for (const char* asked : {"help", "--help", "help session", "session --help"}) {
    EXPECT_EQ(count(imahost(asked), "\n  session list"), 1u) << asked;
  }
}

TEST_F(CommandLineTest, FailuresNameTheObjectAndTheReason) {
  imahost("discovery add vmhba33 10.0.0.9");
  imahost("auth chap " + std::string(kDiscovery) + " discuser wrongsecret1");
  imahost("auth methods " + std::string(kDiscovery) + " chap");
  struct Case {
    const char* what;
    std::string args;
    const char* env;
    int exit;
    std::vector<std::string> says;
  };
  const Case cases[] = {
      {"wrong discovery secret", "discovery rediscover vmhba33", "", 1,
       {"vmhba33: the rediscovery failed in part: the discovery through vmhba33/10.0.0.9:3260 failed"}},
      {"duplicate address", "discovery add vmhba33 10.0.0.9:3260", "", 1,
       {"vmhba33: IMA_AddDiscoveryAddress failed: invalid parameter (0xC0000000); last status 22"}},
      {"unknown target", "login set iqn.2026-01.com.example:gone header-digest crc32c", "", 1,
       {"\"iqn.2026-01.com.example:gone\" is not a logical HBA, a discovery address or a target"}},
      {"unknown logical HBA", "session list vmhba", "", 1, {"\"vmhba\" is not a logical HBA or a target"}},
      {"refused address", "ip address vmhba33 10.0.0.5", "", 1,
       {"vmhba33: IMA_VMW_SetNetworkPortalIpAddress failed", "last status 69 \"Duplicate IP address detected."}},
      {"typo", "sesion list vmhba33", "", 2, {"\"sesion\" is no command"}},
      {"unknown verb", "node frobnicate", "", 2, {"\"node frobnicate\" is no command; node takes show, set-name"}},
      {"missing argument", "auth chap " + std::string(kDiscovery) + " discuser", "", 2,
       {"auth chap: SECRET is missing\nusage: imahost auth chap OBJECT NAME SECRET\n"}},
      {"bad word", "ip dhcp vmhba33 maybe", "", 2, {"\"maybe\" is not on or off\nusage: imahost ip dhcp HBA on|off\n"}},
      {"no simulator file", "adapter list", "VXIMA_SIMULATOR=/nonexistent.json", 1,
       {"no adapter found: the simulator file /nonexistent.json cannot be read: No such file", "last status 313"}},
      {"no simulator", "adapter list", "VXIMA_SIMULATOR=", 1, {"no simulated adapter is configured"}},
  };
  for (const Case& c : cases) {
    const Ran ran = run("imahost", c.args, c.env);
    EXPECT_EQ(ran.exit, c.exit) << c.what << "\n" << ran.out;
    for (const std::string& said : c.says) EXPECT_NE(ran.out.find(said), std::string::npos) << c.what << "\n" << ran.out;
  }
}

// A log-in that leaves a portal asked for without an open session fails the command, each such
// portal with its reason beside it; the portals that are open stay as they were.
TEST_F(CommandLineTest, SessionAddFailsWhereAPortalHasNoOpenSession) {
  const std::string open = kOpen, nowhere = "iqn.2026-01.com.example:nowhere";
  imahost("ip address vmhba33 10.0.0.21");
  imahost("static add vmhba33 " + open + " 10.0.0.5");
  imahost("session add vmhba33/" + open);   // every portal open: exit 0
  // Portals nobody answers at: the static add's log-in fails and leaves a failed session behind.
  imahost("static add vmhba33 " + open + " 10.0.0.98");
  imahost("static add vmhba33 " + nowhere + " 10.0.0.99");
  struct Row {
    const char* what;
    std::string args;
    std::vector<std::string> says;
  } rows[] = {
      {"one portal of two", "session add vmhba33/" + open,
       {"10.0.0.5:3260        open ", "10.0.0.98:3260       not logged in: the adapter retries its failed log-in",
        "imahost: vmhba33/" + open + ": 1 portal has no open session (above)"}},
      {"every target", "session add vmhba33",
       {"10.0.0.98:3260       not logged in: the adapter retries", "10.0.0.99:3260       not logged in: the adapter retries",
        "imahost: vmhba33: 2 portals have no open session (above)"}},
  };
  for (const Row& row : rows) {
    const std::string out = imahost(row.args, 1);
    for (const std::string& said : row.says) EXPECT_NE(out.find(said), std::string::npos) << row.what << "\n" << out;
  }
  // Their failed sessions gone, the portals are logged in afresh and each log-in's own status is
  // shown, also where the plug-in answered success because another portal of the target is open.
  const struct {
    std::string target;
    const char* portal;
    const char* says;
  } again[] = {
      {nowhere, "10.0.0.99:3260", "no session: IMA_VMW_AddSession: invalid parameter (0xC0000000); last status 237"},
      {open, "10.0.0.98:3260", "no session: IMA_VMW_AddSession succeeded; last status 237"},
  };
  for (const auto& row : again) {
    const std::string listed = imahost("session list vmhba33/" + row.target);
    const size_t name = listed.find("vmhba33/", listed.find(std::string(row.portal) + "       Login failed"));
    ASSERT_NE(name, std::string::npos) << listed;
    imahost("session remove " + listed.substr(name, listed.find("  (", name) - name));
    const std::string out = imahost("session add vmhba33/" + row.target, 1);
    EXPECT_NE(out.find(std::string(row.portal) + "       " + row.says), std::string::npos) << out;
    EXPECT_NE(out.find("1 portal has no open session (above)"), std::string::npos) << out;
  }
}

// The host's firmware download reaches the adapter's update: the file's component lands in the
// simulated flash, and a file of the wrong generation is refused with the update's reason.
TEST_F(CommandLineTest, AFirmwareDownloadThroughTheHost) {
  vxufi::Written written;
  std::string error;
  root.write("/images/.keep", "");
  const std::string image = root.at("/images/gen5.ufi");
  ASSERT_TRUE(vxufi::write_file(R"({"generation": 5, "components": [{"image_type": "0x30", "size": 50000, "fill": 9}]})",
                                image, &written, &error)) << error;
  imahost("phba download vmhba35 " + image);
  EXPECT_EQ(root.read("/var/lib/vxsim/BL5202B0007/regions/22"),
            written.bytes.substr(written.placed[0].file_offset, written.placed[0].size));
  EXPECT_NE(imahost("phba download vmhba33 " + image, 1).find("last status 162"), std::string::npos);
}

}  // namespace
}  // namespace vxtest
