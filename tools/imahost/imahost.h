// imahost: a stand-in for the host's IMA framework. It loads libvxima.so with dlopen as the host
// does (never linked to it), starts it with IMA_VMW_PluginInit(owner), calls its entry points with
// records of the host's layout (ima_types.h) and frees what the plug-in hands out through
// IMA_FreeMemory. Tests, benchmarks and the imahost command-line client are built on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ima.h"
#include "varu.h"

namespace imahost {

// The plug-in's entry points, resolved by name (entry_points.def).
struct EntryPoints {
#define IMAHOST_ENTRY(name) decltype(&::name) name = nullptr;
#include "tools/imahost/entry_points.def"
#undef IMAHOST_ENTRY
};

// The plug-in's hierarchy calls (varu.h) that the host stand-in uses besides the entry points: the
// last status that explains a result, and reads of what no IMA record carries (a LUN's size and
// model, a session that is not open). NULL when the plug-in does not export them.
struct HierarchyCalls {
  decltype(&::VARU_get_last_status) get_last_status = nullptr;
  decltype(&::VARU_get_node_tag) get_node_tag = nullptr;
  decltype(&::VARU_get_node_name) get_node_name = nullptr;
  decltype(&::VARU_get_parent_tag) get_parent_tag = nullptr;
  decltype(&::VARU_get_valid_instances) get_valid_instances = nullptr;
  decltype(&::VARU_get_property_val) get_property_val = nullptr;
};

// The hierarchy's last status: a code (0 none) and the text that explains it.
struct LastStatus {
  uint32_t code = 0;
  std::string text;
};

// Where the plug-in is: `explicit_path` when given, else $IMAHOST_PLUGIN, else libvxima.so in the
// directory of the running program.
std::string plugin_path(const std::string& explicit_path = "");

class Host {
 public:
  Host() = default;
  ~Host();   // cleans up every start still open
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // Loads the plug-in and resolves every entry point; false (see error()) when it cannot be loaded
  // or lacks the lifecycle entry points.
  bool load(const std::string& path = "");
  // Stops every start still open and lets go of the entry points (the plug-in stays mapped).
  void unload();
  bool loaded() const { return handle_ != nullptr; }
  const std::string& error() const { return error_; }
  // Names of entry_points.def that the loaded plug-in does not export.
  std::vector<std::string> missing() const;

  // IMA_VMW_PluginInit(owner) / IMA_VMW_PluginCleanup(); the host counts its own starts.
  IMA_STATUS start(uint32_t owner);
  void stop();
  int starts() const { return starts_; }

  const EntryPoints& ima() const { return ima_; }
  // Any other symbol of the plug-in (the hierarchy API), NULL when absent.
  void* symbol(const char* name) const;

  // The last status as the plug-in's last hierarchy call left it.
  LastStatus last_status() const;
  // Clears it, so that what a following entry point leaves is its own: every hierarchy call but
  // VARU_get_last_status starts by clearing it.
  void clear_last_status() const;
  // What the first start left (with no adapter found, 313 and why).
  const LastStatus& start_status() const { return start_status_; }
  // A property below the group `tag` ("Connection0/Status"), read through the hierarchy calls;
  // false when a group or the property is missing or its read fails.
  bool hierarchy_value(int32_t tag, const std::string& path, std::string* out) const;
  // The tags of the instances of `group` under `tag`, ascending by instance number.
  bool hierarchy_instances(int32_t tag, const char* group, std::vector<int32_t>* out) const;
  bool hierarchy_parent(int32_t tag, int32_t* parent) const;

  // A list entry point's identifiers; the plug-in's list is freed through IMA_FreeMemory.
  IMA_STATUS list(IMA_STATUS (*fn)(IMA_OID_LIST**), std::vector<IMA_OID>* out) const;
  IMA_STATUS list(IMA_STATUS (*fn)(IMA_OID, IMA_OID_LIST**), const IMA_OID& oid, std::vector<IMA_OID>* out) const;

 private:
  IMA_STATUS take_list(IMA_STATUS status, IMA_OID_LIST* list, std::vector<IMA_OID>* out) const;

  void* handle_ = nullptr;
  EntryPoints ima_;
  HierarchyCalls varu_;
  LastStatus start_status_;
  std::string error_;
  int starts_ = 0;
};

// "0xC0000003 object not found"; unknown codes as their number.
std::string status_text(IMA_STATUS status);
// An identifier as "phba:122" (type name, or number, and the node handle) and back; the owner id
// is the one the parse is given.
std::string oid_text(const IMA_OID& oid);
bool parse_oid(const std::string& text, uint32_t owner, IMA_OID* out);
// The host's own text conversions: a wide field (at most `units` units) as UTF-8, and UTF-8 as a
// 0-terminated wide string (invalid bytes become U+FFFD).
std::string utf8_of(const IMA_WCHAR* wide, size_t units);
std::vector<IMA_WCHAR> wide_of(const std::string& utf8);

}  // namespace imahost
