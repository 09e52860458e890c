#include "sim/startup_commands.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vx::sim {
namespace {

constexpr size_t kVpdSize = 1024;
constexpr uint8_t kVpdIdentifierTag = 0x82;
constexpr uint8_t kVpdReadOnlyTag = 0x90;
constexpr uint8_t kVpdEndTag = 0x78;

// MAC query kinds by request byte 0: 1 the current MAC (the NIC path, byte 1 also 1), 9 the
// permanent table; 0 with byte 1 set is the iSCSI path's request for the current MAC.
constexpr uint8_t kMacKindIscsi = 0;
constexpr uint8_t kMacKindCurrent = 1;
constexpr uint8_t kMacKindPermanent = 9;
constexpr size_t kMacQueryTable = 10;
constexpr size_t kMacQueryStride = 8;
constexpr size_t kMacOffset = 2;

constexpr size_t kOemSize = 44;
constexpr size_t kOemSerialOffset = 12;
constexpr size_t kOemSerialField = 24;
constexpr size_t kOemPersonalityWord = 36;
constexpr size_t kOemPersonalityBits = 40;

// Additional controller attributes: u16 IPL number, u8 suffix, u8 temperature at 4, eight 32-byte
// version texts from 28, the FCoE WWPN at 348, PHY firmware (160) at 356, PHY configuration id (8)
// at 516, IPL file name (88) at 524.
constexpr size_t kAdditionalSize = 612;
constexpr size_t kTemperatureOffset = 4;
constexpr size_t kVersionsOffset = 28;
constexpr size_t kVersionField = 32;
constexpr size_t kWwpnOffset = 348;
constexpr size_t kPhyFirmwareOffset = 356;
constexpr size_t kPhyConfigOffset = 516;
constexpr size_t kIplFileNameOffset = 524;

struct Privileged {
  uint8_t opcode;
  uint8_t subsystem;
};
constexpr Privileged kPrivileged[] = {{72, 1}, {21, 11}, {66, 1}, {77, 1}};

void put_keyword(std::vector<uint8_t>& out, const char* key, const std::string& value) {
  const size_t n = std::min<size_t>(value.size(), 255);
  out.push_back(static_cast<uint8_t>(key[0]));
  out.push_back(static_cast<uint8_t>(key[1]));
  out.push_back(static_cast<uint8_t>(n));
  out.insert(out.end(), value.begin(), value.begin() + static_cast<std::ptrdiff_t>(n));
}

void put_large_tag(std::vector<uint8_t>& out, uint8_t tag, size_t length) {
  out.push_back(tag);
  out.push_back(static_cast<uint8_t>(length & 0xFF));
  out.push_back(static_cast<uint8_t>(length >> 8));
}

// Every PCI function of the adapter, both kinds.
const Function* function_numbered(const Adapter& a, int number) {
  for (const auto* list : {&a.iscsi_functions, &a.nic_functions}) {
    for (const Function& f : *list) {
      if (f.number == number) return &f;
    }
  }
  return nullptr;
}

}  // namespace

bool refused_on_virtual_function(const Command& c) {
  if (!c.adapter.virtual_function) return false;
  return std::any_of(std::begin(kPrivileged), std::end(kPrivileged),
                     [&](const Privileged& p) { return p.opcode == c.opcode && p.subsystem == c.subsystem; });
}

std::vector<uint8_t> vpd_image(const Adapter& a, const Function& f, bool nic) {
  std::vector<uint8_t> out;
  const std::string id = a.description.empty() ? a.model : a.description;
  put_large_tag(out, kVpdIdentifierTag, id.size());
  out.insert(out.end(), id.begin(), id.end());

  std::vector<uint8_t> fields;
  put_keyword(fields, "PN", a.model);
  put_keyword(fields, "EC", "A0");
  put_keyword(fields, "SN", a.serial_number);
  put_keyword(fields, "MN", a.manufacturer);
  put_keyword(fields, "V0", std::string(nic ? "NIC" : "iSCSI") + " function " + std::to_string(f.number));
  const size_t read_only_length = fields.size() + 4;   // and RV with its one checksum byte
  put_large_tag(out, kVpdReadOnlyTag, read_only_length);
  out.insert(out.end(), fields.begin(), fields.end());
  out.push_back('R');
  out.push_back('V');
  out.push_back(1);
  uint8_t sum = 0;
  for (uint8_t b : out) sum = static_cast<uint8_t>(sum + b);
  out.push_back(static_cast<uint8_t>(0x100 - sum));   // the bytes up to here add up to 0
  out.push_back(kVpdEndTag);
  out.resize(kVpdSize, 0);
  return out;
}

Answer fetch_vpd(Command& c) {
  std::vector<uint8_t> image = vpd_image(c.adapter, c.function, c.nic_path);
  // The answer fills the request's room: data first, the rest of the buffer cleared.
  std::vector<uint8_t> record(std::max<size_t>(kVpdSize, c.payload.size()), 0);
  std::copy(image.begin(), image.end(), record.begin());
  return answer_record(c, record.data(), record.size());
}

Answer mac_query(Command& c) {
  const std::string request = c.payload.bytes(0, 2);
  const uint8_t kind = request.empty() ? 0 : static_cast<uint8_t>(request[0]);
  const bool flag = request.size() > 1 && request[1] == 1;
  if (kind == kMacKindPermanent) {
    for (int n = 0; n <= kMaxFunctionNumber; ++n) {
      const Function* f = function_numbered(c.adapter, n);
      if (f != nullptr) c.payload.put(kMacQueryTable + kMacQueryStride * static_cast<size_t>(n), f->mac.data(), f->mac.size());
    }
  } else if (kind == kMacKindCurrent || (kind == kMacKindIscsi && flag)) {
    c.payload.put(kMacOffset, c.function.mac.data(), c.function.mac.size());
  }
  Answer a;
  a.length = c.payload.size();
  return a;
}

Answer mac_list(Command& c) {
  c.payload.put(kMacOffset, c.function.mac.data(), c.function.mac.size());
  Answer a;
  a.length = c.payload.size();
  return a;
}

Answer start_management_service(Command&) { return Answer{}; }

Answer oem_params(Command& c) {
  uint8_t block[kOemSize] = {};
  const std::string& serial = c.adapter.serial_number;
  std::memcpy(block, serial.data(), std::min<size_t>(serial.size(), kOemSerialOffset));
  const std::string& oem = c.adapter.oem_serial_number;
  std::memcpy(block + kOemSerialOffset, oem.data(), std::min(oem.size(), kOemSerialField - 1));
  const uint32_t personalities = personality_bits_of(c.adapter);
  std::memcpy(block + kOemPersonalityWord, &c.adapter.personality_word, sizeof c.adapter.personality_word);
  std::memcpy(block + kOemPersonalityBits, &personalities, sizeof personalities);
  return answer_record(c, block, sizeof block);
}

Answer available_personalities(Command& c) {
  const std::string text = available_personalities_of(c.adapter);
  c.payload.put(0, text.c_str(), text.size() + 1);
  Answer a;
  a.length = c.payload.size();
  a.counts_text = true;
  a.text_length = static_cast<uint32_t>(text.size());
  return a;
}

Answer additional_attributes(Command& c) {
  const AdditionalAttributes& x = c.adapter.additional;
  std::vector<uint8_t> rec(kAdditionalSize, 0);
  // Texts as long as their field fill it without a NUL.
  auto put = [&rec](size_t offset, size_t field, const std::string& text) {
    std::memcpy(rec.data() + offset, text.data(), std::min(text.size(), field));
  };
  std::memcpy(rec.data(), &x.ipl_file_no, sizeof x.ipl_file_no);
  rec[2] = x.ipl_suffix;
  rec[kTemperatureOffset] = x.temperature;
  for (size_t i = 0; i < x.versions.size(); ++i) put(kVersionsOffset + kVersionField * i, kVersionField, x.versions[i]);
  std::memcpy(rec.data() + kWwpnOffset, x.wwpn.data(), x.wwpn.size());
  put(kPhyFirmwareOffset, kPhyConfigOffset - kPhyFirmwareOffset, x.phy_firmware);
  put(kPhyConfigOffset, kIplFileNameOffset - kPhyConfigOffset, x.phy_config_id);
  put(kIplFileNameOffset, kAdditionalSize - kIplFileNameOffset, x.ipl_file_name);
  return answer_record(c, rec.data(), rec.size());
}

}  // namespace vx::sim
