// The commands of vxcli, the paths they take and how they report a failure.
//
//   vxcli tree [PATH]                      the tree, or the subtree at PATH (ROOT/Vexalon0)
//   vxcli get PATH/Property                one property's value
//   vxcli set PATH/Property VALUE          writes a property
//   vxcli do PATH/Action [Name=Value ...]  runs an action; parameters by name, others not given
//   vxcli describe PATH                    what a group, property or action is and takes
//
// On a failure the last status (code and text) is printed and the exit status is non-zero. An action
// that succeeds with a status to tell (a reboot is needed, nothing had to be done) prints it too.
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tools/vxcli/cli.h"
#include "varu.h"

namespace vxcli {
namespace {

constexpr size_t kMaxChildren = 1u << 20;   // VARU_get_child_tags has no capacity argument
constexpr int kMaxDepth = 64;
constexpr const char* kLogFile = "/tmp/varu2d.log";

std::string& no_adapter_reason() {
  static std::string why;
  return why;
}

void print_tree(int32_t tag, const std::string& name, int depth) {
  std::string indent(static_cast<size_t>(depth) * 2, ' ');
  std::printf("%s%s [%d] group\n", indent.c_str(), name.c_str(), tag);
  if (depth >= kMaxDepth) return;
  std::vector<uint32_t> writable = children(tag, VARU_KIND_WRITABLE_PROPERTY);
  for (uint32_t prop : children(tag, VARU_KIND_PROPERTY)) {
    bool rw = std::find(writable.begin(), writable.end(), prop) != writable.end();
    std::printf("%s  %s [%u] property %s = %s\n", indent.c_str(), name_of(prop, VARU_KIND_PROPERTY).c_str(), prop,
                rw ? "rw" : "ro", shown_value(tag, prop).c_str());
  }
  for (uint32_t action : children(tag, VARU_KIND_ACTION)) {
    std::printf("%s  %s [%u] action\n", indent.c_str(), name_of(action, VARU_KIND_ACTION).c_str(), action);
  }
  for (uint32_t group : children(tag, VARU_KIND_GROUP)) {
    std::string child_name = name_of(group, VARU_KIND_GROUP);
    // A link lists its target's children, whose parent is not the link: shown, not followed.
    std::vector<uint32_t> below = children(static_cast<int32_t>(group), VARU_KIND_PROPERTY);
    if (below.empty()) below = children(static_cast<int32_t>(group), VARU_KIND_GROUP);
    uint32_t parent = group;
    if (!below.empty()) VARU_get_parent_tag(static_cast<int32_t>(below[0]), &parent);
    if (parent != group) {
      std::printf("%s  %s [%u] link to [%u]\n", indent.c_str(), child_name.c_str(), group, parent);
      continue;
    }
    print_tree(static_cast<int32_t>(group), child_name, depth + 1);
  }
}

int cmd_tree(const Words& words) {
  if (told_no_adapter()) return kExitFailed;
  std::string path = words.size() > 1 ? words[1] : "ROOT";
  std::vector<std::string> parts = split_path(path);
  int32_t tag = group_tag(parts, parts.size());
  if (tag < 0) return kExitFailed;
  print_tree(tag, parts.back(), 0);
  return 0;
}

int cmd_get(const Words& words) {
  int32_t group = 0;
  uint32_t prop = 0;
  if (!leaf(words[1], VARU_KIND_PROPERTY, &group, &prop)) return kExitFailed;
  char value[VARU_VALUE_SIZE] = "";
  uint32_t result = VARU_get_property_val(static_cast<uint32_t>(group), prop, value, sizeof value);
  if (result != VARU_OK) return report("get", result);
  std::printf("%s\n", value);
  return 0;
}

int cmd_set(const Words& words) {
  int32_t group = 0;
  uint32_t prop = 0;
  if (!leaf(words[1], VARU_KIND_PROPERTY, &group, &prop)) return kExitFailed;
  std::string value = words[2];
  if (value.size() >= VARU_VALUE_SIZE) {
    std::fprintf(stderr, "vxcli: a value has at most %d characters\n", VARU_VALUE_SIZE - 1);
    return kExitFailed;
  }
  uint32_t result = VARU_set_property_val(static_cast<uint32_t>(group), static_cast<int32_t>(prop), &value[0],
                                          static_cast<uint32_t>(value.size() + 1));
  if (result != VARU_OK) return report("set", result);
  return 0;
}

struct Command {
  const char* name;
  size_t min_args;
  size_t max_args;
  int (*run)(const Words&);
};

constexpr size_t kAny = std::numeric_limits<size_t>::max();
constexpr Command kCommands[] = {
    {"tree", 0, 1, cmd_tree},
    {"get", 1, 1, cmd_get},
    {"set", 2, 2, cmd_set},
    {"do", 1, kAny, cmd_do},
    {"describe", 1, 1, cmd_describe},
};

const Command* find_command(const std::string& name) {
  for (const Command& c : kCommands) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

}  // namespace

const char* const kUsage =
    "usage: vxcli tree [PATH]\n"
    "       vxcli get PATH/Property\n"
    "       vxcli set PATH/Property VALUE\n"
    "       vxcli do PATH/Action [Name=Value ...]\n"
    "       vxcli describe PATH\n"
    "       vxcli run FILE|-\n"
    "       vxcli help\n"
    "PATH starts at ROOT: ROOT/Vexalon0/Diagnostics. `do` prints the groups it created, a status it has to\n"
    "tell, the properties of its group whose values changed and a file it wrote. `describe` shows a\n"
    "property's access and allowed values, an action's parameters. `run` runs the steps of FILE (standard\n"
    "input for -), one command a line as above without \"vxcli\" (\"#\" starts a comment, quotes group\n"
    "words), in one process: pending profile choices, test counters and the numbers of new instances\n"
    "live as long as the process. It stops at the first step that fails, with that step's exit status.\n"
    "Environment: VXIMA_ROOT=DIR puts the library's host files under DIR; VXIMA_SIMULATOR=FILE serves\n"
    "the simulated adapters FILE describes (both are needed for the simulator). Exit status: 1 when\n"
    "something failed, 2 for a command line not understood.\n";

void set_no_adapter_reason(const std::string& why) { no_adapter_reason() = why; }

bool told_no_adapter() {
  if (no_adapter_reason().empty()) return false;
  std::fprintf(stderr, "vxcli: %s\n", no_adapter_reason().c_str());
  return true;
}

std::string check_command(const Words& words) {
  const Command* c = words.empty() ? nullptr : find_command(words[0]);
  if (c == nullptr) return words.empty() ? "no command" : "\"" + words[0] + "\" is no command";
  const size_t args = words.size() - 1;
  if (args < c->min_args) return std::string(c->name) + ": an argument is missing";
  if (args > c->max_args) return std::string(c->name) + ": too many arguments";
  return "";
}

int run_command(const Words& words) { return find_command(words[0])->run(words); }

int report(const char* what, uint32_t result) {
  uint32_t code = 0;
  char text[VARU_STATUS_TEXT_SIZE] = "";
  VARU_get_last_status(&code, text);
  std::fprintf(stderr, "vxcli: %s failed: result %u, last status %u \"%s\"\n", what, result, code, text);
  hint_log(text);
  return kExitFailed;
}

void hint_log(const char* text) {
  static bool told = false;
  if (told || std::strstr(text, "varu2d.log") == nullptr) return;
  uint32_t prop = 0;
  char level[VARU_VALUE_SIZE] = "";
  if (VARU_get_node_tag(0, "VARUDebugLevel", &prop, VARU_KIND_PROPERTY) != VARU_OK ||
      VARU_get_property_val(0, prop, level, sizeof level) != VARU_OK || std::strcmp(level, "0") != 0) {
    return;
  }
  told = true;
  const char* root = std::getenv("VXIMA_ROOT");
  const std::string log = root != nullptr && root[0] != '\0' ? std::string(root) + kLogFile : kLogFile;
  std::fprintf(stderr,
               "vxcli: the log %s stays empty while the log level is 0: raise it with \"vxcli set "
               "ROOT/VARUDebugLevel 6\" (kept for later processes) and repeat the step\n",
               log.c_str());
}

std::vector<std::string> split_path(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    if (slash > start) parts.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

int32_t group_tag(const std::vector<std::string>& parts, size_t count) {
  if (count == 0 || strcasecmp(parts[0].c_str(), "ROOT") != 0) {
    std::fprintf(stderr, "vxcli: a path starts with ROOT\n");
    return -1;
  }
  int32_t tag = 0;
  for (size_t i = 1; i < count; ++i) {
    uint32_t child = 0;
    uint32_t result = VARU_get_node_tag(tag, parts[i].c_str(), &child, VARU_KIND_GROUP);
    if (result != VARU_OK) {
      // Below ROOT there is nothing without an adapter: the reason says more than the name.
      if (i > 1 || !told_no_adapter()) {
        std::fprintf(stderr, "vxcli: no group \"%s\" under the path's level %zu\n", parts[i].c_str(), i);
      }
      return -1;
    }
    tag = static_cast<int32_t>(child);
  }
  return tag;
}

bool leaf(const std::string& path, int32_t kind, int32_t* group, uint32_t* node) {
  std::vector<std::string> parts = split_path(path);
  if (parts.size() < 2) {
    std::fprintf(stderr, "vxcli: \"%s\" names no child of a group\n", path.c_str());
    return false;
  }
  *group = group_tag(parts, parts.size() - 1);
  if (*group < 0) return false;
  if (VARU_get_node_tag(*group, parts.back().c_str(), node, kind) != VARU_OK) {
    std::fprintf(stderr, "vxcli: no %s \"%s\"\n", kind == VARU_KIND_ACTION ? "action" : "property",
                 parts.back().c_str());
    return false;
  }
  return true;
}

std::vector<uint32_t> children(int32_t tag, int32_t kind) {
  // One buffer for every listing: the room the call may need is large, and filling it anew for each
  // group of a tree cost seconds.
  static std::vector<uint32_t> room(kMaxChildren);
  uint32_t count = 0;
  if (VARU_get_child_tags(tag, room.data(), &count, kind) != VARU_OK) count = 0;
  return std::vector<uint32_t>(room.begin(), room.begin() + std::min<size_t>(count, room.size()));
}

std::string name_of(uint32_t tag, int32_t kind) {
  char name[VARU_NAME_SIZE] = "";
  if (VARU_get_node_name(static_cast<int32_t>(tag), name, kind) != VARU_OK) return "?";
  return name;
}

std::string shown_value(int32_t group, uint32_t prop) {
  char value[VARU_VALUE_SIZE] = "";
  uint32_t result = VARU_get_property_val(static_cast<uint32_t>(group), prop, value, sizeof value);
  return result == VARU_OK ? "\"" + std::string(value) + "\"" : "(unreadable: " + std::to_string(result) + ")";
}

}  // namespace vxcli
