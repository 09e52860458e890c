// The hierarchy's records and the engine's internal calls. Handlers, builders and the back end use
// these directly; they run inside a public call, which already holds the API lock.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "varu.h"

struct hm_node;
using hm_property_handler = uint32_t (*)(hm_node* prop, char* buf, uint32_t op);
using hm_group_refresh_handler = uint32_t (*)(hm_node* group);
using hm_action_handler = uint32_t (*)(hm_node* target, hm_node* action, char params[6][256]);
using hm_action_params = char[6][256];

enum hm_node_kind : uint32_t { kGroup = 1, kProperty = 2, kAction = 3, kLink = 4 };
enum hm_access_flags : uint32_t { kReadOnly = 1, kReadWrite = 2 };
enum hm_property_op : uint32_t { kGet = 0, kSet = 1 };

// Node flags: which texts the node owns. Schema nodes point at the builders' static tables.
enum hm_node_flags : uint32_t {
  kOwnsName = 1u << 0,
  kOwnsDescription = 1u << 1,
  kStaticNode = 1u << 2,   // "ROOT" and its three properties: never freed
  kDigitNamed = 1u << 3,   // counted in its parent's digit_named
  kDataInBlock = 1u << 4,  // data (and a group's instance record) in the node's block, freed with it
  kInInstanceBlock = 1u << 5,   // in the one allocation of its instance (see InstanceArena)
};

struct hm_node {
  int32_t tag;
  uint32_t kind;
  const char* name;
  const char* description;
  hm_node* parent;
  hm_node* next;   // the last child's next is its parent
  hm_node* prev;   // the first child's prev is its parent
  void* data;      // hm_group_data, hm_property, const hm_action_descriptor or hm_link_data
  uint32_t link_count;
  uint32_t flags;
};

struct hm_instance_info {
  uint8_t* bitfield;   // shared by every instance of this name under one parent instance
  hm_node* next;       // ascending number order; the ring closes through the sentinel
  hm_node* prev;
  hm_node* ring;       // the sentinel of its ring while it is on one
  uint16_t max_instances;
  uint16_t base;
  int32_t number;      // -1 in the sentinel
};

struct hm_group_data {
  hm_node* first_child;   // the group itself when empty
  hm_node* last_child;
  hm_group_refresh_handler refresh;
  hm_instance_info* instance;   // NULL for a plain sub-group
  hm_node* invoked_on;
  hm_node* creating_action;
  char (*params)[256];    // six slots of the creating action; allocated only when recorded
  uint32_t priority;      // persistence priority, 0 = not persistent
  uint32_t digit_named;   // children that are not instances and whose names end in a digit
  void* backend_info;     // per-instance driver record, owned by the back end
  hm_node* rings;         // sentinels of the instance rings of this group's children
};

struct hm_property {
  // Room for a cached text of up to 23 characters in the record itself: most values are short,
  // and a fixed 256 bytes in every property was most of the tree's memory.
  static constexpr uint16_t kInlineSize = 24;

  hm_property_handler handler;
  const char* allowed;    // comma list for vtype 4; static schema text unless owns_allowed
  int32_t min;
  int32_t max;
  uint32_t access;
  uint8_t vtype;
  bool owns_allowed;
  // The cached text (at most 255 characters), read and written only through property_value and
  // set_property_value: in `cached.inline_text` while it fits, else in a heap block of
  // `heap_size` bytes. A zeroed record holds the empty text.
  uint16_t heap_size;     // 0: the text is inline
  union {
    char inline_text[kInlineSize];
    char* heap_text;
  } cached;
};

struct hm_link_data {
  hm_node* target;
  hm_node* invoked_on;
  hm_node* creating_action;
  char (*params)[256];
  uint32_t priority;
};

struct hm_action_param {
  uint8_t required;
  const char* name;          // at most 34 characters
  const char* description;
  uint8_t vtype;
  const char* allowed;
  int32_t min;
  int32_t max;
};

struct hm_action_descriptor {
  hm_action_handler handler;
  uint8_t global;
  int32_t param_count;
  hm_action_param params[6];
};

struct hm_hierarchy {
  hm_node* root;
  const char* name;
  int32_t capacity;
  hm_node** table;
  uint8_t* used;
  int32_t max_tags;
  int32_t free_hint;   // every tag below it is in use, so the search for a free tag starts here
};

namespace vx {

// Limits of the engine.
constexpr int kNameSize = 35;
constexpr int kDescriptionSize = 1780;
constexpr int kValueSize = 256;
constexpr int kParamCount = 6;
constexpr int kPathLevels = 1072;
constexpr int kTableStep = 1024;
constexpr int32_t kMaxTags = 226759144;
constexpr int kStatusTextSize = 600;
constexpr int kMaxNewTagIndex = 4096;

// Engine status codes.
constexpr uint32_t kStatusOk = 0;
constexpr uint32_t kStatusFailed = 1;
constexpr uint32_t kStatusNoHandler = 3;
constexpr uint32_t kStatusStillLinked = 4;
constexpr uint32_t kStatusInvalidValue = 6;
constexpr uint32_t kStatusOutOfRange = 7;
constexpr uint32_t kStatusBadLength = 8;
constexpr uint32_t kStatusParameterMissing = 9;
constexpr uint32_t kStatusReadOnly = 10;
constexpr uint32_t kStatusArrayTooSmall = 11;
constexpr uint32_t kStatusLockTimeout = 14;
constexpr uint32_t kStatusNoAdapters = 313;
// A saved file could not be written; the text says what stands.
constexpr uint32_t kStatusSavedFileNotWritten = 336;

// ---- last status (last_status.cpp) -----------------------------------------------------------
void varu_set_last_status(uint32_t code, const char* text);
void varu_get_last_status(uint32_t* code, char* text);   // text: 600 bytes
// Sets code and a formatted text together and returns the code. Caller text is only ever an
// argument, never the format.
uint32_t fail(uint32_t code, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// ---- allocation counters and log (log.cpp) ----------------------------------------------------
// pdebug subsystem mask of the back end (handlers, commands, host layer); the engine uses 1.
constexpr uint32_t kBackEnd = 2;
void* varu_dmalloc(uint32_t size);
void* varu_dcalloc(uint32_t size);          // the same, zero-filled
char* varu_dstrdup(const char* s);
void varu_dfree(void* p);
uint32_t varu_alloc_count();

void pdebug(uint32_t subsystem_mask, int32_t level, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
bool pdebug_enabled(uint32_t subsystem_mask, int32_t level);
int32_t varu_debug_level();
void varu_set_debug_level_value(int32_t level);
bool varu_log_open();
void varu_log_close();
uint32_t handle_VARUDebugLevel(hm_node* prop, char* buf, uint32_t op);

// ---- registry, tags and tree (tree.cpp) ----------------------------------------------------------
extern hm_hierarchy hierarchy_name_;
extern uint32_t persistency_priority;
extern uint32_t* varu_internal_new_tags;
extern uint32_t new_tag_index;
extern char varu_current_hierarchy[20];

int hm_setup_hierarchy(hm_hierarchy* h);
hm_hierarchy* hm_find_hierarchy(const char* name);
hm_hierarchy* hm_find_hierarchy_by_node(const hm_node* node);
hm_node* hm_get_root(const char* name);
hm_node* get_node(int32_t tag);
int reinit_hm(hm_hierarchy* h);

int32_t add_node(hm_node* node, hm_hierarchy* h);
hm_node* create_link(hm_node* parent, const char* name, hm_node* target, hm_node* invoked_on, hm_node* action,
                     const char* params);
uint32_t delete_node(hm_node* node);
void _delete_node(hm_node* node);
hm_node* get_dynamic_ancester(hm_node* node);
int init_hm();
int init_hm_data();
void exit_hm();
void exit_hm_data();

hm_node* internal_get_node(hm_node* parent, const char* name, uint32_t kind);
hm_node* get_first_instance(hm_node* parent, const char* name);
int node_exists(hm_node* node);
uint32_t internal_get_property(hm_node* group, const char* name, char* buf);
// internal_get_property into a text that is always terminated, and empty on failure; false when the
// group or property is missing or its handler fails.
bool read_property(hm_node* group, const char* name, char out[kValueSize]);
uint32_t internal_set_property(hm_node* group, const char* name, char* value);
const hm_action_param* varu_internal_get_param(hm_node* action, const char* name);

// The cached text of a property, always terminated; it stands until the value is set again or the
// node is deleted. "" for NULL.
const char* property_value(const hm_property* p);
// Copies the cached text, terminated, into `out`.
void copy_property_value(const hm_property* p, char out[kValueSize]);
// Sets the cached text to `text`, cut at 255 characters (`text` may be the current value itself);
// false, with the value unchanged, when there is no memory for it.
bool set_property_value(hm_property* p, const char* text);
// Frees a text kept on the heap; the value becomes empty. Done when the property is freed.
void release_property_value(hm_property* p);

int set_prop_val(hm_node* group, const char* prop_name, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
int SET_CACHE_PROP_VAL(hm_node* prop, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
uint32_t handle_internal_property(hm_node* prop, char* buf, uint32_t op);

// Typed views of a node's data block; NULL when the node is not of that kind.
hm_group_data* group_data(const hm_node* node);
hm_property* property_data(const hm_node* node);
const hm_action_descriptor* action_data(const hm_node* node);
hm_link_data* link_data(const hm_node* node);
hm_instance_info* instance_info(const hm_node* node);   // NULL unless an instanced group
hm_node* resolve_link(hm_node* node);                     // follows links to their final target
hm_node* resolved(hm_node* node);   // a link as its final target, any other node as itself
hm_node* as_group(hm_node* node);   // a group, or a link to one, as the group; else NULL
// Shown name: the name, or name and number for an instanced group, at most 34 characters.
void hm_instance_name(const hm_node* node, char out[kNameSize]);

// ---- bitfields and comma lists (tree.cpp) -----------------------------------------------------
uint8_t* alloc_bitfield(uint32_t nbits);
void free_bitfield(uint8_t* field);
int is_set(const uint8_t* field, int32_t nbits, int32_t i);
int set_bit(uint8_t* field, int32_t nbits, int32_t i);
int clear_bit(uint8_t* field, int32_t nbits, int32_t i);
int32_t get_first_zero(const uint8_t* field, int32_t nbits);
int32_t get_first_one(const uint8_t* field, int32_t nbits);

const char* varu_internal_list_search(const char* list, const char* item, int32_t mode);
int varu_internal_list_add(char* list, const char* item, int32_t mode);
int varu_internal_list_del(char* list, const char* item, int32_t mode);

// ---- validation (validate.cpp) ---------------------------------------------------------------------
// Every routine is bounded; `value` is rewritten only for IPv6 (type 2) and must hold 40 bytes
// when vtype is 2.
uint32_t varu_validate(char* value, const char* allowed, uint8_t vtype, int32_t min, int32_t max);
uint32_t varu_validate_val_string(const char* value, int32_t min, int32_t max);
uint32_t varu_validate_val_integer(const char* value, int32_t min, int32_t max);
uint32_t varu_validate_ip(char* value);
uint32_t varu_validate_ipv6(char* value);
uint32_t validateIPv6Address(char* value);
uint32_t varu_validate_subnetmask(const char* value);
uint32_t varu_validate_list(const char* value, const char* allowed);

// ---- persistence text (persist.cpp) ----------------------------------------------------------------
int get_full_path(hm_node* node, char* out);   // out: at least 256 bytes
hm_node* internal_get_node_path(const char* path, uint32_t kind);
int varu_get_line(FILE* stream, char* buf, uint32_t size);
int varu_split(char* text, char ch);

// ---- API lock and the public-call funnel (api.cpp) ---------------------------------------------
// True while the calling thread is inside a public call (holding the API lock).
bool in_public_call();
// Asks for a rebuild of the whole tree (exit_hm, init_hm). It runs when the outermost public call
// of the thread ends, so no node is freed under a running handler.
void request_tree_rebuild();
// Runs `fn` once when the outermost public call of the thread ends, after every handler it ran has
// returned and before a requested rebuild, with the caller's last status kept: work that frees
// nodes a running handler may still hold. Outside a public call nothing is run. A call holds at most
// kCallEndSlots different functions (queuing one again is free); one more is a fault of the code
// that queues: it is dropped, logged at level 1 and stops a build with assertions.
constexpr int kCallEndSlots = 8;
void run_at_call_end(void (*fn)());

// ---- back end seam (access/backend.cpp) -------------------------------------------------------
// Builds every adapter's sub-tree under "ROOT"; 0 on success (also with no adapter: last status
// 313). backend_exit frees the per-instance driver records and closes the devices.
int backend_init();
void backend_exit();

}  // namespace vx
