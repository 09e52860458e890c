// The test helpers that need nothing of the library: a fresh root per test and source paths.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/test_support.h"

namespace vxtest {

TempRoot::TempRoot() {
  const char* old = std::getenv("VXIMA_ROOT");
  had_root_ = old != nullptr;
  if (had_root_) saved_root_ = old;
  std::string pattern = (std::filesystem::temp_directory_path() / "vxima-test-XXXXXX").string();
  char* made = ::mkdtemp(pattern.data());
  if (made == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = made;
  ::setenv("VXIMA_ROOT", path_.c_str(), 1);
}

TempRoot::~TempRoot() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
  if (had_root_) {
    ::setenv("VXIMA_ROOT", saved_root_.c_str(), 1);
  } else {
    ::unsetenv("VXIMA_ROOT");
  }
}

std::string TempRoot::read(const std::string& absolute) const {
  std::ifstream in(at(absolute), std::ios::binary);
  if (!in) return "";
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void TempRoot::write(const std::string& absolute, const std::string& content) const {
  std::filesystem::path p(at(absolute));
  std::filesystem::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << content;
}

bool TempRoot::exists(const std::string& absolute) const { return ::access(at(absolute).c_str(), F_OK) == 0; }

std::string source_path(const std::string& relative) {
  const char* dir = std::getenv("VXIMA_SOURCE_DIR");
  return std::string(dir != nullptr ? dir : VXTEST_SOURCE_DIR) + "/" + relative;
}

}  // namespace vxtest
