// A generation-3 firmware update (UpgradeFlashROM) of 2.5, 6.5 and 10.75 MB of components, the
// last from the whole 16 MB image, and a live core dump (RetrieveBrightlaneCoreDump) of 16, 32 and
// 64 segments of 1 MB, against the simulated adapter: reported as bytes per second, so that time
// linear in bytes shows as a flat rate, and per update or dump in all, as the library's own wall and
// CPU time (without the device calls: the simulator writing its regions, or making the segments)
// and as the library's fsyncs.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_support.h"
#include "tools/vxufi/ufi_writer.h"
#include "varu.h"

namespace {

constexpr const char* kGen3Adapter = R"({"serial_number": "B3", "generation": 3,
  "iscsi_functions": [{"function": 1}], "nic_functions": [{"function": 0}])";

// Components of the image by image type: each adds what the row of the fixed table holds.
const char* const kComponents[] = {
    R"({"image_type": "0xE0", "fill": 1})", R"({"image_type": "0x22", "fill": 2})",
    R"({"image_type": "0x20", "fill": 3})", R"({"image_type": "0x21", "fill": 4})",
    R"({"image_type": "0xA0", "fill": 5})", R"({"image_type": "0xB0", "fill": 6})",
    R"({"image_type": "0xA2", "fill": 7})", R"({"image_type": "0xB2", "fill": 8})",
    R"({"image_type": "0x10", "fill": 9})",
};

void BM_FlashGeneration3(benchmark::State& state) {
  vxbench::Lab lab(std::string(R"({"adapters": [)") + kGen3Adapter + "}]}");
  const size_t count = static_cast<size_t>(state.range(0));
  std::string description = R"({"generation": 3, "components": [)";
  for (size_t i = 0; i < count; ++i) description += (i ? "," : "") + std::string(kComponents[i]);
  vxufi::Written file;
  std::string error;
  const std::string image = lab.root() + "/image.ufi";
  const bool written = lab.ok() && vxufi::write_file(description + "]}", image, &file, &error);
  const vxbench::Started library;
  if (!written || !library.ok()) {
    state.SkipWithError("no simulated adapter or image");
    return;
  }
  uint64_t bytes = 0;
  for (const vxufi::Placed& p : file.placed) bytes += p.size;
  const uint32_t controller = vxbench::tag_of("Vexalon0");
  vxbench::SplitTimer timer;
  for (auto _ : state) {
    timer.start();
    const uint32_t updated = vxbench::act(controller, "UpgradeFlashROM", {image.c_str()});
    timer.stop();
    if (updated != 0) state.SkipWithError("update failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes * state.iterations()));
  state.counters["MB"] = static_cast<double>(bytes) / (1 << 20);
  state.counters["file_MB"] = static_cast<double>(file.bytes.size()) / (1 << 20);
  timer.report(state, "per_update", static_cast<double>(state.iterations()));
}
BENCHMARK(BM_FlashGeneration3)->Arg(4)->Arg(6)->Arg(9)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_CoreDump(benchmark::State& state) {
  const int segments = static_cast<int>(state.range(0));
  std::string list;
  for (int i = 0; i < segments; ++i) {
    list += (i ? "," : "") + std::string(R"({"id": )") + std::to_string(i) + R"(, "length": 1048576})";
  }
  vxbench::Lab lab(std::string(R"({"adapters": [)") + kGen3Adapter +
                   R"(, "core_dump": {"components": [{"id": 2, "segments": [)" + list + "]}]}}]}");
  const std::string file = lab.root() + "/core.bin";
  const vxbench::Started library;
  if (!lab.ok() || !library.ok()) {
    state.SkipWithError("no simulated adapter");
    return;
  }
  const uint32_t controller = vxbench::tag_of("Vexalon0");
  vxbench::SplitTimer timer;
  for (auto _ : state) {
    timer.start();
    const uint32_t dumped = vxbench::act(controller, "RetrieveBrightlaneCoreDump", {file.c_str()});
    timer.stop();
    if (dumped != 0) state.SkipWithError("dump failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(segments) * (1 << 20) * state.iterations());
  timer.report(state, "per_dump", static_cast<double>(state.iterations()));
}
BENCHMARK(BM_CoreDump)->Arg(16)->Arg(32)->Arg(64)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
