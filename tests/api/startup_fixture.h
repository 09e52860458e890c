// Start-up against the simulated adapters: a fresh root per test, a named configuration, the
// simulator's controls, and helpers that walk the tree through the public calls.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "access/backend_state.h"
#include "platform/platform.h"
#include "engine/hm.h"
#include "support/sim_controls.h"
#include "support/test_support.h"
#include "tests/api/public_tree.h"
#include "varu.h"

namespace vxtest {

constexpr uint32_t kMissing = 0xFFFFFFFFu;

// The tag of the node at "Vexalon0/iSCSIPhysicalHBA0/PCI" (groups) or ".../PCI/BusNumber" (the last
// part of a given kind) below "ROOT"; kMissing when a part is missing.
inline uint32_t tag_at(const std::string& path, int32_t last_kind = VARU_KIND_GROUP) {
  uint32_t tag = 0;
  for (size_t start = 0; start < path.size();) {
    const size_t slash = path.find('/', start);
    const bool last = slash == std::string::npos;
    if (VARU_get_node_tag(static_cast<int32_t>(tag), path.substr(start, last ? slash : slash - start).c_str(), &tag,
                          last ? last_kind : VARU_KIND_GROUP) != 0) {
      return kMissing;
    }
    start = last ? path.size() : slash + 1;
  }
  return tag;
}

// A property's value through the public call ("<rc>" when the read fails).
inline std::string value_at(const std::string& path) {
  const size_t slash = path.rfind('/');
  const uint32_t group = slash == std::string::npos ? 0 : tag_at(path.substr(0, slash));
  const uint32_t prop = tag_at(path, VARU_KIND_PROPERTY);
  char buf[VARU_VALUE_SIZE] = "";
  const uint32_t rc = group == kMissing || prop == kMissing ? 0 : VARU_get_property_val(group, prop, buf, sizeof buf);
  return group == kMissing || prop == kMissing ? "<missing>" : rc == 0 ? buf : "<" + std::to_string(rc) + ">";
}

// A property's cached value, without its handler (for properties whose reader is not built yet).
inline std::string cached_at(const std::string& path) {
  const uint32_t prop = tag_at(path, VARU_KIND_PROPERTY);
  hm_property* data = prop == kMissing ? nullptr : vx::property_data(vx::get_node(static_cast<int32_t>(prop)));
  return data != nullptr ? std::string(vx::property_value(data)) : "<missing>";
}

// Names of the sub-groups of the group at `path`, in order.
inline std::vector<std::string> groups_under(const std::string& path) {
  std::vector<std::string> names;
  const uint32_t tag = path.empty() ? 0 : tag_at(path);
  for (uint32_t child : tag == kMissing ? std::vector<uint32_t>{} : children_of(tag, VARU_KIND_GROUP)) {
    names.push_back(name_of(child, VARU_KIND_GROUP));
  }
  return names;
}

using Strings = std::vector<std::string>;

// The physical HBA instances (iSCSI and NIC) of a controller, in the order the tree lists them.
inline Strings phbas_of(const std::string& controller) {
  Strings out;
  for (const std::string& g : groups_under(controller)) {
    if (g.rfind("iSCSIPhysicalHBA", 0) == 0 || g.rfind("NICPhysicalHBA", 0) == 0) out.push_back(g);
  }
  return out;
}

// The whole tree as text: every node (with its tag), properties with their cached values.
inline std::string tree_text(uint32_t tag = 0, const std::string& indent = "", bool with_tags = true) {
  std::string out;
  auto label = [with_tags](uint32_t t) { return with_tags ? std::to_string(t) + " " : std::string(); };
  for (uint32_t p : children_of(tag, VARU_KIND_PROPERTY)) {
    hm_property* data = vx::property_data(vx::get_node(static_cast<int32_t>(p)));
    out += indent + label(p) + name_of(p, VARU_KIND_PROPERTY) + "=" + (data ? vx::property_value(data) : "") + "\n";
  }
  for (uint32_t a : children_of(tag, VARU_KIND_ACTION)) out += indent + label(a) + name_of(a, VARU_KIND_ACTION) + "()\n";
  for (uint32_t g : children_of(tag, VARU_KIND_GROUP)) {
    out += indent + label(g) + name_of(g, VARU_KIND_GROUP) + "\n" + tree_text(g, indent + "  ", with_tags);
  }
  return out;
}

// Every tag of the tree below and with `tag`.
inline void collect_tags(uint32_t tag, std::vector<uint32_t>* out) {
  out->push_back(tag);
  for (uint32_t p : children_of(tag, VARU_KIND_PROPERTY)) out->push_back(p);
  for (uint32_t a : children_of(tag, VARU_KIND_ACTION)) out->push_back(a);
  for (uint32_t g : children_of(tag, VARU_KIND_GROUP)) collect_tags(g, out);
}

class StartupTest : public ::testing::Test {
 protected:
  // The library keeps what start-up's probe found (an SR-IOV virtual function) for the process's
  // life; each test starts as a new host process would, whatever a test before it set.
  StartupTest() { vx::vm_flag = 0; }
  void TearDown() override {
    while (started_ > 0) {
      VARU_exit();
      --started_;
    }
    ::unsetenv("VXIMA_SIMULATOR");
  }

  // The simulator serves `file` (a path of the source tree's examples, or one written by the test).
  void use_config(const std::string& file) {
    ::setenv("VXIMA_SIMULATOR", file.c_str(), 1);
    ASSERT_TRUE(sim_.load()) << "simulated adapter module not found";
    ASSERT_EQ(sim_.reset(), 0);
  }
  void use_example(const char* name) { use_config(source_path(std::string("examples/") + name)); }
  // A configuration written under the test's root.
  void use_config_text(const std::string& json) {
    root_.write("/cfg/adapters.json", json);
    use_config(root_.at("/cfg/adapters.json"));
  }

  uint32_t start() {
    uint32_t rc = VARU_init();
    if (rc == 0) ++started_;
    return rc;
  }
  void stop() {
    if (started_ > 0) {
      VARU_exit();
      --started_;
    }
  }

  std::string log() const { return root_.read("/tmp/varu2d.log"); }
  void log_level(int level) {
    root_.write("/scratch/Talvix/libvaru.conf", "VARULogLevel " + std::to_string(level));
    root_.write("/tmp/.keep", "");
  }

  TempRoot root_;
  SimControls sim_;
  int started_ = 0;
};

}  // namespace vxtest
