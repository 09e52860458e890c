// What every iSCSI handler shares: refusals with their status, the addressing of a node's
// firmware commands, property reads, and the driver records of sessions, connections and LUNs.
#pragma once

#include <cstdint>
#include <string>

#include "access/adapter_tables.h"
#include "engine/hm.h"

namespace vx {

// Sets the last status and answers 1, the way handlers report a refusal.
uint32_t refuse(uint32_t code, const char* text);

// The last status as it stands when made, put back by a caller that goes on past a failure it
// has dealt with, or whose clean-up must not change what the caller is told.
class KeptStatus {
 public:
  KeptStatus() { varu_get_last_status(&code_, text_); }
  void put_back() const { varu_set_last_status(code_, text_); }

 private:
  uint32_t code_ = 0;
  char text_[kStatusTextSize] = {};
};

// Where a node's commands go: the port handle, the domain (logical HBA number) and the physical
// HBA's port number, found by the ancestor walks.
struct CommandAddress {
  int32_t port;
  uint8_t domain;
  uint8_t phba_port;
};
CommandAddress command_address(hm_node* node);

// read_property (engine/hm.h) into a string.
bool read_property(hm_node* group, const char* name, std::string* out);
// A property's cached value, its handler not run; "" when missing.
std::string cached_value(hm_node* group, const char* name);
// Writes a cached value from a text (never a format); false when the property is missing.
bool set_cached(hm_node* group, const char* name, const std::string& value);

bool equal_nocase(const std::string& a, const std::string& b);
// A decimal or hexadecimal text in full; false for anything else or a value above `max`.
bool parse_number(const std::string& text, int base, uint64_t max, uint64_t* out);

// Text that may stand as a field of a saved record: no comma, no control character.
bool record_safe(const std::string& text);

// ---- driver records ------------------------------------------------------------------------------
instance_backend_record* record_of(hm_node* group);
// Attaches a copy of `rec` (a previous record is released); false when no memory.
bool attach_record(hm_node* group, const instance_backend_record& rec);
void release_record(hm_node* group);
// Releases the driver records of the node and of every group below it, then deletes it.
uint32_t delete_with_records(hm_node* node);

// Nearest ancestor group (the node itself first) whose group name is `name`; NULL at "ROOT".
hm_node* ancestor_named(hm_node* node, const char* name);
// "Vexalon<n>" of the node's adapter under ROOT; NULL when missing.
hm_node* controller_of(hm_node* node);

}  // namespace vx
