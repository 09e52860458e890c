// Addressing of the live properties' commands.
#include "adapter/command_target.h"

#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "access/adapter_tables.h"
#include "access/transport.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "adapter/oem_attribs.h"
#include "engine/messages.h"
#include "schema/names_controller.h"
#include "schema/names_port.h"

namespace vx {

bool group_named(const hm_node* node, const char* name) {
  return node != nullptr && node->kind == kGroup && node->name != nullptr && ::strcasecmp(node->name, name) == 0;
}

hm_node* enclosing(hm_node* node, const char* name) {
  for (int steps = 0; node != nullptr && steps < kPathLevels; ++steps, node = node->parent) {
    if (node->tag == 0) return nullptr;   // "ROOT"
    if (group_named(node, name)) return node;
  }
  return nullptr;
}

namespace {

// The controller's part of a target; `addressed` is the group whose handle, domain and port number
// the commands carry.
void fill_target(hm_node* controller, hm_node* addressed, CommandTarget* out) {
  out->controller = controller;
  out->generation = get_vx_type(controller);
  out->adapter = instance_number(controller);
  out->handle = get_port_number(addressed);
  out->domain = static_cast<uint8_t>(get_domain_id(addressed) & 0xFF);
  out->port_number = static_cast<uint8_t>(get_phba_port_number(addressed) & 0xFF);
}

}  // namespace

bool controller_command(hm_node* node, ControllerCommand* out, bool by_phba) {
  hm_node* controller = enclosing(node, kGroupVexalon);
  hm_node* phba = first_phba(controller);
  if (controller == nullptr || phba == nullptr) return false;
  fill_target(controller, by_phba ? phba : node, out);
  out->phba = phba;
  out->handle = get_port_number(phba);
  out->path = static_cast<int32_t>(get_the_protocol(out->adapter));
  return true;
}

bool port_command(hm_node* node, PortCommand* out) {
  hm_node* port = enclosing(node, kGroupPortDiscoveryAndConfiguration);
  hm_node* controller = port != nullptr ? enclosing(port->parent, kGroupVexalon) : nullptr;
  if (controller == nullptr) return false;
  fill_target(controller, port, out);
  out->port = port;
  out->path = static_cast<int32_t>(get_port_bitmap(static_cast<uint32_t>(out->adapter), out->port_number));
  return true;
}

int32_t nic_handle_of(const PortCommand& port) {
  char number[8];
  std::snprintf(number, sizeof number, "%u", port.port_number);
  for (hm_node* nic = get_first_instance(port.controller, "NICPhysicalHBA"); nic != nullptr; nic = next_instance(nic)) {
    char text[kValueSize];
    if (read_property(nic, port::kPropPortNumber, text) && ::strcasecmp(text, number) == 0) {
      const int32_t handle = get_port_number(nic);
      return handle > 0 ? handle : 0;
    }
  }
  return 0;
}

uint32_t refuse_on_vf(char* buf) {
  if (buf != nullptr) std::snprintf(buf, kValueSize, "%s", kTextNA);
  return refuse(kStatusNotOnVf, msg::kNotOnVirtualFunction);
}

uint32_t return_cached(hm_node* prop, char* buf) {
  const hm_property* p = property_data(prop);
  if (p == nullptr || buf == nullptr) return kStatusFailed;
  std::snprintf(buf, kValueSize, "%.*s", kValueSize - 1, property_value(p));
  return kStatusOk;
}

uint32_t cache_text(hm_node* prop, const char* text) {
  return SET_CACHE_PROP_VAL(prop, "%s", text != nullptr ? text : "") < 0 ? kStatusFailed : kStatusOk;
}

bool parse_whole(const char* text, uint32_t max, uint32_t* out) {
  // strtoull would take a sign, or blanks before it, and wrap a negative number.
  if (text == nullptr || text[0] < '0' || text[0] > '9') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text, &end, 0);
  if (end == text || *end != '\0' || errno != 0 || v > max) return false;
  *out = static_cast<uint32_t>(v);
  return true;
}

}  // namespace vx

namespace vx {

bool parse_decimal(const char* text, uint32_t max, uint32_t* out) {
  if (text == nullptr || text[0] == '\0') return false;
  uint64_t v = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    v = v * 10 + static_cast<uint64_t>(*p - '0');
    if (v > max) return false;
  }
  *out = static_cast<uint32_t>(v);
  return true;
}

}  // namespace vx
