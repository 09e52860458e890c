// The firmware command transport: fills the 16-byte request header, picks the device (the port's
// iSCSI node, or the NIC node with the command inside the NIC wrapper), copies the payload in and
// the answer out, and maps the firmware's status to a library status.
//
// The header version is an argument of every call; the shared device state in varu_glob is
// guarded by varu_glob_lock(), which each command holds while it is in flight.
#pragma once

#include <cstdint>

namespace vx {

constexpr int32_t kAllPorts = -1;
constexpr int32_t kProtocolIscsi = 1;
constexpr int32_t kProtocolNic = 2;
constexpr int32_t kProtocolOther = 3;
constexpr int32_t kProtocolNone = 4;
constexpr uint32_t kStatusDriverIo = 295;   // the iSCSI driver failed the request with EIO

// Header Timeout of a command: 120, 30 on the NIC node; opcode 18 carries 20 in subsystem 2 and
// 11 in any other subsystem, on either node.
uint32_t command_timeout(uint8_t opcode, uint8_t subsystem, int32_t protocol);

// Fills the header at the start of `buffer` (payload already at offset 16, request_length bytes) and
// sends it. 0: the driver took the request (also when it failed it with anything but EIO; the
// buffer's status byte then tells); 1: nothing sent (NIC wrapper allocation, bad NIC handle,
// request too long, NIC function set changed); 295: EIO from the iSCSI driver. A protocol other
// than 1 or 2 sends nothing and returns 0 with the header written.
uint32_t IssueIOCTL(int32_t fd, uint8_t opcode, uint8_t subsystem, uint32_t request_length, uint8_t* buffer,
                    uint8_t domain, uint8_t port_number, int32_t protocol, int32_t handle, uint8_t version = 0);

// One command: copies request_length bytes of `payload` in, sends, copies them back when
// `direction` is non-zero (also on failure), maps the status. buffer_length must be at least
// request_length + 16, else 1 and nothing is sent.
uint32_t Send_Ioctl_PayLoad(int32_t fd, uint8_t opcode, uint8_t subsystem, uint32_t request_length,
                            uint16_t buffer_length, void* payload, uint8_t direction, uint8_t domain,
                            uint8_t port_number, int32_t protocol, int32_t handle, uint8_t version = 0);

// iSCSI path: handle h uses node h-1; handle -1 every open node in table order (last result, 0 when
// none). Any other handle: 1.
uint32_t IssueIOCTLWithPayLoad(int32_t handle, uint8_t opcode, uint8_t subsystem, uint16_t request_length,
                               uint16_t buffer_length, void* payload, uint8_t direction, uint8_t domain,
                               uint8_t port_number, uint8_t version = 0);
// NIC path: handle h is NIC function h; handle -1 every function 1..count (last result, 0 when none).
uint32_t IssueNICIOCTLWithPayLoad(int32_t handle, uint8_t opcode, uint8_t subsystem, uint16_t request_length,
                                  uint16_t buffer_length, void* payload, uint8_t direction, uint8_t domain,
                                  uint8_t port_number, uint8_t version = 0);

// Size query: firmware status 0 or 4 (the answer did not fit) is success; the payload is copied
// back and the low 16 bits of the actual response length stored in *size_out.
uint32_t Send_Ioctl_Get_PayLoadSize(int32_t fd, uint8_t opcode, uint8_t subsystem, uint16_t request_length,
                                    uint16_t buffer_length, void* payload, uint16_t* size_out, uint8_t domain,
                                    uint8_t port_number, int32_t protocol, int32_t handle);
uint32_t GetIOCTLPayLoadSize(int32_t handle, uint8_t opcode, uint8_t subsystem, uint16_t request_length,
                             uint16_t buffer_length, void* payload, uint16_t* size_out, uint8_t domain,
                             uint8_t port_number);
uint32_t GetNICIOCTLPayLoadSize(int32_t handle, uint8_t opcode, uint8_t subsystem, uint16_t request_length,
                                uint16_t buffer_length, void* payload, uint16_t* size_out, uint8_t domain,
                                uint8_t port_number);

// Command path of adapter `adapter` (its Vexalon instance number) from the protocol bits recorded at
// start-up: 1 iSCSI, else 2 NIC, else 3, else 4. An adapter index out of range gives 4.
uint32_t get_the_protocol(int32_t adapter);

// Reopens the NIC node (left open in entry 0) and re-enumerates the NIC functions: true (and
// varu_glob.nic_generation bumped) when their number or PCI addresses differ from the set the tree
// was built from, which stays in varu_glob.
bool nic_functions_changed();

// Run before every NIC-node request; leaves the NIC node open for it. The driver's set is
// enumerated once per outermost public call (each request outside one enumerates): when
// nic_functions_changed(), asks for a rebuild of the tree (run when the outermost public call ends;
// its start-up stores the new set) and returns 1, so the request is not sent. Until then every
// handle-addressed request is refused this way. 0 otherwise.
int refresh_varu_hierarchy();

// Start-up stored the set it enumerated: the NIC requests of the rest of the call are served from it.
void nic_functions_enumerated();
// End of start-up: when a request was served from the start-up's enumeration, the driver's set is
// enumerated once more, so that a change during the start-up asks for another rebuild.
void recheck_nic_functions();
// True when a look of this call saw the driver's set differ from the tree's and no start-up has
// taken the set in since (the rebuild asked for is still to come).
bool nic_change_seen();

}  // namespace vx
