// The one instance builder: reads a group's table and creates an instance with everything in it.
#include "engine/builder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
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

// The blocks an instance's allocation is carved into, one after another: each keeps the next one
// aligned.
template <typename... Block>
constexpr bool carves_aligned() {
  return ((alignof(Block) <= alignof(InstanceBlock) && sizeof(Block) % alignof(InstanceBlock) == 0) && ...);
}
static_assert(carves_aligned<InstanceArena, InstanceBlock, NodeBlock<hm_group_data>, NodeBlock<hm_property>, hm_node>());

size_t row_block_size(RowKind kind) {
  switch (kind) {
    case RowKind::kGroup: return sizeof(NodeBlock<hm_group_data>);
    case RowKind::kProperty: return sizeof(NodeBlock<hm_property>);
    case RowKind::kAction: return sizeof(hm_node);
  }
  return 0;
}

// The zeroed rest of an instance's allocation, handed out block by block.
class Carver {
 public:
  Carver(InstanceArena* arena, size_t size)
      : arena_(arena), next_(reinterpret_cast<unsigned char*>(arena) + sizeof(InstanceArena)),
        end_(reinterpret_cast<unsigned char*>(arena) + size) {}

  // The next block as a node of `kind`, not added yet; NULL past the end.
  template <typename Block>
  Block* take(uint32_t kind, const char* name, const char* description, hm_node* parent) {
    if (static_cast<size_t>(end_ - next_) < sizeof(Block)) return nullptr;
    auto* block = reinterpret_cast<Block*>(next_);
    next_ += sizeof(Block);
    hm_node* node = node_of(block);
    node->kind = kind;
    node->name = name;
    node->description = description;
    node->parent = parent;
    node->flags = kInInstanceBlock;
    if constexpr (!std::is_same_v<Block, hm_node>) {
      node->data = &block->data;
      node->flags |= kDataInBlock;
    }
    return block;
  }

  // A node of the allocation joined the tree.
  void added() { ++arena_->nodes; }

 private:
  static hm_node* node_of(hm_node* node) { return node; }
  template <typename Block>
  static hm_node* node_of(Block* block) {
    return &block->node;
  }

  InstanceArena* arena_;
  unsigned char* next_;
  unsigned char* end_;
};

// A row's node that add_node refused: its block stays in the allocation unused.
void free_unadded(hm_node* node) { release_property_value(property_data(node)); }

// Adds a node taken from the carver; false (nothing left) when add_node refuses it.
bool add_carved(hm_node* node, Carver& carver) {
  if (add_node(node, &hierarchy_name_) < 0) {
    free_unadded(node);
    return false;
  }
  carver.added();
  return true;
}

// One row: its node, set up and added under `parent`; NULL on failure with nothing left.
hm_node* build_row(const SchemaRow& row, hm_node* parent, Carver& carver) {
  switch (row.kind) {
    case RowKind::kGroup: {
      auto* block = carver.take<NodeBlock<hm_group_data>>(kGroup, row.name, row.description, parent);
      if (block == nullptr) return nullptr;
      block->data.first_child = block->data.last_child = &block->node;
      if (!add_carved(&block->node, carver)) return nullptr;
      block->data.refresh = row.refresh;
      return &block->node;
    }
    case RowKind::kProperty: {
      auto* block = carver.take<NodeBlock<hm_property>>(kProperty, row.name, row.description, parent);
      if (block == nullptr) return nullptr;
      hm_property* p = &block->data;
      p->access = row.access;
      p->handler = row.handler;
      p->vtype = row.rule.vtype;
      p->min = row.rule.min;
      p->max = row.rule.max;
      p->allowed = row.rule.allowed;
      if (row.def != nullptr && !set_property_value(p, row.def)) return nullptr;
      return add_carved(&block->node, carver) ? &block->node : nullptr;
    }
    case RowKind::kAction: {
      hm_node* node = carver.take<hm_node>(kAction, row.name, row.description, parent);
      if (node == nullptr) return nullptr;
      node->data = const_cast<hm_action_descriptor*>(row.action);
      return add_carved(node, carver) ? node : nullptr;
    }
  }
  return nullptr;
}

// The instanced group itself, the first block of its allocation, added under `parent` with number
// `index`; NULL when add_node refuses it.
hm_node* build_group(const GroupSpec& spec, hm_node* parent, uint8_t* slot, int32_t index, Carver& carver) {
  auto* block = carver.take<InstanceBlock>(kGroup, spec.name, spec.description, parent);
  if (block == nullptr) return nullptr;
  hm_node* node = &block->node;
  hm_instance_info* info = &block->info;
  info->bitfield = slot;
  info->max_instances = spec.max;
  info->base = 0;
  info->number = index;
  block->data.first_child = block->data.last_child = node;
  block->data.instance = info;
  if (add_node(node, &hierarchy_name_) < 0) return nullptr;
  carver.added();
  block->data.refresh = spec.refresh;
  return node;
}

bool build_rows(const GroupSpec& spec, hm_node* instance, Carver& carver) {
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
    made[i] = build_row(row, parent, carver);
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

  size_t size = sizeof(InstanceArena) + sizeof(InstanceBlock);
  for (size_t i = 0; i < spec.row_count; ++i) size += row_block_size(spec.rows[i].kind);
  auto* arena = static_cast<InstanceArena*>(hm_alloc(static_cast<uint32_t>(size)));
  if (arena == nullptr) return nullptr;
  Carver carver(arena, size);
  hm_node* instance = build_group(spec, parent, slot, number, carver);
  if (instance == nullptr) {
    varu_dfree(arena);
    return nullptr;
  }
  hm_group_data* gd = group_data(instance);
  char (*own_params)[kValueSize] = nullptr;
  if (params != nullptr) own_params = static_cast<char (*)[kValueSize]>(hm_alloc(kParamCount * kValueSize));
  if (!build_rows(spec, instance, carver) || (params != nullptr && own_params == nullptr)) {
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
