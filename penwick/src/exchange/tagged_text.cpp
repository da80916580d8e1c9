// Tagged record text: the 24-character leader, then per field the tag, indicators and data
// ended by 0x1E (what the corner box accepts on WM_PASTE). It holds no directory.
#include "editor_document.h"

#include <algorithm>

using namespace penwick;

void CEditorDocument::ParseRecordText(std::u16string_view text) {
  ClearRecord();
  std::u16string s = penwick::WithoutLoneSurrogates(text);
  const size_t leader = penwick::WholeCharacters(s, 24);
  for (size_t i = 0; i < s.size(); ++i) {
    // Control characters become blanks; after the leader the separators 0x1B-0x1F stay.
    if (s[i] < (i < leader ? 0x20 : 0x1B)) s[i] = u' ';
  }
  AddField(u"000", std::u16string_view(s).substr(0, leader));
  size_t pos = leader;
  while (pos < s.size()) {
    size_t end = s.find(kFieldEnd, pos);
    if (end == std::u16string::npos) break;  // a field without its terminator is dropped
    std::u16string_view field = std::u16string_view(s).substr(pos, end - pos);
    const size_t tag = penwick::WholeCharacters(field, 3);
    AddField(field.substr(0, tag), field.substr(tag));
    pos = end + 1;
  }
}
