// vxcli: one command a process, or with `run` the steps of a file in one process.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/common/no_adapter.h"
#include "tools/vxcli/cli.h"
#include "varu.h"

namespace vxcli {
namespace {

constexpr uint32_t kStatusNoAdapters = 313;

int usage_error(const std::string& why) {
  std::fprintf(stderr, "vxcli: %s\n%s", why.c_str(), kUsage);
  return kExitUsage;
}

// The directory of the loaded library, "" when it cannot be told.
std::string library_dir() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&VARU_init), &info) == 0 || info.dli_fname == nullptr) return "";
  std::string dir = info.dli_fname;
  return dir.erase(dir.rfind('/') + 1);
}

std::string no_adapter(uint32_t code, const char* text) {
  return "no adapter found: " + vxtools::no_adapter_reason(library_dir(), "adapter") + "; last status " +
         std::to_string(code) + " \"" + text + "\"";
}

// Splits a step into words as a shell does plain words: blanks separate them, '...' keeps what it
// holds, "..." too but for \" and \\, a backslash elsewhere keeps the next character, and "#" at
// the start of a word ends the line. "" when the line is whole, else why not.
std::string split_words(const std::string& line, Words* words) {
  std::string word;
  bool in_word = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      if (in_word) words->push_back(word);
      word.clear();
      in_word = false;
    } else if (c == '#' && !in_word) {
      break;
    } else if (c == '\'' || c == '"') {
      bool closed = false;
      for (++i; i < line.size(); ++i) {
        if (line[i] == c) {
          closed = true;
          break;
        }
        if (c == '"' && line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) ++i;
        word += line[i];
      }
      if (!closed) return std::string("a ") + c + " is not closed";
      in_word = true;
    } else if (c == '\\') {
      if (++i < line.size()) word += line[i];
      in_word = true;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words->push_back(word);
  return "";
}

std::string input_name(const std::string& file) { return file == "-" ? "standard input" : file; }

struct Step {
  int line;
  Words words;
};

// The steps of `file` ("-": standard input), each checked before any runs.
int read_steps(const std::string& file, std::vector<Step>* steps) {
  FILE* in = file == "-" ? stdin : std::fopen(file.c_str(), "r");
  if (in == nullptr) {
    std::fprintf(stderr, "vxcli: cannot read %s: %s\n", file.c_str(), std::strerror(errno));
    return kExitFailed;
  }
  std::string why;
  char* buf = nullptr;
  size_t room = 0;
  int number = 0;
  for (ssize_t n; why.empty() && (n = ::getline(&buf, &room, in)) >= 0;) {
    ++number;
    Step step{number, {}};
    why = split_words(std::string(buf, static_cast<size_t>(n) - (n > 0 && buf[n - 1] == '\n' ? 1 : 0)), &step.words);
    if (why.empty() && step.words.empty()) continue;
    if (why.empty()) why = check_command(step.words);
    if (why.empty()) steps->push_back(step);
  }
  const bool read_failed = std::ferror(in) != 0;
  std::free(buf);
  if (in != stdin) std::fclose(in);
  if (read_failed) {
    std::fprintf(stderr, "vxcli: cannot read %s\n", input_name(file).c_str());
    return kExitFailed;
  }
  if (!why.empty()) {
    return usage_error(input_name(file) + " line " + std::to_string(number) + ": " + why + "; nothing was run");
  }
  return 0;
}

int run_steps(const std::string& file, const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    std::fflush(stdout);
    const int status = run_command(step.words);
    if (status != 0) {
      std::fflush(stdout);
      std::fprintf(stderr, "vxcli: %s line %d: the step failed (exit status %d); the steps after it were not run\n",
                   input_name(file).c_str(), step.line, status);
      return status;
    }
  }
  return 0;
}

}  // namespace
}  // namespace vxcli

using namespace vxcli;

int main(int argc, char** argv) {
  const Words words(argv + 1, argv + argc);
  if (words.empty()) {
    std::fprintf(stderr, "%s", kUsage);
    return kExitUsage;
  }
  const std::string& command = words[0];
  if (command == "help" || command == "--help" || command == "-h") {
    std::printf("%s", kUsage);
    return 0;
  }
  std::vector<Step> steps;
  if (command == "run") {
    if (words.size() != 2) return usage_error("run: give one FILE, or - for standard input");
    if (const int status = read_steps(words[1], &steps)) return status;
  } else if (const std::string why = check_command(words); !why.empty()) {
    return usage_error(why);
  }
  uint32_t result = VARU_init();
  if (result != VARU_OK) return report("VARU_init", result);
  uint32_t code = 0;
  char text[VARU_STATUS_TEXT_SIZE] = "";
  VARU_get_last_status(&code, text);
  if (code == kStatusNoAdapters) set_no_adapter_reason(no_adapter(code, text));
  const int status = command == "run" ? run_steps(words[1], steps) : run_command(words);
  result = VARU_exit();
  if (result != VARU_OK && status == 0) return report("VARU_exit", result);
  return status;
}
