// Firmware updates through "UpgradeFlashROM": image files from vxufi flashed on the simulated
// adapters of every generation, the acceptance of a file by the adapter's ASIC revision, the CRC
// tests that skip what is flashed already, the two-pass answers, the offset-based method, files
// refused before any flash command, and the host-wide lock.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "adapter/controller_attribs.h"
#include "maintenance/flash_update.h"
#include "tests/api/firmware_lab.h"

namespace vxtest {
namespace {

constexpr const char* kUpdated =
    "Vexalon firmware has been updated. Please reboot your system for the changes to take effect.";
constexpr const char* kFailed = "Failed to upgrade the firmware.";
constexpr const char* kPartly =
    "Vexalon firmware has been updated, but the adapter refused some of its components (see varu2d.log). Please "
    "reboot the system for the update to take effect.";
constexpr const char* kTwice =
    "This special firmware release requires the download be performed twice. You must reboot the system and "
    "download the same firmware file again to complete the download process.";

std::string example(const char* name) {
  std::ifstream in(source_path(std::string("examples/firmware/") + name));
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class FirmwareUpdate : public FirmwareLab {
 protected:
  // `partly`: G5 refuses optype 21 (image type 0xC0); the rest of the file is written and the
  // update says so.
  void expect_updated(uint32_t result, bool partly = false) {
    EXPECT_EQ(result, partly ? 1u : 0u);
    EXPECT_EQ(last_status().code, partly ? 339u : 55u);
    EXPECT_EQ(last_status().text, partly ? kPartly : kUpdated);
    EXPECT_FALSE(root_.exists(kFlashPid));
  }
};

TEST_F(FirmwareUpdate, EveryGenerationWritesTheFilesComponentsInWholeChunks) {
  struct Row {
    const char* serial;
    const char* description;
    uint32_t refused;   // a component written, refused by the firmware and passed over
    bool partly;        // the refusal is reported
  } rows[] = {
      {"G2", "gen2.json", 0xFFFF, false},
      {"G3", "gen3.json", 192, false},   // the PHY's own firmware, answered 2
      {"G5", "gen5.json", 21, true},     // an entry by image type, answered 1
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.serial);
    sim_.journal_clear();
    expect_updated(flash(row.serial, example(row.description)), row.partly);
    const std::map<uint32_t, uint64_t> bytes = written_per_optype(chunks(row.serial));
    for (size_t i = 0; i < written_.placed.size(); ++i) {
      const uint32_t optype = row.serial == std::string("G5") && written_.placed[i].optype == 0xFFFF
                                  ? (written_.placed[i].image_type == 0x30 ? 22 : 21)
                                  : written_.placed[i].optype;
      EXPECT_EQ(region(row.serial, optype) == component(i), optype != row.refused) << "optype " << optype;
      if (optype != row.refused) {
        EXPECT_EQ(bytes.at(optype), written_.placed[i].size);
      }
    }
    size_t refused_sent = 0;
    for (const std::vector<uint8_t>& p : sim_.payloads_of(7, 1)) {
      uint32_t optype = 0;
      if (p.size() >= 8) std::memcpy(&optype, p.data() + 4, sizeof optype);
      refused_sent += optype == row.refused;
    }
    EXPECT_EQ(refused_sent, row.refused == 0xFFFF ? 0u : 1u);
  }
  // The object file goes to "/prg" whole, in four pieces, the last one asking for a reboot.
  sim_.journal_clear();
  expect_updated(flash("G4", example("gen4.json")));
  EXPECT_EQ(root_.read("/var/lib/vxsim/G4/objects/%2Fprg"), written_.bytes);
  EXPECT_EQ(sent(172, 1), 4u);
}

TEST_F(FirmwareUpdate, AFileMustSuitTheAdaptersAsicRevision) {
  struct Row {
    const char* serial;
    int generation;   // of the file
    const char* revision;
    uint32_t want;
  } rows[] = {
      {"G3A", 3, "0x10", 55}, {"G3A", 3, "0x11", 55}, {"G3A", 3, "0x20", 162},   // revision 0x10: sub-types 4 and 11
      {"G3", 3, "0x20", 162}, {"G3", 3, "0x10", 162}, {"G3", 3, "0x11", 55},    // 0x11: only 11
      {"G3B", 3, "0x20", 55}, {"G3B", 3, "0x10", 55}, {"G3B", 3, "0x11", 55},   // below 0x10: any
      {"G5", 5, "0x10", 162}, {"G5", 5, "0x11", 55}, {"G5", 5, "0x20", 55},     // not below the revision
      {"G5", 5, "0x30", 162}, {"G5B", 5, "0x30", 55},   // an unknown revision keeps sub-type 0
      {"G6", 3, "0x11", 162}, {"G6", 5, "0x11", 162}, {"G2", 3, "0x11", 162}, {"G3", 2, "0", 162},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.serial) + " " + row.revision);
    sim_.journal_clear();
    const uint32_t rc = flash(row.serial, "{\"generation\": " + std::to_string(row.generation) +
                                              ", \"asic_revision\": \"" + row.revision + "\"}");
    EXPECT_EQ(last_status().code, row.want);
    EXPECT_EQ(rc, row.want == 55 ? 0u : 1u);
    EXPECT_EQ(sent(7, 1), 0u);
    EXPECT_FALSE(root_.exists(kFlashPid));
  }
  EXPECT_STATUS(run("G6", "UpgradeFlashROM", {"/no/such/image.ufi"}), 39,
                "Cannot open the specified UFI file. Please make sure the UFI file is present in the specified "
                "path.");
  vx::vm_flag = 1;
  EXPECT_STATUS(run("G3", "UpgradeFlashROM", {image_path().c_str()}), 235,
                "Firmware update cannot be performed on a SR-IOV virtual function.");
}

TEST_F(FirmwareUpdate, WhatTheFlashHoldsAlreadyIsNotWrittenAgain) {
  // Before anything is written, the flash reports the CRC it was made with.
  expect_updated(flash("G5", R"({"generation": 5, "asic_revision": "0x11", "components": [
      {"image_type": "0xA0", "optype": 0, "size": 64, "crc": "0x1234abcd"}]})"));
  EXPECT_TRUE(chunks("G5").empty());
  for (const char* serial : {"G2", "G5"}) {
    SCOPED_TRACE(serial);
    const bool g2 = serial == std::string("G2");
    const std::string description = example(g2 ? "gen2.json" : "gen5.json");
    expect_updated(flash(serial, description), !g2);
    const size_t first = chunks(serial).size();
    expect_updated(flash(serial, description), !g2);
    std::set<uint32_t> again;
    for (size_t i = first; i < chunks(serial).size(); ++i) again.insert(chunks(serial)[i].optype);
    // The boot code of generation 2 and the generation-5 entries of their own optype carry their
    // CRC; entries by image type are written without a CRC test.
    const std::set<uint32_t> want = serial == std::string("G2") ? std::set<uint32_t>{0, 9, 10, 11, 2, 8, 3}
                                                                : std::set<uint32_t>{22};
    EXPECT_EQ(again, want);
  }
}

TEST_F(FirmwareUpdate, TheFirmwareCanAskForASecondDownload) {
  const std::string file = R"({"generation": 5, "asic_revision": "0x11", "components": [
      {"image_type": "0xA0", "optype": 0, "size": 5000, "fill": 1},
      {"image_type": "0xB0", "optype": 9, "size": 5000, "fill": 2}]})";
  struct Row {
    int opcode;   // a status injected once, or 0
    uint8_t status;
    uint32_t want;
    const char* text;
    size_t optype0_chunks;
  } rows[] = {
      {0, 0, 318, kTwice, 1},   // the CRC query of optype 9 answers 2 (configured)
      {6, 3, 318, kTwice, 0},   // the CRC query of optype 0 answers 3
      {7, 3, 318, kTwice, 1},   // the write of optype 0 answers 3
      {7, 5, 166, kFailed, 1},  // any other refusal fails the update
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.opcode);
    ::unlink(root_.at("/var/lib/vxsim/G5/regions/chunks.log").c_str());
    ::unlink(root_.at("/var/lib/vxsim/G5/regions/0").c_str());
    if (row.opcode != 0) sim_.inject_status(row.opcode, 1, row.status, 0, 1);
    const uint32_t rc = flash("G5", file);
    EXPECT_EQ(rc, row.want == 318 ? 318u : 1u);
    EXPECT_EQ(last_status().code, row.want);
    EXPECT_EQ(last_status().text, row.text);
    size_t optype0 = 0;
    for (const Chunk& c : chunks("G5")) {
      EXPECT_NE(c.optype, 9u);
      optype0 += c.optype == 0;
    }
    EXPECT_EQ(optype0, row.opcode == 7 ? 0u : row.optype0_chunks);   // a refused chunk is not kept
  }
}

// Components whose optype comes from their image type are passed over when the adapter refuses
// them, so the rest is written; the update then says what happened, and the log names them.
TEST_F(FirmwareUpdate, RefusedComponentsByImageTypeAreReported) {
  ASSERT_EQ(set_value(0, "VARUDebugLevel", "3"), 0u);
  struct Row {
    const char* what;
    const char* components;
    uint32_t want;
    std::set<uint32_t> written;
  } rows[] = {
      {"refused after one written", R"({"image_type": "0xA0", "optype": 0, "size": 5000, "fill": 1},
                                      {"image_type": "0xC0", "size": 100})", 339, {0}},
      {"refused before one written", R"({"image_type": "0xC0", "size": 100},
                                       {"image_type": "0x30", "size": 40000, "fill": 3})", 339, {22}},
      {"refused alone", R"({"image_type": "0xC0", "size": 100})", 166, {}},
      {"the rest on flash already", R"({"image_type": "0xA0", "optype": 0, "size": 64, "crc": "0x1234abcd"},
                                      {"image_type": "0xC0", "size": 100})", 166, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ::unlink(root_.at("/var/lib/vxsim/G5/regions/chunks.log").c_str());
    ::unlink(root_.at("/var/lib/vxsim/G5/regions/0").c_str());
    const size_t logged = log().size();
    EXPECT_STATUS(flash("G5", std::string(R"({"generation": 5, "asic_revision": "0x11", "components": [)") +
                                  row.components + "]}"),
                  row.want, row.want == 339 ? kPartly : kFailed);
    std::set<uint32_t> written;
    for (const Chunk& c : chunks("G5")) written.insert(c.optype);
    EXPECT_EQ(written, row.written);
    EXPECT_NE(log().find("the adapter refused the component of image type 0xC0 (optype 21), status 0x1", logged),
              std::string::npos) << log();
    EXPECT_FALSE(root_.exists(kFlashPid));
  }
}

TEST_F(FirmwareUpdate, FirmwareBefore10WritesEveryComponentByOffset) {
  const std::string file = R"({"generation": 5, "components": [
      {"image_type": "0xA0", "optype": 0, "offset": "0x1000", "size": 40000, "fill": 1},
      {"image_type": "0xE0", "optype": 1, "offset": "0x20000", "size": 5000, "fill": 2},
      {"image_type": "0x30", "size": 100, "fill": 3}]})";
  expect_updated(flash("G5B", file));
  const std::string region7 = region("G5B", 7);
  EXPECT_EQ(region7.substr(0x1000, 40000), component(0));
  EXPECT_EQ(region7.substr(0x20000, 5000), component(1));
  const std::vector<Chunk> first = chunks("G5B");
  ASSERT_EQ(first.size(), 4u);
  EXPECT_EQ((std::vector<uint32_t>{first[0].offset, first[1].offset, first[2].offset}),
            (std::vector<uint32_t>{0x1000, 0x1000 + 32768, 0x20000}));
  EXPECT_EQ(first[3].optype, 22u);
  // The CRCs are asked at offset + size - 4: both components are flashed already.
  expect_updated(flash("G5B", file));
  const std::vector<Chunk> second = chunks("G5B");
  ASSERT_EQ(second.size(), 5u);
  EXPECT_EQ(second[4].optype, 22u);
}

TEST_F(FirmwareUpdate, AFileThatDoesNotHoldWhatItClaimsIsRefusedBeforeAnyWrite) {
  struct Row {
    const char* serial;
    std::string description;
    uint32_t want;
  } rows[] = {
      {"G5", R"({"generation": 5, "asic_revision": "0x11", "image_count": 100000})", 166},
      {"G5", R"({"generation": 5, "asic_revision": "0x11", "entry_count": 33})", 166},
      {"G5", R"({"generation": 5, "asic_revision": "0x11", "components": [{"image_type": "0xA0", "optype": 0,
                 "size": 4096}, {"image_type": "0xE0", "optype": 1, "size": 4096}], "truncate": 9000})", 166},
      {"G5", R"({"generation": 5, "asic_revision": "0x11", "components": [{"image_type": "0x30", "size": 4096},
                 {"image_type": "0xA0", "optype": 0, "size": 3}]})", 166},
      {"G5", R"({"generation": 5, "asic_revision": "0x11", "components": [
                 {"image_type": "0xA0", "optype": 0, "offset": "0xFFFFF000", "size": 4096, "absent": true}]})", 166},
      {"G3", R"({"generation": 3, "asic_revision": "0x11", "components": [{"image_type": "0xE0"},
                 {"image_type": "0x20"}], "truncate": 13500000})", 166},
      {"G2", R"({"generation": 2, "truncate": 8000000})", 166},
      {"G4", R"({"generation": 4, "size": 184, "truncate": 183})", 263},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.description);
    sim_.journal_clear();
    EXPECT_EQ(flash(row.serial, row.description), 1u);
    EXPECT_EQ(last_status().code, row.want);
    EXPECT_EQ(sent(7, 1) + sent(172, 1), 0u);
  }
  // A header written in the other byte order is read as the firmware would.
  expect_updated(flash("G4", R"({"generation": 4, "size": 40000, "byte_order": "swapped"})"));
}

TEST_F(FirmwareUpdate, AnUpdateRunningElsewhereKeepsThisOneOffTheAdapter) {
  {
    LockedElsewhere other(kFlashPid);
    ASSERT_TRUE(other.held());
    sim_.journal_clear();
    EXPECT_STATUS(flash("G5", example("gen5.json")), 173, "UpgradeFlash is already running in some other application.");
    EXPECT_TRUE(sim_.commands().empty());
  }
  expect_updated(flash("G5", example("gen5.json")), true);
}

// Two processes start updates in a loop, while each unlock deletes the pid file: their chunk
// sequences never interleave.
TEST_F(FirmwareUpdate, TwoProcessesNeverFlashAtOnce) {
  std::string error;
  ASSERT_TRUE(vxufi::write_file(R"({"generation": 5, "asic_revision": "0x11", "components": [
      {"image_type": "0x30", "size": 70000, "fill": 1}, {"image_type": "0x20", "size": 40000, "fill": 2}]})",
                                image_path(), &written_, &error));
  stop();
  auto updater = [this] {
    if (VARU_init() != 0) return 2;
    // Each goes on until it has updated five times: the two take turns on the lock. Being refused
    // while the other holds it costs nothing, however long a busy machine keeps the other at it; any
    // other refusal ends the run.
    int updated = 0;
    while (updated < 5) {
      if (run("G5", "UpgradeFlashROM", {image_path().c_str()}) == 0) {
        ++updated;
      } else if (last_status().code != vx::kStatusUpgradeRunning) {
        break;
      }
    }
    VARU_exit();
    return updated == 5 ? 0 : 3;
  };
  const pid_t a = ::fork();
  if (a == 0) ::_exit(updater());
  EXPECT_EQ(in_child(updater), 0);
  int status = 0;
  ::waitpid(a, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // Every update writes five chunks (3 of optype 22, 2 of optype 3), all from one process.
  const std::vector<Chunk> all = chunks("G5");
  ASSERT_FALSE(all.empty());
  ASSERT_EQ(all.size() % 5, 0u);
  for (size_t i = 0; i < all.size(); ++i) {
    if (i % 5 != 0) {
      EXPECT_EQ(all[i].pid, all[i - 1].pid) << "chunk " << i;
    }
  }
  written_per_optype(all);
  EXPECT_FALSE(root_.exists(kFlashPid));
}

}  // namespace
}  // namespace vxtest
