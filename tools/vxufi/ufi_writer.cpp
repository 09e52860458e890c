#include "tools/vxufi/ufi_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <nlohmann/json.hpp>

#include "maintenance/ufi.h"

namespace vxufi {
namespace {

using json = nlohmann::json;

struct Error {
  std::string text;
};
[[noreturn]] void fail(const std::string& what) { throw Error{what}; }

constexpr uint32_t kGeneration5Alignment = 0x1000;
constexpr uint64_t kMaxFileSize = 1ull << 30;
constexpr uint32_t kCrcSize = 4;
constexpr uint32_t kGeneration2DirectoryAt = 0x40000;   // the gap after the boot code
constexpr uint32_t kGeneration2Span = 0x7C0000;         // the regions end here

// A JSON number or a text in any base ("0x5a", "17").
uint64_t number(const json& obj, const char* key, uint64_t fallback, uint64_t max) {
  if (!obj.contains(key)) return fallback;
  const json& v = obj.at(key);
  uint64_t value = 0;
  if (v.is_number_unsigned()) {
    value = v.get<uint64_t>();
  } else if (v.is_string()) {
    const std::string text = v.get<std::string>();
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || errno != 0 || text[0] == '-') fail(std::string(key) + " is not a number");
  } else {
    fail(std::string(key) + " must be a number");
  }
  if (value > max) fail(std::string(key) + " is out of range");
  return value;
}

std::string hex_bytes(const std::string& text) {
  std::string out;
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == '\n' || c == '\t') continue;
    const int v = (c >= '0' && c <= '9')   ? c - '0'
                  : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                  : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                           : -1;
    if (v < 0) fail("bytes must be hexadecimal digits");
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<char>(high * 16 + v));
      high = -1;
    }
  }
  if (high >= 0) fail("bytes have an odd number of digits");
  return out;
}

void put(std::string& file, uint64_t at, const void* bytes, size_t size) {
  if (at + size > kMaxFileSize) fail("the file would be larger than 1 GiB");
  if (file.size() < at + size) file.resize(at + size, '\0');
  std::memcpy(&file[at], bytes, size);
}
void put(std::string& file, uint64_t at, const std::string& bytes) { put(file, at, bytes.data(), bytes.size()); }

// `size` bytes: the component's bytes or its fill, then its CRC in the last 4.
std::string content(const json& c, uint32_t size, bool with_crc) {
  std::string bytes = c.contains("bytes") ? hex_bytes(c.at("bytes").get<std::string>()) : std::string();
  if (bytes.size() > size) fail("a component's bytes do not fit its size");
  bytes.resize(size, static_cast<char>(number(c, "fill", 0, 0xFF)));
  if (with_crc && size >= kCrcSize) {
    const auto* data = reinterpret_cast<const Bytef*>(bytes.data());
    const uint32_t crc = c.contains("crc") ? static_cast<uint32_t>(number(c, "crc", 0, 0xFFFFFFFF))
                                           : static_cast<uint32_t>(::crc32(0, data, size - kCrcSize));
    std::memcpy(&bytes[size - kCrcSize], &crc, sizeof crc);
  }
  return bytes;
}

const json& components_of(const json& d) {
  static const json kNone = json::array();
  if (!d.contains("components")) return kNone;
  if (!d.at("components").is_array()) fail("components must be a list");
  return d.at("components");
}

vx::ufi_file_header ufi_header(const json& d, char generation, uint32_t image_count) {
  vx::ufi_file_header h{};
  std::memcpy(h.signature, vx::kUfiSignature, vx::kUfiSignatureSize);
  h.image_count = static_cast<uint32_t>(number(d, "image_count", image_count, 0xFFFFFFFF));
  h.generation = generation;
  h.asic_revision = static_cast<uint8_t>(number(d, "asic_revision", 0, 0xFF));
  return h;
}

// The header and the image headers; returns the image data start.
uint64_t put_ufi_headers(const json& d, char generation, std::string& file) {
  std::vector<uint32_t> ids{vx::kImageToFlash};
  if (d.contains("image_ids")) {
    ids.clear();
    for (const json& id : d.at("image_ids")) ids.push_back(id.get<uint32_t>());
  }
  const vx::ufi_file_header h = ufi_header(d, generation, static_cast<uint32_t>(ids.size()));
  put(file, 0, &h, sizeof h);
  for (size_t i = 0; i < ids.size(); ++i) {
    vx::ufi_image_header ih{};
    ih.image_id = ids[i];
    put(file, sizeof h + sizeof ih * i, &ih, sizeof ih);
  }
  return vx::image_data_start(static_cast<uint32_t>(ids.size()));
}

void put_directory(std::string& file, uint64_t at, vx::flash_directory& dir) {
  std::memcpy(dir.cookie, vx::kFlashDirectoryCookie, sizeof dir.cookie);
  put(file, at, &dir, sizeof dir);
}

void generation2(const json& d, Written* out) {
  std::string& file = out->bytes;
  const vx::ufi_file_header h = ufi_header(d, '2', 0);
  put(file, 0, &h, vx::kUfiShortHeaderSize);
  file.resize(vx::kUfiGeneration2Base + kGeneration2Span, '\0');
  vx::flash_directory dir{};
  put_directory(file, vx::kUfiGeneration2Base + kGeneration2DirectoryAt, dir);
  const json& list = components_of(d);
  for (const vx::Vx2Region& region : vx::kVx2FlashRegions) {
    const json none = json::object();
    const json* given = &none;
    for (const json& c : list) {
      if (number(c, "optype", 0xFFFFFFFF, 0xFFFFFFFF) == region.optype) given = &c;
    }
    put(file, vx::kUfiGeneration2Base + region.offset, content(*given, region.size, true));
  }
  for (const json& c : list) {
    const uint64_t optype = number(c, "optype", 0xFFFFFFFF, 0xFFFFFFFF);
    auto row = std::find_if(std::begin(vx::kVx2FlashRegions), std::end(vx::kVx2FlashRegions),
                            [&](const vx::Vx2Region& r) { return r.optype == optype; });
    if (row == std::end(vx::kVx2FlashRegions)) fail("generation 2 has no region of optype " + std::to_string(optype));
    out->placed.push_back({row->optype, 0, vx::kUfiGeneration2Base + row->offset, row->size});
  }
}

void generation3(const json& d, Written* out) {
  std::string& file = out->bytes;
  const uint64_t start = put_ufi_headers(d, '3', file);
  vx::flash_directory dir{};
  const json& list = components_of(d);
  for (const json& c : list) {
    const uint64_t type = number(c, "image_type", 0xFFFFFFFF, 0xFFFFFFFF);
    auto row = std::find_if(std::begin(vx::kVx3FlashComponents), std::end(vx::kVx3FlashComponents),
                            [&](const vx::Vx3Component& r) { return r.image_type == type; });
    if (row == std::end(vx::kVx3FlashComponents)) {
      fail("generation 3 has no component of image type " + std::to_string(type));
    }
    if (dir.entry_count == vx::kMaxDirectoryEntries) fail("more than 32 components");
    vx::flash_directory_entry& e = dir.entries[dir.entry_count++];
    e.image_type = row->image_type;
    e.offset = row->offset;
    e.size = row->size;
    e.optype = static_cast<uint16_t>(row->optype);
    put(file, start + row->offset, content(c, row->size, true));
    out->placed.push_back({row->optype, row->image_type, start + row->offset, row->size});
  }
  put_directory(file, start, dir);
}

void generation5(const json& d, Written* out) {
  std::string& file = out->bytes;
  const uint64_t start = put_ufi_headers(d, '4', file);
  vx::flash_directory dir{};
  const json& list = components_of(d);
  if (list.size() > vx::kMaxDirectoryEntries) fail("more than 32 components");
  uint64_t next = kGeneration5Alignment;
  for (size_t i = 0; i < list.size(); ++i) {
    const json& c = list[i];
    vx::flash_directory_entry& e = dir.entries[i];
    e.image_type = static_cast<uint32_t>(number(c, "image_type", 0, 0xFFFFFFFF));
    e.optype = static_cast<uint16_t>(number(c, "optype", vx::kOptypeFromImageType, 0xFFFF));
    e.size = static_cast<uint32_t>(number(c, "size", 0, 0xFFFFFFFF));
    e.offset = static_cast<uint32_t>(number(c, "offset", next, 0xFFFFFFFF));
    if (!c.value("absent", false)) put(file, start + e.offset, content(c, e.size, true));
    next = (e.offset + uint64_t{e.size} + kGeneration5Alignment - 1) / kGeneration5Alignment * kGeneration5Alignment;
    out->placed.push_back({e.optype, e.image_type, start + e.offset, e.size});
  }
  dir.entry_count = static_cast<uint32_t>(number(d, "entry_count", list.size(), 0xFFFFFFFF));
  put_directory(file, start, dir);
}

void text_field(char* field, size_t size, const json& d, const char* key) {
  const std::string text = d.contains(key) ? d.at(key).get<std::string>() : std::string();
  std::strncpy(field, text.c_str(), size);
}

void generation4(const json& d, Written* out) {
  const uint32_t size = static_cast<uint32_t>(number(d, "size", 0, kMaxFileSize));
  if (size < sizeof(vx::object_file_header)) fail("an object file holds at least its 184-byte header");
  vx::object_file_header h{};
  h.file_size = size;
  h.magic1 = vx::kObjectMagic1;
  h.magic2 = vx::kObjectMagic2;
  h.file_type = vx::kObjectFileType;
  text_field(h.revision_name, sizeof h.revision_name, d, "revision_name");
  text_field(h.date, sizeof h.date, d, "date");
  text_field(h.revision, sizeof h.revision, d, "revision");
  if (d.value("byte_order", "") == "swapped") vx::swap32_buffer(&h, vx::kObjectSwappedBytes);
  out->bytes = content(d, size, false);
  std::memcpy(&out->bytes[0], &h, sizeof h);
  out->placed.push_back({0, 0, 0, size});
}

}  // namespace

bool build_file(const std::string& description, Written* out, std::string* error) {
  *out = Written{};
  try {
    const json d = json::parse(description);
    if (!d.is_object()) fail("the description must be a JSON object");
    switch (number(d, "generation", 0, 0xFF)) {
      case 2: generation2(d, out); break;
      case 3: generation3(d, out); break;
      case 4: generation4(d, out); break;
      case 5: generation5(d, out); break;
      default: fail("generation must be 2, 3, 4 or 5");
    }
    if (d.contains("truncate")) {
      out->bytes.resize(std::min<uint64_t>(out->bytes.size(), number(d, "truncate", 0, kMaxFileSize)));
    }
    return true;
  } catch (const Error& e) {
    *error = e.text;
  } catch (const std::exception& e) {
    *error = e.what();
  }
  return false;
}

bool write_file(const std::string& description, const std::string& path, Written* out, std::string* error) {
  if (!build_file(description, out, error)) return false;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(out->bytes.data(), static_cast<std::streamsize>(out->bytes.size()));
  file.close();
  if (!file) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace vxufi
