#include "adapter/pending_profile.h"

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>

#include "access/host.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "adapter/multichannel.h"
#include "adapter/oem_attribs.h"
#include "adapter/profiles.h"
#include "engine/messages.h"
#include "iscsi/saved_files.h"
#include "platform/file_store.h"
#include "platform/platform.h"
#include "schema/names_controller.h"
#include "schema/names_services.h"

namespace vx {
namespace {

constexpr const char* kNicProtocol = "NIC";
constexpr const char* kNicRoceProtocol = "NIC+RoCE";

// The fields of a line, whole: empty fields counted, missing ones empty.
std::vector<std::string> split_fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (int i = 0; i < kPendingFields; ++i) {
    const size_t comma = i + 1 < kPendingFields ? line.find(',', start) : std::string::npos;
    if (start > line.size()) {
      fields.emplace_back();
    } else {
      fields.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    }
    start = comma == std::string::npos ? line.size() + 1 : comma + 1;
  }
  return fields;
}

std::string join(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) line += (i == 0 ? "" : ",") + fields[i];
  return line;
}

bool same(const std::string& a, const char* b) { return b != nullptr && ::strcasecmp(a.c_str(), b) == 0; }

// Field `index` of a line as split_fields gives it, without copying: a view into the line, up to a
// NUL as the C comparison of a split field would read it.
std::string_view field_of(const std::string& line, int index) {
  size_t start = 0;
  for (int i = 0; i < index; ++i) {
    const size_t comma = line.find(',', start);
    if (comma == std::string::npos) return {};
    start = comma + 1;
  }
  const size_t comma = index + 1 < kPendingFields ? line.find(',', start) : std::string::npos;
  std::string_view field(line.data() + start, (comma == std::string::npos ? line.size() : comma) - start);
  return field.substr(0, field.find('\0'));
}

bool same(std::string_view a, const char* b) {
  return b != nullptr && std::strlen(b) == a.size() && ::strncasecmp(a.data(), b, a.size()) == 0;
}

// Whether a line is the adapter's (and the function's, mode 1): every line a read or a change
// looks at is tested, so nothing is copied for it.
bool matches(const std::string& line, const AdapterKey& key, const char* function, uint32_t mode) {
  return same(field_of(line, kFieldSerial), key.serial.c_str()) && same(field_of(line, kFieldBus), key.bus.c_str()) &&
         (mode != kMatchFunction || same(field_of(line, kFieldFunction), function));
}

std::string content_of(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

// The lines a start-up builds in memory, and the thread that builds them (only it touches them).
struct StartupLines {
  bool exists = false;                  // some change made the file
  std::vector<std::string> lines;
  std::vector<AdapterKey> rebuilt;      // adapters whose lines were replaced
};
std::atomic<std::thread::id> g_startup_owner{};
StartupLines g_startup;

StartupLines* startup_lines() {
  return g_startup_owner.load() == std::this_thread::get_id() ? &g_startup : nullptr;
}

// The lines as this thread sees them.
file_store::ReadResult read_lines(std::vector<std::string>* lines) {
  if (const StartupLines* s = startup_lines()) {
    if (!s->exists) return file_store::ReadResult::kMissing;
    *lines = s->lines;
    return file_store::ReadResult::kRead;
  }
  std::string content;
  const file_store::ReadResult r = file_store::read(host_path(kPendingProfileFile), &content);
  if (r == file_store::ReadResult::kRead) *lines = pending_lines(content);
  return r;
}

// Rewrites the file under its lock: `edit` gets its lines and tells whether it changed any (nothing
// is written when it did not).
PendingWrite rewrite(const std::function<bool(std::vector<std::string>&)>& edit, bool create) {
  if (StartupLines* s = startup_lines()) {
    if (!s->exists && !create) return PendingWrite::kNoFile;
    std::vector<std::string> lines = s->lines;
    if (!edit(lines)) return PendingWrite::kNoLine;
    s->lines = std::move(lines);
    s->exists = true;
    return PendingWrite::kStored;
  }
  PendingWrite outcome = PendingWrite::kFailed;   // stays so when the file cannot be read
  const bool written = file_store::update_file(host_path(kPendingProfileFile), [&](std::string& content, bool existed) {
    if (!existed && !create) {
      outcome = PendingWrite::kNoFile;
      return false;
    }
    std::vector<std::string> lines = pending_lines(content);
    if (!edit(lines)) {
      outcome = PendingWrite::kNoLine;
      return false;
    }
    content = content_of(lines);
    outcome = PendingWrite::kStored;
    return true;
  });
  return written || outcome != PendingWrite::kStored ? outcome : PendingWrite::kFailed;
}

// The line a read answers with: the first matching one; for a function, its second NIC or NIC+RoCE
// line when it has two (a NIC function upgraded to NIC+RoCE). NULL when none matches.
const std::string* answer_line(const std::vector<std::string>& lines, const AdapterKey& key, const char* function,
                               uint32_t mode) {
  const std::string* kept = nullptr;
  for (const std::string& line : lines) {
    if (!matches(line, key, function, mode)) continue;
    const std::string_view protocol = field_of(line, kFieldProtocol);
    const bool nic = function != nullptr && (same(protocol, kNicProtocol) || same(protocol, kNicRoceProtocol));
    if (nic && kept == nullptr) {
      kept = &line;
      continue;
    }
    return nic || kept == nullptr ? &line : kept;
  }
  return kept;
}

// The choices stored by this process since the last rebuild of each adapter's lines it asked for.
struct Remembered {
  AdapterKey key;
  std::string function;   // empty for a field of the whole adapter
  int index;
  std::string value;
};
std::mutex g_remembered_mutex;
std::vector<Remembered> g_remembered;

bool same_adapter(const AdapterKey& a, const AdapterKey& b) {
  return same(a.serial, b.serial.c_str()) && same(a.bus, b.bus.c_str());
}

void forget_choices(const AdapterKey& key) {
  std::lock_guard<std::mutex> hold(g_remembered_mutex);
  g_remembered.erase(std::remove_if(g_remembered.begin(), g_remembered.end(),
                                    [&](const Remembered& r) { return same_adapter(r.key, key); }),
                     g_remembered.end());
}

}  // namespace

std::vector<std::string> pending_lines(const std::string& content) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    lines.push_back(content.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool pending_text_ok(const std::string& text) {
  for (unsigned char c : text) {
    if (c == ',' || std::iscntrl(c)) return false;
  }
  return true;
}

bool adapter_key(hm_node* controller, AdapterKey* out) {
  hm_node* phba = first_phba(controller);
  char serial[kValueSize];
  char bus[kValueSize];
  if (phba == nullptr || !read_property(controller, controller::kPropSerialNumber, serial) ||
      !read_property(internal_get_node(phba, "PCI", kGroup), "BusNumber", bus)) {
    return false;
  }
  *out = {serial, bus};
  return true;
}

uint32_t VARU_compare_cprofile_data(const char* line, const char* serial, const char* bus, const char* function,
                                    char fields[kPendingFields][kValueSize], uint32_t mode) {
  const std::string text = line != nullptr ? line : "";
  const std::vector<std::string> f = split_fields(text);
  if (fields != nullptr) {
    for (int i = 0; i < kPendingFields; ++i) {
      std::snprintf(fields[i], kValueSize, "%.*s", static_cast<int>(kPendingFieldMax), f[i].c_str());
    }
  }
  const AdapterKey key{serial != nullptr ? serial : "", bus != nullptr ? bus : ""};
  return matches(text, key, function, mode) ? 0 : 1;
}

PendingWrite store_pending_field(const AdapterKey& key, const char* function, const char* value, uint32_t mode,
                                 int index) {
  if (value == nullptr || index < 0 || index >= kPendingFields) return PendingWrite::kFailed;
  return rewrite([&](std::vector<std::string>& lines) {
    bool changed = false;
    for (std::string& line : lines) {
      if (!matches(line, key, function, mode)) continue;
      std::vector<std::string> f = split_fields(line);
      f[static_cast<size_t>(index)] = value;
      line = join(f);
      changed = true;
    }
    return changed;
  }, false);
}

uint32_t set_pending_field(const AdapterKey& key, const char* function, const char* value, uint32_t mode, int index) {
  const PendingWrite w = store_pending_field(key, function, value, mode, index);
  return w == PendingWrite::kStored || w == PendingWrite::kNoLine ? 0 : 1;
}

PendingWrite store_pending_choice(const AdapterKey& key, const char* function, const char* value, uint32_t mode,
                                  int index) {
  // Held across the write, so that a rebuild's forgetting comes wholly before or after it.
  std::lock_guard<std::mutex> hold(g_remembered_mutex);
  const PendingWrite w = store_pending_field(key, function, value, mode, index);
  if (w != PendingWrite::kStored) return w;
  const std::string number = function != nullptr && mode == kMatchFunction ? function : "";
  for (Remembered& r : g_remembered) {
    if (same_adapter(r.key, key) && r.index == index && same(r.function, number.c_str())) {
      r.value = value;
      return w;
    }
  }
  g_remembered.push_back({key, number, index, value});
  return w;
}

RememberedChoices check_pending_choices(const AdapterKey& key) {
  std::vector<Remembered> mine;
  {
    std::lock_guard<std::mutex> hold(g_remembered_mutex);
    for (const Remembered& r : g_remembered) {
      if (same_adapter(r.key, key)) mine.push_back(r);
    }
  }
  if (mine.empty()) return RememberedChoices::kHeld;
  std::vector<std::string> lines;
  if (read_lines(&lines) == file_store::ReadResult::kFailed) return RememberedChoices::kUnreadable;
  for (const Remembered& r : mine) {
    const bool by_function = !r.function.empty();
    const std::string* line =
        answer_line(lines, key, by_function ? r.function.c_str() : nullptr, by_function ? kMatchFunction : kMatchAdapter);
    if (line == nullptr || split_fields(*line)[static_cast<size_t>(r.index)] != r.value) {
      pdebug(kBackEnd, 3, "%s:pending field %d of function %s no longer reads %s\n", __func__, r.index,
             r.function.c_str(), r.value.c_str());
      forget_choices(key);
      return RememberedChoices::kChanged;
    }
  }
  return RememberedChoices::kHeld;
}

uint32_t VARU_set_config_prof_prop(hm_node* controller, const char* function, const char* value, uint32_t mode,
                                   int index) {
  AdapterKey key;
  return adapter_key(controller, &key) ? set_pending_field(key, function, value, mode, index) : 1;
}

uint32_t get_pending_fields(const AdapterKey& key, const char* function, char fields[kPendingFields][kValueSize],
                            uint32_t mode) {
  std::vector<std::string> lines;
  if (read_lines(&lines) != file_store::ReadResult::kRead) return 1;
  const std::string* answer = answer_line(lines, key, function, mode);
  if (answer == nullptr) return 1;
  VARU_compare_cprofile_data(answer->c_str(), nullptr, nullptr, nullptr, fields, kMatchAdapter);
  return 0;
}

uint32_t VARU_get_config_prof_prop(hm_node* controller, const char* function, char fields[kPendingFields][kValueSize],
                                   uint32_t mode) {
  AdapterKey key;
  return adapter_key(controller, &key) ? get_pending_fields(key, function, fields, mode) : 1;
}

uint32_t VARU_delete_cfg_prof_from_file(const char* serial, const char* bus) {
  const AdapterKey key{serial != nullptr ? serial : "", bus != nullptr ? bus : ""};
  const PendingWrite w = rewrite([&](std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    for (std::string& line : lines) {
      if (!matches(line, key, nullptr, kMatchAdapter)) kept.push_back(std::move(line));
    }
    lines = std::move(kept);
    return true;
  }, false);
  return w == PendingWrite::kStored ? 0 : 1;
}

uint32_t replace_adapter_lines(const AdapterKey& key, const std::vector<std::string>& lines,
                               const std::vector<size_t>& port_starts) {
  const PendingWrite w = rewrite([&](std::vector<std::string>& file) {
    std::vector<std::string> kept;
    for (std::string& line : file) {
      if (!matches(line, key, nullptr, kMatchAdapter)) kept.push_back(std::move(line));
    }
    // What stood in the file when a port began is not written again for it. The lines of other
    // adapters are never the adapter's own, so only a new line that is not its own is looked for
    // among them.
    std::set<std::string> present;
    size_t next_port = 0;
    std::vector<std::string> added;
    for (size_t i = 0; i < lines.size(); ++i) {
      for (; next_port < port_starts.size() && port_starts[next_port] <= i; ++next_port) {
        present.insert(added.begin(), added.end());
      }
      if (present.count(lines[i]) != 0 || (!matches(lines[i], key, nullptr, kMatchAdapter) &&
                                           std::find(kept.begin(), kept.end(), lines[i]) != kept.end())) {
        pdebug(kBackEnd, 4, "%s:duplicate line %s\n", __func__, lines[i].c_str());
        continue;
      }
      added.push_back(lines[i]);
    }
    kept.insert(kept.end(), added.begin(), added.end());
    file = std::move(kept);
    return true;
  }, true);
  if (StartupLines* s = startup_lines()) {
    s->rebuilt.push_back(key);   // forgotten, if at all, once the file holds the lines
    return 0;
  }
  // After the write, never before it: a choice stored meanwhile is at worst forgotten, never kept
  // against lines that no longer carry it.
  forget_choices(key);
  return w == PendingWrite::kStored ? 0 : 1;
}

StartupPendingLines::StartupPendingLines(bool forget_choices) : forget_choices_(forget_choices) {
  // Within another one of this thread, that one collects the lines.
  open_ = startup_lines() == nullptr;
  if (!open_) return;
  g_startup = StartupLines();
  g_startup_owner.store(std::this_thread::get_id());
}

StartupPendingLines::~StartupPendingLines() {
  try {
    commit();
  } catch (...) {
    // Nothing leaves a destructor; commit let go of the lines before it wrote.
  }
}

uint32_t StartupPendingLines::commit() {
  if (!open_) return 0;
  open_ = false;
  StartupLines built = std::move(g_startup);
  g_startup = StartupLines();
  g_startup_owner.store(std::thread::id());
  bool written = true;
  if (!built.exists) {
    VARU_delete_file(kPendingProfileFile);
  } else {
    const std::string path = host_path(kPendingProfileFile);
    const std::string content = content_of(built.lines);
    bool same = false;
    written = file_store::update_file(path, [&](std::string& current, bool existed) {
      same = existed && current == content;
      if (same) return false;
      current = content;
      return true;
    });
    if (same) {
      written = true;
      VARU_change_permissions_file(kPendingProfileFile, kFileMode);
    } else if (!written) {
      // The file could not be read: it is replaced without being looked at, and when even that
      // fails it goes, since lines of an earlier run must not pass for this one's.
      written = file_store::write_file(path, content);
      if (!written) VARU_delete_file(kPendingProfileFile);
    }
  }
  if (forget_choices_) {
    for (const AdapterKey& key : built.rebuilt) forget_choices(key);
  }
  return written ? 0 : 1;
}

// ---- the ConfiguredProfile handlers ------------------------------------------------------------------

namespace {

constexpr const char* kNotAvailable = "N/A";
constexpr uint32_t kGenerationUnreadable = 1;

// What a handler works on: its controller, and for a function's property its FunctionNumber.
struct Pending {
  hm_node* controller = nullptr;
  uint32_t generation = kGenerationUnreadable;
  char function[kValueSize] = "";
};

bool locate(hm_node* prop, bool function_level, Pending* out) {
  out->controller = controller_above(prop);
  if (out->controller == nullptr) return false;
  out->generation = get_vx_type(out->controller);
  return !function_level || read_property(prop->parent, services::kPropFunctionNumber, out->function);
}

uint32_t answer_cached(hm_node* prop, char* buf) {
  copy_property_value(property_data(prop), buf);
  return kStatusOk;
}

bool without_profiles(uint32_t generation) {
  return generation == kGeneration2 || generation == kGeneration3 || generation == kGenerationQuenta;
}

// The common shape of the four handlers. `field`: the line's field shown; `check` refuses a value
// before the file is touched (0 to go on).
template <typename Check>
uint32_t pending_property(hm_node* prop, char* buf, uint32_t op, PendingField field, const char* legacy_value,
                          bool vf_refused, Check check) {
  if (op != kGet && op != kSet) return kStatusOk;
  const bool function_level = field == kFieldProtocol || field == kFieldSRIOV;
  Pending p;
  if (!locate(prop, function_level, &p)) return kStatusFailed;
  if (field == kFieldSRIOV && p.generation == kGenerationUnreadable) return kStatusFailed;
  if (without_profiles(p.generation)) {
    SET_CACHE_PROP_VAL(prop, "%s", legacy_value);
    return answer_cached(prop, buf);
  }
  const char* function = function_level ? p.function : nullptr;
  const uint32_t mode = function_level ? kMatchFunction : kMatchAdapter;
  if (op == kGet) {
    if (vm_flag != 0) {
      SET_CACHE_PROP_VAL(prop, "%s", kNotAvailable);
      answer_cached(prop, buf);
      return vf_refused ? refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction) : kStatusOk;
    }
    char fields[kPendingFields][kValueSize];
    if (VARU_get_config_prof_prop(p.controller, function, fields, mode) == 0) SET_CACHE_PROP_VAL(prop, "%s", fields[field]);
    return answer_cached(prop, buf);
  }
  std::string value(buf, strnlen(buf, kValueSize));
  const uint32_t refused = check(p, value);
  if (refused != 0) return refused;
  // The lines have no quoting: an adapter whose key would break them keeps no choices.
  AdapterKey key;
  if (!pending_text_ok(value) || !adapter_key(p.controller, &key) || !pending_text_ok(key.serial) ||
      !pending_text_ok(key.bus)) {
    return refuse(kStatusInvalidValue, msg::kInvalidValue);
  }
  // A choice the file did not take is not made (a missing file or a function without a line has
  // nothing to change: the value stands in the property alone).
  if (store_pending_choice(key, function, value.c_str(), mode, field) == PendingWrite::kFailed) {
    return saved_file_failed(msg::kSavedFileNotWritten, kPendingProfileFile);
  }
  SET_CACHE_PROP_VAL(prop, "%s", value.c_str());
  return kStatusOk;
}

uint32_t accept(const Pending&, std::string&) { return kStatusOk; }

}  // namespace

uint32_t handle_ConfiguredProfile_ProfileId(hm_node* prop, char* buf, uint32_t op) {
  return pending_property(prop, buf, op, kFieldProfileId, kNotAvailable, true, accept);
}

uint32_t handle_ConfiguredProfile_Port_MCType(hm_node* prop, char* buf, uint32_t op) {
  return pending_property(prop, buf, op, kFieldMCType, "None", false, [&](const Pending& p, std::string& value) -> uint32_t {
    if (::strcasecmp(value.c_str(), "HPFlex") == 0 || ::strcasecmp(value.c_str(), "HPFlexQBG") == 0) {
      return refuse(kStatusChannelTypeNotSupported, msg::kChannelTypeNotSupported);
    }
    if (::strcasecmp(value.c_str(), "None") == 0) return kStatusOk;
    hm_node* channels = internal_get_node(p.controller, controller::kGroupChannelManagement, kGroup);
    char supported[kValueSize];
    if (!read_property(channels, controller::kPropSupportedMCTypes, supported)) return kStatusFailed;
    return list_has_item(supported, value.c_str()) ? kStatusOk
                                                   : refuse(kStatusChannelTypeNotSupported, msg::kChannelTypeNotSupported);
  });
}

uint32_t handle_ConfiguredProfile_Port_Function_Protocol(hm_node* prop, char* buf, uint32_t op) {
  return pending_property(prop, buf, op, kFieldProtocol, kNotAvailable, false, [](const Pending& p, std::string& value) {
    // Function 0 always runs a protocol: "None" there means NIC.
    if (::strcasecmp(p.function, "0x0") == 0 && ::strcasecmp(value.c_str(), "None") == 0) value = "NIC";
    return kStatusOk;
  });
}

uint32_t handle_CProf_SRIOVState(hm_node* prop, char* buf, uint32_t op) {
  return pending_property(prop, buf, op, kFieldSRIOV, kNotAvailable, false, accept);
}

}  // namespace vx
