// The log-on to both kinds of server, over stand-in objects that note the calls they get
// (the dispatch identifiers of zoom.ZoomConn and Kelvra.Server).
#include <com/com.h>
#include <com/drivers/ServerLogOn.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace com;

namespace {

ModuleLocks fakeLocks;

class FakeZoomConn : public DispatchObject<FakeZoomConn> {
 public:
  int32_t Connect(const std::u16string& host, const std::u16string&) {
    calls.push_back(u"Connect " + host);
    return 0;
  }
  void SetOption(const std::u16string& name, const std::u16string& value) { calls.push_back(name + u"=" + value); }

  static const IID& Iid() {
    static constexpr IID iid = makeGuid("5A1E0000-0000-4000-8000-000000000001");
    return iid;
  }
  static std::span<const DispMethod<FakeZoomConn>> Methods();
  static ModuleLocks& Locks() { return fakeLocks; }

  std::vector<std::u16string> calls;
};

const DispMethod<FakeZoomConn> kZoomConn[] = {
    {1, u"Connect", 2,
     [](FakeZoomConn& o, const DispArgs& a, DispResult& r) { r.Long(o.Connect(a.Text(0), a.Text(1))); }},
    {4, u"SetOption", 2, [](FakeZoomConn& o, const DispArgs& a, DispResult&) { o.SetOption(a.Text(0), a.Text(1)); }},
};
std::span<const DispMethod<FakeZoomConn>> FakeZoomConn::Methods() { return kZoomConn; }

// Answers Connect and Login as it is told; a call told to fail throws out of the object, which
// the wrapper turns into ComError.
class FakeKelvraServer : public DispatchObject<FakeKelvraServer> {
 public:
  int32_t Connect(const std::u16string& host, const std::u16string& code) {
    calls.push_back(u"Connect " + host + u" " + code);
    if (connectThrows) throw std::runtime_error("broken");
    return connectAnswer;
  }
  int32_t Login(const std::u16string& user, const std::u16string& password) {
    calls.push_back(u"Login " + user + u"/" + password);
    if (loginThrows) throw std::runtime_error("broken");
    return loginAnswer;
  }

  static const IID& Iid() {
    static constexpr IID iid = makeGuid("5A1E0000-0000-4000-8000-000000000002");
    return iid;
  }
  static std::span<const DispMethod<FakeKelvraServer>> Methods();
  static ModuleLocks& Locks() { return fakeLocks; }

  std::vector<std::u16string> calls;
  int32_t connectAnswer = 0, loginAnswer = 0;
  bool connectThrows = false, loginThrows = false;
};

const DispMethod<FakeKelvraServer> kKelvraServer[] = {
    {2, u"Connect", 2,
     [](FakeKelvraServer& o, const DispArgs& a, DispResult& r) { r.Long(o.Connect(a.Text(0), a.Text(1))); }},
    {4, u"Login", 2,
     [](FakeKelvraServer& o, const DispArgs& a, DispResult& r) { r.Long(o.Login(a.Text(0), a.Text(1))); }},
};
std::span<const DispMethod<FakeKelvraServer>> FakeKelvraServer::Methods() { return kKelvraServer; }

using Calls = std::vector<std::u16string>;

TEST(ZoomAccount, UserFirstThenGroupAndPasswordWhenGiven) {
  struct Case {
    const char16_t *user, *password, *group;
    Calls calls;
  } cases[] = {
      {u"", u"secret", u"staff", {}},
      {u"cat", u"", u"", {u"user=cat"}},
      {u"cat", u"secret", u"", {u"user=cat", u"password=secret"}},
      {u"cat", u"secret", u"staff", {u"user=cat", u"group=staff", u"password=secret"}},
      {u"cat", u"", u"staff", {u"user=cat", u"group=staff"}},
  };
  for (const Case& c : cases) {
    ComPtr<FakeZoomConn> object = make<FakeZoomConn>();
    CZoomConnDriver conn(object.get(), false);
    SetZoomAccount(conn, c.user, c.password, c.group);
    EXPECT_EQ(object->calls, c.calls) << std::string(c.user, c.user + std::char_traits<char16_t>::length(c.user));
  }
}

TEST(KelvraLogOn, ConnectsThenLogsInAndSaysWhichStepFailed) {
  struct Case {
    const char* what;
    int32_t connectAnswer, loginAnswer;
    bool connectThrows, loginThrows, goOn;
    KelvraLogOn result;
    Calls calls;
  } cases[] = {
      {"both answer 0", 0, 0, false, false, true, KelvraLogOn::Done, {u"Connect kv 001", u"Login cat/pw"}},
      {"no connection", 14, 0, false, false, true, KelvraLogOn::NotConnected, {u"Connect kv 001"}},
      {"refused", 0, 3, false, false, true, KelvraLogOn::NotLoggedIn, {u"Connect kv 001", u"Login cat/pw"}},
      {"given up between", 0, 0, false, false, false, KelvraLogOn::Stopped, {u"Connect kv 001"}},
      {"connect fails as a call", 0, 0, true, false, true, KelvraLogOn::NotConnected, {u"Connect kv 001"}},
      {"login fails as a call", 0, 0, false, true, true, KelvraLogOn::NotLoggedIn,
       {u"Connect kv 001", u"Login cat/pw"}},
  };
  for (const Case& c : cases) {
    ComPtr<FakeKelvraServer> object = make<FakeKelvraServer>();
    object->connectAnswer = c.connectAnswer;
    object->loginAnswer = c.loginAnswer;
    object->connectThrows = c.connectThrows;
    object->loginThrows = c.loginThrows;
    CKelvraServerDriver server(object.get(), false);
    int asked = 0;
    KelvraLogOn result = LogOnToKelvra(server, u"kv", u"001", u"cat", u"pw", [&] {
      ++asked;
      return c.goOn;
    });
    EXPECT_EQ(result, c.result) << c.what;
    EXPECT_EQ(object->calls, c.calls) << c.what;
    const bool connects = c.connectAnswer == 0 && !c.connectThrows;
    EXPECT_EQ(asked, connects ? 1 : 0) << c.what << ": asked between the two steps only once connected";
  }
}

TEST(KelvraLogOn, WithoutAnObjectTheServerIsNotConnected) {
  CKelvraServerDriver server;
  EXPECT_EQ(LogOnToKelvra(server, u"kv", u"000", u"public", u""), KelvraLogOn::NotConnected);
}

}  // namespace
