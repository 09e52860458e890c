// The simulated drivers: device nodes, request decoding, the driver-private requests, and the test
// controls. One mutex guards the module's state; the answers of the firmware come from firmware.cpp.
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "access/wire.h"
#include "sim/config.h"
#include "sim/firmware.h"
#include "sim/iscsi_state.h"
#include "sim/maintenance_firmware.h"
#include "sim/net_state.h"
#include "sim/nic_firmware.h"
#include "sim/store.h"
#include "sim/vxsim.h"
#include "sim/vxsim_control.h"

namespace vx::sim {
namespace {

constexpr uint32_t kMaxRequestLength = 64 * 1024;   // larger than any command the drivers carry
constexpr size_t kMaxJournal = 100000;              // oldest entries go first beyond this
constexpr size_t kMaxJournalPayloads = 64u << 20;   // payload bytes kept; the oldest are dropped beyond this
constexpr size_t kMaxChipRecords = 8;
constexpr size_t kHostNameRoom = kMaxNameLength + 1;

enum class NodeKind { kIscsi, kNic };

struct OpenNode {
  std::string path;         // as the caller named it
  NodeKind kind = NodeKind::kIscsi;
  size_t adapter = 0;       // iSCSI: the function behind the node
  size_t function = 0;
  bool stale = false;       // the module was reset while it was open
};

enum class FaultKind { kStatus, kErrno, kUnanswered, kDelay, kReply, kThrow };

struct Fault {
  FaultKind kind;
  int opcode;
  int subsystem;
  uint32_t request;         // errno faults: 0 any request
  uint8_t status;
  uint16_t additional_status;
  int error;                // errno faults; throw faults: ENOMEM for a handler out of memory
  uint32_t milliseconds;
  int count;                // -1 until cleared
  std::string reply;        // reply faults: the payload answered
  int skip = 0;             // matching commands let through before the fault applies
};

// The request payload of a journal entry; `kept` false once dropped for room (or never a command).
struct SentPayload {
  std::string bytes;
  bool kept = false;
};

// Memory a kept payload holds (a reused buffer may be larger than its bytes).
size_t held(const SentPayload& p) { return p.kept ? p.bytes.capacity() : 0; }

struct Module {
  std::mutex mu;
  bool attempted = false;
  bool loaded = false;
  std::string load_error;
  Config config;                  // as read
  std::vector<Adapter> adapters;  // as now (NIC functions may have been changed)
  Store store;
  std::map<int, OpenNode> nodes;
  std::deque<vxsim_journal_entry> journal;
  std::deque<SentPayload> payloads;   // one per journal entry
  size_t payload_bytes = 0;
  size_t oldest_payload = 0;          // entries before it have lost their payload
  SentPayload request;                // the payload of the request being served
  std::string spare;                  // the buffer of the last payload dropped, for the next request
  std::vector<Fault> faults;
};

// Never destroyed: the library may still close descriptors from its own exit handlers.
Module& module() {
  static Module* m = new Module;
  return *m;
}

// The errno a device call answers for the exception being handled: a handler that ran out of
// memory, or any other failure of the simulated firmware.
int thrown_errno() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return ENOMEM;
  } catch (...) {
    return EIO;
  }
}

// No exception may unwind into the C caller: a throwing call answers `failed` with errno set.
template <typename R, typename Call>
R guarded(R failed, Call&& call) noexcept {
  try {
    return call();
  } catch (...) {
    errno = thrown_errno();
    return failed;
  }
}

void load(Module& m) {
  m.attempted = true;
  m.loaded = false;
  m.config = Config{};
  m.adapters.clear();
  const char* file = std::getenv("VXIMA_SIMULATOR");
  const char* root = std::getenv("VXIMA_ROOT");
  if (file == nullptr || file[0] == '\0') {
    m.load_error = "VXIMA_SIMULATOR is not set";
    return;
  }
  // The adapter's state and the host files it writes must never land in the real host's tree.
  if (root == nullptr || root[0] == '\0') {
    m.load_error = "VXIMA_ROOT is not set";
    return;
  }
  Config config;
  if (!load_config(file, &config, &m.load_error)) return;
  m.config = config;
  m.adapters = config.adapters;
  m.store = Store(root);
  // The host's run directory, where the management software keeps its pid files.
  if (!write_esx_conf(m.store, m.adapters, /*only_if_missing=*/true) || !m.store.make_host_dir("/var/run")) {
    m.load_error = "cannot write " + m.store.host_file(wire::kEsxConfPath);
    return;
  }
  m.load_error.clear();
  m.loaded = true;
}

void ensure_loaded(Module& m) {
  if (!m.attempted) load(m);
}

bool any_nic_function(const Module& m) {
  for (const Adapter& a : m.adapters) {
    if (!a.nic_functions.empty()) return true;
  }
  return false;
}

// The node a path names: the absolute driver path, or that path under VXIMA_ROOT.
bool resolve(const Module& m, const char* path, OpenNode* out) {
  std::string p(path);
  const std::string mapped_prefix = m.store.host_file("/vmfs/");
  if (p.compare(0, mapped_prefix.size(), mapped_prefix) == 0) p = p.substr(mapped_prefix.size() - 6);
  out->path = path;
  if (p == wire::kNicNodePath) {
    out->kind = NodeKind::kNic;
    return any_nic_function(m);
  }
  const std::string prefix = wire::kIscsiNodePrefix;
  if (p.compare(0, prefix.size(), prefix) != 0) return false;
  std::string number = p.substr(prefix.size());
  if (number.empty() || number.size() > 3 || (number.size() > 1 && number[0] == '0')) return false;
  int node = 0;
  for (char c : number) {
    if (c < '0' || c > '9') return false;
    node = node * 10 + (c - '0');
  }
  for (size_t a = 0; a < m.adapters.size(); ++a) {
    for (size_t f = 0; f < m.adapters[a].iscsi_functions.size(); ++f) {
      if (m.adapters[a].iscsi_functions[f].iscsi_node == node) {
        out->kind = NodeKind::kIscsi;
        out->adapter = a;
        out->function = f;
        return true;
      }
    }
  }
  return false;
}

// ---- faults ---------------------------------------------------------------------------------------

bool matches_command(const Fault& f, int opcode, int subsystem, uint32_t request) {
  if (f.opcode != VXSIM_ANY && f.opcode != opcode) return false;
  if (f.subsystem != VXSIM_ANY && f.subsystem != subsystem) return false;
  return f.kind != FaultKind::kErrno || f.request == 0 || f.request == request;
}

bool matches_private(const Fault& f, uint32_t request) {
  if (f.kind != FaultKind::kErrno) return false;
  if (f.request != 0) return f.request == request;
  return f.opcode == VXSIM_ANY && f.subsystem == VXSIM_ANY;
}

// Copies the first armed fault of `kind` that matches into *out and takes one use off it (the
// fault goes when its count runs out). False when none matches.
bool take_fault(Module& m, FaultKind kind, bool command, int opcode, int subsystem, uint32_t request, Fault* out) {
  for (size_t i = 0; i < m.faults.size(); ++i) {
    Fault& f = m.faults[i];
    if (f.kind != kind) continue;
    bool hit = command ? matches_command(f, opcode, subsystem, request) : matches_private(f, request);
    if (!hit) continue;
    if (f.skip > 0) {
      --f.skip;
      continue;
    }
    *out = f;
    if (f.count > 0 && --f.count == 0) m.faults.erase(m.faults.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
  }
  return false;
}

void add_fault(const Fault& f) {
  if (f.count == 0 || f.count < -1) return;
  guarded(0, [&] {
    Module& m = module();
    std::lock_guard<std::mutex> lock(m.mu);
    m.faults.push_back(f);
    return 0;
  });
}

// ---- requests ---------------------------------------------------------------------------------------

struct Outcome {
  int result = 0;
  int error = 0;
};

Outcome failure(int error) { return Outcome{-1, error}; }

template <typename T>
T load_at(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

const Function* find_nic_function(const Module& m, uint8_t bus, uint8_t device, uint8_t function, size_t* adapter) {
  for (size_t a = 0; a < m.adapters.size(); ++a) {
    const Adapter& ad = m.adapters[a];
    if (ad.bus != bus || ad.device != device) continue;
    for (const Function& f : ad.nic_functions) {
      if (f.number == function) {
        *adapter = a;
        return &f;
      }
    }
  }
  return nullptr;
}

// The NIC function that a driver-private record addresses by its PCI address, which the journal
// entry notes; NULL when no adapter has it.
template <typename Record>
const Function* addressed_function(const Module& m, vxsim_journal_entry& e, const Record& rec, size_t* adapter) {
  e.bus = rec.bus;
  e.device = rec.device;
  e.function = rec.function;
  return find_nic_function(m, rec.bus, rec.device, rec.function, adapter);
}

// A firmware command whose header starts at `header`, for `function` of adapter `adapter`.
Outcome firmware_command(Module& m, vxsim_journal_entry& e, uint8_t* header, size_t adapter,
                         const Function& function, bool nic) {
  e.is_firmware_command = 1;
  e.opcode = header[0];
  e.subsystem = header[1];
  e.port_number = header[2];
  e.domain = header[3];
  e.timeout = load_at<uint32_t>(header + 4);
  e.request_length = load_at<uint32_t>(header + 8);
  e.version = header[12];
  if (e.request_length > kMaxRequestLength) return failure(EINVAL);
  m.request.bytes.swap(m.spare);
  m.request.bytes.assign(reinterpret_cast<const char*>(header + wire::kHeaderSize), e.request_length);
  m.request.kept = true;

  Fault fault{};
  if (take_fault(m, FaultKind::kErrno, true, e.opcode, e.subsystem, e.request, &fault)) return failure(fault.error);
  if (take_fault(m, FaultKind::kUnanswered, true, e.opcode, e.subsystem, e.request, &fault)) return Outcome{};

  Answer answer;
  Command command{m.adapters[adapter], function, nic, m.store, m.config.network, e.opcode, e.subsystem, e.port_number,
                  e.domain, e.version, Payload(header + wire::kHeaderSize, e.request_length)};
  if (take_fault(m, FaultKind::kThrow, true, e.opcode, e.subsystem, e.request, &fault)) {
    if (fault.error == ENOMEM) throw std::bad_alloc();
    throw std::runtime_error("injected handler failure");
  }
  if (take_fault(m, FaultKind::kStatus, true, e.opcode, e.subsystem, e.request, &fault)) {
    answer.status = fault.status;
    answer.additional_status = fault.additional_status;
  } else if (take_fault(m, FaultKind::kReply, true, e.opcode, e.subsystem, e.request, &fault)) {
    std::memset(header + wire::kHeaderSize, 0, e.request_length);
    answer = answer_record(command, fault.reply.data(), fault.reply.size());
  } else {
    answer = run_command(command);
  }
  if (answer.counts_text) std::memcpy(header + offsetof(wire::Request_Header, request_length), &answer.text_length, 4);
  header[wire::kResponseStatusOffset] = answer.status;
  std::memcpy(header + wire::kResponseAdditionalOffset, &answer.additional_status, sizeof(uint16_t));
  std::memcpy(header + wire::kResponseLengthOffset, &answer.length, sizeof(uint32_t));
  return Outcome{};
}

Outcome host_adapter_name(const Module& m, const OpenNode& node, uint8_t* arg) {
  const std::string& name = m.adapters[node.adapter].iscsi_functions[node.function].name;
  size_t n = std::min(name.size(), kHostNameRoom - 1);
  std::memcpy(arg, name.data(), n);
  arg[n] = '\0';
  return Outcome{};
}

Outcome chip_inventory(const Module& m, uint8_t* arg) {
  wire::ChipInfoRecord rec{};
  for (const Adapter& a : m.adapters) {
    if (a.nic_functions.empty() || rec.count >= kMaxChipRecords) continue;
    wire::ChipRecord& r = rec.records[rec.count++];
    r.bus = a.bus;
    r.device = a.device;
    for (const Function& f : a.nic_functions) {
      if (r.function_count < sizeof r.functions) r.functions[r.function_count++] = f.number;
    }
  }
  std::memcpy(arg, &rec, sizeof rec);
  return Outcome{};
}

Outcome link_or_vf_info(const Module& m, vxsim_journal_entry& e, uint8_t* arg, bool vf) {
  wire::LinkInfoRecord rec;
  std::memcpy(&rec, arg, sizeof rec);
  size_t adapter = 0;
  const Function* f = addressed_function(m, e, rec, &adapter);
  if (f == nullptr) return failure(ENODEV);
  std::memset(rec.reply, 0, sizeof rec.reply);
  if (vf) {
    // The table as the `ip` stand-in left it, else as configured.
    const std::optional<std::vector<VirtualFunction>> table = read_vf_table(m.store, m.adapters[adapter], *f);
    if (!table) return failure(EIO);
    rec.reply[wire::kVfCountOffset] = static_cast<uint8_t>(table->size());
    for (size_t i = 0; i < table->size(); ++i) {
      uint8_t* slot = rec.reply + 16 + 16 * i;
      const VirtualFunction& v = (*table)[i];
      std::memcpy(slot, v.mac.data(), v.mac.size());
      std::memcpy(slot + 6, &v.vlan, sizeof v.vlan);
      std::memcpy(slot + 8, &v.qos, sizeof v.qos);
    }
  } else {
    rec.reply[wire::kLinkDownReasonOffset] = f->link_down_reason;
    std::memcpy(rec.reply + wire::kMtuOffset, &f->mtu, sizeof f->mtu);
  }
  std::memcpy(arg + 4, rec.reply, sizeof rec.reply);
  return Outcome{};
}

Outcome pci_config_read(const Module& m, vxsim_journal_entry& e, uint8_t* arg) {
  wire::PciConfigReadRecord rec;
  std::memcpy(&rec, arg, sizeof rec);
  size_t adapter = 0;
  const Function* f = addressed_function(m, e, rec, &adapter);
  if (f == nullptr) return failure(ENODEV);
  // Packed fields: copied out before use, never bound by reference.
  const uint32_t offset = rec.offset;
  const uint32_t asked = rec.length;
  const uint32_t address = rec.data_address;
  if (offset > kPciConfigSpaceSize) return failure(EINVAL);
  const uint32_t length = std::min(asked, static_cast<uint32_t>(kPciConfigSpaceSize - offset));
  if (length > 0 && address == 0) return failure(EFAULT);
  std::vector<uint8_t> space = pci_config_space(m.adapters[adapter], *f, /*nic=*/true);
  if (length > 0) std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), space.data() + offset, length);
  std::memcpy(arg + offsetof(wire::PciConfigReadRecord, length), &length, sizeof length);
  return Outcome{};
}

bool is_firmware_request(NodeKind kind, unsigned long request) {
  return kind == NodeKind::kIscsi ? request == wire::kIscsiFirmwareCommand : request == wire::kNicFirmwareCommand;
}

Outcome dispatch(Module& m, vxsim_journal_entry& e, int fd, unsigned long request, void* argument) {
  auto it = m.nodes.find(fd);
  if (it == m.nodes.end()) return failure(EBADF);
  const OpenNode& node = it->second;
  std::strncpy(e.path, node.path.c_str(), sizeof e.path - 1);
  if (node.stale || !m.loaded) return failure(EBADF);
  if (argument == nullptr) return failure(EFAULT);
  uint8_t* arg = static_cast<uint8_t*>(argument);

  if (is_firmware_request(node.kind, request)) {
    if (node.kind == NodeKind::kIscsi) {
      const Function& f = m.adapters[node.adapter].iscsi_functions[node.function];
      return firmware_command(m, e, arg, node.adapter, f, /*nic=*/false);
    }
    e.bus = arg[wire::kNicBusOffset];
    e.device = arg[wire::kNicDeviceOffset];
    e.function = arg[wire::kNicFunctionOffset];
    if (std::memcmp(arg, wire::kNicSignature, wire::kNicSignatureSize) != 0) return failure(ENODEV);
    size_t adapter = 0;
    const Function* f = find_nic_function(m, e.bus, e.device, e.function, &adapter);
    if (f == nullptr) return failure(ENODEV);
    return firmware_command(m, e, arg + wire::kNicHeaderOffset, adapter, *f, /*nic=*/true);
  }

  bool known = node.kind == NodeKind::kIscsi
                   ? request == wire::kIscsiHostAdapterName
                   : (request == wire::kNicLinkInfo || request == wire::kNicChipInfo ||
                      request == wire::kNicVirtualFunctions || request == wire::kNicPciConfigRead);
  if (!known) return failure(ENOTTY);
  Fault fault{};
  if (take_fault(m, FaultKind::kErrno, false, 0, 0, e.request, &fault)) return failure(fault.error);
  switch (request) {
    case wire::kIscsiHostAdapterName: return host_adapter_name(m, node, arg);
    case wire::kNicChipInfo: return chip_inventory(m, arg);
    case wire::kNicLinkInfo: return link_or_vf_info(m, e, arg, /*vf=*/false);
    case wire::kNicVirtualFunctions: return link_or_vf_info(m, e, arg, /*vf=*/true);
    default: return pci_config_read(m, e, arg);
  }
}

// A delay fault is served before the request takes the module's lock for its answer, so that other
// threads are not held up by it.
uint32_t take_delay(Module& m, int fd, unsigned long request, const void* argument) {
  auto it = m.nodes.find(fd);
  if (it == m.nodes.end() || argument == nullptr || !is_firmware_request(it->second.kind, request)) return 0;
  const uint8_t* arg = static_cast<const uint8_t*>(argument);
  const uint8_t* header = it->second.kind == NodeKind::kNic ? arg + wire::kNicHeaderOffset : arg;
  Fault fault{};
  if (!take_fault(m, FaultKind::kDelay, true, header[0], header[1], static_cast<uint32_t>(request), &fault)) return 0;
  return fault.milliseconds;
}

// Adds a journal entry with the payload of the request just served; the oldest entries go beyond
// kMaxJournal, the oldest payloads beyond kMaxJournalPayloads bytes held.
void record(Module& m, const vxsim_journal_entry& e) {
  if (m.journal.size() >= kMaxJournal) {
    m.payload_bytes -= held(m.payloads.front());
    m.journal.pop_front();
    m.payloads.pop_front();
    if (m.oldest_payload > 0) --m.oldest_payload;
  }
  m.journal.push_back(e);
  m.payload_bytes += held(m.request);
  m.payloads.push_back(std::move(m.request));
  m.request = SentPayload{};
  while (m.payload_bytes > kMaxJournalPayloads && m.oldest_payload < m.payloads.size()) {
    SentPayload& old = m.payloads[m.oldest_payload++];
    m.payload_bytes -= held(old);
    // Assigning an empty string would keep the buffer: the next request reuses it, and the one
    // kept for that before is freed.
    m.spare.swap(old.bytes);
    std::string().swap(old.bytes);
    old.kept = false;
  }
}

// A request whose handling throws is a failed device call, journalled as such.
Outcome serve(Module& m, vxsim_journal_entry& e, int fd, unsigned long request, void* argument) {
  try {
    return dispatch(m, e, fd, request, argument);
  } catch (...) {
    return failure(thrown_errno());
  }
}

void clear_journal(Module& m) {
  m.journal.clear();
  m.payloads.clear();
  std::string().swap(m.spare);
  m.payload_bytes = 0;
  m.oldest_payload = 0;
}

int vmnic_after_all(const Module& m) {
  int next = 0;
  for (const std::vector<Adapter>* list : {&m.config.adapters, &m.adapters}) {
    for (const Adapter& a : *list) {
      for (const Function& f : a.nic_functions) next = std::max(next, vmnic_index(f.name) + 1);
    }
  }
  return next;
}

}  // namespace
}  // namespace vx::sim

using vx::sim::guarded;
using vx::sim::module;
using vx::sim::Module;

// Every entry point answers through `guarded`: an exception inside the module becomes the call's
// failure value with errno set, never an unwind into the caller.
extern "C" {

int vxsim_device_open(const char* path, int flags) {
  (void)flags;
  return guarded(-1, [&] {
    Module& m = module();
    std::lock_guard<std::mutex> lock(m.mu);
    vx::sim::ensure_loaded(m);
    vx::sim::OpenNode node;
    if (path == nullptr || !m.loaded || !vx::sim::resolve(m, path, &node)) {
      errno = ENOENT;
      return -1;
    }
    // A real descriptor keeps the number reserved in the process.
    int fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (fd < 0) return -1;
    try {
      m.nodes[fd] = node;
    } catch (...) {
      ::close(fd);
      throw;
    }
    return fd;
  });
}

int vxsim_device_ioctl(int fd, unsigned long request, void* arg) {
  return guarded(-1, [&] {
    Module& m = module();
    uint32_t delay = 0;
    {
      std::lock_guard<std::mutex> lock(m.mu);
      vx::sim::ensure_loaded(m);
      delay = vx::sim::take_delay(m, fd, request, arg);
    }
    if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));

    std::lock_guard<std::mutex> lock(m.mu);
    vxsim_journal_entry e{};
    e.request = static_cast<uint32_t>(request);
    m.request = vx::sim::SentPayload{};
    vx::sim::Outcome out = vx::sim::serve(m, e, fd, request, arg);
    e.result = out.result;
    e.error = out.error;
    if (e.is_firmware_command != 0 && out.result == 0) {
      const uint8_t* header = static_cast<const uint8_t*>(arg);
      auto it = m.nodes.find(fd);
      if (it != m.nodes.end() && it->second.kind == vx::sim::NodeKind::kNic) header += vx::wire::kNicHeaderOffset;
      e.status = header[vx::wire::kResponseStatusOffset];
      std::memcpy(&e.additional_status, header + vx::wire::kResponseAdditionalOffset, sizeof(uint16_t));
    }
    vx::sim::record(m, e);
    if (out.result != 0) errno = out.error;
    return out.result;
  });
}

int vxsim_device_close(int fd) {
  return guarded(-1, [&] {
    Module& m = module();
    std::lock_guard<std::mutex> lock(m.mu);
    auto it = m.nodes.find(fd);
    if (it == m.nodes.end()) {
      errno = EBADF;
      return -1;
    }
    m.nodes.erase(it);
    return ::close(fd);
  });
}

int vxsim_owns_fd(int fd) {
  return guarded(0, [&] {
    Module& m = module();
    std::lock_guard<std::mutex> lock(m.mu);
    return m.nodes.count(fd) != 0 ? 1 : 0;
  });
}

int vxsim_journal_count(void) {
  return guarded(0, [&] {
    Module& m = module();
    std::lock_guard<std::mutex> lock(m.mu);
    return static_cast<int>(m.journal.size());
  });
}

int vxsim_journal_get(int index, vxsim_journal_entry* out) {
  return guarded(-1, [&] {
    Module& m = module();
    std::lock_guard<std::mutex> lock(m.mu);
    if (out == nullptr || index < 0 || static_cast<size_t>(index) >= m.journal.size()) return -1;
    *out = m.journal[static_cast<size_t>(index)];
    return 0;
  });
}

void vxsim_journal_clear(void) {
  guarded(0, [&] {
    Module& m = module();
    std::lock_guard<std::mutex> lock(m.mu);
    vx::sim::clear_journal(m);
    return 0;
  });
}

int vxsim_journal_payload(int index, void* out, uint32_t size) {
  return guarded(-1, [&] {
    Module& m = module();
    std::lock_guard<std::mutex> lock(m.mu);
    if (index < 0 || static_cast<size_t>(index) >= m.payloads.size()) return -1;
    const vx::sim::SentPayload& p = m.payloads[static_cast<size_t>(index)];
    if (!p.kept) return -1;
    if (out != nullptr) std::memcpy(out, p.bytes.data(), std::min<size_t>(size, p.bytes.size()));
    return static_cast<int>(p.bytes.size());
  });
}

void vxsim_inject_status(int opcode, int subsystem, uint8_t status, uint16_t additional_status, int count) {
  vx::sim::add_fault({vx::sim::FaultKind::kStatus, opcode, subsystem, 0, status, additional_status, 0, 0, count, {}});
}

void vxsim_inject_status_after(int opcode, int subsystem, uint8_t status, uint16_t additional_status, int skip,
                               int count) {
  if (skip < 0) return;
  vx::sim::add_fault({vx::sim::FaultKind::kStatus, opcode, subsystem, 0, status, additional_status, 0, 0, count, {}, skip});
}

void vxsim_inject_errno(int opcode, int subsystem, uint32_t request, int error, int count) {
  vx::sim::add_fault({vx::sim::FaultKind::kErrno, opcode, subsystem, request, 0, 0, error, 0, count, {}});
}

void vxsim_inject_unanswered(int opcode, int subsystem, int count) {
  vx::sim::add_fault({vx::sim::FaultKind::kUnanswered, opcode, subsystem, 0, 0, 0, 0, 0, count, {}});
}

void vxsim_inject_delay(int opcode, int subsystem, uint32_t milliseconds, int count) {
  vx::sim::add_fault({vx::sim::FaultKind::kDelay, opcode, subsystem, 0, 0, 0, 0, milliseconds, count, {}});
}

void vxsim_inject_reply(int opcode, int subsystem, const void* bytes, uint32_t length, int count) {
  if (bytes == nullptr && length > 0) return;
  guarded(0, [&] {
    const std::string reply = length > 0 ? std::string(static_cast<const char*>(bytes), length) : std::string();
    vx::sim::add_fault({vx::sim::FaultKind::kReply, opcode, subsystem, 0, 0, 0, 0, 0, count, reply});
    return 0;
  });
}

void vxsim_inject_exception(int opcode, int subsystem, int out_of_memory, int count) {
  vx::sim::add_fault(
      {vx::sim::FaultKind::kThrow, opcode, subsystem, 0, 0, 0, out_of_memory != 0 ? ENOMEM : EIO, 0, count, {}});
}

void vxsim_clear_faults(void) {
  guarded(0, [&] {
    Module& m = module();
    std::lock_guard<std::mutex> lock(m.mu);
    m.faults.clear();
    return 0;
  });
}

int vxsim_set_nic_functions(int adapter_index, int first_function, int function_count) {
  return guarded(-1, [&]() -> int {
    using vx::sim::Adapter;
    using vx::sim::Function;
    Module& m = module();
    std::lock_guard<std::mutex> lock(m.mu);
    vx::sim::ensure_loaded(m);
    if (!m.loaded || adapter_index < 0 || static_cast<size_t>(adapter_index) >= m.adapters.size()) return -1;
    if (function_count < 0 || function_count > vx::sim::kMaxFunctionNumber + 1) return -1;
    if (function_count > 0 &&
        (first_function < 0 || first_function + function_count - 1 > vx::sim::kMaxFunctionNumber)) {
      return -1;
    }
    Adapter& adapter = m.adapters[static_cast<size_t>(adapter_index)];
    const Adapter& configured = m.config.adapters[static_cast<size_t>(adapter_index)];
    for (const Function& f : adapter.iscsi_functions) {
      if (f.number >= first_function && f.number < first_function + function_count) return -1;
    }
    if (function_count > 0 && adapter.nic_functions.empty()) {
      size_t with_nic = 0;
      for (const Adapter& a : m.adapters) with_nic += a.nic_functions.empty() ? 0 : 1;
      if (with_nic >= vx::sim::kMaxChipRecords) return -1;
    }

    // Functions the configuration names keep their settings; new ones get the next free vmnic name.
    int next_name = vx::sim::vmnic_after_all(m);
    std::vector<Function> functions;
    for (int n = first_function; n < first_function + function_count; ++n) {
      const Function* known = nullptr;
      const std::vector<Function>* lists[] = {&adapter.nic_functions, &configured.nic_functions};
      for (const std::vector<Function>* list : lists) {
        for (const Function& f : *list) {
          if (f.number == n && known == nullptr) known = &f;
        }
      }
      if (known != nullptr) {
        functions.push_back(*known);
        continue;
      }
      Function f;
      f.number = static_cast<uint8_t>(n);
      f.port = static_cast<uint8_t>(n % adapter.ports);
      f.name = "vmnic" + std::to_string(next_name++);
      f.mac = vx::sim::Mac{0x02, 0x00, adapter.bus, adapter.device, f.number, 0};
      functions.push_back(f);
    }
    adapter.nic_functions = std::move(functions);
    return vx::sim::write_esx_conf(m.store, m.adapters, /*only_if_missing=*/false) ? 0 : -1;
  });
}

int vxsim_reset(void) {
  return guarded(-1, [&]() -> int {
    Module& m = module();
    std::lock_guard<std::mutex> lock(m.mu);
    for (auto& [fd, node] : m.nodes) node.stale = true;
    vx::sim::clear_journal(m);
    m.faults.clear();
    vx::sim::clear_counters();
    vx::sim::clear_flash_sequences();
    vx::sim::load(m);
    return m.loaded ? 0 : -1;
  });
}

int vxsim_session_control(const char* target_name, int action) {
  return guarded(-1, [&]() -> int {
    using vx::sim::IscsiState;
    Module& m = module();
    std::lock_guard<std::mutex> lock(m.mu);
    vx::sim::ensure_loaded(m);
    uint32_t state = 0;
    switch (action) {
      case VXSIM_SESSION_CLOSE: state = vx::kSessionClosed; break;
      case VXSIM_SESSION_FAIL: state = vx::kSessionLoginFailed; break;
      case VXSIM_SESSION_REOPEN: state = vx::kSessionOpen; break;
      default: return -1;
    }
    if (!m.loaded || target_name == nullptr) return -1;
    const std::string name = target_name;
    int changed = 0;
    for (const vx::sim::Adapter& a : m.adapters) {
      for (const vx::sim::Function& f : a.iscsi_functions) {
        vx::sim::update_iscsi_state(m.store, a, f, [&](IscsiState& s) {
          bool any = false;
          for (vx::sim::SimSession& x : s.sessions) {
            if (x.target.size() != name.size() || ::strncasecmp(x.target.c_str(), name.c_str(), name.size()) != 0) {
              continue;
            }
            x.state = state;
            ++changed;
            any = true;
          }
          return any;
        });
      }
    }
    return changed;
  });
}

int64_t vxsim_lun_read(const char* target_name, uint32_t lun, uint64_t lba, uint32_t blocks, void* out,
                       uint32_t size) {
  return guarded(int64_t{-1}, [&]() -> int64_t {
    Module& m = module();
    std::lock_guard<std::mutex> lock(m.mu);
    vx::sim::ensure_loaded(m);
    const vx::sim::RemoteTarget* t = m.loaded && target_name != nullptr ? m.config.network.find(target_name) : nullptr;
    if (t == nullptr || out == nullptr) return -1;
    for (const vx::sim::RemoteLun& l : t->luns) {
      if (l.number != lun) continue;
      const uint64_t bytes = static_cast<uint64_t>(blocks) * l.block_size;
      if (lba + blocks > l.blocks || bytes > size) return -1;
      std::vector<uint8_t> data;
      if (!vx::sim::read_lun_blocks(m.store, *t, l, lba, blocks, &data)) return -1;
      std::memcpy(out, data.data(), data.size());
      return static_cast<int64_t>(data.size());
    }
    return -1;
  });
}

const char* vxsim_last_error(void) {
  static char text[256];
  return guarded("", [&]() -> const char* {
    Module& m = module();
    std::lock_guard<std::mutex> lock(m.mu);
    vx::sim::ensure_loaded(m);
    std::strncpy(text, m.load_error.c_str(), sizeof text - 1);
    text[sizeof text - 1] = '\0';
    return text;
  });
}

}  // extern "C"
