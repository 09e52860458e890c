#include "maintenance/ufi.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/hm.h"
#include "engine/messages.h"
#include "platform/platform.h"

namespace vx {
namespace {

constexpr const char* kFallbackDirectory = "/opt/Talvix/Brightlane/";
constexpr size_t kFallbackPathSize = 260;
constexpr size_t kScanBlock = 64 * 1024;   // a multiple of the 32-byte scan step
static_assert(kScanBlock % kDirectoryStep == 0);

bool signed_header(const uint8_t* header) { return std::memcmp(header, kUfiSignature, kUfiSignatureSize) == 0; }

// Sub-types of the ASIC revision byte by file generation.
uint32_t vx3_subtype(uint8_t revision) { return revision == 0x10 ? 4 : revision == 0x11 ? 11 : 3; }
bool orvelle_subtype(uint8_t revision, uint32_t* subtype) {
  switch (revision) {
    case 0x10: *subtype = 16; return true;
    case 0x11: *subtype = 17; return true;
    case 0x20: *subtype = 32; return true;
    default: return false;
  }
}

// Scans for the directory cookie at `start`, `start` + 32 ...; a window of `window` bytes must lie
// within the file. Reads the file in blocks, so a long scan costs one pass over the bytes.
uint32_t scan_directory(const ImageFile& image, uint64_t start, uint32_t window, flash_directory* out) {
  if (image.file == nullptr || out == nullptr) return 1;
  std::vector<char> block(kScanBlock);
  for (uint64_t base = start; image.holds(base, window); base += kScanBlock) {
    const size_t got = static_cast<size_t>(std::min<uint64_t>(kScanBlock, image.size - base));
    if (!image.read_at(base, block.data(), got)) return 1;
    for (size_t off = 0; off + sizeof out->cookie <= got; off += kDirectoryStep) {
      if (!image.holds(base + off, window)) return 1;
      if (std::memcmp(block.data() + off, kFlashDirectoryCookie, sizeof out->cookie) == 0) {
        return image.read_at(base + off, out, sizeof *out) ? 0 : 1;
      }
    }
  }
  return 1;
}

}  // namespace

bool ImageFile::read_at(uint64_t offset, void* out, size_t length) const {
  if (file == nullptr || !holds(offset, length)) return false;
  if (::fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
  return std::fread(out, 1, length, file) == length;
}

ImageFile open_image_file(const char* path) {
  ImageFile image;
  if (path == nullptr || path[0] == '\0') return image;
  // The caller's name is opened as given, relative to the working directory, and only as a regular
  // file: a FIFO would hold the update (and its locks) until someone wrote to it.
  const int fd = open_caller_file(path);
  if (fd < 0) return image;
  image.file = ::fdopen(fd, "rb");
  if (image.file == nullptr) {
    ::close(fd);
    return image;
  }
  const off_t end = ::fseeko(image.file, 0, SEEK_END) == 0 ? ::ftello(image.file) : -1;
  if (end < 0) {
    close_image_file(&image);
    return image;
  }
  image.size = static_cast<uint64_t>(end);
  return image;
}

ImageFile open_ufi_with_fallback(const char* path) {
  ImageFile image = open_image_file(path);
  if (image.file != nullptr || path == nullptr) return image;
  const std::string fallback = std::string(kFallbackDirectory) + path;
  if (fallback.size() >= kFallbackPathSize) {
    pdebug(kBackEnd, 3, "%s: the file name does not fit the fall-back directory\n", __func__);
    return image;
  }
  return open_image_file(host_path(fallback).c_str());
}

void close_image_file(ImageFile* image) {
  if (image->file != nullptr) std::fclose(image->file);
  image->file = nullptr;
  image->size = 0;
}

uint32_t VARU_get_ufi_type(const char* path, uint32_t* subtype, uint32_t generation) {
  ImageFile image = open_image_file(path);
  if (image.file == nullptr) return kUfiCannotOpen;
  ufi_file_header header{};
  const size_t wanted = generation == 2 ? kUfiShortHeaderSize : sizeof header;
  const bool read = image.read_at(0, &header, wanted);
  close_image_file(&image);
  if (!read || !signed_header(reinterpret_cast<const uint8_t*>(&header))) return kUfiInvalid;
  if (generation == 2) return header.generation == '2' ? kUfiType2 : kUfiInvalid;
  switch (header.generation) {
    case '3':
      if (subtype != nullptr) *subtype = vx3_subtype(header.asic_revision);
      return kUfiType3;
    case '4': {
      uint32_t value = 0;
      if (subtype != nullptr && orvelle_subtype(header.asic_revision, &value)) *subtype = value;
      return kUfiType5;
    }
    default:
      return kUfiInvalid;
  }
}

uint32_t get_ufi_header(const ImageFile& image, uint8_t* header) {
  if (header == nullptr || !image.read_at(0, header, kUfiShortHeaderSize) || !signed_header(header)) {
    pdebug(kBackEnd, 3, "No signature found\n");
    return 1;
  }
  return 0;
}

uint32_t read_ufi_header(const ImageFile& image, ufi_file_header* header) {
  if (header == nullptr || !image.read_at(0, header, sizeof *header) ||
      !signed_header(reinterpret_cast<const uint8_t*>(header))) {
    pdebug(kBackEnd, 3, "No signature found\n");
    return 1;
  }
  if (image_data_start(header->image_count) > image.size) {
    pdebug(kBackEnd, 3, "%s: %u image headers do not fit the file\n", __func__, header->image_count);
    return 1;
  }
  return 0;
}

uint32_t get_flash_dir(const ImageFile& image, flash_directory* out) {
  return scan_directory(image, kUfiShortHeaderSize, kGeneration2DirectoryWindow, out);
}

uint32_t get_flash_dir_vx3(uint64_t start, const ImageFile& image, flash_directory* out) {
  return scan_directory(image, start, sizeof(flash_directory), out);
}

uint32_t is_comp_in_ufi(const flash_directory& directory, uint32_t image_type, uint32_t* index) {
  for (uint32_t i = 0; i < kMaxDirectoryEntries; ++i) {
    if (directory.entries[i].image_type == image_type) {
      if (index != nullptr) *index = i;
      return 1;
    }
  }
  return 0;
}

bool orvelle_optype(uint32_t image_type, uint32_t* optype) {
  for (const ImageTypeOptype& row : kOrvelleImageTypes) {
    if (row.image_type == image_type) {
      *optype = row.optype;
      return true;
    }
  }
  return false;
}

uint32_t ChkForValidUFI(const ImageFile& image, uint8_t* header96, flash_directory* directory) {
  uint8_t header[kUfiShortHeaderSize];
  flash_directory found{};
  if (get_ufi_header(image, header) != 0 || get_flash_dir(image, &found) != 0) {
    fail(kStatusUfiInvalid, "%s", msg::kUfiInvalid);
    return 1;
  }
  if (header96 != nullptr) std::memcpy(header96, header, sizeof header);
  if (directory != nullptr) *directory = found;
  return 0;
}

uint32_t process_obj_file(const uint8_t* data, uint32_t length, object_file_header* header) {
  auto refuse = [](const char* why) {
    pdebug(kBackEnd, 3, "%s: %s\n", "process_obj_file", why);
    fail(kStatusObjectInvalid, "%s", msg::kObjectFileInvalid);
    return 1u;
  };
  if (data == nullptr || header == nullptr || length < sizeof(object_file_header)) return refuse("Invalid size");
  std::memcpy(header, data, sizeof *header);
  auto magic_ok = [header] { return header->magic1 == kObjectMagic1 || header->magic2 == kObjectMagic2; };
  if (!magic_ok()) {
    // A file written in the other byte order: its first three words read swapped.
    swap32_buffer(header, kObjectSwappedBytes);
    if (!magic_ok()) return refuse("Invalid Magic Number");
  }
  if (header->file_size != length) return refuse("Invalid FileSize");
  if (header->file_type != kObjectFileType) return refuse("Invalid FileType");
  pdebug(kBackEnd, 6, "Revision name: %.*s, date: %.*s, revision: %.*s\n",
         static_cast<int>(sizeof header->revision_name), header->revision_name, static_cast<int>(sizeof header->date),
         header->date, static_cast<int>(sizeof header->revision), header->revision);
  return 0;
}

}  // namespace vx
