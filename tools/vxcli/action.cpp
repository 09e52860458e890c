// vxcli do: runs an action with its parameters by name, then shows what it made, what it has to
// tell and what it changed: the properties of its group whose values moved (a test's counters) and
// the files it wrote.
#include <strings.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/vxcli/cli.h"
#include "varu.h"

namespace vxcli {
namespace {

// Parameters whose value names a file the action may write ("CoreDumpFileName").
constexpr const char* kFileParamSuffix = "FileName";

struct Shown {
  uint32_t tag;
  std::string value;
};

std::vector<Shown> group_values(int32_t group) {
  std::vector<Shown> values;
  for (uint32_t prop : children(group, VARU_KIND_PROPERTY)) values.push_back({prop, shown_value(group, prop)});
  return values;
}

// What a file named by a parameter was, to tell whether the action wrote it.
struct FileState {
  std::string path;
  bool exists = false;
  struct stat st {};
};

FileState file_state(const std::string& path) {
  FileState f;
  f.path = path;
  f.exists = ::stat(path.c_str(), &f.st) == 0 && S_ISREG(f.st.st_mode);
  return f;
}

bool file_changed(const FileState& before, const FileState& after) {
  if (!after.exists) return false;
  if (!before.exists) return true;
  return before.st.st_ino != after.st.st_ino || before.st.st_dev != after.st.st_dev ||
         before.st.st_size != after.st.st_size || before.st.st_mtim.tv_sec != after.st.st_mtim.tv_sec ||
         before.st.st_mtim.tv_nsec != after.st.st_mtim.tv_nsec;
}

bool names_a_file(const char* param) {
  const size_t n = std::strlen(param);
  const size_t s = std::strlen(kFileParamSuffix);
  return n >= s && strcasecmp(param + n - s, kFileParamSuffix) == 0;
}

// The changes of the action's group (unless the action removed the group) and of its files.
void print_changes(int32_t group, const std::string& group_name, const std::vector<Shown>& before,
                   const std::vector<FileState>& files) {
  if (name_of(static_cast<uint32_t>(group), VARU_KIND_GROUP) == group_name) {
    for (const Shown& now : group_values(group)) {
      for (const Shown& was : before) {
        if (was.tag != now.tag || was.value == now.value) continue;
        std::printf("changed %s [%u] %s -> %s\n", name_of(now.tag, VARU_KIND_PROPERTY).c_str(), now.tag,
                    was.value.c_str(), now.value.c_str());
      }
    }
  }
  for (const FileState& was : files) {
    const FileState now = file_state(was.path);
    if (file_changed(was, now)) {
      std::printf("wrote %s (%lld bytes)\n", now.path.c_str(), static_cast<long long>(now.st.st_size));
    }
  }
}

}  // namespace

int cmd_do(const Words& words) {
  int32_t group = 0;
  uint32_t action = 0;
  if (!leaf(words[1], VARU_KIND_ACTION, &group, &action)) return kExitFailed;
  static hm_param_info info;
  uint32_t result = VARU_get_param_info(action, &info);
  if (result != VARU_OK) return report("reading the parameters", result);
  char params[VARU_PARAM_COUNT][VARU_VALUE_SIZE];
  std::memset(params, 0, sizeof params);
  for (auto& slot : params) slot[0] = static_cast<char>(VARU_PARAM_ABSENT);
  std::vector<FileState> files;
  for (size_t i = 2; i < words.size(); ++i) {
    const std::string& word = words[i];
    const size_t eq = word.find('=');
    if (eq == std::string::npos) {
      std::fprintf(stderr, "vxcli: parameter \"%s\" is not Name=Value\n", word.c_str());
      return kExitUsage;
    }
    std::string name = word.substr(0, eq);
    int slot = -1;
    for (int s = 0; s < info.param_count && s < VARU_PARAM_COUNT; ++s) {
      if (strcasecmp(info.params[s].name, name.c_str()) == 0) slot = s;
    }
    if (slot < 0) {
      std::fprintf(stderr, "vxcli: the action has no parameter \"%s\"\n", name.c_str());
      return kExitFailed;
    }
    const std::string value = word.substr(eq + 1);
    if (value.size() >= VARU_VALUE_SIZE) {
      std::fprintf(stderr, "vxcli: a value has at most %d characters\n", VARU_VALUE_SIZE - 1);
      return kExitFailed;
    }
    std::snprintf(params[slot], VARU_VALUE_SIZE, "%s", value.c_str());
    if (names_a_file(info.params[slot].name)) files.push_back(file_state(value));
  }
  const std::string group_name = name_of(static_cast<uint32_t>(group), VARU_KIND_GROUP);
  const std::vector<Shown> before = group_values(group);
  std::vector<uint32_t> created(VARU_MAX_NEW_TAGS, 0);
  result = VARU_do_action(static_cast<uint32_t>(group), static_cast<int32_t>(action), params, created.data());
  int status = 0;
  if (result != VARU_OK) {
    status = report("do", result);
  } else {
    uint32_t code = 0;
    char text[VARU_STATUS_TEXT_SIZE] = "";
    VARU_get_last_status(&code, text);
    for (uint32_t tag : created) {
      if (tag == 0) break;
      std::printf("created %s [%u]\n", name_of(tag, VARU_KIND_GROUP).c_str(), tag);
    }
    if (code != 0) std::printf("status %u \"%s\"\n", code, text);
    hint_log(text);
  }
  // A test that failed has counted too.
  print_changes(group, group_name, before, files);
  return status;
}

}  // namespace vxcli
