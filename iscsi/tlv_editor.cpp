#include "iscsi/tlv_editor.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "access/fw_commands.h"
#include "access/transport.h"
#include "engine/messages.h"
#include "iscsi/sessions.h"

namespace vx {
namespace {

constexpr uint8_t kBootTlvConstant[5] = {3, 1, 1, 0, 1};
constexpr size_t kBootFixedSize = 29;     // header, constants, settings and the two length bytes
constexpr size_t kBootTrailingZeros = 3;
constexpr uint8_t kChapValuePrefix = 3;
constexpr size_t kMaxTlvText = 255;
// Places inside a boot TLV, from its type byte.
constexpr size_t kBootAuth = 16;
constexpr size_t kBootIsid = 17;
constexpr size_t kBootKind = 23;
constexpr size_t kBootNameLength = 24;
constexpr size_t kBootAddress = 27;

struct Tlv {
  size_t offset;   // of the type byte, in the image
  uint8_t type;
  size_t size;     // header and value
};

uint32_t area_length(const RegionImage& image) {
  uint32_t length = 0;
  std::memcpy(&length, image.data() + kRegionLengthOffset, sizeof length);
  return length;
}

void set_area_length(RegionImage& image, uint32_t length) {
  std::memcpy(image.data() + kRegionLengthOffset, &length, sizeof length);
}

// The TLVs of a valid image; false when the header, the stated area or a TLV runs past the bytes.
bool walk(const RegionImage& image, std::vector<Tlv>* out) {
  if (image.size() < kRegionHeaderSize) return false;
  const uint32_t length = area_length(image);
  if (length > image.size() - kRegionHeaderSize) return false;
  const size_t end = kRegionHeaderSize + length;
  for (size_t at = kRegionHeaderSize; at < end;) {
    if (end - at < kTlvHeaderSize) return false;
    const size_t size = kTlvHeaderSize + (image[at + 1] | (static_cast<size_t>(image[at + 2]) << 8));
    if (size > end - at) return false;
    if (out != nullptr) out->push_back(Tlv{at, image[at], size});
    at += size;
  }
  return true;
}

// The image with the TLVs that `drop` picks taken out where they stand.
RegionImage without(const RegionImage& image, const std::vector<Tlv>& tlvs, const std::function<bool(const Tlv&)>& drop) {
  RegionImage out(image.begin(), image.begin() + kRegionHeaderSize);
  for (const Tlv& t : tlvs) {
    if (!drop(t)) out.insert(out.end(), image.begin() + static_cast<long>(t.offset),
                             image.begin() + static_cast<long>(t.offset + t.size));
  }
  set_area_length(out, static_cast<uint32_t>(out.size() - kRegionHeaderSize));
  return out;
}

void append(RegionImage& image, const std::vector<uint8_t>& bytes) {
  image.insert(image.end(), bytes.begin(), bytes.end());
  set_area_length(image, static_cast<uint32_t>(image.size() - kRegionHeaderSize));
}

std::vector<uint8_t> chap_tlv(uint8_t type, const uint8_t* bytes, size_t n) {
  std::vector<uint8_t> tlv(kTlvHeaderSize + 1 + n, 0);
  tlv[0] = type;
  tlv[1] = static_cast<uint8_t>(n + 1);
  tlv[2] = static_cast<uint8_t>((n + 1) >> 8);
  tlv[3] = kChapValuePrefix;
  if (n > 0) std::memcpy(&tlv[kTlvHeaderSize + 1], bytes, n);
  return tlv;
}

size_t bounded(size_t length, size_t limit) { return length < limit ? length : limit; }

std::string region_name(const CommandAddress& at, int region) {
  char name[kFlashObjectNameSize];
  std::snprintf(name, sizeof name, "/iscsidata/Port%x/Instance0/Region%d", at.phba_port, region);
  return name;
}

// Read, check, unpad, edit, pad and write one region; the flash keeps its content on any failure.
uint32_t edit_region(const CommandAddress& at, int region, const std::function<std::optional<RegionImage>(const RegionImage&)>& edit) {
  std::optional<RegionImage> image = VARU_read_iscsi_region(at, region);
  if (image) image = checked_region(*image);
  if (!image) {
    pdebug(kBackEnd, 3, "%s: Could not read iscsi region\n", __func__);
    return kStatusFailed;
  }
  if (area_length(*image) == 0) {
    pdebug(kBackEnd, 3, "%s: The Length from iSCSI Region header is zero, means there are no TLV's present.\n", __func__);
    return kStatusFailed;
  }
  image = VARU_remove_pad_tlv(*image);
  if (!image) {
    pdebug(kBackEnd, 3, "%s: Failed to delete pad tlv from the iscsi region\n", __func__);
    return kStatusFailed;
  }
  image = edit(*image);
  if (!image) {
    pdebug(kBackEnd, 3, "%s: Failed to delete boot target tlv's from the iscsi region\n", __func__);
    return kStatusFailed;
  }
  image = VARU_add_pad_tlv(*image);
  if (!image) {
    pdebug(kBackEnd, 3, "%s: iscsi_add_padtlv is NULL\n", __func__);
    return kStatusFailed;
  }
  if (VARU_write_iscsi_region(at, region, *image) != 0) {
    pdebug(kBackEnd, 3, "%s: Could not write iscsi region\n", __func__);
    return kStatusFailed;
  }
  return kStatusOk;
}

// True when a boot TLV names the session: same target name, ISID, address kind and address.
bool names_session(const RegionImage& image, const Tlv& t, const session_info& s) {
  const uint8_t* v = image.data() + t.offset;
  if (t.size < kBootAddress) return false;
  const size_t address_length = v[kBootKind] == 1 ? 16 : 4;
  const size_t name_length = v[kBootNameLength];
  if (t.size < kBootAddress + address_length + name_length) return false;
  const address_record& d = s.connection.destination;
  const uint8_t kind = d.type == kAddressTypeIpv6 ? 1 : 0;
  char tlv_isid[8];
  char own_isid[8];
  std::snprintf(tlv_isid, sizeof tlv_isid, "%04x", v[kBootIsid] | (v[kBootIsid + 1] << 8));
  std::snprintf(own_isid, sizeof own_isid, "%02x%02x", s.isid[4], s.isid[5]);
  const std::string tlv_name(reinterpret_cast<const char*>(v + kBootAddress + address_length), name_length);
  const std::string own_name(s.target_name, ::strnlen(s.target_name, sizeof s.target_name));
  return equal_nocase(tlv_name, own_name) && equal_nocase(tlv_isid, own_isid) && v[kBootKind] == kind &&
         std::memcmp(v + kBootAddress, d.address, address_length) == 0;
}

}  // namespace

// ---- images ---------------------------------------------------------------------------------------

bool region_image_valid(const RegionImage& image) { return walk(image, nullptr); }

std::optional<RegionImage> checked_region(const RegionImage& image) {
  if (!region_image_valid(image)) return std::nullopt;
  return RegionImage(image.begin(), image.begin() + static_cast<long>(kRegionHeaderSize + area_length(image)));
}

std::optional<RegionImage> VARU_remove_pad_tlv(const RegionImage& image) {
  std::vector<Tlv> tlvs;
  if (!walk(image, &tlvs)) return std::nullopt;
  bool removed = false;
  return without(*checked_region(image), tlvs, [&](const Tlv& t) {
    if (removed || t.type != kPadTlv) return false;
    removed = true;   // only the first pad
    return true;
  });
}

std::optional<RegionImage> VARU_add_pad_tlv(const RegionImage& image) {
  std::optional<RegionImage> out = checked_region(image);
  if (!out) return std::nullopt;
  static constexpr int kPadValue[4] = {-1, 0, 3, 2};   // by the area length modulo 4
  const int value = kPadValue[area_length(*out) % 4];
  if (value >= 0) {
    std::vector<uint8_t> pad(kTlvHeaderSize + static_cast<size_t>(value), 0);
    pad[0] = kPadTlv;
    pad[1] = static_cast<uint8_t>(value);
    append(*out, pad);
  }
  return out;
}

std::optional<RegionImage> VARU_remove_boot_tlv(const RegionImage& image, const session_info& session, uint32_t mode) {
  std::vector<Tlv> tlvs;
  if (!walk(image, &tlvs)) return std::nullopt;
  const uint8_t flags17 = static_cast<uint8_t>(session.flags >> 8);
  return without(*checked_region(image), tlvs, [&](const Tlv& t) {
    if (t.type != kBootTlv && t.type != kBootTlvAlternate) return false;
    if (mode == 1) {
      pdebug(kBackEnd, 6, "%s:boot tlv detected continuing to next tlv and boot_length = %d\n", __func__,
             static_cast<int>(t.size - kTlvHeaderSize));
      return true;
    }
    const bool candidate = (t.type == kBootTlv && (flags17 & 0x01) != 0) || (t.type == kBootTlvAlternate && (flags17 & 0x04) != 0);
    return candidate && names_session(image, t, session);
  });
}

std::optional<std::vector<uint8_t>> VARU_create_TLV(const session_info& session) {
  const login_options o = negotiated_of(session);
  const address_record& d = session.connection.destination;
  const bool chap = (o.chap & 0xFF) != 0;
  const bool mutual = chap && o.mutual == 1;
  const size_t address_length = d.type == kAddressTypeIpv6 ? 16 : 4;
  const size_t t = ::strnlen(session.target_name, sizeof session.target_name);
  const size_t c = chap ? ::strnlen(o.target_chap_name, sizeof o.target_chap_name) : 0;
  const size_t s = chap ? bounded(o.target_secret_length, kChapSecretSize) : 0;
  const size_t i = mutual ? ::strnlen(o.initiator_chap_name, sizeof o.initiator_chap_name) : 0;
  const size_t j = mutual ? bounded(o.initiator_secret_length, kChapSecretSize) : 0;
  if (t > kMaxTlvText || c > kMaxTlvText || i > kMaxTlvText) return std::nullopt;
  const size_t size = kBootFixedSize + address_length + t + c + s + i + j;
  std::vector<uint8_t> tlv(size + kBootTrailingZeros, 0);
  tlv[0] = kBootTlv;
  tlv[1] = static_cast<uint8_t>(size);
  tlv[2] = static_cast<uint8_t>(size >> 8);
  std::memcpy(&tlv[3], kBootTlvConstant, sizeof kBootTlvConstant);
  tlv[kBootAuth] = mutual ? 2 : (chap ? 1 : 0);
  tlv[kBootIsid] = session.isid[5];       // the qualifier, little-endian
  tlv[kBootIsid + 1] = session.isid[4];
  tlv[19] = o.header_digest;
  tlv[20] = o.data_digest;
  tlv[21] = static_cast<uint8_t>(session.connection.destination_port);
  tlv[22] = static_cast<uint8_t>(session.connection.destination_port >> 8);
  tlv[kBootKind] = address_length == 16 ? 1 : 0;
  tlv[kBootNameLength] = static_cast<uint8_t>(t);
  tlv[25] = static_cast<uint8_t>(c);
  tlv[26] = static_cast<uint8_t>(s);
  size_t at = kBootAddress;
  auto put = [&](const void* bytes, size_t n) {
    std::memcpy(&tlv[at], bytes, n);
    at += n;
  };
  put(d.address, address_length);
  put(session.target_name, t);
  put(o.target_chap_name, c);
  put(o.target_secret, s);
  tlv[at++] = static_cast<uint8_t>(i);
  tlv[at++] = static_cast<uint8_t>(j);
  put(o.initiator_chap_name, i);
  put(o.initiator_secret, j);
  return tlv;
}

std::optional<RegionImage> VARU_add_initiator_chap_tlv(const RegionImage& image, const session_info& session) {
  std::optional<RegionImage> out = checked_region(image);
  const login_options o = negotiated_of(session);
  const size_t name = ::strnlen(o.initiator_chap_name, sizeof o.initiator_chap_name);
  if (!out || name > kMaxTlvText) return std::nullopt;
  append(*out, chap_tlv(kChapNameTlv, reinterpret_cast<const uint8_t*>(o.initiator_chap_name), name));
  append(*out, chap_tlv(kChapSecretTlv, o.initiator_secret, bounded(o.initiator_secret_length, kChapSecretSize)));
  return out;
}

std::optional<RegionImage> VARU_delete_initiator_chap_tlv(const RegionImage& image) {
  std::vector<Tlv> tlvs;
  if (!walk(image, &tlvs)) return std::nullopt;
  return without(*checked_region(image), tlvs,
                 [](const Tlv& t) { return t.type == kChapNameTlv || t.type == kChapSecretTlv; });
}

// ---- flash ----------------------------------------------------------------------------------------

std::optional<RegionImage> VARU_read_iscsi_region(const CommandAddress& at, int region) {
  std::vector<uint8_t> buffer(kFlashReadSize, 0);
  const std::string name = region_name(at, region);
  std::memcpy(buffer.data() + kFlashDataOffset, name.c_str(), name.size() + 1);
  const uint32_t status = ioctl_common_read_object_version1(at.port, buffer.data(), static_cast<uint16_t>(buffer.size()),
                                                            at.domain, at.phba_port, kProtocolIscsi);
  if (status != 0) {
    pdebug(kBackEnd, 3, "%s: ioctl_common_read_object_version1 failed with status = %d\n", __func__,
           static_cast<int>(status));
    return std::nullopt;
  }
  uint32_t bytes = 0;
  uint32_t end = 0;
  std::memcpy(&bytes, buffer.data(), sizeof bytes);
  std::memcpy(&end, buffer.data() + 4, sizeof end);
  if (bytes == 0 || bytes > kFlashReadRoom) return std::nullopt;
  if ((end & kFlashEndOfObject) == 0) {
    pdebug(kBackEnd, 3, "%s: eof not reached\n", __func__);
    return std::nullopt;
  }
  return RegionImage(buffer.begin() + kFlashDataOffset, buffer.begin() + static_cast<long>(kFlashDataOffset + bytes));
}

uint32_t VARU_write_iscsi_region(const CommandAddress& at, int region, const RegionImage& image) {
  if (image.empty() || image.size() > kMaxRegionImage) return kStatusFailed;
  std::vector<uint8_t> buffer(kFlashWriteHeader + image.size(), 0);
  const uint32_t size = static_cast<uint32_t>(image.size()) | kFlashLastPiece;
  std::memcpy(buffer.data(), &size, sizeof size);
  const std::string name = region_name(at, region);
  std::memcpy(buffer.data() + kFlashDataOffset, name.c_str(), name.size() + 1);
  std::memcpy(buffer.data() + kFlashWriteHeader, image.data(), image.size());
  if (ioctl_common_write_object_version1(at.port, buffer.data(), static_cast<uint16_t>(buffer.size()), at.domain,
                                         at.phba_port, kProtocolIscsi) != 0) {
    return kStatusFailed;
  }
  uint32_t written = 0;
  std::memcpy(&written, buffer.data(), sizeof written);
  pdebug(kBackEnd, 6, "%s: bytes written = %u, change status = %d\n", __func__, written, buffer[4]);
  return written == image.size() ? kStatusOk : kStatusFailed;
}

uint32_t VARU_add_boottarget_tlv(const CommandAddress& at, hm_node* session) {
  const instance_backend_record* rec = record_of(session);
  if (rec == nullptr) {
    pdebug(kBackEnd, 3, "%s:Failed: Invalid session handle.\n", __func__);
    return kStatusFailed;
  }
  session_info info{};
  if (!VARU_get_session_params(rec->firmware_handle, at, &info)) {
    pdebug(kBackEnd, 3, "%s: could not get session info\n", __func__);
    return kStatusFailed;
  }
  const std::optional<std::vector<uint8_t>> tlv = VARU_create_TLV(info);
  if (!tlv) return kStatusFailed;
  const uint32_t result = edit_region(at, kBootRegion, [&](const RegionImage& image) -> std::optional<RegionImage> {
    std::optional<RegionImage> out = VARU_remove_boot_tlv(image, info, 1);
    if (out) append(*out, *tlv);
    return out;
  });
  if (result != 0) return result;
  const login_options o = negotiated_of(info);
  if ((o.chap & 0xFF) != 0 && o.mutual == 1 && VARU_update_initiator_chap_region(at, info) != 0) {
    pdebug(kBackEnd, 3, "%s: Could not update iscsi region 2\n", __func__);
    return kStatusFailed;
  }
  return kStatusOk;
}

uint32_t VARU_delete_boottarget_tlv(const CommandAddress& at, const session_info& session) {
  const uint32_t result = edit_region(at, kBootRegion, [&](const RegionImage& image) {
    return VARU_remove_boot_tlv(image, session, 2);
  });
  if (result != 0) return result;
  const login_options o = negotiated_of(session);
  if ((o.chap & 0xFF) != 0 && o.mutual == 1 && VARU_delete_initiator_chap_region(at) != 0) {
    pdebug(kBackEnd, 3, "%s: Could not delete iscsi region 2\n", __func__);
    return kStatusFailed;
  }
  return kStatusOk;
}

uint32_t VARU_update_initiator_chap_region(const CommandAddress& at, const session_info& session) {
  return edit_region(at, kChapRegion, [&](const RegionImage& image) -> std::optional<RegionImage> {
    std::optional<RegionImage> out = VARU_delete_initiator_chap_tlv(image);
    if (!out) {
      pdebug(kBackEnd, 3, "%s: Failed to remove chap tlv's from the iscsi region\n", __func__);
      return std::nullopt;
    }
    out = VARU_add_initiator_chap_tlv(*out, session);
    if (!out) pdebug(kBackEnd, 3, "%s: Failed to add chap tlv's to the iscsi region\n", __func__);
    return out;
  });
}

uint32_t VARU_delete_initiator_chap_region(const CommandAddress& at) {
  return edit_region(at, kChapRegion, [](const RegionImage& image) { return VARU_delete_initiator_chap_tlv(image); });
}

}  // namespace vx
