// The event-log refresh of 1, 256 and 1023 records (one command, then one EventLogEntry instance of
// five properties per record) and the ARM log of 1,000 and 10,000 RAM entries written behind the
// string table (a command per 998 entries), against one simulated generation-5 adapter. Reported
// per record, so that linear growth shows as flat counters.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <string>

#include "bench/bench_support.h"
#include "varu.h"

namespace {

std::string adapter_config(int events, int ram_entries) {
  std::string log;
  for (int i = 0; i < events; ++i) {
    log += std::string(i == 0 ? "" : ",") + R"({"code": 40, "severity": 2, "sequence": )" + std::to_string(i + 1) +
           R"(, "time": )" + std::to_string(100 + i) + R"(, "args": [1]})";
  }
  return R"({"adapters": [{"serial_number": "BENCH5", "generation": 5, "iscsi_functions": [{"function": 2}],
             "extfat": {"ram_entries": )" +
         std::to_string(ram_entries) + R"(}, "event_log": [)" + log + "]}]}";
}

// Runs `action` of `group` every iteration; the time per record in the counter `name`.
void measure(benchmark::State& state, const std::string& group, const char* action,
             std::initializer_list<const char*> params, double records, const char* name) {
  const uint32_t tag = vxbench::tag_of(group);
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (vxbench::act(tag, action, params) != 0) {
      state.SkipWithError("the action failed");
      break;
    }
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["records"] = records;
  state.counters[name] = seconds * 1e6 / static_cast<double>(state.iterations()) / records;
}

void BM_EventLogRefresh(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  vxbench::Lab lab(adapter_config(records, 0));
  if (!lab.ok() || VARU_init() != 0) {
    state.SkipWithError("simulated adapter module not available (build the vxsim target)");
    return;
  }
  measure(state, "Vexalon0/EventLog", "RefreshEventLog", {}, records, "us_per_record");
  VARU_exit();
}

void BM_ArmLog(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  vxbench::Lab lab(adapter_config(0, entries));
  char cwd[4096] = "";
  if (!lab.ok() || ::getcwd(cwd, sizeof cwd) == nullptr || ::chdir(::getenv("VXIMA_ROOT")) != 0 ||
      VARU_init() != 0) {
    state.SkipWithError("simulated adapter module not available (build the vxsim target)");
    return;
  }
  measure(state, "Vexalon0/ExtFATData", "RetrieveARMLog", {"arm.log", "RAM"}, entries, "us_per_entry");
  VARU_exit();
  if (::chdir(cwd) != 0) state.SkipWithError("cannot return to the working directory");
}

}  // namespace

BENCHMARK(BM_EventLogRefresh)->Arg(1)->Arg(256)->Arg(1023)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArmLog)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
