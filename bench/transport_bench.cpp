// One firmware command through the transport and back: to the simulated adapter, and to a driver
// that answers at once (the library's own share: header, buffers, copies, status map, and on the
// NIC path the node reopen and function re-enumeration that precede every command).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "access/backend_state.h"
#include "access/discovery.h"
#include "access/fw_commands.h"
#include "platform/platform.h"
#include "access/transport.h"
#include "access/wire.h"
#include "bench/bench_support.h"

namespace {

namespace wire = vx::wire;

std::string example_config() {
  const char* dir = std::getenv("VXIMA_SOURCE_DIR");
  std::filesystem::path source = dir != nullptr ? std::filesystem::path(dir)
                                                : std::filesystem::path(__FILE__).parent_path().parent_path();
  return (source / "examples/one-adapter.json").string();
}

// A temporary root (with the simulated adapter of the example, or none for the instant driver),
// and the device nodes opened as start-up opens them.
class Devices {
 public:
  explicit Devices(bool simulated) {
    if (simulated) {
      lab_ = std::make_unique<vxbench::Lab>(vxbench::file_text(example_config()));
    } else {
      root_ = std::make_unique<vxbench::ScratchRoot>("vxima-bench-");
    }
    vx::make_dirs(vx::host_path("/etc/vmware"));
    if (!simulated) {
      FILE* f = std::fopen(vx::host_path(wire::kEsxConfPath).c_str(), "w");
      if (f != nullptr) {
        std::fputs("/device/003:00.0/vmkname = \"vmnic0\"\n", f);
        std::fclose(f);
      }
    }
    vx::reset_varu_glob();
    vx::varu_glob.iscsi_node_count = vx::os_get_port_instances(vx::varu_glob.iscsi_fds, wire::kMaxIscsiNodes);
    vx::varu_glob.nic_function_count = vx::os_get_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles);
    vx::os_put_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles);
  }
  ~Devices() { vx::os_put_port_instances(vx::varu_glob.iscsi_fds, wire::kMaxIscsiNodes); }
  bool ready() const {
    return (lab_ == nullptr || lab_->ok()) && vx::varu_glob.iscsi_node_count > 0 && vx::varu_glob.nic_function_count > 0;
  }

 private:
  std::unique_ptr<vxbench::Lab> lab_;
  std::unique_ptr<vxbench::ScratchRoot> root_;
};

// The instant driver: one iSCSI node, one NIC function; every command succeeds at once.
int instant_open(const char* path, int, mode_t) { return std::strcmp(path, wire::kNicNodePath) == 0 ? 901 : 900; }
int instant_close(int) { return 0; }
int instant_ioctl(int, unsigned long request, void* arg) {
  auto* bytes = static_cast<uint8_t*>(arg);
  if (request == wire::kNicChipInfo) {
    wire::ChipInfoRecord record{};
    record.count = 1;
    record.records[0] = wire::ChipRecord{3, 0, 1, {0}};
    std::memcpy(bytes, &record, sizeof record);
    return 0;
  }
  uint8_t* header = bytes + (request == wire::kNicFirmwareCommand ? wire::kNicHeaderOffset : 0);
  header[wire::kResponseStatusOffset] = 0;
  return 0;
}

void run_commands(benchmark::State& state, bool simulated, int32_t protocol) {
  Devices devices(simulated);
  if (!devices.ready()) {
    state.SkipWithError("no device nodes (is libvxsim.so built beside the benchmark?)");
    return;
  }
  uint8_t payload[540] = {};
  for (auto _ : state) {
    benchmark::DoNotOptimize(vx::ioctl_fetch_controller_attribs(1, payload, 0, 0, protocol));
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_IscsiCommand_Simulator(benchmark::State& state) { run_commands(state, true, vx::kProtocolIscsi); }
void BM_NicCommand_Simulator(benchmark::State& state) { run_commands(state, true, vx::kProtocolNic); }

void BM_IscsiCommand_InstantDriver(benchmark::State& state) {
  vx::ScopedHostOp<int (*)(const char*, int, mode_t)> open_op(&vx::HostOps::open, instant_open);
  vx::ScopedHostOp<int (*)(int)> close_op(&vx::HostOps::close, instant_close);
  vx::ScopedHostOp<int (*)(int, unsigned long, void*)> ioctl_op(&vx::HostOps::ioctl, instant_ioctl);
  run_commands(state, false, vx::kProtocolIscsi);
}

void BM_NicCommand_InstantDriver(benchmark::State& state) {
  vx::ScopedHostOp<int (*)(const char*, int, mode_t)> open_op(&vx::HostOps::open, instant_open);
  vx::ScopedHostOp<int (*)(int)> close_op(&vx::HostOps::close, instant_close);
  vx::ScopedHostOp<int (*)(int, unsigned long, void*)> ioctl_op(&vx::HostOps::ioctl, instant_ioctl);
  run_commands(state, false, vx::kProtocolNic);
}

BENCHMARK(BM_IscsiCommand_Simulator);
BENCHMARK(BM_IscsiCommand_InstantDriver);
BENCHMARK(BM_NicCommand_Simulator);
BENCHMARK(BM_NicCommand_InstantDriver);

}  // namespace
