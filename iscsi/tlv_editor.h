// The adapter's boot-from-SAN settings in two flash objects per iSCSI function: region 2 holds the
// initiator's CHAP name and secret for mutual CHAP, region 3 the boot target. A region image is a
// 16-byte header whose word at 4 is the length L of the TLV area behind it; a TLV is a type byte, a
// little-endian u16 length and the value. An edit reads the region whole, checks every TLV lies
// within what was read, takes the pad TLV out, edits, pads to a multiple of four and writes the
// image back; on any failure the flash keeps what it held.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/hm.h"
#include "iscsi/common.h"
#include "iscsi/records.h"

namespace vx {

constexpr size_t kRegionHeaderSize = 16;
constexpr size_t kRegionLengthOffset = 4;
constexpr size_t kTlvHeaderSize = 3;
constexpr uint8_t kPadTlv = 0xFF;
constexpr uint8_t kBootTlv = 3;
constexpr uint8_t kBootTlvAlternate = 4;
constexpr uint8_t kChapNameTlv = 2;
constexpr uint8_t kChapSecretTlv = 3;
constexpr int kChapRegion = 2;
constexpr int kBootRegion = 3;
constexpr size_t kMaxRegionImage = kFlashReadRoom;   // what one read returns

using RegionImage = std::vector<uint8_t>;

// ---- images ------------------------------------------------------------------------------------------
// True when the image holds its header and its stated TLV area, and every TLV lies within it.
bool region_image_valid(const RegionImage& image);
// The image cut to its header and TLV area; none when it is not valid.
std::optional<RegionImage> checked_region(const RegionImage& image);
std::optional<RegionImage> VARU_remove_pad_tlv(const RegionImage& image);
std::optional<RegionImage> VARU_add_pad_tlv(const RegionImage& image);
// Mode 1 removes every boot TLV (types 3 and 4); mode 2 those of the session described.
std::optional<RegionImage> VARU_remove_boot_tlv(const RegionImage& image, const session_info& session, uint32_t mode);
// The boot TLV of a session (length field and the three trailing zero bytes included); none when a
// name or secret is longer than 255 bytes.
std::optional<std::vector<uint8_t>> VARU_create_TLV(const session_info& session);
std::optional<RegionImage> VARU_add_initiator_chap_tlv(const RegionImage& image, const session_info& session);
std::optional<RegionImage> VARU_delete_initiator_chap_tlv(const RegionImage& image);

// ---- flash --------------------------------------------------------------------------------------------
std::optional<RegionImage> VARU_read_iscsi_region(const CommandAddress& at, int region);
// 0 when the firmware took the whole image.
uint32_t VARU_write_iscsi_region(const CommandAddress& at, int region, const RegionImage& image);

// 0, or 1.
uint32_t VARU_add_boottarget_tlv(const CommandAddress& at, hm_node* session);
uint32_t VARU_delete_boottarget_tlv(const CommandAddress& at, const session_info& session);
uint32_t VARU_update_initiator_chap_region(const CommandAddress& at, const session_info& session);
uint32_t VARU_delete_initiator_chap_region(const CommandAddress& at);

}  // namespace vx
