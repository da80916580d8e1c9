// bench-libs: zoom_client_engine zoom_client_testkit
// Z39.50 fetch speed: records fetched from the tests' fixture server on the loopback and
// converted to internal record text (GetXml), per kind of record.
#include "marc_fixture.h"
#include "server_process.h"

#include "z3950/connection.h"
#include "z3950/result_set.h"

#include <platform/paths.h>
#include <qorvel_testing/testing.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace ztest;

constexpr int kRecords = 50;

std::string gbkRecord(int i) {
  return isoRecord({{"001", "gbk" + std::to_string(i)},
                    {"010", df('a', "978-7-111-0757" + std::to_string(i % 10))},
                    {"200", "1 " + sf('a', "\xD6\xD0\xCE\xC4\xCA\xE9\xC3\xFB") + sf('f', "\xD5\xC5\xC8\xFD")},
                    {"210", df('a', "\xB1\xB1\xBE\xA9") + sf('c', "\xBB\xFA\xD0\xB5\xB9\xA4\xD2\xB5") + sf('d', "2006")},
                    {"300", df('a', std::string(400, 'n'))}});
}

std::string marc21Record(int i) {
  return isoRecord({{"001", "m" + std::to_string(i)},
                    {"008", field008("eng")},
                    {"100", "1 " + sf('a', "M\xE8uller, Hans")},
                    {"245", "10" + sf('a', "Caf\xE2 society") + sf('c', "by H. M\xE8uller")},
                    {"880", "10" + sf('a', "\xD6\xD0\xCE\xC4")},
                    {"500", df('a', std::string(400, 'n'))}});
}

std::string eaccRecord(int i) {
  std::string eacc;
  for (int k = 0; k < 40; ++k) eacc += "!0#!0$";
  return isoRecord({{"001", "e" + std::to_string(i)}, {"245", "10" + sf('a', "\x1B$1" + eacc + "\x1B(B")}});
}

// One fixture server, connection and record folder per kind of record.
struct Peer {
  qtest::TempDir dir;
  qtest::TempHome home;
  std::unique_ptr<ServerProcess> server;
  std::shared_ptr<z3950::Connection> conn;

  explicit Peer(std::string (*make)(int)) {
    std::filesystem::create_directories(dir / "records");
    for (int i = 0; i < kRecords; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "%04d.mrc", i);
      qtest::writeFile(dir / "records" / name, make(i));
    }
    server = std::make_unique<ServerProcess>(
        ZOOM_FIXTURE_SERVER,
        std::vector<std::string>{(dir / "records").string(), (dir / "requests.log").string(), "-S"},
        dir / "front.log");
    conn = z3950::Connection::create((dir / "zoom.xml").string());
    conn->Connect(platform::fromUtf8(server->hostText()), u"");
  }
};

void fetchAndConvert(benchmark::State& state, std::string (*make)(int)) {
  Peer peer(make);
  if (!peer.server->running() || !peer.conn->connected()) {
    state.SkipWithError("fixture server not reachable");
    return;
  }
  size_t chars = 0;
  for (auto _ : state) {
    // A new result set each round: every record comes over the wire again.
    std::shared_ptr<z3950::ResultSet> rs = peer.conn->SearchPqf(u"any");
    for (int i = 0; i < rs->GetSize(); ++i) chars += rs->GetRecord(i)->GetXml().size();
  }
  benchmark::DoNotOptimize(chars);
  state.SetItemsProcessed(int64_t(state.iterations()) * kRecords);
}

void BM_FetchGbk(benchmark::State& state) { fetchAndConvert(state, gbkRecord); }
void BM_FetchMarc21(benchmark::State& state) { fetchAndConvert(state, marc21Record); }
void BM_FetchEacc(benchmark::State& state) { fetchAndConvert(state, eaccRecord); }

// Conversion alone, from records already fetched.
void BM_ConvertOnly(benchmark::State& state) {
  Peer peer(marc21Record);
  std::shared_ptr<z3950::ResultSet> rs = peer.conn->SearchPqf(u"any");
  std::vector<std::unique_ptr<z3950::Record>> recs;
  for (int i = 0; i < rs->GetSize(); ++i) recs.push_back(rs->GetRecord(i));
  if (recs.empty()) {
    state.SkipWithError("no records");
    return;
  }
  size_t chars = 0;
  for (auto _ : state)
    for (const auto& r : recs) chars += r->GetXml().size();
  benchmark::DoNotOptimize(chars);
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(recs.size()));
}

}  // namespace

BENCHMARK(BM_FetchGbk)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FetchMarc21)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FetchEacc)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConvertOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
