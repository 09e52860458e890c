// The one instance builder and the table format that every schema file uses.
//
// A schema file declares a group as a table of rows in creation order (sibling order and tag
// order follow it) and a GroupSpec, and its named builder is a one-line wrapper:
//
//   InstanceBits g_widget_bits;
//   constexpr SchemaRow kWidgetRows[] = {
//     /* 0 */ property(kInstance, "Name", "Name of the widget.", kReadOnly, handle_internal_property,
//                      length(1, 32), "none"),
//     /* 1 */ group(kInstance, "Settings", "Settings of the widget."),
//     /* 2 */ property(1, "Mode", "Mode of the widget.", kReadWrite, handle_mode, one_of("On,Off", 2, 3), "On"),
//     /* 3 */ action(1, "Reset", "Resets the settings.", kWidgetResetAction),
//   };
//   constexpr GroupSpec kWidget = group_spec("Widget", "A widget.", /*max*/ 16, nullptr, kWidgetRows, g_widget_bits);
//   hm_node* initialize_Widget(hm_node* p, hm_node* o, hm_node* a, char params[6][256]) {
//     return build_instance(kWidget, p, o, a, params);
//   }
//
// Action descriptors list their parameter slots with param(); a table made of shared fragments is
// put together with rows() and splice(), and row_is() pins the row indices it names as parents.
//
// A row's parent is the index of an earlier group row, or kInstance. The texts stay in the tables;
// nodes point at them. group_spec() checks the table while compiling: a constexpr GroupSpec with a
// bad row (text too long, parent not an earlier group, bad access ...) does not build. (Whether a
// handler is set cannot be asked of a function declared elsewhere while compiling.)
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/hm.h"

namespace vx {

enum class RowKind : uint8_t { kGroup, kProperty, kAction };

constexpr int16_t kInstance = -1;

// Validation type with its stored bounds (and the allowed list for type 4).
struct ValueRule {
  uint8_t vtype;
  int32_t min;
  int32_t max;
  const char* allowed;
};

constexpr ValueRule length(int32_t min, int32_t max) { return {0, min, max, nullptr}; }
constexpr ValueRule range(int32_t min, int32_t max) { return {1, min, max, nullptr}; }
constexpr ValueRule address(int32_t min, int32_t max) { return {2, min, max, nullptr}; }
constexpr ValueRule subnet_mask(int32_t min, int32_t max) { return {3, min, max, nullptr}; }
constexpr ValueRule one_of(const char* allowed, int32_t min, int32_t max) { return {4, min, max, allowed}; }
// Any other validation type (above 4 nothing is checked).
constexpr ValueRule rule(uint8_t vtype, int32_t min, int32_t max, const char* allowed = nullptr) {
  return {vtype, min, max, allowed};
}

struct SchemaRow {
  RowKind kind;
  int16_t parent;                      // index of an earlier group row, or kInstance
  const char* name;
  const char* description;
  hm_group_refresh_handler refresh;    // groups
  uint8_t access;                      // properties: kReadOnly or kReadWrite
  hm_property_handler handler;
  ValueRule rule;
  const char* def;                     // default value; NULL leaves it empty
  const hm_action_descriptor* action;  // actions
};

constexpr SchemaRow group(int16_t parent, const char* name, const char* description,
                          hm_group_refresh_handler refresh = nullptr) {
  return {RowKind::kGroup, parent, name, description, refresh, 0, nullptr, {}, nullptr, nullptr};
}

// Plain cached values use handle_internal_property as their handler.
constexpr SchemaRow property(int16_t parent, const char* name, const char* description, uint32_t access,
                             hm_property_handler handler, ValueRule value_rule, const char* def = nullptr) {
  return {RowKind::kProperty, parent, name, description, nullptr, static_cast<uint8_t>(access), handler,
          value_rule, def, nullptr};
}

constexpr SchemaRow action(int16_t parent, const char* name, const char* description,
                           const hm_action_descriptor& descriptor) {
  return {RowKind::kAction, parent, name, description, nullptr, 0, nullptr, {}, nullptr, &descriptor};
}

// One parameter slot of an action descriptor, with its rule written the way property rules are.
constexpr bool kRequired = true;
constexpr bool kOptional = false;
constexpr hm_action_param param(bool required, const char* name, const char* description, ValueRule r) {
  return {static_cast<uint8_t>(required ? 1 : 0), name, description, r.vtype, r.allowed, r.min, r.max};
}

// Instance numbers in use, one bitfield per combination of instance numbers of the instanced
// ancestors. Bitfields are allocated when first needed and stay at their address for the life of
// the process (instances point at them). One object per builder, zero-initialised.
struct InstanceBits {
  struct Slots;
  Slots* slots;
};

struct GroupSpec {
  const char* name;
  const char* description;
  uint16_t max;                        // instances per parent instance
  hm_group_refresh_handler refresh;
  const SchemaRow* rows;
  size_t row_count;
  InstanceBits* bits;
  // Bitfields of the group's array: one per combination of numbers of the instanced ancestors it
  // is made for (the product of their maxima). A parent whose ancestors' numbers point past it gets
  // no instance. 0: as many as the actual ancestors' maxima give.
  uint32_t bitfields;
};

// Bytes of a group's bitfield array (0 for an array without a declared size).
constexpr uint32_t bitfield_array_bytes(const GroupSpec& spec) {
  return spec.bitfields * ((spec.max + 7u) / 8u);
}

// ---- table checks ------------------------------------------------------------------------------
constexpr bool fits(const char* text, size_t limit) {
  if (text == nullptr) return true;
  for (size_t i = 0; i <= limit; ++i) {
    if (text[i] == '\0') return true;
  }
  return false;
}

// The first problem of a table, or NULL when it is sound.
constexpr const char* schema_problem(const char* name, const char* description, uint16_t max,
                                     const SchemaRow* rows, size_t count) {
  if (name == nullptr || !fits(name, kNameSize - 1)) return "group name missing or too long";
  if (!fits(description, kDescriptionSize - 1)) return "group description too long";
  if (max == 0) return "group without instances";
  for (size_t i = 0; i < count; ++i) {
    const SchemaRow& r = rows[i];
    if (r.name == nullptr || !fits(r.name, kNameSize - 1)) return "name missing or too long";
    if (!fits(r.description, kDescriptionSize - 1)) return "description too long";
    if (r.parent != kInstance &&
        (r.parent < 0 || static_cast<size_t>(r.parent) >= i || rows[r.parent].kind != RowKind::kGroup)) {
      return "parent is not an earlier group row";
    }
    if (r.kind == RowKind::kProperty) {
      if (r.access != kReadOnly && r.access != kReadWrite) return "property access neither 1 nor 2";
      if (!fits(r.def, kValueSize - 1)) return "default value too long";
      if (!fits(r.rule.allowed, kValueSize - 1)) return "allowed list too long";
    }
  }
  return nullptr;
}

// ---- table assembly ----------------------------------------------------------------------------
// A group table made of fragments: RowTable holds rows in one flat array (the builder reads one
// table per group), rows() makes one from a list, splice() joins tables.
template <size_t N>
struct RowTable {
  SchemaRow rows[N];
  static constexpr size_t size = N;
};

template <typename... Row>
constexpr RowTable<sizeof...(Row)> rows(const Row&... row) {
  return {{row...}};
}

template <size_t A, size_t B>
constexpr RowTable<A + B> splice(const RowTable<A>& a, const RowTable<B>& b) {
  RowTable<A + B> out{};
  for (size_t i = 0; i < A; ++i) out.rows[i] = a.rows[i];
  for (size_t i = 0; i < B; ++i) out.rows[A + i] = b.rows[i];
  return out;
}

template <size_t A, size_t B, size_t... More>
constexpr auto splice(const RowTable<A>& a, const RowTable<B>& b, const RowTable<More>&... more) {
  return splice(splice(a, b), more...);
}

constexpr bool same_text(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return a == b;
  for (; *a != '\0' && *a == *b; ++a, ++b) {
  }
  return *a == *b;
}

// True when row `index` of a table is the group `name`: lets a table pin the row indices that its
// other rows name as parents, while compiling.
template <size_t N>
constexpr bool row_is(const SchemaRow (&rows)[N], int16_t index, const char* name) {
  return index >= 0 && static_cast<size_t>(index) < N && rows[index].kind == RowKind::kGroup &&
         same_text(rows[index].name, name);
}
template <size_t N>
constexpr bool row_is(const RowTable<N>& table, int16_t index, const char* name) {
  return row_is(table.rows, index, name);
}

// Called only when a table is bad; in a constant expression that is a compile error.
[[noreturn]] void schema_table_error(const char* problem);

// `bitfields`: the size of the group's bitfield array, in bitfields (GroupSpec::bitfields).
template <size_t N>
constexpr GroupSpec group_spec(const char* name, const char* description, uint16_t max,
                               hm_group_refresh_handler refresh, const SchemaRow (&rows)[N], InstanceBits& bits,
                               uint32_t bitfields = 0) {
  const char* problem = schema_problem(name, description, max, rows, N);
  if (problem != nullptr) schema_table_error(problem);
  return {name, description, max, refresh, rows, N, &bits, bitfields};
}

// A group without rows of its own.
constexpr GroupSpec group_spec(const char* name, const char* description, uint16_t max,
                               hm_group_refresh_handler refresh, InstanceBits& bits, uint32_t bitfields = 0) {
  const char* problem = schema_problem(name, description, max, nullptr, 0);
  if (problem != nullptr) schema_table_error(problem);
  return {name, description, max, refresh, nullptr, 0, &bits, bitfields};
}

// Creates one instance of `spec` under `parent` with every row of its table, records origin,
// action and params for persistence, and reports the new group to a running action's tag list.
// NULL when no number is free, when the ancestors' numbers point past the group's bitfield array,
// on any failure (nothing is left behind), or when the action's tag list is full ("Too many groups
// added in this action" on standard output).
hm_node* build_instance(const GroupSpec& spec, hm_node* parent, hm_node* origin, hm_node* action,
                        char params[6][256]);

// ---- node allocation (tree and builder) --------------------------------------------------------
// Zeroed, counted allocation for nodes and their data; freed with varu_dfree.
void* hm_alloc(uint32_t size);
// Test hook: the next `count` allocations of hm_alloc succeed and the ones after fail; -1 = never.
void hm_fail_allocations_after(int32_t count);

// A node with its data block (and an instanced group's instance record) in one piece of memory.
// Such a node carries kDataInBlock: its data goes with it. A link is one such allocation.
template <typename Data>
struct NodeBlock {
  hm_node node;
  Data data;
};
struct InstanceBlock {
  hm_node node;
  hm_group_data data;
  hm_instance_info info;
};

// An instance built from its table is one allocation: this header, the instance's InstanceBlock,
// then one block per row in table order (NodeBlock<hm_group_data>, NodeBlock<hm_property>, or a
// bare hm_node for an action). Its nodes carry kInInstanceBlock and kDataInBlock; each row's
// instance is its nearest instanced ancestor. The allocation is freed with the last of its nodes.
struct alignas(alignof(InstanceBlock)) InstanceArena {
  uint32_t nodes;   // nodes added to the tree and not freed yet
};
// The allocation that holds `instance` (a node carrying kInInstanceBlock that is an instance).
InstanceArena* instance_arena(hm_node* instance);

}  // namespace vx
