// Helpers shared by the test programs.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qtest {

/// A fresh temporary folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

/// Points QORVEL_HOME at a fresh temporary folder for the object's lifetime, so a test
/// never touches the user's own settings, registry or Windows directory.
class TempHome {
 public:
  TempHome();
  ~TempHome();
  const std::filesystem::path& path() const { return dir_.path(); }

 private:
  TempDir dir_;
  std::string old_;
  bool hadOld_ = false;
};

std::string readFile(const std::filesystem::path& p);
void writeFile(const std::filesystem::path& p, const std::string& bytes);

/// Folder of the source tree and of the build tree (set by the test registration).
std::filesystem::path sourceDir();
std::filesystem::path binaryDir();

/// Runs a shell command, returns its exit status and (optionally) what it printed on stdout.
int run(const std::string& command, std::string* output = nullptr);

/// \brief Writes an OpenDocument spreadsheet of one sheet whose rows are `rows` (the
/// table:table-row elements), packed by the zip command with the mimetype first and stored,
/// as office programs do; false when zip failed.
bool writeOdsPackage(const std::filesystem::path& p, const std::string& rows);

}  // namespace qtest
