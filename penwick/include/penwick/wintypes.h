// The Windows structures that cross the editor's interface: font descriptions, colours and
// rectangles, laid out as the host programs of the suite pass them.
#pragma once

#include <cstdint>

namespace penwick {

/// A colour as 0x00BBGGRR.
using COLORREF = uint32_t;

constexpr int LF_FACESIZE = 32;

/// Everything of a font description but its face name.
struct LOGFONTMETRICS {
  int32_t lfHeight = 0;
  int32_t lfWidth = 0;
  int32_t lfEscapement = 0;
  int32_t lfOrientation = 0;
  int32_t lfWeight = 0;
  uint8_t lfItalic = 0;
  uint8_t lfUnderline = 0;
  uint8_t lfStrikeOut = 0;
  uint8_t lfCharSet = 0;
  uint8_t lfOutPrecision = 0;
  uint8_t lfClipPrecision = 0;
  uint8_t lfQuality = 0;
  uint8_t lfPitchAndFamily = 0;
};

/// A font description with a UTF-16 face name.
struct LOGFONTW : LOGFONTMETRICS {
  char16_t lfFaceName[LF_FACESIZE] = {};
};

/// The same with a face name in the ANSI code page.
struct LOGFONTA : LOGFONTMETRICS {
  char lfFaceName[LF_FACESIZE] = {};
};

struct RECT {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

}  // namespace penwick
