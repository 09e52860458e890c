// The readers of firmware image files on arbitrary files: the header's image count never reaches
// past the file, a directory is found only where its cookie and its whole window are, and an object
// file is accepted only when its header says what the file is.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "maintenance/ufi.h"

using vxfuzz::require;

namespace {

void read_ufi(const vx::ImageFile& image, const std::string& path) {
  vx::ufi_file_header header{};
  if (vx::read_ufi_header(image, &header) == 0) require(vx::image_data_start(header.image_count) <= image.size);
  vx::flash_directory dir{};
  if (vx::get_flash_dir_vx3(vx::image_data_start(header.image_count), image, &dir) == 0) {
    require(std::memcmp(dir.cookie, vx::kFlashDirectoryCookie, sizeof dir.cookie) == 0);
    require(image.size >= sizeof dir);
    uint32_t index = 0;
    if (vx::is_comp_in_ufi(dir, dir.entries[0].image_type, &index) == 1) require(index == 0);
  }
  if (vx::get_flash_dir(image, &dir) == 0) {
    require(image.size >= vx::kUfiShortHeaderSize + vx::kGeneration2DirectoryWindow);
  }
  for (uint32_t generation : {2u, 3u, 5u}) {
    uint32_t subtype = 0;
    const uint32_t type = vx::VARU_get_ufi_type(path.c_str(), &subtype, generation);
    require(type == 2 || type == 3 || type == 5 || type == 65535);
    require(type == 65535 || image.size >= (generation == 2 ? vx::kUfiShortHeaderSize : sizeof header));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const vxfuzz::Reply copy(data, size);
  vx::object_file_header header{};
  if (vx::process_obj_file(copy.bytes(), static_cast<uint32_t>(size), &header) == 0) {
    require(size >= sizeof header && header.file_size == size && header.file_type == vx::kObjectFileType);
    require(header.magic1 == vx::kObjectMagic1 || header.magic2 == vx::kObjectMagic2);
  }

  const int fd = ::memfd_create("image", 0);
  if (fd < 0) return 0;
  if (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)) {
    ::close(fd);
    return 0;
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  vx::ImageFile image = vx::open_image_file(path.c_str());
  if (image.file != nullptr) {
    require(image.size == size);
    read_ufi(image, path);
    vx::close_image_file(&image);
  }
  ::close(fd);
  return 0;
}
