// vxcli: a small management client of the hierarchy API (include/varu.h only).
//
//   vxcli tree [PATH]                      the tree, or the subtree at PATH (ROOT/Vexalon0)
//   vxcli get PATH/Property                one property's value
//   vxcli set PATH/Property VALUE          writes a property
//   vxcli do PATH/Action [Name=Value ...]  runs an action; parameters by name, others not given
//
// On a failure the last status (code and text) is printed and the exit status is non-zero. An action
// that succeeds with a status to tell (a reboot is needed, nothing had to be done) prints it too.
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "varu.h"

namespace {

constexpr size_t kMaxChildren = 1u << 20;   // VARU_get_child_tags has no capacity argument
constexpr int kMaxDepth = 64;

const char* const kUsage =
    "usage: vxcli tree [PATH]\n"
    "       vxcli get PATH/Property\n"
    "       vxcli set PATH/Property VALUE\n"
    "       vxcli do PATH/Action [Name=Value ...]\n";

int report(const char* what, uint32_t result) {
  uint32_t code = 0;
  char text[VARU_STATUS_TEXT_SIZE] = "";
  VARU_get_last_status(&code, text);
  std::fprintf(stderr, "vxcli: %s failed: result %u, last status %u \"%s\"\n", what, result, code, text);
  return 1;
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

// The tag of the group at `path` ("ROOT" alone or "ROOT/..."), or -1 with a message.
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
      std::fprintf(stderr, "vxcli: no group \"%s\" under the path's level %zu\n", parts[i].c_str(), i);
      return -1;
    }
    tag = static_cast<int32_t>(child);
  }
  return tag;
}

// PATH/Name as the group's tag and the tag of its child `Name` of `kind`.
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
  std::vector<uint32_t> tags(kMaxChildren);
  uint32_t count = 0;
  if (VARU_get_child_tags(tag, tags.data(), &count, kind) != VARU_OK) count = 0;
  tags.resize(count);
  return tags;
}

std::string name_of(uint32_t tag, int32_t kind) {
  char name[VARU_NAME_SIZE] = "";
  if (VARU_get_node_name(static_cast<int32_t>(tag), name, kind) != VARU_OK) return "?";
  return name;
}

void print_tree(int32_t tag, const std::string& name, int depth) {
  std::string indent(static_cast<size_t>(depth) * 2, ' ');
  std::printf("%s%s [%d] group\n", indent.c_str(), name.c_str(), tag);
  if (depth >= kMaxDepth) return;
  std::vector<uint32_t> writable = children(tag, VARU_KIND_WRITABLE_PROPERTY);
  for (uint32_t prop : children(tag, VARU_KIND_PROPERTY)) {
    char value[VARU_VALUE_SIZE] = "";
    uint32_t result = VARU_get_property_val(static_cast<uint32_t>(tag), prop, value, sizeof value);
    std::string shown = result == VARU_OK ? "\"" + std::string(value) + "\""
                                          : "(unreadable: " + std::to_string(result) + ")";
    bool rw = std::find(writable.begin(), writable.end(), prop) != writable.end();
    std::printf("%s  %s [%u] property %s = %s\n", indent.c_str(), name_of(prop, VARU_KIND_PROPERTY).c_str(), prop,
                rw ? "rw" : "ro", shown.c_str());
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

int cmd_tree(int argc, char** argv) {
  std::string path = argc > 2 ? argv[2] : "ROOT";
  std::vector<std::string> parts = split_path(path);
  int32_t tag = group_tag(parts, parts.size());
  if (tag < 0) return 1;
  print_tree(tag, parts.back(), 0);
  return 0;
}

int cmd_get(int argc, char** argv) {
  if (argc != 3) return std::fprintf(stderr, "%s", kUsage), 2;
  int32_t group = 0;
  uint32_t prop = 0;
  if (!leaf(argv[2], VARU_KIND_PROPERTY, &group, &prop)) return 1;
  char value[VARU_VALUE_SIZE] = "";
  uint32_t result = VARU_get_property_val(static_cast<uint32_t>(group), prop, value, sizeof value);
  if (result != VARU_OK) return report("get", result);
  std::printf("%s\n", value);
  return 0;
}

int cmd_set(int argc, char** argv) {
  if (argc != 4) return std::fprintf(stderr, "%s", kUsage), 2;
  int32_t group = 0;
  uint32_t prop = 0;
  if (!leaf(argv[2], VARU_KIND_PROPERTY, &group, &prop)) return 1;
  std::string value = argv[3];
  if (value.size() >= VARU_VALUE_SIZE) {
    std::fprintf(stderr, "vxcli: a value has at most %d characters\n", VARU_VALUE_SIZE - 1);
    return 1;
  }
  uint32_t result = VARU_set_property_val(static_cast<uint32_t>(group), static_cast<int32_t>(prop), value.data(),
                                          static_cast<uint32_t>(value.size() + 1));
  if (result != VARU_OK) return report("set", result);
  return 0;
}

int cmd_do(int argc, char** argv) {
  if (argc < 3) return std::fprintf(stderr, "%s", kUsage), 2;
  int32_t group = 0;
  uint32_t action = 0;
  if (!leaf(argv[2], VARU_KIND_ACTION, &group, &action)) return 1;
  static hm_param_info info;
  uint32_t result = VARU_get_param_info(action, &info);
  if (result != VARU_OK) return report("reading the parameters", result);
  char params[VARU_PARAM_COUNT][VARU_VALUE_SIZE];
  std::memset(params, 0, sizeof params);
  for (auto& slot : params) slot[0] = static_cast<char>(VARU_PARAM_ABSENT);
  for (int i = 3; i < argc; ++i) {
    const char* eq = std::strchr(argv[i], '=');
    if (eq == nullptr) {
      std::fprintf(stderr, "vxcli: parameter \"%s\" is not Name=Value\n", argv[i]);
      return 2;
    }
    std::string name(argv[i], static_cast<size_t>(eq - argv[i]));
    int slot = -1;
    for (int s = 0; s < info.param_count && s < VARU_PARAM_COUNT; ++s) {
      if (strcasecmp(info.params[s].name, name.c_str()) == 0) slot = s;
    }
    if (slot < 0) {
      std::fprintf(stderr, "vxcli: the action has no parameter \"%s\"\n", name.c_str());
      return 1;
    }
    if (std::strlen(eq + 1) >= VARU_VALUE_SIZE) {
      std::fprintf(stderr, "vxcli: a value has at most %d characters\n", VARU_VALUE_SIZE - 1);
      return 1;
    }
    std::snprintf(params[slot], VARU_VALUE_SIZE, "%s", eq + 1);
  }
  std::vector<uint32_t> created(VARU_MAX_NEW_TAGS, 0);
  result = VARU_do_action(static_cast<uint32_t>(group), static_cast<int32_t>(action), params, created.data());
  if (result != VARU_OK) return report("do", result);
  uint32_t code = 0;
  char text[VARU_STATUS_TEXT_SIZE] = "";
  VARU_get_last_status(&code, text);
  for (uint32_t tag : created) {
    if (tag == 0) break;
    std::printf("created %s [%u]\n", name_of(tag, VARU_KIND_GROUP).c_str(), tag);
  }
  if (code != 0) std::printf("status %u \"%s\"\n", code, text);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  std::string command = argv[1];
  if (command != "tree" && command != "get" && command != "set" && command != "do") {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  uint32_t result = VARU_init();
  if (result != VARU_OK) return report("VARU_init", result);
  int status = 0;
  if (command == "tree") {
    status = cmd_tree(argc, argv);
  } else if (command == "get") {
    status = cmd_get(argc, argv);
  } else if (command == "set") {
    status = cmd_set(argc, argv);
  } else {
    status = cmd_do(argc, argv);
  }
  result = VARU_exit();
  if (result != VARU_OK && status == 0) status = report("VARU_exit", result);
  return status;
}
