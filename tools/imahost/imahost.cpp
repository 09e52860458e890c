#include "tools/imahost/imahost.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace imahost {
namespace {

constexpr const char* kPluginFile = "libvxima.so";
constexpr const char* kPluginVariable = "IMAHOST_PLUGIN";
constexpr uint32_t kReplacement = 0xFFFD;
// Room for every instance a group may hold (its maximum is 16 bits wide):
// VARU_get_valid_instances has no capacity argument.
constexpr size_t kMaxInstances = 1u << 16;

struct Named {
  uint32_t value;
  const char* name;
};

constexpr Named kStatusNames[] = {
    {IMA_STATUS_SUCCESS, "success"},
    {IMA_ERROR_GENERAL, "general error"},
    {IMA_ERROR_NOT_SUPPORTED, "not supported"},
    {IMA_ERROR_TEXT_CONVERSION, "text conversion failed"},
    {IMA_ERROR_SYNC_TIMEOUT, "synchronisation time-out"},
    {IMA_ERROR_LOGOUT_REFUSED, "logout refused"},
    {IMA_ERROR_INVALID_PARAMETER, "invalid parameter"},
    {IMA_ERROR_INVALID_OBJECT_TYPE, "invalid object type"},
    {IMA_ERROR_INCORRECT_OBJECT_TYPE, "incorrect object type"},
    {IMA_ERROR_OBJECT_NOT_FOUND, "object not found"},
    {IMA_ERROR_NAME_TOO_LONG, "name too long"},
};

constexpr Named kTypeNames[] = {
    {IMA_OBJECT_TYPE_PLUGIN, "plugin"}, {IMA_OBJECT_TYPE_NODE, "node"},
    {IMA_OBJECT_TYPE_LHBA, "lhba"},     {IMA_OBJECT_TYPE_PHBA, "phba"},
    {IMA_OBJECT_TYPE_NETWORK_PORTAL, "portal"}, {IMA_OBJECT_TYPE_PORTAL_GROUP, "portalgroup"},
    {IMA_OBJECT_TYPE_LNP, "lnp"},       {IMA_OBJECT_TYPE_PNP, "pnp"},
    {IMA_OBJECT_TYPE_TARGET, "target"}, {IMA_OBJECT_TYPE_LU, "lu"},
    {IMA_OBJECT_TYPE_DISCOVERY_ADDRESS, "discovery"}, {IMA_OBJECT_TYPE_STATIC_DISCOVERY_TARGET, "static"},
    {IMA_OBJECT_TYPE_CONNECTION, "connection"}, {IMA_OBJECT_TYPE_SESSION, "session"},
};

const char* name_of(const Named* table, size_t count, uint32_t value) {
  for (size_t i = 0; i < count; ++i) {
    if (table[i].value == value) return table[i].name;
  }
  return nullptr;
}

std::string program_dir() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  std::string exe(path, static_cast<size_t>(length));
  const size_t slash = exe.rfind('/');
  return slash == std::string::npos ? "." : exe.substr(0, slash);
}

}  // namespace

std::string plugin_path(const std::string& explicit_path) {
  if (!explicit_path.empty()) return explicit_path;
  const char* variable = std::getenv(kPluginVariable);
  if (variable != nullptr && variable[0] != '\0') return variable;
  return program_dir() + "/" + kPluginFile;
}

Host::~Host() { unload(); }

bool Host::load(const std::string& path) {
  unload();
  const std::string file = plugin_path(path);
  handle_ = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = ::dlerror();
    error_ = why != nullptr ? why : file + ": cannot be loaded";
    return false;
  }
#define IMAHOST_ENTRY(name) ima_.name = reinterpret_cast<decltype(ima_.name)>(::dlsym(handle_, #name));
#include "tools/imahost/entry_points.def"
#undef IMAHOST_ENTRY
  varu_.get_last_status = reinterpret_cast<decltype(varu_.get_last_status)>(::dlsym(handle_, "VARU_get_last_status"));
  varu_.get_node_tag = reinterpret_cast<decltype(varu_.get_node_tag)>(::dlsym(handle_, "VARU_get_node_tag"));
  varu_.get_node_name = reinterpret_cast<decltype(varu_.get_node_name)>(::dlsym(handle_, "VARU_get_node_name"));
  varu_.get_parent_tag = reinterpret_cast<decltype(varu_.get_parent_tag)>(::dlsym(handle_, "VARU_get_parent_tag"));
  varu_.get_valid_instances =
      reinterpret_cast<decltype(varu_.get_valid_instances)>(::dlsym(handle_, "VARU_get_valid_instances"));
  varu_.get_property_val = reinterpret_cast<decltype(varu_.get_property_val)>(::dlsym(handle_, "VARU_get_property_val"));
  if (ima_.IMA_VMW_PluginInit == nullptr || ima_.IMA_VMW_PluginCleanup == nullptr || ima_.IMA_FreeMemory == nullptr) {
    unload();
    error_ = file + ": no IMA plug-in (its lifecycle entry points are missing)";
    return false;
  }
  error_.clear();
  return true;
}

// The plug-in stays mapped until the process ends, as in the host: its static C++ runtime keeps
// pools that only its own globals reach, so unmapping it would strand them.
void Host::unload() {
  while (starts_ > 0) stop();
  handle_ = nullptr;
  ima_ = EntryPoints{};
  varu_ = HierarchyCalls{};
}

std::vector<std::string> Host::missing() const {
  std::vector<std::string> names;
#define IMAHOST_ENTRY(name) \
  if (ima_.name == nullptr) names.push_back(#name);
#include "tools/imahost/entry_points.def"
#undef IMAHOST_ENTRY
  return names;
}

IMA_STATUS Host::start(uint32_t owner) {
  if (!loaded()) return IMA_ERROR_GENERAL;
  const IMA_STATUS status = ima_.IMA_VMW_PluginInit(owner);
  if (starts_++ == 0) start_status_ = last_status();
  return status;
}

void Host::stop() {
  if (!loaded() || starts_ == 0) return;
  ima_.IMA_VMW_PluginCleanup();
  --starts_;
}

void* Host::symbol(const char* name) const { return loaded() ? ::dlsym(handle_, name) : nullptr; }

LastStatus Host::last_status() const {
  LastStatus last;
  char text[VARU_STATUS_TEXT_SIZE] = "";
  if (varu_.get_last_status != nullptr && varu_.get_last_status(&last.code, text) == VARU_OK) {
    last.text.assign(text, strnlen(text, sizeof text));
  }
  return last;
}

// Reading the root's name is the cheapest call that clears it.
void Host::clear_last_status() const {
  char name[VARU_NAME_SIZE];
  if (varu_.get_node_name != nullptr) varu_.get_node_name(0, name, VARU_KIND_GROUP);
}

bool Host::hierarchy_value(int32_t tag, const std::string& path, std::string* out) const {
  if (varu_.get_node_tag == nullptr || varu_.get_property_val == nullptr) return false;
  uint32_t node = static_cast<uint32_t>(tag);
  uint32_t group = node;
  for (size_t start = 0; start <= path.size();) {
    const size_t slash = std::min(path.find('/', start), path.size());
    const bool last = slash == path.size();
    group = node;
    if (varu_.get_node_tag(static_cast<int32_t>(group), path.substr(start, slash - start).c_str(), &node,
                           last ? VARU_KIND_PROPERTY : VARU_KIND_GROUP) != VARU_OK) {
      return false;
    }
    start = slash + 1;
  }
  char value[VARU_VALUE_SIZE] = "";
  if (varu_.get_property_val(group, node, value, sizeof value) != VARU_OK) return false;
  out->assign(value, strnlen(value, sizeof value));
  return true;
}

bool Host::hierarchy_instances(int32_t tag, const char* group, std::vector<int32_t>* out) const {
  out->clear();
  if (varu_.get_valid_instances == nullptr || varu_.get_node_tag == nullptr) return false;
  std::vector<uint32_t> numbers(kMaxInstances);
  uint32_t count = 0;
  if (varu_.get_valid_instances(tag, group, numbers.data(), &count) != VARU_OK) return false;
  for (uint32_t i = 0; i < count && i < numbers.size(); ++i) {
    uint32_t found = 0;
    const std::string name = group + std::to_string(numbers[i]);
    if (varu_.get_node_tag(tag, name.c_str(), &found, VARU_KIND_GROUP) == VARU_OK) {
      out->push_back(static_cast<int32_t>(found));
    }
  }
  return true;
}

bool Host::hierarchy_parent(int32_t tag, int32_t* parent) const {
  uint32_t found = 0;
  if (varu_.get_parent_tag == nullptr || varu_.get_parent_tag(tag, &found) != VARU_OK) return false;
  *parent = static_cast<int32_t>(found);
  return true;
}

IMA_STATUS Host::list(IMA_STATUS (*fn)(IMA_OID_LIST**), std::vector<IMA_OID>* out) const {
  IMA_OID_LIST* list = nullptr;
  const IMA_STATUS status = fn(&list);
  return take_list(status, list, out);
}

IMA_STATUS Host::list(IMA_STATUS (*fn)(IMA_OID, IMA_OID_LIST**), const IMA_OID& oid,
                      std::vector<IMA_OID>* out) const {
  IMA_OID_LIST* list = nullptr;
  const IMA_STATUS status = fn(oid, &list);
  return take_list(status, list, out);
}

IMA_STATUS Host::take_list(IMA_STATUS status, IMA_OID_LIST* list, std::vector<IMA_OID>* out) const {
  out->clear();
  if (list == nullptr) return status;
  if (IMA_SUCCESS(status)) {
    const IMA_OID* first = list->oids;   // oidCount entries follow the count
    out->assign(first, first + list->oidCount);
  }
  ima_.IMA_FreeMemory(list);
  return status;
}

std::string status_text(IMA_STATUS status) {
  char number[16];
  std::snprintf(number, sizeof number, "0x%08X", status);
  const char* name = name_of(kStatusNames, sizeof kStatusNames / sizeof kStatusNames[0], status);
  return name != nullptr ? std::string(number) + " " + name : number;
}

std::string oid_text(const IMA_OID& oid) {
  const char* name = name_of(kTypeNames, sizeof kTypeNames / sizeof kTypeNames[0], oid.objectType);
  const std::string type = name != nullptr ? name : std::to_string(oid.objectType);
  return type + ":" + std::to_string(static_cast<int32_t>(oid.sequenceLow));
}

bool parse_oid(const std::string& text, uint32_t owner, IMA_OID* out) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
  const std::string type = text.substr(0, colon);
  char* end = nullptr;
  uint32_t type_value = static_cast<uint32_t>(std::strtoul(type.c_str(), &end, 10));
  if (*end != '\0') {
    type_value = UINT32_MAX;
    for (const Named& named : kTypeNames) {
      if (type == named.name) type_value = named.value;
    }
    if (type_value == UINT32_MAX) return false;
  }
  const long tag = std::strtol(text.c_str() + colon + 1, &end, 10);
  if (*end != '\0' || tag < INT32_MIN || tag > INT32_MAX) return false;
  *out = IMA_OID{type_value, owner, static_cast<uint32_t>(tag), tag < 0 ? 0xFFFFFFFFu : 0u};
  return true;
}

std::string utf8_of(const IMA_WCHAR* wide, size_t units) {
  std::string out;
  for (size_t i = 0; i < units && wide[i] != 0; ++i) {
    uint32_t v = wide[i] <= 0x10FFFF ? wide[i] : kReplacement;
    const int extra = v < 0x80 ? 0 : v < 0x800 ? 1 : v < 0x10000 ? 2 : 3;
    static constexpr uint8_t kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
    out += static_cast<char>(kLead[extra] | (v >> (6 * extra)));
    for (int k = extra - 1; k >= 0; --k) out += static_cast<char>(0x80 | ((v >> (6 * k)) & 0x3F));
  }
  return out;
}

std::vector<IMA_WCHAR> wide_of(const std::string& utf8) {
  std::vector<IMA_WCHAR> out;
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<uint8_t>(utf8[i]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    uint32_t v = length == 1 ? lead : lead & (0x7Fu >> length);
    bool ok = length > 0 && i + length <= utf8.size();
    for (size_t k = 1; ok && k < length; ++k) {
      ok = (utf8[i + k] & 0xC0) == 0x80;
      v = v << 6 | (utf8[i + k] & 0x3F);
    }
    out.push_back(ok ? v : kReplacement);
    i += ok ? length : 1;
  }
  out.push_back(0);
  return out;
}

}  // namespace imahost
