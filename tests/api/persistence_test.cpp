// Persistent nodes, and saving and replaying the hierarchy as text.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/api_lock.h"
#include "tests/api/lab_fixture.h"

namespace vxtest {
namespace {

class Persistence : public LabTest {
 protected:
  std::string save(uint32_t mask, hm_node* from = nullptr) {
    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    save_node(from != nullptr ? from : vx::get_node(0), out, mask);
    std::fclose(out);
    std::string result(text, size);
    std::free(text);
    return result;
  }
  uint32_t restore(const std::string& text) {
    FILE* in = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    uint32_t rc = restore_hm(in);
    std::fclose(in);
    return rc;
  }
  // A fresh tree with the lab widget, as after a restart.
  void restart() {
    VARU_exit();
    ASSERT_EQ(VARU_init(), 0u);
    ASSERT_NE(lab::add_widget(), nullptr);
    widget = child(0, "Widget0", VARU_KIND_GROUP);
  }
};

// Persistent nodes come in creation order; too small an array gets the tags that fit and 11; once
// priorities have been handed out, a tree with no persistent node left lists none, whatever room.
TEST_F(Persistence, PersistentNodesComeInCreationOrder) {
  uint32_t tags[4] = {7, 7, 7, 7};
  int32_t room = 4;
  EXPECT_EQ(VARU_get_persistent_nodes(tags, &room), 0u);
  EXPECT_EQ(room, 0);
  for (const char* name : {"a", "b", "c"}) ASSERT_EQ(act(widget, "AddGadget", {name}), 0u);
  ASSERT_EQ(act(widget, "DeleteGadget", {"0"}), 0u);
  ASSERT_EQ(act(widget, "AddGadget", {"d"}), 0u);   // Gadget0 again, created last
  room = 3;
  ASSERT_EQ(VARU_get_persistent_nodes(tags, &room), 0u);
  ASSERT_EQ(room, 3);
  EXPECT_EQ(name_of(tags[0], 1) + name_of(tags[1], 1) + name_of(tags[2], 1), "Gadget1Gadget2Gadget0");
  tags[1] = 7;
  room = 1;
  EXPECT_EQ(VARU_get_persistent_nodes(tags, &room), 11u);
  EXPECT_EQ(std::vector<uint32_t>({static_cast<uint32_t>(room), tags[0], tags[1]}),
            std::vector<uint32_t>({1, child(widget, "Gadget1", 1), 7})) << "the count is left as given";
  room = -1;
  EXPECT_EQ(VARU_get_persistent_nodes(tags, &room), 11u);

  hm_persistence_info info{};
  ASSERT_EQ(VARU_get_persistence_info(static_cast<int32_t>(child(widget, "Gadget0", 1)), &info), 0u);
  EXPECT_EQ(info.action_tag + info.invoked_on_tag, child(widget, "AddGadget", VARU_KIND_ACTION) + widget);
  EXPECT_EQ(std::string(info.params[0]) + "|" + info.params[1], "d|") << "an absent optional parameter: empty";
  for (const char* number : {"0", "1", "2"}) ASSERT_EQ(act(widget, "DeleteGadget", {number}), 0u);
  for (int32_t given : {-1, 0, 4}) {
    room = given;
    EXPECT_EQ(VARU_get_persistent_nodes(tags, &room), 0u) << given;
    EXPECT_EQ(room, 0) << given;
  }
}

TEST_F(Persistence, SavedTextReplaysIntoAFreshTree) {
  ASSERT_EQ(act(widget, "AddGadget", {"old"}), 0u);
  ASSERT_EQ(act(widget, "AddGadget", {"kept", "1000", "10.1.1.1"}), 0u);
  ASSERT_EQ(set_value(child(widget, "Gadget1", 1), "Port", "2000"), 0u);
  ASSERT_EQ(act(widget, "DeleteGadget", {"0"}), 0u);
  ASSERT_EQ(set_value(widget, "Count", "7"), 0u);
  hm_node* w = vx::get_node(static_cast<int32_t>(widget));
  hm_node* add = vx::internal_get_node(w, "AddGadget", kAction);
  ASSERT_NE(vx::create_link(w, "Alias", vx::internal_get_node(w, "Settings", 1), w, add, nullptr), nullptr);

  std::string text = save(3);
  for (const char* line : {"GROUP|ROOT/Widget0/Gadget1|ROOT/Widget0|ROOT/Widget0/AddGadget|kept|1000|10.1.1.1\n"
                           "PROPERTY|ROOT/Widget0/Gadget1/Name|kept\nPROPERTY|ROOT/Widget0/Gadget1/Port|2000\n",
                           "SYMLINK|Alias|ROOT/Widget0|ROOT/Widget0/Settings\n", "PROPERTY|ROOT/Widget0/Count|7\n",
                           "PROPERTY|ROOT/Widget0/Serial|SN-1\n", "PROPERTY|ROOT/Widget0/Settings/Level|1\n",
                           "PROPERTY|ROOT/VARUDebugLevel|"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\nin:\n" << text;
  }
  EXPECT_EQ(save(1).find("PROPERTY|ROOT/Widget0/Count|"), std::string::npos) << "mask 1: read-only only";
  std::string locked;
  EXPECT_EQ(vx::public_call("test", [&]() -> uint32_t { return locked = save(3), 0; }), 0u);
  EXPECT_EQ(locked, text) << "saving works with the lock held by the caller";
  EXPECT_EQ(save(2).find("Serial"), std::string::npos) << "mask 2: writable only";

  restart();
  ASSERT_EQ(restore(text), 0u);
  uint32_t gadget = child(widget, "Gadget0", VARU_KIND_GROUP);
  ASSERT_NE(gadget, kNoTag) << "re-created under the lowest free number";
  EXPECT_EQ(value_of(gadget, "Name"), "kept");
  EXPECT_EQ(value_of(gadget, "Port"), "2000") << "the saved Gadget1's values went to Gadget0";
  EXPECT_EQ(value_of(widget, "Count"), "7");
  uint32_t alias = child(widget, "Alias", VARU_KIND_GROUP);
  ASSERT_NE(alias, kNoTag);
  std::vector<uint32_t> level = children_of(alias, VARU_KIND_PROPERTY);
  ASSERT_EQ(level.size(), 1u);
  EXPECT_EQ(name_of(level[0], VARU_KIND_PROPERTY), "Level");
}

TEST_F(Persistence, RefusedLinesChangeNothing) {
  const std::string long_value(300, 'x');
  const char* const lines[] = {
      "GROUP|ROOT/Widget0/Gadget0|ROOT/Widget0",                     // too few fields
      "GROUP|ROOT/Widget0/Gadget0|ROOT/Widget0|ROOT/Widget0/AddGadget",   // required Name missing
      "GROUP|ROOT/Widget0/Gadget0|ROOT/Widget0|ROOT/Widget0/AddGadget|",  // Name too short
      "GROUP|ROOT/Widget0/Gadget0|ROOT/Widget0|ROOT/Widget0/AddGadget|g|99999",   // Port out of range
      "GROUP|ROOT/Gadget0|ROOT|ROOT/Widget0/AddGadget|g",             // not invoked on its group
      "GROUP|ROOT/Widget0/Gadget0|ROOT/Widget0|ROOT/Widget0/Count|g", // not an action
      "GROUP|ROOT/Widget0/Gadget0|ROOT/Widget0|ROOT/Widget0/Gone|g",
      "PROPERTY|ROOT/Widget0/Count",
      "PROPERTY|ROOT/Widget0/Count|5|6",
      "PROPERTY|ROOT/Widget0/Count|500",
      "PROPERTY|ROOT/Widget0/Name|a\tb",
      "PROPERTY|ROOT/Widget0/Settings|5",
      "PROPERTY|Widget0/Count|5",
      "SYMLINK|Alias|ROOT/Widget0",
      "SYMLINK|A/B|ROOT/Widget0|ROOT/Widget0/Settings",
      "SYMLINK|Alias|ROOT/Widget0|ROOT/Widget0/Gone",
      "SYMLINK|Alias|ROOT/Widget0/Count|ROOT/Widget0/Settings",
      "group|ROOT/Widget0/Gadget0|ROOT/Widget0|ROOT/Widget0/AddGadget|g",
      "",
      "|||",
  };
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\n";
  text += "PROPERTY|ROOT/Widget0/Name|" + long_value + "\n";
  text += "PROPERTY|ROOT/Widget0/Name|cut-off";   // no newline: a cut-off text
  const std::string before = snapshot();
  EXPECT_EQ(restore(text), 0u);
  EXPECT_EQ(snapshot(), before);
}

TEST_F(Persistence, LongLinesAreReadWholeAndOverlongOnesSkipped) {
  std::string padded = "GROUP|ROOT/Widget0/Gadget5|ROOT/Widget0|ROOT/Widget0/AddGadget|long|1|10.0.0.9|x|y|z";
  padded += "|" + std::string(600 - padded.size() - 1, 'p');
  ASSERT_EQ(padded.size(), 600u);
  std::string text = padded + "\n";
  text += "PROPERTY|ROOT/Widget0/Gadget5/Port|77\n";
  text += "PROPERTY|ROOT/Widget0/Name|" + std::string(70000, 'n') + "\n";
  text += "PROPERTY|ROOT/Widget0/Serial|SN-2\n";   // read-only values are replayed too
  ASSERT_EQ(restore(text), 0u);
  uint32_t gadget = child(widget, "Gadget0", VARU_KIND_GROUP);
  ASSERT_NE(gadget, kNoTag);
  EXPECT_EQ(value_of(gadget, "Name"), "long");
  EXPECT_EQ(value_of(gadget, "Port"), "77");
  EXPECT_EQ(value_of(widget, "Name"), "widget");
  EXPECT_EQ(value_of(widget, "Serial"), "SN-2");
}

}  // namespace
}  // namespace vxtest
