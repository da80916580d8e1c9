// ISO 2709 records built byte for byte for the client tests.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace ztest {

struct MarcField {
  std::string tag;
  std::string data;  // without its field terminator
};

/// \brief A well-formed record: leader (status, type and level from `kind`), directory,
/// fields each ended by 1E, the record ended by 1D.
inline std::string isoRecord(const std::vector<MarcField>& fields, const std::string& kind = "nam") {
  std::string directory, data;
  for (const MarcField& f : fields) {
    char entry[16];
    // Starting positions past 99,999 wrap, as they must in five digits.
    std::snprintf(entry, sizeof entry, "%.3s%04zu%05zu", f.tag.c_str(), (f.data.size() + 1) % 10000,
                  data.size() % 100000);
    directory += entry;
    data += f.data + '\x1E';
  }
  size_t base = 24 + directory.size() + 1;
  size_t total = base + data.size() + 1;
  char leader[32];
  std::snprintf(leader, sizeof leader, "%05zu%.3s  22%05zu   4500", total % 100000, kind.c_str(), base);
  return std::string(leader) + directory + '\x1E' + data + '\x1D';
}

/// \brief An 008 field of 40 characters with the language code `lang` at offset 35.
inline std::string field008(const std::string& lang) {
  std::string f(40, ' ');
  f.replace(0, 15, "910710s1991    ");
  f.replace(35, 3, lang.substr(0, 3));
  return f;
}

/// \brief A subfield: delimiter 1F, code, data.
inline std::string sf(char code, const std::string& data) { return std::string("\x1F") + code + data; }

/// \brief The data of a data field with blank indicators and one subfield.
inline std::string df(char code, const std::string& data) { return "  " + sf(code, data); }

}  // namespace ztest
