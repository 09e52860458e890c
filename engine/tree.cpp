// The node tree: the registry of hierarchies, tags, adding and deleting nodes, instance rings,
// links, name lookups, the property cache and the bootstrap of "ROOT".
//
// Nothing here locks: public calls hold the API lock around every use, start-up runs inside the
// first client's VARU_init.
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/builder.h"
#include "engine/hm.h"
#include "engine/messages.h"

namespace vx {

hm_hierarchy hierarchy_name_;
uint32_t persistency_priority = 0;
uint32_t* varu_internal_new_tags = nullptr;
uint32_t new_tag_index = 0;
char varu_current_hierarchy[20] = "";

namespace {

constexpr int kRegistrySize = 5;
hm_hierarchy* hierarchy_table[kRegistrySize];
int hierarchy_count = 0;

// Longest parent chain any walk follows: the deepest tree plus slack, so a damaged chain ends.
constexpr int kWalkLimit = kPathLevels + 8;
// Longest instance ring: every number of a 16-bit maximum plus the sentinel.
constexpr int kRingLimit = 65536 + 1;

int32_t g_alloc_budget = -1;

// The static part of the tree: "ROOT" and its three properties. Their records live here; the
// bootstrap allocates their data blocks.
hm_node ROOT;
hm_node ROOT_VARUServiceVersion;
hm_node ROOT_VARUHierarchyVersion;
hm_node ROOT_VARUDebugLevel;

struct RootProperty {
  hm_node* node;
  const char* name;
  const char* description;
  const char* value;
  uint32_t access;
  hm_property_handler handler;
  uint8_t vtype;
  int32_t min;
  int32_t max;
  const char* allowed;
};

const RootProperty kRootProperties[] = {
    {&ROOT_VARUServiceVersion, "VARUServiceVersion",
     "This property specifies the version number of the VaruService.", "0", kReadOnly, handle_internal_property, 0,
     5, 32, nullptr},
    {&ROOT_VARUHierarchyVersion, "VARUHierarchyVersion",
     "This property specifies the version number of the VARU hierarchy.", "0", kReadOnly,
     handle_internal_property, 0, 3, 32, nullptr},
    {&ROOT_VARUDebugLevel, "VARUDebugLevel",
     "This property specifies the VARUDebugLevel. Possible values are 0 - Disabled, 1 - FATAL, 2 - CRITICAL, "
     "3 - ERROR, 4 - WARNING, 5 - INFORMATION, 6 - DEBUG. By default VARUDebugLevel is 3 - Error. If VARU or "
     "system is restarted VARUDebugLevel will be the default value.",
     "3", kReadWrite, handle_VARUDebugLevel, 4, 5, 11, "0,1,2,3,4,5,6"},
};

// The sentinel of an instance ring: one block, never in a child chain or the tag table. A ring
// that has held more than kWalkedMembers instances also keeps them by number, in pages of 64
// slots (page p: numbers 64p to 64p+63), so finding an instance by its shown name or placing a
// new number walks no ring; smaller rings are walked. The pages stay below the allocator's large
// requests, which sweep its free lists: one array of every number would outgrow them.
constexpr uint32_t kWalkedMembers = 8;
constexpr uint32_t kPageSlots = 64;
constexpr uint32_t kMaxPages = 65536 / kPageSlots;   // every number of a 16-bit maximum

struct Sentinel {
  hm_node node;
  hm_group_data data;
  hm_instance_info info;
  hm_node*** pages;     // NULL until the ring outgrows its walks
  uint16_t page_count;
  bool walked_only;     // a number outside 0 to 65535, or no memory for the pages: never indexed
  uint32_t members;
};

Sentinel* sentinel_block(hm_node* sentinel) { return reinterpret_cast<Sentinel*>(sentinel); }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int32_t used_bytes(int32_t capacity) { return (capacity + 8) / 8; }

const char* safe_name(const hm_node* node) { return node->name != nullptr ? node->name : ""; }

bool is_root(const hm_node* node) { return node->parent == node; }

// A child other than an instance whose name ends in a digit. While a group has none, a shown name
// that ends in a digit can only be an instance's (see find_indexed_instance).
bool digit_named(const hm_node* node) {
  if (instance_info(node) != nullptr) return false;
  size_t length = ::strnlen(safe_name(node), kNameSize);
  return length > 0 && is_digit(node->name[length - 1]);
}

// ---- child chain ---------------------------------------------------------------------------------
// Puts `node` right after `after` among the children of `parent` (`after` == parent: first).
void chain_insert_after(hm_node* parent, hm_group_data* gd, hm_node* after, hm_node* node) {
  hm_node* next = after == parent ? gd->first_child : after->next;
  node->prev = after;
  node->next = next;
  if (after == parent) {
    gd->first_child = node;
  } else {
    after->next = node;
  }
  if (next == parent) {
    gd->last_child = node;
  } else {
    next->prev = node;
  }
  if (digit_named(node)) {
    ++gd->digit_named;
    node->flags |= kDigitNamed;
  }
}

void chain_remove(hm_node* node) {
  hm_node* parent = node->parent;
  hm_group_data* gd = group_data(parent);
  if (parent == nullptr || is_root(node) || gd == nullptr) return;
  if ((node->flags & kDigitNamed) != 0 && gd->digit_named > 0) --gd->digit_named;
  node->flags &= ~static_cast<uint32_t>(kDigitNamed);
  if (node->prev == parent) {
    gd->first_child = node->next;
  } else if (node->prev != nullptr) {
    node->prev->next = node->next;
  }
  if (node->next == parent) {
    gd->last_child = node->prev;
  } else if (node->next != nullptr) {
    node->next->prev = node->prev;
  }
  node->next = node->prev = nullptr;
}

// ---- instance rings ------------------------------------------------------------------------------
hm_node* ring_next(const hm_node* node) {
  hm_instance_info* info = instance_info(node);
  return info != nullptr ? info->next : nullptr;
}

// Every instance ring of a group's children has a sentinel on the group's `rings` list (linked
// through the sentinel's `next`; its `parent` is the group). A ring's name is the name of its
// lowest instance, so finding a name's ring costs the number of instanced names, not of children.
hm_node* find_ring(hm_node* parent, const char* name, bool ignore_case) {
  hm_group_data* gd = group_data(parent);
  if (gd == nullptr || name == nullptr) return nullptr;
  for (hm_node* s = gd->rings; s != nullptr; s = s->next) {
    hm_node* first = ring_next(s);
    if (first == nullptr || first == s) continue;
    const char* ring_name = safe_name(first);
    if ((ignore_case ? ::strcasecmp(ring_name, name) : std::strcmp(ring_name, name)) == 0) return s;
  }
  return nullptr;
}

// The lowest instance of `parent` named exactly `name`, or NULL.
hm_node* first_instanced_child(hm_node* parent, const char* name) {
  hm_node* sentinel = find_ring(parent, name, false);
  return sentinel != nullptr ? ring_next(sentinel) : nullptr;
}

hm_node* ring_prev(const hm_node* node) {
  hm_instance_info* info = instance_info(node);
  return info != nullptr ? info->prev : nullptr;
}

// ---- ring index -----------------------------------------------------------------------------------
hm_node** slot_of(const Sentinel* s, uint32_t number) {
  uint32_t page = number / kPageSlots;
  return page < s->page_count && s->pages[page] != nullptr ? &s->pages[page][number % kPageSlots] : nullptr;
}

void index_free(Sentinel* s) {
  for (uint32_t page = 0; page < s->page_count; ++page) varu_dfree(s->pages[page]);
  varu_dfree(s->pages);
  s->pages = nullptr;
  s->page_count = 0;
}

// Puts `node` in slot `number`; false when no memory.
bool index_put(Sentinel* s, uint32_t number, hm_node* node) {
  uint32_t page = number / kPageSlots;
  if (page >= s->page_count) {
    uint32_t count = std::min(std::max(page + 1, 2u * s->page_count), kMaxPages);
    auto*** pages = static_cast<hm_node***>(hm_alloc(count * sizeof(hm_node**)));
    if (pages == nullptr) return false;
    if (s->pages != nullptr) std::memcpy(pages, s->pages, s->page_count * sizeof(hm_node**));
    varu_dfree(s->pages);
    s->pages = pages;
    s->page_count = static_cast<uint16_t>(count);
  }
  if (s->pages[page] == nullptr) s->pages[page] = static_cast<hm_node**>(hm_alloc(kPageSlots * sizeof(hm_node*)));
  if (s->pages[page] == nullptr) return false;
  s->pages[page][number % kPageSlots] = node;
  return true;
}

// A new member of the ring of `sentinel`: in its slot, or the index made once the ring outgrows
// its walks.
void index_added(hm_node* sentinel, hm_node* node) {
  Sentinel* s = sentinel_block(sentinel);
  int32_t number = instance_info(node)->number;
  bool indexed = s->pages != nullptr;
  ++s->members;
  if (s->walked_only) return;
  if (number < 0 || static_cast<uint32_t>(number) >= kMaxPages * kPageSlots) {
    s->walked_only = true;
  } else if (indexed) {
    s->walked_only = !index_put(s, static_cast<uint32_t>(number), node);
  } else if (s->members > kWalkedMembers) {
    for (hm_node* m = ring_next(sentinel); m != sentinel && !s->walked_only; m = ring_next(m)) {
      s->walked_only = !index_put(s, static_cast<uint32_t>(instance_info(m)->number), m);
    }
  }
  if (s->walked_only) index_free(s);
}

// A member leaves: its slot is cleared, and its page freed when that leaves it empty.
void index_removed(hm_node* sentinel, const hm_node* node) {
  Sentinel* s = sentinel_block(sentinel);
  if (s->members > 0) --s->members;
  int32_t number = instance_info(node)->number;
  hm_node** slot = s->pages != nullptr && number >= 0 ? slot_of(s, static_cast<uint32_t>(number)) : nullptr;
  if (slot == nullptr || *slot != node) return;
  *slot = nullptr;
  hm_node**& page = s->pages[static_cast<uint32_t>(number) / kPageSlots];
  if (std::all_of(page, page + kPageSlots, [](const hm_node* m) { return m == nullptr; })) {
    varu_dfree(page);
    page = nullptr;
  }
}

// Member `number` of the ring of `sentinel`, or NULL: from its slot, or a walk of a small ring.
hm_node* ring_member(hm_node* sentinel, uint32_t number) {
  const Sentinel* s = sentinel_block(sentinel);
  if (s->pages != nullptr) {
    hm_node** slot = slot_of(s, number);
    return slot != nullptr ? *slot : nullptr;
  }
  for (hm_node* m = ring_next(sentinel); m != nullptr && m != sentinel; m = ring_next(m)) {
    int32_t at = instance_info(m)->number;
    if (at >= 0 && static_cast<uint32_t>(at) >= number) return static_cast<uint32_t>(at) == number ? m : nullptr;
  }
  return nullptr;
}

// The number that `digits` shows in a shown name, as written there (no sign, no leading zero),
// in *number; false for any other text.
bool shown_number(const char* digits, uint32_t* number) {
  if (digits[0] == '\0' || (digits[0] == '0' && digits[1] != '\0')) return false;
  uint32_t n = 0;
  for (const char* d = digits; *d != '\0'; ++d) {
    if (!is_digit(*d)) return false;
    n = n * 10 + static_cast<uint32_t>(*d - '0');
    if (n >= kMaxPages * kPageSlots) return false;   // more than any indexed number
  }
  *number = n;
  return true;
}

// The member of the ring of `sentinel` after which number `number` belongs. With the index: the
// nearest slot in use at or below it (new instances take the lowest free number, so the holes
// below it are few); else a walk down from the highest instance, so appending the next highest
// number costs one step.
hm_node* ring_position(hm_node* sentinel, int32_t number) {
  const Sentinel* s = sentinel_block(sentinel);
  if (s->pages != nullptr && number >= 0) {
    for (uint32_t n = std::min(static_cast<uint32_t>(number) + 1, s->page_count * kPageSlots); n > 0; --n) {
      hm_node** slot = slot_of(s, n - 1);
      if (slot != nullptr && *slot != nullptr) return *slot;
    }
    return sentinel;
  }
  hm_node* at = ring_prev(sentinel);
  for (int steps = 0; at != nullptr && at != sentinel && steps < kRingLimit; ++steps) {
    if (instance_info(at)->number <= number) return at;
    at = ring_prev(at);
  }
  return sentinel;
}

void ring_insert_before(hm_node* at, hm_node* node) {
  hm_instance_info* at_info = instance_info(at);
  hm_instance_info* info = instance_info(node);
  hm_node* before = at_info->prev;
  info->prev = before;
  info->next = at;
  instance_info(before)->next = node;
  at_info->prev = node;
}

void ring_remove(hm_node* node) {
  hm_instance_info* info = instance_info(node);
  hm_instance_info* prev = instance_info(info->prev);
  hm_instance_info* next = instance_info(info->next);
  if (prev != nullptr) prev->next = info->next;
  if (next != nullptr) next->prev = info->prev;
  info->next = info->prev = nullptr;
}

hm_node* new_sentinel(hm_node* parent) {
  hm_group_data* pgd = group_data(parent);
  if (pgd == nullptr) return nullptr;
  auto* s = static_cast<Sentinel*>(hm_alloc(sizeof(Sentinel)));
  if (s == nullptr) return nullptr;
  s->node.tag = -1;
  s->node.kind = kGroup;
  s->node.name = "";
  s->node.description = "";
  s->node.data = &s->data;
  s->data.first_child = s->data.last_child = &s->node;
  s->data.instance = &s->info;
  s->info.number = -1;
  s->info.next = s->info.prev = &s->node;
  s->node.parent = parent;
  s->node.next = pgd->rings;
  pgd->rings = &s->node;
  return &s->node;
}

void free_sentinel(hm_node* sentinel) {
  hm_group_data* pgd = group_data(sentinel->parent);
  if (pgd != nullptr) {
    for (hm_node** link = &pgd->rings; *link != nullptr; link = &(*link)->next) {
      if (*link == sentinel) {
        *link = sentinel->next;
        break;
      }
    }
  }
  index_free(sentinel_block(sentinel));
  varu_dfree(sentinel);
}

// ---- deletion ------------------------------------------------------------------------------------
bool in_subtree(const hm_node* node, const hm_node* top) {
  for (int steps = 0; node != nullptr && steps < kWalkLimit; ++steps) {
    if (node == top) return true;
    if (is_root(node)) return false;
    node = node->parent;
  }
  return false;
}

template <typename Fn>
void for_each_in_subtree(hm_node* top, Fn&& fn) {
  fn(top);
  hm_group_data* gd = group_data(top);
  if (gd == nullptr) return;
  for (hm_node* c = gd->first_child; c != top && c != nullptr; c = c->next) for_each_in_subtree(c, fn);
}

// Links that point into the subtree of `top` from outside it.
uint32_t outside_links_into(hm_node* top) {
  uint32_t incoming = 0;
  for_each_in_subtree(top, [&](hm_node* n) { incoming += n->link_count; });
  if (incoming == 0) return 0;
  uint32_t inside = 0;
  for_each_in_subtree(top, [&](hm_node* n) {
    hm_link_data* ld = link_data(n);
    if (ld != nullptr && in_subtree(ld->target, top)) ++inside;
  });
  return incoming > inside ? incoming - inside : 0;
}

void free_node(hm_node* node) {
  // Data in the node's block goes with the node. A node in its instance's allocation is counted
  // off it (its instance, the nearest instanced ancestor, is freed after it); the last frees it.
  bool own_block = (node->flags & kDataInBlock) == 0;
  hm_node* instance = (node->flags & kInInstanceBlock) != 0 ? get_dynamic_ancester(node) : nullptr;
  switch (node->kind) {
    case kGroup: {
      hm_group_data* gd = group_data(node);
      if (gd != nullptr) {
        if (own_block) varu_dfree(gd->instance);
        varu_dfree(gd->params);
        if (own_block) varu_dfree(gd);
      }
      break;
    }
    case kProperty: {
      hm_property* p = property_data(node);
      if (p != nullptr && p->owns_allowed) varu_dfree(const_cast<char*>(p->allowed));
      release_property_value(p);
      if (own_block) varu_dfree(p);
      break;
    }
    case kLink: {
      hm_link_data* ld = link_data(node);
      if (ld != nullptr) varu_dfree(ld->params);
      if (own_block) varu_dfree(ld);
      break;
    }
    default:   // an action's descriptor is static
      break;
  }
  node->data = nullptr;
  if ((node->flags & kOwnsName) != 0) varu_dfree(const_cast<char*>(node->name));
  if ((node->flags & kOwnsDescription) != 0) varu_dfree(const_cast<char*>(node->description));
  node->flags &= ~static_cast<uint32_t>(kOwnsName | kOwnsDescription);
  if ((node->flags & kStaticNode) != 0) return;
  if ((node->flags & kInInstanceBlock) == 0) {
    varu_dfree(node);
  } else if (InstanceArena* arena = instance_arena(instance); arena != nullptr && --arena->nodes == 0) {
    varu_dfree(arena);
  }
}

// Deletes the subtree of `node`; nothing links into it any more.
void delete_subtree(hm_node* node, hm_hierarchy* h) {
  if (hm_link_data* ld = link_data(node); ld != nullptr && ld->target != nullptr && ld->target->link_count > 0) {
    --ld->target->link_count;
  }
  if (hm_group_data* gd = group_data(node); gd != nullptr) {
    for (hm_node* c = gd->first_child; c != node && c != nullptr;) {
      hm_node* next = c->next;
      delete_subtree(c, h);
      c = next;
    }
    if (hm_instance_info* info = gd->instance; info != nullptr) {
      if (info->ring != nullptr) index_removed(info->ring, node);
      info->ring = nullptr;
      hm_node* before = info->prev;
      hm_node* after = info->next;
      ring_remove(node);
      if (info->bitfield != nullptr) {
        clear_bit(info->bitfield, info->max_instances, info->number - info->base);
      }
      // The last instance of the name takes its sentinel with it.
      hm_instance_info* b = instance_info(before);
      if (before != nullptr && before == after && b != nullptr && b->number == -1 && b->next == before) {
        free_sentinel(before);
      }
    }
  }
  if (node->tag >= 0 && node->tag < h->capacity && h->table[node->tag] == node) {
    clear_bit(h->used, h->capacity, node->tag);
    h->table[node->tag] = nullptr;
    if (node->tag < h->free_hint) h->free_hint = node->tag;
  }
  chain_remove(node);
  free_node(node);
}

// Makes the subtree of `top` free of links from outside: such links are deleted (with the links
// that point at them), and links inside it that point into it are detached, so the walk that
// frees the subtree may free a target before its link. No link is left pointing at freed memory.
void unlink_links_into(hm_node* top, hm_hierarchy* h) {
  uint32_t incoming = 0;
  for_each_in_subtree(top, [&](hm_node* n) { incoming += n->link_count; });
  if (incoming == 0) return;
  for (int32_t tag = 0; tag < h->capacity; ++tag) {
    hm_node* n = h->table[tag];
    hm_link_data* ld = link_data(n);
    if (ld != nullptr && !in_subtree(n, top) && in_subtree(ld->target, top)) _delete_node(n);
  }
  for_each_in_subtree(top, [&](hm_node* n) {
    hm_link_data* ld = link_data(n);
    if (ld == nullptr || !in_subtree(ld->target, top)) return;
    if (ld->target->link_count > 0) --ld->target->link_count;
    ld->target = nullptr;
  });
}

// ---- lookups -------------------------------------------------------------------------------------
uint32_t effective_kind(hm_node* node) {
  hm_node* target = resolve_link(node);
  return target != nullptr ? target->kind : node->kind;
}

hm_node* find_global_action(hm_node* near, const char* name) {
  hm_hierarchy* h = hm_find_hierarchy_by_node(near);
  hm_node* root = h != nullptr ? h->root : hierarchy_name_.root;
  hm_group_data* gd = group_data(root);
  if (gd == nullptr) return nullptr;
  for (hm_node* c = gd->first_child; c != root && c != nullptr; c = c->next) {
    const hm_action_descriptor* d = action_data(c);
    if (d != nullptr && d->global == 1 && ::strcasecmp(safe_name(c), name) == 0) return c;
  }
  return nullptr;
}

// A lookup by a shown name that ends in a digit, through the rings: true with the answer in
// *found (NULL: no such child), false when the walk over the children must decide. Only an
// instance can show such a name while the name is not cut at 34 characters and no other child's
// name ends in a digit; its ring finds it by number, unless the ring is left to its walks. When
// two instances show the name ("Target1" number 7 and "Target" number 17) the walk gives the
// first in child order.
bool find_indexed_instance(const hm_group_data* gd, const char* name, hm_node** found) {
  size_t length = ::strnlen(name, kNameSize);
  if (gd->digit_named != 0 || length == 0 || length >= kNameSize - 1 || !is_digit(name[length - 1])) return false;
  hm_node* match = nullptr;
  for (hm_node* ring = gd->rings; ring != nullptr; ring = ring->next) {
    if (sentinel_block(ring)->walked_only) return false;
    hm_node* first = ring_next(ring);
    if (first == nullptr || first == ring) continue;
    const char* base = safe_name(first);
    size_t base_length = ::strnlen(base, kNameSize);
    if (base_length >= length || ::strncasecmp(base, name, base_length) != 0) continue;
    uint32_t number = 0;
    hm_node* member = shown_number(name + base_length, &number) ? ring_member(ring, number) : nullptr;
    if (member == nullptr) continue;
    if (match != nullptr) return false;
    match = member;
  }
  *found = match;
  return true;
}

hm_node* find_property(hm_node* group, const char* name) {
  return resolve_link(internal_get_node(group, name, kProperty));
}

}  // namespace

// ---- node allocation -----------------------------------------------------------------------------
void* hm_alloc(uint32_t size) {
  if (g_alloc_budget == 0) return nullptr;
  if (g_alloc_budget > 0) --g_alloc_budget;
  return varu_dcalloc(size);
}

void hm_fail_allocations_after(int32_t count) { g_alloc_budget = count < 0 ? -1 : count; }

InstanceArena* instance_arena(hm_node* instance) {
  if (instance == nullptr || (instance->flags & kInInstanceBlock) == 0) return nullptr;
  return reinterpret_cast<InstanceArena*>(reinterpret_cast<char*>(instance) - sizeof(InstanceArena));
}

// ---- typed views ---------------------------------------------------------------------------------
hm_group_data* group_data(const hm_node* node) {
  return node != nullptr && node->kind == kGroup ? static_cast<hm_group_data*>(node->data) : nullptr;
}

hm_property* property_data(const hm_node* node) {
  return node != nullptr && node->kind == kProperty ? static_cast<hm_property*>(node->data) : nullptr;
}

const hm_action_descriptor* action_data(const hm_node* node) {
  return node != nullptr && node->kind == kAction ? static_cast<const hm_action_descriptor*>(node->data) : nullptr;
}

hm_link_data* link_data(const hm_node* node) {
  return node != nullptr && node->kind == kLink ? static_cast<hm_link_data*>(node->data) : nullptr;
}

hm_instance_info* instance_info(const hm_node* node) {
  hm_group_data* gd = group_data(node);
  return gd != nullptr ? gd->instance : nullptr;
}

hm_node* resolve_link(hm_node* node) {
  for (int steps = 0; steps < kWalkLimit; ++steps) {
    hm_link_data* ld = link_data(node);
    if (ld == nullptr) return node;
    node = ld->target;
  }
  return nullptr;
}

hm_node* resolved(hm_node* node) { return node != nullptr && node->kind == kLink ? resolve_link(node) : node; }

hm_node* as_group(hm_node* node) {
  hm_node* group = resolved(node);
  return group != nullptr && group->kind == kGroup && group_data(group) != nullptr ? group : nullptr;
}

// Whether the shown name of `node` equals `name` ignoring case, without formatting it: lookups
// compare every sibling, so this is the inner loop of every name lookup.
static bool shown_name_is(const hm_node* node, const char* name) {
  const char* base = safe_name(node);
  size_t base_len = ::strnlen(base, kNameSize);
  hm_instance_info* info = instance_info(node);
  char digits[16];
  size_t digit_len = 0;
  if (info != nullptr) {
    uint32_t magnitude = info->number < 0 ? 0u - static_cast<uint32_t>(info->number) : static_cast<uint32_t>(info->number);
    char reversed[12];
    do {
      reversed[digit_len++] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    size_t at = 0;
    if (info->number < 0) digits[at++] = '-';
    while (digit_len > 0) digits[at++] = reversed[--digit_len];
    digit_len = at;
  }
  if (base_len + digit_len > kNameSize - 1) {   // the shown name is cut: compare the cut text
    char shown[kNameSize];
    hm_instance_name(node, shown);
    return ::strcasecmp(shown, name) == 0;
  }
  return ::strncasecmp(base, name, base_len) == 0 && std::strncmp(name + base_len, digits, digit_len) == 0 &&
         name[base_len + digit_len] == '\0';
}

void hm_instance_name(const hm_node* node, char out[kNameSize]) {
  if (out == nullptr) return;
  out[0] = '\0';
  if (node == nullptr) return;
  hm_instance_info* info = instance_info(node);
  if (info != nullptr) {
    std::snprintf(out, kNameSize, "%s%d", safe_name(node), static_cast<int>(info->number));
  } else {
    std::snprintf(out, kNameSize, "%s", safe_name(node));
  }
}

// ---- registry and tags ---------------------------------------------------------------------------
int hm_setup_hierarchy(hm_hierarchy* h) {
  if (h == nullptr) return 1;
  int slot = -1;
  for (int i = 0; i < kRegistrySize && slot < 0; ++i) {
    if (hierarchy_table[i] == h) slot = i;
  }
  // Set up again (after a failed bootstrap): only an empty table may be replaced.
  if (slot >= 0 && h->used != nullptr && get_first_one(h->used, h->capacity) >= 0) return 1;
  for (int i = 0; i < kRegistrySize && slot < 0; ++i) {
    if (hierarchy_table[i] == nullptr) slot = i;
  }
  if (slot < 0) return 1;   // every slot taken
  auto** table = static_cast<hm_node**>(hm_alloc(kTableStep * sizeof(hm_node*)));
  auto* used = static_cast<uint8_t*>(hm_alloc(static_cast<uint32_t>(used_bytes(kTableStep))));
  if (table == nullptr || used == nullptr) {
    varu_dfree(table);
    varu_dfree(used);
    return 1;
  }
  if (hierarchy_table[slot] == h) {
    varu_dfree(h->table);
    varu_dfree(h->used);
  }
  h->capacity = kTableStep;
  h->table = table;
  h->used = used;
  h->free_hint = 0;
  persistency_priority = 1;
  if (hierarchy_table[slot] == nullptr) ++hierarchy_count;
  hierarchy_table[slot] = h;
  return 0;
}

hm_hierarchy* hm_find_hierarchy(const char* name) {
  if (name == nullptr) return nullptr;
  for (hm_hierarchy* h : hierarchy_table) {
    if (h != nullptr && h->name != nullptr && std::strcmp(h->name, name) == 0) return h;
  }
  return nullptr;
}

hm_hierarchy* hm_find_hierarchy_by_node(const hm_node* node) {
  if (node == nullptr) return nullptr;
  for (hm_hierarchy* h : hierarchy_table) {
    if (h != nullptr && h->table != nullptr && node->tag >= 0 && node->tag < h->capacity &&
        h->table[node->tag] == node) {
      return h;
    }
  }
  return nullptr;
}

hm_node* hm_get_root(const char* name) {
  hm_hierarchy* h = hm_find_hierarchy(name);
  return h != nullptr ? h->root : nullptr;
}

hm_node* get_node(int32_t tag) {
  hm_hierarchy* h = hm_find_hierarchy(varu_current_hierarchy);
  if (h == nullptr || h->table == nullptr || tag < 0 || tag >= h->capacity) return nullptr;
  return h->table[tag];
}

int reinit_hm(hm_hierarchy* h) {
  if (h == nullptr) return 1;
  int32_t capacity = h->capacity + kTableStep;
  auto** table = static_cast<hm_node**>(hm_alloc(static_cast<uint32_t>(capacity) * sizeof(hm_node*)));
  auto* used = static_cast<uint8_t*>(hm_alloc(static_cast<uint32_t>(used_bytes(capacity))));
  if (table == nullptr || used == nullptr) {
    varu_dfree(table);
    varu_dfree(used);
    return 1;
  }
  if (h->table != nullptr) std::memcpy(table, h->table, static_cast<size_t>(h->capacity) * sizeof(hm_node*));
  if (h->used != nullptr) std::memcpy(used, h->used, static_cast<size_t>(used_bytes(h->capacity)));
  varu_dfree(h->table);
  varu_dfree(h->used);
  h->table = table;
  h->used = used;
  h->capacity = capacity;
  return 0;
}

// ---- adding --------------------------------------------------------------------------------------
// The lowest free tag, searched from the hint (whole bytes), so adding costs the same however
// many tags are in use below it.
static int32_t lowest_free_tag(hm_hierarchy* h) {
  int32_t from_byte = h->free_hint > 0 ? h->free_hint / 8 : 0;
  if (from_byte * 8 >= h->capacity) from_byte = 0;
  int32_t found = get_first_zero(h->used + from_byte, h->capacity - from_byte * 8);
  if (found >= 0) return from_byte * 8 + found;
  return from_byte == 0 ? -1 : get_first_zero(h->used, h->capacity);
}

int node_exists(hm_node* node) {
  if (node == nullptr) return 0;
  hm_node* parent = node->parent;
  hm_group_data* gd = group_data(parent);
  if (gd == nullptr || is_root(node)) return 0;
  hm_instance_info* info = instance_info(node);
  hm_link_data* ld = link_data(node);
  if (info != nullptr) {
    // Instances of the name (ignoring case) are on their rings, highest first.
    for (hm_node* ring = gd->rings; ring != nullptr; ring = ring->next) {
      hm_node* first = ring_next(ring);
      if (first == nullptr || first == ring || ::strcasecmp(safe_name(first), safe_name(node)) != 0) continue;
      hm_node* at = ring_position(ring, info->number);
      if (at != ring && at != node && instance_info(at)->number == info->number) return 1;
    }
    return 0;
  }
  if (ld == nullptr) return 0;   // only instances and links can clash
  for (hm_node* c = gd->first_child; c != parent && c != nullptr; c = c->next) {
    if (c == node || c->kind != node->kind || ::strcasecmp(safe_name(c), safe_name(node)) != 0) continue;
    hm_link_data* other_link = link_data(c);
    if (other_link != nullptr && other_link->target == ld->target) return 1;
  }
  return 0;
}

int32_t add_node(hm_node* node, hm_hierarchy* h) {
  if (node == nullptr || h == nullptr || h->table == nullptr) return -1;
  if (hm_find_hierarchy_by_node(node) != nullptr) return -1;   // already in a tree
  hm_group_data* own = group_data(node);
  if (node->kind == kGroup && own == nullptr) return -1;
  hm_node* parent = node->parent;
  bool self_parent = parent == node;
  hm_group_data* pgd = self_parent ? nullptr : group_data(parent);
  if (parent != nullptr && !self_parent && pgd == nullptr) return -1;   // children only under groups
  if (node_exists(node)) return -1;

  int32_t tag = lowest_free_tag(h);
  while (tag < 0) {
    int32_t limit = h->max_tags > 0 ? h->max_tags : kMaxTags;
    if (h->capacity > limit - 1) {
      std::puts("Hierarchy FULL!");
      return -1;
    }
    if (reinit_hm(h) != 0) return -1;
    tag = lowest_free_tag(h);
  }

  // Place an instance among its same-named siblings: ring and child chain in ascending order.
  hm_node* after = pgd != nullptr ? pgd->last_child : nullptr;
  hm_instance_info* info = own != nullptr ? own->instance : nullptr;
  if (info != nullptr) {
    hm_node* sentinel = find_ring(parent, safe_name(node), false);
    if (sentinel == nullptr) {
      sentinel = new_sentinel(parent);
      if (sentinel == nullptr) return -1;
      ring_insert_before(sentinel, node);
    } else {
      // Before the first instance with a higher number; in the chain right after the node that
      // precedes that instance, or after the highest instance when the new number is highest.
      hm_node* at = ring_next(ring_position(sentinel, info->number));
      after = at == sentinel ? ring_prev(sentinel) : at->prev;
      ring_insert_before(at, node);
    }
    info->ring = sentinel;
    index_added(sentinel, node);
  }

  node->tag = tag;
  if (own != nullptr) own->first_child = own->last_child = node;
  if (pgd != nullptr) {
    chain_insert_after(parent, pgd, after, node);
  } else {
    node->next = node->prev = node;   // no parent, or "ROOT" (its own parent)
  }
  set_bit(h->used, h->capacity, tag);
  h->table[tag] = node;
  h->free_hint = tag + 1;
  return tag;
}

hm_node* create_link(hm_node* parent, const char* name, hm_node* target, hm_node* invoked_on, hm_node* action,
                     const char* params) {
  hm_hierarchy* h = hm_find_hierarchy_by_node(parent);
  if (h == nullptr || name == nullptr || hm_find_hierarchy_by_node(target) == nullptr) return nullptr;
  auto* block = static_cast<NodeBlock<hm_link_data>*>(hm_alloc(sizeof(NodeBlock<hm_link_data>)));
  size_t name_len = ::strnlen(name, kNameSize - 1);
  auto* own_name = static_cast<char*>(hm_alloc(static_cast<uint32_t>(name_len + 1)));
  char (*own_params)[kValueSize] = nullptr;
  if (params != nullptr) {
    own_params = static_cast<char (*)[kValueSize]>(hm_alloc(kParamCount * kValueSize));
  }
  if (block == nullptr || own_name == nullptr || (params != nullptr && own_params == nullptr)) {
    varu_dfree(block);
    varu_dfree(own_name);
    varu_dfree(own_params);
    return nullptr;
  }
  hm_node* node = &block->node;
  hm_link_data* ld = &block->data;
  std::memcpy(own_name, name, name_len);
  own_name[name_len] = '\0';
  if (own_params != nullptr) std::memcpy(own_params, params, kParamCount * kValueSize);
  node->kind = kLink;
  node->name = own_name;
  node->description = target->description;   // the link goes before its target does
  node->flags = kOwnsName | kDataInBlock;
  node->parent = parent;
  node->data = ld;
  ld->target = target;
  ld->invoked_on = invoked_on;
  ld->creating_action = action;
  ld->params = own_params;
  if (add_node(node, h) < 0) {
    free_node(node);
    return nullptr;
  }
  // A refused link takes no priority.
  if (action != nullptr) ld->priority = persistency_priority++;
  ++target->link_count;
  return node;
}

// ---- deleting ------------------------------------------------------------------------------------
uint32_t delete_node(hm_node* node) {
  if (hm_find_hierarchy_by_node(node) == nullptr) return kStatusFailed;
  if (outside_links_into(node) > 0) return kStatusStillLinked;
  _delete_node(node);
  return kStatusOk;
}

void _delete_node(hm_node* node) {
  hm_hierarchy* h = hm_find_hierarchy_by_node(node);
  if (h == nullptr) return;
  unlink_links_into(node, h);
  delete_subtree(node, h);
}

hm_node* get_dynamic_ancester(hm_node* node) {
  for (int steps = 0; node != nullptr && steps < kWalkLimit; ++steps) {
    if (is_root(node)) return nullptr;
    if (instance_info(node) != nullptr) return node;
    node = node->parent;
  }
  return nullptr;
}

// ---- bootstrap and shut-down ---------------------------------------------------------------------
int init_hm() { return init_hm_data(); }

int init_hm_data() {
  hm_hierarchy* h = &hierarchy_name_;
  if (h->table != nullptr && h->table[0] != nullptr) return 1;   // the tree stands already
  h->root = &ROOT;
  h->name = "";
  h->max_tags = kMaxTags;
  if (hm_setup_hierarchy(h) != 0) return 1;

  ROOT = hm_node{};
  ROOT.kind = kGroup;
  ROOT.name = "ROOT";
  ROOT.description = " ";
  ROOT.parent = &ROOT;
  ROOT.flags = kStaticNode;
  auto* root_data = static_cast<hm_group_data*>(hm_alloc(sizeof(hm_group_data)));
  if (root_data == nullptr) return 1;
  root_data->first_child = root_data->last_child = &ROOT;
  ROOT.data = root_data;
  if (add_node(&ROOT, h) < 0) {
    varu_dfree(root_data);
    ROOT.data = nullptr;
    return 1;
  }

  for (const RootProperty& rp : kRootProperties) {
    hm_node* node = rp.node;
    *node = hm_node{};
    node->kind = kProperty;
    node->name = rp.name;
    node->description = rp.description;
    node->parent = &ROOT;
    node->flags = kStaticNode;
    auto* p = static_cast<hm_property*>(hm_alloc(sizeof(hm_property)));
    if (p == nullptr) {
      _delete_node(&ROOT);
      return 1;
    }
    set_property_value(p, rp.value);
    p->handler = rp.handler;
    p->access = rp.access;
    p->vtype = rp.vtype;
    p->min = rp.min;
    p->max = rp.max;
    p->allowed = rp.allowed;
    node->data = p;
    if (add_node(node, h) < 0) free_node(node);   // start-up goes on without it
  }

  if (backend_init() != 0) {
    _delete_node(&ROOT);
    return 1;
  }
  return 0;
}

void exit_hm() {
  exit_hm_data();
  for (hm_hierarchy*& h : hierarchy_table) {
    if (h == nullptr) continue;
    hm_node* root = h->root;
    if (root != nullptr && hm_find_hierarchy_by_node(root) == h) _delete_node(root);
    // Nodes outside the root's subtree (added without a parent) go too.
    for (int32_t tag = 0; tag < h->capacity; ++tag) {
      if (h->table[tag] != nullptr) _delete_node(h->table[tag]);
    }
    varu_dfree(h->table);
    varu_dfree(h->used);
    h->table = nullptr;
    h->used = nullptr;
    h->capacity = 0;
    h = nullptr;
  }
  hierarchy_count = 0;
}

void exit_hm_data() { backend_exit(); }

// ---- lookups -------------------------------------------------------------------------------------
hm_node* internal_get_node(hm_node* parent, const char* name, uint32_t kind) {
  parent = resolve_link(parent);
  hm_group_data* gd = group_data(parent);
  if (gd == nullptr || name == nullptr || gd->first_child == parent) return nullptr;
  hm_node* instance = nullptr;
  if ((kind == 0 || kind == kGroup) && find_indexed_instance(gd, name, &instance)) return instance;
  for (hm_node* c = gd->first_child; c != parent && c != nullptr; c = c->next) {
    if (kind != 0 && effective_kind(c) != kind) continue;
    if (shown_name_is(c, name)) return c;
  }
  return kind == kAction ? find_global_action(parent, name) : nullptr;
}

hm_node* get_first_instance(hm_node* parent, const char* name) {
  return first_instanced_child(resolve_link(parent), name);
}

uint32_t internal_get_property(hm_node* group, const char* name, char* buf) {
  hm_node* prop = find_property(group, name);
  hm_property* p = property_data(prop);
  if (p == nullptr || buf == nullptr) return kStatusFailed;
  if (p->handler == nullptr) {
    copy_property_value(p, buf);
    return kStatusOk;
  }
  return p->handler(prop, buf, kGet);
}

bool read_property(hm_node* group, const char* name, char out[kValueSize]) {
  std::memset(out, 0, kValueSize);
  if (group == nullptr || internal_get_property(group, name, out) != 0) {
    out[0] = '\0';
    return false;
  }
  out[kValueSize - 1] = '\0';
  return true;
}

uint32_t internal_set_property(hm_node* group, const char* name, char* value) {
  hm_node* prop = find_property(group, name);
  hm_property* p = property_data(prop);
  if (p == nullptr || value == nullptr) return kStatusFailed;
  if (p->handler == nullptr) return kStatusNoHandler;
  return p->handler(prop, value, kSet);
}

const hm_action_param* varu_internal_get_param(hm_node* action, const char* name) {
  const hm_action_descriptor* d = action_data(action);
  if (d == nullptr || name == nullptr) return nullptr;
  int32_t count = d->param_count < 0 ? 0 : (d->param_count > kParamCount ? kParamCount : d->param_count);
  for (int32_t i = 0; i < count; ++i) {
    const hm_action_param& param = d->params[i];
    if (param.name != nullptr && ::strcasecmp(param.name, name) == 0) return &param;
  }
  return nullptr;
}

// ---- property cache ------------------------------------------------------------------------------
const char* property_value(const hm_property* p) {
  if (p == nullptr) return "";
  return p->heap_size != 0 ? p->cached.heap_text : p->cached.inline_text;
}

void copy_property_value(const hm_property* p, char out[kValueSize]) {
  const char* text = property_value(p);
  size_t n = ::strnlen(text, kValueSize - 1);
  std::memmove(out, text, n);
  out[n] = '\0';
}

bool set_property_value(hm_property* p, const char* text) {
  if (p == nullptr) return false;
  if (text == nullptr) text = "";
  size_t n = ::strnlen(text, kValueSize - 1);
  char* heap = p->heap_size != 0 ? p->cached.heap_text : nullptr;
  if (n < hm_property::kInlineSize) {
    // `text` may lie in the heap block: it is freed only after the copy.
    std::memmove(p->cached.inline_text, text, n);
    p->cached.inline_text[n] = '\0';
    p->heap_size = 0;
  } else if (heap != nullptr && n < p->heap_size) {
    std::memmove(heap, text, n);
    heap[n] = '\0';
    return true;
  } else {
    auto* block = static_cast<char*>(hm_alloc(static_cast<uint32_t>(n + 1)));
    if (block == nullptr) return false;
    std::memcpy(block, text, n);
    p->cached.heap_text = block;
    p->heap_size = static_cast<uint16_t>(n + 1);
  }
  varu_dfree(heap);
  return true;
}

void release_property_value(hm_property* p) {
  if (p == nullptr || p->heap_size == 0) return;
  varu_dfree(p->cached.heap_text);
  p->heap_size = 0;
  std::memset(p->cached.inline_text, 0, sizeof p->cached.inline_text);
}

namespace {

// The formatted text as the cached value of `p`, with the formatting result in *n; false when
// there is no memory for the text.
bool format_value(hm_property* p, int* n, const char* fmt, va_list ap) {
  char text[kValueSize];
  *n = std::vsnprintf(text, sizeof text, fmt, ap);
  if (*n < 0) text[0] = '\0';
  return set_property_value(p, text);
}

}  // namespace

int set_prop_val(hm_node* group, const char* prop_name, const char* fmt, ...) {
  hm_property* p = property_data(find_property(group, prop_name));
  if (p == nullptr || fmt == nullptr) return 1;
  va_list ap;
  va_start(ap, fmt);
  int n = 0;
  bool stored = format_value(p, &n, fmt, ap);
  va_end(ap);
  return stored ? 0 : 1;
}

int SET_CACHE_PROP_VAL(hm_node* prop, const char* fmt, ...) {
  hm_property* p = property_data(resolve_link(prop));
  if (p == nullptr || fmt == nullptr) return -1;
  va_list ap;
  va_start(ap, fmt);
  int n = 0;
  bool stored = format_value(p, &n, fmt, ap);
  va_end(ap);
  return stored ? n : -1;
}

uint32_t handle_internal_property(hm_node* prop, char* buf, uint32_t op) {
  hm_property* p = property_data(prop);
  if (p == nullptr || buf == nullptr) return kStatusFailed;
  if (op == kGet) {
    copy_property_value(p, buf);
  } else if (op == kSet && !set_property_value(p, buf)) {
    return fail(kStatusFailed, "%s", msg::kOutOfMemory);
  }
  return kStatusOk;
}

}  // namespace vx
