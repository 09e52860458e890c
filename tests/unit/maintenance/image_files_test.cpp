// The readers of firmware image files on hand-made bytes, the shape of the core-dump segment
// templates, and the ASIC type of a dump.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "maintenance/core_dump.h"
#include "maintenance/core_dump_templates.h"
#include "maintenance/ufi.h"
#include "support/test_support.h"

namespace {

using namespace vx;

// A UFI header of `size` bytes (at most 128) with the generation character and ASIC revision.
std::string header(char generation, uint8_t revision, size_t size = 128, uint32_t images = 0) {
  ufi_file_header h{};
  std::memcpy(h.signature, kUfiSignature, kUfiSignatureSize);
  h.generation = generation;
  h.asic_revision = revision;
  h.image_count = images;
  return std::string(reinterpret_cast<const char*>(&h), size);
}

class ImageFiles : public ::testing::Test {
 protected:
  std::string file(const std::string& bytes) {
    root_.write("/f.bin", bytes);
    return root_.at("/f.bin");
  }
  vxtest::TempRoot root_;
};

TEST_F(ImageFiles, TypeAndSubTypeOfAHeader) {
  struct Row {
    std::string bytes;
    uint32_t adapter;
    uint32_t type;
    uint32_t subtype;   // starts at 99: unchanged when no sub-type is given
  } rows[] = {
      {header('3', 0x10), 3, 3, 4},    {header('3', 0x11), 3, 3, 11},   {header('3', 0x20), 3, 3, 3},
      {header('4', 0x10), 5, 5, 16},   {header('4', 0x11), 5, 5, 17},   {header('4', 0x20), 5, 5, 32},
      {header('4', 0x30), 5, 5, 99},   {header('2', 0), 3, 65535, 99},  {header('2', 0, 96), 2, 2, 99},
      {header('3', 0x10), 2, 65535, 99}, {header('3', 0x10, 100), 3, 65535, 99},   // a cut header
      {"quillmarchant Corp" + header('3', 0x10).substr(18), 3, 65535, 99},   // another signature
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.bytes[72]);
    uint32_t subtype = 99;
    EXPECT_EQ(VARU_get_ufi_type(file(row.bytes).c_str(), &subtype, row.adapter), row.type);
    EXPECT_EQ(subtype, row.subtype);
  }
  EXPECT_EQ(VARU_get_ufi_type(root_.at("/missing").c_str(), nullptr, 3), 39u);
}

TEST_F(ImageFiles, TheDirectoryIsFoundOnlyAtWholeStepsAndWithinTheFile) {
  auto with_directory = [](size_t at, size_t tail) {
    std::string bytes = header('3', 0, 128, 0) + std::string(at, '\0');
    bytes += std::string(kFlashDirectoryCookie, 32) + std::string(sizeof(flash_directory) - 32 + tail, '\0');
    return bytes;
  };
  struct Row {
    std::string bytes;
    bool found;
  } rows[] = {
      {with_directory(0, 0), true},        // image count 0: the image data starts at 128
      {with_directory(64 * 1024 + 96, 0), true},   // past the first block of the scan
      {with_directory(16, 100), false},    // not a whole number of steps from the start
      {with_directory(32, 0).substr(0, 128 + 32 + 2239), false},   // the window runs past the end
  };
  for (const Row& row : rows) {
    ImageFile image = open_image_file(file(row.bytes).c_str());
    ufi_file_header h{};
    ASSERT_EQ(read_ufi_header(image, &h), 0u);
    flash_directory dir{};
    EXPECT_EQ(get_flash_dir_vx3(image_data_start(h.image_count), image, &dir) == 0, row.found);
    close_image_file(&image);
  }
  ImageFile image = open_image_file(file(header('3', 0, 128, 1)).c_str());   // one image header claimed, none there
  ufi_file_header h{};
  EXPECT_EQ(read_ufi_header(image, &h), 1u);
  close_image_file(&image);
}

TEST_F(ImageFiles, ObjectFileChecks) {
  auto object = [](uint32_t size, uint16_t magic1, uint16_t magic2, uint8_t type, bool swapped) {
    object_file_header h{};
    h.file_size = size;
    h.magic1 = magic1;
    h.magic2 = magic2;
    h.file_type = type;
    if (swapped) swap32_buffer(&h, kObjectSwappedBytes);
    std::string bytes(reinterpret_cast<const char*>(&h), sizeof h);
    bytes.resize(size, 'x');
    return bytes;
  };
  struct Row {
    std::string bytes;
    uint32_t want;
  } rows[] = {
      {object(200, 1, 0, 0xF7, false), 0},        {object(200, 0, 0xFEAA, 0xF7, false), 0},
      {object(200, 1, 0xFEAA, 0xF7, true), 0},    // the other byte order
      {object(200, 2, 0, 0xF7, false), 263},      {object(201, 1, 0, 0xF7, false).substr(0, 200), 263},
      {object(200, 1, 0, 0xF6, false), 263},      {object(184, 1, 0, 0xF7, false).substr(0, 183), 263},
  };
  for (const Row& row : rows) {
    object_file_header h{};
    const auto* bytes = reinterpret_cast<const uint8_t*>(row.bytes.data());
    const uint32_t rc = process_obj_file(bytes, static_cast<uint32_t>(row.bytes.size()), &h);
    EXPECT_EQ(rc == 0 ? 0u : vxtest::last_status().code, row.want);
  }
}

TEST(CoreDumpTemplates, ShapeOfEachTemplate) {
  struct Row {
    const SegmentTemplate* tmpl;
    uint32_t rows, coded, dead, live, compressed;
  } rows[] = {
      {chip_template(2), 306, 36, 36, 4, 3},  {chip_template(3), 306, 41, 41, 7, 3},
      {chip_template(5), 338, 55, 52, 7, 6},  {chip_template(6), 258, 3, 3, 0, 2},
      {&test_template(), 223, 13, 12, 11, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.tmpl->name);
    uint32_t dead = 0, live = 0, compressed = 0;
    for (size_t i = 0; i < row.tmpl->coded_count; ++i) {
      const CodedRow& r = row.tmpl->coded[i];
      EXPECT_LT(r.segment, row.tmpl->rows);
      EXPECT_GT(r.word_count, 0u);
      dead += r.dead;
      live += r.live;
      compressed += r.compress;
      // The chip templates' live rows are the statistics and DMA-status segments.
      if (r.live != 0 && row.tmpl != &test_template()) {
        EXPECT_TRUE((r.segment >= 0x70 && r.segment <= 0x73) || (r.segment >= 0x80 && r.segment <= 0x82)) << r.name;
      }
    }
    EXPECT_EQ(row.tmpl->coded_count, row.coded);
    EXPECT_EQ(std::vector<uint32_t>({dead, live, compressed}),
              std::vector<uint32_t>({row.dead, row.live, row.compressed}));
  }
  EXPECT_EQ(chip_template(4), nullptr);
}

TEST(CoreDumpTemplates, AsicTypeFromTheHqiInterfaceWord) {
  struct Row {
    uint32_t hqi;
    uint32_t asic_id;
    uint32_t want;   // from 7: unchanged
  } rows[] = {
      {0, 0x410, 65535},          {0xC0010040, 0, 2},      {0xC0010140, 0, 3},      {0xC0010A40, 0, 4},
      {0xC0010B40, 0, 4},         {0xC0010F40, 0x410, 5},  {0xC0010240, 0x411, 5},  {0xC0010F40, 0x500, 6},
      {0xC0010240, 0x500, 7},     {0xC0010C40, 0, 7},      {0x12345, 0, 7},         // five digits: no sixth
  };
  for (const Row& row : rows) {
    uint32_t type = 7;
    VARU_get_asic_type(row.hqi, &type, row.asic_id);
    EXPECT_EQ(type, row.want) << std::hex << row.hqi;
  }
}

}  // namespace
