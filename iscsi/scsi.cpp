#include "iscsi/scsi.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "access/fw_commands.h"
#include "access/walks.h"
#include "engine/messages.h"
#include "iscsi/records.h"
#include "iscsi/sessions.h"
#include "iscsi/validators.h"
#include "schema/handlers.h"
#include "schema/names_iscsi_phba.h"
#include "schema/target.h"

namespace vx {
namespace {

constexpr uint8_t kReportLuns = 0xA0;
constexpr uint8_t kReadCapacity10 = 0x25;
constexpr uint8_t kServiceActionIn16 = 0x9E;
constexpr uint8_t kReadCapacity16Action = 0x10;
constexpr uint8_t kRead10 = 0x28;
constexpr uint8_t kWrite10 = 0x2A;
constexpr uint8_t kInquiry = 0x12;
constexpr uint8_t kSerialNumberPage = 0x80;
constexpr uint32_t kStandardInquirySize = 36;
constexpr uint32_t kSerialPageRequest = 256;
constexpr uint32_t kSerialPageKept = 255;
constexpr uint32_t kReportLunsFirst = 16;
constexpr uint32_t kStatusNoData = 5;
constexpr size_t kLunEntrySize = 8;
// The most data one pass-through request carries beside its header.
constexpr uint32_t kMaxTransfer = kMaxRequestLength - sizeof(scsi_params);

uint32_t be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}
void put_be32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

// The routines whose failure the user sees name it in the last status.
uint32_t noted(uint32_t result) {
  if (result == kStatusScsiFailed) varu_set_last_status(kStatusScsiFailed, msg::kLunInfoFailed);
  return result;
}

// Where a LUN's commands go: the first Session of its target and the LUN's own record.
struct LunPath {
  CommandAddress at;
  uint32_t session;
  lun_record lun;
};

bool lun_path(hm_node* lun, LunPath* out) {
  hm_node* target = lun != nullptr ? lun->parent : nullptr;
  hm_node* session = get_first_instance(target, kGroupSession);
  const instance_backend_record* srec = record_of(session);
  const auto* lrec = static_cast<const lun_record*>(group_data(lun) != nullptr ? group_data(lun)->backend_info : nullptr);
  if (srec == nullptr || lrec == nullptr) return false;
  out->at = command_address(lun);
  out->at.port = static_cast<int32_t>(srec->port_handle);
  out->session = srec->firmware_handle;
  out->lun = *lrec;
  return true;
}

std::string lun_text(const lun_record& rec) {
  uint8_t bytes[8];
  std::memcpy(bytes, &rec, sizeof bytes);
  char text[17];
  for (int i = 0; i < 8; ++i) std::snprintf(text + 2 * i, 3, "%02x", bytes[i]);
  return text;
}

std::string scaled(double size, double unit, const char* suffix) {
  char text[64];
  std::snprintf(text, sizeof text, "%0.2f %s", static_cast<double>(static_cast<float>(size / unit)), suffix);
  return text;
}

// Runs a property's fetch, a second time when the first fails, then answers the cached value.
uint32_t fetched_value(hm_node* prop, char* buf, uint32_t (*fetch)(hm_node*)) {
  hm_node* lun = owning_group(prop);
  uint32_t result = fetch(lun);
  if (result != 0) result = fetch(lun);
  if (result != 0) return result;
  return handle_internal_property(prop, buf, kGet);
}

}  // namespace

void lun_record_bytes(const uint8_t lun[8], uint8_t swapped[8]) {
  for (int i = 0; i < 4; ++i) {
    swapped[i] = lun[3 - i];
    swapped[4 + i] = lun[7 - i];
  }
}

void lun_request_bytes(const lun_record& rec, uint8_t lun[8]) {
  uint8_t bytes[8];
  std::memcpy(bytes, &rec, sizeof bytes);
  for (int i = 0; i < 8; ++i) lun[i] = bytes[7 - i];
}

uint32_t ConstructSCSIParams(const CommandAddress& at, uint32_t session_handle, const lun_record* lun,
                             uint8_t direction, const uint8_t cdb[16], uint32_t data_length,
                             std::vector<uint8_t>* out, const uint8_t* data) {
  if (data_length > kMaxTransfer) return kStatusScsiFailed;
  std::vector<uint8_t> request(sizeof(scsi_params) + data_length, 0);
  scsi_params header{};
  header.session_handle = session_handle;
  if (lun != nullptr) {
    lun_request_bytes(*lun, header.lun);
    if (pdebug_enabled(kBackEnd, 6)) {
      for (int i = 0; i < 8; ++i) pdebug(kBackEnd, 6, "pScsiParams->request.lun[%d] = %02x\n", i, header.lun[i]);
    }
  }
  header.direction = direction;
  if (cdb != nullptr) std::memcpy(header.cdb, cdb, sizeof header.cdb);
  header.data_length = static_cast<uint16_t>(data_length);
  std::memcpy(request.data(), &header, sizeof header);
  if (data != nullptr && data_length > 0) std::memcpy(request.data() + sizeof header, data, data_length);
  if (ioctl_scsi_passthru(at.port, request.data(), static_cast<uint16_t>(request.size()), at.domain, at.phba_port) !=
      0) {
    return kStatusScsiFailed;
  }
  std::memcpy(&header, request.data(), sizeof header);
  if (header.check_condition != 0) {
    // Sense key and additional sense code of the fixed-format sense data.
    pdebug(kBackEnd, 3, "Check condition recieved from tgt\n");
    pdebug(kBackEnd, 5, "sense key 0x%x asc 0x%x ascq 0x%x\n", header.sense[2] & 0x0F, header.sense[12],
           header.sense[13]);
    return kStatusCheckCondition;
  }
  if (out != nullptr) out->assign(request.begin() + sizeof header, request.end());
  return kStatusOk;
}

uint32_t FetchReportLUNData(const CommandAddress& at, uint32_t session_handle, std::vector<uint8_t>* out) {
  uint8_t cdb[16] = {kReportLuns};
  put_be32(cdb + 6, kReportLunsFirst);
  std::vector<uint8_t> data;
  uint32_t result = ConstructSCSIParams(at, session_handle, nullptr, kScsiDirectionRead, cdb, kReportLunsFirst, &data);
  if (result != 0) return result;
  if (data.size() < kLunEntrySize) return kStatusNoData;
  const uint32_t length = be32(data.data());
  if (length > kLunEntrySize - 1) {
    uint32_t n = length / kLunEntrySize;
    const uint32_t fits = kMaxTransfer / kLunEntrySize - 1;
    if (n > fits) n = fits;
    const uint32_t size = (n + 1) * kLunEntrySize;
    put_be32(cdb + 6, size);
    result = ConstructSCSIParams(at, session_handle, nullptr, kScsiDirectionRead, cdb, size, &data);
    if (result != 0) return result;
  }
  if (data.empty()) return kStatusNoData;
  *out = std::move(data);
  return kStatusOk;
}

uint32_t FetchReadCapacityData(const CommandAddress& at, uint32_t session_handle, const lun_record& lun,
                               std::vector<uint8_t>* out, uint32_t mode) {
  uint8_t cdb[16] = {};
  uint32_t size = 8;
  if (mode == 1) {
    size = 12;
    cdb[0] = kServiceActionIn16;
    cdb[1] = kReadCapacity16Action;
    cdb[13] = static_cast<uint8_t>(size);
  } else {
    cdb[0] = kReadCapacity10;
  }
  return noted(ConstructSCSIParams(at, session_handle, &lun, kScsiDirectionRead, cdb, size, out));
}

uint32_t IssueSCSIReadWrite(const CommandAddress& at, uint32_t session_handle, const lun_record& lun,
                            uint8_t direction, uint32_t lba, uint32_t blocks, uint32_t block_length,
                            std::vector<uint8_t>* read_data, const uint8_t* data) {
  if (block_length == 0 || block_length > kMaxTransfer) return kStatusScsiFailed;
  // As many blocks as one request carries; a longer transfer goes as several commands.
  const uint32_t per_command = kMaxTransfer / block_length;
  if (read_data != nullptr) read_data->clear();
  while (blocks > 0) {
    const uint32_t count = blocks < per_command ? blocks : per_command;
    uint8_t cdb[16] = {direction == kScsiDirectionWrite ? kWrite10 : kRead10};
    put_be32(cdb + 2, lba);
    cdb[7] = static_cast<uint8_t>(count >> 8);
    cdb[8] = static_cast<uint8_t>(count);
    std::vector<uint8_t> chunk;
    const uint32_t result = ConstructSCSIParams(at, session_handle, &lun, direction, cdb, count * block_length,
                                                read_data != nullptr ? &chunk : nullptr, data);
    if (result != 0) return noted(result);
    if (read_data != nullptr) read_data->insert(read_data->end(), chunk.begin(), chunk.end());
    if (data != nullptr) data += static_cast<size_t>(count) * block_length;
    lba += count;
    blocks -= count;
  }
  return kStatusOk;
}

uint32_t FetchScsiInquiryData(const CommandAddress& at, uint32_t session_handle, const lun_record& lun,
                              std::vector<uint8_t>* out) {
  const uint8_t cdb[16] = {kInquiry, 0, 0, 0, kStandardInquirySize};
  return noted(ConstructSCSIParams(at, session_handle, &lun, kScsiDirectionRead, cdb, kStandardInquirySize, out));
}

uint32_t FetchLSNInquiryData(const CommandAddress& at, uint32_t session_handle, const lun_record& lun,
                             std::vector<uint8_t>* out) {
  const uint8_t cdb[16] = {kInquiry, 1, kSerialNumberPage, 0, 0xFF};
  const uint32_t result =
      noted(ConstructSCSIParams(at, session_handle, &lun, kScsiDirectionRead, cdb, kSerialPageRequest, out));
  if (result == 0 && out->size() > kSerialPageKept) out->resize(kSerialPageKept);
  return result;
}

uint32_t lun_block_length(const CommandAddress& at, uint32_t session_handle, const lun_record& lun) {
  std::vector<uint8_t> data;
  if (FetchReadCapacityData(at, session_handle, lun, &data, 0) != 0 || data.size() < 8) return kDefaultBlockLength;
  uint32_t length = be32(data.data() + 4);
  if (be32(data.data()) == 0xFFFFFFFFu) {
    if (FetchReadCapacityData(at, session_handle, lun, &data, 1) != 0 || data.size() < 12) return kDefaultBlockLength;
    length = be32(data.data() + 8);
  }
  return length != 0 ? length : kDefaultBlockLength;
}

uint32_t get_read_capacity(hm_node* lun) {
  LunPath p{};
  if (!lun_path(lun, &p)) return kStatusFailed;
  std::vector<uint8_t> data;
  uint32_t result = FetchReadCapacityData(p.at, p.session, p.lun, &data, 0);
  if (result != 0) return result;
  if (data.size() < 8) return kStatusFailed;
  bool sixteen = false;
  uint64_t last = be32(data.data());
  uint32_t block = be32(data.data() + 4);
  if (last == 0xFFFFFFFFu) {
    result = FetchReadCapacityData(p.at, p.session, p.lun, &data, 1);
    if (result != 0) return result;
    if (data.size() < 12) return kStatusFailed;
    last = (static_cast<uint64_t>(be32(data.data())) << 32) | be32(data.data() + 4);
    block = be32(data.data() + 8);
    sixteen = true;
  }
  bool ok = set_cached(lun, kPropBlockSize, std::to_string(block));
  const double size = (static_cast<double>(last) + 1.0) * static_cast<double>(block);
  if (sixteen) {
    if (size >= std::ldexp(1.0, 40)) ok = set_cached(lun, kPropLUNSize, scaled(size, std::ldexp(1.0, 40), "TB")) && ok;
  } else if (size >= std::ldexp(1.0, 30)) {
    ok = set_cached(lun, kPropLUNSize, scaled(size, std::ldexp(1.0, 30), "GB")) && ok;
  } else if (size >= std::ldexp(1.0, 20)) {
    ok = set_cached(lun, kPropLUNSize, scaled(size, std::ldexp(1.0, 20), "MB")) && ok;
  } else if (size >= 1024.0) {
    ok = set_cached(lun, kPropLUNSize, scaled(size, 1024.0, "KB")) && ok;
  } else {
    ok = set_cached(lun, kPropLUNSize, std::to_string(static_cast<uint64_t>(size)) + " Bytes") && ok;
  }
  return ok ? kStatusOk : kStatusFailed;
}

uint32_t get_std_inquiry_props(hm_node* lun) {
  LunPath p{};
  if (!lun_path(lun, &p)) return kStatusFailed;
  std::vector<uint8_t> data;
  uint32_t result = FetchScsiInquiryData(p.at, p.session, p.lun, &data);
  if (result != 0) return result;
  data.resize(kStandardInquirySize, 0);
  char type[8];
  std::snprintf(type, sizeof type, "0x%x", data[0] & 0x1F);
  const bool ok = set_cached(lun, kPropDeviceVendorName, field_text(reinterpret_cast<const char*>(&data[8]), 8)) &&
                  set_cached(lun, kPropDeviceModelNumber, field_text(reinterpret_cast<const char*>(&data[16]), 16)) &&
                  set_cached(lun, kPropLUNType, type);
  if (!ok) return kStatusFailed;
  result = FetchLSNInquiryData(p.at, p.session, p.lun, &data);
  if (result != 0) return result;
  // The page says how long the serial number is; only what arrived is read.
  size_t length = data.size() > 3 ? data[3] : 0;
  if (length > data.size() - (data.size() > 4 ? 4 : data.size())) length = data.size() > 4 ? data.size() - 4 : 0;
  const std::string serial = length > 0 ? field_text(reinterpret_cast<const char*>(&data[4]), length) : std::string();
  return set_cached(lun, kPropLUNSerialNumber, serial) ? kStatusOk : kStatusFailed;
}

uint32_t get_lunname_prop(hm_node* lun) {
  LunPath p{};
  if (!lun_path(lun, &p)) return kStatusFailed;
  std::string ifname;
  if (!read_property(lun->parent->parent, "IfName", &ifname)) {
    pdebug(kBackEnd, 3, "Failed to get Ifname for this lhba\n");
    return kStatusFailed;
  }
  session_config config{};
  const uint32_t result = fetch_session_config(p.at, p.session, &config);
  if (result != 0) return result;
  const auto* bytes = reinterpret_cast<const uint8_t*>(&config);
  uint16_t first = 0;
  uint16_t second = 0;
  std::memcpy(&first, bytes + kLunNameFirstOffset, sizeof first);
  std::memcpy(&second, bytes + kLunNameSecondOffset, sizeof second);
  return set_cached(lun, kPropLUNName, ifname + ":" + std::to_string(first) + ":" + std::to_string(second))
             ? kStatusOk
             : kStatusFailed;
}

void rescan_luns(hm_node* target, const char* text_90) {
  char params[kParamCount][kValueSize] = {};
  std::string changed;
  hm_node* action = internal_get_node(target, kActionReScanLUNS, kAction);
  if (get_all_luns(target, BuilderArgs{target, action, params}, &changed) == kStatusScsiFailed) {
    varu_set_last_status(kStatusScsiFailed, text_90);
  }
}

uint32_t get_all_luns(hm_node* target, const BuilderArgs& args, std::string* changed) {
  std::vector<std::array<uint8_t, 8>> remembered;
  for (hm_node* l = get_first_instance(target, kGroupLUN); l != nullptr; l = next_instance(l)) {
    const auto* rec = static_cast<const lun_record*>(group_data(l)->backend_info);
    if (rec == nullptr) return kStatusFailed;
    std::array<uint8_t, 8> bytes;
    std::memcpy(bytes.data(), rec->swapped, bytes.size());
    remembered.push_back(bytes);
  }
  const uint32_t purged = purge_nodes_within(target, kGroupLUN);
  if (purged != 0) return purged;
  if (get_first_instance(target, kGroupSession) == nullptr) return kStatusNoSession;

  bool failed = false;
  bool differs = false;
  size_t total = 0;
  for (hm_node* s = get_first_instance(target, kGroupSession); s != nullptr; s = next_instance(s)) {
    std::string status;
    const instance_backend_record* srec = record_of(s);
    if (!read_property(s, kPropSessionStatus, &status) || session_inactive(status) || srec == nullptr) continue;
    CommandAddress at = command_address(s);
    at.port = static_cast<int32_t>(srec->port_handle);
    std::vector<uint8_t> list;
    const uint32_t result = FetchReportLUNData(at, srec->firmware_handle, &list);
    if (result == kStatusScsiFailed) {
      failed = true;
      pdebug(kBackEnd, 3, "Failed to scan LUNs for Session%d.\n", instance_number(s));
    }
    if (result != 0) continue;
    // Only entries that arrived count, whatever the list length claims.
    size_t count = be32(list.data()) / kLunEntrySize;
    const size_t arrived = list.size() > kLunEntrySize ? (list.size() - kLunEntrySize) / kLunEntrySize : 0;
    if (count > arrived) count = arrived;
    if (count > kMaxLunsPerScan) count = kMaxLunsPerScan;
    for (size_t i = 0; i < count; ++i) {
      const BuilderArgs& used = i == 0 ? args : BuilderArgs{};
      hm_node* lun = initialize_LUN(target, used.origin, used.action, used.params);
      if (lun == nullptr) return kStatusFailed;
      lun_record rec{};
      lun_record_bytes(&list[kLunEntrySize * (i + 1)], rec.swapped);
      rec.session_handle = srec->firmware_handle;
      instance_backend_record raw{};
      std::memcpy(&raw, &rec, sizeof raw);
      if (!attach_record(lun, raw)) {
        delete_with_records(lun);
        return kStatusFailed;
      }
      bool known = false;
      for (const auto& r : remembered) known = known || std::memcmp(r.data(), rec.swapped, r.size()) == 0;
      differs = differs || !known;
    }
    total += count;
  }
  // Changed: a LUN that was not there before, or another number of LUNs.
  if (changed != nullptr) *changed = (differs && !remembered.empty()) || total != remembered.size() ? "1" : "0";
  return failed ? kStatusScsiFailed : kStatusOk;
}

uint32_t scan_from_os() { return kStatusOk; }

// ---- handlers ---------------------------------------------------------------------------------------

uint32_t handle_LUNNumber(hm_node* prop, char* buf, uint32_t op) {
  hm_node* lun = owning_group(prop);
  const auto* rec = static_cast<const lun_record*>(group_data(lun) != nullptr ? group_data(lun)->backend_info : nullptr);
  if (rec != nullptr) set_cached(lun, kPropLUNNumber, lun_text(*rec));
  return op == kGet ? handle_internal_property(prop, buf, kGet) : kStatusOk;
}

uint32_t handle_LUNName(hm_node* prop, char* buf, uint32_t op) {
  if (op == kSet) return kStatusOk;
  if (get_lunname_prop(owning_group(prop)) != 0) return kStatusFailed;
  return handle_internal_property(prop, buf, kGet);
}

uint32_t handle_StdInquiry_properties(hm_node* prop, char* buf, uint32_t op) {
  return op == kGet ? fetched_value(prop, buf, get_std_inquiry_props) : kStatusOk;
}

uint32_t handle_lun_block_size(hm_node* prop, char* buf, uint32_t op) {
  return op == kGet ? fetched_value(prop, buf, get_read_capacity) : kStatusOk;
}

uint32_t do_StdInquiry(hm_node* lun, hm_node*, char[6][256]) {
  LunPath p{};
  if (!lun_path(lun, &p)) {
    pdebug(kBackEnd, 3, "%s:pSessionInfo is NULL.\n", __func__);
    return kStatusFailed;
  }
  std::vector<uint8_t> data;
  uint32_t result = FetchScsiInquiryData(p.at, p.session, p.lun, &data);
  if (result != 0) result = FetchScsiInquiryData(p.at, p.session, p.lun, &data);
  return result;
}

uint32_t do_SCSIWrite(hm_node* lun, hm_node*, char params[6][256]) {
  uint64_t lba = 0;
  uint64_t count = 0;
  if (!parse_number(params[0], 0, UINT32_MAX, &lba) || !parse_number(params[1], 0, 0xFFFF, &count) || count == 0) {
    return refuse(kStatusInvalidValue, msg::kInvalidValue);
  }
  LunPath p{};
  if (!lun_path(lun, &p)) return kStatusFailed;
  const uint32_t block_length = lun_block_length(p.at, p.session, p.lun);
  const std::vector<uint8_t> zeros(static_cast<size_t>(count) * block_length, 0);
  const auto blocks = static_cast<uint32_t>(count);
  uint32_t result = IssueSCSIReadWrite(p.at, p.session, p.lun, kScsiDirectionWrite, static_cast<uint32_t>(lba), blocks,
                                       block_length, nullptr, zeros.data());
  if (result != 0) {
    result = IssueSCSIReadWrite(p.at, p.session, p.lun, kScsiDirectionWrite, static_cast<uint32_t>(lba), blocks, block_length,
                                nullptr, zeros.data());
  }
  return result;
}

uint32_t send_ping(hm_node* node, hm_node* action_node, const uint8_t address[16], uint8_t type) {
  ping_request request{};
  request.type = type;
  std::memcpy(request.address, address, sizeof request.address);
  const CommandAddress at = command_address(action_node);
  return ioctl_ping(get_port_number(node), &request, at.domain, at.phba_port) != 0 ? kStatusFailed : kStatusOk;
}

uint32_t pingtargetip(hm_node* node, hm_node* lhba, const char* ip) {
  uint8_t address[16] = {};
  if (validateIPAddress(ip, address, kIpHost) == 0) return refuse(kStatusBadAddress, msg::kInvalidValueUseValid);
  return send_ping(node, lhba, address, kAddressTypeIpv4);
}

uint32_t do_Ping(hm_node* target, hm_node* action, char params[6][256]) {
  uint8_t address[16] = {};
  uint8_t type = kAddressTypeIpv4;
  const bool ipv6 = std::strchr(params[0], ':') != nullptr;
  const bool valid = ipv6 ? parse_address(params[0], address, &type) : validateIPAddress(params[0], address, kIpHost) == 1;
  if (!valid) return refuse(kStatusBadAddress, msg::kInvalidValueUseValid);
  if (send_ping(target, action, address, type) != 0) return refuse(kStatusPingFailed, msg::kPingFailed);
  return kStatusOk;
}

}  // namespace vx
