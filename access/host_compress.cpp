// One-shot compression of buffers (core-dump segments) on zlib.
#include <zlib.h>

#include "access/host.h"

namespace vx {
namespace {


// Runs one Z_FINISH step of an initialised stream over the whole input; the output length when the
// stream ended, else kCompressFailed.
template <typename Step>
uint32_t one_shot(z_stream& zs, const void* src, uint32_t src_len, void* dst, uint32_t dst_len, Step step) {
  zs.next_in = static_cast<Bytef*>(const_cast<void*>(src));
  zs.avail_in = src_len;
  zs.next_out = static_cast<Bytef*>(dst);
  zs.avail_out = dst_len;
  int rc = step(&zs, Z_FINISH);
  return rc == Z_STREAM_END ? static_cast<uint32_t>(zs.total_out) : kCompressFailed;
}

bool usable(const void* src, uint32_t src_len, const void* dst, uint32_t dst_len) {
  return (src != nullptr || src_len == 0) && (dst != nullptr || dst_len == 0);
}

}  // namespace

uint32_t GetMaxCompressedLen(uint32_t n) {
  uint64_t room = static_cast<uint64_t>(n) + 5 * ((static_cast<uint64_t>(n) + 16383) >> 14) + 6;
  uint32_t result = room > UINT32_MAX ? 0 : static_cast<uint32_t>(room);
  pdebug(kBackEnd, 6, "%s:MaxCompressedLen = %d\n", __func__, static_cast<int>(result));
  return result;
}

uint32_t CompressData(const void* src, uint32_t src_len, void* dst, uint32_t dst_len) {
  if (!usable(src, src_len, dst, dst_len)) return kCompressFailed;
  z_stream zs{};
  if (deflateInit(&zs, Z_DEFAULT_COMPRESSION) != Z_OK) {
    pdebug(kBackEnd, 3, "%s:Compression failed.\n", __func__);
    return kCompressFailed;
  }
  uint32_t out = one_shot(zs, src, src_len, dst, dst_len, deflate);
  deflateEnd(&zs);
  if (out == kCompressFailed) {
    pdebug(kBackEnd, 3, "%s:Compression failed.\n", __func__);
  } else {
    pdebug(kBackEnd, 6, "%s:Compression succeded.\n", __func__);
  }
  return out;
}

uint32_t UncompressData(const void* src, uint32_t src_len, void* dst, uint32_t dst_len) {
  if (!usable(src, src_len, dst, dst_len)) return kCompressFailed;
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) {
    pdebug(kBackEnd, 3, "%s:UnCompressed data failed.\n", __func__);
    return kCompressFailed;
  }
  uint32_t out = one_shot(zs, src, src_len, dst, dst_len, inflate);
  inflateEnd(&zs);
  if (out == kCompressFailed) {
    pdebug(kBackEnd, 3, "%s:UnCompressed data failed.\n", __func__);
  } else {
    pdebug(kBackEnd, 6, "%s:UnCompressed data succeded.\n", __func__);
  }
  return out;
}

}  // namespace vx
