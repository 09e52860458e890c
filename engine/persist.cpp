// The persistence text: the action-made part of the tree and the property values written as
// "|"-separated lines, and their replay into a running tree.
//
// The replay is a public entry like the VARU_* calls: it runs in the funnel (API lock held, also
// through the handlers it calls) and trusts nothing in the text. Each line is checked (field
// count, path lengths, printable values, the action's parameter rules, the property's value rule)
// before any handler runs; a refused line is skipped. An action that re-creates a group under
// another instance number than the saved one moves the later lines' paths along with it.
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/api_lock.h"
#include "engine/hm.h"
#include "engine/persist.h"

namespace vx {
namespace {

constexpr char kSep = '|';
constexpr const char* kRootName = "ROOT";
constexpr size_t kGroupFields = 4;      // GROUP, own path, invoked-on path, action path
constexpr size_t kPropertyFields = 3;   // PROPERTY, path, value
constexpr size_t kSymlinkFields = 4;    // SYMLINK, name, parent path, target path

hm_node* root_node() { return get_node(0); }

uint32_t priority_of(hm_node* node) {
  if (hm_group_data* group = node->kind == kGroup ? group_data(node) : nullptr) return group->priority;
  if (hm_link_data* link = node->kind == kLink ? link_data(node) : nullptr) return link->priority;
  return 0;
}

// Visits every node below `top`, depth first in chain order; links are visited, not followed.
template <typename Fn>
void for_each_below(hm_node* top, Fn&& visit) {
  hm_group_data* top_data = group_data(top);
  if (top_data == nullptr) return;
  hm_node* node = top_data->first_child;
  while (node != nullptr && node != top) {
    visit(node);
    hm_group_data* data = node->kind == kGroup ? group_data(node) : nullptr;
    if (data != nullptr && data->first_child != nullptr && data->first_child != node) {
      node = data->first_child;
      continue;
    }
    // The next sibling, or that of the nearest ancestor that has one.
    while (node != top) {
      hm_node* next = node->next;
      if (next == nullptr) return;
      if (next != node->parent) {
        node = next;
        break;
      }
      node = node->parent;
    }
  }
}

std::string lower(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string full_path(hm_node* node) {
  char path[kValueSize] = "";
  get_full_path(node, path);
  return path;
}

// ---- saving -------------------------------------------------------------------------------------
//
// Property values are read through their handlers, and a handler may change the tree. Nodes are
// therefore held by tag while handlers run and looked up again after each one; a node that is gone
// by then is passed over.

// The live group at `tag`, or NULL.
hm_node* group_at(int32_t tag) {
  hm_node* node = get_node(tag);
  return group_data(node) != nullptr ? node : nullptr;
}

void write_properties(int32_t group_tag, FILE* out, uint32_t mask) {
  hm_node* group = group_at(group_tag);
  if (group == nullptr) return;
  std::vector<int32_t> props;
  for (hm_node* child = group_data(group)->first_child; child != nullptr && child != group; child = child->next) {
    hm_property* prop = child->kind == kProperty ? property_data(child) : nullptr;
    if (prop != nullptr && (prop->access & mask) != 0) props.push_back(child->tag);
  }
  // Still a property of the same group (looked up again after every handler).
  auto property_at = [group_tag](int32_t tag) -> hm_node* {
    hm_node* node = get_node(tag);
    hm_node* owner = group_at(group_tag);
    return node != nullptr && owner != nullptr && node->kind == kProperty && node->parent == owner ? node : nullptr;
  };
  for (int32_t tag : props) {
    hm_node* child = property_at(tag);
    char value[kValueSize] = "";
    if (child == nullptr || read_property(child, value) != kStatusOk) continue;
    if ((child = property_at(tag)) == nullptr) continue;
    value[kValueSize - 1] = '\0';
    size_t length = std::strlen(value);
    // A value that cannot stand in one record is left out, as an unreadable one is.
    if (!printable_text(value, length) || std::memchr(value, kSep, length) != nullptr) continue;
    std::fprintf(out, "PROPERTY%c%s%c%s\n", kSep, full_path(child).c_str(), kSep, value);
  }
}

void write_group_record(hm_node* group, FILE* out) {
  hm_group_data* data = group_data(group);
  std::fprintf(out, "GROUP%c%s%c%s%c%s", kSep, full_path(group).c_str(), kSep, full_path(data->invoked_on).c_str(),
               kSep, full_path(data->creating_action).c_str());
  if (data->params != nullptr) {
    // Up to the first empty parameter, or the first that cannot stand in a field.
    for (int i = 0; i < kParamCount && data->params[i][0] != '\0'; ++i) {
      size_t length = strnlen(data->params[i], kValueSize - 1);
      if (!printable_text(data->params[i], length) || std::memchr(data->params[i], kSep, length) != nullptr) break;
      std::fprintf(out, "%c%.*s", kSep, static_cast<int>(length), data->params[i]);
    }
  }
  std::fputc('\n', out);
}

void write_link_record(hm_node* link, FILE* out) {
  hm_link_data* data = link_data(link);
  if (data == nullptr) return;
  char name[kNameSize] = "";
  hm_instance_name(link, name);
  std::fprintf(out, "SYMLINK%c%s%c%s%c%s\n", kSep, name, kSep, full_path(link->parent).c_str(), kSep,
               full_path(data->target).c_str());
}

void write_persistent(int32_t tag, FILE* out, uint32_t mask) {
  hm_node* node = get_node(tag);
  if (node == nullptr || priority_of(node) == 0) return;
  if (node->kind == kLink) {
    write_link_record(node, out);
    return;
  }
  hm_group_data* data = group_data(node);
  if (data == nullptr) return;
  if (data->creating_action == nullptr) {
    write_properties(tag, out, mask);
  } else if (data->instance != nullptr) {
    // Replayed in this order: the action re-creates the instance, then its values are set.
    write_group_record(node, out);
    write_properties(tag, out, mask);
  } else {
    write_properties(tag, out, mask);
    node = group_at(tag);
    if (node != nullptr && group_data(node)->creating_action != nullptr) write_group_record(node, out);
  }
}

// The static part: groups not made by actions, from `tag` down.
void write_static(int32_t tag, FILE* out, uint32_t mask, int depth) {
  hm_node* group = group_at(tag);
  if (group == nullptr || depth > kPathLevels) return;
  if (group_data(group)->priority == 0) write_properties(tag, out, mask);
  if ((group = group_at(tag)) == nullptr) return;
  std::vector<int32_t> children;
  for (hm_node* child = group_data(group)->first_child; child != nullptr && child != group; child = child->next) {
    hm_group_data* child_data = child->kind == kGroup ? group_data(child) : nullptr;
    if (child_data != nullptr && child_data->creating_action == nullptr) children.push_back(child->tag);
  }
  for (int32_t child_tag : children) {
    hm_node* child = group_at(child_tag);
    if (child != nullptr && child->parent == group_at(tag) && group_data(child)->creating_action == nullptr) {
      write_static(child_tag, out, mask, depth + 1);
    }
  }
}

// True when `node` is `group` or one of its ancestors, so that it cannot be deleted while the
// group lives.
bool on_path_to_root(const hm_node* node, hm_node* group) {
  for (int steps = 0; group != nullptr && steps <= kPathLevels; ++steps) {
    if (group == node) return true;
    if (group->parent == group || group->tag == 0) return false;
    group = group->parent;
  }
  return false;
}

// ---- replaying ------------------------------------------------------------------------------------

enum class LineRead { kEnd, kLine, kTooLong };

// One line without its newline. A line over the limit is read to its end and reported; a last
// line without a newline is a cut-off text and is not returned.
LineRead read_line(FILE* in, std::string* line) {
  line->clear();
  bool too_long = false;
  int c;
  while ((c = std::getc(in)) != EOF) {
    if (c == '\n') return too_long ? LineRead::kTooLong : LineRead::kLine;
    if (line->size() < kMaxLineChars) {
      line->push_back(static_cast<char>(c));
    } else {
      too_long = true;
    }
  }
  return LineRead::kEnd;
}

class Replay {
 public:
  void line(std::string& text) {
    if (text.find('\0') != std::string::npos) return;
    std::vector<char*> fields;
    char* start = text.data();
    int count = varu_split(start, kSep);
    fields.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      fields.push_back(start);
      start += std::strlen(start) + 1;
    }
    if (std::strcmp(fields[0], "GROUP") == 0) {
      group(fields);
    } else if (std::strcmp(fields[0], "PROPERTY") == 0) {
      property(fields);
    } else if (std::strcmp(fields[0], "SYMLINK") == 0) {
      symlink(fields);
    }
  }

 private:
  // A saved path as it stands in the running tree: the longest moved prefix is replaced.
  std::string rewrite(const char* path) const {
    std::string text = path;
    if (moved_.empty() || text.size() > kMaxPathChars) return text;
    std::string key = lower(text);
    size_t end = key.size();
    while (end > 0) {
      auto it = moved_.find(key.substr(0, end));
      if (it != moved_.end()) return it->second + text.substr(end);
      size_t slash = key.rfind('/', end - 1);
      if (slash == std::string::npos) break;
      end = slash;
    }
    return text;
  }

  hm_node* lookup(const char* path, uint32_t kind) const {
    std::string text = rewrite(path);
    if (text.size() > kMaxPathChars) return nullptr;
    return internal_get_node_path(text.c_str(), kind);
  }

  void group(const std::vector<char*>& fields) {
    if (fields.size() < kGroupFields) return;
    hm_node* invoked_on = as_group(lookup(fields[2], kGroup));
    hm_node* action_node = lookup(fields[3], kAction);
    hm_node* action = resolved(action_node);
    const hm_action_descriptor* desc = action != nullptr && action->kind == kAction ? action_data(action) : nullptr;
    if (invoked_on == nullptr || desc == nullptr || !action_belongs_to(action_node, invoked_on)) return;

    // The same checks as a client's action: required slots present, every value by its rule.
    char block[kParamCount][kValueSize] = {};
    size_t given = std::min(fields.size() - kGroupFields, static_cast<size_t>(kParamCount));
    for (size_t i = 0; i < given; ++i) {
      const char* text = fields[kGroupFields + i];
      size_t length = strnlen(text, kValueSize - 1);
      if (!printable_text(text, length)) return;
      std::memcpy(block[i], text, length);
    }
    int32_t count = std::clamp(desc->param_count, 0, kParamCount);
    for (int32_t i = 0; i < count; ++i) {
      const hm_action_param& param = desc->params[i];
      if (static_cast<size_t>(i) >= given) {
        if (param.required != 0) return;
        continue;
      }
      if (varu_validate(block[i], param.allowed, param.vtype, param.min, param.max) != kStatusOk) return;
    }

    std::vector<uint32_t> tags(kMaxNewTagIndex + 1, 0);
    uint32_t created = 0;
    run_action(invoked_on, action, block, tags.data(), &created);
    remember(fields[1], action, tags, created);
  }

  // The group the action re-created for the saved path: the one recording this action as its
  // creator, else the first of the saved group's name.
  void remember(const char* saved_path, hm_node* action, const std::vector<uint32_t>& tags, uint32_t created) {
    std::string saved = saved_path;
    if (saved.size() > kMaxPathChars || created == 0) return;
    created = std::min<uint32_t>(created, static_cast<uint32_t>(tags.size()));
    size_t slash = saved.rfind('/');
    std::string last = slash == std::string::npos ? saved : saved.substr(slash + 1);
    while (!last.empty() && std::isdigit(static_cast<unsigned char>(last.back()))) last.pop_back();
    hm_node* by_action = nullptr;
    hm_node* by_name = nullptr;
    for (uint32_t i = 0; i < created; ++i) {
      hm_node* node = get_node(static_cast<int32_t>(tags[i]));
      hm_group_data* data = node != nullptr && node->kind == kGroup ? group_data(node) : nullptr;
      if (data == nullptr) continue;
      if (by_action == nullptr && data->creating_action == action) by_action = node;
      if (by_name == nullptr && node->name != nullptr && strcasecmp(node->name, last.c_str()) == 0) by_name = node;
    }
    hm_node* made = by_action != nullptr ? by_action : by_name;
    if (made != nullptr) moved_[lower(saved)] = full_path(made);
  }

  void property(const std::vector<char*>& fields) {
    if (fields.size() != kPropertyFields) return;
    hm_node* node = resolved(lookup(fields[1], kProperty));
    hm_property* data = node != nullptr && node->kind == kProperty ? property_data(node) : nullptr;
    if (data == nullptr || data->handler == nullptr) return;
    const char* text = fields[2];
    size_t length = strnlen(text, kValueSize);
    if (length >= kValueSize || !printable_text(text, length)) return;
    char value[kValueSize] = "";
    std::memcpy(value, text, length);
    if (varu_validate(value, data->allowed, data->vtype, data->min, data->max) != kStatusOk) return;
    data->handler(node, value, kSet);
  }

  void symlink(const std::vector<char*>& fields) {
    if (fields.size() != kSymlinkFields) return;
    const char* name = fields[1];
    size_t length = std::strlen(name);
    if (length == 0 || length >= static_cast<size_t>(kNameSize) || !printable_text(name, length) ||
        std::strchr(name, '/') != nullptr) {
      return;
    }
    hm_node* parent = as_group(lookup(fields[2], kGroup));
    hm_node* target = as_group(lookup(fields[3], kGroup));
    if (parent == nullptr || target == nullptr) return;
    // A replayed link carries no persistence data, so a later save does not write it again.
    create_link(parent, name, target, nullptr, nullptr, nullptr);
  }

  std::map<std::string, std::string> moved_;   // saved path (lower case) -> re-created group's path
};

}  // namespace

std::vector<hm_node*> persistent_nodes() {
  std::vector<std::pair<uint32_t, hm_node*>> found;
  hm_node* root = root_node();
  if (root == nullptr) return {};
  for_each_below(root, [&](hm_node* node) {
    uint32_t priority = priority_of(node);
    if (priority >= 1) found.emplace_back(priority, node);
  });
  std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<hm_node*> nodes;
  nodes.reserve(found.size());
  for (const auto& entry : found) nodes.push_back(entry.second);
  return nodes;
}

bool is_live_node(hm_node* node) { return node != nullptr && hm_find_hierarchy_by_node(node) != nullptr; }

char (*persistence_params(hm_node* node))[kValueSize] {
  if (hm_group_data* group = node->kind == kGroup ? group_data(node) : nullptr) return group->params;
  if (hm_link_data* link = node->kind == kLink ? link_data(node) : nullptr) return link->params;
  return nullptr;
}

int get_full_path(hm_node* node, char* out) {
  if (out == nullptr) return 1;
  out[0] = '\0';
  if (node == nullptr) return 1;
  hm_node* root = root_node();
  std::vector<hm_node*> chain;
  for (hm_node* n = node; n != nullptr && n != root && n->tag != 0; n = n->parent) {
    if (chain.size() >= static_cast<size_t>(kPathLevels) || n->parent == n) break;
    chain.push_back(n);
  }
  std::string path = kRootName;
  for (auto it = chain.rbegin(); it != chain.rend() && path.size() < kMaxPathChars; ++it) {
    char name[kNameSize] = "";
    hm_instance_name(*it, name);
    path += '/';
    path += name;
  }
  size_t length = std::min(path.size(), kMaxPathChars);
  std::memcpy(out, path.data(), length);
  out[length] = '\0';
  return 0;
}

hm_node* internal_get_node_path(const char* path, uint32_t kind) {
  hm_node* node = root_node();
  if (path == nullptr || node == nullptr) return nullptr;
  if (std::strcmp(path, kRootName) == 0) return node;
  // The first component stands for "ROOT" whatever it says; a lone other name names nothing.
  const char* part = std::strchr(path, '/');
  if (part == nullptr) return nullptr;
  ++part;
  while (true) {
    const char* end = std::strchr(part, '/');
    size_t length = end != nullptr ? static_cast<size_t>(end - part) : std::strlen(part);
    if (length == 0 || length >= static_cast<size_t>(kNameSize)) return nullptr;
    char name[kNameSize];
    std::memcpy(name, part, length);
    name[length] = '\0';
    node = internal_get_node(node, name, end != nullptr ? static_cast<uint32_t>(kGroup) : kind);
    if (node == nullptr || end == nullptr) return node;
    part = end + 1;
  }
}

int varu_get_line(FILE* stream, char* buf, uint32_t size) {
  if (stream == nullptr || buf == nullptr || size < 2) return 0;
  long start = std::ftell(stream);
  if (std::fgets(buf, static_cast<int>(std::min<uint32_t>(size, 0x7fffffff)), stream) == nullptr) return 0;
  size_t length = std::strlen(buf);
  if (length > 0 && buf[length - 1] == '\n') {
    buf[length - 1] = '\0';
    return 1;
  }
  // End of file without a newline ends the read; otherwise the line needs a larger buffer.
  if (std::feof(stream) || start < 0 || std::fseek(stream, start, SEEK_SET) != 0) return 0;
  return 2;
}

int varu_split(char* text, char ch) {
  if (text == nullptr) return 0;
  int fields = 1;
  for (char* p = text; *p != '\0'; ++p) {
    if (*p == ch) {
      *p = '\0';
      ++fields;
    }
  }
  return fields;
}

}  // namespace vx

using namespace vx;

extern "C" {

VARU_API void save_node(hm_node* node, FILE* stream, uint32_t access_mask) {
  public_call("save_node", [&]() -> uint32_t {
    if (stream == nullptr || !is_live_node(node)) return kStatusFailed;
    const int32_t start = node->kind == kGroup ? node->tag : -1;
    std::vector<int32_t> tags;
    for (hm_node* persistent : persistent_nodes()) tags.push_back(persistent->tag);
    for (int32_t tag : tags) write_persistent(tag, stream, access_mask);
    if (start >= 0) write_static(start, stream, access_mask, 0);
    std::fflush(stream);
    return kStatusOk;
  });
}

VARU_API uint32_t restore_hm(FILE* stream) {
  return public_call("restore_hm", [&]() -> uint32_t {
    if (stream == nullptr) return kStatusFailed;
    Replay replay;
    std::string line;
    LineRead read;
    while ((read = read_line(stream, &line)) != LineRead::kEnd) {
      if (read == LineRead::kLine) replay.line(line);
    }
    return kStatusOk;
  });
}

VARU_API uint32_t backend_make_persistent(hm_node* group, hm_node* invoked_on, hm_node* action, char* params) {
  return public_call("backend_make_persistent", [&]() -> uint32_t {
    if (!is_live_node(group) || group->kind != kGroup) return kStatusFailed;
    if ((invoked_on != nullptr && !is_live_node(invoked_on)) || (action != nullptr && !is_live_node(action))) {
      return kStatusFailed;
    }
    // The group keeps both as plain references: only nodes that cannot be deleted before it (the
    // group or an ancestor, and an action of one of them) are taken.
    if ((invoked_on != nullptr && !on_path_to_root(invoked_on, group)) ||
        (action != nullptr && (action->kind != kAction || !on_path_to_root(action->parent, group)))) {
      return kStatusFailed;
    }
    hm_group_data* data = group_data(group);
    if (data == nullptr) return kStatusFailed;
    if (params != nullptr && data->params == nullptr) {
      data->params = static_cast<char(*)[kValueSize]>(varu_dcalloc(kParamCount * kValueSize));
      if (data->params == nullptr) return kStatusFailed;
    }
    if (data->priority == 0) data->priority = persistency_priority++;
    data->creating_action = action;
    data->invoked_on = invoked_on;
    if (params != nullptr) std::memcpy(data->params, params, kParamCount * kValueSize);
    return kStatusOk;
  });
}

}  // extern "C"
