// BSTR, GUID text and VARIANT life cycle.
#include <com/bstr.h>
#include <com/guid.h>
#include <com/object.h>
#include <com/variant.h>

#include <platform/text.h>

#include <gtest/gtest.h>

#include <cstring>

using namespace com;

namespace {

TEST(Bstr, IsLengthPrefixedAndNullIsEmpty) {
  BSTR s = SysAllocString(u"ab\u4E2D");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(SysStringByteLen(s), 6u);
  uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<char*>(s) - 4, 4);
  EXPECT_EQ(prefix, 6u);
  EXPECT_EQ(s[3], 0);
  SysFreeString(s);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(bstrText(nullptr), u"");
  SysFreeString(nullptr);

  // Embedded NULs count: the length comes from the prefix.
  const char16_t text[] = {u'a', 0, u'b'};
  BSTR n = SysAllocStringLen(text, 3);
  EXPECT_EQ(SysStringLen(n), 3u);
  EXPECT_EQ(bstrText(n), std::u16string(text, 3));
  SysFreeString(n);

  BSTR z = SysAllocStringLen(nullptr, 2);
  EXPECT_EQ(z[0], 0);
  EXPECT_EQ(z[1], 0);
  EXPECT_EQ(SysStringLen(z), 2u);
  SysFreeString(z);

  BSTR e = bstrFrom(u"");
  ASSERT_NE(e, nullptr);  // an empty text is an empty string, not null
  EXPECT_EQ(SysStringLen(e), 0u);
  SysFreeString(e);

  EXPECT_EQ(SysAllocStringLen(u"", 0x80000000u), nullptr);  // too long: no allocation, no overflow
}

TEST(Guid, ParsesAndFormatsTheBracedForm) {
  GUID g;
  ASSERT_TRUE(parseGuid(u"{c5c862e5-1a6f-11d9-895c-0050bac1bfd6}", g));
  EXPECT_EQ(g, makeGuid("C5C862E5-1A6F-11D9-895C-0050BAC1BFD6"));
  EXPECT_EQ(g.Data1, 0xC5C862E5u);
  EXPECT_EQ(g.Data2, 0x1A6Fu);
  EXPECT_EQ(g.Data3, 0x11D9u);
  EXPECT_EQ(g.Data4[0], 0x89);
  EXPECT_EQ(g.Data4[7], 0xD6);
  EXPECT_EQ(formatGuid(g), u"{C5C862E5-1A6F-11D9-895C-0050BAC1BFD6}");

  const char16_t* bad[] = {
      u"",
      u"C5C862E5-1A6F-11D9-895C-0050BAC1BFD6",    // no braces
      u"{C5C862E5-1A6F-11D9-895C-0050BAC1BFD}",   // short
      u"{C5C862E5-1A6F-11D9-895C-0050BAC1BFD6 }", // long
      u"{C5C862E5+1A6F-11D9-895C-0050BAC1BFD6}",  // separator
      u"{G5C862E5-1A6F-11D9-895C-0050BAC1BFD6}",  // digit
      u"{C5C862E5-1A6F-11D9-895C0-050BAC1BFD6}",  // dash misplaced
  };
  for (const char16_t* t : bad) {
    GUID out = g;
    EXPECT_FALSE(parseGuid(t, out)) << platform::toUtf8(t);
    EXPECT_EQ(out, g);
  }
  CLSID c;
  EXPECT_EQ(CLSIDFromString(u"nonsense", &c), CO_E_CLASSSTRING);
}

// A bare IDispatch that only counts references.
struct Counted : IDispatch {
  int refs = 1;
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, const char16_t**, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
};

TEST(Variant, ClearAndCopyOwnWhatTheyHold) {
  VARIANT v;
  VariantInit(&v);
  EXPECT_EQ(v.vt, VT_EMPTY);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(u"text");
  VARIANT c;
  VariantInit(&c);
  ASSERT_EQ(VariantCopy(&c, &v), S_OK);
  EXPECT_NE(c.bstrVal, v.bstrVal);  // a copy of its own
  EXPECT_EQ(bstrText(c.bstrVal), u"text");
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);
  EXPECT_EQ(bstrText(c.bstrVal), u"text");

  Counted d;
  VARIANT o;
  VariantInit(&o);
  o.vt = VT_DISPATCH;
  o.pdispVal = &d;  // takes the one reference
  ASSERT_EQ(VariantCopy(&c, &o), S_OK);  // frees c's BSTR, adds a reference
  EXPECT_EQ(d.refs, 2);
  EXPECT_EQ(VariantClear(&c), S_OK);
  EXPECT_EQ(VariantClear(&o), S_OK);
  EXPECT_EQ(d.refs, 0);

  o.vt = VT_DISPATCH;
  o.pdispVal = nullptr;  // an empty object clears without a call
  EXPECT_EQ(VariantClear(&o), S_OK);

  o.vt = 77;
  EXPECT_EQ(VariantClear(&o), DISP_E_BADVARTYPE);
  EXPECT_EQ(o.vt, 77);
  EXPECT_EQ(VariantCopy(&c, &o), DISP_E_BADVARTYPE);
  EXPECT_EQ(c.vt, VT_EMPTY);

  Variant a(u"x"), b(5);
  b = a;
  EXPECT_EQ(b.vt, VT_BSTR);
  EXPECT_EQ(bstrText(b.bstrVal), u"x");
  b = b;
  EXPECT_EQ(bstrText(b.bstrVal), u"x");
}

}  // namespace
