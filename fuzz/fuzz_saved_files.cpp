// The saved-file readers on arbitrary bytes: the start-up damage check of the three files (sound
// ones must stay byte for byte, damaged ones go aside whole) and the field reader on every line.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "iscsi/saved_files.h"
#include "schema/handlers.h"

namespace {

const char* const kFiles[] = {vx::kSaveTargetFile, vx::kSavePortalFile, vx::kInitiatorOptionsFile};

// One scratch root for the run, made once.
void use_root() {
  static bool made = false;
  if (made) return;
  static char dir[] = "/tmp/vxima-fuzz-saved-XXXXXX";
  if (::mkdtemp(dir) == nullptr) std::abort();
  ::setenv("VXIMA_ROOT", dir, 1);
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  });
  vx::make_dirs(vx::host_path("/scratch/Talvix"));
  made = true;
}

std::string read(const std::string& path) {
  std::string text;
  FILE* f = std::fopen(path.c_str(), "rb");
  for (int c; f != nullptr && (c = std::fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
  if (f != nullptr) std::fclose(f);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  use_root();
  const size_t which = data[0] % 3;
  const size_t field_count = data[1] % 24;
  const size_t key_count = data[2] % 5;
  const std::string content(reinterpret_cast<const char*>(data + 3), size - 3);
  const std::string path = vx::host_path(kFiles[which]);
  for (const char* f : kFiles) {
    std::remove(vx::host_path(f).c_str());
    std::remove((vx::host_path(f) + ".corrupt").c_str());
  }
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) std::abort();
  std::fwrite(content.data(), 1, content.size(), out);
  std::fclose(out);

  vx::VARU_check_for_corrupted_database();
  const std::string kept = read(path);
  const std::string aside = read(path + ".corrupt");
  if (::access(path.c_str(), F_OK) == 0 ? kept != content : aside != content) std::abort();

  const std::vector<std::string> key = vx::instance_key(0, 0, 0);
  std::vector<std::string> fields;
  size_t start = 0;
  while (start <= content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    const std::string line = content.substr(start, end - start);
    if (vx::VARU_get_iscsi_data_from_file(line, key, &fields, field_count, key_count) == 0 &&
        fields.size() != field_count) {
      std::abort();
    }
    vx::record_matches(vx::split_record(line), key, data[1] & 1);
    start = end + 1;
  }
  return 0;
}
