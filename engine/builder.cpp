// The one instance builder: reads a group's table and creates an instance with everything in it.
#include "engine/builder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>

namespace vx {

// Bitfields by slot index. The bitfields are plain process-lifetime storage outside the
// allocation counters, like static arrays would be; only the slots in use exist.
struct InstanceBits::Slots {
  std::unordered_map<uint64_t, std::unique_ptr<uint8_t[]>> by_index;
};

namespace {

constexpr int kWalkLimit = kPathLevels + 8;

// Slot of the group's bitfield for the instance numbers of the instanced ancestors of `parent`
// (the nearest is the least significant digit); false when the number does not fit.
bool slot_index(const hm_node* parent, uint64_t* index) {
  uint64_t sum = 0;
  uint64_t multiplier = 1;
  const hm_node* n = parent;
  for (int steps = 0; n != nullptr && n->parent != n; ++steps, n = n->parent) {
    if (steps >= kWalkLimit) return false;
    const hm_instance_info* info = instance_info(n);
    if (info == nullptr) continue;
    uint64_t digit = static_cast<uint64_t>(info->number - info->base);
    if (info->number < info->base || info->max_instances == 0 || digit >= info->max_instances) return false;
    if (multiplier > (UINT64_MAX >> 17)) return false;   // deeper than any schema
    sum += digit * multiplier;
    multiplier *= info->max_instances;
  }
  *index = sum;
  return true;
}

uint8_t* find_slot(InstanceBits* bits, uint64_t index, size_t bytes) {
  if (bits == nullptr) return nullptr;
  try {
    if (bits->slots == nullptr) bits->slots = new InstanceBits::Slots;
    std::unique_ptr<uint8_t[]>& slot = bits->slots->by_index[index];
    if (!slot) slot.reset(new uint8_t[bytes]());
    return slot.get();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

hm_node* new_node(uint32_t kind, const char* name, const char* description, hm_node* parent) {
  auto* node = static_cast<hm_node*>(hm_alloc(sizeof(hm_node)));
  if (node == nullptr) return nullptr;
  node->kind = kind;
  node->name = name;
  node->description = description;
  node->parent = parent;
  return node;
}

// A node with its zeroed data in one block (NodeBlock or InstanceBlock), not added yet.
template <typename Block>
Block* new_block(uint32_t kind, const char* name, const char* description, hm_node* parent) {
  auto* block = static_cast<Block*>(hm_alloc(sizeof(Block)));
  if (block == nullptr) return nullptr;
  hm_node* node = &block->node;
  node->kind = kind;
  node->name = name;
  node->description = description;
  node->parent = parent;
  node->data = &block->data;
  node->flags = kDataInBlock;
  return block;
}

// A node made here that add_node refused: its data is in its block.
void free_unadded(hm_node* node) {
  if (node == nullptr) return;
  release_property_value(property_data(node));
  varu_dfree(node);
}

// One row: its node, set up and added under `parent`; NULL on failure with nothing left.
hm_node* build_row(const SchemaRow& row, hm_node* parent) {
  switch (row.kind) {
    case RowKind::kGroup: {
      auto* block = new_block<NodeBlock<hm_group_data>>(kGroup, row.name, row.description, parent);
      if (block == nullptr) return nullptr;
      hm_node* node = &block->node;
      block->data.first_child = block->data.last_child = node;
      if (add_node(node, &hierarchy_name_) < 0) {
        free_unadded(node);
        return nullptr;
      }
      block->data.refresh = row.refresh;
      return node;
    }
    case RowKind::kProperty: {
      auto* block = new_block<NodeBlock<hm_property>>(kProperty, row.name, row.description, parent);
      if (block == nullptr) return nullptr;
      hm_node* node = &block->node;
      hm_property* p = &block->data;
      p->access = row.access;
      p->handler = row.handler;
      p->vtype = row.rule.vtype;
      p->min = row.rule.min;
      p->max = row.rule.max;
      p->allowed = row.rule.allowed;
      if ((row.def != nullptr && !set_property_value(p, row.def)) || add_node(node, &hierarchy_name_) < 0) {
        free_unadded(node);
        return nullptr;
      }
      return node;
    }
    case RowKind::kAction: {
      hm_node* node = new_node(kAction, row.name, row.description, parent);
      if (node == nullptr) return nullptr;
      node->data = const_cast<hm_action_descriptor*>(row.action);
      if (add_node(node, &hierarchy_name_) < 0) {
        free_unadded(node);
        return nullptr;
      }
      return node;
    }
  }
  return nullptr;
}

// The instanced group itself, added under `parent` with number `index`.
hm_node* build_group(const GroupSpec& spec, hm_node* parent, uint8_t* slot, int32_t index) {
  auto* block = new_block<InstanceBlock>(kGroup, spec.name, spec.description, parent);
  if (block == nullptr) return nullptr;
  hm_node* node = &block->node;
  hm_instance_info* info = &block->info;
  info->bitfield = slot;
  info->max_instances = spec.max;
  info->base = 0;
  info->number = index;
  block->data.first_child = block->data.last_child = node;
  block->data.instance = info;
  if (add_node(node, &hierarchy_name_) < 0) {
    free_unadded(node);
    return nullptr;
  }
  block->data.refresh = spec.refresh;
  return node;
}

bool build_rows(const GroupSpec& spec, hm_node* instance) {
  if (spec.row_count == 0) return true;
  std::unique_ptr<hm_node*[]> made(new (std::nothrow) hm_node*[spec.row_count]());
  if (!made) return false;
  for (size_t i = 0; i < spec.row_count; ++i) {
    const SchemaRow& row = spec.rows[i];
    hm_node* parent = instance;
    if (row.parent != kInstance) {
      // Tables are checked while compiling; a table built at run time is checked here.
      if (row.parent < 0 || static_cast<size_t>(row.parent) >= i || made[row.parent] == nullptr ||
          made[row.parent]->kind != kGroup) {
        return false;
      }
      parent = made[row.parent];
    }
    made[i] = build_row(row, parent);
    if (made[i] == nullptr) return false;
  }
  return true;
}

}  // namespace

void schema_table_error(const char* problem) {
  std::fprintf(stderr, "bad schema table: %s\n", problem);
  std::abort();
}

hm_node* build_instance(const GroupSpec& spec, hm_node* parent, hm_node* origin, hm_node* action,
                        char params[6][256]) {
  if (parent == nullptr || spec.max == 0) return nullptr;
  uint64_t index = 0;
  if (!slot_index(parent, &index)) return nullptr;
  // A parent below more (or larger) instanced ancestors than the group is made for would take a
  // bitfield beyond its array: refused before anything is touched.
  if (spec.bitfields != 0 && index >= spec.bitfields) return nullptr;
  uint8_t* slot = find_slot(spec.bits, index, (spec.max + 7u) / 8u);
  if (slot == nullptr) return nullptr;
  int32_t number = get_first_zero(slot, spec.max);
  if (number < 0) return nullptr;

  // A full tag list refuses the group before anything is made, so it leaves no trace.
  if (varu_internal_new_tags != nullptr && new_tag_index > static_cast<uint32_t>(kMaxNewTagIndex)) {
    std::puts("Too many groups added in this action");
    return nullptr;
  }

  hm_node* instance = build_group(spec, parent, slot, number);
  if (instance == nullptr) return nullptr;
  hm_group_data* gd = group_data(instance);
  char (*own_params)[kValueSize] = nullptr;
  if (params != nullptr) own_params = static_cast<char (*)[kValueSize]>(hm_alloc(kParamCount * kValueSize));
  if (!build_rows(spec, instance) || (params != nullptr && own_params == nullptr)) {
    varu_dfree(own_params);
    _delete_node(instance);
    return nullptr;
  }

  gd->invoked_on = origin;
  gd->creating_action = action;
  if (own_params != nullptr) {
    std::memcpy(own_params, params, kParamCount * kValueSize);
    gd->params = own_params;
  }
  if (action != nullptr) gd->priority = persistency_priority++;
  set_bit(slot, spec.max, number);

  if (varu_internal_new_tags != nullptr) varu_internal_new_tags[new_tag_index++] = static_cast<uint32_t>(instance->tag);
  return instance;
}

}  // namespace vx
