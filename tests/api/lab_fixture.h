// A started library with one Widget under "ROOT", and helpers that speak only the public calls.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/sim_controls.h"
#include "support/test_support.h"
#include "tests/api/lab_schema.h"
#include "tests/api/public_tree.h"
#include "varu.h"

namespace vxtest {

constexpr uint32_t kNoTag = 0xFFFFFFFFu;

inline void write_log_level(const TempRoot& root, int level) {
  root.write("/scratch/Talvix/libvaru.conf", "VARULogLevel " + std::to_string(level));
  root.write("/tmp/.keep", "");   // the log lives in /tmp
}

inline uint32_t child(uint32_t parent, const char* name, int32_t kind) {
  uint32_t tag = kNoTag;
  return VARU_get_node_tag(static_cast<int32_t>(parent), name, &tag, kind) == 0 ? tag : kNoTag;
}

inline std::string value_of(uint32_t group, const char* prop) {
  char buf[256] = "";
  uint32_t rc = VARU_get_property_val(group, child(group, prop, VARU_KIND_PROPERTY), buf, sizeof buf);
  return rc == 0 ? buf : "<" + std::to_string(rc) + ">";
}

inline uint32_t set_value(uint32_t group, const char* prop, const std::string& value) {
  std::string copy = value;
  return VARU_set_property_val(group, static_cast<int32_t>(child(group, prop, VARU_KIND_PROPERTY)), copy.data(),
                               static_cast<uint32_t>(copy.size() + 1));
}

// Runs the action of tag `action`; a NULL slot is a parameter not given.
inline uint32_t act(uint32_t group, uint32_t action, std::initializer_list<const char*> slots,
                    uint32_t* new_tags = nullptr) {
  char params[6][256] = {};
  for (auto& slot : params) slot[0] = static_cast<char>(VARU_PARAM_ABSENT);
  int i = 0;
  for (const char* text : slots) {
    if (text != nullptr) std::snprintf(params[i], sizeof params[i], "%s", text);
    ++i;
  }
  return VARU_do_action(group, static_cast<int32_t>(action), params, new_tags);
}

// Runs an action by name.
inline uint32_t act(uint32_t group, const char* action, std::initializer_list<const char*> slots,
                    uint32_t* new_tags = nullptr) {
  return act(group, child(group, action, VARU_KIND_ACTION), slots, new_tags);
}

// A public call made again while it answers 14. Callers on several threads can get 14 with nothing
// wrong: a call waits one second for the lock, and a busy machine may keep the thread that holds it
// off the processor for longer, however short its call. After kBusyRetries answers of 14 in a row
// (a minute of waiting at least) the lock counts as lost and 14 is the answer.
constexpr int kBusyRetries = 60;
template <typename Call>
uint32_t until_not_busy(Call call) {
  uint32_t rc = vx::kStatusLockTimeout;
  for (int tries = 0; tries < kBusyRetries && rc == vx::kStatusLockTimeout; ++tries) rc = call();
  return rc;
}

// The whole subtree as text, through the public calls only.
inline std::string snapshot(uint32_t tag = 0, const std::string& indent = "") {
  std::string out;
  for (uint32_t p : children_of(tag, VARU_KIND_PROPERTY)) {
    out += indent + name_of(p, VARU_KIND_PROPERTY) + "=" + value_of(tag, name_of(p, VARU_KIND_PROPERTY).c_str()) + "\n";
  }
  for (uint32_t a : children_of(tag, VARU_KIND_ACTION)) out += indent + name_of(a, VARU_KIND_ACTION) + "()\n";
  for (uint32_t g : children_of(tag, VARU_KIND_GROUP)) {
    out += indent + name_of(g, VARU_KIND_GROUP) + "[" + std::to_string(g) + "]\n" + snapshot(g, indent + "  ");
  }
  return out;
}

class LabTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lab::g_handler_calls = 0;   // a test counts the handler calls it made itself
    write_log_level(root, 6);
    ASSERT_EQ(VARU_init(), 0u);
    hm_node* node = lab::add_widget();
    ASSERT_NE(node, nullptr);
    widget = static_cast<uint32_t>(node->tag);
  }
  void TearDown() override { VARU_exit(); }

  std::string log() const { return root.read("/tmp/varu2d.log"); }

  TempRoot root;
  DevicesUnderRoot no_adapter_;   // the widget's tree alone
  uint32_t widget = kNoTag;
};

}  // namespace vxtest
