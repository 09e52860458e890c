#include "tools/imahost/views.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace imahost {

unsigned lun_number(const uint8_t lun[8]) { return static_cast<unsigned>((lun[7] & 0x3F) << 8 | lun[6]); }

std::string field_text(Names& names, const void* record, const FieldView& view) {
  const auto* at = static_cast<const uint8_t*>(record) + view.offset;
  switch (view.show) {
    case Show::kWide: return utf8_of(reinterpret_cast<const IMA_WCHAR*>(at), view.size / sizeof(IMA_WCHAR));
    case Show::kNumber: {
      uint32_t value = 0;
      std::memcpy(&value, at, std::min(view.size, sizeof value));
      return std::to_string(value);
    }
    case Show::kAddress: {
      IMA_IP_ADDRESS address{};
      std::memcpy(&address, at, sizeof address);
      char text[INET6_ADDRSTRLEN] = "";
      ::inet_ntop(address.ipv4Address != 0 ? AF_INET : AF_INET6, address.ipAddress, text, sizeof text);
      return text;
    }
    case Show::kHex: {
      std::string hex;
      char pair[3];
      for (size_t i = 0; i < view.size; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", at[i]);
        hex += pair;
      }
      return hex;
    }
    case Show::kMac: {
      char mac[18];
      std::snprintf(mac, sizeof mac, "%02x:%02x:%02x:%02x:%02x:%02x", at[0], at[1], at[2], at[3], at[4], at[5]);
      return mac;
    }
    case Show::kOid: {
      IMA_OID oid{};
      std::memcpy(&oid, at, sizeof oid);
      return names.name_of(oid);
    }
    case Show::kLun: return std::to_string(lun_number(at));
  }
  return "";
}

void print_record(Names& names, const void* record, const FieldView* views, size_t count, const char* indent) {
  for (size_t i = 0; i < count; ++i) {
    std::printf("%s%-22s %s\n", indent, views[i].label, field_text(names, record, views[i]).c_str());
  }
}

}  // namespace imahost
