// Every call with bad arguments: its result, the last status it leaves, no handler run and the tree
// unchanged.
#include <algorithm>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "tests/api/lab_fixture.h"

namespace vxtest {
namespace {

struct Refusal {
  const char* what;
  std::function<uint32_t()> call;
  uint32_t code;      // last status code
  const char* text;   // last status text
};

class RefusedCalls : public LabTest {};

TEST_F(RefusedCalls, LeaveTheTreeAndTheHandlersAlone) {
  const uint32_t w = widget;
  const uint32_t settings = child(w, "Settings", VARU_KIND_GROUP);
  const uint32_t level = child(settings, "Level", VARU_KIND_PROPERTY);
  const uint32_t count = child(w, "Count", VARU_KIND_PROPERTY);
  const uint32_t configure = child(w, "Configure", VARU_KIND_ACTION);
  static char buf[600];
  static uint32_t out[4096];
  static uint32_t n;
  static char params[6][256];
  auto set_raw = [w](const char* prop, const char* value, uint32_t len) {
    std::string copy(value);
    copy.resize(std::max<size_t>(len, copy.size()), '\0');
    return VARU_set_property_val(w, static_cast<int32_t>(child(w, prop, VARU_KIND_PROPERTY)), copy.data(), len);
  };
  auto configure_with = [w](std::initializer_list<const char*> slots) { return act(w, "Configure", slots); };

  const Refusal rows[] = {
      {"tag: NULL name", [&] { return VARU_get_node_tag(0, nullptr, out, 0); }, 0, ""},
      {"tag: NULL out", [&] { return VARU_get_node_tag(0, "Widget0", nullptr, 0); }, 0, ""},
      {"tag: kind 8", [&] { return VARU_get_node_tag(0, "Widget0", out, 8); }, 0, ""},
      {"tag: kind -1", [&] { return VARU_get_node_tag(0, "Widget0", out, -1); }, 0, ""},
      {"tag: unknown name", [&] { return VARU_get_node_tag(0, "Widget9", out, 0); }, 0, ""},
      {"tag: property as parent", [&] { return VARU_get_node_tag(1, "x", out, 0); }, 0, ""},
      {"tag: negative parent", [&] { return VARU_get_node_tag(-5, "Widget0", out, 0); }, 0, ""},
      {"tag: parent past the table", [&] { return VARU_get_node_tag(1 << 30, "Widget0", out, 0); }, 0, ""},
      {"name: kind 0", [&] { return VARU_get_node_name(0, buf, 0); }, 0, ""},
      {"name: other kind", [&] { return VARU_get_node_name(static_cast<int32_t>(w), buf, 2); }, 0, ""},
      {"name: NULL buffer", [&] { return VARU_get_node_name(0, nullptr, 1); }, 0, ""},
      {"parent: NULL out", [&] { return VARU_get_parent_tag(1, nullptr); }, 0, ""},
      {"parent: free tag", [&] { return VARU_get_parent_tag(1000, out); }, 0, ""},
      {"children: NULL count", [&] { return VARU_get_child_tags(0, out, nullptr, 1); }, 0, ""},
      {"children: NULL array", [&] { return VARU_get_child_tags(0, nullptr, &n, 1); }, 0, ""},
      {"children: kind 9", [&] { return VARU_get_child_tags(0, out, &n, 9); }, 0, ""},
      {"children: of a property", [&] { return VARU_get_child_tags(1, out, &n, 2); }, 0, ""},
      {"instances: NULL name", [&] { return VARU_get_valid_instances(0, nullptr, out, &n); }, 0, ""},
      {"instances: of a property", [&] { return VARU_get_valid_instances(1, "Widget", out, &n); }, 0, ""},
      {"get: NULL buffer", [&] { return VARU_get_property_val(w, count, nullptr, 256); }, 0, ""},
      {"get: len 0", [&] { return VARU_get_property_val(w, count, buf, 0); }, 0, ""},
      {"get: len 257", [&] { return VARU_get_property_val(w, count, buf, 257); }, 0, ""},
      {"get: not the group's child", [&] { return VARU_get_property_val(w, level, buf, 256); }, 0, ""},
      {"get: a group as property", [&] { return VARU_get_property_val(w, settings, buf, 256); }, 0, ""},
      {"set: read-only", [&] { return set_raw("Serial", "x", 2); }, 10, "Read only property"},
      {"set: len 257", [&] { return set_raw("Count", "5", 257); }, 0, ""},
      {"set: NULL value", [&] { return VARU_set_property_val(w, static_cast<int32_t>(count), nullptr, 2); }, 0, ""},
      {"set: not the group's child", [&] { return VARU_set_property_val(w, static_cast<int32_t>(level), buf, 2); }, 0, ""},
      {"set: unterminated within len", [&] { return set_raw("Name", "abcdef", 3); }, 6, "Invalid value."},
      {"set: control character", [&] { return set_raw("Name", "a\tb", 4); }, 6, "Invalid value."},
      {"set: out of range", [&] { return set_raw("Count", "101", 4); }, 7, "Value out of range. Valid range is from 0 to 100."},
      {"set: too short", [&] { return set_raw("Name", "", 1); }, 8, "Number of characters should be from 1 to 32."},
      {"set: not a mask", [&] { return set_raw("Mask", "255.0.255.0", 12); }, 6, "Invalid value."},
      {"do: NULL params", [&] { return VARU_do_action(w, static_cast<int32_t>(configure), nullptr, nullptr); }, 0, ""},
      {"do: property as action", [&] { return VARU_do_action(w, static_cast<int32_t>(count), params, nullptr); }, 0, ""},
      {"do: property as target", [&] { return VARU_do_action(count, static_cast<int32_t>(configure), params, nullptr); }, 0, ""},
      {"do: action of another group", [&] { return VARU_do_action(0, static_cast<int32_t>(configure), params, nullptr); }, 0, ""},
      {"do: action of a sub-group's parent", [&] { return VARU_do_action(settings, static_cast<int32_t>(configure), params, nullptr); }, 0, ""},
      {"do: free tag", [&] { return VARU_do_action(w, 1000, params, nullptr); }, 0, ""},
      {"do: required missing", [&] { return configure_with({nullptr}); }, 9, "Text: Parameter missing."},
      {"do: too short", [&] { return configure_with({"x"}); }, 8, "Text: Number of characters should be from 2 to 8."},
      {"do: out of range", [&] { return configure_with({"ok", "6"}); }, 7, "Number: Value out of range. Valid range is from -5 to 5."},
      {"do: not in the list", [&] { return configure_with({"ok", nullptr, nullptr, nullptr, "Blue"}); }, 6, "Choice: Invalid value."},
      {"do: unterminated slot", [&] {
         char block[6][256];
         std::memset(block, 'a', sizeof block);
         return VARU_do_action(w, static_cast<int32_t>(configure), block, nullptr);
       }, 6, "Text: Invalid value."},
      {"do: no handler", [&] { return act(w, "NoHandler", {}); }, 0, ""},
      {"description: NULL out", [&] { return VARU_get_node_description(0, nullptr); }, 0, ""},
      {"description: free tag", [&] { static hm_node_description d; return VARU_get_node_description(1000, &d); }, 0, ""},
      {"param info: of a property", [&] { static hm_param_info i; return VARU_get_param_info(count, &i); }, 0, ""},
      {"param info: NULL out", [&] { return VARU_get_param_info(configure, nullptr); }, 0, ""},
      {"persistence: not action-made", [&] { static hm_persistence_info i; return VARU_get_persistence_info(static_cast<int32_t>(w), &i); }, 0, ""},
      {"persistent nodes: NULL count", [&] { return VARU_get_persistent_nodes(out, nullptr); }, 0, ""},
      {"last status: NULL text", [&] { return VARU_get_last_status(&n, nullptr); }, 0, ""},
  };
  const std::string before = snapshot();
  for (const Refusal& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_STATUS(row.call(), row.code, row.text);
  }
  EXPECT_EQ(lab::g_handler_calls, 0) << "no refused action reached its handler";
  EXPECT_EQ(snapshot(), before);
  EXPECT_NE(log().find("ERROR:Not Implimented\n"), std::string::npos);
}

}  // namespace
}  // namespace vxtest
