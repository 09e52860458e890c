// The network facts of a port that the firmware reports on every read: maximum speed and MTU, the
// MAC addresses, the logical link state, the port speed and the active port.
#pragma once

#include <cstdint>
#include <string>

#include "engine/hm.h"

namespace vx {

constexpr uint32_t kStatusNicParams = 93;
constexpr uint32_t kStatusActivePort = 94;
constexpr uint32_t kStatusLogicalLink = 227;

uint32_t VARU_get_iscsi_ntwk_params(int32_t port, int32_t domain, int32_t phba_port, hm_node* group);
uint32_t VARU_get_iscsi_ntwk_mac(int32_t port, int32_t domain, int32_t phba_port, hm_node* group, const char* property);
// Protocol 1 iSCSI path, 2 NIC path.
uint32_t get_logical_link_status(int32_t port, int32_t domain, int32_t phba_port, hm_node* group, int32_t protocol);
uint32_t get_portspeed(hm_node* group, int32_t port, int32_t domain, int32_t phba_port, int32_t protocol,
                       uint32_t generation);
// The text of a speed in units of 10 Mb/s (low 16 bits), or of the physical speed code when they
// are 0.
std::string port_speed_text(uint32_t units, uint8_t physical_code);
// MaxBitsPerSecond, in units of 100 Mb/s written whole or with one decimal ("25", "2.5"), in tenths:
// units of 10 Mb/s. False for any other form ("00", "2.50", ".5") and above 65535 tenths.
bool parse_tenths(const std::string& text, uint32_t* tenths);

}  // namespace vx
