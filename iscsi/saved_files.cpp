#include "iscsi/saved_files.h"

#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "access/adapter_tables.h"
#include "engine/messages.h"
#include "platform/platform.h"
#include "iscsi/common.h"
#include "iscsi/login_block.h"
#include "schema/handlers.h"
#include "schema/names_iscsi.h"

namespace vx {
namespace {

constexpr const char* kCorruptSuffix = ".corrupt";

int32_t number_of(hm_node* node, const char* group) {
  hm_node* g = ancestor_named(node, group);
  const int32_t n = g != nullptr ? instance_number(g) : 0;
  return n < 0 ? 0 : n;
}

bool field_equal(const std::string& a, const std::string& b, bool ignore_case) {
  return ignore_case ? equal_nocase(a, b) : a == b;
}

// The key of a target or portal record; ISID kAnyIsid leaves the ISID out (every ISID matches).
std::vector<std::string> record_key(std::vector<std::string> key, uint32_t mode, const char* name,
                                    const char* address, const char* port, uint32_t isid) {
  if (mode == kTargetRecords) key.push_back(name != nullptr ? name : "");
  if (mode == kTargetRecords || mode == kPortalRecords) {
    key.push_back(address != nullptr ? address : "");
    key.push_back(port != nullptr ? port : "");
  }
  if (mode == kTargetRecords && isid != kAnyIsid) key.push_back(std::to_string(isid));
  return key;
}

// Initiator name, target name and type, and a level's login options: what a target record holds
// beside its portal.
struct TargetRecordValues {
  std::string initiator_name;
  std::string target_name;
  std::string target_type;
  LoginOptionTexts options;
};

bool read_target_values(hm_node* lhba, hm_node* target, hm_node* options_group, TargetRecordValues* v) {
  hm_node* name_group = internal_get_node(lhba, kGroupInitiatoriSCSIName, kGroup);
  return name_group != nullptr && read_property(name_group, kPropInitiatoriSCSIName, &v->initiator_name) &&
         read_property(target, kPropTargetISCSIName, &v->target_name) &&
         read_property(target, kPropTargetType, &v->target_type) &&
         read_login_option_texts(options_group, &v->options);
}

std::vector<std::string> target_record(const std::vector<std::string>& key, const TargetRecordValues& v,
                                       const std::string& address, const std::string& port, const std::string& isid) {
  std::vector<std::string> r = key;
  for (const std::string& s : {v.target_name, address, port, isid, v.initiator_name}) r.push_back(s);
  for (size_t i = 0; i < 9; ++i) r.push_back(v.options.values[i]);   // InitialR2T .. TargetSecret
  r.push_back(v.target_type);
  for (size_t i = 9; i < 12; ++i) r.push_back(v.options.values[i]);  // CHAPParam, HeaderParam, DataParam
  return r;
}

// One file of the start-up check: its comma count and the group names of its key fields.
struct SavedFileShape {
  const char* path;
  size_t commas;
};
constexpr SavedFileShape kSavedFiles[] = {
    {kSaveTargetFile, kTargetRecordFields - 1},
    {kSavePortalFile, kPortalRecordFields - 1},
    {kInitiatorOptionsFile, kInitiatorRecordFields - 1},
};
constexpr const char* kKeyGroups[kKeyFields] = {"Vexalon", "iSCSIPhysicalHBA", "LogicalHBA"};

// The comma count of the first bad line, or -1 when every line is sound.
long first_bad_line(const std::string& content, size_t commas) {
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    const std::string line = content.substr(start, end - start);
    start = end + 1;
    if (line.empty()) continue;
    const std::vector<std::string> fields = split_record(line);
    bool sound = fields.size() == commas + 1;
    for (size_t i = 0; sound && i < kKeyFields; ++i) sound = fields[i].find(kKeyGroups[i]) != std::string::npos;
    if (!sound) return static_cast<long>(fields.size() - 1);
  }
  return -1;
}

}  // namespace

// ---- records ------------------------------------------------------------------------------------

std::vector<std::string> instance_key(int32_t adapter, int32_t phba, int32_t lhba) {
  return {"Vexalon" + std::to_string(adapter), "iSCSIPhysicalHBA" + std::to_string(phba),
          "LogicalHBA" + std::to_string(lhba)};
}

std::vector<std::string> lhba_instance_key(hm_node* node) {
  return instance_key(number_of(node, "Vexalon"), number_of(node, "iSCSIPhysicalHBA"), number_of(node, "LogicalHBA"));
}

std::vector<std::string> split_record(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    const size_t comma = line.find(',', start);
    fields.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return fields;
}

std::string join_record(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) line += (i == 0 ? "" : ",") + fields[i];
  return line;
}

bool record_matches(const std::vector<std::string>& fields, const std::vector<std::string>& key, bool ignore_case) {
  if (fields.size() < key.size()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    if (!field_equal(fields[i], key[i], ignore_case)) return false;
  }
  return true;
}

std::vector<std::string> saved_record_key(hm_node* lhba, uint32_t mode, const char* name, const char* address,
                                          const char* port, uint32_t isid) {
  return record_key(lhba_instance_key(lhba), mode, name, address, port, isid);
}

uint32_t saved_file_failed(const char* format, const char* file, const char* what) {
  if (check_saved_file_lock(file) != kStatusOk) return kStatusFailed;
  const char* slash = std::strrchr(file, '/');
  fail(kStatusSavedFileNotWritten, format, slash != nullptr ? slash + 1 : file, what);
  return kStatusFailed;
}

namespace {

// Status 336 telling why the lock file or directory at `path` (named by its last part) cannot be
// used: `unopened` with the reason when it could not be opened or made, else `refused` (what stands
// there is not this user's own).
uint32_t unusable(const std::string& path, file_store::LockFailure failure, int error, const char* refused,
                  const char* unopened) {
  const size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  pdebug(kBackEnd, 3, "%s:%s cannot be used (%d, %s)\n", __func__, path.c_str(), static_cast<int>(failure),
         std::strerror(error));
  if (failure == file_store::LockFailure::kUnopened) {
    return fail(kStatusSavedFileNotWritten, unopened, name.c_str(), std::strerror(error));
  }
  return fail(kStatusSavedFileNotWritten, refused, name.c_str());
}

}  // namespace

uint32_t lock_file_failed(const std::string& lock_path, file_store::LockFailure failure, int error) {
  return unusable(lock_path, failure, error, msg::kLockFileRefused, msg::kLockFileUnopened);
}

uint32_t live_dir_failed(const std::string& dir_path, file_store::LockFailure failure, int error) {
  return unusable(dir_path, failure, error, msg::kLiveDirRefused, msg::kLiveDirUnopened);
}

uint32_t check_saved_file_lock(const char* file) {
  if (file == nullptr || file[0] != '/') return kStatusOk;
  const std::string path = host_path(file);
  int error = 0;
  const file_store::LockFailure failure = file_store::lock_problem(path, &error);
  return failure == file_store::LockFailure::kNone ? kStatusOk : lock_file_failed(path + ".lock", failure, error);
}

// ---- interfaces ---------------------------------------------------------------------------------

char* VARU_get_file_data(FILE* stream, uint32_t* size, uint32_t* lines) {
  if (stream == nullptr) {
    pdebug(kBackEnd, 3, "%s:Invalid file pointer.\n", __func__);
    return nullptr;
  }
  std::string data;
  char chunk[4096];
  std::rewind(stream);
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, stream)) > 0) data.append(chunk, n);
  if (std::ferror(stream) != 0 || data.empty() || data.size() >= UINT32_MAX) {
    pdebug(kBackEnd, 3, "%s:File Size is Zero.\n", __func__);
    return nullptr;
  }
  char* text = static_cast<char*>(varu_dmalloc(static_cast<uint32_t>(data.size() + 1)));
  if (text == nullptr) {
    pdebug(kBackEnd, 3, "%s:Failed allocate memory.\n", __func__);
    return nullptr;
  }
  std::memcpy(text, data.data(), data.size());
  text[data.size()] = '\0';
  if (size != nullptr) *size = static_cast<uint32_t>(data.size());
  if (lines != nullptr) {
    uint32_t count = 0;
    for (char c : data) count += c == '\n' ? 1 : 0;
    *lines = count;
  }
  return text;
}

uint32_t VARU_check_for_duplicate_entry_in_file(int32_t adapter, int32_t phba, int32_t lhba, const char* name,
                                                const char* address, const char* port, uint32_t mode, uint32_t isid) {
  if (mode != kTargetRecords && mode != kPortalRecords) return 0;
  const std::vector<std::string> key = record_key(instance_key(adapter, phba, lhba), mode, name, address, port, isid);
  std::vector<std::string> found;
  if (find_record(mode == kTargetRecords ? kSaveTargetFile : kSavePortalFile, key, false, 0, &found) !=
      file_store::ReadResult::kRead) {
    pdebug(kBackEnd, 6, "%s:Failed to open file.\n", __func__);
    return 0;
  }
  if (found.empty()) return 0;
  pdebug(kBackEnd, 6, "%s:Duplicate enrty found.\n", __func__);
  return 1;
}

uint32_t VARU_add_target_into_file(hm_node* lhba, hm_node* target, const char* name, const char* address,
                                   const char* port, bool new_target) {
  if (lhba == nullptr || target == nullptr || name == nullptr || address == nullptr || port == nullptr) {
    return kStatusFailed;
  }
  const std::vector<std::string> key = lhba_instance_key(target);
  hm_node* target_options = internal_get_node(target, kGroupTargetLoginOptions, kGroup);
  hm_node* source = new_target ? internal_get_node(lhba, kGroupInitiatorLoginOptions, kGroup) : target_options;
  TargetRecordValues v;
  if (!read_target_values(lhba, target, source, &v)) return kStatusFailed;
  v.target_name = name;
  // A pass writes the records of the portals it finds when it ends.
  switch (append_unique_record(kSaveTargetFile, target_record(key, v, address, port, ""),
                               record_key(key, kTargetRecords, name, address, port, kAnyIsid), Write::kStaged)) {
    case Appended::kPresent:
      pdebug(kBackEnd, 5, "%s:found duplicate_target\n", __func__);
      return kStatusOk;
    case Appended::kFailed:
      return kStatusFailed;
    case Appended::kWritten:
      break;
  }
  return !new_target || write_login_option_texts(target_options, v.options) ? kStatusOk : kStatusFailed;
}

uint32_t VARU_update_tgt_entry(hm_node* lhba, hm_node* target, const char* address, const char* port, uint32_t isid) {
  if (lhba == nullptr || target == nullptr || address == nullptr || port == nullptr) return kStatusFailed;
  TargetRecordValues v;
  if (!read_target_values(lhba, target, internal_get_node(target, kGroupTargetLoginOptions, kGroup), &v)) {
    return kStatusFailed;
  }
  const std::vector<std::string> key = lhba_instance_key(target);
  return append_unique_record(kSaveTargetFile, target_record(key, v, address, port, std::to_string(isid)),
                              record_key(key, kTargetRecords, v.target_name.c_str(), address, port, isid)) !=
                 Appended::kFailed
             ? kStatusOk
             : kStatusFailed;
}

uint32_t VARU_remove_entry_from_file(hm_node* lhba, const char* name, const char* address, const char* port,
                                     uint32_t isid, uint32_t mode, std::vector<std::string>* removed) {
  if (lhba == nullptr || mode > kLogicalHbaRecords) return kStatusFailed;
  const std::vector<std::string> key = saved_record_key(lhba, mode, name, address, port, isid);
  const char* file = mode == kPortalRecords ? kSavePortalFile : kSaveTargetFile;
  return rewrite_records(
             file, [&](std::string& line) { return !record_matches(split_record(line), key, true); }, removed)
             ? kStatusOk
             : kStatusFailed;
}

uint32_t VARU_get_iscsi_data_from_file(const std::string& line, const std::vector<std::string>& key,
                                       std::vector<std::string>* fields, size_t field_count, size_t key_count) {
  fields->assign(field_count, std::string());
  const std::vector<std::string> parts = split_record(line);
  for (size_t i = 0; i < key_count; ++i) {
    if (i >= parts.size() || i >= key.size() || !equal_nocase(parts[i], key[i])) return kStatusFailed;
  }
  for (size_t i = 0; i < field_count && i < parts.size(); ++i) (*fields)[i] = parts[i];
  return kStatusOk;
}

uint32_t VARU_sync_stp_with_file(hm_node* adapter, hm_node* phba, hm_node* stp, hm_node* lhba, const char* address,
                                 const char* port) {
  if (adapter == nullptr || phba == nullptr || stp == nullptr || lhba == nullptr || address == nullptr ||
      port == nullptr) {
    return kStatusFailed;
  }
  std::vector<std::string> key = instance_key(instance_number(adapter), instance_number(phba), 0);
  key.push_back(address);
  key.push_back(port);
  std::vector<std::string> found;
  return find_record(kSavePortalFile, key, true, 0, &found) == file_store::ReadResult::kRead && !found.empty()
             ? kStatusOk
             : kStatusFailed;
}

uint32_t VARU_check_for_corrupted_database() {
  for (const SavedFileShape& shape : kSavedFiles) {
    const std::string path = host_path(shape.path);
    std::string content;
    const file_store::ReadResult got = file_store::read(path, &content);
    if (got == file_store::ReadResult::kMissing) continue;
    if (got == file_store::ReadResult::kFailed) {
      pdebug(kBackEnd, 3, "%s:%s cannot be read; left as it is.\n", __func__, shape.path);
      continue;
    }
    const long tokens = first_bad_line(content, shape.commas);
    if (tokens < 0) continue;
    // A damaged file is kept beside, for an operator to recover its sound records.
    pdebug(kBackEnd, 3, "%s:tokens = %d, %s corrupted. So deleting it.\n", __func__, static_cast<int>(tokens),
           shape.path);
    if (!file_store::move_aside(path, path + kCorruptSuffix)) {
      pdebug(kBackEnd, 3, "%s:Failed to move %s aside.\n", __func__, shape.path);
    }
  }
  return kStatusOk;
}

}  // namespace vx
