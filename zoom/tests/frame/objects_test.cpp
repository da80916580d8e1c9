// The object shape, the class objects and the method tables of libzoom.
#include "ids.h"
#include "server_library.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace com;
using zoom::CLSID_ZoomConn;
using zoom::CLSID_ZoomRec;
using zoom::CLSID_ZoomRs;
using zoom::CLSID_ZoomSvr;

namespace {

struct ClassRow {
  const char* name;
  CLSID clsid;
  IID iid;
};
const ClassRow kClasses[] = {
    {"ZoomConn", CLSID_ZoomConn, zoom::IID_IZoomConn},
    {"ZoomRs", CLSID_ZoomRs, zoom::IID_IZoomRs},
    {"ZoomRec", CLSID_ZoomRec, zoom::IID_IZoomRec},
    {"ZoomSvr", CLSID_ZoomSvr, zoom::IID_IZoomSvr},
};

ZoomLibrary& lib() { return ZoomLibrary::get(); }

HRESULT call(IDispatch* d, DISPID id, std::vector<Variant> argsLastFirst, Variant* result = nullptr,
             UINT* argErr = nullptr) {
  DISPPARAMS p;
  p.rgvarg = argsLastFirst.empty() ? nullptr : argsLastFirst.data();
  p.cArgs = UINT(argsLastFirst.size());
  return d->Invoke(id, GUID_NULL, 0, DISPATCH_METHOD, &p, result, nullptr, argErr);
}

TEST(ZoomObjects, QueryInterfaceAnswersItsThreeInterfacesOnly) {
  const IID strangers[] = {IID_IClassFactory, makeGuid("C5C862D4-1A6F-11D9-895C-0050BAC1BFD6"),
                           makeGuid("12345678-1234-1234-1234-123456789ABC")};
  for (const ClassRow& c : kClasses) {
    SCOPED_TRACE(c.name);
    ComPtr<IDispatch> d = lib().create(c.clsid);
    ASSERT_TRUE(d);
    void* unk = nullptr;
    ASSERT_EQ(d->QueryInterface(IID_IUnknown, &unk), S_OK);
    for (const IID& iid : {IID_IDispatch, c.iid}) {
      void* p = nullptr;
      ASSERT_EQ(d->QueryInterface(iid, &p), S_OK);
      EXPECT_EQ(p, unk);  // one identity
      static_cast<IUnknown*>(p)->Release();
    }
    static_cast<IUnknown*>(unk)->Release();
    for (const ClassRow& other : kClasses) {
      if (other.iid == c.iid) continue;
      void* p = &unk;
      EXPECT_EQ(d->QueryInterface(other.iid, &p), E_NOINTERFACE) << other.name;
      EXPECT_EQ(p, nullptr);
    }
    for (const IID& iid : strangers) {
      void* p = &unk;
      EXPECT_EQ(d->QueryInterface(iid, &p), E_NOINTERFACE);
      EXPECT_EQ(p, nullptr);
    }
    EXPECT_EQ(d->QueryInterface(IID_IDispatch, nullptr), E_POINTER);
  }
}

TEST(ZoomObjects, EveryCreateInstanceMakesANewObjectCountedFromOne) {
  for (const ClassRow& c : kClasses) {
    SCOPED_TRACE(c.name);
    ComPtr<IClassFactory> f;
    ASSERT_EQ(lib().getClassObject(c.clsid, IID_IClassFactory, f.putVoid()), S_OK);
    IDispatch* a = nullptr;
    IDispatch* b = nullptr;
    ASSERT_EQ(f->CreateInstance(nullptr, c.iid, reinterpret_cast<void**>(&a)), S_OK);
    ASSERT_EQ(f->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&b)), S_OK);
    EXPECT_NE(a, b);
    EXPECT_EQ(a->AddRef(), 2u);  // 1 from creation (the factory's own reference is gone)
    EXPECT_EQ(a->Release(), 1u);
    EXPECT_EQ(a->Release(), 0u);
    EXPECT_EQ(b->Release(), 0u);

    void* p = &a;
    EXPECT_EQ(f->CreateInstance(nullptr, IID_IClassFactory, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    IUnknown* outer = reinterpret_cast<IUnknown*>(f.get());
    EXPECT_EQ(f->CreateInstance(outer, IID_IUnknown, &p), CLASS_E_NOAGGREGATION);
  }
}

TEST(ZoomObjects, UnknownClassIsNotAvailable) {
  const CLSID others[] = {GUID_NULL, zoom::IID_IZoomConn, zoom::LIBID_Zoom, makeGuid("C5C862E6-1A6F-11D9-895C-0050BAC1BFD6")};
  for (const CLSID& clsid : others) {
    void* p = &p;
    EXPECT_EQ(lib().getClassObject(clsid, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
  }
  void* p = &p;
  EXPECT_EQ(lib().getClassObject(CLSID_ZoomConn, IID_IDispatch, &p), E_NOINTERFACE);  // a class object is no IDispatch
  EXPECT_EQ(p, nullptr);
}

TEST(ZoomObjects, CanUnloadOnlyWhenNothingIsHeld) {
  ASSERT_EQ(lib().canUnloadNow(), S_OK);

  // A record outliving the result set and the connection it came from keeps the library.
  ComPtr<IDispatch> conn = lib().create(CLSID_ZoomConn);
  ComPtr<IDispatch> rs = lib().create(CLSID_ZoomRs);
  ComPtr<IDispatch> rec = lib().create(CLSID_ZoomRec);
  EXPECT_EQ(lib().canUnloadNow(), S_FALSE);
  rs.reset();
  conn.reset();
  EXPECT_EQ(lib().canUnloadNow(), S_FALSE);
  rec.reset();
  EXPECT_EQ(lib().canUnloadNow(), S_OK);

  // A client's reference on a class object, and a server lock, hold it too.
  ComPtr<IClassFactory> f;
  ASSERT_EQ(lib().getClassObject(CLSID_ZoomRs, IID_IClassFactory, f.putVoid()), S_OK);
  EXPECT_EQ(lib().canUnloadNow(), S_FALSE);
  EXPECT_EQ(f->LockServer(1), S_OK);
  f.reset();
  EXPECT_EQ(lib().canUnloadNow(), S_FALSE);
  ASSERT_EQ(lib().getClassObject(CLSID_ZoomRs, IID_IClassFactory, f.putVoid()), S_OK);
  EXPECT_EQ(f->LockServer(0), S_OK);
  EXPECT_EQ(f->LockServer(0), S_OK);  // one too many: must not free the client's own hold
  EXPECT_EQ(lib().canUnloadNow(), S_FALSE);
  f.reset();
  EXPECT_EQ(lib().canUnloadNow(), S_OK);
}

TEST(ZoomObjects, ReferenceCountingIsAtomic) {
  ComPtr<IDispatch> d = lib().create(CLSID_ZoomRec);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        d->AddRef();
        d->Release();
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(d->AddRef(), 2u);
  EXPECT_EQ(d->Release(), 1u);
}

struct Method {
  const char16_t* name;
  DISPID id;
  UINT params;
};
struct Table {
  const char* cls;
  CLSID clsid;
  std::vector<Method> methods;
};
const Table kTables[] = {
    {"ZoomConn", CLSID_ZoomConn,
     {{u"Connect", 1, 2}, {u"GetOption", 2, 1}, {u"GetOptionLong", 3, 1}, {u"SetOption", 4, 2},
      {u"SetOptionLong", 5, 2}, {u"Search", 6, 3}, {u"Close", 7, 0}, {u"SearchPqf", 8, 1}}},
    {"ZoomRs", CLSID_ZoomRs, {{u"GetSize", 1, 0}, {u"GetRecord", 2, 1}, {u"Delete", 3, 0}, {u"BriefRecord", 4, 1}}},
    {"ZoomRec", CLSID_ZoomRec,
     {{u"GetRender", 1, 0}, {u"GetRaw", 2, 0}, {u"GetOIDs", 3, 0}, {u"GetXml", 4, 0}, {u"AutoCvtEacc", 5, 1}}},
    {"ZoomSvr", CLSID_ZoomSvr,
     {{u"Startup", 1, 3}, {u"GetPeerName", 2, 0}, {u"SetRsCount", 3, 1}, {u"SetRecord", 4, 1}, {u"Cleanup", 5, 0},
      {u"GetQuery", 6, 0}}},
};

TEST(ZoomObjects, GetIDsOfNamesGivesTheTable) {
  for (const Table& t : kTables) {
    SCOPED_TRACE(t.cls);
    ComPtr<IDispatch> d = lib().create(t.clsid);
    for (const Method& m : t.methods) {
      DISPID id = 0;
      const char16_t* names[] = {m.name};
      EXPECT_EQ(d->GetIDsOfNames(GUID_NULL, names, 1, 0, &id), S_OK);
      EXPECT_EQ(id, m.id);
      std::u16string lower = m.name;
      for (auto& c : lower)
        if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
      names[0] = lower.c_str();
      EXPECT_EQ(d->GetIDsOfNames(GUID_NULL, names, 1, 0, &id), S_OK);
      EXPECT_EQ(id, m.id);
    }
    const char16_t* unknown[] = {u"Connects"};
    DISPID id = 0;
    EXPECT_EQ(d->GetIDsOfNames(GUID_NULL, unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    UINT count = 7;
    EXPECT_EQ(d->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
  }
}

TEST(ZoomObjects, InvokeChecksIdentifierAndArgumentCount) {
  for (const Table& t : kTables) {
    SCOPED_TRACE(t.cls);
    ComPtr<IDispatch> d = lib().create(t.clsid);
    DISPID past = DISPID(t.methods.size() + 1);
    for (DISPID bad : {past, DISPID(0), DISPID(-1), DISPID(100)}) EXPECT_EQ(call(d.get(), bad, {}), DISP_E_MEMBERNOTFOUND) << bad;
    for (const Method& m : t.methods) {
      std::vector<Variant> one_more(m.params + 1, Variant(1));
      EXPECT_EQ(call(d.get(), m.id, one_more), DISP_E_BADPARAMCOUNT) << m.id;
      if (m.params) {
        std::vector<Variant> one_less(m.params - 1, Variant(1));
        EXPECT_EQ(call(d.get(), m.id, one_less), DISP_E_BADPARAMCOUNT) << m.id;
      }
    }
  }
  ComPtr<IDispatch> conn = lib().create(CLSID_ZoomConn);
  EXPECT_EQ(call(conn.get(), 9, {Variant(u"x")}), DISP_E_MEMBERNOTFOUND);
  DISPPARAMS p;
  Variant arg(u"x");
  DISPID named = 0;
  p.rgvarg = &arg;
  p.cArgs = 1;
  p.rgdispidNamedArgs = &named;
  p.cNamedArgs = 1;
  EXPECT_EQ(conn->Invoke(2, GUID_NULL, 0, DISPATCH_METHOD, &p, nullptr, nullptr, nullptr), DISP_E_NONAMEDARGS);
  p.cNamedArgs = 0;
  EXPECT_EQ(conn->Invoke(2, GUID_NULL, 0, DISPATCH_PROPERTYPUT, &p, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
}

// An object argument holding its own reference.
Variant objectArg(IDispatch* d) {
  d->AddRef();
  return Variant(d);
}

TEST(ZoomObjects, ArgumentsThatDoNotConvertAreTypeMismatches) {
  ComPtr<IDispatch> conn = lib().create(CLSID_ZoomConn);
  ComPtr<IDispatch> other = lib().create(CLSID_ZoomRec);
  UINT argErr = 99;
  // SetOptionLong(szName, nValue): nValue (rgvarg[0]) is an object.
  EXPECT_EQ(call(conn.get(), 5, {objectArg(other.get()), Variant(u"n")}, nullptr, &argErr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 0u);
  EXPECT_EQ(call(conn.get(), 5, {Variant(u"12x"), Variant(u"n")}, nullptr, &argErr), DISP_E_TYPEMISMATCH);
  // Connect(szHostName, szProxy): szHostName (rgvarg[1]) is an object.
  EXPECT_EQ(call(conn.get(), 1, {Variant(u""), objectArg(other.get())}, nullptr, &argErr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 1u);
  EXPECT_EQ(other->AddRef(), 2u);  // the arguments gave back what they held
  other->Release();
  // Numbers and texts convert into each other as a late-bound caller expects.
  EXPECT_EQ(call(conn.get(), 5, {Variant(u" 42 "), Variant(7)}), S_OK);
}

TEST(ZoomObjects, EmptyResultsHaveTheirTypes) {
  ComPtr<IDispatch> conn = lib().create(CLSID_ZoomConn);
  Variant r;
  ASSERT_EQ(call(conn.get(), 2, {Variant(u"errno")}, &r), S_OK);  // GetOption -> BSTR
  ASSERT_EQ(r.vt, VT_BSTR);
  EXPECT_NE(r.bstrVal, nullptr);  // an empty string, never null
  EXPECT_EQ(SysStringLen(r.bstrVal), 0u);
  VariantClear(&r);  // Invoke writes into an empty result slot; it does not free what was there
  ASSERT_EQ(call(conn.get(), 3, {Variant(u"errno")}, &r), S_OK);  // GetOptionLong -> long
  EXPECT_EQ(r.vt, VT_I4);
  ASSERT_EQ(call(conn.get(), 7, {}, &r), S_OK);  // Close -> none
  EXPECT_EQ(r.vt, VT_EMPTY);
  EXPECT_EQ(call(conn.get(), 7, {}, nullptr), S_OK);  // no result slot at all
}

}  // namespace
