// The readers of the OEM block, the available-personalities answer and the additional controller
// attributes on arbitrary replies: every text stays within its field (OEM serial 24, versions 32,
// PHY firmware 160, configuration id 8 behind "0x", IPL name 88 or a table name and its suffix),
// and nothing is read past the record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "adapter/oem_attribs.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

constexpr uint32_t kGenerations[] = {1, 2, 3, 4, 5, 6, 65535};

// The reply's bytes in an exact-size record, the rest of the record zero.
template <typename Record>
std::unique_ptr<Record> record_of(const uint8_t* data, size_t size) {
  auto record = std::make_unique<Record>();
  std::memset(record.get(), 0, sizeof(Record));
  std::memcpy(record.get(), data, size < sizeof(Record) ? size : sizeof(Record));
  return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint32_t generation = kGenerations[data[0] % (sizeof kGenerations / sizeof kGenerations[0])];
  ++data;
  --size;

  vx::OemTexts oem;
  vx::decode_oem_params(*record_of<vx::oem_params>(data, size), generation, &oem);
  require(std::strlen(oem.oem_serial) <= 24 && std::strlen(oem.talvix_serial) <= 22 &&
          std::strlen(oem.personality_word) == 10);
  char names[vx::kValueSize];
  vx::personality_names(size >= 4 ? data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24 : 0,
                        names);
  require(std::strlen(names) <= 19);

  uint8_t buffer[vx::kPersonalityBufferSize] = {};
  std::memcpy(buffer, data, size < sizeof buffer ? size : sizeof buffer);
  vx::available_personalities_text(buffer, names);
  require(std::strlen(names) <= 255);

  vx::AdditionalTexts texts;
  vx::decode_additional_attribs(*record_of<vx::cntr_additional_attribs>(data, size), generation, &texts);
  for (int i = 0; i < 8; ++i) require(std::strlen(texts.values[i]) <= 32);
  require(std::strlen(texts.values[8]) <= 160 && std::strlen(texts.values[9]) <= 10);
  require(std::strlen(texts.values[10]) <= 88);
  return 0;
}
