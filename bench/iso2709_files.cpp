// bench-libs: Loomkit
// Reading and counting the records of a GBK ISO 2709 file of 100,000 records with
// CMarcFile::ReadFromIso2709, beside yaz-marcdump -n parsing the same file in the same run.
#include <loomkit/MarcFile.h>
#include <platform/codepage.h>
#include <qorvel_testing/testing.h>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kRecords = 100000;

std::string digits(long v, int width) {
  char b[24];
  std::snprintf(b, sizeof b, "%0*ld", width, v);
  return b;
}

// One catalogue record of about 700 bytes in GBK with a correct directory.
std::string gbkRecord(int n) {
  const std::string id = digits(n, 9);
  const std::u16string fields[][2] = {
      {u"001", u"CAL" + std::u16string(id.begin(), id.end())},
      {u"005", u"20240115093000.0"},
      {u"010", u"  \x1F" u"a978-7-5063-" + std::u16string(id.begin() + 5, id.end()) + u"\x1F" u"dCNY35.00"},
      {u"100", u"  \x1F" u"a20240115d2023    em y0chiy50      ea"},
      {u"101", u"0 \x1F" u"achi"},
      {u"200", u"1 \x1F" u"a中国古代文学作品选读\x1F" u"Azhong guo gu dai wen xue zuo pin xuan du\x1F" u"f王力主编"},
      {u"210", u"  \x1F" u"a北京\x1F" u"c人民文学出版社\x1F" u"d2023"},
      {u"215", u"  \x1F" u"a356页\x1F" u"d24cm"},
      {u"330", u"  \x1F" u"a本书精选先秦至明清各代的优秀文学作品，每篇附有注释与简析，供大学中文系教学使用。"},
      {u"606", u"0 \x1F" u"a古典文学\x1F" u"y中国\x1F" u"j作品集"},
      {u"690", u"  \x1F" u"aI212.01\x1F" u"v5"},
      {u"701", u" 0\x1F" u"a王力\x1F" u"Awang li\x1F" u"4主编"},
      {u"801", u" 0\x1F" u"aCN\x1F" u"bNLC\x1F" u"c20240115"},
  };
  std::string directory, data;
  for (const auto& f : fields) {
    std::string d = platform::toNarrow(0, f[1]) + "\x1E";
    directory += std::string(f[0].begin(), f[0].end()) + digits(long(d.size()), 4) + digits(long(data.size()), 5);
    data += d;
  }
  directory += "\x1E";
  long base = 24 + long(directory.size());
  long total = base + long(data.size()) + 1;
  return digits(total, 5) + "nam0 22" + digits(base, 5) + "   450 " + directory + data + "\x1D";
}

struct GbkFile {
  qtest::TempDir dir;
  std::string path;
  GbkFile() {
    path = (dir / "records.mrc").string();
    std::ofstream out(path, std::ios::binary);
    for (int i = 1; i <= kRecords; ++i) out << gbkRecord(i);
  }
};

GbkFile& file() {
  static GbkFile f;
  return f;
}

void ReadAndCount(benchmark::State& state) {
  const std::string& path = file().path;  // made before the timing starts
  std::vector<char16_t> buffer(128000);
  int64_t total = 0;
  for (auto _ : state) {
    int fd = ::open(path.c_str(), O_RDONLY);
    CMarcFile reader;
    int count = 0;
    while (reader.ReadFromIso2709(buffer.data(), int32_t(buffer.size()), fd) >= 0) ++count;
    ::close(fd);
    if (count != kRecords) state.SkipWithError("wrong record count");
    total += count;
  }
  state.counters["records/s"] = benchmark::Counter(double(total), benchmark::Counter::kIsRate);
}
BENCHMARK(ReadAndCount)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void YazMarcdumpCount(benchmark::State& state) {
  // Once, untimed: yaz-marcdump finds every record of the file (-p prints one line each).
  std::string seen;
  qtest::run("yaz-marcdump -n -p '" + file().path + "' 2>&1 | grep -c '^<!-- Record '", &seen);
  if (std::stoi("0" + seen) != kRecords) state.SkipWithError("yaz-marcdump does not see every record");
  const std::string command = "yaz-marcdump -n '" + file().path + "' > /dev/null 2>&1";
  int64_t total = 0;
  for (auto _ : state) {
    if (qtest::run(command) != 0) state.SkipWithError("yaz-marcdump failed");
    total += kRecords;
  }
  state.counters["records/s"] = benchmark::Counter(double(total), benchmark::Counter::kIsRate);
}
BENCHMARK(YazMarcdumpCount)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
