#include "iscsi/common.h"

#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "access/walks.h"

namespace vx {
namespace {

// Group name of an instance ("Target" of Target3), or the plain group's name.
bool group_name_is(const hm_node* node, const char* name) {
  return node != nullptr && node->kind == kGroup && node->name != nullptr && ::strcasecmp(node->name, name) == 0;
}

void records_below(hm_node* node, std::vector<void*>* out) {
  hm_group_data* g = group_data(node);
  if (g == nullptr) return;
  if (g->backend_info != nullptr) out->push_back(g->backend_info);
  for (hm_node* c = g->first_child; c != nullptr && c != node; c = c->next) {
    if (c->kind == kGroup) records_below(c, out);
  }
}

}  // namespace

uint32_t refuse(uint32_t code, const char* text) {
  varu_set_last_status(code, text);
  return kStatusFailed;
}

CommandAddress command_address(hm_node* node) {
  return CommandAddress{get_port_number(node), static_cast<uint8_t>(get_domain_id(node) & 0xFF),
                        static_cast<uint8_t>(get_phba_port_number(node) & 0xFF)};
}

bool read_property(hm_node* group, const char* name, std::string* out) {
  char buf[kValueSize];
  const bool ok = read_property(group, name, buf);
  *out = buf;
  return ok;
}

std::string cached_value(hm_node* group, const char* name) {
  hm_property* p = property_data(internal_get_node(group, name, kProperty));
  return p != nullptr ? std::string(property_value(p)) : std::string();
}

bool set_cached(hm_node* group, const char* name, const std::string& value) {
  return set_prop_val(group, name, "%s", value.c_str()) == 0;
}

bool equal_nocase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool parse_number(const std::string& text, int base, uint64_t max, uint64_t* out) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, base);
  if (errno != 0 || end == text.c_str() || *end != '\0' || value > max) return false;
  *out = value;
  return true;
}

bool record_safe(const std::string& text) {
  for (unsigned char c : text) {
    if (c == ',' || c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

instance_backend_record* record_of(hm_node* group) {
  hm_group_data* g = group_data(group);
  return g != nullptr ? static_cast<instance_backend_record*>(g->backend_info) : nullptr;
}

bool attach_record(hm_node* group, const instance_backend_record& rec) {
  hm_group_data* g = group_data(group);
  if (g == nullptr) return false;
  auto* copy = static_cast<instance_backend_record*>(varu_dmalloc(sizeof rec));
  if (copy == nullptr) return false;
  *copy = rec;
  release_record(group);
  g->backend_info = copy;
  return true;
}

void release_record(hm_node* group) {
  hm_group_data* g = group_data(group);
  if (g == nullptr || g->backend_info == nullptr) return;
  varu_dfree(g->backend_info);
  g->backend_info = nullptr;
}

uint32_t delete_with_records(hm_node* node) {
  if (node == nullptr) return kStatusFailed;
  // The records are freed only once the nodes are gone: a refused deletion keeps them.
  std::vector<void*> records;
  records_below(node, &records);
  const uint32_t result = delete_node(node);
  if (result == kStatusOk) {
    for (void* r : records) varu_dfree(r);
  }
  return result;
}

hm_node* ancestor_named(hm_node* node, const char* name) {
  for (int steps = 0; node != nullptr && steps < kPathLevels; ++steps, node = node->parent) {
    if (node->tag == 0) return nullptr;
    if (group_name_is(node, name)) return node;
  }
  return nullptr;
}

hm_node* controller_of(hm_node* node) {
  char name[kNameSize];
  std::snprintf(name, sizeof name, "Vexalon%d", get_vx_instance(node));
  return internal_get_node(get_node(0), name, kGroup);
}

}  // namespace vx
