// A lab of one simulated adapter per generation (and a few variants) for firmware updates and core
// dumps through the public calls: image files written by vxufi under the test's root, the
// adapters' flash regions and chunk notes, and core-dump files read back by vxdump.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "access/host.h"
#include "tests/api/lab_fixture.h"
#include "tests/api/startup_fixture.h"
#include "tools/vxdump/dump_reader.h"
#include "tools/vxufi/ufi_writer.h"

namespace vxtest {

// Serial numbers name the adapters; the lab's controllers are found by them.
constexpr const char* kFirmwareLab = R"({"adapters": [
 {"serial_number": "G2", "generation": 2, "pci": {"bus": 2}, "iscsi_functions": [{"function": 1}],
  "nic_functions": [{"function": 0}]},
 {"serial_number": "G3", "generation": 3, "pci": {"bus": 3}, "fw_config": {"asic_revision": "0x11"},
  "firmware": {"active": "4.2.324.0"},
  "iscsi_functions": [{"function": 1}], "nic_functions": [{"function": 0}],
  "flash": {"write_answers": {"192": "2"}}, "port_settings": [{"phy_type": 13, "interface_type": 6}],
  "core_dump": {"versions": [3, 2], "components": [
    {"id": 2, "segments": [{"id": 0, "versions": [2, 1], "highest_instance": 1, "length": 100000},
                           {"id": 1, "highest_instance": -1, "length": 16}]},
    {"id": 3, "segments": [{"id": 0, "length": 64}]}, {"id": 4, "segments": [{"id": 0, "length": 32}]},
    {"id": 5, "segments": [{"id": 0, "length": 8}]}, {"id": 6, "segments": [{"id": 0, "length": 8}]}],
   "cli": {"show ver": "76657273696f6e00ff", "bad": "unsupported"}}},
 {"serial_number": "G3A", "generation": 3, "pci": {"bus": 6}, "fw_config": {"asic_revision": "0x10"},
  "iscsi_functions": [{"function": 1}]},
 {"serial_number": "G3B", "generation": 3, "pci": {"bus": 7}, "fw_config": {"asic_revision": "0x0f"},
  "iscsi_functions": [{"function": 0}], "nic_functions": [{"function": 1}]},
 {"serial_number": "G4", "generation": 4, "pci": {"bus": 4}, "nic_functions": [{"function": 0}],
  "flash": {"prg_change_status": 1}},
 {"serial_number": "G5", "generation": 5, "pci": {"bus": 5}, "firmware": {"active": "10.0.3.1"},
  "fw_config": {"asic_revision": "0x11"}, "controller_state": "dead", "iscsi_functions": [{"function": 1}],
  "nic_functions": [{"function": 0}],
  "flash": {"crcs": {"0": "0x1234abcd"}, "crc_answers": {"9": 2}, "write_answers": {"21": "1"}}},
 {"serial_number": "G5B", "generation": 5, "pci": {"bus": 8}, "firmware": {"active": "9.4.1.0"},
  "iscsi_functions": [{"function": 1}]},
 {"serial_number": "G6", "generation": 6, "pci": {"bus": 9}, "iscsi_functions": [{"function": 1}]}
]})";

constexpr const char* kFlashPid = "/var/run/varuflash.pid";
constexpr const char* kDumpPid = "/var/run/varucoredump.pid";

// One line of an adapter's chunk notes.
struct Chunk {
  int pid;
  uint32_t optype;
  uint32_t operation;
  uint32_t offset;
  uint32_t bytes;
};

// A pid lock held by another process for the helper's life.
class LockedElsewhere {
 public:
  explicit LockedElsewhere(const char* pidfile) {
    int ready[2];
    int done[2];
    if (::pipe(ready) != 0 || ::pipe(done) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(done[1]);   // the parent's close then ends the wait below
      char c = vx::VARU_cmd_lock(pidfile) != vx::kCmdLockFailed ? 'y' : 'n';
      if (::write(ready[1], &c, 1) == 1) (void)!::read(done[0], &c, 1);
      ::_exit(0);
    }
    char c = 'n';
    held_ = ::read(ready[0], &c, 1) == 1 && c == 'y';
    done_ = done[1];
    for (int fd : {ready[0], ready[1], done[0]}) ::close(fd);
  }
  ~LockedElsewhere() {
    ::close(done_);
    ::waitpid(pid_, nullptr, 0);
  }
  bool held() const { return held_; }

 private:
  pid_t pid_ = -1;
  int done_ = -1;
  bool held_ = false;
};

// Each optype's chunks in order form whole components: operation 2 for every chunk of 32768 bytes
// but the last, which is operation 1. The bytes written per optype; a broken sequence fails the test.
inline std::map<uint32_t, uint64_t> written_per_optype(const std::vector<Chunk>& chunks) {
  std::map<uint32_t, uint64_t> bytes;
  std::map<uint32_t, bool> open;
  for (const Chunk& c : chunks) {
    EXPECT_TRUE(c.operation == 1 || c.bytes == 32768) << "optype " << c.optype << ": a short chunk before the last";
    open[c.optype] = c.operation == 2;
    bytes[c.optype] += c.bytes;
  }
  for (const auto& [optype, unfinished] : open) EXPECT_FALSE(unfinished) << "optype " << optype << " never ended";
  return bytes;
}

class FirmwareLab : public StartupTest {
 protected:
  void SetUp() override {
    use_config_text(kFirmwareLab);
    root_.write("/images/.keep", "");
    root_.write("/dumps/.keep", "");
    ASSERT_EQ(start(), 0u);
  }

  // The controller of the adapter with that serial number ("Vexalon<n>").
  std::string controller(const std::string& serial) {
    for (uint32_t g : children_of(0, VARU_KIND_GROUP)) {
      const std::string name = name_of(g, VARU_KIND_GROUP);
      if (value_at(name + "/SerialNumber") == serial) return name;
    }
    return "<none>";
  }
  uint32_t run(const std::string& serial, const char* action, std::initializer_list<const char*> slots) {
    return act(tag_at(controller(serial)), action, slots);
  }

  // Writes the file of `description` under the root and flashes it.
  uint32_t flash(const std::string& serial, const std::string& description) {
    std::string error;
    EXPECT_TRUE(vxufi::write_file(description, image_path(), &written_, &error)) << error;
    return run(serial, "UpgradeFlashROM", {image_path().c_str()});
  }
  std::string image_path() const { return root_.at("/images/fw.ufi"); }
  // Component `i` of the file flashed last, as the file holds it.
  std::string component(size_t i) const {
    const vxufi::Placed& p = written_.placed.at(i);
    return written_.bytes.substr(p.file_offset, p.size);
  }
  std::string region(const std::string& serial, uint32_t optype) const {
    return root_.read("/var/lib/vxsim/" + serial + "/regions/" + std::to_string(optype));
  }
  std::vector<Chunk> chunks(const std::string& serial) const {
    std::vector<Chunk> out;
    std::istringstream in(root_.read("/var/lib/vxsim/" + serial + "/regions/chunks.log"));
    Chunk c{};
    while (in >> c.pid >> c.optype >> c.operation >> c.offset >> c.bytes) out.push_back(c);
    return out;
  }
  // Commands of an opcode and subsystem in the journal.
  size_t sent(int opcode, int subsystem) const {
    size_t n = 0;
    for (const vxsim_journal_entry& e : sim_.commands()) n += e.opcode == opcode && e.subsystem == subsystem;
    return n;
  }

  // A core dump into `file` under the root, read back by vxdump.
  uint32_t dump(const std::string& serial, const char* kind, vxdump::Listing* listing, std::string* error) {
    const std::string file = root_.at("/dumps/core.bin");
    const uint32_t rc = run(serial, "RetrieveBrightlaneCoreDump", {file.c_str(), kind});
    if (!vxdump::read_dump(root_.read("/dumps/core.bin"), listing, error)) return 0xDEAD;
    return rc;
  }

  vxufi::Written written_;
};

}  // namespace vxtest
