// bench-libs: qorvel_xml
// Parsing and writing one record's internal text of about 100,000 characters (~2,000 fields),
// the largest a record reaches, plus the lookups the record classes make over it.
#include <xml/dom.h>

#include <platform/text.h>

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::u16string recordText() {
  std::u16string t = u"<marc><header>01234nam\u0011\u00112200277\u0011\u0011\u00114500</header>";
  t += u"<field name=\"001\">012345678901</field>";
  // Half control-field sized, half data fields with subfields: about 50 characters a field.
  for (int i = 0; t.size() < 100000; ++i) {
    std::u16string tag = platform::fromUtf8(std::to_string(100 + i % 800));
    if (i % 2 == 0) {
      t += u"<field name=\"" + tag + u"\">20261210</field>";
      continue;
    }
    t += u"<field name=\"" + tag + u"\" indicator=\"\u0011\u0011\">";
    t += u"<sf name=\"a\">Title\u0011" + tag + u"</sf><sf name=\"b\">\u0013x\u0014</sf>";
    t += u"</field>";
  }
  return t + u"</marc>";
}

const std::u16string& text() {
  static const std::u16string t = recordText();
  return t;
}

// Loading into a new document (dropping the tree afterwards is not timed).
void BM_Parse(benchmark::State& state) {
  size_t fields = 0;
  for (auto _ : state) {
    xml::Document d = xml::Document::create();
    benchmark::DoNotOptimize(d.loadXml(text()));
    state.PauseTiming();
    fields = d.documentElement().childCount();
    d = xml::Document();
    state.ResumeTiming();
  }
  state.counters["chars"] = double(text().size());
  state.counters["fields"] = double(fields);
}
BENCHMARK(BM_Parse)->Unit(benchmark::kMicrosecond);

// Loading again into the same document: the previous tree is let go as part of the load.
void BM_Reload(benchmark::State& state) {
  xml::Document d = xml::Document::create();
  for (auto _ : state) benchmark::DoNotOptimize(d.loadXml(text()));
}
BENCHMARK(BM_Reload)->Unit(benchmark::kMicrosecond);

void BM_Serialise(benchmark::State& state) {
  xml::Document d = xml::Document::create();
  d.loadXml(text());
  xml::Node root = d.documentElement();
  for (auto _ : state) benchmark::DoNotOptimize(root.xml());
}
BENCHMARK(BM_Serialise)->Unit(benchmark::kMicrosecond);

void BM_IndexEveryField(benchmark::State& state) {
  xml::Document d = xml::Document::create();
  d.loadXml(text());
  xml::Node root = d.documentElement();
  for (auto _ : state) {
    size_t n = root.childCount(), sum = 0;
    for (size_t i = 0; i < n; ++i) sum += root.child(i).attributeCount();
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_IndexEveryField)->Unit(benchmark::kMicrosecond);

void BM_SelectByTag(benchmark::State& state) {
  xml::Document d = xml::Document::create();
  d.loadXml(text());
  xml::Node root = d.documentElement();
  for (auto _ : state) benchmark::DoNotOptimize(root.selectNodes(u"./field[@name=\"450\"]"));
}
BENCHMARK(BM_SelectByTag)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
