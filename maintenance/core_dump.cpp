#include "maintenance/core_dump.h"

#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "access/adapter_tables.h"
#include "access/fw_commands.h"
#include "access/host.h"
#include "access/transport.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "engine/messages.h"
#include "maintenance/controller_target.h"
#include "maintenance/core_dump_templates.h"
#include "maintenance/output_file.h"
#include "schema/handlers.h"

namespace vx {
namespace {

// Process-wide: instances written to the current file, and whether a segment read failed.
uint32_t successful_segments = 0;
uint8_t VARU_CORE_DUMP_STATUS = 0;

constexpr uint32_t kDeadChipComponents = 7;   // what a chip that cannot answer is taken to have
constexpr uint32_t kQuentaHqiIntf = 0xC0010A40u;
constexpr uint32_t kFirstFirmwareComponent = 2;
constexpr uint32_t kHeaderSize = sizeof(core_dump_segment_header);

// A text into a field of the record, cut to leave its NUL.
void put_text(char* field, size_t size, const char* text) { std::memcpy(field, text, strnlen(text, size - 1)); }

bool same_text(const char* a, const char* b) { return ::strcasecmp(a, b) == 0; }
bool is_dead_string(const char* s) { return same_text(s, "Dead") || same_text(s, "Test Dead"); }
bool is_test_string(const char* s) {
  return same_text(s, "Test") || same_text(s, "Test live") || same_text(s, "Test Dead");
}

// What one dump works with.
struct Dump {
  hm_node* controller = nullptr;
  OutputFile* file = nullptr;     // opened once, every piece written through it
  uint64_t room = kMaxDescribedBytes;   // what the described components may still add
  hm_node* function0 = nullptr;   // the NIC function that is PCI function 0, when there is one
  int32_t port = -1;              // the properties commands: the first NIC function's handle
  uint8_t domain = 0;
  uint8_t port_number = 0;
};

// One segment instance to read and write.
struct SegmentRead {
  uint32_t component;
  uint32_t segment;
  uint32_t instance;
  uint32_t offset;
  uint32_t length;
  const CodedRow* code;   // component 1 only
  bool compress;
  uint8_t flag0;
  uint8_t flag1;
};

enum class FunctionZero { kFound, kNone, kNoPciGroup };

// Walks the NIC functions in instance order for the one whose "PCI"/"FunctionNumber" reads 0.
FunctionZero find_function0(hm_node* controller, hm_node** out) {
  *out = nullptr;
  for (hm_node* nic = get_first_instance(controller, "NICPhysicalHBA"); nic != nullptr; nic = next_instance(nic)) {
    hm_node* pci = internal_get_node(nic, "PCI", kGroup);
    if (pci == nullptr) return FunctionZero::kNoPciGroup;
    char number[kValueSize];
    const bool read = read_property(pci, "FunctionNumber", number);
    if (read && (std::strcmp(number, "0x0") == 0 || std::strcmp(number, "0") == 0)) {
      *out = nic;
      return FunctionZero::kFound;
    }
  }
  return FunctionZero::kNone;
}

core_dump_time time_now() {
  uint16_t month = 0, year = 0, hour = 0, day = 0, second = 0, minute = 0, seventh = 0;
  int16_t bias = 0;
  VARU_get_system_time(&month, &year, &hour, &day, &second, &minute, &seventh, &bias);
  return core_dump_time{year, month, day, hour, minute, second, bias};
}

// Appends header and data to the dump file; false when any byte was not written.
bool append_instance(OutputFile& file, const void* header, size_t header_size, const void* data, size_t size) {
  return file.write(header, header_size) && file.write(data, size);
}

// One read of a segment piece: the reply buffer (freed by the caller), or NULL with status 31 or 269.
uint8_t* VARU_get_coredump_segment(const Dump& d, const SegmentRead& r, uint32_t offset, uint32_t piece) {
  auto* request = static_cast<uint8_t*>(varu_dcalloc(kSegmentRequestSize));
  if (request == nullptr) {
    fail(kStatusInsufficientBuffer, "%s", msg::kInsufficientBuffer);
    return nullptr;
  }
  const uint32_t words = r.component == kNoTemplateComponent && r.code != nullptr ? r.code->word_count : 0;
  const coredump_seg_request fields{r.component, r.segment, r.instance, offset, piece,
                                    words <= kMaxByteCodeWords ? words : kMaxByteCodeWords};
  std::memcpy(request, &fields, sizeof fields);
  for (uint32_t i = 0; i < fields.word_count; ++i) {
    const uint32_t word = byte_code_word(*r.code, i);
    std::memcpy(request + sizeof fields + 4 * i, &word, sizeof word);
  }
  const uint32_t rc = ioctl_get_coredump_seg(get_port_number(d.function0), request, kSegmentRequestSize,
                                             static_cast<uint8_t>(get_domain_id(d.function0)),
                                             static_cast<uint8_t>(get_phba_port_number(d.function0)), kProtocolNic);
  if (rc != 0) {
    varu_dfree(request);
    fail(kStatusSegmentFailed, "%s", msg::kCoreDumpSegmentFailed);
    return nullptr;
  }
  return request;
}

// Reads one segment instance in pieces, deflates it when asked and appends header and data.
uint32_t VARU_write_each_segment_data(const Dump& d, const SegmentRead& r) {
  VARU_start_clock(d.controller);
  hm_node* pci = d.function0 != nullptr ? internal_get_node(d.function0, "PCI", kGroup) : nullptr;
  char number[kValueSize];
  uint32_t function = 0;
  if (!read_property(pci, "FunctionNumber", number) || !parse_pci_number(number, &function)) {
    pdebug(kBackEnd, 3, "%s: pf_num is invalid\n", __func__);
    return 1;
  }
  auto* data = static_cast<uint8_t*>(varu_dcalloc(r.length != 0 ? r.length : 1));
  if (data == nullptr) return fail_action(kStatusOutOfMemory, msg::kOutOfMemory);
  // The firmware's bytes are kept as they come, one after the other, and never past the buffer.
  uint32_t total = 0;
  uint32_t status = 0;
  for (uint32_t done = 0; done < r.length;) {
    const uint32_t piece = r.length - done < kSegmentPieceMax ? r.length - done : kSegmentPieceMax;
    uint8_t* reply = VARU_get_coredump_segment(d, r, r.offset + done, piece);
    if (reply == nullptr) {
      VARU_CORE_DUMP_STATUS = 1;
      pdebug(kBackEnd, 3, "%s: segment %u of component %u instance %u failed at %u\n", __func__, r.segment,
             r.component, r.instance, done);
      break;
    }
    std::memcpy(&status, reply, sizeof status);
    uint32_t taken = segment_reply_bytes(reply, piece);
    if (taken > r.length - total) taken = r.length - total;
    std::memcpy(data + total, reply + kSegmentDataOffset, taken);
    total += taken;
    done += piece;
    varu_dfree(reply);
  }

  core_dump_segment_header header{};
  header.magic = kSegmentMagic;
  header.component = r.component;
  header.segment = r.segment;
  header.flag0 = r.flag0;
  header.flag1 = r.flag1;
  header.pci_function = static_cast<uint16_t>(function);
  header.offset = r.offset;
  header.segment_status = status;
  header.header_size = kHeaderSize;
  header.instance = r.instance;
  const uint8_t* stored = data;
  uint32_t stored_size = total;
  uint8_t* packed = nullptr;
  const uint32_t room = r.compress ? GetMaxCompressedLen(total + 1) : 0;
  if (room != 0 && room <= UINT32_MAX - sizeof total) packed = static_cast<uint8_t*>(varu_dmalloc(room + sizeof total));
  const uint32_t packed_size = packed != nullptr ? CompressData(data, total, packed, room) : kCompressFailed;
  if (packed_size != kCompressFailed) {
    std::memcpy(packed + packed_size, &total, sizeof total);
    stored = packed;
    stored_size = packed_size + sizeof total;
    header.compress = 1;
  }
  // A segment that could not be deflated is stored as read, and its header says so.
  header.data_length = stored_size;
  VARU_stop_clock(d.controller, &header.milliseconds);
  const bool written = append_instance(*d.file, &header, sizeof header, stored, stored_size);
  varu_dfree(packed);
  varu_dfree(data);
  if (!written) return fail_action(kStatusDumpFileFailed, msg::kCoreDumpFileFailed);
  ++successful_segments;
  return 0;
}

// Component 1: the rows of the chip's (or the test) template that a dead or a live dump takes.
uint32_t VARU_get_byte_code_info(const Dump& d, uint32_t asic_type, const char* dump_string, bool dead) {
  if (dump_string == nullptr || asic_type == 1 || d.controller == nullptr || d.file == nullptr) return 1;
  if (asic_type == kAsicTypeQuenta) return 0;
  const SegmentTemplate* tmpl = is_test_string(dump_string) ? &test_template() : chip_template(asic_type);
  if (tmpl == nullptr || d.function0 == nullptr) return 1;
  hm_node* pci = internal_get_node(d.function0, "PCI", kGroup);
  char text[kValueSize];
  if (!read_property(pci, "BusNumber", text) || !read_property(pci, "DeviceNumber", text)) return 1;
  for (size_t i = 0; i < tmpl->coded_count; ++i) {
    const CodedRow& row = tmpl->coded[i];
    if ((dead ? row.dead : row.live) == 0) continue;
    for (uint64_t instance = 0; instance <= row.highest_instance; ++instance) {
      VARU_write_each_segment_data(d, SegmentRead{kNoTemplateComponent, row.segment, static_cast<uint32_t>(instance),
                                                  0, row.length, &row, row.compress != 0, 0, tmpl->flag1});
    }
  }
  return 0;
}

// A component the firmware describes: each of its segments, each instance.
void dump_component(Dump& d, uint32_t component) {
  coredump_comp_props comp{component, 0};
  if (ioctl_get_coredump_comp_props(d.port, &comp, d.domain, d.port_number, kProtocolNic) != 0 ||
      !segments_within(comp)) {
    fail(kStatusComponentPropsFailed, "%s", msg::kCoreDumpComponentFailed);
    return;
  }
  if (comp.status != 0) return;
  for (uint32_t segment = 0; segment < comp.segments; ++segment) {
    coredump_seg_props props{};
    const uint32_t request[4] = {component, segment, 0, 0};
    std::memcpy(&props, request, sizeof request);
    uint32_t instances = 0;
    if (ioctl_get_coredump_seg_props(d.port, &props, d.domain, d.port_number, kProtocolNic) != 0 ||
        (props.status == 0 && !segment_instances(props, d.room, &instances))) {
      fail(kStatusSegmentPropsFailed, "%s", msg::kCoreDumpSegmentPropsFailed);
      continue;
    }
    if (props.status != 0) continue;
    d.room -= uint64_t{instances} * props.length;
    for (uint32_t instance = 0; instance < instances; ++instance) {
      VARU_write_each_segment_data(d, SegmentRead{component, segment, instance, 0, props.length, nullptr, false,
                                                  props.low_version, props.high_version});
    }
  }
}

struct RecordFields {
  bool bad_properties;   // the properties' counts were beyond reason: the dump fails after its record
  uint8_t chip_state;
  uint32_t asic_id;
  uint32_t hqi_intf;
  uint8_t low_version;
  uint8_t high_version;
  core_dump_time start;
  char dump_string[kValueSize];
};

uint32_t VARU_record_core_dump(OutputFile* file, RecordFields& f) {
  if (file == nullptr) {
    pdebug(kBackEnd, 3, "%s:INVALID File or CoreDump String.\n", __func__);
    return 1;
  }
  if (VARU_CORE_DUMP_STATUS != 0 && f.dump_string[0] == '\0') {
    std::snprintf(f.dump_string, sizeof f.dump_string, "live");
  }
  core_dump_record record{};
  record.magic = kRecordMagic;
  record.one = 1;
  record.chip_state = f.chip_state;
  char text[kValueSize] = "";
  VARU_get_system_name(text, sizeof text);
  put_text(record.host_name, sizeof record.host_name, text);
  record.start = f.start;
  put_text(record.dump_string, sizeof record.dump_string, f.dump_string);
  record.segments = successful_segments;
  text[0] = '\0';
  VARU_get_os_info(&record.os_major, &record.os_minor, text, sizeof text);
  put_text(record.os_text, sizeof record.os_text, text);
  record.end = time_now();
  record.hqi_intf = f.hqi_intf;
  record.asic_id = f.asic_id;
  record.failed = VARU_CORE_DUMP_STATUS != 0 ? kDumpFailedMark : 0;
  record.low_version = f.low_version;
  record.high_version = f.high_version;
  if (!file->write(&record, sizeof record) || !file->close()) {
    if (file->error() == EPERM) return fail_action(kStatusWriteNotSupported, msg::kWriteNotSupportedHere);
    return fail_action(kStatusInvalidFileName, msg::kInvalidFileName);
  }
  return 0;
}

// Everything between taking the lock and writing the record. False for the missing NIC function or
// "PCI" group, which end the dump without a record.
bool collect(Dump& d, const char* asked, RecordFields& rec, bool* reported_dead, uint32_t* asic_type) {
  hm_node* first_nic = get_first_instance(d.controller, "NICPhysicalHBA");
  if (first_nic == nullptr) return false;
  d.port = get_port_number(first_nic);
  const FunctionZero zero = find_function0(d.controller, &d.function0);
  if (zero == FunctionZero::kNoPciGroup) return false;

  coredump_props reply{};
  const uint32_t rc = ioctl_get_coredump_props(d.port, &reply, d.domain, d.port_number, kProtocolNic);
  const DumpProperties props = dump_properties(rc, reply);
  rec.chip_state = props.chip_state;
  rec.low_version = props.low_version;
  rec.high_version = props.high_version;
  rec.hqi_intf = props.hqi_intf;
  rec.asic_id = props.asic_id;
  *reported_dead = props.chip_state == 1;
  if (!components_within(props)) {
    // As a properties read that failed: the record alone, marked, and the dump fails.
    VARU_CORE_DUMP_STATUS = 1;
    rec.bad_properties = true;
    return true;
  }
  if (zero == FunctionZero::kNone) {
    VARU_CORE_DUMP_STATUS = 1;
    return true;
  }
  VARU_get_asic_type(props.hqi_intf, asic_type, props.asic_id);
  if (props.components == 0) return true;
  // The string settles on the chip's state: live or Dead, Test live or Test Dead.
  const bool dead_chip = props.chip_state != 0;
  if (asked[0] == '\0') {
    std::snprintf(rec.dump_string, sizeof rec.dump_string, "%s", dead_chip ? "Dead" : "live");
  } else if (same_text(asked, "Test")) {
    std::snprintf(rec.dump_string, sizeof rec.dump_string, "%s", dead_chip ? "Test Dead" : "Test live");
  }
  const bool dead = !same_text(rec.dump_string, "live") && !same_text(rec.dump_string, "Test live");
  if (same_text(rec.dump_string, "Dead")) rec.chip_state = 1;
  if (props.components < kFirstFirmwareComponent) return true;
  for (uint32_t component = kNoTemplateComponent; component < props.components; ++component) {
    if (component == kNoTemplateComponent) {
      VARU_get_byte_code_info(d, *asic_type, rec.dump_string, dead || rec.chip_state == 1);
    } else if (component == 5 || component == 6) {
      continue;
    } else if ((component == 2 || component == 3) && is_dead_string(rec.dump_string)) {
      continue;
    } else {
      dump_component(d, component);
    }
  }
  return true;
}

}  // namespace

void VARU_get_asic_type(uint32_t hqi_intf, uint32_t* type, uint32_t asic_id) {
  if (type == nullptr) return;
  if (hqi_intf == 0) {
    *type = kAsicTypeUnknown;
    return;
  }
  char digits[9];
  std::snprintf(digits, sizeof digits, "%x", hqi_intf);
  if (std::strlen(digits) < 6) return;
  const bool orvelle_id = asic_id == 0x410 || asic_id == 0x411;
  switch (digits[5]) {
    case '0': *type = 2; break;
    case '1': *type = 3; break;
    case 'a':
    case 'b': *type = 4; break;
    case '2':
      if (orvelle_id) *type = 5;
      break;
    case 'f':
      if (orvelle_id) *type = 5;
      if (asic_id == 0x500) *type = 6;
      break;
    default: break;
  }
}

DumpProperties dump_properties(uint32_t command_result, const coredump_props& reply) {
  if (command_result == 1) return DumpProperties{1, 1, 0, kDeadChipComponents, 0, 0};
  return DumpProperties{reply.chip_state, reply.low_version, reply.high_version, reply.components, reply.hqi_intf,
                        reply.asic_id};
}

bool components_within(const DumpProperties& props) { return props.components <= kMaxDumpComponents; }

bool segments_within(const coredump_comp_props& reply) { return reply.segments <= kMaxComponentSegments; }

bool segment_instances(const coredump_seg_props& reply, uint64_t room, uint32_t* instances) {
  const uint64_t n = reply.highest_instance < 0 ? 0 : static_cast<uint64_t>(reply.highest_instance) + 1;
  // A segment without instances reads nothing, whatever length it claims.
  if (n != 0 && (n > kMaxSegmentInstances || reply.length > kMaxSegmentLength || n * reply.length > room)) {
    return false;
  }
  *instances = static_cast<uint32_t>(n);
  return true;
}

uint32_t segment_reply_bytes(const uint8_t* reply, uint32_t piece) {
  uint32_t returned = 0;
  std::memcpy(&returned, reply + sizeof(uint32_t), sizeof returned);
  const uint32_t room = piece < kSegmentPieceMax ? piece : kSegmentPieceMax;
  return returned < room ? returned : room;
}

uint32_t do_RetrieveBrightlaneCoreDump(hm_node* controller, hm_node* action, char params[6][256]) {
  params[0][kValueSize - 1] = '\0';
  params[1][kValueSize - 1] = '\0';
  // The name is tried before the lock without changing the file: a dump running elsewhere finds it as
  // it was.
  OutputFile file;
  if (!file.try_name(params[0])) return fail_action(kStatusInvalidFileName, msg::kInvalidFileName);
  CmdLockGuard lock(kCoreDumpPidFile);
  if (!lock.held()) return fail_action(kStatusDumpRunning, msg::kOperationRunning);
  // The old dump goes: what is written is a file of this process's own, never one left at the name.
  ::unlink(params[0]);
  if (!file.create_new(params[0])) return fail_action(kStatusInvalidFileName, msg::kInvalidFileName);
  Dump d;
  d.controller = controller;
  d.file = &file;
  // A dump that left its counters behind (its record failed) never counts into this one.
  successful_segments = 0;
  VARU_CORE_DUMP_STATUS = 0;
  d.domain = static_cast<uint8_t>(get_domain_id(action));
  d.port_number = static_cast<uint8_t>(get_phba_port_number(action));

  RecordFields rec{};
  rec.start = time_now();
  std::snprintf(rec.dump_string, sizeof rec.dump_string, "%s", params[1]);
  bool reported_dead = false;
  uint32_t asic_type = kAsicTypeUnknown;
  if (get_vx_type(controller) == kGenerationQuenta) {
    rec.low_version = 1;
    rec.hqi_intf = kQuentaHqiIntf;
  } else if (!collect(d, params[1], rec, &reported_dead, &asic_type)) {
    file.discard(params[0]);   // no record: no dump file, as when it was deleted
    return 1;
  }
  const uint32_t recorded = VARU_record_core_dump(d.file, rec);
  lock.release();
  if (recorded != 0) return 1;
  successful_segments = 0;
  VARU_CORE_DUMP_STATUS = 0;
  if (rec.bad_properties) return fail_action(kStatusCoreDumpPropsFailed, msg::kCoreDumpPropsFailed);
  const bool reboot_chip = asic_type == 2 || asic_type == 3 || asic_type == 5;
  if ((reported_dead || same_text(rec.dump_string, "Dead")) && reboot_chip) {
    varu_set_last_status(kStatusRebootNow, msg::kRebootImmediately);
  }
  return 0;
}

}  // namespace vx
