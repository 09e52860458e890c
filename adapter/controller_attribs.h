// What start-up reads from an adapter to fill a controller and its physical HBAs: the
// controller-attributes record, the controller's identity properties, the PCI, port and driver
// properties of a function, its Vital Product Data, and the probe that tells whether the library
// runs inside an SR-IOV virtual function.
#pragma once

#include <cstddef>
#include <cstdint>

#include "access/backend_state.h"   // vm_flag, which the probe below sets
#include "engine/hm.h"

namespace vx {

// The 540-byte answer of the controller-attributes command (opcode 32, subsystem 1). Texts end at
// their first NUL within the field, or at the field's end.
struct cntr_attribs {
  uint8_t reserved0[32];
  char manufacturer[32];
  uint32_t capabilities;
  uint8_t reserved68[12];
  uint8_t ncsi_version[12];   // generation 2: five u16; generation 3: text
  uint32_t default_eto;
  char model_number[32];
  char description[64];
  char serial_number[32];
  uint8_t reserved224[32];
  char active_firmware_version[32];
  char bios_version[32];
  char boot_code_version[32];
  char driver_version[32];
  char firmware_version_on_flash[32];
  uint8_t reserved416[4];
  uint16_t max_cdb_length;
  uint8_t reserved422[18];
  uint16_t ldto;
  uint8_t iscsi_versions;     // low 4 bits minimum, high 4 bits maximum
  uint8_t reserved443[2];
  uint8_t firmware_status;
  uint8_t lhba_count;
  uint8_t port_number;
  uint8_t reserved448[52];
  uint16_t vendor_id;
  uint16_t device_id;
  uint16_t subsystem_vendor_id;
  uint16_t subsystem_device_id;
  uint8_t bus;
  uint8_t device;
  uint8_t function;
  uint8_t reserved511[29];
};
static_assert(sizeof(cntr_attribs) == 540);
static_assert(offsetof(cntr_attribs, manufacturer) == 32);
static_assert(offsetof(cntr_attribs, capabilities) == 64);
static_assert(offsetof(cntr_attribs, ncsi_version) == 80);
static_assert(offsetof(cntr_attribs, default_eto) == 92);
static_assert(offsetof(cntr_attribs, model_number) == 96);
static_assert(offsetof(cntr_attribs, description) == 128);
static_assert(offsetof(cntr_attribs, serial_number) == 192);
static_assert(offsetof(cntr_attribs, active_firmware_version) == 256);
static_assert(offsetof(cntr_attribs, bios_version) == 288);
static_assert(offsetof(cntr_attribs, boot_code_version) == 320);
static_assert(offsetof(cntr_attribs, driver_version) == 352);
static_assert(offsetof(cntr_attribs, firmware_version_on_flash) == 384);
static_assert(offsetof(cntr_attribs, max_cdb_length) == 420);
static_assert(offsetof(cntr_attribs, ldto) == 440);
static_assert(offsetof(cntr_attribs, iscsi_versions) == 442);
static_assert(offsetof(cntr_attribs, firmware_status) == 445);
static_assert(offsetof(cntr_attribs, port_number) == 447);
static_assert(offsetof(cntr_attribs, vendor_id) == 500);
static_assert(offsetof(cntr_attribs, subsystem_device_id) == 506);
static_assert(offsetof(cntr_attribs, bus) == 508);
static_assert(offsetof(cntr_attribs, function) == 510);

constexpr size_t kCntrAttribsSize = sizeof(cntr_attribs);
constexpr uint32_t kMaxPortNumber = 3;        // ports 0 to 3
constexpr uint32_t kMaxPciFunction = 7;       // PCI function numbers 0 to 7

// The VPD request and answer (1032 bytes): u16 function selector, u16 kind (0 NIC path, 1 iSCSI
// path); the answer's first 1024 bytes are the data.
constexpr uint32_t kVpdBufferSize = 1032;
constexpr uint32_t kVpdDataSize = 1024;
constexpr int kVpdSegments = 9;
constexpr uint32_t kVpdSegmentBytes = 127;

// Statuses left by these routines.
constexpr uint32_t kStatusNoControllerAttributes = 109;
constexpr uint32_t kStatusOutOfMemory = 16;

// Zeroes the 540-byte `out` and asks the function `handle` for its controller attributes on the
// given path (1 iSCSI, 2 NIC). 0, or 1 with status 109 (also for a NULL record).
uint32_t VARU_get_cntr_attribs(int32_t handle, uint32_t port_number, uint32_t domain, int32_t protocol,
                               uint8_t* out);
// Manufacturer, model, description, serial, versions, firmware status and capabilities of the
// controller from the record. 1 when the record could not be read (`status` non-zero), an argument
// is NULL or a write failed.
uint32_t VARU_update_cntr_attribs(hm_node* controller, const uint8_t* attribs, uint32_t status);
// "Capabilities" text of the capability bits ("TCP offload,iSCSI Initiator", "Invalid", "").
void capabilities_text(uint32_t bits, char* out, size_t size);
// "FirmwareStatus" text of the status byte.
const char* firmware_status_text(uint8_t status);

// PCI identity, port number and (iSCSI) protocol limits of one physical HBA, then the driver name
// and version; for a NIC function whose attributes could not be read the PCI address comes from
// the NIC driver's table. 1 when the PCI group or the record is missing or the version is unknown.
uint32_t VARU_update_driver_attribs(int32_t handle, hm_node* phba, int32_t protocol, const uint8_t* attribs,
                                    uint32_t status);
// Bus, device and function of the PCI group from the record or the NIC driver's table. 0, or 1.
uint32_t VARU_update_pci_bdf(hm_node* phba, int32_t handle, int32_t protocol, const uint8_t* attribs,
                             uint32_t status);

// The function's VPD into VPDData0..8 of its VPD group: 0, 1 (missing node, bad function number,
// generation 1), 16 (no memory) or the command's status.
uint32_t VARU_update_vpd_data(hm_node* phba, int32_t handle, int32_t protocol);
// The same with the addressing given: `function_number` is the function selector.
uint32_t get_vpd_data(int32_t handle, uint32_t domain, uint32_t port_number, hm_node* vpd_group, int32_t protocol,
                      uint32_t function_number);
// VPD bytes as nine hex segments of the VPD group (127 bytes each, the ninth 8).
uint32_t store_vpd_segments(hm_node* vpd_group, const uint8_t* data1024);

// Start-up's first step, run before the device nodes are opened; it does nothing.
void VARU_save_file_configuration();

// Probe that is refused (195 or 196) on a virtual function: sets vm_flag. 0 when the probe ran
// (generation 4: always; other generations without a probe: 0), else 1.
uint32_t VARU_check_for_vm(int32_t handle, hm_node* phba, hm_node* controller);

// The text of a record's field of `width` bytes: up to its first NUL, or the whole field when it
// has none; cut to `size` - 1 and terminated.
void copy_field_text(const char* field, size_t width, char* out, size_t size);

// A whole non-negative number in any base ("0x3", "7"); false for anything left over.
bool parse_pci_number(const char* text, uint32_t* out);

}  // namespace vx
