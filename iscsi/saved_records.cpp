// The records of the saved files as every reader and writer reaches them, and the discovery pass
// that reads each file once, answers lookups through indexes and writes each changed file once.
// Every operation works on a file held under its lock: the pass's, when this thread runs one that
// holds the file, else a hold of the file for that one operation.
#include <atomic>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <thread>
#include <unordered_map>
#include <utility>

#include "access/host.h"
#include "iscsi/common.h"
#include "iscsi/saved_files.h"
#include "platform/platform.h"

namespace vx {
namespace {

using file_store::ReadResult;

// The files hold CHAP names and secrets in clear text: only their owner reads them.
constexpr mode_t kSavedFileMode = kSecretFileMode;
// A pass locks the files in this order, so that two passes never wait for each other's file.
constexpr const char* kPassFiles[] = {kSaveTargetFile, kSavePortalFile, kInitiatorOptionsFile};
constexpr size_t kPassFileCount = sizeof kPassFiles / sizeof kPassFiles[0];

// One file's records under its lock: as read and changed since, and the indexes that find records
// by their leading fields.
struct HeldRecords {
  const char* name = nullptr;
  std::unique_ptr<file_store::HeldFile> file;
  ReadResult got = ReadResult::kMissing;
  bool in_pass = false;
  std::string content;                 // what the file holds, or will hold once written
  std::vector<std::string> lines;      // its non-empty lines
  bool staged = false;                 // changed since it was last written
  std::vector<std::string> unwritten;  // records appended since it was last written
  // By (leading field count, case ignored): the joined leading fields -> the lines, in file order.
  std::map<std::pair<size_t, bool>, std::unordered_map<std::string, std::vector<size_t>>> index;
};

struct PassState {
  std::atomic<std::thread::id> owner{};   // the thread whose pass holds the files
  HeldRecords files[kPassFileCount];
};

PassState& pass_state() {
  static PassState state;
  return state;
}

std::vector<std::string> lines_of(const std::string& content) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    if (end > start) lines.push_back(content.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Locks and reads `file` (a file whose lock cannot be had is read all the same, and never written).
void hold(HeldRecords* h, const char* file, bool in_pass) {
  h->name = file;
  h->in_pass = in_pass;
  h->file = std::make_unique<file_store::HeldFile>(host_path(file));
  h->got = h->file->read(&h->content);
  if (h->got != ReadResult::kRead) h->content.clear();
  h->lines = lines_of(h->content);
}

HeldRecords* held_by_pass(const char* file) {
  PassState& p = pass_state();
  if (p.owner.load() != std::this_thread::get_id()) return nullptr;
  for (HeldRecords& h : p.files) {
    if (std::strcmp(h.name, file) == 0) return &h;
  }
  return nullptr;
}

// Runs `run` on the records of `file`: the pass's, or a hold of the file for this call alone.
template <typename Run>
auto with_records(const char* file, Run run) {
  if (HeldRecords* h = held_by_pass(file)) return run(*h);
  HeldRecords once;
  hold(&once, file, false);
  return run(once);
}

std::string joined(const std::vector<std::string>& fields, size_t count, bool ignore_case) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += (i == 0 ? "" : ",") + fields[i];
  if (ignore_case) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

void index_line(std::unordered_map<std::string, std::vector<size_t>>* index, size_t count, bool ignore_case,
                const std::vector<std::string>& fields, size_t at) {
  if (fields.size() >= count) (*index)[joined(fields, count, ignore_case)].push_back(at);
}

// The lines whose leading fields match `key`, in file order; the index is made at its first use.
const std::vector<size_t>* lines_matching(HeldRecords& h, const std::vector<std::string>& key, bool ignore_case) {
  // No field of a record holds a comma: a key field with one matches nothing.
  for (const std::string& field : key) {
    if (field.find(',') != std::string::npos) return nullptr;
  }
  auto [it, made] = h.index.try_emplace({key.size(), ignore_case});
  if (made) {
    for (size_t i = 0; i < h.lines.size(); ++i) {
      index_line(&it->second, key.size(), ignore_case, split_record(h.lines[i]), i);
    }
  }
  auto found = it->second.find(joined(key, key.size(), ignore_case));
  return found != it->second.end() ? &found->second : nullptr;
}

void add_lines(HeldRecords& h, const std::string& text) {
  for (std::string& line : lines_of(text)) {
    const std::vector<std::string> fields = split_record(line);
    h.lines.push_back(std::move(line));
    for (auto& [shape, index] : h.index) index_line(&index, shape.first, shape.second, fields, h.lines.size() - 1);
  }
}

// Makes `content` the file's: written now when `durable` (false leaves everything as it was), else
// at the end of the pass.
bool take(HeldRecords& h, std::string* content, bool durable) {
  if (durable && !h.file->replace(*content, kSavedFileMode)) {
    pdebug(kBackEnd, 3, "%s:Failed to write %s.\n", __func__, h.name);
    return false;
  }
  h.content = std::move(*content);
  h.got = ReadResult::kRead;
  h.staged = !durable;
  if (durable) h.unwritten.clear();
  return true;
}

bool fields_safe(const char* file, const std::vector<std::string>& fields) {
  for (const std::string& field : fields) {
    if (!record_safe(field)) {
      pdebug(kBackEnd, 3, "%s:a value of the record for %s holds a comma or a control character.\n", __func__, file);
      return false;
    }
  }
  return true;
}

// Appends lines unless `unless` (when not empty) names a record already there.
Appended append_held(HeldRecords& h, const std::string& text, const std::vector<std::string>& unless, Write how) {
  if (h.got == ReadResult::kFailed) return Appended::kFailed;
  if (!unless.empty() && lines_matching(h, unless, false) != nullptr) return Appended::kPresent;
  // A last line left without its newline (a file edited by hand) stays a line of its own.
  auto grow = [&](std::string* content) {
    if (!content->empty() && content->back() != '\n') *content += '\n';
    *content += text;
  };
  const bool durable = how == Write::kDurable || !h.in_pass;
  if (durable) {
    std::string content = h.content;
    grow(&content);
    if (!take(h, &content, true)) return Appended::kFailed;
  } else {
    grow(&h.content);   // in place: the pass's appends cost what they add
    h.got = ReadResult::kRead;
    h.staged = true;
  }
  add_lines(h, text);
  if (!durable) {
    for (std::string& line : lines_of(text)) h.unwritten.push_back(std::move(line));
  }
  return Appended::kWritten;
}

}  // namespace

file_store::ReadResult read_records(const char* file, std::vector<std::string>* lines) {
  return with_records(file, [&](HeldRecords& h) {
    *lines = h.got == ReadResult::kRead ? h.lines : std::vector<std::string>{};
    return h.got;
  });
}

file_store::ReadResult find_record(const char* file, const std::vector<std::string>& key, bool ignore_case,
                                   size_t field_count, std::vector<std::string>* found) {
  found->clear();
  return with_records(file, [&](HeldRecords& h) {
    const std::vector<size_t>* lines = h.got == ReadResult::kRead ? lines_matching(h, key, ignore_case) : nullptr;
    for (size_t i = 0; lines != nullptr && i < lines->size(); ++i) {
      std::vector<std::string> fields = split_record(h.lines[(*lines)[i]]);
      if (field_count != 0 && fields.size() != field_count) continue;
      *found = std::move(fields);
      break;
    }
    return h.got;
  });
}

bool append_record(const char* file, const std::vector<std::string>& fields) {
  return append_unique_record(file, fields, {}) == Appended::kWritten;
}

Appended append_unique_record(const char* file, const std::vector<std::string>& fields,
                              const std::vector<std::string>& unless, Write how) {
  if (!fields_safe(file, fields)) return Appended::kFailed;
  return with_records(file, [&](HeldRecords& h) { return append_held(h, join_record(fields) + '\n', unless, how); });
}

bool append_lines(const char* file, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + '\n';
  return lines.empty() ||
         with_records(file, [&](HeldRecords& h) { return append_held(h, text, {}, Write::kDurable); }) ==
             Appended::kWritten;
}

bool rewrite_records(const char* file, const std::function<bool(std::string& line)>& keep,
                     std::vector<std::string>* removed, Write how) {
  return with_records(file, [&](HeldRecords& h) {
    if (h.got != ReadResult::kRead) {
      pdebug(kBackEnd, 3, "%s:Failed to rewrite %s.\n", __func__, file);
      return false;
    }
    // `keep` may look at the file's records again: it walks a copy.
    const std::vector<std::string> lines = h.lines;
    std::string out;
    std::vector<std::string> dropped;
    for (std::string line : lines) {
      if (keep(line)) {
        out += line + "\n";
      } else {
        dropped.push_back(line);
      }
    }
    // A rewrite that changes nothing writes nothing.
    if (out != h.content) {
      if (!take(h, &out, how == Write::kDurable || !h.in_pass)) return false;
      h.lines = lines_of(h.content);
      h.index.clear();
    }
    if (removed != nullptr) removed->insert(removed->end(), dropped.begin(), dropped.end());
    return true;
  });
}

// ---- the discovery pass ------------------------------------------------------------------------

SavedFilePass::SavedFilePass() {
  PassState& p = pass_state();
  outermost_ = p.owner.load() != std::this_thread::get_id();
  if (!outermost_) return;
  // The holds are made before the state is touched: another thread's pass ends, and clears it,
  // before its locks let this one through.
  HeldRecords files[kPassFileCount];
  for (size_t i = 0; i < kPassFileCount; ++i) hold(&files[i], kPassFiles[i], true);
  for (size_t i = 0; i < kPassFileCount; ++i) p.files[i] = std::move(files[i]);
  p.owner.store(std::this_thread::get_id());
}

SavedFilePass::~SavedFilePass() { finish(); }

bool SavedFilePass::finish(std::vector<std::string>* unwritten) {
  if (finished_) return true;
  finished_ = true;
  if (!outermost_) return true;
  PassState& p = pass_state();
  bool written = true;
  HeldRecords files[kPassFileCount];
  for (size_t i = 0; i < kPassFileCount; ++i) {
    files[i] = std::move(p.files[i]);
    p.files[i] = HeldRecords{};
  }
  p.owner.store(std::thread::id());
  for (HeldRecords& h : files) {
    if (h.file == nullptr || !h.staged || h.file->replace(h.content, kSavedFileMode)) continue;
    pdebug(kBackEnd, 3, "%s:Failed to write %s.\n", __func__, h.name);
    written = false;
    if (unwritten != nullptr && std::strcmp(h.name, kSaveTargetFile) == 0) *unwritten = h.unwritten;
  }
  // The locks go with `files`, last of all.
  return written;
}

}  // namespace vx
