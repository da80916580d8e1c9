// Allocation failure at every step of the operations that allocate: each either completes or
// throws ComError(E_OUTOFMEMORY), and leaves a usable tree behind (no leak, checked under ASan).
#include "xml_test_util.h"

#include <cstdlib>
#include <new>

namespace {
// Counts allocations down to a failure; -1 when off. Only this test arms it.
thread_local long allocationsBeforeFailure = -1;
}  // namespace

// The replacement pair below hands out malloc blocks; GCC cannot see that they match.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(size_t n) {
  if (allocationsBeforeFailure == 0) {
    allocationsBeforeFailure = -1;
    throw std::bad_alloc();
  }
  if (allocationsBeforeFailure > 0) --allocationsBeforeFailure;
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  return p;
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

using namespace xml;
using platform::E_OUTOFMEMORY;

TEST(XmlOutOfMemory, EveryAllocationMayFail) {
  const std::u16string record =
      u"<marc><header>h\u0011</header><field name=\"001\">x</field>"
      u"<field name=\"200\" indicator=\"\u0011\u0011\"><sf name=\"a\">some title text</sf></field></marc>";
  struct Case {
    const char* what;
    std::function<void(Document&)> op;
  };
  const std::vector<Case> cases = {
      {"load", [&](Document& d) { d.loadXml(record); }},
      {"reload over a large tree", [&](Document& d) {
         Node root = d.documentElement();
         for (int i = 0; i < 50; ++i) root.appendChild(root.child(1).cloneNode(true)).appendChild(d.createElement(u"x"));
         root = Node();
         d.loadXml(u"<a/>");
       }},
      {"serialise", [](Document& d) { (void)d.xml(); }},
      {"deep clone", [](Document& d) { (void)d.documentElement().cloneNode(true); }},
      {"select", [](Document& d) { (void)d.selectNodes(u"//sf[@name=\"a\"]"); }},
      {"text", [](Document& d) { (void)d.documentElement().text(); }},
      {"build", [](Document& d) {
         Node f = d.createElement(u"field");
         f.setAttribute(u"name", u"300");
         f.setText(u"a longer text that does not fit in place");
         d.documentElement().insertBefore(f, d.documentElement().child(1));
       }},
  };
  for (const Case& c : cases) {
    bool completed = false;
    long failures = 0;
    for (long k = 0; !completed && k < 10000; ++k) {
      Document d = xmltest::loaded(record);
      allocationsBeforeFailure = k;
      platform::HRESULT hr = xmltest::errorOf([&] { c.op(d); });
      allocationsBeforeFailure = -1;
      if (hr == platform::S_OK) {
        completed = true;
        continue;
      }
      ASSERT_EQ(hr, E_OUTOFMEMORY) << c.what << " at allocation " << k;
      ++failures;
      // Whatever state the failure left, the tree is whole: it can be written and reloaded.
      Document again = Document::create();
      std::u16string text = d.xml();
      EXPECT_TRUE(text.empty() || again.loadXml(text)) << c.what << " at allocation " << k;
    }
    EXPECT_TRUE(completed) << c.what;
    EXPECT_GT(failures, 0) << c.what;  // the operation does allocate, so failures were tried
  }
}
