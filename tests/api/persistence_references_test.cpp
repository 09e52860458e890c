// Persistence data never refers to freed nodes: backend_make_persistent takes only references that
// live as long as the group, and a save survives get handlers that delete nodes.
#include <cstdio>
#include <string>
#include <utility>

#include "engine/builder.h"
#include "tests/api/lab_fixture.h"

namespace vxtest {
namespace {

int32_t g_trigger = -1;   // the group whose "Trap" read deletes g_victim
int32_t g_victim = -1;

uint32_t handle_Trap(hm_node* prop, char* buf, uint32_t op) {
  const bool fire = op == kGet && prop->parent->tag == g_trigger && g_victim >= 0;
  const uint32_t result = vx::handle_internal_property(prop, buf, op);
  if (fire) vx::delete_node(vx::get_node(std::exchange(g_victim, -1)));
  return result;
}

vx::InstanceBits g_trap_bits;
constexpr vx::SchemaRow kTrapRows[] = {
    vx::property(vx::kInstance, "Trap", "Deletes a node when read.", kReadWrite, handle_Trap, vx::length(0, 8), "t"),
    vx::property(vx::kInstance, "After", "Read after the trap.", kReadWrite, vx::handle_internal_property,
                 vx::length(0, 8), "a"),
};
constexpr vx::GroupSpec kTrap = vx::group_spec("Trap", "Deletes a node when read.", 8, nullptr, kTrapRows, g_trap_bits);

class PersistenceReferences : public LabTest {
 protected:
  hm_node* node(uint32_t tag) { return vx::get_node(static_cast<int32_t>(tag)); }
  hm_node* at(const char* path) { return vx::internal_get_node_path(path, kGroup); }
};

TEST_F(PersistenceReferences, MakePersistentTakesOnlyReferencesThatOutliveTheGroup) {
  ASSERT_EQ(act(widget, "AddGadget", {"a"}), 0u);
  ASSERT_EQ(act(widget, "AddGadget", {"b"}), 0u);
  hm_node* other = lab::add_widget();
  ASSERT_NE(other, nullptr);
  hm_node* options = at("ROOT/Widget0/Gadget0/Options");
  hm_node* gadget0 = at("ROOT/Widget0/Gadget0");
  hm_node* gadget1 = at("ROOT/Widget0/Gadget1");
  hm_node* own_action = node(child(widget, "AddGadget", VARU_KIND_ACTION));
  hm_node* other_action = vx::internal_get_node(other, "AddGadget", kAction);
  struct Row {
    const char* what;
    hm_node* invoked_on;
    hm_node* action;
    uint32_t want;
  } rows[] = {
      {"the group itself", options, nullptr, 0},
      {"a sibling's subtree", gadget1, own_action, 1},
      {"another group's action", gadget0, other_action, 1},
      {"not an action", gadget0, vx::internal_get_node(node(widget), "Name", kProperty), 1},
      {"an ancestor and its action", gadget0, own_action, 0},   // the last taken: what is kept
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(backend_make_persistent(options, row.invoked_on, row.action, nullptr), row.want);
  }
  // What was refused is not kept: deleting those nodes leaves nothing to read freed.
  ASSERT_EQ(act(widget, "DeleteGadget", {"1"}), 0u);
  ASSERT_EQ(vx::delete_node(other), 0u);
  hm_persistence_info info{};
  ASSERT_EQ(VARU_get_persistence_info(options->tag, &info), 0u);
  EXPECT_EQ(info.invoked_on_tag, static_cast<uint32_t>(gadget0->tag));
  EXPECT_EQ(info.action_tag, static_cast<uint32_t>(own_action->tag));
}

// A get handler that deletes nodes while the tree is saved: what is gone by then is left out, the
// rest is saved, and nothing freed is read (the sanitizer build tells).
TEST_F(PersistenceReferences, SaveSurvivesHandlersThatDeleteNodes) {
  hm_node* action = node(child(widget, "AddGadget", VARU_KIND_ACTION));
  char params[6][256] = {};
  struct Row {
    const char* what;
    int trigger;        // the trap whose read deletes the victim: 0, 1 persistent, 2 static
    int victim;         // a trap, or -1 for the widget above them
    bool written[3];    // whose "After" value is saved
  } rows[] = {
      {"its own persistent group", 0, 0, {false, true, true}},
      {"the next persistent group", 0, 1, {true, false, true}},
      {"its own static group", 2, 2, {true, true, false}},
      {"the static group's parent", 2, -1, {true, true, false}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    hm_node* parent = node(widget);
    hm_node* traps[] = {vx::build_instance(kTrap, parent, parent, action, params),
                        vx::build_instance(kTrap, parent, parent, action, params),
                        vx::build_instance(kTrap, parent, nullptr, nullptr, nullptr)};
    int32_t tags[3];
    std::string paths[3];
    for (int i = 0; i < 3; ++i) {
      ASSERT_NE(traps[i], nullptr);
      tags[i] = traps[i]->tag;
      char path[256];
      vx::get_full_path(traps[i], path);
      paths[i] = path;
    }
    g_trigger = tags[row.trigger];
    g_victim = row.victim < 0 ? parent->tag : tags[row.victim];

    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    save_node(vx::get_node(0), out, 3);
    std::fclose(out);
    const std::string saved(text, size);
    std::free(text);
    EXPECT_EQ(g_victim, -1) << "the trap was read";
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(saved.find("PROPERTY|" + paths[i] + "/After|a\n") != std::string::npos, row.written[i]) << paths[i];
      hm_node* left = vx::get_node(tags[i]);
      if (left != nullptr && std::string(left->name) == "Trap") vx::delete_node(left);
    }
  }
}

}  // namespace
}  // namespace vxtest
