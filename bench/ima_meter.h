// The IMA layer's own time in a plug-in the host stand-in loaded: the time of the IMA entry points
// less the time inside the hierarchy calls (VARU_*) they make. The plug-in calls its own exported
// VARU_* through its procedure linkage table, as any exported function may be interposed; while a
// step is measured, those table slots point at stand-ins that time the call and run the plug-in's
// own function. Only the outermost call is timed: a hierarchy call that makes another counts once.
// What the timing itself costs is measured on a call that does nothing and taken off. One thread.
#pragma once

#include <dlfcn.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "varu.h"

namespace vxbench {

namespace ima_meter {

// Seconds inside the outermost hierarchy calls, and their number.
struct Inside {
  double seconds = 0;
  uint64_t calls = 0;
  int depth = 0;
};
inline Inside& inside() {
  static Inside seen;
  return seen;
}

inline double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// The stand-in of one hierarchy call: `Id` tells calls of one signature apart.
template <int Id, typename Fn>
struct Stand;
template <int Id, typename R, typename... A>
struct Stand<Id, R (*)(A...)> {
  static inline R (*real)(A...) = nullptr;
  static R call(A... args) {
    Inside& in = inside();
    if (in.depth++ != 0) {
      const R result = real(args...);
      --in.depth;
      return result;
    }
    const double start = now();
    const R result = real(args...);
    in.seconds += now() - start;
    ++in.calls;
    --in.depth;
    return result;
  }
};
template <int Id, typename Fn>
void* stand_in(void* real) {
  Stand<Id, Fn>::real = reinterpret_cast<Fn>(real);
  return reinterpret_cast<void*>(&Stand<Id, Fn>::call);
}

struct Metered {
  const char* name;
  void* (*stand_in)(void* real);
};
// The hierarchy calls the IMA layer makes.
constexpr Metered kMetered[] = {
    {"VARU_init", stand_in<0, decltype(&VARU_init)>},
    {"VARU_exit", stand_in<1, decltype(&VARU_exit)>},
    {"VARU_get_node_tag", stand_in<2, decltype(&VARU_get_node_tag)>},
    {"VARU_get_node_name", stand_in<3, decltype(&VARU_get_node_name)>},
    {"VARU_get_parent_tag", stand_in<4, decltype(&VARU_get_parent_tag)>},
    {"VARU_get_valid_instances", stand_in<5, decltype(&VARU_get_valid_instances)>},
    {"VARU_get_property_val", stand_in<6, decltype(&VARU_get_property_val)>},
    {"VARU_set_property_val", stand_in<7, decltype(&VARU_set_property_val)>},
    {"VARU_do_action", stand_in<8, decltype(&VARU_do_action)>},
    {"VARU_refresh_group", stand_in<9, decltype(&VARU_refresh_group)>},
    {"VARU_get_last_status", stand_in<10, decltype(&VARU_get_last_status)>},
};

// The slot of the object's procedure linkage table through which it calls `name`; nullptr when none.
// The benchmarks are a 64-bit build: the table's entries are Elf64_Rela.
static_assert(sizeof(void*) == 8, "the procedure linkage table is read as a 64-bit object's");
inline void** plt_slot(const link_map* object, const char* name) {
  const ElfW(Rela)* relocations = nullptr;
  size_t size = 0;
  const ElfW(Sym)* symbols = nullptr;
  const char* names = nullptr;
  // The loader makes the table addresses absolute where the dynamic section is writable; one left as
  // linked is relative to the object's base.
  const auto at = [object](ElfW(Addr) address) { return address < object->l_addr ? address + object->l_addr : address; };
  for (const ElfW(Dyn)* d = object->l_ld; d->d_tag != DT_NULL; ++d) {
    if (d->d_tag == DT_JMPREL) relocations = reinterpret_cast<const ElfW(Rela)*>(at(d->d_un.d_ptr));
    if (d->d_tag == DT_PLTRELSZ) size = d->d_un.d_val;
    if (d->d_tag == DT_SYMTAB) symbols = reinterpret_cast<const ElfW(Sym)*>(at(d->d_un.d_ptr));
    if (d->d_tag == DT_STRTAB) names = reinterpret_cast<const char*>(at(d->d_un.d_ptr));
  }
  if (relocations == nullptr || symbols == nullptr || names == nullptr) return nullptr;
  for (size_t i = 0; i < size / sizeof *relocations; ++i) {
    if (std::strcmp(names + symbols[ELF64_R_SYM(relocations[i].r_info)].st_name, name) == 0) {
      return reinterpret_cast<void**>(object->l_addr + relocations[i].r_offset);
    }
  }
  return nullptr;
}

}  // namespace ima_meter

class ImaMeter {
 public:
  // `lookup` finds a symbol of the plug-in by name (imahost::Host::symbol).
  template <typename Lookup>
  explicit ImaMeter(const Lookup& lookup) {
    Dl_info info{};
    link_map* object = nullptr;
    void* any = lookup("VARU_init");
    if (any == nullptr || ::dladdr1(any, &info, reinterpret_cast<void**>(&object), RTLD_DL_LINKMAP) == 0) return;
    for (const ima_meter::Metered& m : ima_meter::kMetered) {
      void** slot = ima_meter::plt_slot(object, m.name);
      void* real = lookup(m.name);
      if (slot == nullptr || real == nullptr || !writable(slot)) return;
      slots_.push_back({slot, *slot, m.stand_in(real)});
    }
    ok_ = true;
    calibrate();
  }
  ~ImaMeter() { route(false); }
  ImaMeter(const ImaMeter&) = delete;
  ImaMeter& operator=(const ImaMeter&) = delete;

  // False when a hierarchy call of the IMA layer is not reached through the plug-in's table.
  bool ok() const { return ok_; }

  // Around each step measured: the calls of the IMA entry points in it.
  void start() {
    route(true);
    at_start_ = ima_meter::inside();
    start_ = ima_meter::now();
  }
  void stop() {
    const double end = ima_meter::now();
    route(false);
    const ima_meter::Inside& in = ima_meter::inside();
    const double calls = static_cast<double>(in.calls - at_start_.calls);
    total_ += end - start_ - calls * per_call_;
    inside_ += in.seconds - at_start_.seconds - calls * per_call_inside_;
    calls_ += calls;
  }
  // Seconds in all, inside the hierarchy calls, and the IMA layer's own; the hierarchy calls made.
  double total() const { return total_; }
  double inside() const { return inside_; }
  double own() const { return total_ - inside_; }
  double calls() const { return calls_; }

 private:
  struct Slot {
    void** at;
    void* original;
    void* stand_in;
  };

  static bool writable(void** slot) {
    const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    const uintptr_t start = reinterpret_cast<uintptr_t>(slot) & ~(page - 1);
    return ::mprotect(reinterpret_cast<void*>(start), page, PROT_READ | PROT_WRITE) == 0;
  }
  void route(bool metered) const {
    for (const Slot& s : slots_) *s.at = metered ? s.stand_in : s.original;
  }
  // What one timed call costs in all and inside the time it is given, on a call that does nothing.
  void calibrate() {
    using Noop = ima_meter::Stand<-1, uint32_t (*)()>;
    Noop::real = +[]() -> uint32_t { return 0; };
    uint32_t (*volatile call)() = &Noop::call;
    constexpr int kCalls = 1000;
    for (int round = 0; round < 5; ++round) {
      const ima_meter::Inside before = ima_meter::inside();
      const double start = ima_meter::now();
      for (int i = 0; i < kCalls; ++i) call();
      const double all = (ima_meter::now() - start) / kCalls;
      const double in = (ima_meter::inside().seconds - before.seconds) / kCalls;
      ima_meter::inside() = before;
      if (round == 0 || all < per_call_) {
        per_call_ = all;
        per_call_inside_ = in;
      }
    }
  }

  std::vector<Slot> slots_;
  bool ok_ = false;
  double per_call_ = 0;
  double per_call_inside_ = 0;
  ima_meter::Inside at_start_;
  double start_ = 0;
  double total_ = 0;
  double inside_ = 0;
  double calls_ = 0;
};

}  // namespace vxbench
