// The firmware-file tools' command lines: help on standard output with exit status 0, a command line
// they do not take refused with the usage on standard error and exit status 2; vxufi's help names
// every key the example descriptions use.
#include <dirent.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "support/test_support.h"
#include "tests/tools/tool_runner.h"

namespace vxtest {
namespace {

TEST(ToolUsage, HelpIsAnAnswerAndABadCommandLineARefusal) {
  struct Row {
    const char* tool;
    const char* args;
    int exit;
  } rows[] = {
      {"vxdump", "--help", 0},   {"vxdump", "-h", 0},       {"vxdump", "", 2},
      {"vxdump", "a b", 2},      {"vxdump", "--frob", 2},   {"vxdump", "--help x", 2},
      {"vxufi", "--help", 0},    {"vxufi", "-h", 0},        {"vxufi", "", 2},
      {"vxufi", "d.json", 2},    {"vxufi", "-x out", 2},    {"vxufi", "d.json --help", 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.tool) + " " + row.args);
    const Ran ran = run_tool(row.tool, row.args);
    EXPECT_EQ(ran.exit, row.exit) << ran.out << ran.err;
    const std::string usage = std::string("usage: ") + row.tool + " ";
    EXPECT_EQ((row.exit == 0 ? ran.out : ran.err).rfind(usage, 0), 0u) << ran.out << ran.err;
    EXPECT_EQ(row.exit == 0 ? ran.err : ran.out, "");
  }
}

TEST(ToolUsage, VxufiHelpNamesEveryKeyOfTheExamples) {
  const std::string help = run_tool("vxufi", "--help").out;
  EXPECT_NE(help.find("examples/firmware/"), std::string::npos) << help;
  std::set<std::string> keys;
  const std::string dir = source_path("examples/firmware");
  DIR* d = ::opendir(dir.c_str());
  ASSERT_NE(d, nullptr) << dir;
  while (const dirent* e = ::readdir(d)) {
    if (std::string(e->d_name).find(".json") == std::string::npos) continue;
    std::ostringstream text;
    text << std::ifstream(dir + "/" + e->d_name).rdbuf();
    const std::string json = text.str();
    const std::regex key("\"([a-z_]+)\"\\s*:");
    for (std::sregex_iterator it(json.begin(), json.end(), key), end; it != end; ++it) keys.insert((*it)[1]);
  }
  ::closedir(d);
  EXPECT_GE(keys.size(), 10u);
  for (const std::string& k : keys) {
    EXPECT_TRUE(std::regex_search(help, std::regex("[^a-z_]" + k + "[^a-z_]"))) << k << "\n" << help;
  }
}

}  // namespace
}  // namespace vxtest
