// The SCSI engine behind the pass-through command: the remote target of an open session answers
// REPORT LUNS, READ CAPACITY (10 and 16), standard INQUIRY with the unit-serial-number page, and
// READ(10) / WRITE(10) on the LUN's kept data; what it refuses comes back as CHECK CONDITION with
// fixed-format sense data in the request's reserved area.
#include <algorithm>
#include <cstring>
#include <vector>

#include "iscsi/records.h"
#include "sim/iscsi_firmware.h"
#include "sim/iscsi_state.h"
#include "sim/net_state.h"

namespace vx::sim {
namespace {

constexpr Answer kAnswerSessionClosed{1, 18, 0};
constexpr uint8_t kIllegalRequest = 0x05;
constexpr uint8_t kInvalidOpcode = 0x20;
constexpr uint8_t kLbaOutOfRange = 0x21;
constexpr uint8_t kInvalidFieldInCdb = 0x24;
constexpr uint8_t kLunNotSupported = 0x25;
constexpr size_t kInquirySize = 36;
constexpr uint64_t kLast10 = 0xFFFFFFFFull;

uint32_t be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) | (static_cast<uint32_t>(p[2]) << 8) | p[3];
}
void put_be(uint8_t* p, uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i, v >>= 8) p[i] = static_cast<uint8_t>(v);
}

// One command's view: the request header, the data area and what the target answers.
struct Exchange {
  scsi_params header;
  std::vector<uint8_t> data;   // data_length bytes: written data in, read data out
  bool refused = false;

  void refuse(uint8_t asc) {
    refused = true;
    header.check_condition = 1;
    std::memset(header.sense, 0, kScsiSenseSize);
    header.sense[0] = 0x70;
    header.sense[2] = kIllegalRequest;
    header.sense[7] = 10;
    header.sense[12] = asc;
  }
  void reply(const std::vector<uint8_t>& bytes, size_t allocation) {
    const size_t n = std::min({bytes.size(), allocation, data.size()});
    std::memcpy(data.data(), bytes.data(), n);
  }
};

// LUN entries as REPORT LUNS gives them: peripheral addressing below 256, flat space above.
void lun_entry(uint32_t number, uint8_t* out) {
  std::memset(out, 0, 8);
  out[0] = static_cast<uint8_t>(number < 256 ? 0 : (0x40 | (number >> 8)));
  out[1] = static_cast<uint8_t>(number);
}

const RemoteLun* addressed_lun(const RemoteTarget& t, const uint8_t lun[8]) {
  const uint32_t number = (static_cast<uint32_t>(lun[0] & 0x3F) << 8) | lun[1];
  for (const RemoteLun& l : t.luns) {
    if (l.number == number) return &l;
  }
  return nullptr;
}

void inquiry(Exchange& x, const RemoteLun* lun) {
  const uint8_t* cdb = x.header.cdb;
  const size_t allocation = (static_cast<size_t>(cdb[3]) << 8) | cdb[4];
  if ((cdb[1] & 1) == 0) {
    std::vector<uint8_t> r(kInquirySize, ' ');
    r[0] = lun != nullptr ? 0x00 : 0x7F;   // a disk, or no unit at this LUN
    r[1] = 0;
    r[2] = 5;
    r[3] = 2;
    r[4] = kInquirySize - 5;
    r[5] = r[6] = r[7] = 0;
    if (lun != nullptr) {
      std::memcpy(&r[8], lun->vendor.data(), std::min<size_t>(lun->vendor.size(), 8));
      std::memcpy(&r[16], lun->product.data(), std::min<size_t>(lun->product.size(), 16));
    }
    std::memcpy(&r[32], "1.0 ", 4);
    x.reply(r, allocation);
    return;
  }
  if (lun == nullptr) return x.refuse(kLunNotSupported);
  if (cdb[2] == 0x00) return x.reply({0, 0x00, 0, 2, 0x00, 0x80}, allocation);
  if (cdb[2] != 0x80) return x.refuse(kInvalidFieldInCdb);
  std::vector<uint8_t> r(4 + lun->serial.size(), 0);
  r[1] = 0x80;
  r[3] = static_cast<uint8_t>(lun->serial.size());
  std::memcpy(&r[4], lun->serial.data(), lun->serial.size());
  x.reply(r, allocation);
}

void read_write(Exchange& x, const Store& store, const RemoteTarget& t, const RemoteLun& lun, bool write) {
  const uint8_t* cdb = x.header.cdb;
  const uint64_t lba = be32(cdb + 2);
  const uint32_t blocks = (static_cast<uint32_t>(cdb[7]) << 8) | cdb[8];
  const uint8_t direction = write ? kScsiDirectionWrite : kScsiDirectionRead;
  if (x.header.direction != direction || x.data.size() != static_cast<size_t>(blocks) * lun.block_size) {
    return x.refuse(kInvalidFieldInCdb);
  }
  if (lba + blocks > lun.blocks) return x.refuse(kLbaOutOfRange);
  if (write) {
    if (!write_lun_blocks(store, t, lun, lba, x.data.data(), blocks)) x.refuse(kInvalidFieldInCdb);
    return;
  }
  std::vector<uint8_t> data;
  if (!read_lun_blocks(store, t, lun, lba, blocks, &data)) return x.refuse(kInvalidFieldInCdb);
  x.reply(data, x.data.size());
}

void run_cdb(Exchange& x, const Store& store, const RemoteTarget& t) {
  const uint8_t* cdb = x.header.cdb;
  const RemoteLun* lun = addressed_lun(t, x.header.lun);
  switch (cdb[0]) {
    case 0xA0: {   // REPORT LUNS
      std::vector<uint8_t> r(8 + 8 * t.luns.size(), 0);
      put_be(r.data(), 8 * t.luns.size(), 4);
      for (size_t i = 0; i < t.luns.size(); ++i) lun_entry(t.luns[i].number, &r[8 + 8 * i]);
      return x.reply(r, be32(cdb + 6));
    }
    case 0x12:
      return inquiry(x, lun);
    case 0x25: {   // READ CAPACITY(10)
      if (lun == nullptr) return x.refuse(kLunNotSupported);
      std::vector<uint8_t> r(8, 0);
      put_be(r.data(), std::min(lun->blocks - 1, kLast10), 4);
      put_be(r.data() + 4, lun->block_size, 4);
      return x.reply(r, r.size());
    }
    case 0x9E: {   // SERVICE ACTION IN(16): READ CAPACITY(16) only
      if (lun == nullptr) return x.refuse(kLunNotSupported);
      if ((cdb[1] & 0x1F) != 0x10) return x.refuse(kInvalidFieldInCdb);
      std::vector<uint8_t> r(32, 0);
      put_be(r.data(), lun->blocks - 1, 8);
      put_be(r.data() + 8, lun->block_size, 4);
      return x.reply(r, be32(cdb + 10));
    }
    case 0x28:
    case 0x2A:
      if (lun == nullptr) return x.refuse(kLunNotSupported);
      return read_write(x, store, t, *lun, cdb[0] == 0x2A);
    default:
      return x.refuse(kInvalidOpcode);
  }
}

}  // namespace

Answer scsi_passthru(Command& c) {
  Exchange x{};
  if (c.payload.size() < sizeof x.header) return kAnswerInvalidField;
  std::memcpy(&x.header, c.payload.bytes(0, sizeof x.header).data(), sizeof x.header);
  const size_t length = x.header.data_length;
  if (c.payload.size() - sizeof x.header < length) return kAnswerInvalidField;
  const std::shared_ptr<const IscsiState> state = read_iscsi_state(c.store, c.adapter, c.function);
  if (state == nullptr) return kAnswerFlashFailure;
  const IscsiState& s = *state;
  const SimSession* session = s.session(x.header.session_handle);
  const RemoteTarget* target = session != nullptr ? c.network.find(session->target) : nullptr;
  if (session == nullptr || (session->state & kSessionOpen) == 0 || target == nullptr) return kAnswerSessionClosed;
  const std::string in = c.payload.bytes(sizeof x.header, length);
  x.data.assign(in.begin(), in.end());
  if (x.header.direction != kScsiDirectionWrite) std::fill(x.data.begin(), x.data.end(), 0);
  x.header.check_condition = 0;
  run_cdb(x, c.store, *target);
  const bool write = x.header.direction == kScsiDirectionWrite;
  note_io(c, session->handle, true, !x.refused && write ? length : 0,
          !x.refused && x.header.direction == kScsiDirectionRead ? length : 0);
  c.payload.put(0, &x.header, sizeof x.header);
  if (!x.refused && x.header.direction == kScsiDirectionRead) c.payload.put(sizeof x.header, x.data.data(), x.data.size());
  Answer a;
  a.length = c.payload.size();
  return a;
}

}  // namespace vx::sim
