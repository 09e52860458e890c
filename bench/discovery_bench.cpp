// SendTargets discovery of 1, 64 and 256 targets through one discovery portal that answers 100 per
// page (the rest through the continuation of generation 5), and the login and logout of 16, 64 and
// 256 sessions (one to each discovered target), through the public calls on a simulated
// generation-5 adapter. Each discovered target is made and recorded once; each login registers a
// persistent target, logs in, mirrors the session and scans its LUNs. The cost per target, per
// login, per logout and per session (a login and a logout), in all and the library's own (without
// the time inside the device calls; wall and CPU time, the CPU time split into user and system
// time), should not grow with the count; the fsyncs and the firmware commands are counted.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_support.h"
#include "varu.h"

namespace {

constexpr const char* kLhba = "Vexalon0/iSCSIPhysicalHBA0/LogicalHBA0";

std::string target_name(int i) { return "iqn.2026-01.com.example:d" + std::to_string(i); }

std::string make_config(int targets) {
  std::string s =
      R"({"adapters": [{"serial_number": "BENCHD5", "generation": 5, "pci": {"bus": 9}, "ports": 1,
                       "iscsi_functions": [{"function": 2}]}], "network": {"targets": [)";
  for (int i = 0; i < targets; ++i) {
    s += std::string(i ? ", " : "") + "{\"name\": \"" + target_name(i) + "\", \"portals\": [{\"address\": \"" +
         vxbench::spread_address(i) + "\"}]}";
  }
  return s + R"(], "discovery_portals": [{"address": "10.0.0.9", "page_size": 100}]}})";
}

using vxbench::act;
using vxbench::tag_of;

std::string target_path(int i) { return std::string(kLhba) + "/Target" + std::to_string(i); }

// A scratch root, the simulated adapter with `targets` remote targets behind one discovery portal,
// a started library and that portal added.
class DiscoveryLab {
 public:
  explicit DiscoveryLab(int targets) : lab_(make_config(targets)) {
    ok_ = lab_.ok() && library_.ok();
    const uint32_t discovery = tag_of(std::string(kLhba) + "/Discovery");
    ok_ = ok_ && discovery != UINT32_MAX && act(discovery, "AddSendTargetPortal", {"10.0.0.9", "3260"}) == 0;
    portal_ = tag_of(std::string(kLhba) + "/Discovery/SendTargetPortal0");
  }
  bool ok() const { return ok_; }
  const vxbench::Lab& lab() const { return lab_; }
  uint32_t discover() const { return act(portal_, "DiscoverTargets", {}); }

 private:
  vxbench::Lab lab_;
  vxbench::Started library_;
  bool ok_ = false;
  uint32_t portal_ = UINT32_MAX;
};

void BM_Discovery(benchmark::State& state) {
  const int targets = static_cast<int>(state.range(0));
  DiscoveryLab lab(targets);
  if (!lab.ok()) {
    state.SkipWithError("simulated adapter module not available (build the vxsim target)");
    return;
  }
  const uint32_t lhba = tag_of(kLhba);
  vxbench::SplitTimer timer;
  for (auto _ : state) {
    timer.start();
    const uint32_t found = lab.discover();
    timer.stop();
    if (found != 0 || tag_of(target_path(targets - 1)) == UINT32_MAX) {
      state.SkipWithError("discovery failed or missed targets");
      return;
    }
    // Not timed: the targets go again, so that the next discovery makes and records them anew.
    for (int i = targets - 1; i >= 0; --i) act(lhba, "DeleteTarget", {std::to_string(i).c_str()});
  }
  state.counters["targets"] = targets;
  state.counters["discovery_ms"] = timer.total() * 1e3 / static_cast<double>(state.iterations());
  timer.report(state, "per_target", static_cast<double>(state.iterations()) * targets);
}

void BM_LoginLogout(benchmark::State& state) {
  const int sessions = static_cast<int>(state.range(0));
  DiscoveryLab lab(sessions);
  if (!lab.ok() || lab.discover() != 0) {
    state.SkipWithError("simulated adapter module not available, or the discovery failed");
    return;
  }
  std::vector<uint32_t> targets;
  for (int i = 0; i < sessions; ++i) targets.push_back(tag_of(target_path(i)));
  vxbench::SplitTimer login;
  vxbench::SplitTimer logout;
  lab.lab().clear_journal();
  for (auto _ : state) {
    for (auto [timer, action] : {std::pair{&login, "Login"}, std::pair{&logout, "Logout"}}) {
      timer->start();
      for (uint32_t t : targets) {
        if (act(t, action, {}) != 0) {
          state.SkipWithError(timer == &login ? "login failed" : "logout failed");
          return;
        }
      }
      timer->stop();
    }
  }
  const double logins = static_cast<double>(state.iterations()) * sessions;
  state.counters["sessions"] = sessions;
  state.counters["commands_per_session"] = lab.lab().firmware_commands() / logins;
  login.report(state, "per_login", logins);
  logout.report(state, "per_logout", logins);
  vxbench::SplitTimes session = login;
  session += logout;
  session.report(state, "per_session", logins);
}

}  // namespace

BENCHMARK(BM_Discovery)->ArgName("targets")->Arg(1)->Arg(64)->Arg(256)->Iterations(3)->Unit(benchmark::kMillisecond);
// Each count runs 768 logins and logouts in all, so that the small counts are measured as long (and
// the split of the CPU time into user and system time has as many ticks).
BENCHMARK(BM_LoginLogout)->ArgName("sessions")->Arg(16)->Iterations(48)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoginLogout)->ArgName("sessions")->Arg(64)->Iterations(12)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoginLogout)->ArgName("sessions")->Arg(256)->Iterations(3)->Unit(benchmark::kMillisecond);
