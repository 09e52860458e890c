// Arbitrary driver and firmware answers fed back through the command transport, the wrappers and
// the parsers of the driver-private replies. The driver below writes the fuzz bytes over the
// request's argument, never past the room the request owns, and reports arbitrary lengths and
// counts; any read or write of the library past one of its buffers is a sanitizer report.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "access/backend_state.h"
#include "access/discovery.h"
#include "access/fw_commands.h"
#include "platform/platform.h"
#include "access/transport.h"
#include "access/wire.h"
#include "engine/hm.h"

namespace {

namespace wire = vx::wire;

constexpr int kNicFd = 900;
constexpr int kIscsiFd = 100;

FuzzedDataProvider* g_input = nullptr;

int fuzz_open(const char* path, int, mode_t) {
  if (std::strcmp(path, wire::kNicNodePath) == 0) return kNicFd;
  if (std::strncmp(path, wire::kIscsiNodePrefix, std::strlen(wire::kIscsiNodePrefix)) == 0) {
    return kIscsiFd + std::atoi(path + std::strlen(wire::kIscsiNodePrefix));
  }
  errno = ENOENT;
  return -1;
}

int fuzz_close(int) { return 0; }

// The bytes of `arg` that belong to the request, as the library laid them out.
size_t room_of(unsigned long request, const uint8_t* arg) {
  uint32_t length = 0;
  switch (request) {
    case wire::kIscsiFirmwareCommand:
      std::memcpy(&length, arg + 8, 4);
      return wire::kHeaderSize + length;
    case wire::kNicFirmwareCommand:
      std::memcpy(&length, arg + wire::kNicHeaderOffset + 8, 4);
      return wire::kNicWrapperOverhead + length;
    case wire::kNicChipInfo: return sizeof(wire::ChipInfoRecord);
    case wire::kNicLinkInfo:
    case wire::kNicVirtualFunctions: return sizeof(wire::LinkInfoRecord);
    case wire::kNicPciConfigRead: return sizeof(wire::PciConfigReadRecord);
    case wire::kIscsiHostAdapterName: return vx::kVmhbaNameSize;
    default: return 0;
  }
}

void overwrite(uint8_t* at, size_t room) {
  std::vector<uint8_t> bytes = g_input->ConsumeBytes<uint8_t>(g_input->ConsumeIntegralInRange<size_t>(0, room));
  if (!bytes.empty()) std::memcpy(at, bytes.data(), bytes.size());
}

int fuzz_ioctl(int, unsigned long request, void* arg) {
  auto* bytes = static_cast<uint8_t*>(arg);
  const size_t room = room_of(request, bytes);
  if (request == wire::kNicPciConfigRead) {
    // The data goes where the record points, within the length the library asked for; then the
    // record's fields (the returned length among them) get whatever the driver says.
    wire::PciConfigReadRecord record;
    std::memcpy(&record, bytes, sizeof record);
    overwrite(reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(record.data_address)), record.length);
  }
  overwrite(bytes, room);
  switch (g_input->ConsumeIntegralInRange<int>(0, 7)) {
    case 0: errno = EIO; return -1;
    case 1: errno = ENODEV; return -1;
    case 2: return g_input->ConsumeIntegralInRange<int>(1, 3);
    default: return 0;
  }
}

void setup_once() {
  static bool done = false;
  if (done) return;
  done = true;
  static char dir[] = "/tmp/vxima-fuzz-XXXXXX";
  if (::mkdtemp(dir) == nullptr) std::abort();
  ::setenv("VXIMA_ROOT", dir, 1);
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  });
  vx::make_dirs(vx::host_path("/etc/vmware"));
  vx::HostOps& ops = vx::host_ops();
  ops.open = fuzz_open;
  ops.close = fuzz_close;
  ops.ioctl = fuzz_ioctl;
}

void write_esx_conf(const std::string& text) {
  FILE* f = std::fopen(vx::host_path(wire::kEsxConfPath).c_str(), "w");
  if (f == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

// One table-driven wrapper with a caller buffer of exactly the size the command needs.
void run_row(FuzzedDataProvider& in) {
  const auto id = static_cast<vx::FwId>(in.ConsumeIntegralInRange<size_t>(0, vx::kFwCommandCount - 1));
  const vx::FwCommand& cmd = vx::fw_command(id);
  if (cmd.path == vx::FwPath::D) return;
  const uint16_t length = in.ConsumeIntegralInRange<uint16_t>(0, 2048);
  size_t size = cmd.length == vx::FwLength::VAR ? length : cmd.request;
  if (cmd.length == vx::FwLength::OFF16) size += wire::kHeaderSize;
  std::vector<uint8_t> payload(size < 10 ? 10 : size, 0);
  if (cmd.length == vx::FwLength::FAT) {
    const uint16_t fat = in.ConsumeIntegralInRange<uint16_t>(0, 512);
    payload.resize(vx::kFatFixedRequest + fat);
    std::memcpy(payload.data() + vx::kFatLengthOffset, &fat, sizeof fat);
  }
  uint16_t size_out = 0;
  vx::varu_glob.protocol_mask[0] = in.ConsumeIntegral<uint8_t>();
  const int32_t handle = in.ConsumeBool() ? vx::kAllPorts : in.ConsumeIntegralInRange<int32_t>(0, 3);
  vx::FwCall call{handle, payload.data(), length, &size_out, in.ConsumeIntegral<uint8_t>(), 0,
                  in.ConsumeIntegralInRange<int32_t>(0, 4)};
  if (call.route == 3) call.route = 0;   // adapter 0 for the adapter-routed rows
  vx::run_fw_command(id, call);
}

void run_direct(FuzzedDataProvider& in) {
  const int32_t protocol = in.ConsumeIntegralInRange<int32_t>(1, 3);
  const int32_t handle = in.ConsumeIntegralInRange<int32_t>(0, 3);
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: {
      std::vector<uint8_t> buffer(wire::kHeaderSize + 512);
      vx::ioctl_get_available_personalities(handle, buffer.data(), 0, 0, protocol);
      break;
    }
    case 1: {
      const uint32_t length = in.ConsumeIntegralInRange<uint32_t>(0, 600);
      std::vector<uint8_t> buffer(wire::kHeaderSize + length);
      vx::ioctl_get_configured_personality(handle, buffer.data(), length, 0, 0, protocol);
      break;
    }
    case 2: {
      uint32_t record[6] = {4, 1, 4, 0, 0, 0};
      vx::ioctl_get_flash_component_details(handle, record, 0, 0, protocol);
      break;
    }
    default: {
      const uint32_t image = in.ConsumeIntegralInRange<uint32_t>(0, 70000);
      std::vector<uint8_t> request(sizeof(vx::flashrom_request) + image);
      vx::flashrom_request head{7, in.ConsumeIntegral<uint32_t>(), image, in.ConsumeIntegral<uint32_t>()};
      std::memcpy(request.data(), &head, sizeof head);
      vx::ioctl_upgrade_flash(handle, reinterpret_cast<vx::flashrom_request*>(request.data()), 0, 0, protocol,
                              in.ConsumeBool());
      break;
    }
  }
}

void run_discovery(FuzzedDataProvider& in) {
  const int32_t handle = in.ConsumeIntegralInRange<int32_t>(0, 130);
  switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0: {
      uint8_t reply[vx::kLinkReplySize];
      vx::ioctl_get_mtu(handle, reply);
      break;
    }
    case 1: {
      uint8_t reply[vx::kLinkReplySize];
      uint32_t count = 0;
      vx::ioctl_get_virt_f_info(handle, reply, &count);
      break;
    }
    case 2: {
      uint32_t dword = 0;
      vx::ioctl_quenta_read_pci_conf(handle, 0, 0, &dword);
      break;
    }
    case 3: {
      char text[vx::kPciDumpTextSize];
      vx::VARU_get_quenta_pci_data(handle, in.ConsumeIntegral<uint32_t>(), in.ConsumeIntegralInRange<uint32_t>(0, 1000),
                                   text);
      break;
    }
    case 4: {
      const uint32_t size = in.ConsumeIntegralInRange<uint32_t>(1, 300);
      std::vector<char> name(size);
      vx::ioctl_get_vmhba_name(handle, name.data(), size);
      break;
    }
    case 5: {
      char out[vx::kValueSize];
      vx::VARU_get_pci_express_data(handle, 0, 0, vx::kGenerationQuenta, nullptr,
                                    in.ConsumeBool() ? "PCIExpressLinkSpeed" : "PCIExpressLinkWidth", out);
      break;
    }
    case 6:
      write_esx_conf(in.ConsumeRandomLengthString(2000));
      vx::os_get_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles);
      vx::os_put_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles);
      break;
    default:
      vx::os_get_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles);
      vx::enumerate_vx_nics(in.ConsumeIntegralInRange<uint32_t>(0, 200));
      vx::os_put_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  setup_once();
  FuzzedDataProvider in(data, size);
  g_input = &in;
  vx::reset_varu_glob();
  write_esx_conf("/device/003:00.0/vmkname = \"vmnic0\"\n/device/003:00.1/vmkname = \"vmnic1\"\n");
  vx::varu_glob.iscsi_node_count = vx::os_get_port_instances(vx::varu_glob.iscsi_fds, 2);
  vx::varu_glob.nic_function_count = vx::os_get_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles);
  vx::os_put_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles);
  switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0: run_row(in); break;
    case 1: run_direct(in); break;
    default: run_discovery(in); break;
  }
  vx::os_put_port_instances(vx::varu_glob.iscsi_fds, wire::kMaxIscsiNodes);
  g_input = nullptr;
  return 0;
}
