// The messages the editor control sends its parent window, and how their numbers pack the
// position of the caret. A host decodes them with the functions below.
#pragma once

#include <penwick/export.h>

#include <cstdint>

namespace penwick {

/// The editor's notification message; also the editor window's control id.
constexpr uint32_t WM_EDITORNOTIFY = 0x100E;
constexpr int EDITOR_CONTROL_ID = 0x100E;

// Notification codes (high word of wParam).
constexpr int EDN_AUTODATA = 1;
constexpr int EDN_TEMPLATE = 13;
constexpr int EDN_CHANGED = 14;
constexpr int EDN_PRINT = 16;
constexpr int EDN_QUERY = 17;
constexpr int EDN_CARET = 18;
constexpr int EDN_PINYIN = 19;
constexpr int EDN_VALIDATE = 20;
constexpr int EDN_SAVEWORKSHEET = 25;
constexpr int EDN_DEFAULTSCRIPT = 26;
constexpr int EDN_PAGEUP = 33;
constexpr int EDN_PAGEDOWN = 34;
/// F2 ... F9: the notification code is the key's virtual-key code, EDN_FKEY (F2, 113) to
/// EDN_FKEY + 7 (F9, 120).
constexpr int EDN_FKEY = 113;
constexpr int EDN_FKEY_F2 = EDN_FKEY;
constexpr int EDN_FKEY_F9 = EDN_FKEY + 7;

// Focus notifications travel as WM_COMMAND with the control id in the low word.
constexpr uint32_t WM_COMMAND = 0x0111;
constexpr int EN_SETFOCUS = 0x0100;
constexpr int EN_KILLFOCUS = 0x0200;

/// A place in the record as the notifications carry it: field index (0 is the leader in
/// MARC mode), subfield or qualifier index (-1 before the first subfield), offset.
struct EditorPosition {
  int32_t field = 0;
  int32_t subfield = 0;
  int32_t offset = 0;
};

/// \brief wParam of a notification: code in the high word, field index cut to 16 bits.
PENWICK_API uint32_t PackNotifyWParam(int code, int32_t field);
/// \brief lParam of a notification: subfield index in the high word, offset in the low
/// word, each cut to 16 bits (-1 arrives as 0xFFFF).
PENWICK_API uint32_t PackNotifyLParam(int32_t subfield, int32_t offset);
/// \brief The code of a notification's wParam.
PENWICK_API int NotifyCode(uint32_t wParam);
/// \brief The position packed into a notification: the field index as an unsigned 16-bit
/// number, subfield and offset as signed ones (0xFFFF comes back as -1).
PENWICK_API EditorPosition NotifyPosition(uint32_t wParam, uint32_t lParam);
/// \brief wParam of a focus notification (WM_COMMAND): control id | event << 16.
PENWICK_API uint32_t PackFocusWParam(int event);

/// \brief Whether a host's answer to EDN_QUERY enables a function: the byte at `shift`
/// (16 template, 8 automatic data, 0 default values) must be exactly 0xFF.
PENWICK_API bool QueryEnables(intptr_t answer, int shift);
constexpr int QUERY_TEMPLATE_SHIFT = 16;
constexpr int QUERY_AUTODATA_SHIFT = 8;
constexpr int QUERY_DEFAULTS_SHIFT = 0;

}  // namespace penwick
