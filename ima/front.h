// What every IMA entry point is made of: the owner id and the log of the lifecycle, identifier
// checks, the status mapping, reads, writes and actions of the hierarchy (through the public
// VARU_* calls only), the lists handed to the host, and the table-driven filling of records.
//
// An entry point has one shape: check its out pointer, check_oid with its type set, walk from the
// identifier's node with group_at / parent_of, read with fill_record or GetVaruVal, change things
// only through SetVaruPropertyVal or invoke_action, and give every hierarchy failure to ErrorCheck.
// Its body runs inside `guarded`, so that no exception reaches the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "ima.h"
#include "varu.h"

namespace vx {

// ---- lifecycle and the front end's log (lifecycle.cpp) ------------------------------------------
// Owner id of the latest IMA_VMW_PluginInit, carried by every identifier issued and accepted.
uint32_t ima_owner_id();
// Appends the formatted text as it is (the formats carry their newlines) to "/tmp/ima.log".
void ppdebug(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// ---- identifiers and status mapping (identifiers.cpp) ------------------------------------------
// A mask of accepted object types: bit k stands for type k.
constexpr uint32_t oid_types(std::initializer_list<uint32_t> types) {
  uint32_t mask = 0;
  for (uint32_t type : types) mask |= 1u << type;
  return mask;
}

// The node handle an identifier carries (its low sequence word).
inline int32_t oid_tag(const IMA_OID& oid) { return static_cast<int32_t>(oid.sequenceLow); }
// An identifier of this owner for a node: the tag and its sign extension.
IMA_OID make_oid(uint32_t type, int32_t tag);

// 0, 0xC0000001 (type outside 1 to 16), 0xC0000002 (not in the mask, or no node stands for it),
// 0xC0000003 (no such node of that type, or another owner's).
IMA_STATUS CheckParameters(int32_t type, uint32_t owner_id, int32_t seq_low, uint32_t seq_high, uint32_t mask);
IMA_STATUS ValidateOidTag(int32_t type, uint32_t owner_id, int32_t tag, uint32_t seq_high);
IMA_STATUS check_oid(const IMA_OID& oid, uint32_t mask);
// check_oid and the first step of a walk: the group at `path` below the identifier's node into *at
// ("" or NULL: the node itself). Where the path's first group is one that only nodes of the
// identifier's type have (walk_proves), finding it proves the kind and the name is not looked up as
// well; not finding it refuses the identifier as the name test does (0xC0000003). A failure of the
// walk past that group, or after the name test, is the walk's status through ErrorCheck.
IMA_STATUS check_oid_at(const IMA_OID& oid, uint32_t mask, const char* path, int32_t* at);
// True when the path's first group proves that a node holding it is of the type.
bool walk_proves(int32_t type, const char* path);

// A hierarchy status as an IMA status: 0 stays 0, IMA codes pass, 0xFFFFFFFF is 0xC0000003, 1 is
// 0xC0000000, the lock time-out 14 is 0x80000005 and any other code 0x80000000. The hierarchy's
// last status is left as it was, and a failure is logged.
IMA_STATUS ErrorCheck(uint32_t status);

// ---- the hierarchy (hierarchy.cpp); results are hierarchy statuses ---------------------------
constexpr size_t kTextSize = VARU_VALUE_SIZE;

// The group at `path` ("Network/NICConfiguration", "" for base itself) below base.
uint32_t group_at(int32_t base, const char* path, int32_t* out);
// Get_Target_tag: the parent's tag; 1 on any failure.
uint32_t Get_Target_tag(int32_t tag, int32_t* parent);
inline uint32_t parent_of(int32_t tag, int32_t* parent) { return Get_Target_tag(tag, parent); }

// A property of the group `tag` (or of its sub-group `group`, a path) into out (kTextSize bytes,
// cleared first).
uint32_t GetVaruPropertyVal(int32_t tag, const char* property, char* out);
uint32_t GetVaruVal(int32_t tag, const char* group, const char* property, char* out);
// Writes a property of the sub-group `group` of `tag`; its handler and rules decide.
uint32_t SetVaruPropertyVal(int32_t tag, const char* group, const char* property, const char* value);

// The tags of the instances of `group` under parent, ascending; an instance that vanishes between
// the listing and its lookup is left out. The listing's failure is returned.
uint32_t Varu_Get_Child_Tags(int32_t parent, const char* group, std::vector<int32_t>* tags);
// The TargetPortal instances of every target in order; the first failure is returned and nothing
// is appended then.
uint32_t Varu_Get_TargetPortal_Tags(const std::vector<int32_t>& targets, std::vector<int32_t>* portals);

// The six 256-byte parameter slots of an action, cleared: a slot left alone is an empty text.
class ActionParams {
 public:
  ActionParams();
  // A caller's wide text as UTF-8; too_long for a text whose UTF-8 form does not fit.
  IMA_STATUS set_wide(int slot, const IMA_WCHAR* text, IMA_STATUS too_long = IMA_ERROR_TEXT_CONVERSION);
  // A text the front end made (a number, an address); false when it does not fit.
  bool set_text(int slot, const char* text);
  void set_number(int slot, uint32_t number);
  void set_absent(int slot);
  const char* text(int slot) const { return slots_[slot]; }
  char (*block())[VARU_VALUE_SIZE] { return slots_; }

 private:
  char slots_[VARU_PARAM_COUNT][VARU_VALUE_SIZE];
};

// Runs the action `name` of the group with the parameters; or finds it and runs it in two steps.
uint32_t invoke_action(int32_t group, const char* name, ActionParams& params);
uint32_t find_action(int32_t group, const char* name, int32_t* action);
uint32_t run_action(int32_t group, int32_t action, ActionParams& params);

// The number n of an instance shown as "<group><n>"; 1 when the node is no such instance.
uint32_t instance_number(int32_t tag, const char* group, uint32_t* number);

// ---- the initiator's targets (iscsi_walks.cpp) ---------------------------------------------------
// The logical HBA an identifier stands for: a logical HBA itself, the LogicalHBA0 of a physical HBA
// or logical network port, or of the physical HBA above a physical network port.
uint32_t lhba_of(const IMA_OID& oid, int32_t* lhba);
// The ancestors of a node, nearest first (parent, grandparent ...).
uint32_t ancestors(int32_t tag, std::initializer_list<int32_t*> out);
// The identifiers of the physical HBA (as the associated node) and the logical HBA of a node
// `levels` below its logical HBA, as the records of targets and discovery addresses hold them.
IMA_STATUS associate(int32_t tag, int levels, IMA_OID* node, IMA_OID* lhba);
// The targets of a logical HBA, and the portals of one target, ascending.
uint32_t targets_of(int32_t lhba, std::vector<int32_t>* targets);
uint32_t portals_of(int32_t target, std::vector<int32_t>* portals);

// Where a target portal, or a session's connection, leads: its address and port texts.
struct Endpoint {
  char address[kTextSize];
  char port[kTextSize];
};
uint32_t read_portal(int32_t portal, Endpoint* out);
uint32_t read_destination(int32_t connection, Endpoint* out);
// Addresses compare without regard to case (IPv6 digits), ports exactly.
bool same_endpoint(const Endpoint& a, const char* address, const char* port);

// Runs an action whose slot 0 names an instance by its number ("InstanceNumber").
uint32_t invoke_on_instance(int32_t group, const char* action, uint32_t number);

// True once a rediscovery of this process had a step fail (never reset).
bool rediscovery_failed();

// ---- sessions (esx50_wrap_session.cpp) ------------------------------------------------------------
// 1 when one of the sessions is a live session to that address and port, else 0.
int check_session(const std::vector<int32_t>& sessions, const char* address, const char* port);
// Logs in to every portal of the target that has no live session, naming the portal each time.
IMA_STATUS IMA_check_session_status(int32_t target);

// ---- lists handed to the host (identifiers.cpp) -------------------------------------------------
// An IMA_OID_LIST of the tags with one type (malloc'd, freed by IMA_FreeMemory) into *out;
// no_memory when it cannot be allocated.
IMA_STATUS publish_oids(uint32_t type, const std::vector<int32_t>& tags, IMA_OID_LIST** out,
                        IMA_STATUS no_memory = IMA_ERROR_INVALID_PARAMETER);

// ---- records (records.cpp) ---------------------------------------------------------------------
// One field of a record filled from one property. Rows run in order; the first failing read or
// conversion ends the fill, with what was written before left in place.
struct FieldRow;
using FieldWriter = IMA_STATUS (*)(const char* text, uint8_t* record, const FieldRow& row);
struct FieldRow {
  const char* group;      // sub-group path below the base node; "" for the base itself
  const char* property;
  FieldWriter write;
  uint32_t offset;        // of the field in the record
  uint32_t size;          // of the field, in bytes
  uint32_t flag;          // write_wide_flagged: offset of the field's valid flag
};
#define VX_FIELD(Record, member) \
  static_cast<uint32_t>(offsetof(Record, member)), static_cast<uint32_t>(sizeof(Record::member))

// Field writers: a wide text (0x80000004 when it does not fit); the same, leaving the field empty
// instead; the same with a valid flag of 1 when the text is not empty; a decimal number of the
// field's width (u32 or u16); a MAC address (zeros when it does not parse); a rate in megabits per
// second; an IMA_IP_ADDRESS (zero bytes when it does not parse); a flag, 0 for "None" or "No" and
// 1 for any other text; bytes from hexadecimal digit pairs, at most the field's size.
IMA_STATUS write_wide(const char* text, uint8_t* record, const FieldRow& row);
IMA_STATUS write_wide_soft(const char* text, uint8_t* record, const FieldRow& row);
IMA_STATUS write_wide_flagged(const char* text, uint8_t* record, const FieldRow& row);
IMA_STATUS write_decimal(const char* text, uint8_t* record, const FieldRow& row);
IMA_STATUS write_mac(const char* text, uint8_t* record, const FieldRow& row);
IMA_STATUS write_rate(const char* text, uint8_t* record, const FieldRow& row);
IMA_STATUS write_ip(const char* text, uint8_t* record, const FieldRow& row);
IMA_STATUS write_flag(const char* text, uint8_t* record, const FieldRow& row);
IMA_STATUS write_hex(const char* text, uint8_t* record, const FieldRow& row);

// Fills the record from the rows, paths relative to base.
IMA_STATUS fill_record(int32_t base, const FieldRow* rows, size_t count, void* record);
template <size_t N>
IMA_STATUS fill_record(int32_t base, const FieldRow (&rows)[N], void* record) {
  return fill_record(base, rows, N, record);
}

// ---- the entry funnel ----------------------------------------------------------------------------
// Runs an entry point's body; an exception (no memory) becomes 0x80000000 and never reaches the host.
template <typename Fn>
IMA_STATUS guarded(Fn&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return IMA_ERROR_GENERAL;
  }
}

}  // namespace vx
