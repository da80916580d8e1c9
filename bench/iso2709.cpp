// bench-libs: loomkit_objects
// ISO 2709 conversion speed over 10,000 CNMARC records per code page (GBK, UTF-8, EACC):
// read from a file, loaded, written back to a file, beside yaz-marcdump converting the same
// file in the same run (records/s, MB/s and the ratio); the conversion steps apart; and the
// code-table lookups.
#include <loomkit/CvtCode.h>
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>

#include "../loomkit/src/cvtcode_internal.h"

#include <platform/codepage.h>
#include <platform/file.h>
#include <platform/text.h>
#include <qorvel_testing/testing.h>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using u16 = std::u16string;
constexpr int kRecords = 10000;

const char16_t kHan[] = u"中文题名王小明著北京书局出版社图书馆编目数据标准资料研究历史文学科学技术";

u16 sampleRecord(int i) {
  auto han = [&](int n, int seed) {
    u16 s;
    for (int k = 0; k < n; ++k) s.push_back(kHan[size_t((seed * 7 + k * 3) % (std::size(kHan) - 1))]);
    return s;
  };
  u16 t = u"<marc><header>00000nam\x11\x11" u"2200000\x11\x11\x11" u"4500</header>";
  t += platform::format(u"<field name=\"001\">CAL%08d</field>", i);
  t += u"<field name=\"005\">20240101120000.0</field>";
  t += u"<field name=\"010\" indicator=\"\x11\x11\"><sf name=\"a\">978-7-" + platform::format(u"%05d", i) +
       u"-1</sf><sf name=\"d\">CNY42.00</sf></field>";
  t += u"<field name=\"200\" indicator=\"1\x11\"><sf name=\"a\">" + han(12, i) + u"</sf><sf name=\"f\">" +
       han(3, i + 1) + u"\x11著</sf></field>";
  t += u"<field name=\"210\" indicator=\"\x11\x11\"><sf name=\"a\">北京</sf><sf name=\"c\">" + han(5, i + 2) +
       u"</sf><sf name=\"d\">2024</sf></field>";
  t += u"<field name=\"330\" indicator=\"\x11\x11\"><sf name=\"a\">" + han(120, i + 3) + u"</sf></field>";
  t += u"<field name=\"701\" indicator=\"\x11" u"0\"><sf name=\"a\">" + han(3, i + 4) + u"</sf></field>";
  return t + u"</marc>";
}

struct Corpus {
  qtest::TempDir dir;
  std::vector<std::string> gbk, utf8, eacc;  // one record each
  std::string gbkFile, utf8File, eaccFile;
};

Corpus& corpus() {
  static std::unique_ptr<Corpus> c = [] {
    auto c = std::make_unique<Corpus>();
    std::vector<char16_t> iso(100000), out(100000);
    for (int i = 0; i < kRecords; ++i) {
      CMarc m;
      u16 text = sampleRecord(i);
      m.SetContent(text.c_str());
      CMarcFile f;
      int32_t n = f.Jinei2Iso(m, iso.data(), int32_t(iso.size()));
      for (auto [cp, list] : {std::pair{0, &c->gbk}, std::pair{65001, &c->utf8}, std::pair{-2, &c->eacc}}) {
        f.SetAttributeEx(cp, 0, 3);
        int32_t bytes = f.CvtCharset(iso.data(), out.data(), int32_t(out.size()));
        list->emplace_back(reinterpret_cast<const char*>(out.data()), size_t(bytes));
      }
      (void)n;
    }
    auto save = [&](const std::vector<std::string>& recs, const char* name, std::string& path) {
      std::string all;
      for (auto& r : recs) all += r;
      path = (c->dir / name).string();
      qtest::writeFile(path, all);
    };
    save(c->gbk, "records.gbk", c->gbkFile);
    save(c->utf8, "records.utf8", c->utf8File);
    save(c->eacc, "records.marc8", c->eaccFile);
    return c;
  }();
  return *c;
}

// One record read and written again: widen, decode EACC runs, Iso2Jinei, load, Jinei2Iso,
// bytes in the same code page.
void roundTrip(benchmark::State& state, int codePage, const std::vector<std::string>& recs) {
  std::vector<char16_t> text(128000), scratch(100001), iso(100000), out(100000);
  size_t bytesTotal = 0;
  for (auto _ : state) {
    for (const std::string& rec : recs) {
      CMarcFile f;
      f.SetAttributeEx(codePage, 0, 3);
      u16 wide = platform::toWide(codePage == -2 ? 0 : codePage, rec);
      int32_t len = int32_t(wide.size());
      std::copy(wide.begin(), wide.end(), text.begin());
      if (codePage == -2) len = f.DecodeEaccRuns(text.data(), len);
      int32_t n = f.Iso2Jinei(text.data(), scratch.data(), len, int32_t(text.size()));
      CMarc m;
      m.SetContent(text.data());
      n = f.Jinei2Iso(m, iso.data(), int32_t(iso.size()));
      n = f.CvtCharset(iso.data(), out.data(), int32_t(out.size()));
      benchmark::DoNotOptimize(n);
      bytesTotal += rec.size();
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(recs.size()));
  state.SetBytesProcessed(int64_t(bytesTotal));
}

// The two halves apart, in GBK: reading (widen, Iso2Jinei) and writing (Jinei2Iso, bytes).
void BM_Read_GBK(benchmark::State& state) {
  std::vector<char16_t> text(128000), scratch(100001);
  CMarcFile f;
  const std::vector<std::string>& recs = corpus().gbk;  // built before the timing starts
  for (auto _ : state)
    for (const std::string& rec : recs) {
      u16 wide = platform::toWide(0, rec);
      std::copy(wide.begin(), wide.end(), text.begin());
      benchmark::DoNotOptimize(f.Iso2Jinei(text.data(), scratch.data(), int32_t(wide.size()), int32_t(text.size())));
    }
  state.SetItemsProcessed(int64_t(state.iterations()) * kRecords);
}

void BM_Write_GBK(benchmark::State& state) {
  std::vector<std::unique_ptr<CMarc>> records;
  for (int i = 0; i < kRecords; ++i) {
    records.push_back(std::make_unique<CMarc>());
    records.back()->SetContent(sampleRecord(i).c_str());
  }
  std::vector<char16_t> iso(100000), out(100000);
  CMarcFile f;
  f.SetAttribute(0, 0);
  for (auto _ : state)
    for (auto& m : records) {
      f.Jinei2Iso(*m, iso.data(), int32_t(iso.size()));
      benchmark::DoNotOptimize(f.CvtCharset(iso.data(), out.data(), int32_t(out.size())));
    }
  state.SetItemsProcessed(int64_t(state.iterations()) * kRecords);
}

void BM_RoundTrip_GBK(benchmark::State& s) { roundTrip(s, 0, corpus().gbk); }
void BM_RoundTrip_UTF8(benchmark::State& s) { roundTrip(s, 65001, corpus().utf8); }
void BM_RoundTrip_EACC(benchmark::State& s) { roundTrip(s, -2, corpus().eacc); }

// CPU seconds used so far by this process (`who` RUSAGE_SELF) or its finished children
// (RUSAGE_CHILDREN): on a busy machine a fairer yardstick than the wall clock.
double cpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void rateCounters(benchmark::State& state, int64_t records, int64_t bytes, double cpu) {
  state.counters["records/s"] = benchmark::Counter(double(records), benchmark::Counter::kIsRate);
  state.counters["MB/s"] = benchmark::Counter(double(bytes) / 1e6, benchmark::Counter::kIsRate);
  state.counters["records/cpu-s"] = cpu > 0 ? double(records) / cpu : 0;
}

// The whole road through files, as a conversion run takes it: each record read from the file
// into a record object (ReadFromIso2709), then appended to an output file in the same form
// (AppendToIso2709).
void fileRoundTrip(benchmark::State& state, int codePage, const std::string& path) {
  const std::string out = path + ".out";
  int64_t records = 0, bytes = 0;
  const int64_t size = int64_t(qtest::readFile(path).size());
  const double cpu0 = cpuSeconds(RUSAGE_SELF);
  for (auto _ : state) {
    // A new file each time: truncating one that holds data makes the file system flush it.
    ::unlink(out.c_str());
    platform::CFile in(::open(path.c_str(), O_RDONLY), true);
    platform::CFile target(::open(out.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644), true);
    CMarcFile reader, writer;
    writer.SetAttributeEx(codePage, 0, 3);
    CMarc marc;
    int count = 0;
    while (reader.ReadFromIso2709(marc, in) > 0) {
      writer.AppendToIso2709(marc, target);
      ++count;
    }
    if (count != kRecords) state.SkipWithError("wrong record count");
    records += count;
    bytes += size;
  }
  rateCounters(state, records, bytes, cpuSeconds(RUSAGE_SELF) - cpu0);
}

void BM_File_GBK(benchmark::State& s) { fileRoundTrip(s, 0, corpus().gbkFile); }
void BM_File_UTF8(benchmark::State& s) { fileRoundTrip(s, 65001, corpus().utf8File); }
void BM_File_EACC(benchmark::State& s) { fileRoundTrip(s, -2, corpus().eaccFile); }

// yaz-marcdump over the same file: ISO 2709 in that character set to ISO 2709 in UTF-8, and
// to MARCXML (the form closest to our internal record text).
void yaz(benchmark::State& state, const std::string& from, const std::string& file, const char* output) {
  const std::string out = file + ".yaz";
  std::string cmd = "yaz-marcdump -f " + from + " -t utf-8 -o " + output + " '" + file + "' > '" + out + "'";
  const int64_t size = int64_t(qtest::readFile(file).size());
  int64_t records = 0, bytes = 0;
  const double cpu0 = cpuSeconds(RUSAGE_CHILDREN);
  for (auto _ : state) {
    ::unlink(out.c_str());
    if (qtest::run(cmd) != 0) state.SkipWithError("yaz-marcdump failed");
    records += kRecords;
    bytes += size;
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kRecords);
  rateCounters(state, records, bytes, cpuSeconds(RUSAGE_CHILDREN) - cpu0);
}

void BM_Yaz_GBK_to_marc(benchmark::State& s) { yaz(s, "gbk", corpus().gbkFile, "marc"); }
void BM_Yaz_UTF8_to_marc(benchmark::State& s) { yaz(s, "utf-8", corpus().utf8File, "marc"); }
void BM_Yaz_MARC8_to_marc(benchmark::State& s) { yaz(s, "marc8", corpus().eaccFile, "marc"); }
void BM_Yaz_GBK_to_marcxml(benchmark::State& s) { yaz(s, "gbk", corpus().gbkFile, "marcxml"); }
void BM_Yaz_UTF8_to_marcxml(benchmark::State& s) { yaz(s, "utf-8", corpus().utf8File, "marcxml"); }
void BM_Yaz_MARC8_to_marcxml(benchmark::State& s) { yaz(s, "marc8", corpus().eaccFile, "marcxml"); }

// Lookups, each over all the characters of its table.
std::vector<char16_t> tableCharacters() {
  std::vector<char16_t> out;
  for (char16_t c = 0x4E00; c <= 0x9FA5; ++c)
    if (loomkit::codetables::eaccOf(c)) out.push_back(c);
  return out;
}

void BM_Unicode2Eacc(benchmark::State& state) {
  std::vector<char16_t> chars = tableCharacters();
  CCvtCode codes(u"Codes");
  char out[3];
  for (auto _ : state)
    for (char16_t c : chars) benchmark::DoNotOptimize(codes.Unicode2Eacc(&c, out));
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(chars.size()));
}

void BM_Eacc2Unicode(benchmark::State& state) {
  std::vector<u16> codesText;
  for (char16_t c : tableCharacters()) {
    uint32_t e = loomkit::codetables::eaccOf(c);
    codesText.push_back({char16_t(e >> 16), char16_t((e >> 8) & 0xFF), char16_t(e & 0xFF)});
  }
  CCvtCode codes(u"Codes");
  char16_t out[4];
  for (auto _ : state)
    for (const u16& t : codesText) benchmark::DoNotOptimize(codes.Eacc2Unicode(t.c_str(), out, 4));
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(codesText.size()));
}

void BM_PinyinLookup(benchmark::State& state) {
  std::vector<std::string> keys;
  for (char16_t c = 0x4E00; c <= 0x9FA5; ++c) keys.push_back(platform::toNarrow(0, u16(1, c)));
  for (auto _ : state)
    for (const std::string& k : keys) benchmark::DoNotOptimize(loomkit::codetables::pinyinLine(k));
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(keys.size()));
}

void BM_PinyinLookupFromUtf16(benchmark::State& state) {
  for (auto _ : state)
    for (char16_t c = 0x4E00; c <= 0x9FA5; ++c) benchmark::DoNotOptimize(loomkit::codetables::pinyinLineFor(c));
  state.SetItemsProcessed(int64_t(state.iterations()) * (0x9FA5 - 0x4E00 + 1));
}

}  // namespace

BENCHMARK(BM_File_GBK)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_Yaz_GBK_to_marc)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_File_UTF8)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_Yaz_UTF8_to_marc)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_File_EACC)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_Yaz_MARC8_to_marc)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_Read_GBK)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Write_GBK)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RoundTrip_GBK)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Yaz_GBK_to_marcxml)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RoundTrip_UTF8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Yaz_UTF8_to_marcxml)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RoundTrip_EACC)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Yaz_MARC8_to_marcxml)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Unicode2Eacc);
BENCHMARK(BM_Eacc2Unicode);
BENCHMARK(BM_PinyinLookup);
BENCHMARK(BM_PinyinLookupFromUtf16);

namespace {

// Prints, after the table, how many records per second our file road does against
// yaz-marcdump converting the same file in the same run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      auto it = r.counters.find("records/s");
      if (it != r.counters.end()) rates_[r.benchmark_name()] = it->second.value;
      it = r.counters.find("records/cpu-s");
      if (it != r.counters.end()) cpuRates_[r.benchmark_name()] = it->second.value;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const std::pair<const char*, const char*> pairs[] = {
        {"GBK", "BM_Yaz_GBK_to_marc"}, {"UTF8", "BM_Yaz_UTF8_to_marc"}, {"EACC", "BM_Yaz_MARC8_to_marc"}};
    for (auto [form, yazName] : pairs) {
      const std::string mine = std::string("BM_File_") + form;
      double ours = rate(rates_, mine), theirs = rate(rates_, yazName);
      double oursCpu = rate(cpuRates_, mine), theirsCpu = rate(cpuRates_, yazName);
      if (ours > 0 && theirs > 0)
        std::printf("%-5s read+convert+write: %9.0f records/s, yaz-marcdump %9.0f records/s, ratio %.2fx;"
                    " per CPU second %9.0f vs %9.0f, ratio %.2fx\n",
                    form, ours, theirs, ours / theirs, oursCpu, theirsCpu, theirsCpu > 0 ? oursCpu / theirsCpu : 0);
    }
  }

 private:
  // The run's figure, or with --benchmark_repetitions the median of the runs.
  static double rate(const std::map<std::string, double>& rates, const std::string& prefix) {
    double single = 0;
    for (const auto& [name, value] : rates) {
      if (name.rfind(prefix + "/", 0) != 0) continue;
      if (name.size() > 7 && name.compare(name.size() - 7, 7, "_median") == 0) return value;
      if (name.find("time_") == std::string::npos) single = value;  // not an aggregate
    }
    return single;
  }
  std::map<std::string, double> rates_, cpuRates_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
