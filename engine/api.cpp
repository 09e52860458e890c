// The public hierarchy calls. Each one runs inside the funnel of api_lock.h: tags become nodes only
// under the API lock, and every handler a call runs (property, action and refresh handlers) runs
// with it held. Values and parameters are checked and rewritten in the library's own buffers; the
// caller's buffers are read within their stated sizes and written only as documented.
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/api_lock.h"
#include "engine/hm.h"
#include "engine/messages.h"
#include "engine/persist.h"

namespace vx {
namespace {

constexpr int32_t kMaxKindFilter = VARU_KIND_PLAIN_PROPERTY;
constexpr uint32_t kAccessHidden = 8;   // like bit 1, keeps a property out of the "plain" filter
constexpr unsigned char kParamAbsent = VARU_PARAM_ABSENT;

bool valid_kind(int32_t kind) { return kind >= 0 && kind <= kMaxKindFilter; }

hm_node* root_node() { return get_node(0); }

uint32_t effective_kind(hm_node* node) {
  hm_node* target = resolved(node);
  return target != nullptr ? target->kind : 0;
}

// Does `child` (a child of some group) pass the kind filter of VARU_get_child_tags? Groups and
// actions are listed also through links to them; the property filters list only the group's own
// properties, never links.
bool passes_filter(hm_node* child, int32_t kind) {
  hm_node* target = resolved(child);
  if (target == nullptr) return false;
  hm_property* prop = property_data(child);
  switch (kind) {
    case VARU_KIND_GROUP:
    case VARU_KIND_ACTION: return target->kind == static_cast<uint32_t>(kind);
    case VARU_KIND_PROPERTY: return prop != nullptr;
    case VARU_KIND_READONLY_PROPERTY: return prop != nullptr && (prop->access & kReadOnly) != 0;
    case VARU_KIND_WRITABLE_PROPERTY: return prop != nullptr && (prop->access & kReadOnly) == 0;
    case VARU_KIND_PLAIN_PROPERTY: return prop != nullptr && (prop->access & (kReadOnly | kAccessHidden)) == 0;
    default: return false;   // 0 and 4 list nothing
  }
}

bool is_global_action(hm_node* action) {
  const hm_action_descriptor* desc = action_data(action);
  return desc != nullptr && desc->global == 1 && action->parent == root_node();
}

// Texts of the refused value and parameter codes.
uint32_t refuse_value(uint32_t code, const hm_property* prop) {
  switch (code) {
    case kStatusBadLength: fail(code, msg::kBadLength, prop->min, prop->max); break;
    case kStatusOutOfRange: fail(code, msg::kOutOfRange, prop->min, prop->max); break;
    default: fail(kStatusInvalidValue, "%s", msg::kInvalidValue); break;
  }
  return kStatusFailed;
}

uint32_t refuse_param(uint32_t code, const hm_action_param& param) {
  const char* name = param.name != nullptr ? param.name : "";
  switch (code) {
    case kStatusParameterMissing: fail(code, msg::kParamMissing, name); break;
    case kStatusBadLength: fail(code, msg::kParamBadLength, name, param.min, param.max); break;
    case kStatusOutOfRange: fail(code, msg::kParamOutOfRange, name, param.min, param.max); break;
    default: fail(kStatusInvalidValue, msg::kParamInvalidValue, name); break;
  }
  return kStatusFailed;
}

// The property that `node` names under `owner`: the node itself, or the end of its links. The
// node and every link on the way must be children of `owner`, else NULL.
hm_node* property_of(hm_node* owner, hm_node* node) {
  for (int hops = 0; owner != nullptr && node != nullptr && hops < kPathLevels; ++hops) {
    if (node->parent != owner) return nullptr;
    if (node->kind == kProperty) return property_data(node) != nullptr ? node : nullptr;
    hm_link_data* link = link_data(node);
    if (link == nullptr) return nullptr;
    node = link->target;
  }
  return nullptr;
}

void copy_text(char* out, size_t size, const char* text) {
  if (size == 0) return;
  size_t n = text != nullptr ? strnlen(text, size - 1) : 0;
  if (n > 0) std::memcpy(out, text, n);
  out[n] = '\0';
}

// The caller's new-tags list is set only while an action handler runs, and a nested action's
// list does not capture the outer action's groups.
class NewTagsScope {
 public:
  explicit NewTagsScope(uint32_t* list) : saved_list_(varu_internal_new_tags), saved_index_(new_tag_index) {
    varu_internal_new_tags = list;
    new_tag_index = 0;
    if (list != nullptr) list[0] = 0;
  }
  ~NewTagsScope() {
    varu_internal_new_tags = saved_list_;
    new_tag_index = saved_index_;
  }
  NewTagsScope(const NewTagsScope&) = delete;
  NewTagsScope& operator=(const NewTagsScope&) = delete;

 private:
  uint32_t* saved_list_;
  uint32_t saved_index_;
};

}  // namespace

bool printable_text(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7f) return false;
  }
  return true;
}

bool action_belongs_to(hm_node* action_node, hm_node* target_node) {
  hm_node* target = as_group(target_node);
  hm_node* action = resolved(action_node);
  if (target == nullptr || action == nullptr || action->kind != kAction) return false;
  return action->parent == target || action_node->parent == target || is_global_action(action);
}

uint32_t read_property(hm_node* prop, char* out) {
  hm_property* data = property_data(prop);
  if (data == nullptr) return kStatusFailed;
  if (data->handler != nullptr) return data->handler(prop, out, kGet);
  copy_text(out, kValueSize, property_value(data));
  return kStatusOk;
}

uint32_t run_action(hm_node* target, hm_node* action, char params[kParamCount][kValueSize], uint32_t* new_tags,
                    uint32_t* created) {
  if (created != nullptr) *created = 0;
  const hm_action_descriptor* desc = action_data(action);
  if (desc == nullptr) return kStatusFailed;
  if (desc->handler == nullptr) {
    pdebug(1, 3, "Not Implimented\n");
    return kStatusFailed;
  }
  NewTagsScope scope(new_tags);
  uint32_t result = desc->handler(target, action, params);
  if (created != nullptr) *created = new_tags != nullptr ? new_tag_index : 0;
  return result;
}

}  // namespace vx

using namespace vx;

extern "C" {

VARU_API uint32_t VARU_init(void) {
  pdebug(1, 6, "--- entering %s ---\n", "VARU_init");
  return public_call("VARU_init", CallNeeds::kNothing, StatusReset::kClear, []() -> uint32_t {
    int32_t& clients = client_count();
    varu_log_open();
    VARU_update_loglevel();
    ++clients;
    pdebug(1, 5, "New client #%d!\n", clients);
    // A later client shares the tree; when a failed rebuild left none, it builds it again.
    if (clients > 1 && get_node(0) != nullptr) return kStatusOk;
    std::strcpy(varu_current_hierarchy, "");
    uint32_t result = static_cast<uint32_t>(init_hm_asked());
    if (result != kStatusOk) {
      --clients;
      cancel_tree_rebuild();
    }
    pdebug(1, 6, "--- leaving %s ---\n", "VARU_init");
    return result;
  });
}

VARU_API uint32_t VARU_exit(void) {
  pdebug(1, 6, "--- entering %s ---\n", "VARU_exit");
  return public_call("VARU_exit", CallNeeds::kNothing, StatusReset::kClear, []() -> uint32_t {
    int32_t& clients = client_count();
    if (clients < 1) return kStatusOk;
    // The last client may not tear the tree down under a handler that is still running.
    if (clients == 1 && call_depth() > 1) return kStatusFailed;
    pdebug(1, 5, "Client disconnecting #%d\n", clients);
    if (--clients > 0) return kStatusOk;
    cancel_tree_rebuild();
    exit_hm();
    pdebug(1, 6, "--- leaving %s ---\n", "VARU_exit");
    varu_log_close();
    return kStatusOk;
  });
}

VARU_API uint32_t VARU_get_node_tag(int32_t parent_tag, const char* name, uint32_t* out_tag, int32_t kind) {
  return public_call("VARU_get_node_tag", [&]() -> uint32_t {
    hm_node* parent = get_node(parent_tag);
    if (parent == nullptr || parent->kind != kGroup || name == nullptr || out_tag == nullptr) return kStatusFailed;
    if (!valid_kind(kind)) return kStatusFailed;
    hm_node* node = internal_get_node(parent, name, static_cast<uint32_t>(kind));
    if (node == nullptr) return kStatusFailed;
    *out_tag = static_cast<uint32_t>(node->tag);
    return kStatusOk;
  });
}

VARU_API uint32_t VARU_get_node_name(int32_t tag, char* buf, int32_t kind) {
  return public_call("VARU_get_node_name", [&]() -> uint32_t {
    hm_node* node = get_node(tag);
    if (node == nullptr || buf == nullptr || !valid_kind(kind)) return kStatusFailed;
    if (effective_kind(node) != static_cast<uint32_t>(kind)) return kStatusFailed;
    char name[kNameSize] = "";
    hm_instance_name(node, name);
    copy_text(buf, kNameSize, name);
    return kStatusOk;
  });
}

VARU_API uint32_t VARU_get_parent_tag(int32_t tag, uint32_t* out_tag) {
  return public_call("VARU_get_parent_tag", [&]() -> uint32_t {
    hm_node* node = get_node(tag);
    if (node == nullptr || out_tag == nullptr || node->parent == nullptr) return kStatusFailed;
    *out_tag = static_cast<uint32_t>(node->parent->tag);
    return kStatusOk;
  });
}

VARU_API uint32_t VARU_get_child_tags(int32_t tag, uint32_t* out_tags, uint32_t* out_count, int32_t kind) {
  return public_call("VARU_get_child_tags", [&]() -> uint32_t {
    hm_node* group = as_group(get_node(tag));
    if (group == nullptr || out_tags == nullptr || out_count == nullptr || !valid_kind(kind)) return kStatusFailed;
    uint32_t count = 0;
    hm_group_data* data = group_data(group);
    for (hm_node* child = data->first_child; child != nullptr && child != group; child = child->next) {
      if (passes_filter(child, kind)) out_tags[count++] = static_cast<uint32_t>(child->tag);
    }
    hm_node* root = root_node();
    if (kind == VARU_KIND_ACTION && group != root && root != nullptr) {
      hm_group_data* root_data = group_data(root);
      for (hm_node* child = root_data->first_child; child != nullptr && child != root; child = child->next) {
        if (child->kind == kAction && is_global_action(child)) out_tags[count++] = static_cast<uint32_t>(child->tag);
      }
    }
    *out_count = count;
    return kStatusOk;
  });
}

VARU_API uint32_t VARU_get_valid_instances(int32_t parent_tag, const char* name, uint32_t* out_numbers,
                                           uint32_t* out_count) {
  return public_call("VARU_get_valid_instances", [&]() -> uint32_t {
    hm_node* parent = as_group(get_node(parent_tag));
    if (parent == nullptr || name == nullptr || out_numbers == nullptr || out_count == nullptr) return kStatusFailed;
    *out_count = 0;
    hm_node* instance = get_first_instance(parent, name);
    hm_instance_info* info = instance_info(instance);
    // The ring holds at most max_instances members; the bound also guards a broken ring.
    uint32_t limit = info != nullptr ? info->max_instances : 0;
    uint32_t count = 0;
    while (info != nullptr && info->number != -1 && count < limit) {
      out_numbers[count++] = static_cast<uint32_t>(info->number);
      instance = info->next;
      info = instance_info(instance);
    }
    *out_count = count;
    return kStatusOk;
  });
}

VARU_API uint32_t VARU_get_property_val(uint32_t group_tag, uint32_t prop_tag, char* buf, int32_t len) {
  return public_call("VARU_get_property_val", [&]() -> uint32_t {
    hm_node* group = get_node(static_cast<int32_t>(group_tag));
    hm_node* node = get_node(static_cast<int32_t>(prop_tag));
    if (group == nullptr || buf == nullptr || node == nullptr) return kStatusFailed;
    if (len < 1 || len > kValueSize) return kStatusFailed;
    hm_node* prop = property_of(as_group(group), node);
    if (prop == nullptr) return kStatusFailed;
    // The handler fills the library's buffer; the caller gets what fits in len.
    char value[kValueSize] = "";
    uint32_t result = read_property(prop, value);
    copy_text(buf, static_cast<size_t>(len), value);
    return result;
  });
}

VARU_API uint32_t VARU_set_property_val(uint32_t group_tag, int32_t prop_tag, char* value, uint32_t len) {
  pdebug(1, 6, "--- entering %s ---\n", "VARU_set_property_val");
  return public_call("VARU_set_property_val", [&]() -> uint32_t {
    hm_node* group = get_node(static_cast<int32_t>(group_tag));
    hm_node* node = get_node(prop_tag);
    if (group == nullptr || value == nullptr || node == nullptr) return kStatusFailed;
    hm_node* prop = property_of(as_group(group), node);
    hm_property* data = property_data(prop);
    if (data == nullptr) return kStatusFailed;
    if ((data->access & kReadOnly) != 0) {
      fail(kStatusReadOnly, "%s", msg::kReadOnlyProperty);
      return kStatusFailed;
    }
    if (len > static_cast<uint32_t>(kValueSize)) return kStatusFailed;
    // Checked and rewritten (IPv6) in the library's own copy; the caller's text is only read.
    size_t length = strnlen(value, len);
    if (length == len || !printable_text(value, length)) return refuse_value(kStatusInvalidValue, data);
    char copy[kValueSize] = "";
    std::memcpy(copy, value, length);
    uint32_t verdict = varu_validate(copy, data->allowed, data->vtype, data->min, data->max);
    if (verdict != kStatusOk) return refuse_value(verdict, data);
    if (data->handler == nullptr) {
      pdebug(1, 6, "--- leaving %s ---\n", "VARU_set_property_val");
      return kStatusNoHandler;
    }
    return data->handler(prop, copy, kSet);
  });
}

VARU_API uint32_t VARU_do_action(uint32_t target_tag, int32_t action_tag, char params[6][256], uint32_t* new_tags) {
  pdebug(1, 6, "--- entering %s ---\n", "VARU_do_action");
  return public_call("VARU_do_action", [&]() -> uint32_t {
    hm_node* target_node = get_node(static_cast<int32_t>(target_tag));
    hm_node* action_node = get_node(action_tag);
    if (target_node == nullptr || action_node == nullptr || params == nullptr) return kStatusFailed;
    if (target_node->kind != kGroup && target_node->kind != kLink) return kStatusFailed;
    if (action_node->kind != kAction && action_node->kind != kLink) return kStatusFailed;
    // The caller's list reads empty whatever happens from here on.
    if (new_tags != nullptr) new_tags[0] = 0;
    hm_node* target = as_group(target_node);
    hm_node* action = resolved(action_node);
    const hm_action_descriptor* desc = action != nullptr && action->kind == kAction ? action_data(action) : nullptr;
    if (target == nullptr || desc == nullptr) return kStatusFailed;
    if (!action_belongs_to(action_node, target_node)) return kStatusFailed;

    // The handler gets the library's copy: absent optional slots zeroed, addresses expanded.
    char block[kParamCount][kValueSize];
    std::memcpy(block, params, sizeof block);
    int32_t count = std::clamp(desc->param_count, 0, kParamCount);
    for (int32_t i = 0; i < count; ++i) {
      const hm_action_param& param = desc->params[i];
      if (static_cast<unsigned char>(block[i][0]) == kParamAbsent) {
        if (param.required != 0) return refuse_param(kStatusParameterMissing, param);
        std::memset(block[i], 0, kValueSize);
        continue;
      }
      if (std::memchr(block[i], '\0', kValueSize) == nullptr) return refuse_param(kStatusInvalidValue, param);
      uint32_t verdict = varu_validate(block[i], param.allowed, param.vtype, param.min, param.max);
      if (verdict != kStatusOk) return refuse_param(verdict, param);
    }
    // Slots past the action's parameters carry nothing; they are not passed on (nor recorded).
    for (int32_t i = count; i < kParamCount; ++i) std::memset(block[i], 0, kValueSize);
    uint32_t result = run_action(target, action, block, new_tags);
    if (desc->handler != nullptr) pdebug(1, 6, "--- leaving %s ---\n", "VARU_do_action");
    return result;
  });
}

VARU_API uint32_t VARU_refresh_group(int32_t tag) {
  return public_call("VARU_refresh_group", [&]() -> uint32_t {
    hm_node* node = get_node(tag);
    hm_group_data* data = node != nullptr && node->kind == kGroup ? group_data(node) : nullptr;
    if (data == nullptr || data->refresh == nullptr) return kStatusOk;
    return data->refresh(node);
  });
}

VARU_API uint32_t VARU_get_node_description(int32_t tag, hm_node_description* out) {
  return public_call("VARU_get_node_description", [&]() -> uint32_t {
    hm_node* node = resolved(get_node(tag));
    if (node == nullptr || out == nullptr) return kStatusFailed;
    std::memset(out, 0, sizeof *out);
    copy_text(out->description, sizeof out->description, node->description);
    out->kind = static_cast<uint8_t>(node->kind);
    if (hm_property* prop = node->kind == kProperty ? property_data(node) : nullptr) {
      out->vtype = prop->vtype;
      out->min = prop->min;
      out->max = prop->max;
    }
    return kStatusOk;
  });
}

VARU_API uint32_t VARU_get_param_info(uint32_t action_tag, hm_param_info* out) {
  return public_call("VARU_get_param_info", [&]() -> uint32_t {
    hm_node* action = resolved(get_node(static_cast<int32_t>(action_tag)));
    const hm_action_descriptor* desc = action != nullptr && action->kind == kAction ? action_data(action) : nullptr;
    if (desc == nullptr || out == nullptr) return kStatusFailed;
    std::memset(out, 0, sizeof *out);
    out->param_count = desc->param_count;
    for (int i = 0; i < kParamCount; ++i) {
      const hm_action_param& from = desc->params[i];
      hm_action_param_info& to = out->params[i];
      to.required = from.required;
      copy_text(to.name, sizeof to.name, from.name);
      copy_text(to.description, sizeof to.description, from.description);
      to.vtype = from.vtype;
      copy_text(to.allowed, sizeof to.allowed, from.allowed);
      to.min = from.min;
      to.max = from.max;
    }
    return kStatusOk;
  });
}

VARU_API uint32_t VARU_get_persistent_nodes(uint32_t* out_tags, int32_t* inout_count) {
  return public_call("VARU_get_persistent_nodes", [&]() -> uint32_t {
    if (out_tags == nullptr || inout_count == nullptr) return kStatusFailed;
    const int32_t room = *inout_count;
    if (persistency_priority <= 1) {   // no priority handed out yet
      if (room < 0) return kStatusArrayTooSmall;
      *inout_count = 0;
      return kStatusOk;
    }
    // Tags are written in order until one more would not fit; the count is then left as given.
    int32_t written = 0;
    for (hm_node* node : persistent_nodes()) {
      if (written >= room) return kStatusArrayTooSmall;
      out_tags[written++] = static_cast<uint32_t>(node->tag);
    }
    *inout_count = written;
    return kStatusOk;
  });
}

VARU_API uint32_t VARU_get_persistence_info(int32_t tag, hm_persistence_info* out) {
  return public_call("VARU_get_persistence_info", [&]() -> uint32_t {
    hm_node* node = get_node(tag);
    if (node == nullptr || out == nullptr) return kStatusFailed;
    hm_node* action = nullptr;
    hm_node* invoked_on = nullptr;
    uint32_t priority = 0;
    if (hm_group_data* group = node->kind == kGroup ? group_data(node) : nullptr) {
      action = group->creating_action;
      invoked_on = group->invoked_on;
      priority = group->priority;
    } else if (hm_link_data* link = node->kind == kLink ? link_data(node) : nullptr) {
      action = link->creating_action;
      invoked_on = link->invoked_on;
      priority = link->priority;
    }
    if (priority == 0 || action == nullptr) return kStatusFailed;
    std::memset(out, 0, sizeof *out);
    out->action_tag = static_cast<uint32_t>(action->tag);
    out->invoked_on_tag = invoked_on != nullptr ? static_cast<uint32_t>(invoked_on->tag) : 0;
    if (auto* saved = persistence_params(node)) std::memcpy(out->params, saved, sizeof out->params);
    return kStatusOk;
  });
}

VARU_API uint32_t VARU_get_last_status(uint32_t* code, char* text) {
  return public_call("VARU_get_last_status", CallNeeds::kNothing, StatusReset::kKeep, [&]() -> uint32_t {
    if (code == nullptr || text == nullptr) return kStatusFailed;
    varu_get_last_status(code, text);
    return kStatusOk;
  });
}

}  // extern "C"
