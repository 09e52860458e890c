// vxcli describe: what a group, property or action is, from the library's own descriptions: a
// property's access and the values it takes, an action's parameters with theirs.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/vxcli/cli.h"
#include "varu.h"

namespace vxcli {
namespace {

// The value rule of a property or parameter (the vtype of include/varu.h); `allowed` is the comma
// list of vtype 4, which only parameters carry.
std::string rule_text(uint8_t vtype, int32_t min, int32_t max, const char* allowed) {
  switch (vtype) {
    case 0: return "a text of " + std::to_string(min) + " to " + std::to_string(max) + " characters";
    case 1: return "an integer from " + std::to_string(min) + " to " + std::to_string(max);
    case 2: return "an IPv4 or IPv6 address";
    case 3: return "an IPv4 subnet mask";
    case 4: {
      if (allowed == nullptr || allowed[0] == '\0') return "one of the values the description names";
      std::string list = allowed;
      for (size_t at = list.find(','); at != std::string::npos; at = list.find(',', at + 2)) list.insert(at + 1, " ");
      return "one of " + list;
    }
    default: return "a value of kind " + std::to_string(vtype);
  }
}

// Each line of a description, indented.
void print_text(const char* indent, const char* text) {
  std::string rest = text;
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    std::printf("%s%s\n", indent, rest.substr(0, end).c_str());
    rest = end == std::string::npos ? "" : rest.substr(end + 1);
  }
}

int describe_property(int32_t group, uint32_t tag, const hm_node_description& d) {
  const std::vector<uint32_t> writable = children(group, VARU_KIND_WRITABLE_PROPERTY);
  const bool rw = std::find(writable.begin(), writable.end(), tag) != writable.end();
  std::printf("%s [%u] property\n", name_of(tag, VARU_KIND_PROPERTY).c_str(), tag);
  print_text("  ", d.description);
  std::printf("  access: %s\n", rw ? "read-write" : "read-only");
  if (rw) std::printf("  value: %s\n", rule_text(d.vtype, d.min, d.max, nullptr).c_str());
  std::printf("  now: %s\n", shown_value(group, tag).c_str());
  return 0;
}

int describe_action(uint32_t tag, const hm_node_description& d) {
  static hm_param_info info;
  const uint32_t result = VARU_get_param_info(tag, &info);
  if (result != VARU_OK) return report("reading the parameters", result);
  std::printf("%s [%u] action\n", name_of(tag, VARU_KIND_ACTION).c_str(), tag);
  print_text("  ", d.description);
  if (info.param_count <= 0) std::printf("  no parameters\n");
  for (int i = 0; i < info.param_count && i < VARU_PARAM_COUNT; ++i) {
    const hm_action_param_info& p = info.params[i];
    std::printf("  %s (%s): %s\n", p.name, p.required != 0 ? "required" : "optional",
                rule_text(p.vtype, p.min, p.max, p.allowed).c_str());
    print_text("      ", p.description);
  }
  return 0;
}

int describe_group(int32_t tag, const hm_node_description& d) {
  std::printf("%s [%d] group\n", name_of(static_cast<uint32_t>(tag), VARU_KIND_GROUP).c_str(), tag);
  print_text("  ", d.description);
  std::printf("  %zu properties, %zu actions, %zu groups (vxcli tree shows them)\n",
              children(tag, VARU_KIND_PROPERTY).size(), children(tag, VARU_KIND_ACTION).size(),
              children(tag, VARU_KIND_GROUP).size());
  return 0;
}

}  // namespace

int cmd_describe(const Words& words) {
  const std::vector<std::string> parts = split_path(words[1]);
  // The group holding the last name; ROOT alone is described itself.
  const int32_t group = group_tag(parts, parts.size() > 1 ? parts.size() - 1 : parts.size());
  if (group < 0) return kExitFailed;
  uint32_t tag = static_cast<uint32_t>(group);
  int32_t kind = VARU_KIND_GROUP;
  if (parts.size() > 1) {
    const int32_t kinds[] = {VARU_KIND_PROPERTY, VARU_KIND_ACTION, VARU_KIND_GROUP};
    kind = 0;
    for (int32_t k : kinds) {
      if (kind == 0 && VARU_get_node_tag(group, parts.back().c_str(), &tag, k) == VARU_OK) kind = k;
    }
    if (kind == 0) {
      if (group != 0 || !told_no_adapter()) {
        std::fprintf(stderr, "vxcli: no property, action or group \"%s\"\n", parts.back().c_str());
      }
      return kExitFailed;
    }
  }
  static hm_node_description d;
  const uint32_t result = VARU_get_node_description(static_cast<int32_t>(tag), &d);
  if (result != VARU_OK) return report("reading the description", result);
  switch (kind) {
    case VARU_KIND_PROPERTY: return describe_property(group, tag, d);
    case VARU_KIND_ACTION: return describe_action(tag, d);
    default: return describe_group(static_cast<int32_t>(tag), d);
  }
}

}  // namespace vxcli
