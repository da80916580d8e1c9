// Packing of the notifications' numbers.
#include <penwick/notify.h>

#include <gtest/gtest.h>

using namespace penwick;

namespace {

TEST(Notify, PackingAndUnpacking) {
  struct Case {
    int code;
    EditorPosition pos;
    uint32_t wParam, lParam;
  } cases[] = {
      {EDN_PRINT, {2, 0, 0}, 0x100002, 0x0},
      {EDN_PRINT, {2, 0, 1}, 0x100002, 0x1},
      {EDN_CARET, {0, -1, 7}, 0x120000, 0xFFFF0007},
      {EDN_CHANGED, {0, 0, 0}, 0xE0000, 0},
      {EDN_FKEY_F2, {3, 2, -1}, 0x710003, 0x0002FFFF},
      {EDN_QUERY, {0x12345, 0x10001, 0x10002}, 0x112345, 0x00010002},  // each cut to 16 bits
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PackNotifyWParam(c.code, c.pos.field), c.wParam) << c.code;
    EXPECT_EQ(PackNotifyLParam(c.pos.subfield, c.pos.offset), c.lParam) << c.code;
    EXPECT_EQ(NotifyCode(c.wParam), c.code);
  }
  EditorPosition p = NotifyPosition(0x120005, 0xFFFF0003);
  EXPECT_EQ(p.field, 5);
  EXPECT_EQ(p.subfield, -1);
  EXPECT_EQ(p.offset, 3);
  EXPECT_EQ(PackFocusWParam(EN_SETFOCUS), 0x0100100Eu);
  EXPECT_EQ(PackFocusWParam(EN_KILLFOCUS), 0x0200100Eu);
}

TEST(Notify, QueryAnswerBytesMustBeExactly0xFF) {
  struct Case {
    intptr_t answer;
    bool templ, autodata, defaults;
  } cases[] = {
      {0xFFFF00, true, true, false}, {0xFE00, false, false, false}, {0xFF, false, false, true},
      {0, false, false, false},      {-1, true, true, true},        {0xFF7F00, true, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(QueryEnables(c.answer, QUERY_TEMPLATE_SHIFT), c.templ) << std::hex << c.answer;
    EXPECT_EQ(QueryEnables(c.answer, QUERY_AUTODATA_SHIFT), c.autodata) << std::hex << c.answer;
    EXPECT_EQ(QueryEnables(c.answer, QUERY_DEFAULTS_SHIFT), c.defaults) << std::hex << c.answer;
  }
}

}  // namespace
