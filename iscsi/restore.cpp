// The start-up restore of one logical HBA from the saved files: the initiator's login options, the
// static targets with their portals and options, and the send-target portals. Nothing is sent to
// the firmware here: it logs its persistent targets in by itself.
#include "iscsi/restore.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "access/host.h"
#include "iscsi/common.h"
#include "iscsi/discovery.h"
#include "iscsi/login_block.h"
#include "iscsi/lookups.h"
#include "iscsi/saved_files.h"
#include "schema/handlers.h"
#include "schema/names_iscsi.h"
#include "schema/send_target_portal.h"

namespace vx {
namespace {

constexpr const char* kProhibited = "Prohibited";
constexpr const char* kStaticTarget = "Static";
// Field indices (0-based) of the records.
constexpr size_t kInitiatorOptionsAt = 3;   // intr_logopts.txt: nine options, then the three params
constexpr size_t kTargetAddressField = 4;
constexpr size_t kTargetPortField = 5;
constexpr size_t kTargetOptionsAt = 8;      // savetgt.txt: nine options, the type, the three params
constexpr size_t kTargetParamsAt = 18;
constexpr size_t kPortalAddressField = 3;   // savestp.txt
constexpr size_t kPortalPortField = 4;
constexpr size_t kPortalMacField = 5;
constexpr size_t kPortalOptionsAt = 6;
constexpr size_t kPortalParamsAt = 15;

std::string field(const std::vector<std::string>& f, size_t i) { return i < f.size() ? f[i] : std::string(); }

// The twelve options of a record: nine from `options_at`, the three params from `params_at`,
// "Prohibited" where a param is empty.
LoginOptionTexts options_of(const std::vector<std::string>& f, size_t options_at, size_t params_at) {
  LoginOptionTexts o;
  for (size_t i = 0; i < 9; ++i) o.values[i] = field(f, options_at + i);
  for (size_t i = 0; i < 3; ++i) {
    const std::string p = field(f, params_at + i);
    o.values[9 + i] = p.empty() ? kProhibited : p;
  }
  return o;
}

std::vector<std::string> key_of(const char* adapter, const char* phba, const char* lhba) {
  return {adapter != nullptr ? adapter : "", phba != nullptr ? phba : "", lhba != nullptr ? lhba : ""};
}

// The three files as the start-up reads them once for every logical HBA: each file's records by
// the key of their logical HBA (case ignored), and the target records to leave out at the end.
struct FileRecords {
  file_store::ReadResult read = file_store::ReadResult::kMissing;
  std::map<std::string, std::vector<std::string>> by_key;
};
struct Snapshot {
  std::unique_ptr<DiscoveryPass> pass;
  bool active = false;
  FileRecords initiators;
  FileRecords targets;
  FileRecords portals;
  std::vector<std::string> dropped;
};

Snapshot& snapshot() {
  static Snapshot s;
  return s;
}

std::string folded_key(const std::vector<std::string>& f) {
  std::string key;
  for (size_t i = 0; i < kKeyFields && i < f.size(); ++i) key += f[i] + ",";
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

void load(const char* file, FileRecords* out) {
  std::vector<std::string> lines;
  out->read = read_records(file, &lines);
  out->by_key.clear();
  for (std::string& line : lines) out->by_key[folded_key(split_record(line))].push_back(std::move(line));
}

// The records of one logical HBA: from the start-up's snapshot, else read from the file.
file_store::ReadResult records_of(const char* file, FileRecords Snapshot::*which, const std::vector<std::string>& key,
                                  std::vector<std::string>* out) {
  out->clear();
  if (snapshot().active) {
    const FileRecords& r = snapshot().*which;
    auto it = r.by_key.find(folded_key(key));
    if (it != r.by_key.end()) *out = it->second;
    return r.read;
  }
  std::vector<std::string> lines;
  const file_store::ReadResult got = read_records(file, &lines);
  for (std::string& line : lines) {
    if (record_matches(split_record(line), key, true)) out->push_back(std::move(line));
  }
  return got;
}

// The options of a target record applied to its target; false when the groups are missing.
bool apply_target_options(hm_node* target, const std::vector<std::string>& f) {
  return write_login_option_texts(internal_get_node(target, kGroupTargetLoginOptions, kGroup),
                                  options_of(f, kTargetOptionsAt, kTargetParamsAt));
}

hm_node* new_portal(hm_node* target, const std::vector<std::string>& f) {
  hm_node* portal = setup_portal(target, f[kTargetAddressField].c_str(), f[kTargetPortField].c_str(), "0", BuilderArgs{});
  if (portal == nullptr) return nullptr;
  const std::string type = field(f, kTargetTypeField);
  set_cached(target, kPropTargetType, type.empty() ? kStaticTarget : type);
  return portal;
}

// One record of this logical HBA into the tree; false stops the pass.
bool restore_target(hm_node* lhba, const std::vector<std::string>& f) {
  const std::string& name = f[kTargetNameField];
  const std::string& address = f[kTargetAddressField];
  const std::string& port = f[kTargetPortField];
  hm_node* target = find_target(lhba, name.c_str());
  if (target != nullptr) {
    std::string shown;
    if (!read_property(target, kPropTargetISCSIName, &shown)) return false;
    const bool known = find_session(target, address.c_str(), port.c_str()) != nullptr ||
                       find_target_portal(target, address.c_str(), port.c_str()) != nullptr;
    if (!known && new_portal(target, f) == nullptr) return false;
    return apply_target_options(target, f);
  }
  // Recorded as made by AddTarget with the record's name, address and port.
  char params[kParamCount][kValueSize] = {};
  std::snprintf(params[0], kValueSize, "%s", name.c_str());
  std::snprintf(params[1], kValueSize, "%s", address.c_str());
  std::snprintf(params[2], kValueSize, "%s", port.c_str());
  target = setup_target(lhba, name.c_str(), BuilderArgs{lhba, internal_get_node(lhba, kActionAddTarget, kAction), params}, 0);
  if (target == nullptr || new_portal(target, f) == nullptr) return false;
  return apply_target_options(target, f);
}

}  // namespace

uint32_t VARU_set_ini_loginopts_prop(hm_node* lhba, char* adapter_key, char* phba_key, char* lhba_key) {
  hm_node* options = internal_get_node(lhba, kGroupInitiatorLoginOptions, kGroup);
  if (options == nullptr || internal_get_node(options, kGroupAuthentication, kGroup) == nullptr) return kStatusFailed;
  const std::vector<std::string> key = key_of(adapter_key, phba_key, lhba_key);
  std::vector<std::string> lines;
  // A file that is there but cannot be read is never taken as one without this record.
  if (records_of(kInitiatorOptionsFile, &Snapshot::initiators, key, &lines) == file_store::ReadResult::kFailed) {
    return kStatusFailed;
  }
  if (!lines.empty()) {
    write_login_option_texts(options, options_of(split_record(lines.front()), kInitiatorOptionsAt, kInitiatorOptionsAt + 9));
    return kStatusOk;
  }
  std::vector<std::string> record = key;
  for (const char* v : {"Yes", "Yes", "None", "None", "None", "", "", "", "", kProhibited, kProhibited, kProhibited}) {
    record.push_back(v);
  }
  if (!append_record(kInitiatorOptionsFile, record)) return kStatusOk;   // neither record nor values
  write_login_option_texts(options, options_of(record, kInitiatorOptionsAt, kInitiatorOptionsAt + 9));
  return kStatusOk;
}

uint32_t VARU_set_target_loginopts_prop(char* adapter_key, char* phba_key, char* lhba_key, hm_node* lhba) {
  const std::vector<std::string> key = key_of(adapter_key, phba_key, lhba_key);
  bool stopped = false;
  // False for a record to leave out of the file. When the pass stops, this record and the rest
  // stay as they are.
  auto restore = [&](const std::string& line) {
    const std::vector<std::string> f = split_record(line);
    if (stopped || !record_matches(f, key, true)) return true;
    const std::string port = field(f, kTargetPortField);
    if (field(f, kTargetNameField).empty() || field(f, kTargetAddressField).empty() || port.empty() || port == "0") {
      return false;   // a record no target can be made of
    }
    stopped = !restore_target(lhba, f);
    return true;
  };
  if (snapshot().active) {
    std::vector<std::string> lines;
    if (records_of(kSaveTargetFile, &Snapshot::targets, key, &lines) != file_store::ReadResult::kRead) {
      return kStatusFailed;
    }
    for (const std::string& line : lines) {
      if (!restore(line)) snapshot().dropped.push_back(line);
    }
    return stopped ? kStatusFailed : kStatusOk;
  }
  const bool written = rewrite_records(kSaveTargetFile, [&](std::string& line) { return restore(line); });
  if (!written) pdebug(kBackEnd, 3, "%s: Failed to get a file lock for temp_tgt.txt\n", __func__);
  return written && !stopped ? kStatusOk : kStatusFailed;
}

uint32_t VARU_set_stp_loginopts_prop(char* adapter_key, char* phba_key, char* lhba_key, hm_node* lhba) {
  const std::vector<std::string> key = key_of(adapter_key, phba_key, lhba_key);
  std::vector<std::string> lines;
  if (records_of(kSavePortalFile, &Snapshot::portals, key, &lines) != file_store::ReadResult::kRead) return kStatusFailed;
  hm_node* discovery = internal_get_node(lhba, kGroupDiscovery, kGroup);
  hm_node* action = internal_get_node(discovery, kActionAddSendTargetPortal, kAction);
  if (action == nullptr) return kStatusFailed;
  for (const std::string& line : lines) {
    const std::vector<std::string> f = split_record(line);
    uint64_t port = 0;
    parse_number(field(f, kPortalPortField), 10, 0xFFFF, &port);
    // Records two clients once both wrote make one portal.
    if (check_for_stp_in_VARU(discovery, field(f, kPortalAddressField).c_str(), std::to_string(port).c_str()) == 1) {
      continue;
    }
    // The address is recorded whole: an IPv6 address is longer than an IPv4 text.
    char params[kParamCount][kValueSize] = {};
    std::snprintf(params[0], kValueSize, "%s", field(f, kPortalAddressField).c_str());
    std::snprintf(params[1], kValueSize, "%s", field(f, kPortalPortField).c_str());
    hm_node* portal = initialize_SendTargetPortal(discovery, discovery, action, params);
    if (portal == nullptr) return kStatusFailed;
    set_cached(portal, kPropStpIPAddress, field(f, kPortalAddressField));
    set_cached(portal, kPropStpPortNumber, std::to_string(port));
    set_cached(portal, kPropStpPortMacAddress, field(f, kPortalMacField));
    write_login_option_texts(internal_get_node(portal, kGroupSendTargetPortalLoginOptions, kGroup),
                             options_of(f, kPortalOptionsAt, kPortalParamsAt));
  }
  return kStatusOk;
}

void begin_saved_file_restore() {
  Snapshot& s = snapshot();
  s.pass = std::make_unique<DiscoveryPass>();
  load(kInitiatorOptionsFile, &s.initiators);
  load(kSaveTargetFile, &s.targets);
  load(kSavePortalFile, &s.portals);
  s.dropped.clear();
  s.active = true;
}

uint32_t end_saved_file_restore() {
  Snapshot& s = snapshot();
  std::unique_ptr<DiscoveryPass> pass = std::move(s.pass);
  std::map<std::string, size_t> dropped;
  for (const std::string& line : s.dropped) ++dropped[line];
  s = Snapshot{};
  const bool written = dropped.empty() || rewrite_records(
                                              kSaveTargetFile,
                                              [&](std::string& line) {
                                                auto it = dropped.find(line);
                                                if (it == dropped.end() || it->second == 0) return true;
                                                --it->second;
                                                return false;
                                              },
                                              nullptr, Write::kStaged);
  if (!written) pdebug(kBackEnd, 3, "%s: Failed to get a file lock for temp_tgt.txt\n", __func__);
  const uint32_t result = written ? kStatusOk : kStatusFailed;
  return pass != nullptr ? pass->finish(result) : result;
}

}  // namespace vx
