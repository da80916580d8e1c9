// CMarcFile's three attributes: the code page of the record form, the line break after each
// appended record, and the marker flag (byte-order mark, or which EACC escape pair).
#include <loomkit/MarcFile.h>

CMarcFile::CMarcFile() : codePage(-1), newlineAfterRecord(0), markerFlag(0) {}

CMarcFile::~CMarcFile() = default;

void CMarcFile::SetAttribute(int32_t cp, int32_t newline) {
  codePage = cp;
  newlineAfterRecord = newline;
  formOpen = false;
}

void CMarcFile::GetAttribute(int32_t& cp, int32_t& newline) {
  cp = codePage;
  newline = newlineAfterRecord;
}

void CMarcFile::SetAttributeEx(int32_t cp, int32_t newline, int32_t marker) {
  codePage = cp;
  newlineAfterRecord = newline;
  markerFlag = marker;
  formOpen = false;
}

void CMarcFile::GetAttributeEx(int32_t& cp, int32_t& newline, int32_t& marker) {
  cp = codePage;
  newline = newlineAfterRecord;
  marker = markerFlag;
}
