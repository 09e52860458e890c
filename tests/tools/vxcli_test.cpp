// vxcli as a user drives it on examples/nic-lab.json, through the built program: several steps in
// one process, what an action changed, an action's parameters, the tree's time, and a start that
// found no adapter.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/test_support.h"
#include "tests/tools/tool_runner.h"

namespace vxtest {
namespace {

constexpr const char* kDiag = "ROOT/Vexalon0/Diagnostics";
constexpr const char* kConfiguredProfileId = "ROOT/Vexalon0/ProfileManagement/ConfiguredProfile/ProfileId";
constexpr const char* kLoopback = "SourcePortNumber=0 DestinationPortNumber=0 LoopbackType=MacLoopBack";
// A read whose status text sends the user to varu2d.log.
constexpr const char* kDcbxRead = "ROOT/Vexalon0/PortDiscoveryAndConfiguration1/DCBX/QCN/AdministratorQCNSetting/Advertise";

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class Vxcli : public ::testing::Test {
 protected:
  // vxcli from the build (beside this test program) with `args`, on the lab under this root unless
  // `env` says otherwise (arguments of env(1)); `input` is its standard input.
  Ran run(const std::string& args, const std::string& env = "", const std::string& input = "") {
    root_.write("/input.txt", input);
    return run_tool("vxcli", args + " <" + root_.at("/input.txt"), env);
  }
  // The steps as a file given to `vxcli run`.
  Ran steps(const std::string& text) {
    root_.write("/steps.txt", text);
    return run("run " + root_.at("/steps.txt"));
  }
  void SetUp() override { ::setenv("VXIMA_SIMULATOR", source_path("examples/nic-lab.json").c_str(), 1); }
  void TearDown() override { ::unsetenv("VXIMA_SIMULATOR"); }

  TempRoot root_;
};

// The state a host's long-lived client keeps lives through the steps of one run: a loopback test's
// counters are shown in that run, a pending profile choice is what SaveProfile saves, and the
// instance an action created is the one its printed number deletes.
TEST_F(Vxcli, StepsOfARunShareTheProcess) {
  const std::string tlvs = "ROOT/Vexalon0/PortDiscoveryAndConfiguration0/DCBX/ApplicationTLVGroups/AdministratorTLVSetting";
  const Ran ran = steps(std::string("# loopback on port 0, then a profile saved\n\n") +
                        "do " + kDiag + "/EnterLoopBackMode " + kLoopback + "\n" +
                        "do " + kDiag + "/NetworkLoopBackTest Pattern=a5a5a5a5a5a5a5a5 ByteCount=1500 " +
                        "LoopCount=10 " + kLoopback + "   # ten loops\n" +
                        "do " + kDiag + "/ExitLoopBackMode SourcePortNumber=0 DestinationPortNumber=0\n" +
                        "set " + kConfiguredProfileId + " '2'\n" +
                        "do ROOT/Vexalon0/ProfileManagement/SaveProfile\n" +
                        "do " + tlvs + "/AddApplicationTLV ProtocolSelector=1 ProtocolID=860 PriorityBitMap=0x20\n" +
                        "do " + tlvs + "/DeleteApplicationTLV InstanceNumber=2\n");
  ASSERT_EQ(ran.exit, 0) << ran.out << ran.err;
  EXPECT_TRUE(has(ran.out, "created ApplicationTLV2 [")) << ran.out;
  const std::string left = run("tree " + tlvs).out;
  EXPECT_TRUE(has(left, "ProtocolID [") && has(left, "= \"0xcbc\"")) << "the iSCSI entry stays\n" << left;
  EXPECT_FALSE(has(left, "\"0x35c\"")) << left;
  EXPECT_TRUE(has(ran.out, "changed TotalCompleteCount [")) << ran.out;
  EXPECT_TRUE(has(ran.out, "] \"0\" -> \"10\"\n")) << ran.out;
  EXPECT_TRUE(has(ran.out, "status 304 \"User requested configuration changed successfully.")) << ran.out;
  EXPECT_TRUE(has(ran.out, "changed RebootRequired [")) << ran.out;
  EXPECT_EQ(run(std::string("get ") + kConfiguredProfileId).out, "2\n");
}

// One step a line as on the command line; a line that is not understood stops the run before any
// step ran, a step that fails stops it with its exit status.
TEST_F(Vxcli, ARunStopsAtTheFirstStepThatFails) {
  const struct Row {
    const char* what;
    std::string text;
    int exit;
    const char* out;    // the whole standard output
    const char* err;    // part of standard error
    const char* level;  // the debug level afterwards
  } rows[] = {
      {"quotes and comments", "set ROOT/VARUDebugLevel \"4\"  # quoted\n\t# only a comment\nget ROOT/VARUDebugLevel\n",
       0, "4\n", "", "4"},
      {"a failing step", "get ROOT/Vexalon0/NoSuchProperty\nset ROOT/VARUDebugLevel 5\n", 1, "",
       "line 1: the step failed (exit status 1); the steps after it were not run", "0"},
      {"a later line not understood", "set ROOT/VARUDebugLevel 5\ngte ROOT/VARUDebugLevel\n", 2, "",
       "line 2: \"gte\" is no command; nothing was run", "0"},
      {"an unclosed quote", "set ROOT/VARUDebugLevel 5\nset ROOT/VARUDebugLevel '6\n", 2, "",
       "line 2: a ' is not closed", "0"},
      {"a run inside a run", "run other.txt\n", 2, "", "\"run\" is no command", "0"},
      {"too many arguments", "get ROOT/VARUDebugLevel ROOT\n", 2, "", "get: too many arguments", "0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    run("set ROOT/VARUDebugLevel 0");
    const Ran ran = steps(row.text);
    EXPECT_EQ(ran.exit, row.exit) << ran.err;
    EXPECT_EQ(ran.out, row.out);
    EXPECT_TRUE(has(ran.err, row.err)) << ran.err;
    EXPECT_EQ(run("get ROOT/VARUDebugLevel").out, std::string(row.level) + "\n");
  }
  // Standard input, and a file that is not there.
  EXPECT_EQ(run("run -", "", "get ROOT/VARUDebugLevel\n").out, "0\n");
  const Ran missing = run("run " + root_.at("/none.txt"));
  EXPECT_EQ(missing.exit, 1);
  EXPECT_TRUE(has(missing.err, "cannot read " + root_.at("/none.txt") + ": No such file or directory")) << missing.err;
}

// On a root whose scratch directory is read-only (a mount of its own, seen by that process alone)
// a new level is refused with the file's name and the level stays the one the file holds.
TEST_F(Vxcli, ALevelTheRootCannotKeepIsRefused) {
  if (::geteuid() != 0 || std::system("unshare -m true 2>/dev/null") != 0) GTEST_SKIP() << "needs a mount namespace";
  ASSERT_EQ(run("set ROOT/VARUDebugLevel 3").exit, 0);
  const std::string scratch = root_.at("/scratch");
  const Ran refused = run_tool("vxcli", "set ROOT/VARUDebugLevel 6", "",
                               "unshare -m sh -c 'mount --bind -o ro \"$0\" \"$0\" && exec \"$@\"' " + scratch);
  EXPECT_EQ(refused.exit, 1);
  EXPECT_TRUE(has(refused.err, "Failed to update libvaru.conf. The log level is kept.")) << refused.err;
  EXPECT_EQ(run("get ROOT/VARUDebugLevel").out, "3\n");
}

// After `do`: the properties of the action's group whose values changed, and a file it wrote.
TEST_F(Vxcli, AnActionShowsWhatItChangedAndWrote) {
  const Ran dma = run(std::string("do ") + kDiag + "/HostToDDRDMATest Pattern=0102030405060708 ByteCount=64 LoopCount=5");
  ASSERT_EQ(dma.exit, 0) << dma.err;
  EXPECT_TRUE(has(dma.out, "changed TotalCompleteCount [")) << dma.out;
  EXPECT_TRUE(has(dma.out, "] \"0\" -> \"5\"\n")) << dma.out;
  EXPECT_FALSE(has(dma.out, "changed IsLoopbackSupported")) << dma.out;
  const std::string fat = root_.at("/fat.bin");
  const Ran wrote = run("do ROOT/Vexalon0/FATData/RetrieveFATData FATFileName=" + fat);
  ASSERT_EQ(wrote.exit, 0) << wrote.err;
  EXPECT_TRUE(has(wrote.out, "wrote " + fat + " (")) << wrote.out;
  EXPECT_TRUE(has(wrote.out, " bytes)\n")) << wrote.out;
  // A file an action only reads is not shown.
  const Ran read_only = run("do ROOT/Vexalon0/UpgradeFlashROM UFIFileName=" + fat);
  EXPECT_FALSE(has(read_only.out, "wrote")) << read_only.out;
}

TEST_F(Vxcli, DescribeListsWhatAnActionTakes) {
  const Ran action = run(std::string("describe ") + kDiag + "/NetworkLoopBackTest");
  ASSERT_EQ(action.exit, 0) << action.err;
  const char* const params[] = {
      "  Pattern (required): a text of 3 to 16 characters\n",
      "  ByteCount (required): an integer from 1500 to 8192\n",
      "  LoopCount (required): an integer from 1 to 4096\n",
      "  SourcePortNumber (required): an integer from 0 to 3\n",
      "  DestinationPortNumber (required): an integer from 0 to 3\n",
      "  LoopbackType (required): one of MacLoopBack, PhyLoopBack, OnePortLoopBack, TwoPortLoopBack\n",
  };
  for (const char* p : params) EXPECT_TRUE(has(action.out, p)) << p << action.out;
  EXPECT_TRUE(has(run("describe ROOT/Vexalon0/ProfileManagement/SaveProfile").out, "  no parameters\n"));
  const Ran prop = run(std::string("describe ") + kConfiguredProfileId);
  EXPECT_TRUE(has(prop.out, "  access: read-write\n  value: an integer from")) << prop.out;
  EXPECT_TRUE(has(prop.out, "  now: \"1\"\n")) << prop.out;
  EXPECT_TRUE(has(run("describe ROOT/Vexalon0/ProfileManagement/RebootRequired").out, "  access: read-only\n"));
  EXPECT_TRUE(has(run(std::string("describe ") + kDiag).out, "Diagnostics [")) << "a group";
  const Ran none = run(std::string("describe ") + kDiag + "/NoSuchThing");
  EXPECT_EQ(none.exit, 1);
  EXPECT_TRUE(has(none.err, "no property, action or group \"NoSuchThing\"")) << none.err;
}

TEST_F(Vxcli, TheTreeOfTheLabShowsTheAdaptersTrees) {
  const Ran ran = run("tree");
  ASSERT_EQ(ran.exit, 0) << ran.err;
  EXPECT_EQ(ran.out.rfind("ROOT [0] group\n", 0), 0u);
  EXPECT_TRUE(has(ran.out, "\n    Diagnostics [")) << "the adapters' trees are there";
}

// Without an adapter a command that needs one exits 1 with the reason; ROOT's own properties stay
// reachable.
TEST_F(Vxcli, NoAdapterFoundNamesTheCause) {
  root_.write("/refused.json", "{\"adapters\": [{\"serial_number\": \"BL1\", \"generation\": 9}]}");
  const struct Row {
    const char* what;
    std::string env;
    std::string why;
  } rows[] = {
      {"a missing file", "VXIMA_SIMULATOR=/nonexistent.json",
       "the simulator file /nonexistent.json cannot be read: No such file or directory"},
      {"a refused file", "VXIMA_SIMULATOR=" + root_.at("/refused.json"),
       "the simulator refused " + root_.at("/refused.json") + ": "},
      {"no root", "-u VXIMA_ROOT", "VXIMA_ROOT is not set"},
      {"no simulator", "-u VXIMA_SIMULATOR", "no simulated adapter is configured (VXIMA_SIMULATOR=FILE)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    for (const char* args : {"tree", "get ROOT/Vexalon0/SerialNumber", "describe ROOT/Vexalon0"}) {
      const Ran ran = run(args, row.env);
      EXPECT_EQ(ran.exit, 1) << args;
      EXPECT_EQ(ran.out, "") << args;
      EXPECT_TRUE(has(ran.err, "vxcli: no adapter found: ")) << args << ran.err;
      EXPECT_TRUE(has(ran.err, row.why)) << args << ran.err;
      EXPECT_TRUE(has(ran.err, "; last status 313 \"")) << args << ran.err;
    }
    EXPECT_EQ(run("get ROOT/VARUDebugLevel", row.env).exit, 0);
  }
}

TEST_F(Vxcli, HelpAndTheUsage) {
  for (const char* args : {"help", "--help", "-h"}) {
    const Ran ran = run(args);
    EXPECT_EQ(ran.exit, 0) << args;
    EXPECT_TRUE(has(ran.out, "usage: vxcli tree [PATH]\n")) << args;
    EXPECT_TRUE(has(ran.out, "VXIMA_ROOT=DIR") && has(ran.out, "VXIMA_SIMULATOR=FILE")) << args;
  }
  for (const char* args : {"", "frobnicate", "get", "set ROOT/VARUDebugLevel", "run"}) {
    const Ran ran = run(args);
    EXPECT_EQ(ran.exit, 2) << args;
    EXPECT_TRUE(has(ran.err, "usage: vxcli tree [PATH]\n")) << args;
  }
}

// A status that sends the user to an engine log that is off says, once, where the log is and how
// to turn it on; with the log on it says nothing more.
TEST_F(Vxcli, AnEmptyLogIsExplained) {
  const std::string hint = "vxcli: the log " + root_.at("/tmp/varu2d.log") + " stays empty while the log level is 0";
  const Ran off = run(std::string("get ") + kDcbxRead);
  EXPECT_EQ(off.exit, 1);
  EXPECT_TRUE(has(off.err, "Please check varu2d.log")) << off.err;
  EXPECT_TRUE(has(off.err, hint + ": raise it with \"vxcli set ROOT/VARUDebugLevel 6\"")) << off.err;
  const Ran on = steps(std::string("set ROOT/VARUDebugLevel 6\nget ") + kDcbxRead + "\n");
  EXPECT_EQ(on.exit, 1);
  EXPECT_TRUE(has(on.err, "Please check varu2d.log")) << on.err;
  EXPECT_FALSE(has(on.err, "stays empty")) << on.err;
  EXPECT_NE(root_.read("/tmp/varu2d.log"), "");
}

}  // namespace
}  // namespace vxtest
