// The lab of examples/nic-lab.json started, with the working directory moved to a fresh directory of
// the test's root (the actions write their files relative to it), and helpers that run actions and
// read what they leave.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "tests/api/lab_fixture.h"
#include "tests/api/startup_fixture.h"

namespace vxtest {

constexpr const char* kGen5 = "Vexalon0";
constexpr const char* kGen3 = "Vexalon1";
constexpr const char* kGen2 = "Vexalon2";
constexpr const char* kGen4 = "Vexalon3";

class MaintenanceLab : public StartupTest {
 protected:
  void SetUp() override {
    // The library finds the simulated adapter module beside this program by the path the program
    // was started by; a relative one no longer holds once the directory moves: loaded first.
    use_example("nic-lab.json");
    root_.write("/work/.keep", "");
    ASSERT_NE(::getcwd(saved_cwd_, sizeof saved_cwd_), nullptr);
    ASSERT_EQ(::chdir(root_.at("/work").c_str()), 0);
    ::unlink(".keep");
  }
  void TearDown() override {
    StartupTest::TearDown();
    EXPECT_EQ(::chdir(saved_cwd_), 0);
  }

  void start_lab(const std::string& config_json = "") {
    if (config_json.empty()) {
      use_example("nic-lab.json");
    } else {
      use_config_text(config_json);
    }
    ASSERT_EQ(start(), 0u);
  }

  // An action of the group at `path`; a NULL slot is a parameter not given.
  uint32_t run(const std::string& path, const char* action, std::initializer_list<const char*> slots = {}) {
    return act(tag_at(path), action, slots);
  }
  uint32_t set(const std::string& path, const std::string& value) {
    const size_t slash = path.rfind('/');
    return set_value(tag_at(path.substr(0, slash)), path.substr(slash + 1).c_str(), value);
  }

  // The files of the working directory and a file's bytes.
  static std::set<std::string> files() {
    std::set<std::string> names;
    if (DIR* d = ::opendir(".")) {
      while (dirent* e = ::readdir(d)) {
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.insert(e->d_name);
      }
      ::closedir(d);
    }
    return names;
  }
  static std::string bytes(const char* file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  char saved_cwd_[4096] = "";
};

}  // namespace vxtest
