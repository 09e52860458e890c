#include "iscsi/discovery.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "access/fw_commands.h"
#include "access/host.h"
#include "access/transport.h"
#include "access/walks.h"
#include "engine/messages.h"
#include "iscsi/common.h"
#include "iscsi/login.h"
#include "iscsi/login_block.h"
#include "iscsi/lookups.h"
#include "iscsi/records.h"
#include "iscsi/saved_files.h"
#include "iscsi/scsi.h"
#include "iscsi/sessions.h"
#include "iscsi/target_lists.h"
#include "iscsi/targets.h"
#include "iscsi/validators.h"
#include "schema/handlers.h"
#include "schema/names_iscsi_phba.h"
#include "schema/send_target_portal.h"

namespace vx {
namespace {

constexpr const char* kDiscoveryTargetName = "iSCSI";
constexpr const char* kSendTargetsAll = "SendTargets=All";
constexpr const char* kSendTargetsOne = "SendTargets=";
// Fields (0-based) of a send-target portal record.
constexpr size_t kStpAddressField = 3;
constexpr size_t kStpPortField = 4;
constexpr size_t kStpMacField = 5;
constexpr size_t kStpFirstOption = 6;
// Fields (0-based) of a target record.
constexpr size_t kTgtAddressField = 4;
constexpr size_t kTgtPortField = 5;
constexpr size_t kTgtInitiatorField = 7;
constexpr size_t kTgtFirstOption = 8;

struct FreeBuffer {
  void operator()(uint8_t* p) const { varu_dfree(p); }
};
using Buffer = std::unique_ptr<uint8_t[], FreeBuffer>;

Buffer discovery_buffer() { return Buffer(static_cast<uint8_t*>(varu_dcalloc(kDiscoveryBufferSize))); }

template <typename T>
T read_at(const uint8_t* data, size_t offset) {
  T v;
  std::memcpy(&v, data + offset, sizeof v);
  return v;
}

bool disabled(hm_node* lhba) {
  std::string enabled;
  return read_property(lhba, kPropLhbaEnabled, &enabled) && equal_nocase(enabled, "False");
}

// The twelve options of a record, from its first option field; a target record has TargetType
// before CHAPParam. Empty CHAPParam, HeaderParam and DataParam read "Prohibited".
LoginOptionTexts record_options(const std::vector<std::string>& fields, size_t first, bool type_field) {
  LoginOptionTexts o;
  for (size_t i = 0; i < kOptionCount; ++i) {
    const size_t at = first + i + (type_field && i >= kOptChapParam ? 1 : 0);
    o.values[i] = at < fields.size() ? fields[at] : "";
    if (i >= kOptChapParam && o.values[i].empty()) o.values[i] = "Prohibited";
  }
  return o;
}

std::vector<std::vector<std::string>> records_of(const char* file, hm_node* lhba, size_t field_count,
                                                 file_store::ReadResult* got) {
  std::vector<std::string> lines;
  *got = read_records(file, &lines);
  std::vector<std::vector<std::string>> out;
  const std::vector<std::string> key = lhba_instance_key(lhba);
  for (const std::string& line : lines) {
    std::vector<std::string> fields;
    if (VARU_get_iscsi_data_from_file(line, key, &fields, field_count, kKeyFields) == 0) out.push_back(fields);
  }
  return out;
}

void set_params(char params[6][256], std::initializer_list<std::string> values) {
  std::memset(params, 0, 6 * kValueSize);
  int i = 0;
  for (const std::string& v : values) std::snprintf(params[i++], kValueSize, "%s", v.c_str());
}

// The send-target portal's values from its record or its action: address, port, MAC, options.
bool fill_send_target_portal(hm_node* stp, const std::string& address, const std::string& port, const std::string& mac,
                             const LoginOptionTexts& options) {
  return set_cached(stp, kPropStpIPAddress, address) && set_cached(stp, kPropStpPortNumber, port) &&
         set_cached(stp, kPropStpPortMacAddress, mac) &&
         write_login_option_texts(internal_get_node(stp, kGroupSendTargetPortalLoginOptions, kGroup), options);
}

uint32_t logout_discovery(const CommandAddress& at, uint32_t handle) {
  logout_request request{handle};
  return ioctl_logout_target(at.port, &request, at.domain, at.phba_port);
}

// The portal of a listed target that the target lacks: made and recorded. One the file cannot hold
// is not made: the next process would not have it.
hm_node* add_listed_portal(hm_node* lhba, hm_node* target, const std::string& name, const ListedPortal& p,
                           bool first_record) {
  hm_node* portal = setup_portal(target, p.address.c_str(), p.port.c_str(), p.group_tag.c_str(), BuilderArgs{});
  if (portal != nullptr &&
      VARU_add_target_into_file(lhba, target, name.c_str(), p.address.c_str(), p.port.c_str(), first_record) != 0) {
    delete_with_records(portal);
    saved_file_failed(msg::kSavedFileNotAdded, kSaveTargetFile, "target portal");
    return nullptr;
  }
  return portal;
}

bool listed_name_usable(const std::string& name) { return !name.empty() && record_safe(name); }

// A target this pass made goes when it got no portal; one the user had, or one whose portals are
// recorded already, stays.
void drop_if_bare(hm_node* target, bool created) {
  if (target != nullptr && created && get_first_instance(target, kGroupTargetPortal) == nullptr) {
    delete_with_records(target);
  }
}

struct MadeTarget {
  hm_node* lhba;
  std::string name;
};

// The outermost discovery pass under way, and the targets it made.
struct PassState {
  bool on = false;
  std::vector<MadeTarget> made;
};

PassState& pass_state() {
  static PassState state;
  return state;
}

hm_node* lhba_of_record(const std::vector<std::string>& fields) {
  hm_node* node = get_node(0);
  for (size_t i = 0; i < kKeyFields && node != nullptr; ++i) node = internal_get_node(node, fields[i].c_str(), kGroup);
  return node;
}

// What the records that the file could not take stood for goes from the tree: their portals, and
// the targets the pass made that are left without one.
void take_back(const std::vector<std::string>& unwritten, const std::vector<MadeTarget>& made) {
  for (const std::string& line : unwritten) {
    const std::vector<std::string> f = split_record(line);
    if (f.size() <= kTgtPortField || f[kTgtAddressField].empty() || f[kTgtPortField].empty()) continue;
    hm_node* target = find_target(lhba_of_record(f), f[kTargetNameField].c_str());
    hm_node* portal = target != nullptr ? find_target_portal(target, f[kTgtAddressField].c_str(), f[kTgtPortField].c_str())
                                        : nullptr;
    if (portal != nullptr) delete_with_records(portal);
  }
  for (const MadeTarget& m : made) drop_if_bare(find_target(m.lhba, m.name.c_str()), true);
}

}  // namespace

// ---- the pass -------------------------------------------------------------------------------------------

DiscoveryPass::DiscoveryPass() {
  if (!files_.outermost()) return;
  pass_state().on = true;
  use_target_index(true);
}

DiscoveryPass::~DiscoveryPass() { finish(kStatusOk); }

uint32_t DiscoveryPass::finish(uint32_t result) {
  if (finished_ || !files_.outermost()) {
    finished_ = true;
    return result;
  }
  finished_ = true;
  std::vector<std::string> unwritten;
  const bool written = files_.finish(&unwritten);
  std::vector<MadeTarget> made;
  made.swap(pass_state().made);
  pass_state().on = false;
  if (!written) take_back(unwritten, made);
  use_target_index(false);
  return written ? result : saved_file_failed(msg::kSavedFileFoundNotAdded, kSaveTargetFile, "targets found");
}

void DiscoveryPass::made_target(hm_node* lhba, const std::string& name) {
  if (pass_state().on) pass_state().made.push_back({lhba, name});
}

// ---- send-target portals ----------------------------------------------------------------------------

uint32_t do_AddSendTargetPortal(hm_node* discovery, hm_node* action, char params[6][256]) {
  hm_node* lhba = ancestor_named(discovery, kGroupLogicalHBA);
  hm_node* phba = ancestor_named(discovery, kGroupiSCSIPhysicalHBA);
  hm_node* controller = controller_of(discovery);
  hm_node* nic = internal_get_node(internal_get_node(phba, kGroupPhbaNetwork, kGroup), kGroupPhbaNICConfiguration, kGroup);
  if (lhba == nullptr || controller == nullptr || internal_get_node(nic, kPropPhbaMACAddress, kProperty) == nullptr) {
    return kStatusFailed;
  }
  const uint32_t generation = get_vx_type(controller);
  if (generation == kStatusFailed) return kStatusFailed;
  validateIPv6Address(params[0]);
  const std::string address = params[0];
  if ((generation == kGeneration2 || generation == kGeneration3) && address.find(':') != std::string::npos) {
    return refuse(kStatusIpv6NotSupported, msg::kIpv6NotSupported);
  }
  if (disabled(lhba)) return refuse(kStatusIscsiNotEnabled, msg::kIscsiNotEnabled);
  uint64_t port_number = 0;
  if (!parse_number(params[1], 10, 0xFFFF, &port_number)) return refuse(kStatusInvalidValue, msg::kInvalidValue);
  const std::string port = std::to_string(port_number);
  for (hm_node* p = get_first_instance(discovery, kGroupSendTargetPortal); p != nullptr; p = next_instance(p)) {
    if (cached_value(p, kPropStpIPAddress) == address && cached_value(p, kPropStpPortNumber) == port) {
      return refuse(kStatusDuplicateSendTargetPortal, msg::kDuplicateSendTargetPortal);
    }
  }
  LoginOptionTexts options;
  if (!read_login_option_texts(internal_get_node(lhba, kGroupInitiatorLoginOptions, kGroup), &options)) {
    return kStatusFailed;
  }
  hm_node* stp = initialize_SendTargetPortal(discovery, discovery, action, params);
  if (stp == nullptr) return kStatusFailed;
  const std::string mac = cached_value(nic, kPropPhbaMACAddress);
  std::vector<std::string> record = lhba_instance_key(lhba);
  for (const std::string& v : {address, port, mac}) record.push_back(v);
  for (const std::string& v : options.values) record.push_back(v);
  // The file is what the Discovery refresh keeps: a portal it does not record does not stay. Its
  // duplicate check and the append are one step, so two clients never both record one address.
  if (!fill_send_target_portal(stp, address, port, mac, options)) {
    delete_with_records(stp);
    return kStatusFailed;
  }
  switch (append_unique_record(kSavePortalFile, record,
                               saved_record_key(lhba, kPortalRecords, nullptr, address.c_str(), port.c_str(), 0))) {
    case Appended::kWritten:
      return kStatusOk;
    case Appended::kPresent:
      delete_with_records(stp);
      return refuse(kStatusDuplicateSendTargetPortal, msg::kDuplicateSendTargetPortal);
    case Appended::kFailed:
      break;
  }
  delete_with_records(stp);
  return saved_file_failed(msg::kSavedFileNotAdded, kSavePortalFile, "send target portal");
}

uint32_t do_DeleteSendTargetPortal(hm_node* discovery, hm_node*, char params[6][256]) {
  hm_node* stp = get_selected_group_node(discovery, kGroupSendTargetPortal, params[0]);
  if (stp == nullptr) return refuse(kStatusInvalidInstance, msg::kInvalidInstanceNumber);
  std::string address;
  std::string port;
  if (!read_property(stp, kPropStpIPAddress, &address) || !read_property(stp, kPropStpPortNumber, &port)) {
    return kStatusFailed;
  }
  if (VARU_remove_entry_from_file(ancestor_named(discovery, kGroupLogicalHBA), nullptr, address.c_str(), port.c_str(), 0,
                                  kPortalRecords) != 0) {
    return saved_file_failed(msg::kSavedFileKept, kSavePortalFile, "send target portal");
  }
  return delete_with_records(stp);
}

uint32_t group_Discovery(hm_node* discovery) {
  hm_node* lhba = ancestor_named(discovery, kGroupLogicalHBA);
  if (lhba == nullptr) return kStatusFailed;
  file_store::ReadResult got;
  const std::vector<std::vector<std::string>> records = records_of(kSavePortalFile, lhba, kPortalRecordFields, &got);
  if (got == file_store::ReadResult::kFailed) return kStatusFailed;
  auto recorded = [&](const std::string& address, const std::string& port) {
    for (const auto& r : records) {
      if (equal_nocase(r[kStpAddressField], address) && equal_nocase(r[kStpPortField], port)) return true;
    }
    return false;
  };
  // The file is the truth: a portal it does not record goes, also when there is no file at all.
  std::vector<hm_node*> doomed;
  for (hm_node* p = get_first_instance(discovery, kGroupSendTargetPortal); p != nullptr; p = next_instance(p)) {
    std::string address;
    std::string port;
    if (!read_property(p, kPropStpIPAddress, &address) || !read_property(p, kPropStpPortNumber, &port)) {
      return kStatusFailed;
    }
    if (!recorded(address, port)) doomed.push_back(p);
  }
  hm_node* add = internal_get_node(discovery, kActionAddSendTargetPortal, kAction);
  for (const auto& r : records) {
    if (check_for_stp_in_VARU(discovery, r[kStpAddressField].c_str(), r[kStpPortField].c_str()) == 1) continue;
    if (add == nullptr) {
      pdebug(kBackEnd, 3, "%s:Failed to get AddSendTargetPortal node.\n", __func__);
      break;
    }
    char params[kParamCount][kValueSize];
    set_params(params, {r[kStpAddressField], r[kStpPortField]});
    hm_node* stp = initialize_SendTargetPortal(discovery, discovery, add, params);
    if (stp == nullptr) {
      pdebug(kBackEnd, 3, "%s:Failed to get SendTargetPortal node.\n", __func__);
      break;
    }
    if (!fill_send_target_portal(stp, r[kStpAddressField], r[kStpPortField], r[kStpMacField],
                                 record_options(r, kStpFirstOption, false))) {
      pdebug(kBackEnd, 3, "%s:Failed to get SendTarget LoginOptions node.\n", __func__);
      delete_with_records(stp);
      break;
    }
  }
  for (hm_node* p : doomed) delete_with_records(p);
  return kStatusOk;
}

// ---- SendTargets ---------------------------------------------------------------------------------------

uint32_t BuildTargetInfoList(const uint8_t* list, size_t size, hm_node* lhba, hm_node* stp, hm_node* action,
                             char params[6][256], uint32_t* listed) {
  hm_node* controller = controller_of(lhba);
  const uint32_t generation = controller != nullptr ? get_vx_type(controller) : kStatusFailed;
  if (lhba == nullptr || ancestor_named(lhba, kGroupiSCSIPhysicalHBA) == nullptr || generation == kStatusFailed) {
    return kStatusFailed;
  }
  const bool old = generation == kGeneration2 || generation == kGeneration3;
  uint32_t claimed = 0;
  const std::vector<ListedTarget> targets =
      read_target_list(list, size, old ? kMaxListedTargetsOldGenerations : SIZE_MAX, &claimed);
  pdebug(kBackEnd, 5, "%s:targetcount returned from f/w = %u\n", __func__, claimed);
  if (listed != nullptr) *listed = static_cast<uint32_t>(targets.size());
  uint32_t added = 0;
  for (const ListedTarget& t : targets) {
    if (!listed_name_usable(t.name)) continue;
    hm_node* target = find_target(lhba, t.name.c_str());
    const bool created = target == nullptr;
    if (created) target = setup_target(lhba, t.name.c_str(), BuilderArgs{stp, action, params}, 1);
    if (target == nullptr) continue;
    if (created) DiscoveryPass::made_target(lhba, t.name);
    ++added;
    bool first_record = created;
    for (const ListedPortal& p : t.portals) {
      if (validate_target_portal(target, nullptr, p.address.c_str(), p.port.c_str()) == 0) continue;
      if (add_listed_portal(lhba, target, t.name, p, first_record) == nullptr) {
        drop_if_bare(target, created);
        return kStatusFailed;
      }
      first_record = false;
    }
  }
  pdebug(kBackEnd, 5, "%s:Only %u of %u targets added.\n", __func__, added, claimed);
  return kStatusOk;
}

namespace {

uint32_t discover_through(hm_node* stp, hm_node* action, char params[6][256]) {
  hm_node* lhba = ancestor_named(stp, kGroupLogicalHBA);
  hm_node* phba = ancestor_named(stp, kGroupiSCSIPhysicalHBA);
  hm_node* controller = controller_of(stp);
  if (lhba == nullptr || phba == nullptr || controller == nullptr) return kStatusFailed;
  const uint32_t generation = get_vx_type(controller);
  if (generation == kStatusFailed) return kStatusFailed;
  std::string key = kSendTargetsAll;
  if (params[0][0] != '\0') {
    char name[kIscsiNameSize];
    if (validateISCSIName(params[0], name) != 0) return kStatusFailed;
    key = std::string(kSendTargetsOne) + name;
  }
  // A portal that the file does not record is not asked anything.
  std::string address;
  std::string port;
  if (!read_property(stp, kPropStpIPAddress, &address) || !read_property(stp, kPropStpPortNumber, &port) ||
      VARU_sync_stp_with_file(controller, phba, stp, lhba, address.c_str(), port.c_str()) != 0) {
    return kStatusFailed;
  }
  const CommandAddress at = command_address(stp);
  uint32_t max_targets = 0;
  if (generation == kGenerationOrvelle) {
    uint8_t config[kFwConfigSize] = {};
    if (ioctl_get_fw_config(at.port, config, at.domain, at.phba_port, kProtocolIscsi) != 0) return kStatusFailed;
    max_targets = read_at<uint32_t>(config, kFwConfigTargetsA) + read_at<uint32_t>(config, kFwConfigTargetsB);
  }
  std::string initiator;
  std::string alias;
  hm_node* names = internal_get_node(lhba, kGroupInitiatoriSCSIName, kGroup);
  if (!read_property(names, kPropInitiatoriSCSIName, &initiator) || !read_property(names, kPropInitiatorAlias, &alias)) {
    return kStatusFailed;
  }
  login_target_request request{};
  uint64_t port_number = 0;
  if (!parse_address(address, request.portal.address, &request.portal.type) ||
      !parse_number(port, 10, 0xFFFF, &port_number)) {
    return refuse(kStatusInvalidValue, msg::kInvalidValue);
  }
  std::snprintf(request.target_name, sizeof request.target_name, "%s", kDiscoveryTargetName);
  request.portal.size = kAddressRecordSize;
  request.tcp_port = static_cast<uint16_t>(port_number);
  request.eto = kNoEto;
  std::snprintf(request.initiator_name, sizeof request.initiator_name, "%.*s", static_cast<int>(kMaxIscsiNameLength),
                initiator.c_str());
  std::snprintf(request.initiator_alias, sizeof request.initiator_alias, "%s", alias.c_str());
  hm_node* options = internal_get_node(stp, kGroupSendTargetPortalLoginOptions, kGroup);
  if (VARU_esx_login(stp, options, &request, params, initiator.c_str(), 0, kDiscoveryLogin) != 0) return kStatusFailed;
  login_reply reply;
  std::memcpy(&reply, &request, sizeof reply);
  // A login that brought no session up found nothing: that is a failure, whatever the logout says.
  if ((reply.state & kSessionOpen) == 0) {
    logout_discovery(at, reply.session_handle);
    return refuse(kStatusDiscoveryFailed, msg::kDiscoveryFailed);
  }
  uint32_t result = kStatusOk;
  Buffer buffer = discovery_buffer();
  if (buffer == nullptr) {
    result = refuse(kStatusNoMemory, msg::kOutOfMemory);
  } else {
    sendtargets_request ask{reply.session_handle, 1, {}};
    std::snprintf(ask.key, sizeof ask.key, "%s", key.c_str());
    std::memcpy(buffer.get(), &ask, sizeof ask);
    const uint32_t sent = ioctl_sendtargets(at.port, buffer.get(), kDiscoveryBufferSize, at.domain, at.phba_port);
    uint32_t listed = 0;
    if (sent != kStatusOk && sent != kStatusInsufficientBuffer) {
      result = refuse(kStatusDiscoveryFailed, msg::kDiscoveryFailed);
    } else {
      result = BuildTargetInfoList(buffer.get(), kDiscoveryBufferSize, lhba, stp, action, params, &listed);
    }
    // Generation 5 holds back what a page could not carry until it is asked for.
    if (result == kStatusOk && sent == kStatusInsufficientBuffer && generation == kGenerationOrvelle &&
        max_targets > listed) {
      std::memset(buffer.get(), 0, kDiscoveryBufferSize);
      const uint32_t wanted = max_targets - listed;
      const sendtargets_continuation more{static_cast<uint16_t>(listed), static_cast<uint16_t>(wanted > 0xFFFF ? 0xFFFF : wanted),
                                          kContinuationKind};
      std::memcpy(buffer.get(), &more, sizeof more);
      const uint32_t next = ioctl_sendtargets_info(at.port, buffer.get(), kDiscoveryBufferSize, at.domain, at.phba_port);
      if (next == kStatusOk || next == kStatusInsufficientBuffer) {
        uint32_t more_listed = 0;
        result = BuildTargetInfoList(buffer.get(), kDiscoveryBufferSize, lhba, stp, action, params, &more_listed);
        pdebug(kBackEnd, 5, "%s:additional target_count = %u\n", __func__, more_listed);
      } else {
        result = refuse(kStatusDiscoveryFailed, msg::kDiscoveryFailed);
      }
    }
  }
  const uint32_t logout = logout_discovery(at, reply.session_handle);
  return result != kStatusOk ? result : logout;
}

}  // namespace

uint32_t discover_targets(hm_node* stp, hm_node* action, char params[6][256]) {
  DiscoveryPass pass;
  return pass.finish(discover_through(stp, action, params));
}

uint32_t do_DiscoverTargets(hm_node* stp, hm_node* action, char params[6][256]) {
  if (disabled(ancestor_named(stp, kGroupLogicalHBA))) return refuse(kStatusIscsiNotEnabled, msg::kIscsiNotEnabled);
  return discover_targets(stp, action, params);
}

// ---- the firmware's target database -------------------------------------------------------------------

namespace {

uint32_t load_firmware_targets(hm_node* lhba, int32_t port, int32_t domain, int32_t phba_port, uint32_t type) {
  const CommandAddress at{port, static_cast<uint8_t>(domain), static_cast<uint8_t>(phba_port)};
  uint8_t current[kDiscoveryParamsSize] = {};
  if (ioctl_get_discoveryparams(at.port, current, at.domain, at.phba_port) != 0) {
    return refuse(kStatusGetDiscoveryParams, msg::kGetDiscoveryParamsFailed);
  }
  // Only the iSNS switch and the entity name go back: the firmware keeps the servers it has.
  uint8_t fresh[kDiscoveryParamsSize] = {};
  const uint16_t flags = read_at<uint16_t>(current, kDiscoveryParamsFlags) & kIsnsEnabled;
  std::memcpy(fresh + kDiscoveryParamsFlags, &flags, sizeof flags);
  char entity[kValueSize];
  const uint32_t named =
      get_initiator_name(internal_get_node(ancestor_named(lhba, kGroupiSCSIPhysicalHBA), "iSNS", kGroup), entity, 0);
  if (named != kStatusOk) return named;
  std::memcpy(fresh + kDiscoveryParamsEntity, entity, strnlen(entity, kIscsiNameSize - 1));
  const uint32_t set = ioctl_set_discoveryparams(at.port, fresh, at.domain, at.phba_port);
  if (set != kStatusOk && set != kStatusHostUnreachable) {
    return refuse(kStatusSetDiscoveryParams, msg::kSetDiscoveryParamsFailed);
  }
  Buffer ids = discovery_buffer();
  if (ids == nullptr) return refuse(kStatusNoMemory, msg::kOutOfMemory);
  const uint32_t wanted_type = set == kStatusHostUnreachable ? 0 : type;
  std::memcpy(ids.get(), &wanted_type, sizeof wanted_type);
  std::memcpy(ids.get() + 4, &kTargetIdKinds, sizeof kTargetIdKinds);
  if (ioctl_get_all_tgt_id(at.port, ids.get(), kDiscoveryBufferSize, at.domain, at.phba_port) != 0) {
    return refuse(kStatusGetTargetIds, msg::kGetTargetIdsFailed);
  }
  hm_node* add_target = internal_get_node(lhba, kActionAddTarget, kAction);
  if (add_target == nullptr) return kStatusFailed;
  uint32_t count = read_at<uint32_t>(ids.get(), 0);
  const uint32_t room = static_cast<uint32_t>((kDiscoveryBufferSize - 4) / kTargetIdEntrySize);
  if (count > room) count = room;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t id = read_at<uint32_t>(ids.get(), 4 + i * kTargetIdEntrySize);
    uint8_t query[kTargetRecordQuerySize] = {};
    std::memcpy(query, &id, sizeof id);
    uint16_t size = 0;
    if (ioctl_get_a_target_size(at.port, query, &size, at.domain, at.phba_port) != 0 || size == 0) {
      return refuse(kStatusInsufficientBuffer, msg::kInsufficientBuffer);
    }
    std::vector<uint8_t> record(size < sizeof id ? sizeof id : size, 0);
    std::memcpy(record.data(), &id, sizeof id);
    if (ioctl_get_a_target(at.port, record.data(), size, at.domain, at.phba_port) != 0) {
      return refuse(kStatusGetTarget, msg::kGetTargetFailed);
    }
    ListedTarget t;
    if (!read_target_record(record.data(), size, &t) || !listed_name_usable(t.name) || t.portals.empty()) continue;
    char params[kParamCount][kValueSize];
    set_params(params, {t.name, t.portals[0].address, t.portals[0].port});
    hm_node* target = setup_target(lhba, t.name.c_str(), BuilderArgs{lhba, add_target, params}, type);
    const bool created = target != nullptr;
    if (created) DiscoveryPass::made_target(lhba, t.name);
    if (!created) target = find_target(lhba, t.name.c_str());
    if (target == nullptr) {
      pdebug(kBackEnd, 5, "%s:find target passed\n", __func__);
      continue;
    }
    bool first_record = created;
    for (const ListedPortal& p : t.portals) {
      if (validate_target_portal(target, nullptr, p.address.c_str(), p.port.c_str()) == 0) continue;
      if (add_listed_portal(lhba, target, t.name, p, first_record) == nullptr) {
        drop_if_bare(target, created);
        break;
      }
      first_record = false;
    }
  }
  return kStatusOk;
}

}  // namespace

uint32_t get_all_targets(hm_node* lhba, int32_t port, int32_t domain, int32_t phba_port, uint32_t type, hm_node*,
                         hm_node*, char[6][256]) {
  DiscoveryPass pass;
  return pass.finish(load_firmware_targets(lhba, port, domain, phba_port, type));
}

// ---- the saved-target file ------------------------------------------------------------------------------

uint32_t add_target_from_file(hm_node* lhba) {
  file_store::ReadResult got;
  const auto records = records_of(kSaveTargetFile, lhba, kTargetRecordFields, &got);
  if (got == file_store::ReadResult::kFailed) return kStatusFailed;
  hm_node* add_target = internal_get_node(lhba, kActionAddTarget, kAction);
  for (const auto& r : records) {
    const std::string& name = r[kTargetNameField];
    const std::string& address = r[kTgtAddressField];
    const std::string& port = r[kTgtPortField];
    if (name.empty() || address.empty() || port.empty()) continue;
    hm_node* target = find_target(lhba, name.c_str());
    if (target != nullptr) {
      if (find_target_portal(target, address.c_str(), port.c_str()) == nullptr &&
          setup_portal(target, address.c_str(), port.c_str(), "0", BuilderArgs{}) == nullptr) {
        pdebug(kBackEnd, 3, "%s:setup_portal Failed\n", __func__);
        return kStatusFailed;
      }
      continue;
    }
    char params[kParamCount][kValueSize];
    set_params(params, {name, address, port});
    const std::string& type = r[kTargetTypeField];
    target = setup_target(lhba, name.c_str(), BuilderArgs{lhba, add_target, params}, equal_nocase(type, "Static") ? 0 : 1);
    if (target == nullptr) {
      pdebug(kBackEnd, 3, "%s:setup_target failed\n", __func__);
      return kStatusFailed;
    }
    if (setup_portal(target, address.c_str(), port.c_str(), "0", BuilderArgs{}) == nullptr) {
      pdebug(kBackEnd, 3, "%s:setup_portal Failed\n", __func__);
      return kStatusFailed;
    }
    if (!type.empty()) set_cached(target, kPropTargetType, type);
    hm_node* options = internal_get_node(target, kGroupTargetLoginOptions, kGroup);
    if (options == nullptr) {
      pdebug(kBackEnd, 3, "%s:get node of TargetLoginOptions failed\n", __func__);
      return kStatusFailed;
    }
    if (!write_login_option_texts(options, record_options(r, kTgtFirstOption, true))) {
      pdebug(kBackEnd, 3, "%s:Get node of Authentication failed\n", __func__);
      return kStatusFailed;
    }
    if (!r[kTargetIsidField].empty()) {
      hm_node* login = internal_get_node(target, kActionLogin, kAction);
      set_params(params, {address, port, r[kTgtInitiatorField], r[kTargetIsidField]});
      do_Login(target, login, params);
    }
  }
  return kStatusOk;
}

uint32_t VARU_sync_targets_with_file(hm_node* lhba) {
  file_store::ReadResult got;
  const auto records = records_of(kSaveTargetFile, lhba, kTargetRecordFields, &got);
  if (got == file_store::ReadResult::kMissing) {
    pdebug(kBackEnd, 5, "%s:There is no savetgt file to opend. So returning success.\n", __func__);
    return kStatusOk;
  }
  if (got != file_store::ReadResult::kRead) return kStatusFailed;
  auto recorded = [&](const std::string& name, const std::string* address, const std::string* port) {
    for (const auto& r : records) {
      if (!equal_nocase(r[kTargetNameField], name)) continue;
      if (address == nullptr || (equal_nocase(r[kTgtAddressField], *address) && equal_nocase(r[kTgtPortField], *port))) {
        return true;
      }
    }
    return false;
  };
  std::vector<hm_node*> doomed;
  for (hm_node* t = get_first_instance(lhba, kGroupTarget); t != nullptr; t = next_instance(t)) {
    std::string name;
    if (!read_property(t, kPropTargetISCSIName, &name)) return kStatusFailed;
    if (!recorded(name, nullptr, nullptr)) {
      doomed.push_back(t);
      continue;
    }
    hm_node* p = get_first_instance(t, kGroupTargetPortal);
    while (p != nullptr) {
      hm_node* next = next_instance(p);
      std::string address;
      std::string port;
      if (!read_property(p, kPropTargetIPAddress, &address) || !read_property(p, kPropTargetPortNumber, &port)) {
        return kStatusFailed;
      }
      if (!recorded(name, &address, &port)) delete_with_records(p);
      p = next;
    }
  }
  for (hm_node* t : doomed) delete_with_records(t);
  return kStatusOk;
}

// ---- the refresh -----------------------------------------------------------------------------------------

namespace {

uint32_t refresh_all(hm_node* lhba, int32_t domain, int32_t phba_port, hm_node* discovery, hm_node* action,
                     char params[6][256]) {
  const uint32_t restored = add_target_from_file(lhba);
  const uint32_t synced = VARU_sync_targets_with_file(lhba);
  if (restored != kStatusOk || synced != kStatusOk) return kStatusFailed;
  const uint32_t loaded = get_all_targets(lhba, get_port_number(lhba), domain, phba_port, 1, discovery, action, params);
  if (loaded != kStatusOk) {
    pdebug(kBackEnd, 3, "%s:get_all_targets failed with status = %d\n", __func__, static_cast<int>(loaded));
    return kStatusFailed;
  }
  int portals = 0;
  int failed = 0;
  char cleared[kParamCount][kValueSize];
  for (hm_node* stp = get_first_instance(discovery, kGroupSendTargetPortal); stp != nullptr; stp = next_instance(stp)) {
    ++portals;
    std::memset(cleared, 0, sizeof cleared);
    if (discover_targets(stp, internal_get_node(stp, kActionDiscoverTargets, kAction), cleared) != kStatusOk) ++failed;
  }
  std::memset(cleared, 0, sizeof cleared);
  get_all_sessions(lhba, command_address(lhba), nullptr, cleared);
  for (hm_node* t = get_first_instance(lhba, kGroupTarget); t != nullptr; t = next_instance(t)) {
    std::memset(cleared, 0, sizeof cleared);
    std::string changed;
    get_all_luns(t, BuilderArgs{t, internal_get_node(t, kActionReScanLUNS, kAction), cleared}, &changed);
  }
  if (failed != 0) {
    fail(kStatusPortalsFailedToDiscover, msg::kPortalsFailedToDiscover, failed, portals);
    return kStatusFailed;
  }
  return kStatusOk;
}

}  // namespace

uint32_t refresh_targets(hm_node* lhba, int32_t domain, int32_t phba_port, hm_node* discovery, hm_node* action,
                         char params[6][256]) {
  // The refresh logs in to the saved targets that had a session while it holds the saved files:
  // each login's ISID choice takes its short section inside them (see IsidChoice).
  DiscoveryPass pass;
  return pass.finish(refresh_all(lhba, domain, phba_port, discovery, action, params));
}

uint32_t do_RefreshAvailableTargets(hm_node* discovery, hm_node* action, char params[6][256]) {
  hm_node* lhba = ancestor_named(discovery, kGroupLogicalHBA);
  if (lhba == nullptr) return kStatusFailed;
  if (disabled(lhba)) return refuse(kStatusIscsiNotEnabled, msg::kIscsiNotEnabled);
  return refresh_targets(lhba, get_domain_id(lhba), get_phba_port_number(lhba), discovery, action, params);
}

uint32_t VARU_refresh_backend_client_iscsi_targets() {
  for (hm_node* c = get_first_instance(get_node(0), "Vexalon"); c != nullptr; c = next_instance(c)) {
    for (hm_node* p = get_first_instance(c, kGroupiSCSIPhysicalHBA); p != nullptr; p = next_instance(p)) {
      for (hm_node* l = get_first_instance(p, kGroupLogicalHBA); l != nullptr; l = next_instance(l)) {
        refresh_eto(l, command_address(l));
      }
    }
  }
  return kStatusOk;
}

}  // namespace vx
