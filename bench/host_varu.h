// The VARU_* calls of the plug-in that the host stand-in loaded, resolved from it, for benchmarks
// that read the same values straight through the hierarchy as through the IMA entry points.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "tools/imahost/imahost.h"
#include "varu.h"

namespace vxbench {

constexpr uint32_t kNoNode = 0xFFFFFFFFu;

struct HostVaru {
  decltype(&VARU_get_node_tag) node_tag;
  decltype(&VARU_get_valid_instances) instances;
  decltype(&VARU_get_property_val) property;
  decltype(&VARU_get_parent_tag) parent_tag;
  decltype(&VARU_do_action) action;

  explicit HostVaru(const imahost::Host& host)
      : node_tag(reinterpret_cast<decltype(node_tag)>(host.symbol("VARU_get_node_tag"))),
        instances(reinterpret_cast<decltype(instances)>(host.symbol("VARU_get_valid_instances"))),
        property(reinterpret_cast<decltype(property)>(host.symbol("VARU_get_property_val"))),
        parent_tag(reinterpret_cast<decltype(parent_tag)>(host.symbol("VARU_get_parent_tag"))),
        action(reinterpret_cast<decltype(action)>(host.symbol("VARU_do_action"))) {}

  // The node at a path of names below base ("" for base), kNoNode when missing.
  uint32_t at(uint32_t base, const char* path, int32_t last_kind = VARU_KIND_GROUP) const {
    char name[VARU_NAME_SIZE];
    for (const char* p = path; *p != '\0' && base != kNoNode;) {
      const char* slash = std::strchr(p, '/');
      const size_t length = slash != nullptr ? static_cast<size_t>(slash - p) : std::strlen(p);
      std::snprintf(name, sizeof name, "%.*s", static_cast<int>(length), p);
      const int32_t kind = slash == nullptr ? last_kind : VARU_KIND_GROUP;
      if (node_tag(static_cast<int32_t>(base), name, &base, kind) != 0) base = kNoNode;
      p = slash != nullptr ? slash + 1 : p + length;
    }
    return base;
  }
  uint32_t up(uint32_t tag, int levels) const {
    for (; levels > 0; --levels) parent_tag(tag, &tag);
    return tag;
  }
  // One property of the group `group` into out (VARU_VALUE_SIZE bytes).
  bool value(uint32_t group, const char* name, char* out) const {
    uint32_t prop = 0;
    return group != kNoNode && node_tag(static_cast<int32_t>(group), name, &prop, VARU_KIND_PROPERTY) == 0 &&
           property(group, prop, out, VARU_VALUE_SIZE) == 0;
  }
  // The properties of the group at `path` below base, in order, up to the first that fails (as an
  // IMA reader stops there).
  bool read(uint32_t base, const char* path, std::initializer_list<const char*> properties) const {
    const uint32_t group = at(base, path);
    char out[VARU_VALUE_SIZE];
    for (const char* name : properties) {
      if (!value(group, name, out)) return false;
    }
    return true;
  }
  // The instances of `name` under parent, as tags.
  std::vector<uint32_t> children(uint32_t parent, const char* name) const {
    static uint32_t numbers[65536];
    std::vector<uint32_t> tags;
    uint32_t count = 0;
    instances(static_cast<int32_t>(parent), name, numbers, &count);
    for (uint32_t i = 0; i < count; ++i) {
      char instance[VARU_NAME_SIZE];
      std::snprintf(instance, sizeof instance, "%s%u", name, numbers[i]);
      const uint32_t tag = at(parent, instance);
      if (tag != kNoNode) tags.push_back(tag);
    }
    return tags;
  }
  uint32_t act(uint32_t group, const char* name, std::initializer_list<const char*> params) const {
    char block[VARU_PARAM_COUNT][VARU_VALUE_SIZE] = {};
    for (auto& slot : block) slot[0] = static_cast<char>(VARU_PARAM_ABSENT);
    size_t i = 0;
    for (const char* p : params) std::snprintf(block[i++], VARU_VALUE_SIZE, "%s", p);
    return action(group, at(group, name, VARU_KIND_ACTION), block, nullptr);
  }
};

}  // namespace vxbench
