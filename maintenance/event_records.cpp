// The event descriptions, one printf format per event code. Codes 0 to 47 are management, iSCSI,
// flash, iSNS, SLP, DHCP, link and port-failover events; 48 to 94 come from the adapter's IPsec
// engine. Each format takes at most five unsigned 32-bit arguments in %x, %d, %u, %08x and %04x
// conversions only, which a compile-time check holds every row to.
#include "maintenance/event_records.h"

#include <cstdio>
#include <cstring>

namespace vx {
namespace {

constexpr const char* kEventDescriptions[kEventCodes] = {
    /*  0 */ "Management firmware load successful",
    /*  1 */ "Management firmware load failed, status:%x",
    /*  2 */ "Management firmware heartbeat lost, count:%d",
    /*  3 */ "Management firmware restarted, reason:%x",
    /*  4 */ "Ioctl with page code:%x rejected, reason:%x",
    /*  5 */ "Ioctl with page code:%x timed out, IRB:%x",
    /*  6 */ "Ioctl with page code:%x completed late, IRB:%x",
    /*  7 */ "Ioctl failed: page code:%x, subsystem:%x, IRB:%x, status:%x, addnl status:%x",
    /*  8 */ "CRC mismatch stored:%x, calc:%x",
    /*  9 */ "Configuration area in flash erased",
    /* 10 */ "Configuration area in flash updated, region:%x",
    /* 11 */ "Flash write failed at offset:%08x, status:%x",
    /* 12 */ "Flash read failed at offset:%08x, status:%x",
    /* 13 */ "Flash image signature invalid, image type:%x",
    /* 14 */ "Boot code version mismatch, expected:%x, found:%x",
    /* 15 */ "Persistent target table full, limit:%d",
    /* 16 */ "Persistent target entry invalid, index:%d",
    /* 17 */ "iSCSI session opened, session:%x, target id:%x",
    /* 18 */ "iSCSI session closed, session:%x, reason:%x",
    /* 19 */ "iSCSI connection lost, session:%x, connection:%x",
    /* 20 */ "iSCSI connection restored, session:%x, connection:%x",
    /* 21 */ "Target Error in Login Response Status Class:%x, Status Detail:%x",
    /* 22 */ "Login redirected by target, session:%x",
    /* 23 */ "Initiator Error in Login Response Status Class:%x, Status Detail:%x",
    /* 24 */ "Login timed out for Target Ip Address:%x, port:%x",
    /* 25 */ "TCP connection refused by Target Ip Address:%x, port:%x",
    /* 26 */ "CHAP Negotiation Failed for Target Ip Address:%x, port:%x",
    /* 27 */ "Mutual CHAP authentication of target failed, Target Ip Address:%x",
    /* 28 */ "Header digest error, session:%x, connection:%x",
    /* 29 */ "Data digest error, session:%x, connection:%x",
    /* 30 */ "Task management function failed, function:%x, status:%x",
    /* 31 */ "SCSI command timed out, session:%x, task tag:%08x",
    /* 32 */ "Logout requested by target, session:%x, wait:%d",
    /* 33 */ "iSNS server not reachable, Ip Address:%x",
    /* 34 */ "iSNS registration failed, status:%x",
    /* 35 */ "iSNS state change notification received, function:%x",
    /* 36 */ "SLP directory agent not found",
    /* 37 */ "SLP service registration failed, status:%x",
    /* 38 */ "DHCP lease obtained, Ip Address:%x, lease time:%u",
    /* 39 */ "DHCP lease expired, Ip Address:%x",
    /* 40 */ "Ethernet link is down on Port :%d",
    /* 41 */ "Ethernet link is up on Port :%d",
    /* 42 */ "DHCP server not responding, retries:%d",
    /* 43 */ "DHCP Renew request was NAK'd; But, continue to use current IP",
    /* 44 */ "Duplicate Ip Address:%x detected on Port :%d",
    /* 45 */ "Port failover started from Port :%d to Port :%d",
    /* 46 */ "Port failover completed on Port :%d",
    /* 47 */ "Port failover info: 0x%x %d %d %d",
    /* 48 */ "Corvath: XML Loaded: %d bytes",
    /* 49 */ "Corvath: XML load failed at line %d",
    /* 50 */ "Corvath: Policy %u installed",
    /* 51 */ "Corvath: Policy %u removed",
    /* 52 */ "Corvath: Policy table full, %u entries",
    /* 53 */ "Corvath: Phase 1 negotiation started with peer %08x",
    /* 54 */ "Corvath: Phase 1 negotiation completed with peer %08x",
    /* 55 */ "Corvath: Phase 1 negotiation failed with peer %08x, reason %u",
    /* 56 */ "Corvath: Phase 2 negotiation started with peer %08x",
    /* 57 */ "Corvath: Phase 2 negotiation completed with peer %08x",
    /* 58 */ "Corvath: Phase 2 negotiation failed with peer %08x, reason %u",
    /* 59 */ "Corvath: Proposal %u rejected by peer %08x",
    /* 60 */ "Corvath: No matching proposal for peer %08x",
    /* 61 */ "Corvath: Diffie-Hellman group %u (%u bits)",
    /* 62 */ "Corvath: Encryption algorithm %u not supported",
    /* 63 */ "Corvath: Integrity algorithm %u not supported",
    /* 64 */ "Corvath: ESP inbound [%08x] | outbound [%08x]",
    /* 65 */ "Corvath: AH inbound [%08x] | outbound [%08x]",
    /* 66 */ "Corvath: SA [%08x] expired after %u seconds",
    /* 67 */ "Corvath: SA [%08x] expired after %u kilobytes",
    /* 68 */ "Corvath: SA [%08x] rekeyed as [%08x]",
    /* 69 */ "Corvath: SA [%08x] deleted by peer",
    /* 70 */ "Corvath: SA table full, %u entries",
    /* 71 */ "Corvath: Replay detected on SA [%08x], sequence %u",
    /* 72 */ "Corvath: Authentication failure on SA [%08x]",
    /* 73 */ "Corvath: Decryption failure on SA [%08x]",
    /* 74 */ "Corvath: IPSec SA negotiations: %u done, %u successful, %u failed",
    /* 75 */ "Corvath: Dead peer %08x detected after %u seconds",
    /* 76 */ "Corvath: Pre-shared key missing for peer %08x",
    /* 77 */ "Corvath: Certificate %u loaded",
    /* 78 */ "Corvath: Certificate %u expired",
    /* 79 */ "Corvath: Certificate %u not yet valid",
    /* 80 */ "Corvath: Certificate chain of peer %08x not trusted",
    /* 81 */ "Corvath: Certificate revocation list %u loaded",
    /* 82 */ "Corvath: Certificate of peer %08x revoked",
    /* 83 */ "Corvath: Random number generator self test failed, code %04x",
    /* 84 */ "Corvath: Crypto engine self test failed, code %04x",
    /* 85 */ "Corvath: Crypto engine reset, count %u",
    /* 86 */ "Corvath: Packet dropped by policy %u",
    /* 87 */ "Corvath: Fragment reassembly failed, %u fragments",
    /* 88 */ "Corvath: Clock not set, SA lifetimes count from boot",
    /* 89 */ "Corvath: Memory pool %u exhausted",
    /* 90 */ "Corvath: Statistics: %u packets in, %u packets out",
    /* 91 */ "Corvath: Statistics: %u errors in, %u errors out",
    /* 92 */ "Corvath: Configuration %u applied",
    /* 93 */ "Corvath: Certificate request %u started",
    /* 94 */ "Corvath: Could not start certificate request operation",
};

// At most five conversions, each %x, %d, %u, %08x or %04x: the formats read nothing but the five
// arguments given.
constexpr bool safe_format(const char* f) {
  int conversions = 0;
  for (size_t i = 0; f[i] != '\0'; ++i) {
    if (f[i] != '%') continue;
    const char c = f[i + 1];
    if (c == 'x' || c == 'd' || c == 'u') {
      i += 1;
    } else if (c == '0' && (f[i + 2] == '8' || f[i + 2] == '4') && f[i + 3] == 'x') {
      i += 3;
    } else {
      return false;
    }
    ++conversions;
  }
  return conversions <= 5;
}

constexpr bool all_safe() {
  for (const char* f : kEventDescriptions) {
    if (f == nullptr || !safe_format(f)) return false;
  }
  return true;
}
static_assert(all_safe(), "an event description takes something other than up to five u32 arguments");

constexpr const char* kSeverities[] = {"Informational", "Warning", "Error", "Fatal"};

}  // namespace

uint32_t event_record_count(const uint8_t* reply, size_t size) {
  if (reply == nullptr || size < kEventRecordsOffset) return 0;
  uint32_t count;
  std::memcpy(&count, reply + kEventCountOffset, sizeof count);
  const size_t room = (size - kEventRecordsOffset) / sizeof(eventlog_entry);
  if (count > kMaxEventRecords) count = kMaxEventRecords;
  return count < room ? count : static_cast<uint32_t>(room);
}

eventlog_entry event_record(const uint8_t* reply, size_t, uint32_t i) {
  eventlog_entry e;
  std::memcpy(&e, reply + kEventRecordsOffset + size_t{i} * sizeof e, sizeof e);
  return e;
}

const char* event_severity_text(uint16_t severity) {
  return severity < 4 ? kSeverities[severity] : "INVALID SEVERITY LEVEL!";
}

void event_description(const eventlog_entry& e, char out[kEventDescriptionSize]) {
  if (e.severity > 3) {
    std::snprintf(out, kEventDescriptionSize, "%s", "INVALID Description!!");
  } else if (e.error_code >= kEventCodes) {
    const char* text = reinterpret_cast<const char*>(e.args);
    std::snprintf(out, kEventDescriptionSize, "%.*s", static_cast<int>(strnlen(text, kEventTextSize)), text);
  } else {
    std::snprintf(out, kEventDescriptionSize, kEventDescriptions[e.error_code], e.args[0], e.args[1], e.args[2],
                  e.args[3], e.args[4]);
  }
}

}  // namespace vx
