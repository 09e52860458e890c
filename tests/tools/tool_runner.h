// The tools of the build, run as a user runs them: by the shell, from the directory of this test
// program.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace vxtest {

struct Ran {
  int exit;
  std::string out;   // standard output
  std::string err;   // standard error
};

// `tool` with `args` as the shell reads them (redirections of standard input included), under
// `env` (assignments as env(1) takes them) when given, started by `through` (a command that ends by
// running the words after it, as unshare(1) does) when given.
inline Ran run_tool(const char* tool, const std::string& args, const std::string& env = "",
                    const std::string& through = "") {
  char self[4096] = {};
  char err_path[] = "/tmp/vxtool-err-XXXXXX";
  const int fd = ::mkstemp(err_path);
  if (fd < 0 || ::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return {-1, "", ""};
  ::close(fd);
  std::string program(self);
  program = program.substr(0, program.rfind('/') + 1) + tool;
  Ran ran{-1, "", ""};
  const std::string line = (env.empty() ? "" : "env " + env + " ") + (through.empty() ? "" : through + " ") + program +
                           " " + args + " 2>" + err_path;
  if (FILE* p = ::popen(line.c_str(), "r")) {
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) ran.out.append(buf, n);
    const int status = ::pclose(p);
    ran.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  std::ostringstream err;
  err << std::ifstream(err_path).rdbuf();
  ran.err = err.str();
  ::unlink(err_path);
  return ran;
}

}  // namespace vxtest
