// Records as ZoomSvr hands them to its clients.
#pragma once

#include <cstdint>
#include <string>

namespace zoomsvr {

/// \brief Internal record text as ISO 2709 bytes: UTF-8 when `codePage` is 65001, else the
/// ANSI code page; empty when the text holds no record. Not cut at any fixed size.
std::string isoRecord(const std::u16string& text, int32_t codePage);

}  // namespace zoomsvr
