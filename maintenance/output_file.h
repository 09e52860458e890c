// A file an action writes for the user (FAT data, the ARM log), opened exactly as named, relative to
// the working directory. Closed on every path; every write is checked, and so is the close.
#pragma once

#include <cstddef>
#include <cstdio>

namespace vx {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile() { close(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Made fresh: an existing file is truncated. False when it cannot be opened.
  bool create(const char* path) {
    close();
    file_ = path != nullptr ? std::fopen(path, "wbe") : nullptr;
    ok_ = file_ != nullptr;
    return ok_;
  }
  // False once any write has failed.
  bool write(const void* data, size_t size) {
    if (file_ == nullptr) return false;
    if (size != 0 && std::fwrite(data, 1, size, file_) != size) ok_ = false;
    return ok_;
  }
  // True when everything written reached the file.
  bool close() {
    if (file_ == nullptr) return ok_;
    if (std::fclose(file_) != 0) ok_ = false;
    file_ = nullptr;
    return ok_;
  }

 private:
  std::FILE* file_ = nullptr;
  bool ok_ = false;
};

}  // namespace vx
