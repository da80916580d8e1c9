// The table-driven object shape, creation and the dispatch wrappers, over a test class.
#include <com/com.h>
#include <com/drivers/DispatchDriver.h>
#include <com/drivers/ZoomDrivers.h>
#include <com/selfreg.h>

#include <platform/registry.h>
#include <platform/text.h>

#include <dlfcn.h>

#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace com;

namespace {

ModuleLocks echoLocks;

class Echo : public DispatchObject<Echo> {
 public:
  std::u16string Join(const std::u16string& a, const std::u16string& b) { return a + u"|" + b; }
  int32_t Add(int32_t a, int32_t b) { return a + b; }
  ComPtr<Echo> Child() { return make<Echo>(); }
  void Fail() { throw ComError(E_ACCESSDENIED, "no rights"); }

  static const IID& Iid() {
    static constexpr IID iid = makeGuid("0F0E0D0C-0B0A-0908-0706-050403020100");
    return iid;
  }
  static std::span<const DispMethod<Echo>> Methods();
  static ModuleLocks& Locks() { return echoLocks; }
};

const DispMethod<Echo> kEcho[] = {
    {1, u"Join", 2, [](Echo& o, const DispArgs& a, DispResult& r) { r.Text(o.Join(a.Text(0), a.Text(1))); }},
    {2, u"Add", 2, [](Echo& o, const DispArgs& a, DispResult& r) { r.Long(o.Add(a.Long(0), a.Long(1))); }},
    {3, u"Child", 0, [](Echo& o, const DispArgs&, DispResult& r) { r.Object(o.Child()); }},
    {4, u"Fail", 0, [](Echo& o, const DispArgs&, DispResult&) { o.Fail(); }},
};
std::span<const DispMethod<Echo>> Echo::Methods() { return kEcho; }

ClassFactory<Echo> echoFactory;
constexpr CLSID CLSID_Echo = makeGuid("A0A1A2A3-B0B1-C0C1-D0D1-E0E1E2E3E4E5");

class EchoDriver : public DispatchDriver {
 public:
  using DispatchDriver::DispatchDriver;
  std::u16string Join(std::u16string_view a, std::u16string_view b) { return InvokeText(1, {a, b}); }
  int32_t Add(int32_t a, int32_t b) { return InvokeLong(2, {a, b}); }
  int32_t AddText(std::u16string_view a, int32_t b) { return InvokeLong(2, {a, b}); }
  IDispatch* Child() { return InvokeObject(3); }
  void Fail() { InvokeVoid(4); }
  std::u16string WrongResult() { return InvokeText(2, {1, 2}); }
};

// Registers the test class in-process for one test.
struct EchoRegistered {
  DWORD cookie = 0;
  EchoRegistered() { EXPECT_EQ(registerClassInProcess(u"Test.Echo", CLSID_Echo, &echoFactory, &cookie), S_OK); }
  ~EchoRegistered() { CoRevokeClassObject(cookie); }
};

TEST(DispatchDriver, CallsByIdentifierWithArgumentsInOrder) {
  EchoRegistered reg;
  EchoDriver e;
  HRESULT hr = 0;
  ASSERT_TRUE(e.CreateDispatch(u"test.ECHO", &hr)) << hr;
  EXPECT_EQ(e.Join(u"first", u"second"), u"first|second");
  EXPECT_EQ(e.Add(40, 2), 42);
  EXPECT_EQ(e.AddText(u"-40", 2), -38);
  EchoDriver child;
  child.AttachDispatch(e.Child());
  ASSERT_NE(child.m_lpDispatch, nullptr);
  EXPECT_EQ(child.Add(1, 1), 2);
  EXPECT_EQ(echoLocks.Count(), 3);  // two objects, plus the class object held by the registration

  try {
    e.Fail();
    ADD_FAILURE() << "no throw";
  } catch (const ComError& err) {
    EXPECT_EQ(err.Error(), E_ACCESSDENIED);
    EXPECT_STREQ(err.what(), "no rights");
  }
  try {
    e.AddText(u"forty", 2);
    ADD_FAILURE() << "no throw";
  } catch (const ComError& err) {
    EXPECT_EQ(err.Error(), DISP_E_TYPEMISMATCH);
  }
  EXPECT_THROW(e.WrongResult(), ComError);

  EchoDriver copy = e;  // a copy holds its own reference
  e.ReleaseDispatch();
  EXPECT_EQ(copy.Add(2, 2), 4);
}

TEST(DispatchDriver, EmptyWrapperThrowsPointerError) {
  CZoomConnDriver conn;
  CZoomRsDriver rs;
  CZoomRecDriver rec;
  auto expectPointer = [](auto&& f) {
    try {
      f();
      ADD_FAILURE() << "no throw";
    } catch (const ComError& e) {
      EXPECT_EQ(e.Error(), E_POINTER);
    }
  };
  expectPointer([&] { conn.Connect(u"h", u""); });
  expectPointer([&] { conn.Close(); });
  expectPointer([&] { conn.SearchPqf(u"x"); });
  expectPointer([&] { rs.GetSize(); });
  expectPointer([&] { rs.GetRecord(0); });
  expectPointer([&] { rec.GetXml(); });
  expectPointer([&] { rec.AutoCvtEacc(1); });
}

TEST(Create, RegistryRoadAndItsFailures) {
  qtest::TempHome home;
  CLSID c;
  EXPECT_EQ(CLSIDFromProgID(u"Nobody.Here", &c), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromProgID(u"", &c), CO_E_CLASSSTRING);
  void* p = &p;
  EXPECT_EQ(CoCreateInstance(CLSID_Echo, nullptr, CLSCTX_ALL, IID_IDispatch, &p), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(p, nullptr);

  // A class registered to a library that is not there, or that is no server.
  constexpr CLSID missing = makeGuid("11111111-2222-3333-4444-555555555555");
  constexpr CLSID noServer = makeGuid("11111111-2222-3333-4444-666666666666");
  ASSERT_EQ(registerServerClass(missing, u"Test.Missing", u"/nonexistent/libgone.so"), S_OK);
  ASSERT_EQ(registerServerClass(noServer, u"Test.NoServer", platform::fromUtf8(libraryPathOf(reinterpret_cast<const void*>(&dlopen)))), S_OK);
  ASSERT_EQ(CLSIDFromProgID(u"test.missing", &c), S_OK);
  EXPECT_EQ(c, missing);
  EXPECT_EQ(createByProgId(u"Test.Missing", IID_IDispatch, &p), CO_E_DLLNOTFOUND);
  EXPECT_EQ(createByProgId(u"Test.NoServer", IID_IDispatch, &p), CO_E_ERRORINDLL);

  // A damaged CLSID text under a ProgID.
  platform::RegKey k;
  ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_CLASSES_ROOT, u"Test.Bad\\CLSID", k.put()), platform::ERROR_SUCCESS);
  ASSERT_EQ(platform::RegSetValueEx(k.get(), nullptr, u"{not-a-guid}"), platform::ERROR_SUCCESS);
  EXPECT_EQ(CLSIDFromProgID(u"Test.Bad", &c), CO_E_CLASSSTRING);

  // In-process classes come first and go when revoked.
  {
    EchoRegistered reg;
    ComPtr<IDispatch> d;
    EXPECT_EQ(CoCreateInstance(CLSID_Echo, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, d.putVoid()), S_OK);
    EXPECT_EQ(OleRun(d.get()), S_OK);
  }
  EXPECT_EQ(CLSIDFromProgID(u"Test.Echo", &c), CO_E_CLASSSTRING);
  EXPECT_EQ(CoRevokeClassObject(12345), E_INVALIDARG);
  EXPECT_EQ(echoLocks.Count(), 0);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(OleRun(nullptr), E_POINTER);
}

TEST(SelfRegistration, WritesTheFiveKeysOrReportsFailure) {
  qtest::TempHome home;
  constexpr CLSID id = makeGuid("ABCDEF01-2345-6789-ABCD-EF0123456789");
  ASSERT_EQ(registerServerClass(id, u"Test.Thing", u"/opt/lib/libthing.so"), S_OK);
  auto def = [](const char16_t* path) {
    platform::RegKey k;
    std::u16string v;
    if (platform::RegOpenKeyEx(platform::HKEY_CLASSES_ROOT, path, k.put()) == platform::ERROR_SUCCESS)
      platform::RegQueryValue(k.get(), nullptr, v);
    return v;
  };
  EXPECT_EQ(def(u"Test.Thing"), u"Test.Thing");
  EXPECT_EQ(def(u"Test.Thing\\CLSID"), u"{ABCDEF01-2345-6789-ABCD-EF0123456789}");
  EXPECT_EQ(def(u"CLSID\\{ABCDEF01-2345-6789-ABCD-EF0123456789}"), u"Test.Thing");
  EXPECT_EQ(def(u"CLSID\\{ABCDEF01-2345-6789-ABCD-EF0123456789}\\ProgID"), u"Test.Thing");
  EXPECT_EQ(def(u"CLSID\\{ABCDEF01-2345-6789-ABCD-EF0123456789}\\InProcServer32"), u"/opt/lib/libthing.so");

  qtest::TempHome blocked;
  qtest::writeFile(blocked.path() / "registry", "x");
  EXPECT_EQ(registerServerClass(id, u"Test.Thing", u"/opt/lib/libthing.so"), SELFREG_E_CLASS);
}

}  // namespace
