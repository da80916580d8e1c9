// The in-memory form of one INI file, shared by the profile readers and writers.
// Each line keeps the bytes it was read as, so a rewrite leaves every untouched line
// byte for byte as it was (a stray byte the code page cannot decode survives too).
#pragma once

#include <platform/text.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::profile {

/// How a file's bytes are encoded; a file is written back the way it was read.
enum class Encoding { Utf8, Utf8Bom, Utf16Le, Gbk };

struct Line {
  enum Kind { Blank, Comment, Header, Entry };
  std::string raw;  // the line's bytes as read (empty for lines made here)
  u16 eol;          // its line break as read: u"", u"\n" or u"\r\n"
  u16 text;         // the decoded text without the line break
  bool edited = false;

  Kind kind() const;
  /// Section name of a header line, trimmed.
  u16 sectionName() const;
  /// Key of an entry line, trimmed (the whole line when it has no "=").
  u16 key() const;
  /// Value of an entry line, trimmed, quotes kept (empty when it has no "=").
  u16 value() const;
};

/// Blanks that surround names and values (space and tab, as the profile files have them).
u16v trim(u16v s);

class Document {
 public:
  Encoding encoding = Encoding::Utf8;
  std::vector<Line> lines;

  /// \brief Reads a file's bytes: FF FE starts UTF-16LE, EF BB BF UTF-8 with its mark;
  /// otherwise UTF-8 when the bytes are valid UTF-8, else code page 936.
  static Document parse(std::string_view bytes);
  /// \brief The bytes to store: unedited lines as read, edited ones encoded afresh.
  std::string serialize() const;

  /// A section as the half-open range of its lines after the header: [body, end).
  struct Range {
    size_t header, body, end;
  };
  /// \brief The first section of that name (A-Z compared without case).
  std::optional<Range> findSection(u16v name) const;
  /// \brief Every section of that name, in file order.
  std::vector<Range> findSections(u16v name) const;
  /// \brief Index of the first entry with that key inside the range.
  std::optional<size_t> findKey(const Range& r, u16v key) const;

  std::vector<u16> sectionNames() const;

  /// \brief Sets a key (keeping the spelling of an existing key), adding section and key as needed.
  void setValue(u16v section, u16v key, u16v value);
  /// \brief Removes the key from the first section of that name; false when it was not there.
  bool removeKey(u16v section, u16v key);
  /// \brief Removes every section of that name with all its lines; false when there was none.
  bool removeSection(u16v section);
  /// \brief Replaces the body of the section by these lines (creating the section when missing).
  void replaceSection(u16v section, const std::vector<u16>& entries);

  /// \brief True when text survives the file's encoding (always, except for code page 936).
  bool canHold(u16v text) const;

 private:
  Encoding readAs_ = Encoding::Utf8;  // unedited lines keep their bytes only while this holds

  u16 lineBreak() const;
  Line makeLine(u16 text) const;
  void insertLine(size_t at, u16 text);
  Range appendSection(u16v section);
  size_t insertionPoint(const Range& r) const;
};

}  // namespace platform::profile
