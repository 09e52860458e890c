// The IPv6 side of an iSCSI port (group Network/TCPIPConfiguration/IPv6Configuration): its
// addresses, states and gateway, and the actions that set them. Generations 2 and 3 have no IPv6:
// their properties read "N/A" and the actions fail with status 291.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/hm.h"

namespace vx {

constexpr uint32_t kStatusIpv6NotOnAdapter = 291;
constexpr const char* kZeroIpv6 = "0000:0000:0000:0000:0000:0000:0000:0000";

// The address entries of an address query's reply of `size` bytes: (type, full text) in order,
// as many as the count says and the reply holds.
std::vector<std::pair<uint8_t, std::string>> read_ipv6_entries(const uint8_t* reply, size_t size);
// The full upper-case text of 16 address bytes.
std::string ipv6_full_text(const uint8_t bytes[16]);
// A user's IPv6 text in full form with its bytes: false for a text of more than 39 characters or
// one that is no IPv6 address as a whole.
bool parse_ipv6_text(const char* text, std::string* full, uint8_t bytes[16]);

// The first address of `type` (0x30: the second one when `which` is 1) as full text in `out`,
// empty when there is none. 0, or 1 with the status.
uint32_t VARU_get_IPv6configuration_properties(int32_t port, int32_t domain, int32_t phba_port, uint8_t type,
                                               std::string* out, uint32_t which);
uint32_t VARU_delete_IPv6Gateway(int32_t port, int32_t domain, int32_t phba_port, hm_node* ipv6_group);
uint32_t VARU_delete_ipv6_address(hm_node* ipv6_group, const char* property, uint8_t type, int32_t port,
                                  int32_t domain, int32_t phba_port, uint32_t interface_id);

}  // namespace vx
