// The in-memory form of one hive and its text file (see platform/registry.h for the format).
#pragma once

#include <platform/text.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform::reg {

struct Node {
  u16 name;
  std::vector<std::pair<u16, u16>> values;      // in the order they were first set
  std::vector<std::unique_ptr<Node>> children;  // sorted by name, A-Z case ignored

  Node* find(u16v childName) const;
  /// \brief The child of that name, made when missing; `made` tells which.
  Node* findOrAdd(u16v childName, bool* made = nullptr);
  /// \brief Removes the child of that name; false when there is none.
  bool remove(u16v childName);
  std::pair<u16, u16>* value(u16v valueName);
};

/// The two hives by number.
enum Hive { ClassesRoot = 0, CurrentUser = 1 };

/// \brief Splits a key path at '\', skipping empty parts.
std::vector<u16> splitPath(u16v path);

/// \brief Parses a hive's text; lines that do not parse are skipped.
void parseHive(const std::string& text, Node& root);
/// \brief Writes a hive's text.
std::string formatHive(const Node& root);

/// \brief Reads a hive from its file (a missing file is an empty hive).
void loadHive(Hive hive, Node& root);

/// Holds a hive's write lock from construction to destruction, with the hive loaded.
class HiveWriter {
 public:
  explicit HiveWriter(Hive hive);
  ~HiveWriter();
  HiveWriter(const HiveWriter&) = delete;
  HiveWriter& operator=(const HiveWriter&) = delete;
  /// \brief False when the store cannot be written (the hive is then empty).
  bool ok() const { return lockFd_ >= 0; }
  Node& root() { return root_; }
  /// \brief Writes the hive back (temporary file, then rename); false on failure.
  bool save();

 private:
  Hive hive_;
  int lockFd_ = -1;
  Node root_;
};

}  // namespace platform::reg
