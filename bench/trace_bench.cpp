// The event-log refresh of 1, 256 and 1023 records (one command, then one EventLogEntry instance of
// five properties per record) and the ARM log of 1,000 and 10,000 RAM entries written behind the
// string table (a command per 998 entries), against one simulated generation-5 adapter. Reported
// per record, so that linear growth shows as flat counters: in all, as the library's own wall and
// CPU time (without the device calls) and as the library's fsyncs.
#include <benchmark/benchmark.h>

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

// Runs `action` of `group` every iteration; the counters per record, `per` naming it.
void measure(benchmark::State& state, const std::string& group, const char* action,
             std::initializer_list<const char*> params, double records, const char* per) {
  const uint32_t tag = vxbench::tag_of(group);
  vxbench::SplitTimer timer;
  for (auto _ : state) {
    timer.start();
    const uint32_t done = vxbench::act(tag, action, params);
    timer.stop();
    if (done != 0) {
      state.SkipWithError("the action failed");
      break;
    }
  }
  state.counters["records"] = records;
  timer.report(state, per, static_cast<double>(state.iterations()) * records);
}

void BM_EventLogRefresh(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  vxbench::Lab lab(adapter_config(records, 0));
  const vxbench::Started library;
  if (!lab.ok() || !library.ok()) {
    state.SkipWithError("simulated adapter module not available (build the vxsim target)");
    return;
  }
  measure(state, "Vexalon0/EventLog", "RefreshEventLog", {}, records, "per_record");
}

// The log is written to "arm.log" in the working directory: the lab's root for the benchmark.
void BM_ArmLog(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  vxbench::Lab lab(adapter_config(0, entries));
  const vxbench::InDirectory in_root(lab.root());
  const vxbench::Started library;
  if (!lab.ok() || !in_root.ok() || !library.ok()) {
    state.SkipWithError("simulated adapter module not available (build the vxsim target)");
    return;
  }
  measure(state, "Vexalon0/ExtFATData", "RetrieveARMLog", {"arm.log", "RAM"}, entries, "per_entry");
}

}  // namespace

BENCHMARK(BM_EventLogRefresh)->Arg(1)->Arg(256)->Arg(1023)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArmLog)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
