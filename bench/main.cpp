// The benchmark runner: Google Benchmark's, with every benchmark checked after it ran. A benchmark
// fails on what is exact: when it reports an error, when a figure of it is not finite, when a count
// (commands, fsyncs, sessions, nodes, bytes, allocations) is below 0, or when it leaves the process
// otherwise than it found it (a variable, the working directory, the library started, the simulator
// loaded with a lab, an entry of the seam replaced); what it left is named and put back, so that the
// next one starts clean. A time is a measurement less a calibrated correction (the timer's own
// readings, a layer's calls inside it): a small one may come out a little below 0, and it is
// reported as measured, never failed. The exit status is 1 when any benchmark failed, so that a
// whole run can stand as a test.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "engine/api_lock.h"
#include "platform/file_store.h"
#include "platform/platform.h"
#include "varu.h"

namespace {

std::optional<std::string> variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void restore(const char* name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name, value->c_str(), 1);
  } else {
    ::unsetenv(name);
  }
}

std::string working_directory() {
  char cwd[4096];
  return ::getcwd(cwd, sizeof cwd) != nullptr ? cwd : "";
}

// True when the simulated adapter module is loaded with a configuration. Asked only while
// VXIMA_SIMULATOR is unset, so that the question never loads it.
bool simulator_loaded() {
  auto last_error = reinterpret_cast<const char* (*)()>(vx::simulator_symbol("vxsim_last_error"));
  return last_error != nullptr && last_error()[0] == '\0';
}

// True when a counter is a time, or a rate or share of times: its name carries a unit of time
// ("library_cpu_us_per_session", "ms_per_save", "ima_per_s") or says it is a share, or Google
// Benchmark divides it by the time. Every other counter is a count or a size.
bool is_time(const std::string& name, const benchmark::Counter& counter) {
  if ((counter.flags & (benchmark::Counter::kIsRate | benchmark::Counter::kInvert)) != 0) return true;
  const std::string words = "_" + name + "_";
  for (const char* unit : {"_s_", "_ms_", "_us_", "_ns_", "_share_"}) {
    if (words.find(unit) != std::string::npos) return true;
  }
  return false;
}

// What a benchmark may change and must put back.
struct Surroundings {
  std::optional<std::string> root = variable("VXIMA_ROOT");
  std::optional<std::string> simulator = variable("VXIMA_SIMULATOR");
  std::string cwd = working_directory();
  vx::HostOps ops = vx::host_ops();
  vx::file_store::SystemCalls calls = vx::file_store::system_calls();
  vx::ProgramRunner runner = vx::program_runner();

  // What differs now, each put back; "" when nothing does.
  std::string left_behind() const {
    std::string left;
    auto note = [&left](const char* what) { left += (left.empty() ? "" : ", ") + std::string(what); };
    if (variable("VXIMA_ROOT") != root) {
      note("VXIMA_ROOT");
      restore("VXIMA_ROOT", root);
    }
    if (variable("VXIMA_SIMULATOR") != simulator) {
      note("VXIMA_SIMULATOR");
      restore("VXIMA_SIMULATOR", simulator);
    }
    if (working_directory() != cwd) {
      note("the working directory");
      if (::chdir(cwd.c_str()) != 0) std::perror("vxbench: chdir");
    }
    if (vx::client_count() > 0) {
      note("the library started");
      while (vx::client_count() > 0 && VARU_exit() == 0) {
      }
    }
    vx::HostOps& now = vx::host_ops();
    if (now.open != ops.open || now.close != ops.close || now.ioctl != ops.ioctl || now.system != ops.system ||
        now.gettimeofday != ops.gettimeofday) {
      note("a device call of the seam replaced");
      now = ops;
    }
    if (vx::file_store::system_calls().read != calls.read || vx::file_store::system_calls().fsync != calls.fsync) {
      note("a system call of the file store replaced");
      vx::file_store::system_calls() = calls;
    }
    if (vx::program_runner() != runner) {
      note("the program runner replaced");
      vx::program_runner() = runner;
    }
    if (!simulator && simulator_loaded()) {
      note("the simulator loaded with a lab");
      if (auto reset = reinterpret_cast<int (*)()>(vx::simulator_symbol("vxsim_reset"))) reset();
    }
    return left;
  }
};

// The display reporter that --benchmark_format chose, with the check after each benchmark.
class CheckingReporter : public benchmark::BenchmarkReporter {
 public:
  explicit CheckingReporter(benchmark::BenchmarkReporter* display) : display_(display) {}

  bool ReportContext(const Context& context) override { return display_->ReportContext(context); }
  void ReportRuns(const std::vector<Run>& runs) override {
    display_->ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      ++runs_;
      if (run.error_occurred) {
        failed_.push_back(run.benchmark_name() + ": " + run.error_message);
        continue;
      }
      for (const auto& [name, counter] : run.counters) {
        const std::string figure = run.benchmark_name() + ": " + name + " = " + std::to_string(counter.value);
        if (!std::isfinite(counter.value)) {
          failed_.push_back(figure + " is not a figure");
        } else if (counter.value < 0 && !is_time(name, counter)) {
          failed_.push_back(figure + " is a count below 0");
        }
      }
    }
    const std::string left = surroundings_.left_behind();
    if (!left.empty() && !runs.empty()) failed_.push_back(runs.front().benchmark_name() + " left behind " + left);
  }
  void Finalize() override { display_->Finalize(); }

  int runs() const { return runs_; }
  const std::vector<std::string>& failed() const { return failed_; }

 private:
  benchmark::BenchmarkReporter* display_;
  const Surroundings surroundings_;
  int runs_ = 0;
  std::vector<std::string> failed_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  CheckingReporter reporter(benchmark::CreateDefaultDisplayReporter());
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  for (const std::string& failure : reporter.failed()) std::fprintf(stderr, "vxbench: FAILED %s\n", failure.c_str());
  const int failed = static_cast<int>(reporter.failed().size());
  if (reporter.runs() > 0) std::fprintf(stderr, "vxbench: %d benchmarks run, %d failures\n", reporter.runs(), failed);
  return failed == 0 ? 0 : 1;
}
