// CMarcFile's tree operations shared by the record handles, and its subfield lookups on a
// record.
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>

#include "marc_internal.h"

using namespace loomkit;

CMarcFile& CMarcFile::Shared() {
  static CMarcFile instance;
  return instance;
}

xml::Node CMarcFile::CloneNode(const xml::Node& element) { return need(element).cloneNode(true); }

int32_t CMarcFile::ChildIndex(const xml::Node& node) { return int32_t(need(node).indexInParent()); }

CSubField CMarcFile::GetSpecifySubFld(CMarc& marc, const char16_t* tag, const char16_t* code) {
  CField field = marc.GetField(tag, 0);
  if (field.IsEmpty()) return CSubField();
  return field.GetSubFld(code, 0);
}

CSubField CMarcFile::GetSpecifySubFld(CMarc& marc, const char16_t* tag, const char16_t* groupCode,
                                      const char16_t* groupText, const char16_t* code) {
  // The grouping lasts only as long as this field handle: its destructor flattens the field,
  // and the subfield handle returned keeps its element, back in the field.
  CField field = marc.GetField(tag, 0);
  if (field.IsEmpty() || !field.SetGroupStatus(groupCode)) return CSubField();
  CGroup group = field.GetGroup(groupText);
  if (group.IsEmpty()) return CSubField();
  return group.GetSubFld(code, 0);
}

int CMarcFile::AccessSubFld(CMarc& marc, const char16_t* tag, const char16_t* code) {
  return !GetSpecifySubFld(marc, tag, code).IsNull();
}

int CMarcFile::AccessSubFld(CMarc& marc, const char16_t* tag, const char16_t* groupCode,
                            const char16_t* groupText, const char16_t* code) {
  return !GetSpecifySubFld(marc, tag, groupCode, groupText, code).IsNull();
}
