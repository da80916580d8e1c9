// Failures a disk gives rarely and a test cannot bring about from outside: an fsync that
// fails (on one file or folder), an ftruncate that fails. While a Fail* object lives, the
// process's calls of that function fail as it says; otherwise they do what they always do.
#pragma once

#include <string>

namespace faults {

/// fsync of the file or folder at `path` fails with `error`.
class FailSync {
 public:
  FailSync(const std::string& path, int error);
  ~FailSync();
  FailSync(const FailSync&) = delete;
  FailSync& operator=(const FailSync&) = delete;
};

/// Every ftruncate fails with `error`.
class FailTruncate {
 public:
  explicit FailTruncate(int error);
  ~FailTruncate();
  FailTruncate(const FailTruncate&) = delete;
  FailTruncate& operator=(const FailTruncate&) = delete;
};

}  // namespace faults
