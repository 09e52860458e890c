// Where the firmware commands of a live property go, found by walking up from the property node:
// the controller's commands through its first physical HBA, a port's through the port instance. And
// the small steps every live-property handler shares.
#pragma once

#include <cstdint>

#include "engine/hm.h"
#include "iscsi/common.h"   // refuse

namespace vx {

constexpr const char* kTextNA = "N/A";
constexpr uint32_t kStatusNotOnVf = 256;

// Where a live property's commands go. A controller's: the port handle of its first iSCSI (else NIC)
// physical HBA, the domain and port number of the node asked about (0 at controller level), the
// controller's protocol path. A port's: the port instance's handle (its physical HBA's), its
// physical port number and the port's path (1 iSCSI, 2 NIC, 4 none).
struct CommandTarget {
  hm_node* controller = nullptr;
  hm_node* phba = nullptr;   // controller commands: the physical HBA whose handle they carry
  hm_node* port = nullptr;   // port commands: the port instance
  uint32_t generation = 0;
  int32_t adapter = 0;
  int32_t handle = 0;
  uint8_t domain = 0;
  uint8_t port_number = 0;
  int32_t path = 0;
};
using ControllerCommand = CommandTarget;
using PortCommand = CommandTarget;
// False when the node has no controller above it or the controller no physical HBA. With `by_phba`
// the domain and port number are the physical HBA's too.
bool controller_command(hm_node* node, ControllerCommand* out, bool by_phba = false);
// False when the node has no port instance or controller above it.
bool port_command(hm_node* node, PortCommand* out);

// The handle of the port's NIC function, which commands on the NIC node must carry (any other
// handle names another function there): the controller's NIC physical HBA of the port's number,
// else 0.
int32_t nic_handle_of(const PortCommand& port);

// The nearest group above `node` (itself first) whose group name is `name`, ignoring case; NULL at
// "ROOT".
hm_node* enclosing(hm_node* node, const char* name);
bool group_named(const hm_node* node, const char* name);

// "N/A" into `buf` (when given), status 256 and its text: 1.
uint32_t refuse_on_vf(char* buf);
// The property's cached value into the 256-byte `buf`: 0 (1 for a node that is no property).
uint32_t return_cached(hm_node* prop, char* buf);
// The text as the property's cached value: 0, or 1 for a node that is no property.
uint32_t cache_text(hm_node* prop, const char* text);

// A whole number in any base (decimal, "0x" hexadecimal, leading 0 octal); false for a sign, a
// blank, trailing characters, an empty text or a value above `max`.
bool parse_whole(const char* text, uint32_t max, uint32_t* out);
// Decimal digits only, at most `max`.
bool parse_decimal(const char* text, uint32_t max, uint32_t* out);

}  // namespace vx
