// The flash-region TLV walker and editor on arbitrary images: every routine either refuses an image
// or gives a valid one, a padded area is a multiple of four, and unpadding undoes padding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "iscsi/tlv_editor.h"

namespace {

uint32_t area_length(const vx::RegionImage& image) {
  uint32_t length = 0;
  std::memcpy(&length, image.data() + vx::kRegionLengthOffset, sizeof length);
  return length;
}

void must_be_valid(const std::optional<vx::RegionImage>& image) {
  if (image && !vx::region_image_valid(*image)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A session record from the front of a long input, the image from the rest.
  vx::session_info session{};
  if (size > sizeof session) {
    std::memcpy(&session, data, sizeof session);
    data += sizeof session;
    size -= sizeof session;
  } else {
    std::strcpy(session.target_name, "iqn.2026-01.com.example:fuzz");
    session.flags = vx::kSessionFlagBoot;
  }
  const vx::RegionImage image(data, data + size);
  const bool valid = vx::region_image_valid(image);
  if (vx::checked_region(image).has_value() != valid) std::abort();

  const std::optional<vx::RegionImage> unpadded = vx::VARU_remove_pad_tlv(image);
  const std::optional<vx::RegionImage> padded = vx::VARU_add_pad_tlv(image);
  if (unpadded.has_value() != valid || padded.has_value() != valid) std::abort();
  must_be_valid(unpadded);
  must_be_valid(padded);
  if (padded && area_length(*padded) % 4 != 0) std::abort();
  for (uint32_t mode : {1u, 2u}) must_be_valid(vx::VARU_remove_boot_tlv(image, session, mode));
  must_be_valid(vx::VARU_delete_initiator_chap_tlv(image));
  must_be_valid(vx::VARU_add_initiator_chap_tlv(image, session));
  if (std::optional<std::vector<uint8_t>> boot = vx::VARU_create_TLV(session)) {
    const size_t declared = (*boot)[1] | ((*boot)[2] << 8);
    if (declared + 3 != boot->size()) std::abort();
  }
  return 0;
}
