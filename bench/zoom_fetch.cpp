// bench-libs: zoom_client_engine zoom_test_servers
// Z39.50 fetch speed: records fetched from the tests' fixture server on the loopback and
// converted to internal record text (GetXml), per kind of record; then our client against
// zoomsh on one yaz-ztest: 1,000 records fetched one after another through GetRecord and
// zoomsh's "show 0 1000", with and without a delay on each present request.
#include "marc_fixture.h"
#include "server_process.h"

#include "z3950/connection.h"
#include "z3950/result_set.h"

#include <platform/paths.h>
#include <qorvel_testing/testing.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
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

// --- our client against zoomsh, same yaz-ztest, same run ---

constexpr int kPeerRecords = 1000;
constexpr int kRounds = 3;

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Connect, search and fetch every record in turn; the best of the rounds, or -1 when a
// record did not come.
double oursSeconds(const ServerProcess& ztest, const std::string& database) {
  double best = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    qtest::TempDir dir;
    const auto start = std::chrono::steady_clock::now();
    auto conn = z3950::Connection::create((dir / "zoom.xml").string());
    conn->SetOption(u"preferredRecordSyntax", u"usmarc");
    if (conn->Connect(platform::fromUtf8(ztest.hostText()), u"") != 0) return -1;
    std::shared_ptr<z3950::ResultSet> rs =
        conn->Search(platform::fromUtf8(database), u"", platform::fromUtf8(std::to_string(kPeerRecords)));
    if (rs->GetSize() != kPeerRecords) return -1;
    for (int i = 0; i < kPeerRecords; ++i)
      if (rs->GetRecord(i)->empty() || conn->lastError() != 0) return -1;
    best = std::min(best, secondsSince(start));
  }
  return best;
}

// zoomsh from its start to its end; -1 when it failed.
double zoomshSeconds(const ServerProcess& ztest, const std::string& database) {
  double best = 1e9;
  const std::string n = std::to_string(kPeerRecords);
  const std::string command = "zoomsh 'set preferredRecordSyntax usmarc' 'open " + ztest.hostText() + "/" +
                              database + "' 'find " + n + "' 'show 0 " + n + "' quit";
  for (int round = 0; round < kRounds; ++round) {
    std::string out;
    const auto start = std::chrono::steady_clock::now();
    if (qtest::run(command, &out) != 0) return -1;
    const double took = secondsSince(start);
    // One line per record, each beginning with its position.
    if (out.find(std::to_string(kPeerRecords - 1) + " ") == std::string::npos) return -1;
    best = std::min(best, took);
  }
  return best;
}

void comparePeers() {
  qtest::TempDir dir;
  qtest::TempHome home;
  ServerProcess ztest("yaz-ztest", {}, dir / "ztest.log");
  if (!ztest.running()) {
    std::printf("yaz-ztest did not start: no comparison\n");
    return;
  }
  std::printf("\n%d records from one yaz-ztest, best of %d (records per second):\n", kPeerRecords, kRounds);
  std::printf("%-28s %12s %12s %8s\n", "present delay", "ours", "zoomsh", "ratio");
  for (const char* delay : {"", "0.005"}) {
    const std::string database = *delay ? std::string("Default?present-delay=") + delay : "Default";
    const double ours = oursSeconds(ztest, database);
    const double theirs = zoomshSeconds(ztest, database);
    const std::string label = *delay ? std::string(delay) + " s" : "none";
    if (ours <= 0 || theirs <= 0) {
      std::printf("%-28s %12s\n", label.c_str(), ours <= 0 ? "ours failed" : "zoomsh failed");
      continue;
    }
    std::printf("%-28s %12.0f %12.0f %8.2f\n", label.c_str(), kPeerRecords / ours, kPeerRecords / theirs,
                theirs / ours);
  }
}

}  // namespace

BENCHMARK(BM_FetchGbk)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FetchMarc21)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FetchEacc)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConvertOnly)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  comparePeers();
  return 0;
}
