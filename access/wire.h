// What crosses the driver boundary: device node names, request numbers and the byte records of the
// firmware command transport and of the driver-private requests. Little-endian; every size and
// offset is fixed and the same in the 32-bit and the 64-bit build. The simulated adapter decodes
// exactly these bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/device_nodes.h"

namespace vx::wire {

// ---- device nodes --------------------------------------------------------------------------
constexpr int kMaxIscsiNodes = 128;
constexpr int kMaxNicHandles = 128;

// ---- the maker's PCI vendor IDs ------------------------------------------------------------------
constexpr uint16_t kMakerVendorIds[2] = {0x1f4e, 0x1f4f};
constexpr const char* kMakerVendorIdTexts[2] = {"1f4e", "1f4f"};   // as lspci takes and prints them

// ---- ioctl request numbers ----------------------------------------------------------------------
constexpr unsigned long kIscsiFirmwareCommand = 0x4580;   // argument: header + payload
constexpr unsigned long kIscsiHostAdapterName = 1;        // argument: caller's text buffer
constexpr unsigned long kNicLinkInfo = 4;                 // LinkInfoRecord
constexpr unsigned long kNicFirmwareCommand = 5;          // NIC wrapper
constexpr unsigned long kNicChipInfo = 6;                 // ChipInfoRecord
constexpr unsigned long kNicVirtualFunctions = 7;         // LinkInfoRecord shape
constexpr unsigned long kNicPciConfigRead = 8;            // PciConfigReadRecord

// ---- firmware command header ----------------------------------------------------------------------
// Request: the library fills every field. Response, written over the same buffer: byte 4 status
// (0 success), bytes 5-6 additional status, bytes 12-15 actual response length, payload from 16.
struct Request_Header {
  uint8_t PageCode;        // opcode
  uint8_t subsystem;
  uint8_t port_number;
  uint8_t domain;
  uint32_t Timeout;
  uint32_t request_length; // payload bytes after the header
  uint8_t version;
  uint8_t reserved[3];
};
static_assert(sizeof(Request_Header) == 16);
static_assert(offsetof(Request_Header, Timeout) == 4);
static_assert(offsetof(Request_Header, request_length) == 8);
static_assert(offsetof(Request_Header, version) == 12);

constexpr size_t kHeaderSize = 16;
constexpr size_t kResponseStatusOffset = 4;        // u8
constexpr size_t kResponseAdditionalOffset = 5;    // u16, unaligned
constexpr size_t kResponseLengthOffset = 12;       // u32

// ---- NIC wrapper ------------------------------------------------------------------------------------
// signature (18 bytes, no NUL), bus, device, function, then header and payload: request_length + 37.
constexpr char kNicSignature[] = "QUILLMARCHANT CORP";
constexpr size_t kNicSignatureSize = 18;
static_assert(sizeof(kNicSignature) == kNicSignatureSize + 1);
constexpr size_t kNicBusOffset = 18;
constexpr size_t kNicDeviceOffset = 19;
constexpr size_t kNicFunctionOffset = 20;
constexpr size_t kNicHeaderOffset = 21;
constexpr size_t kNicWrapperOverhead = kNicHeaderOffset + kHeaderSize;   // 37

// ---- chip inventory (NIC request 6) ---------------------------------------------------------------
struct ChipRecord {
  uint8_t bus;
  uint8_t device;
  uint8_t function_count;   // at most 8
  uint8_t functions[8];
};
struct ChipInfoRecord {
  uint8_t count;            // records filled, at most 8
  ChipRecord records[8];
};
static_assert(sizeof(ChipRecord) == 11);
static_assert(sizeof(ChipInfoRecord) == 89);

// ---- link and virtual-function information (NIC requests 4 and 7) -----------------------------------
struct LinkInfoRecord {
  uint8_t bus;
  uint8_t device;
  uint8_t function;
  uint8_t zero;
  uint8_t reply[976];
};
static_assert(sizeof(LinkInfoRecord) == 980);
constexpr size_t kLinkDownReasonOffset = 5;   // in reply, u8 (request 4)
constexpr size_t kMtuOffset = 8;              // in reply, u16 (request 4)
constexpr size_t kVfCountOffset = 12;         // in reply, u8 (request 7)

// ---- PCI configuration read (NIC request 8) ---------------------------------------------------------
// The driver writes `length` bytes of configuration space at `offset` to the 32-bit address
// `data_address` and may update offset and length. The data area must therefore lie in the low
// 4 GiB of the address space (see alloc_driver_data_area in the platform seam).
#pragma pack(push, 1)
struct PciConfigReadRecord {
  uint8_t bus;
  uint8_t device;
  uint8_t function;
  uint32_t offset;
  uint32_t length;
  uint32_t data_address;
};
#pragma pack(pop)
static_assert(sizeof(PciConfigReadRecord) == 15);
static_assert(offsetof(PciConfigReadRecord, offset) == 3);
static_assert(offsetof(PciConfigReadRecord, length) == 7);
static_assert(offsetof(PciConfigReadRecord, data_address) == 11);

// ---- host configuration written by the drivers ------------------------------------------------------
constexpr const char* kEsxConfPath = "/etc/vmware/esx.conf";
// One line per NIC function: "/device/%03d:%02d.%d/vmkname = \"vmnicN\"" (the key the library
// searches is "%03d:%02d.%d/vmkname").

}  // namespace vx::wire
