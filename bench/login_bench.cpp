// The login and logout of one session to each of 16, 64 and 256 static targets through the public
// calls on a simulated generation-5 adapter. Reported per session: the library's own CPU time (the
// thread's CPU time less what it spends inside the device calls, that is in the simulated adapter),
// which should not grow with the count, and the fsyncs of the library's files per login and per
// logout.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "platform/file_store.h"
#include "varu.h"

namespace {

constexpr const char* kLoginLhba = "Vexalon0/iSCSIPhysicalHBA0/LogicalHBA0";

std::string login_target(int i) { return "iqn.2026-01.com.example:login" + std::to_string(i); }

std::string login_config(int targets) {
  std::string list;
  for (int i = 0; i < targets; ++i) {
    list += std::string(i == 0 ? "" : ", ") + R"({"name": ")" + login_target(i) + R"(", "portals": [{"address": ")" +
            vxbench::spread_address(i) + R"("}]})";
  }
  return R"({"adapters": [{"serial_number": "BENCHL5", "generation": 5, "pci": {"bus": 7}, "ports": 1,
             "iscsi_functions": [{"function": 2}]}], "network": {"targets": [)" +
         list + "]}}";
}

double thread_cpu() {
  struct timespec now {};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The thread's CPU time inside the seam's device calls, and the fsyncs of the library's files,
// counted while a Meter stands. One thread, one meter at a time.
struct Counts {
  double device_cpu = 0;
  long fsyncs = 0;
  vx::HostOps seam{};
  int (*fsync)(int) = nullptr;
};
Counts& counts() {
  static Counts c;
  return c;
}

template <typename Call, typename... Args>
int in_device(Call call, Args... args) {
  const double start = thread_cpu();
  const int result = call(args...);
  counts().device_cpu += thread_cpu() - start;
  return result;
}

// Counts while it stands.
class Meter {
 public:
  Meter() {
    Counts& c = counts();
    c.seam = vx::host_ops();
    c.fsync = vx::file_store::system_calls().fsync;
    vx::host_ops().open = [](const char* p, int f, mode_t m) { return in_device(counts().seam.open, p, f, m); };
    vx::host_ops().close = [](int fd) { return in_device(counts().seam.close, fd); };
    vx::host_ops().ioctl = [](int fd, unsigned long r, void* a) { return in_device(counts().seam.ioctl, fd, r, a); };
    vx::file_store::system_calls().fsync = [](int fd) {
      ++counts().fsyncs;
      return counts().fsync(fd);
    };
  }
  ~Meter() {
    vx::host_ops() = counts().seam;
    vx::file_store::system_calls().fsync = counts().fsync;
  }
  Meter(const Meter&) = delete;
  Meter& operator=(const Meter&) = delete;
};

// The library's CPU time and the fsyncs of the spans measured, in all.
class Spans {
 public:
  void start() {
    cpu_at_ = thread_cpu();
    device_at_ = counts().device_cpu;
    fsyncs_at_ = counts().fsyncs;
  }
  void stop() {
    library_cpu_ += thread_cpu() - cpu_at_ - (counts().device_cpu - device_at_);
    fsyncs_ += counts().fsyncs - fsyncs_at_;
  }
  double library_cpu() const { return library_cpu_; }
  long fsyncs() const { return fsyncs_; }

 private:
  double cpu_at_ = 0;
  double device_at_ = 0;
  long fsyncs_at_ = 0;
  double library_cpu_ = 0;
  long fsyncs_ = 0;
};

void BM_LoginLogoutCpu(benchmark::State& state) {
  const int sessions = static_cast<int>(state.range(0));
  vxbench::Lab lab(login_config(sessions));
  const bool started = lab.ok() && VARU_init() == 0;
  const uint32_t lhba = started ? vxbench::tag_of(kLoginLhba) : UINT32_MAX;
  std::vector<uint32_t> targets;
  // Each target is added (its persistent registration logs in at once) and logged out again.
  for (int i = 0; lhba != UINT32_MAX && i < sessions; ++i) {
    if (vxbench::act(lhba, "AddTarget", {login_target(i).c_str(), vxbench::spread_address(i).c_str()}) != 0) break;
    targets.push_back(vxbench::tag_of(std::string(kLoginLhba) + "/Target" + std::to_string(i)));
    if (vxbench::act(targets.back(), "Logout", {}) != 0) break;
  }
  if (static_cast<int>(targets.size()) != sessions) {
    state.SkipWithError("simulated adapter module not available (build the vxsim target), or a target was refused");
  } else {
    Meter meter;
    Spans login;
    Spans logout;
    bool failed = false;
    for (auto _ : state) {
      for (Spans* spans : {&login, &logout}) {
        const char* action = spans == &login ? "Login" : "Logout";
        spans->start();
        for (size_t i = 0; i < targets.size() && !failed; ++i) failed = vxbench::act(targets[i], action, {}) != 0;
        spans->stop();
        if (failed) {
          state.SkipWithError(spans == &login ? "login failed" : "logout failed");
          break;
        }
      }
      if (failed) break;
    }
    const double done = static_cast<double>(state.iterations()) * sessions;
    state.counters["sessions"] = sessions;
    state.counters["library_cpu_us_per_session"] = (login.library_cpu() + logout.library_cpu()) * 1e6 / done;
    state.counters["login_cpu_us"] = login.library_cpu() * 1e6 / done;
    state.counters["logout_cpu_us"] = logout.library_cpu() * 1e6 / done;
    state.counters["fsyncs_per_login"] = static_cast<double>(login.fsyncs()) / done;
    state.counters["fsyncs_per_logout"] = static_cast<double>(logout.fsyncs()) / done;
  }
  VARU_exit();
  ::unsetenv("VXIMA_SIMULATOR");
}

}  // namespace

// Each count runs 768 logins and logouts in all, so that the small counts are measured as long.
BENCHMARK(BM_LoginLogoutCpu)->ArgName("sessions")->Arg(16)->Iterations(48)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoginLogoutCpu)->ArgName("sessions")->Arg(64)->Iterations(12)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoginLogoutCpu)->ArgName("sessions")->Arg(256)->Iterations(3)->Unit(benchmark::kMillisecond);
