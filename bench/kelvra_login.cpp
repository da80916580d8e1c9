// bench-libs: kelvra_store
// How long the record server stand-in takes to answer a log-in on a local server: the right
// password, a wrong one, and an account that does not exist. The last two should take the
// same time (both check the password against a hash of the same cost), so that the answer's
// time does not tell which accounts there are.
#include "store/errors.h"
#include "store/store.h"

#include <qorvel_testing/testing.h>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

std::shared_ptr<kelvra::Store> server() {
  static qtest::TempHome home;
  static std::shared_ptr<kelvra::Store> store = [] {
    int32_t error = 0;
    std::shared_ptr<kelvra::Store> s = kelvra::Store::create(u"main", &error);
    if (s) s->putAccount(u"cat", u"secret");
    return s;
  }();
  return store;
}

void logIn(benchmark::State& state, const char16_t* user, const char16_t* password, bool ok) {
  std::shared_ptr<kelvra::Store> store = server();
  if (!store) {
    state.SkipWithError("no server");
    return;
  }
  for (auto _ : state) {
    int32_t error = 0;
    if (store->checkLogin(user, password, &error) != ok) state.SkipWithError("unexpected answer");
  }
}

void RightPassword(benchmark::State& state) { logIn(state, u"cat", u"secret", true); }
void WrongPassword(benchmark::State& state) { logIn(state, u"cat", u"wrong", false); }
void UnknownAccount(benchmark::State& state) { logIn(state, u"dog", u"secret", false); }

BENCHMARK(RightPassword)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(WrongPassword)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(UnknownAccount)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
