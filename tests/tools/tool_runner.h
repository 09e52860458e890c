// The tools of the build, run as a user runs them: by the shell, from the directory of this test
// program.
#pragma once

#include <sys/resource.h>
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
  double cpu_seconds = 0;   // the program's user and system time
};

inline double children_cpu_seconds() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// `tool` with `args` as the shell reads them (redirections of standard input included), under
// `env` (assignments as env(1) takes them) when given.
inline Ran run_tool(const char* tool, const std::string& args, const std::string& env = "") {
  char self[4096] = {};
  char err_path[] = "/tmp/vxtool-err-XXXXXX";
  const int fd = ::mkstemp(err_path);
  if (fd < 0 || ::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return {-1, "", "", 0};
  ::close(fd);
  std::string program(self);
  program = program.substr(0, program.rfind('/') + 1) + tool;
  Ran ran{-1, "", "", 0};
  const double cpu = children_cpu_seconds();
  const std::string line = (env.empty() ? "" : "env " + env + " ") + program + " " + args + " 2>" + err_path;
  if (FILE* p = ::popen(line.c_str(), "r")) {
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) ran.out.append(buf, n);
    const int status = ::pclose(p);
    ran.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    ran.cpu_seconds = children_cpu_seconds() - cpu;
  }
  std::ostringstream err;
  err << std::ifstream(err_path).rdbuf();
  ran.err = err.str();
  ::unlink(err_path);
  return ran;
}

}  // namespace vxtest
