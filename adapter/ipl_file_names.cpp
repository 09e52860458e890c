// The IPL file names by IPL file number. These are placeholders of the maker's shape, not the
// maker's names: record 0 names an unknown IPL file, and records 1 to 151 are a four-character
// configuration tag (ports, medium, speed) followed by a two- or three-character OEM code.
#include "adapter/oem_attribs.h"

namespace vx {
namespace {

constexpr const char* kUnknownIplFile = "UNKNOWN IPL FILE";
constexpr const char* kTags[] = {"2S10", "2T10", "4S10", "4T10", "2S25", "4S25", "1Q40", "2Q40",
                                 "1Q99", "2Q99", "2B01", "4B01", "2S16", "4S16", "2C25", "4C25"};
constexpr const char* kOemCodes[] = {"QM", "AXR", "BN", "CLV", "DK", "FRN", "GT", "HLB", "JV", "KPS"};
constexpr int kCodes = sizeof kOemCodes / sizeof kOemCodes[0];
static_assert(sizeof kTags / sizeof kTags[0] * kCodes >= kIplRecords - 1, "enough names for every record");

constexpr int put(char* record, int at, const char* text) {
  for (; *text != '\0'; ++text) record[at++] = *text;
  return at;
}

// Record n (from 1): tag (n - 1) / codes, code (n - 1) % codes; the rest of each record NUL.
constexpr IplFileNameTable make_table() {
  IplFileNameTable table{};
  put(table.records[0], 0, kUnknownIplFile);
  for (int n = 1; n < kIplRecords; ++n) {
    put(table.records[n], put(table.records[n], 0, kTags[(n - 1) / kCodes]), kOemCodes[(n - 1) % kCodes]);
  }
  return table;
}

constexpr IplFileNameTable kTable = make_table();

constexpr int length_of(const char* record) {
  int n = 0;
  while (n < kIplRecordSize && record[n] != '\0') ++n;
  return n;
}

constexpr bool shaped(const IplFileNameTable& table) {
  for (int n = 1; n < kIplRecords; ++n) {
    const int length = length_of(table.records[n]);
    if (length != 6 && length != 7) return false;
  }
  return length_of(table.records[0]) > 0 && length_of(table.records[0]) < kIplRecordSize;
}
static_assert(shaped(kTable), "record 0 a text, every other a tag and a two- or three-character code");

}  // namespace

const IplFileNameTable ipl_file_name_table = kTable;

}  // namespace vx
