// bench-libs: loomkit_objects
// ISO 2709 conversion speed beside yaz-marcdump, on the same work.
//
//   build/bench/iso2709 [--records=N] [--rounds=N]   the comparison (default 30,000 records,
//                                                    5 rounds)
//   build/bench/iso2709 --steps [benchmark flags]    the steps apart (Google Benchmark)
//   build/bench/iso2709 --convert IN OUT             one file to UTF-8 ISO 2709, as a program
//   build/bench/iso2709 --corpus=DIR [--records=N]   the three input files, kept in DIR (for
//                                                    profiling --convert by hand)
//
// The comparison: CNMARC-like records (about 40% CJK by characters) are written as MARCXML and
// turned by yaz-marcdump into three input files, GBK, UTF-8 and MARC-8. Each input is then
// converted to UTF-8 ISO 2709 by both sides: ours in this process (ReadFromIso2709 into a record
// object, AppendToIso2709 in UTF-8) and as a whole program (this binary's --convert), yaz by
// `yaz-marcdump -f <set> -t utf-8 -o marc`. yaz's start is counted out by running it on an empty
// file in the same rounds and subtracting; the whole-program figures count it in, as they count
// ours. The outputs are compared record by record. Figures are medians over the rounds, per
// wall-clock second and per CPU second (the fairer one on a busy machine).
#include <loomkit/CvtCode.h>
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>

#include "../loomkit/src/codes/cvtcode_internal.h"

#include <platform/codepage.h>
#include <platform/file.h>
#include <platform/text.h>
#include <qorvel_testing/testing.h>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace {

using u16 = std::u16string;

// --- The corpus -------------------------------------------------------------------------------

// Common characters of Chinese catalogue records; only those of the EACC table are used, so
// that every record has a MARC-8 form.
const char16_t kHanPool[] =
    u"中国文学史研究出版社北京上海人民大学图书馆编著译主古代现当作品选集论丛刊新版教程理经济"
    u"科技术工业农医药法律政治哲思想艺音乐美育体地方志自然数物化生天计算机网络信息管料理系统"
    u"设程方法实验报告年月日第一二三四五六七八九十卷册部分外语英汉词典小说诗歌散记传";

std::vector<char16_t> hanCharacters() {
  std::vector<char16_t> out;
  for (char16_t c : u16(kHanPool))
    if (loomkit::codetables::eaccOf(c) && std::find(out.begin(), out.end(), c) == out.end()) out.push_back(c);
  return out;
}

struct Random {
  uint32_t state;
  uint32_t next(uint32_t n) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % n;
  }
};

std::string utf8(const u16& s) { return platform::toUtf8(s); }

std::string xmlText(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out += c;
  }
  return out;
}

// One CNMARC-like record as MARCXML.
std::string recordXml(int n, Random& r, const std::vector<char16_t>& han) {
  auto hanText = [&](int lo, int hi) {
    u16 s;
    for (int k = int(r.next(uint32_t(hi - lo + 1))) + lo; k > 0; --k) s.push_back(han[r.next(uint32_t(han.size()))]);
    return utf8(s);
  };
  auto digits = [&](int count) {
    std::string s;
    for (int k = 0; k < count; ++k) s.push_back(char('0' + r.next(10)));
    return s;
  };
  char id[16];
  std::snprintf(id, sizeof id, "%09d", n);
  std::string x = "<record><leader>00000nam  2200000   450 </leader>";
  x += "<controlfield tag=\"001\">CAL" + std::string(id) + "</controlfield>";
  x += "<controlfield tag=\"005\">2024" + digits(10) + ".0</controlfield>";
  auto field = [&](const char* tag, const char* ind, std::vector<std::pair<char, std::string>> subs) {
    x += std::string("<datafield tag=\"") + tag + "\" ind1=\"" + ind[0] + "\" ind2=\"" + ind[1] + "\">";
    for (auto& [code, text] : subs) x += std::string("<subfield code=\"") + code + "\">" + xmlText(text) + "</subfield>";
    x += "</datafield>";
  };
  field("010", "  ", {{'a', "978-7-" + digits(4) + "-" + digits(4) + "-" + digits(1)}, {'d', "CNY" + digits(2) + ".00"}});
  field("100", "  ", {{'a', "2024" + digits(4) + "d2023    em y0chiy50      ea"}});
  field("101", "0 ", {{'a', "chi"}});
  field("102", "  ", {{'a', "CN"}, {'b', "110000"}});
  field("200", "1 ", {{'a', hanText(4, 14)}, {'e', hanText(2, 8)},
                      {'f', hanText(2, 4) + " zhu"}});
  field("210", "  ", {{'a', hanText(2, 3)}, {'c', hanText(4, 8)}, {'d', "20" + digits(2)}});
  field("215", "  ", {{'a', digits(3) + " pages"}, {'c', "ill."}, {'d', "26 cm"}});
  if (r.next(2)) field("225", "2 ", {{'a', hanText(4, 10)}, {'v', digits(2)}});
  field("330", "  ", {{'a', hanText(120, 260) + ", " + hanText(40, 120) + "."}});
  if (r.next(2)) field("517", "1 ", {{'a', hanText(4, 12)}});
  field("606", "0 ", {{'a', hanText(2, 6)}, {'x', hanText(2, 4)}, {'j', hanText(2, 3)}});
  field("690", "  ", {{'a', "I" + digits(3) + "." + digits(2)}, {'v', "5"}});
  field("701", " 0", {{'a', hanText(2, 4)}, {'A', "wang xiao ming"}, {'4', "zhu"}});
  field("801", " 0", {{'a', "CN"}, {'b', "NLC"}, {'c', "2024" + digits(4)}});
  return x + "</record>";
}

struct Input {
  const char* form;     // as the figures name it
  const char* yazName;  // yaz-marcdump's name for the character set
  std::string path;
  size_t bytes = 0;
};

struct Corpus {
  qtest::TempDir dir;
  int records = 0;
  double cjkShare = 0;  // CJK characters among all characters of the record data
  Input inputs[3] = {{"GBK", "gbk", {}}, {"UTF-8", "utf-8", {}}, {"MARC-8", "marc8", {}}};
  std::string empty;  // an empty file, for yaz-marcdump's start
};

std::string shellQuoted(const std::string& s) { return "'" + s + "'"; }

// The records as MARCXML, then yaz-marcdump's three ISO 2709 files of them.
std::unique_ptr<Corpus> makeCorpus(int records) {
  auto c = std::make_unique<Corpus>();
  c->records = records;
  std::vector<char16_t> han = hanCharacters();
  Random r{20240101};
  std::string xml = "<collection xmlns=\"http://www.loc.gov/MARC21/slim\">\n";
  for (int i = 1; i <= records; ++i) xml += recordXml(i, r, han) + "\n";
  xml += "</collection>\n";
  const std::string xmlPath = (c->dir / "records.xml").string();
  qtest::writeFile(xmlPath, xml);
  for (Input& in : c->inputs) {
    in.path = (c->dir / (std::string("records.") + in.yazName)).string();
    if (qtest::run("yaz-marcdump -i marcxml -o marc -f utf-8 -t " + std::string(in.yazName) + " " + shellQuoted(xmlPath) +
                   " > " + shellQuoted(in.path)) != 0) {
      std::fprintf(stderr, "yaz-marcdump could not write the %s input\n", in.form);
      return nullptr;
    }
    in.bytes = qtest::readFile(in.path).size();
  }
  // The share of CJK characters, over the record data of the UTF-8 input.
  u16 all = platform::fromUtf8(qtest::readFile(c->inputs[1].path));
  size_t cjk = 0, chars = 0;
  for (char16_t ch : all) {
    if (ch < 0x20) continue;
    ++chars;
    cjk += ch >= 0x3000;
  }
  c->cjkShare = chars ? double(cjk) / double(chars) : 0;
  c->empty = (c->dir / "empty").string();
  qtest::writeFile(c->empty, "");
  return c;
}

// --- Measuring ----------------------------------------------------------------------------------

struct Cost {
  double wall = 0, cpu = 0;  // seconds
};

double cpuOf(const rusage& u) {
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// Converts `in` (any form the reader detects) to UTF-8 ISO 2709 in `out`; the records written,
// -1 when a file cannot be opened or a write fails.
int convertFile(const std::string& in, const std::string& out) {
  int inFd = ::open(in.c_str(), O_RDONLY), outFd = ::open(out.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (inFd < 0 || outFd < 0) return -1;
  platform::CFile source(inFd, true), target(outFd, true);
  CMarcFile reader, writer;
  writer.SetAttributeEx(65001, 0, 0);
  CMarc marc;
  int count = 0;
  while (reader.ReadFromIso2709(marc, source) > 0) {
    if (writer.AppendToIso2709(marc, target) <= 0) return -1;
    ++count;
  }
  return count;
}

// Ours in this process.
Cost oursInProcess(const std::string& in, const std::string& out, int records) {
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  double t0 = now();
  int n = convertFile(in, out);
  double t1 = now();
  getrusage(RUSAGE_SELF, &after);
  if (n != records) std::fprintf(stderr, "ours converted %d records of %d\n", n, records);
  return {t1 - t0, cpuOf(after) - cpuOf(before)};
}

// A program with its standard output going to `out`; its wall time and CPU time (its own rusage).
Cost program(const std::vector<std::string>& args, const std::string& out) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  double t0 = now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", argv[0]);
    posix_spawn_file_actions_destroy(&actions);
    return {};
  }
  int status = 0;
  rusage u{};
  wait4(pid, &status, 0, &u);
  double t1 = now();
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::fprintf(stderr, "%s failed\n", argv[0]);
  return {t1 - t0, cpuOf(u)};
}

Cost yaz(const Input& in, const std::string& file, const std::string& out) {
  return program({"yaz-marcdump", "-f", in.yazName, "-t", "utf-8", "-o", "marc", file}, out);
}

std::vector<std::string> splitRecords(const std::string& bytes) {
  std::vector<std::string> out;
  for (size_t pos = 0; pos < bytes.size();) {
    size_t end = bytes.find('\x1D', pos);
    if (end == std::string::npos) end = bytes.size() - 1;
    out.push_back(bytes.substr(pos, end + 1 - pos));
    pos = end + 1;
  }
  return out;
}

// Records that differ between the two outputs; the first difference is printed.
int differingRecords(const std::string& oursPath, const std::string& yazPath, const char* form) {
  std::vector<std::string> ours = splitRecords(qtest::readFile(oursPath)), theirs = splitRecords(qtest::readFile(yazPath));
  int differ = int(std::max(ours.size(), theirs.size()) - std::min(ours.size(), theirs.size()));
  for (size_t i = 0; i < std::min(ours.size(), theirs.size()); ++i) {
    if (ours[i] == theirs[i]) continue;
    if (differ == 0) std::printf("  %s: record %zu differs:\n    ours %s\n    yaz  %s\n", form, i + 1, ours[i].c_str(),
                                 theirs[i].c_str());
    ++differ;
  }
  return differ;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

struct Figures {
  std::vector<double> wall, cpu;
  void add(Cost c) {
    wall.push_back(c.wall);
    cpu.push_back(c.cpu);
  }
  double wallMedian() const { return median(wall); }
  double cpuMedian() const { return median(cpu); }
};

// Medians of the net cost: each run less the median start cost.
Cost net(const Figures& runs, const Figures& start) {
  return {std::max(1e-9, runs.wallMedian() - start.wallMedian()), std::max(1e-9, runs.cpuMedian() - start.cpuMedian())};
}
Cost gross(const Figures& runs) { return {runs.wallMedian(), runs.cpuMedian()}; }

void printPair(const char* what, int records, Cost ours, Cost theirs) {
  double ow = records / ours.wall, oc = records / ours.cpu, tw = records / theirs.wall, tc = records / theirs.cpu;
  std::printf("  %-14s ours %8.0f rec/s %8.0f rec/cpu-s | yaz-marcdump %8.0f rec/s %8.0f rec/cpu-s | %.2fx, %.2fx per cpu-s\n",
              what, ow, oc, tw, tc, ow / tw, oc / tc);
}

int compare(int records, int rounds) {
  std::unique_ptr<Corpus> c = makeCorpus(records);
  if (!c) return 1;
  double load[3] = {};
  getloadavg(load, 3);
  std::printf("%d records, %.0f%% CJK by characters; %d rounds; load average %.2f at the start\n", records,
              100 * c->cjkShare, rounds, load[0]);
  const std::string self = "/proc/self/exe";
  char exe[4096] = {};
  ssize_t n = readlink(self.c_str(), exe, sizeof exe - 1);
  const std::string program_ = n > 0 ? std::string(exe, size_t(n)) : self;
  int status = 0;
  for (const Input& in : c->inputs) {
    const std::string oursOut = in.path + ".ours", programOut = in.path + ".program", yazOut = in.path + ".yaz",
                      emptyOut = in.path + ".empty";
    Figures ours, prog, theirs, start;
    for (int r = 0; r < rounds; ++r) {
      ours.add(oursInProcess(in.path, oursOut, records));
      theirs.add(yaz(in, in.path, yazOut));
      prog.add(program({program_, "--convert", in.path, programOut}, "/dev/null"));
      start.add(yaz(in, c->empty, emptyOut));
    }
    std::printf("%s, %.1f MB (yaz-marcdump's start %.1f ms, counted out in process):\n", in.form, double(in.bytes) / 1e6,
                1e3 * start.wallMedian());
    printPair("in process", records, gross(ours), net(theirs, start));
    printPair("whole programs", records, gross(prog), gross(theirs));
    int differ = differingRecords(oursOut, yazOut, in.form);
    if (qtest::readFile(programOut) != qtest::readFile(oursOut)) {
      std::printf("  %s: the program's output differs from the in-process output\n", in.form);
      status = 1;
    }
    std::printf("  outputs: %d of %d records differ from yaz-marcdump's\n", differ, records);
    if (differ) status = 1;
  }
  getloadavg(load, 3);
  std::printf("load average %.2f at the end\n", load[0]);
  return status;
}

// --- The steps apart (--steps) ------------------------------------------------------------------

Corpus& stepCorpus() {
  static std::unique_ptr<Corpus> c = makeCorpus(10000);
  return *c;
}

// Reading alone: every record of the file into one record object.
void readFile(benchmark::State& state, int form) {
  const Input& in = stepCorpus().inputs[form];
  int64_t records = 0;
  for (auto _ : state) {
    platform::CFile source(::open(in.path.c_str(), O_RDONLY), true);
    CMarcFile reader;
    CMarc marc;
    while (reader.ReadFromIso2709(marc, source) > 0) ++records;
  }
  state.counters["records/s"] = benchmark::Counter(double(records), benchmark::Counter::kIsRate);
}

// Writing alone: loaded records appended to a file in UTF-8.
void writeFile(benchmark::State& state, int form) {
  const Input& in = stepCorpus().inputs[form];
  std::vector<std::unique_ptr<CMarc>> loaded;
  {
    platform::CFile source(::open(in.path.c_str(), O_RDONLY), true);
    CMarcFile reader;
    for (;;) {
      auto m = std::make_unique<CMarc>();
      if (reader.ReadFromIso2709(*m, source) <= 0) break;
      loaded.push_back(std::move(m));
    }
  }
  const std::string out = in.path + ".steps";
  int64_t records = 0;
  for (auto _ : state) {
    ::unlink(out.c_str());
    platform::CFile target(::open(out.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644), true);
    CMarcFile writer;
    writer.SetAttributeEx(65001, 0, 0);
    for (auto& m : loaded) writer.AppendToIso2709(*m, target);
    records += int64_t(loaded.size());
  }
  state.counters["records/s"] = benchmark::Counter(double(records), benchmark::Counter::kIsRate);
}

void BM_Read_GBK(benchmark::State& s) { readFile(s, 0); }
void BM_Read_UTF8(benchmark::State& s) { readFile(s, 1); }
void BM_Read_MARC8(benchmark::State& s) { readFile(s, 2); }
void BM_Write_UTF8(benchmark::State& s) { writeFile(s, 1); }

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

}  // namespace

BENCHMARK(BM_Read_GBK)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Read_UTF8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Read_MARC8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Write_UTF8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Unicode2Eacc);
BENCHMARK(BM_Eacc2Unicode);
BENCHMARK(BM_PinyinLookup);

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--convert") == 0) return convertFile(argv[2], argv[3]) < 0 ? 1 : 0;
  if (argc >= 2 && std::strcmp(argv[1], "--steps") == 0) {
    argv[1] = argv[0];
    benchmark::Initialize(&--argc, argv + 1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
  }
  int records = 30000, rounds = 5;
  std::string keep;
  for (int i = 1; i < argc; ++i) {
    if (std::sscanf(argv[i], "--records=%d", &records) == 1 || std::sscanf(argv[i], "--rounds=%d", &rounds) == 1) continue;
    if (std::strncmp(argv[i], "--corpus=", 9) == 0) {
      keep = argv[i] + 9;
      continue;
    }
    std::fprintf(stderr, "usage: %s [--records=N] [--rounds=N] | --steps [benchmark flags] | --convert IN OUT\n", argv[0]);
    return 2;
  }
  if (!keep.empty()) {
    std::unique_ptr<Corpus> c = makeCorpus(std::max(records, 1));
    if (!c) return 1;
    for (const Input& in : c->inputs) {
      std::string to = keep + "/records." + in.yazName;
      qtest::writeFile(to, qtest::readFile(in.path));
      std::printf("%s\n", to.c_str());
    }
    return 0;
  }
  return compare(std::max(records, 1), std::max(rounds, 1));
}
