// A small schema for driving the public calls: a "Widget" group under "ROOT" with one property of
// every value rule, a sub-group, and actions that create and delete "Gadget" instances, record
// their parameters, fail, sleep, call back into the API, or ask for a tree rebuild.
// Header-only: the API tests and the replay fuzzer share it.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "engine/builder.h"
#include "engine/hm.h"

namespace lab {


// What the handlers saw, for the tests to check.
inline char g_seen_params[6][256];
inline std::atomic<int> g_handler_calls{0};
inline std::atomic<bool> g_in_slow{false};
inline int g_max_sleep_ms = 5000;   // the replay fuzzer does not sleep
inline std::string g_nested_value;
inline uint32_t g_nested_result = 0;

inline std::atomic<int> g_refreshes{0};
inline uint32_t group_Settings(hm_node*) { return ++g_refreshes == 1 ? 5 : 0; }

inline uint32_t handle_Busy(hm_node*, char*, uint32_t) { return vx::fail(42, "%s", "Widget is busy."); }

inline uint32_t do_AddGadget(hm_node* target, hm_node* action, char params[6][256]);
inline uint32_t do_DeleteGadget(hm_node* target, hm_node*, char params[6][256]) {
  std::string name = "Gadget" + std::to_string(std::atoi(params[0]));
  hm_node* gadget = vx::internal_get_node(target, name.c_str(), kGroup);
  if (gadget == nullptr) return vx::fail(1, "%s", "No such gadget.");
  return vx::delete_node(gadget);
}
inline uint32_t do_Configure(hm_node*, hm_node*, char params[6][256]) {
  std::memcpy(g_seen_params, params, sizeof g_seen_params);
  ++g_handler_calls;
  return 0;
}
// While set, "Slow" also keeps the lock until a test clears it (30 s at the most, so that a failed
// test ends).
inline std::atomic<bool> g_hold_slow{false};
inline uint32_t do_Slow(hm_node*, hm_node*, char params[6][256]) {
  g_in_slow = true;
  const auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(std::min(std::atoi(params[0]), g_max_sleep_ms)));
  while (g_hold_slow && std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  g_in_slow = false;
  return 0;
}
// Reads the widget's own "Name" through the public API while the lock is held.
inline uint32_t do_Nested(hm_node* target, hm_node*, char[6][256]) {
  hm_node* prop = vx::internal_get_node(target, "Name", kProperty);
  char value[256] = "";
  g_nested_result = VARU_get_property_val(static_cast<uint32_t>(target->tag), static_cast<uint32_t>(prop->tag),
                                          value, sizeof value);
  g_nested_value = value;
  return g_nested_result;
}
inline uint32_t do_Rebuild(hm_node*, hm_node*, char[6][256]) {
  vx::request_tree_rebuild();
  return 0;
}

constexpr hm_action_param kNoParam = {0, "", "", 0, nullptr, 0, 0};

inline const hm_action_descriptor kAddGadget = {do_AddGadget, 0, 3, {
    {1, "Name", "Name of the gadget.", 0, nullptr, 1, 20},
    {0, "Port", "Port of the gadget.", 1, nullptr, 1, 65535},
    {0, "Address", "Address of the gadget.", 2, nullptr, 0, 0},
    kNoParam, kNoParam, kNoParam}};
inline const hm_action_descriptor kDeleteGadget = {do_DeleteGadget, 0, 1, {
    {1, "InstanceNumber", "Gadget to delete.", 1, nullptr, 0, 7}, kNoParam, kNoParam, kNoParam, kNoParam, kNoParam}};
inline const hm_action_descriptor kConfigure = {do_Configure, 0, 6, {
    {1, "Text", "Two to eight characters.", 0, nullptr, 2, 8},
    {0, "Number", "From -5 to 5.", 1, nullptr, -5, 5},
    {0, "Address", "An address.", 2, nullptr, 0, 0},
    {0, "Mask", "A subnet mask.", 3, nullptr, 0, 0},
    {0, "Choice", "Red or Green.", 4, "Red,Green", 0, 0},
    {0, "Free", "Anything.", 9, nullptr, 0, 0}}};
inline const hm_action_descriptor kNoHandler = {nullptr, 0, 0, {}};
inline const hm_action_descriptor kSlow = {do_Slow, 0, 1, {
    {1, "Millis", "How long.", 1, nullptr, 0, 5000}, kNoParam, kNoParam, kNoParam, kNoParam, kNoParam}};
inline const hm_action_descriptor kNested = {do_Nested, 0, 0, {}};
inline const hm_action_descriptor kRebuild = {do_Rebuild, 0, 0, {}};

inline vx::InstanceBits g_gadget_bits;
inline constexpr vx::SchemaRow kGadgetRows[] = {
    vx::property(vx::kInstance, "Name", "Name of the gadget.", kReadWrite, vx::handle_internal_property,
                 vx::length(1, 20), ""),
    vx::property(vx::kInstance, "Port", "Port of the gadget.", kReadWrite, vx::handle_internal_property,
                 vx::range(1, 65535), "3260"),
    vx::group(vx::kInstance, "Options", "Options of the gadget."),
    vx::property(2, "Speed", "Speed.", kReadWrite, vx::handle_internal_property, vx::one_of("Fast,Slow", 0, 0), "Fast"),
};
inline constexpr vx::GroupSpec kGadget =
    vx::group_spec("Gadget", "A gadget of a widget.", 8, nullptr, kGadgetRows, g_gadget_bits);

inline uint32_t do_AddGadget(hm_node* target, hm_node* action, char params[6][256]) {
  hm_node* gadget = vx::build_instance(kGadget, target, target, action, params);
  if (gadget == nullptr) return vx::fail(1, "%s", "No room for a gadget.");
  vx::set_prop_val(gadget, "Name", "%s", params[0]);
  if (params[1][0] != '\0') vx::set_prop_val(gadget, "Port", "%s", params[1]);
  return 0;
}

inline vx::InstanceBits g_widget_bits;
inline constexpr vx::SchemaRow kWidgetRows[] = {
    /* 0 */ vx::property(vx::kInstance, "Name", "Name.", kReadWrite, vx::handle_internal_property, vx::length(1, 32),
                         "widget"),
    /* 1 */ vx::property(vx::kInstance, "Count", "Count.", kReadWrite, vx::handle_internal_property,
                         vx::range(0, 100), "0"),
    /* 2 */ vx::property(vx::kInstance, "Address", "Address.", kReadWrite, vx::handle_internal_property,
                         vx::address(0, 0), "10.0.0.1"),
    /* 3 */ vx::property(vx::kInstance, "Mask", "Mask.", kReadWrite, vx::handle_internal_property,
                         vx::subnet_mask(0, 0), "255.255.255.0"),
    /* 4 */ vx::property(vx::kInstance, "Mode", "Mode.", kReadWrite, vx::handle_internal_property,
                         vx::one_of("On,Off", 2, 3), "On"),
    /* 5 */ vx::property(vx::kInstance, "Serial", "Serial.", kReadOnly, vx::handle_internal_property,
                         vx::length(0, 32), "SN-1"),
    /* 6 */ vx::property(vx::kInstance, "Busy", "Always busy.", kReadWrite, handle_Busy, vx::length(0, 32), ""),
    /* 7 */ vx::group(vx::kInstance, "Settings", "Settings.", group_Settings),
    /* 8 */ vx::property(7, "Level", "Level.", kReadWrite, vx::handle_internal_property, vx::range(0, 9), "1"),
    /* 9 */ vx::action(vx::kInstance, "AddGadget", "Adds a gadget.", kAddGadget),
    /* 10 */ vx::action(vx::kInstance, "DeleteGadget", "Deletes a gadget.", kDeleteGadget),
    /* 11 */ vx::action(vx::kInstance, "Configure", "Records its parameters.", kConfigure),
    /* 12 */ vx::action(vx::kInstance, "NoHandler", "Has no handler.", kNoHandler),
    /* 13 */ vx::action(vx::kInstance, "Slow", "Sleeps.", kSlow),
    /* 14 */ vx::action(vx::kInstance, "Nested", "Calls the API.", kNested),
    /* 15 */ vx::action(vx::kInstance, "Rebuild", "Rebuilds the tree.", kRebuild),
};
inline constexpr vx::GroupSpec kWidget =
    vx::group_spec("Widget", "A widget.", 4, nullptr, kWidgetRows, g_widget_bits);

// Adds one Widget instance under "ROOT" (not action-made); call it after VARU_init.
inline hm_node* add_widget() { return vx::build_instance(kWidget, vx::get_node(0), nullptr, nullptr, nullptr); }

}  // namespace lab
