// The IMA side as the host sees it: each test loads the shipped plug-in through the host stand-in
// in its own process, with a fresh root and a simulated adapter configuration, and calls entry
// points with pattern-filled records followed by guard bytes.
#pragma once

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "tools/imahost/imahost.h"
#include "varu.h"

namespace vxtest {

constexpr uint8_t kPattern = 0xA5;

// A record of `size` pattern bytes with 32 guard bytes behind it.
struct Guarded {
  explicit Guarded(size_t size) : size(size), bytes(size + 32, kPattern) {}
  template <typename T>
  T* as() { return reinterpret_cast<T*>(bytes.data()); }
  uint8_t* data() { return bytes.data(); }
  bool guard_intact() const { return std::count(bytes.begin() + size, bytes.end(), kPattern) == 32; }
  bool all(uint8_t v) const { return std::count(bytes.begin(), bytes.begin() + size, v) == static_cast<long>(size); }
  uint32_t u32(size_t at) const { return *reinterpret_cast<const uint32_t*>(bytes.data() + at); }
  std::string words(std::initializer_list<size_t> offsets) const {   // the u32s there, as "1 0 64"
    std::string out;
    for (size_t at : offsets) out += (out.empty() ? "" : " ") + std::to_string(u32(at));
    return out;
  }
  std::string text(size_t at) const {   // a NUL-terminated byte text, at most to the record's end
    const char* start = reinterpret_cast<const char*>(bytes.data() + at);
    return std::string(start, strnlen(start, size - at));
  }
  std::string wide(size_t at, size_t units) const {
    return imahost::utf8_of(reinterpret_cast<const IMA_WCHAR*>(bytes.data() + at), units);
  }
  size_t size;
  std::vector<uint8_t> bytes;
};

class ImaTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kOwner = 7;

  void SetUp() override { ASSERT_TRUE(host.load()) << host.error(); }

  void use_example(const char* name) {
    ::setenv("VXIMA_SIMULATOR", source_path(std::string("examples/") + name).c_str(), 1);
  }
  // A simulated adapter module left loaded by an earlier test of this process is told the new
  // configuration first.
  void start(uint32_t owner = kOwner) {
    reset_simulator();
    ASSERT_EQ(host.start(owner), IMA_STATUS_SUCCESS);
  }
  void started(const char* example = "two-adapters.json") {
    use_example(example);
    start();
  }
  bool reset_simulator() {
    const std::string plugin = imahost::plugin_path();
    void* sim = ::dlopen((plugin.substr(0, plugin.rfind('/') + 1) + "libvxsim.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    auto reset = sim != nullptr ? reinterpret_cast<int (*)()>(::dlsym(sim, "vxsim_reset")) : nullptr;
    const bool ok = reset != nullptr && reset() == 0;
    if (sim != nullptr) ::dlclose(sim);
    return ok;
  }

  const imahost::EntryPoints& ima() const { return host.ima(); }
  std::vector<IMA_OID> list(IMA_STATUS (*fn)(IMA_OID_LIST**)) {
    std::vector<IMA_OID> oids;
    EXPECT_EQ(host.list(fn, &oids), IMA_STATUS_SUCCESS);
    return oids;
  }
  std::vector<IMA_OID> list(IMA_STATUS (*fn)(IMA_OID, IMA_OID_LIST**), const IMA_OID& oid) {
    std::vector<IMA_OID> oids;
    EXPECT_EQ(host.list(fn, oid, &oids), IMA_STATUS_SUCCESS) << imahost::oid_text(oid);
    return oids;
  }

  // The handle of the node at a path below "ROOT", through the plug-in's hierarchy API; -1 when
  // it is missing.
  int32_t tag_at(const std::string& path, int32_t last_kind = VARU_KIND_GROUP) {
    auto get_node_tag = reinterpret_cast<decltype(&VARU_get_node_tag)>(host.symbol("VARU_get_node_tag"));
    uint32_t tag = 0;
    for (size_t start = 0; start <= path.size();) {
      const size_t slash = std::min(path.find('/', start), path.size());
      const int32_t kind = slash == path.size() ? last_kind : VARU_KIND_GROUP;
      if (get_node_tag(static_cast<int32_t>(tag), path.substr(start, slash - start).c_str(), &tag, kind) != 0) return -1;
      start = slash + 1;
    }
    return static_cast<int32_t>(tag);
  }
  IMA_OID oid(uint32_t type, int32_t tag, uint32_t owner = kOwner) const {
    return IMA_OID{type, owner, static_cast<uint32_t>(tag), tag < 0 ? 0xFFFFFFFFu : 0u};
  }
  IMA_OID oid_at(uint32_t type, const std::string& path) { return oid(type, tag_at(path)); }

  std::string log() const { return root.read("/tmp/ima.log"); }

  TempRoot root;
  imahost::Host host;
};

inline bool same(const IMA_OID& a, const IMA_OID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// `units` copies of one unit, terminated.
inline std::vector<IMA_WCHAR> wide_repeat(size_t units, IMA_WCHAR unit = 'a') {
  std::vector<IMA_WCHAR> text(units, unit);
  text.push_back(0);
  return text;
}

// CHAP credentials as the host passes them, with the IMA_VMW_ policy word.
inline IMA_INITIATOR_AUTHPARMS chap_parms(const std::string& name, const std::string& secret, uint32_t word = 0) {
  IMA_INITIATOR_AUTHPARMS parms{};
  IMA_CHAP_INITIATOR_AUTHPARMS& chap = parms.chapParms;
  std::memcpy(chap.name, name.data(), std::min(name.size(), sizeof chap.name));
  std::memcpy(chap.challengeSecret, secret.data(), std::min(secret.size(), sizeof chap.challengeSecret));
  std::memcpy(chap.reserved, &word, sizeof word);
  return parms;
}

}  // namespace vxtest
