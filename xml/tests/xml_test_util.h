// Small helpers shared by the document tree tests.
#pragma once

#include <xml/dom.h>

#include <platform/text.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace xmltest {

/// A new document loaded from `text` (the test fails when it does not parse).
inline xml::Document loaded(std::u16string_view text) {
  xml::Document d = xml::Document::create();
  EXPECT_TRUE(d.loadXml(text)) << platform::toUtf8(text);
  return d;
}

/// The HRESULT `f` throws as ComError, or S_OK when it throws nothing.
inline platform::HRESULT errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const platform::ComError& e) {
    return e.Error();
  }
  return platform::S_OK;
}

inline std::string u8(std::u16string_view s) { return platform::toUtf8(s); }

}  // namespace xmltest
