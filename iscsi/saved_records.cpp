// The records of the saved files as every reader and writer reaches them, and the discovery pass
// that holds the files for its length and writes each changed file once. Every operation works on
// a file held under its lock: the pass's, when this thread runs one that holds the file, else a
// hold of the file for that one operation.
//
// What the process read of a file stays with it, split into lines and indexed by leading fields,
// and serves every later operation while the file is the version read or written last (its status
// tells, see file_store::FileVersion): a file another process changed is read again, and only a
// content that differs is split again.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <exception>
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
// Removed lines are left as holes until they outnumber the lines that stand (and this many).
constexpr size_t kMinHolesCompacted = 32;

// One file's records: as read and changed since, and the indexes that find records by their
// leading fields. Reached only under the file's lock (which holds the store's mutex too).
struct Records {
  const char* name = nullptr;
  std::string path;                    // the host path they were read from
  bool known = false;                  // read from `path` (else read it)
  file_store::FileVersion version;     // the file's version that `content` is, when it is one
  ReadResult got = ReadResult::kMissing;
  std::string content;                 // what the file holds, or will hold once written
  std::vector<std::string> lines;      // its non-empty lines in file order; "" for one removed since
  size_t holes = 0;                    // lines removed since the lines were split
  // By (leading field count, case ignored): the joined leading fields -> the lines, in file order.
  std::map<std::pair<size_t, bool>, std::unordered_map<std::string, std::vector<size_t>>> index;
  // While held:
  const file_store::HeldFile* file = nullptr;
  bool in_pass = false;
  bool staged = false;                 // changed since it was last written
  std::vector<std::string> unwritten;  // records appended since it was last written
};

struct PassState {
  std::atomic<std::thread::id> owner{};   // the thread whose pass holds the files
  std::unique_ptr<file_store::HeldFile> files[kPassFileCount];
};

PassState& pass_state() {
  static PassState state;
  return state;
}

// What this process knows of each saved file, across operations.
Records& kept_records(size_t i) {
  static Records kept[kPassFileCount];
  return kept[i];
}

size_t pass_file_index(const char* file) {
  for (size_t i = 0; i < kPassFileCount; ++i) {
    if (std::strcmp(kPassFiles[i], file) == 0) return i;
  }
  return kPassFileCount;
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

void split_anew(Records& r) {
  r.lines = lines_of(r.content);
  r.holes = 0;
  r.index.clear();
}

// Brings `r` up to the file held: kept as it is while the file is the version it knows, or while a
// fresh read finds the same content; read and split again otherwise.
void refresh(Records& r, const char* name, const file_store::HeldFile& file) {
  r.name = name;
  const bool same_path = r.known && r.path == file.path();
  if (same_path && file.unchanged(r.version)) return;
  std::string content;
  const ReadResult got = file.read(&content, &r.version);
  if (got == ReadResult::kRead && same_path && r.got == ReadResult::kRead && content == r.content) return;
  r.path = file.path();
  r.known = true;
  r.got = got;
  r.content = got == ReadResult::kRead ? std::move(content) : std::string();
  split_anew(r);
}

// Marks the records held for one operation, and forgets what they know when the operation ends
// by an exception (they may stand half changed).
class Holding {
 public:
  Holding(Records& r, const file_store::HeldFile& file) : r_(r), exceptions_(std::uncaught_exceptions()) {
    r_.file = &file;
  }
  ~Holding() {
    r_.file = nullptr;
    if (std::uncaught_exceptions() > exceptions_) {
      r_.known = false;
      r_.version.forget();
    }
  }
  Holding(const Holding&) = delete;
  Holding& operator=(const Holding&) = delete;

 private:
  Records& r_;
  int exceptions_;
};

Records* held_by_pass(const char* file) {
  PassState& p = pass_state();
  if (p.owner.load() != std::this_thread::get_id()) return nullptr;
  const size_t i = pass_file_index(file);
  return i < kPassFileCount ? &kept_records(i) : nullptr;
}

// Runs `run` on the records of `file`: the pass's, or those kept, held for this call alone.
template <typename Run>
auto with_records(const char* file, Run run) {
  if (Records* r = held_by_pass(file)) return run(*r);
  const file_store::HeldFile held(host_path(file));
  const size_t i = pass_file_index(file);
  Records once;
  Records& r = i < kPassFileCount ? kept_records(i) : once;
  refresh(r, file, held);
  Holding holding(r, held);
  return run(r);
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
const std::vector<size_t>* lines_matching(Records& r, const std::vector<std::string>& key, bool ignore_case) {
  // No field of a record holds a comma: a key field with one matches nothing.
  for (const std::string& field : key) {
    if (field.find(',') != std::string::npos) return nullptr;
  }
  auto [it, made] = r.index.try_emplace({key.size(), ignore_case});
  if (made) {
    for (size_t i = 0; i < r.lines.size(); ++i) {
      if (!r.lines[i].empty()) index_line(&it->second, key.size(), ignore_case, split_record(r.lines[i]), i);
    }
  }
  auto found = it->second.find(joined(key, key.size(), ignore_case));
  return found != it->second.end() ? &found->second : nullptr;
}

void add_lines(Records& r, const std::string& text) {
  for (std::string& line : lines_of(text)) {
    const std::vector<std::string> fields = split_record(line);
    r.lines.push_back(std::move(line));
    for (auto& [shape, index] : r.index) index_line(&index, shape.first, shape.second, fields, r.lines.size() - 1);
  }
}

// Takes the lines `drop` (ascending) out of the lines and the indexes.
void remove_lines(Records& r, const std::vector<size_t>& drop) {
  for (size_t at : drop) {
    const std::vector<std::string> fields = split_record(r.lines[at]);
    for (auto& [shape, index] : r.index) {
      if (fields.size() < shape.first) continue;
      auto entry = index.find(joined(fields, shape.first, shape.second));
      if (entry == index.end()) continue;
      std::vector<size_t>& where = entry->second;
      where.erase(std::remove(where.begin(), where.end(), at), where.end());
      if (where.empty()) index.erase(entry);
    }
    r.lines[at].clear();
    ++r.holes;
  }
  if (r.holes >= kMinHolesCompacted && r.holes * 2 > r.lines.size()) split_anew(r);
}

// The content a rewrite makes of the lines that stand: each with its newline, empty lines gone.
std::string standing_content(const Records& r, const std::vector<size_t>& drop = {}) {
  std::string out;
  out.reserve(r.content.size());
  size_t next_drop = 0;
  for (size_t i = 0; i < r.lines.size(); ++i) {
    if (next_drop < drop.size() && drop[next_drop] == i) {
      ++next_drop;
      continue;
    }
    if (r.lines[i].empty()) continue;
    out += r.lines[i];
    out += '\n';
  }
  return out;
}

// Makes `content` the file's: written now when `durable` (false leaves everything as it was), else
// at the end of the pass.
bool take(Records& r, std::string* content, bool durable) {
  if (durable && !r.file->replace(*content, kSavedFileMode, &r.version)) {
    pdebug(kBackEnd, 3, "%s:Failed to write %s.\n", __func__, r.name);
    return false;
  }
  // Staged content is not the file's until the pass writes it.
  if (!durable) r.version.forget();
  r.content = std::move(*content);
  r.got = ReadResult::kRead;
  r.staged = !durable;
  if (durable) r.unwritten.clear();
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
Appended append_held(Records& r, const std::string& text, const std::vector<std::string>& unless, Write how) {
  if (r.got == ReadResult::kFailed) return Appended::kFailed;
  if (!unless.empty() && lines_matching(r, unless, false) != nullptr) return Appended::kPresent;
  // A last line left without its newline (a file edited by hand) stays a line of its own.
  auto grow = [&](std::string* content) {
    if (!content->empty() && content->back() != '\n') *content += '\n';
    *content += text;
  };
  const bool durable = how == Write::kDurable || !r.in_pass;
  if (durable) {
    std::string content = r.content;
    grow(&content);
    if (!take(r, &content, true)) return Appended::kFailed;
  } else {
    grow(&r.content);   // in place: the pass's appends cost what they add
    r.version.forget();
    r.got = ReadResult::kRead;
    r.staged = true;
  }
  add_lines(r, text);
  if (!durable) {
    for (std::string& line : lines_of(text)) r.unwritten.push_back(std::move(line));
  }
  return Appended::kWritten;
}

}  // namespace

file_store::ReadResult read_records(const char* file, std::vector<std::string>* lines) {
  return with_records(file, [&](Records& r) {
    lines->clear();
    if (r.got != ReadResult::kRead) return r.got;
    lines->reserve(r.lines.size() - r.holes);
    for (const std::string& line : r.lines) {
      if (!line.empty()) lines->push_back(line);
    }
    return r.got;
  });
}

file_store::ReadResult find_record(const char* file, const std::vector<std::string>& key, bool ignore_case,
                                   size_t field_count, std::vector<std::string>* found) {
  found->clear();
  return with_records(file, [&](Records& r) {
    const std::vector<size_t>* lines = r.got == ReadResult::kRead ? lines_matching(r, key, ignore_case) : nullptr;
    for (size_t i = 0; lines != nullptr && i < lines->size(); ++i) {
      std::vector<std::string> fields = split_record(r.lines[(*lines)[i]]);
      if (field_count != 0 && fields.size() != field_count) continue;
      *found = std::move(fields);
      break;
    }
    return r.got;
  });
}

bool append_record(const char* file, const std::vector<std::string>& fields) {
  return append_unique_record(file, fields, {}) == Appended::kWritten;
}

Appended append_unique_record(const char* file, const std::vector<std::string>& fields,
                              const std::vector<std::string>& unless, Write how) {
  if (!fields_safe(file, fields)) return Appended::kFailed;
  return with_records(file, [&](Records& r) { return append_held(r, join_record(fields) + '\n', unless, how); });
}

bool append_lines(const char* file, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + '\n';
  return lines.empty() ||
         with_records(file, [&](Records& r) { return append_held(r, text, {}, Write::kDurable); }) ==
             Appended::kWritten;
}

bool rewrite_records(const char* file, const std::function<bool(std::string& line)>& keep,
                     std::vector<std::string>* removed, Write how) {
  return with_records(file, [&](Records& r) {
    if (r.got != ReadResult::kRead) {
      pdebug(kBackEnd, 3, "%s:Failed to rewrite %s.\n", __func__, file);
      return false;
    }
    // `keep` may look at the file's records again: it walks a copy.
    const std::vector<std::string> lines = r.lines;
    std::string out;
    std::vector<std::string> dropped;
    for (std::string line : lines) {
      if (line.empty()) continue;
      if (keep(line)) {
        out += line + "\n";
      } else {
        dropped.push_back(line);
      }
    }
    // A rewrite that changes nothing writes nothing.
    if (out != r.content) {
      if (!take(r, &out, how == Write::kDurable || !r.in_pass)) return false;
      split_anew(r);
    }
    if (removed != nullptr) removed->insert(removed->end(), dropped.begin(), dropped.end());
    return true;
  });
}

bool remove_records(const char* file, const std::vector<std::vector<std::string>>& keys,
                    std::vector<std::string>* removed) {
  return with_records(file, [&](Records& r) {
    // Nothing to remove from a file that is not there.
    if (r.got == ReadResult::kMissing) return true;
    if (r.got != ReadResult::kRead) {
      pdebug(kBackEnd, 3, "%s:Failed to rewrite %s.\n", __func__, file);
      return false;
    }
    // The records are found through the index: no other line is split.
    std::vector<size_t> drop;
    for (const auto& key : keys) {
      if (const std::vector<size_t>* lines = lines_matching(r, key, true)) drop.insert(drop.end(), lines->begin(), lines->end());
    }
    std::sort(drop.begin(), drop.end());
    drop.erase(std::unique(drop.begin(), drop.end()), drop.end());
    // As any rewrite: one that changes nothing writes nothing.
    std::string out = standing_content(r, drop);
    if ((!drop.empty() || out != r.content) && !take(r, &out, true)) return false;
    if (removed != nullptr) {
      for (size_t at : drop) removed->push_back(r.lines[at]);
    }
    remove_lines(r, drop);
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
  std::unique_ptr<file_store::HeldFile> files[kPassFileCount];
  for (size_t i = 0; i < kPassFileCount; ++i) files[i] = std::make_unique<file_store::HeldFile>(host_path(kPassFiles[i]));
  for (size_t i = 0; i < kPassFileCount; ++i) {
    Records& r = kept_records(i);
    refresh(r, kPassFiles[i], *files[i]);
    r.file = files[i].get();
    r.in_pass = true;
    p.files[i] = std::move(files[i]);
  }
  p.owner.store(std::this_thread::get_id());
}

SavedFilePass::~SavedFilePass() { finish(); }

bool SavedFilePass::finish(std::vector<std::string>* unwritten) {
  if (finished_) return true;
  finished_ = true;
  if (!outermost_) return true;
  PassState& p = pass_state();
  bool written = true;
  std::unique_ptr<file_store::HeldFile> files[kPassFileCount];
  for (size_t i = 0; i < kPassFileCount; ++i) files[i] = std::move(p.files[i]);
  p.owner.store(std::thread::id());
  for (size_t i = 0; i < kPassFileCount; ++i) {
    Records& r = kept_records(i);
    const bool staged = r.staged;
    r.file = nullptr;
    r.in_pass = false;
    r.staged = false;
    std::vector<std::string> appended = std::move(r.unwritten);
    r.unwritten.clear();
    if (files[i] == nullptr || !staged || files[i]->replace(r.content, kSavedFileMode, &r.version)) continue;
    pdebug(kBackEnd, 3, "%s:Failed to write %s.\n", __func__, r.name);
    written = false;
    // What was staged never reached the file: it is read again next time.
    r.known = false;
    if (unwritten != nullptr && std::strcmp(r.name, kSaveTargetFile) == 0) *unwritten = std::move(appended);
  }
  // The locks go with `files`, last of all.
  return written;
}

}  // namespace vx
