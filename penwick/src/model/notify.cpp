// Packing of the editor's notifications.
#include <penwick/notify.h>

namespace penwick {

uint32_t PackNotifyWParam(int code, int32_t field) {
  return (uint32_t(code) & 0xFFFFu) << 16 | (uint32_t(field) & 0xFFFFu);
}

uint32_t PackNotifyLParam(int32_t subfield, int32_t offset) {
  return (uint32_t(subfield) & 0xFFFFu) << 16 | (uint32_t(offset) & 0xFFFFu);
}

int NotifyCode(uint32_t wParam) { return int(wParam >> 16); }

EditorPosition NotifyPosition(uint32_t wParam, uint32_t lParam) {
  return {int32_t(wParam & 0xFFFFu), int16_t(lParam >> 16), int16_t(lParam & 0xFFFFu)};
}

uint32_t PackFocusWParam(int event) {
  return uint32_t(EDITOR_CONTROL_ID) | (uint32_t(event) & 0xFFFFu) << 16;
}

bool QueryEnables(intptr_t answer, int shift) { return ((uintptr_t(answer) >> shift) & 0xFFu) == 0xFFu; }

}  // namespace penwick
