// The three saved text files of the iSCSI side: the targets ("savetgt.txt"), the send-target
// portals ("savestp.txt") and the initiator login options ("intr_logopts.txt"). One record a line,
// comma-separated, no quoting; every record begins with the instance key of its logical HBA
// ("Vexalon0,iSCSIPhysicalHBA1,LogicalHBA0"). Every change goes through the file store, so a
// reader sees either the old or the new content of a file, never a mix.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_store.h"
#include "access/host.h"
#include "engine/hm.h"

namespace vx {

constexpr const char* kInitiatorOptionsFile = "/scratch/Talvix/intr_logopts.txt";
constexpr size_t kTargetRecordFields = 21;
constexpr size_t kPortalRecordFields = 18;
constexpr size_t kInitiatorRecordFields = 15;
constexpr size_t kKeyFields = 3;
// Field indices (0-based) of a target record.
constexpr size_t kTargetNameField = 3;
constexpr size_t kTargetIsidField = 6;
constexpr size_t kTargetTypeField = 17;
// The ISID that stands for every ISID of a portal.
constexpr uint32_t kAnyIsid = 0xFFFFF;

// Which file and key a duplicate check or a removal uses.
enum SavedRecordMode : uint32_t {
  kTargetRecords = 0,      // savetgt.txt: key, name, address, port (and ISID)
  kPortalRecords = 1,      // savestp.txt: key, address, port
  kLogicalHbaRecords = 2,  // savetgt.txt: the key alone (removal only)
};

// ---- records ------------------------------------------------------------------------------------
std::vector<std::string> instance_key(int32_t adapter, int32_t phba, int32_t lhba);
// The key of the logical HBA that owns `node` (instance numbers of the nearest Vexalon,
// iSCSIPhysicalHBA and LogicalHBA; 0 where one is missing).
std::vector<std::string> lhba_instance_key(hm_node* node);
std::vector<std::string> split_record(const std::string& line);
// A record's line from its fields, without the newline.
std::string join_record(const std::vector<std::string>& fields);
// True when the record's leading fields equal the key's, field by field.
bool record_matches(const std::vector<std::string>& fields, const std::vector<std::string>& key, bool ignore_case);
// How a change made during a discovery pass reaches its file: a staged change at the end of the
// pass, a durable one at once (a record that the adapter's state depends on). Outside a pass every
// change is written at once.
enum class Write { kDurable, kStaged };
// The non-empty lines of a file, without their newlines.
file_store::ReadResult read_records(const char* file, std::vector<std::string>* lines);
// The fields of the first record whose leading fields match `key` (case ignored or not) and, when
// `field_count` is not 0, that has exactly that many fields; *found is left empty without one.
// Answers what the file's read gave.
file_store::ReadResult find_record(const char* file, const std::vector<std::string>& key, bool ignore_case,
                                   size_t field_count, std::vector<std::string>* found);
// Appends one record; false (nothing written) when a field holds a comma or a control character,
// or when the file cannot be written.
bool append_record(const char* file, const std::vector<std::string>& fields);
// Appends one record unless a record already matches `unless` (exactly, case counts). The check and
// the append are made under the file's lock, so that two processes never both append it.
enum class Appended { kWritten, kPresent, kFailed };
Appended append_unique_record(const char* file, const std::vector<std::string>& fields,
                              const std::vector<std::string>& unless, Write how = Write::kDurable);
// Appends lines taken out of a file back to it (the undo of a removal); false when not written.
bool append_lines(const char* file, const std::vector<std::string>& lines);
// Rewrites a file: `keep` sees each non-empty line (it may change it) and says whether it stays;
// the lines it drops are added to *removed when given. A rewrite that changes nothing writes
// nothing. False when the file is missing or unreadable (nothing is written) or the write fails.
bool rewrite_records(const char* file, const std::function<bool(std::string& line)>& keep,
                     std::vector<std::string>* removed = nullptr, Write how = Write::kDurable);

// Every reader and writer below takes the file's lock, and is served from what this process last
// read or wrote of the file while the file is still that version (lookups through indexes); a file
// another process changed is read again.
//
// A discovery pass over the three saved files (a SendTargets discovery, the refresh of all
// targets, the start-up restore). The outermost pass locks each file for its length; while it
// lasts, this thread's readers and writers of the files are served from what it read (lookups
// through indexes), and staged changes are written when it ends, each changed file as one replace.
// The locks are held from the read to the write: no other process interleaves. A pass made while
// another is under way in this thread joins it.
class SavedFilePass {
 public:
  SavedFilePass();
  ~SavedFilePass();   // finishes, unless finish() did
  SavedFilePass(const SavedFilePass&) = delete;
  SavedFilePass& operator=(const SavedFilePass&) = delete;

  bool outermost() const { return outermost_; }
  // Writes what the pass staged and lets the files go (an inner pass: nothing, true). False when a
  // file could not be written: it keeps what it had, and *unwritten (when given) gets the target
  // records staged since the last write of the saved-target file.
  bool finish(std::vector<std::string>* unwritten = nullptr);

 private:
  bool outermost_ = false;
  bool finished_ = false;
};

// The key of a mode's records of `lhba` (as VARU_remove_entry_from_file and the duplicate check
// build it; ISID kAnyIsid leaves the ISID out).
std::vector<std::string> saved_record_key(hm_node* lhba, uint32_t mode, const char* name, const char* address,
                                          const char* port, uint32_t isid);
// Removes every record that matches one of `keys` (case ignored) in one rewrite; the lines removed
// are added to *removed when given. True also when the file is missing: nothing to remove.
bool remove_records(const char* file, const std::vector<std::vector<std::string>>& keys,
                    std::vector<std::string>* removed = nullptr);
// Sets status 336 with `format` ("%s" the file's name, then `what`) and answers 1; when the file's
// lock file cannot be used, the text tells that instead.
uint32_t saved_file_failed(const char* format, const char* file, const char* what = "");
// Sets status 336 telling why the lock file at `lock_path` (a host path) could not be used, and
// answers 1.
uint32_t lock_file_failed(const std::string& lock_path, file_store::LockFailure failure, int error);
// 0 when the lock of `file` can be used; else 1 with lock_file_failed's status: an operation that
// records its result in the file after the adapter took it asks before sending anything.
uint32_t check_saved_file_lock(const char* file);
// 1 with status 336 and a text that names the directory `dir_path` of live files and why it cannot
// be used (refused: not a directory of this user; else the errno `error`).
uint32_t live_dir_failed(const std::string& dir_path, file_store::LockFailure failure, int error);

// ---- the interfaces of the saved files --------------------------------------------------------
// Reads an open file whole into a new terminated text (free with varu_dfree); NULL for no stream,
// an empty file or no memory. *size gets the byte count, *lines the newline count.
char* VARU_get_file_data(FILE* stream, uint32_t* size, uint32_t* lines);
// 1 when a record of the mode's file matches the key exactly (case counts), else 0.
uint32_t VARU_check_for_duplicate_entry_in_file(int32_t adapter, int32_t phba, int32_t lhba, const char* name,
                                                const char* address, const char* port, uint32_t mode, uint32_t isid);
// Records one portal of a target (no ISID). A new target takes the initiator's login options
// (recorded and copied into its TargetLoginOptions); a new portal of an existing target is recorded
// with the target's own options, which stay as they are. 0 also when the portal is recorded
// already (nothing is copied then); 1 when a value cannot be read, may not stand in a record, or
// the file is not written.
uint32_t VARU_add_target_into_file(hm_node* lhba, hm_node* target, const char* name, const char* address,
                                   const char* port, bool new_target);
// Records one portal of a target with the ISID of its persistent session (once). 0, or 1.
uint32_t VARU_update_tgt_entry(hm_node* lhba, hm_node* target, const char* address, const char* port, uint32_t isid);
// Removes every matching record (case ignored); the lines removed are added to *removed when
// given. 0, or 1 for a missing file or a failed write.
uint32_t VARU_remove_entry_from_file(hm_node* lhba, const char* name, const char* address, const char* port,
                                     uint32_t isid, uint32_t mode, std::vector<std::string>* removed = nullptr);
// Splits a record; 1 at the first of the `key_count` leading fields that differs from the key
// (case ignored), else 0 with fields 1..`field_count` in *fields (missing ones empty). *fields is
// cleared first, whatever the result.
uint32_t VARU_get_iscsi_data_from_file(const std::string& line, const std::vector<std::string>& key,
                                       std::vector<std::string>* fields, size_t field_count, size_t key_count);
// 0 when savestp.txt records the address and port for the adapter's and physical HBA's
// LogicalHBA0 (case ignored), else 1.
uint32_t VARU_sync_stp_with_file(hm_node* adapter, hm_node* phba, hm_node* stp, hm_node* lhba, const char* address,
                                 const char* port);

}  // namespace vx
