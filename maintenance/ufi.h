// Firmware image files: the UFI files of generations 2, 3 and 5 (a header, image headers and, inside
// the image, a flash directory found by scanning) and the object files of generation 4 (a short
// header and an image the firmware unpacks itself). All numbers are little-endian. The layouts and
// the fixed tables are shared with tools/vxufi, which writes such files.
//
// The readers bound every field they use by the file: the image count by the file size, a
// generation-5 directory's entry count at 32 (more is refused, never cut), and every component that
// is read or flashed lies within the file, with at least 4 bytes where its CRC is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace vx {

// ---- UFI files ---------------------------------------------------------------------------------

constexpr char kUfiSignature[] = "Quillmarchant Corp";   // 18 characters, no NUL in the file
constexpr size_t kUfiSignatureSize = 18;
constexpr size_t kUfiShortHeaderSize = 96;   // what the generation-2 readers read
constexpr uint32_t kUfiGeneration2Base = 96;   // generation-2 region offsets count from here

struct ufi_file_header {
  char signature[18];
  uint8_t reserved18[50];
  uint32_t image_count;
  char generation;   // '2', '3' or '4'
  uint8_t reserved73[23];
  uint8_t asic_revision;
  uint8_t reserved97[31];
};
static_assert(sizeof(ufi_file_header) == 128);
static_assert(offsetof(ufi_file_header, image_count) == 68);
static_assert(offsetof(ufi_file_header, generation) == 72);
static_assert(offsetof(ufi_file_header, asic_revision) == 96);

struct ufi_image_header {
  uint32_t image_id;   // 1: an image to flash
  uint8_t reserved[44];
};
static_assert(sizeof(ufi_image_header) == 48);
constexpr uint32_t kImageToFlash = 1;

// Where the image data starts: offsets inside generation-3 and -5 images count from here.
constexpr uint64_t image_data_start(uint32_t image_count) {
  return sizeof(ufi_file_header) + uint64_t{sizeof(ufi_image_header)} * image_count;
}

// "*** QM FLAS", five NULs, "H DIRECTORY *** ".
constexpr char kFlashDirectoryCookie[32] = {
    '*', '*', '*', ' ', 'Q', 'M', ' ', 'F', 'L', 'A', 'S', 0,   0,   0,   0,   0,
    'H', ' ', 'D', 'I', 'R', 'E', 'C', 'T', 'O', 'R', 'Y', ' ', '*', '*', '*', ' '};
constexpr uint32_t kMaxDirectoryEntries = 32;
constexpr uint16_t kOptypeFromImageType = 0xFFFF;

struct flash_directory_entry {
  uint32_t image_type;
  uint32_t offset;   // from the image data start
  uint32_t size;     // bytes read and written; the last 4 hold the component's CRC
  uint8_t reserved12[12];
  uint16_t optype;   // 0xFFFF: from the image type
  uint8_t reserved26[38];
};
static_assert(sizeof(flash_directory_entry) == 64);
static_assert(offsetof(flash_directory_entry, optype) == 24);

struct flash_directory {
  char cookie[32];
  uint8_t header0[12];
  uint32_t entry_count;   // entries in use
  uint8_t header16[144];
  flash_directory_entry entries[kMaxDirectoryEntries];
};
static_assert(sizeof(flash_directory) == 2240);
static_assert(offsetof(flash_directory, entry_count) == 44);
static_assert(offsetof(flash_directory, entries) == 192);
constexpr uint32_t kDirectoryStep = 32;
constexpr uint32_t kGeneration2DirectoryWindow = 2256;

// The fixed component table of generation 3; the directory only tells whether a row is present.
enum class FlashCondition : uint8_t { kAlways, kNcsi, kPhy };
struct Vx3Component {
  uint32_t offset;   // from the image data start
  uint32_t optype;
  uint32_t size;
  uint32_t image_type;
  FlashCondition condition;
};
inline constexpr Vx3Component kVx3FlashComponents[] = {
    // offset   optype  size      image type  condition
    {0x200000, 0, 0x200000, 0xA0, FlashCondition::kAlways},
    {0x40000, 1, 0x100000, 0xE0, FlashCondition::kAlways},
    {0xC00000, 2, 0x80000, 0x22, FlashCondition::kAlways},
    {0xC80000, 3, 0x80000, 0x20, FlashCondition::kAlways},
    {0xD00000, 8, 0x80000, 0x21, FlashCondition::kAlways},
    {0x400000, 9, 0x200000, 0xB0, FlashCondition::kAlways},
    {0x600000, 10, 0x200000, 0xA2, FlashCondition::kAlways},
    {0x800000, 11, 0x200000, 0xB2, FlashCondition::kAlways},
    {0xF40000, 13, 0x40000, 0x10, FlashCondition::kNcsi},   // NCSI
    {0x140000, 192, 0x40000, 0xC0, FlashCondition::kPhy},   // PHY
};
constexpr uint32_t kPhyOptype = 192;

// The fixed region list of generation 2, flashed in this order; offsets count from byte 96.
struct Vx2Region {
  uint32_t optype;
  uint32_t offset;
  uint32_t size;
};
inline constexpr Vx2Region kVx2FlashRegions[] = {
    {0, 0x100000, 0x140000}, {9, 0x240000, 0x140000}, {10, 0x380000, 0x140000}, {11, 0x4C0000, 0x140000},
    {1, 0, 0x40000},   // boot code: only when its CRC differs from the flashed one
    {2, 0x700000, 0x40000},  {8, 0x80000, 0x40000},   {3, 0x780000, 0x40000},
};
constexpr uint32_t kBootCodeOptype = 1;
constexpr uint32_t kBootCodeCrcFileOffset = 0x4005C;   // the last 4 bytes of the boot-code region
constexpr uint32_t kBootCodeCrcFlashOffset = 0x3FFFC;

// Generation 5: optype of a directory entry that takes it from its image type.
struct ImageTypeOptype {
  uint32_t image_type;
  uint32_t optype;
};
inline constexpr ImageTypeOptype kOrvelleImageTypes[] = {
    {0xA0, 0}, {0x21, 8}, {0x22, 2}, {0x30, 22}, {0x10, 13}, {0x20, 3},
    {0xD0, 18}, {0xD1, 19}, {0xD2, 23}, {0xB0, 9}, {0xC0, 21}, {0xE0, 1},
};
// The optype of every generation-5 component written by offset.
constexpr uint32_t kOffsetMethodOptype = 7;

// UFI types and sub-types (VARU_get_ufi_type).
constexpr uint32_t kUfiType2 = 2;
constexpr uint32_t kUfiType3 = 3;
constexpr uint32_t kUfiType5 = 5;
constexpr uint32_t kUfiCannotOpen = 39;
constexpr uint32_t kUfiInvalid = 65535;

// ---- object files (generation 4) -----------------------------------------------------------------

struct object_file_header {
  uint32_t file_size;   // must equal the file's size
  uint16_t magic1;      // 1
  uint16_t magic2;      // 0xFEAA
  uint8_t reserved8[3];
  uint8_t file_type;    // 0xF7
  char revision_name[128];
  char date[12];
  char revision[32];
};
static_assert(sizeof(object_file_header) == 184);
static_assert(offsetof(object_file_header, file_type) == 11);
static_assert(offsetof(object_file_header, revision_name) == 12);
static_assert(offsetof(object_file_header, date) == 140);
static_assert(offsetof(object_file_header, revision) == 152);
constexpr uint16_t kObjectMagic1 = 1;
constexpr uint16_t kObjectMagic2 = 0xFEAA;
constexpr uint8_t kObjectFileType = 0xF7;
constexpr size_t kObjectSwappedBytes = 12;   // the words a file of the other byte order swaps

// ---- statuses --------------------------------------------------------------------------------------
constexpr uint32_t kStatusUfiNotFound = 39;
constexpr uint32_t kStatusUfiInvalid = 40;
constexpr uint32_t kStatusObjectInvalid = 263;

// ---- readers ---------------------------------------------------------------------------------------

// An open image file and its size (read once): the readers never read past it.
struct ImageFile {
  FILE* file = nullptr;
  uint64_t size = 0;
  // Exactly `length` bytes at `offset`; false for a range outside the file or a short read.
  bool read_at(uint64_t offset, void* out, size_t length) const;
  // True when [offset, offset + length) lies within the file (no wrap).
  bool holds(uint64_t offset, uint64_t length) const { return offset <= size && length <= size - offset; }
};

// Opens a file for reading and takes its size; NULL file when it does not open, or is not a
// regular file reached without a link at its last component.
ImageFile open_image_file(const char* path);
// The same, trying "/opt/Talvix/Brightlane/<path>" (through the host-path seam) when the path
// itself does not open. A name that does not fit the 260-byte fall-back path is not tried.
ImageFile open_ufi_with_fallback(const char* path);
void close_image_file(ImageFile* image);

// UFI type of a file for an adapter of `generation`: 2, 3, 5, 39 (does not open) or 65535; the
// sub-type is written where the ASIC revision byte gives one.
uint32_t VARU_get_ufi_type(const char* path, uint32_t* subtype, uint32_t generation);
// 0 when the first 96 bytes hold the signature (copied to `header`, 96 bytes), else 1.
uint32_t get_ufi_header(const ImageFile& image, uint8_t* header);
// The whole 128-byte header and its image count bounded by the file: 0, or 1.
uint32_t read_ufi_header(const ImageFile& image, ufi_file_header* header);
// The flash directory found by scanning: generation 2 from byte 96 in windows of 2256 bytes,
// generations 3 and 5 from `start` in windows of 2240. 0 with the directory, or 1.
uint32_t get_flash_dir(const ImageFile& image, flash_directory* out);
uint32_t get_flash_dir_vx3(uint64_t start, const ImageFile& image, flash_directory* out);
// 1 with the first of the 32 entries of that image type, else 0.
uint32_t is_comp_in_ufi(const flash_directory& directory, uint32_t image_type, uint32_t* index);
// Optype of a generation-5 image type; false for one not in the table.
bool orvelle_optype(uint32_t image_type, uint32_t* optype);

// Checks an open generation-2 file: its signature and its directory, found from byte 96. 0, or 1
// with status 40.
uint32_t ChkForValidUFI(const ImageFile& image, uint8_t* header96, flash_directory* directory);

// Reverses the bytes of every 32-bit word; the length is rounded up to a multiple of 4, which the
// buffer must hold.
inline void swap32_buffer(void* words, uint32_t length) {
  auto* bytes = static_cast<uint8_t*>(words);
  const uint32_t rounded = (length + 3u) & ~3u;
  for (uint32_t i = 0; i + 4 <= rounded; i += 4) {
    uint8_t b0 = bytes[i];
    uint8_t b1 = bytes[i + 1];
    bytes[i] = bytes[i + 3];
    bytes[i + 1] = bytes[i + 2];
    bytes[i + 2] = b1;
    bytes[i + 3] = b0;
  }
}
// Checks an object file held in memory: 0 with the (swapped when needed) header in `header`, else
// 1 with status 263.
uint32_t process_obj_file(const uint8_t* data, uint32_t length, object_file_header* header);

}  // namespace vx
