// The replay of saved text on arbitrary input, against a started library with a small schema whose
// actions create, delete and record instances, call back into the API and rebuild the tree. Each
// input starts from the same fresh tree; what one input allocates is freed before the next.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/hm.h"
#include "tests/api/lab_schema.h"
#include "varu.h"

namespace {

bool start_tree() {
  if (VARU_init() != 0) return false;
  hm_node* widget = lab::add_widget();
  if (widget == nullptr) return false;
  char params[6][256] = {{"seed"}, {"80"}, {""}};
  uint32_t action = 0;
  VARU_get_node_tag(widget->tag, "AddGadget", &action, VARU_KIND_ACTION);
  params[2][0] = static_cast<char>(VARU_PARAM_ABSENT);
  VARU_do_action(static_cast<uint32_t>(widget->tag), static_cast<int32_t>(action), params, nullptr);
  return true;
}

std::string g_root;

void remove_root() {
  std::error_code ignored;
  std::filesystem::remove_all(g_root, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Every file the library writes goes under a private root, removed at exit.
  g_root = "/tmp/vxima-fuzz-restore-" + std::to_string(::getpid());
  ::mkdir(g_root.c_str(), 0755);
  ::setenv("VXIMA_ROOT", g_root.c_str(), 1);
  std::atexit(remove_root);
  lab::g_max_sleep_ms = 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t allocations = vx::varu_alloc_count();
  if (!start_tree()) __builtin_trap();
  std::string text(reinterpret_cast<const char*>(data), size);
  FILE* in = fmemopen(text.empty() ? nullptr : text.data(), text.size(), "r");
  if (in != nullptr) {
    if (restore_hm(in) != 0) __builtin_trap();
    std::fclose(in);
  }
  // The tree can still be walked and saved after any replay.
  FILE* out = std::tmpfile();
  save_node(vx::get_node(0), out, 3);
  std::fclose(out);
  VARU_exit();
  if (vx::varu_alloc_count() != allocations) __builtin_trap();
  return 0;
}
