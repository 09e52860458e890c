// SCSI commands to a target's logical units through the firmware's pass-through, over the first
// Session of the Target: the LUN scan, capacity, inquiry and serial number, writes, and ping.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/hm.h"
#include "iscsi/common.h"
#include "iscsi/lookups.h"

namespace vx {

constexpr uint32_t kStatusCheckCondition = 1;
constexpr uint32_t kStatusBadAddress = 17;
constexpr uint32_t kStatusNoSession = 42;
constexpr uint32_t kStatusPingFailed = 53;
constexpr uint32_t kStatusScsiFailed = 90;
constexpr uint32_t kDefaultBlockLength = 512;   // when READ CAPACITY cannot tell
constexpr size_t kMaxLunsPerScan = 255;

// The 16-byte driver record of a LUN: word 0 zero (the port walk passes on to the target), the
// eight LUN bytes stored as two byte-swapped words, and the firmware session handle.
struct lun_record {
  uint32_t zero;
  uint8_t swapped[8];
  uint32_t session_handle;
};
static_assert(sizeof(lun_record) == 16);

// The LUN bytes of a REPORT LUNS entry as the record keeps them, and back as a request carries them.
void lun_record_bytes(const uint8_t lun[8], uint8_t swapped[8]);
void lun_request_bytes(const lun_record& rec, uint8_t lun[8]);

// One pass-through command: 0 (data copied out when `out` is given), 1 CHECK CONDITION, 90 failed.
uint32_t ConstructSCSIParams(const CommandAddress& at, uint32_t session_handle, const lun_record* lun,
                             uint8_t direction, const uint8_t cdb[16], uint32_t data_length,
                             std::vector<uint8_t>* out, const uint8_t* data = nullptr);
// The REPORT LUNS list (8-byte header, 8 bytes per LUN, as much as arrived). 0, a failure, or 5.
uint32_t FetchReportLUNData(const CommandAddress& at, uint32_t session_handle, std::vector<uint8_t>* out);
// Mode 1 READ CAPACITY(16), else (10).
uint32_t FetchReadCapacityData(const CommandAddress& at, uint32_t session_handle, const lun_record& lun,
                               std::vector<uint8_t>* out, uint32_t mode);
// READ(10) or WRITE(10) of `blocks` blocks of `block_length` bytes from `lba`, in as many commands
// as the request size allows; a write sends `data` (zeros when NULL).
uint32_t IssueSCSIReadWrite(const CommandAddress& at, uint32_t session_handle, const lun_record& lun,
                            uint8_t direction, uint32_t lba, uint32_t blocks, uint32_t block_length,
                            std::vector<uint8_t>* read_data, const uint8_t* data = nullptr);
uint32_t FetchScsiInquiryData(const CommandAddress& at, uint32_t session_handle, const lun_record& lun,
                              std::vector<uint8_t>* out);
uint32_t FetchLSNInquiryData(const CommandAddress& at, uint32_t session_handle, const lun_record& lun,
                             std::vector<uint8_t>* out);

// Fill a LUN's properties; 0 or the failure.
uint32_t get_read_capacity(hm_node* lun);
uint32_t get_std_inquiry_props(hm_node* lun);
uint32_t get_lunname_prop(hm_node* lun);
// The block length of a LUN from READ CAPACITY, or 512 when that fails.
uint32_t lun_block_length(const CommandAddress& at, uint32_t session_handle, const lun_record& lun);

// The LUN scan of a target: LUN instances as the sessions report them. *changed is "1" when the set
// of LUNs changed. 0, 42 (no session), 90 (some session failed), or a purge / builder failure.
uint32_t get_all_luns(hm_node* target, const BuilderArgs& args, std::string* changed);
// The scan a login or logout runs through the target's ReScanLUNS action; 90 leaves `text_90` as
// the last status.
void rescan_luns(hm_node* target, const char* text_90);
// The host's rescan of its SCSI devices: nothing to do here.
uint32_t scan_from_os();

// Ping of an address from the port of `node`, addressed as `action_node` is. 0, or 1.
uint32_t send_ping(hm_node* node, hm_node* action_node, const uint8_t address[16], uint8_t type);
uint32_t pingtargetip(hm_node* node, hm_node* lhba, const char* ip);

}  // namespace vx
