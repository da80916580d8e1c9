// bench-libs: Loomkit
// The record model on a large record: loading, counting and writing it back, and walking
// every field by tag and occurrence (which must grow linearly with the number of fields).
#include <benchmark/benchmark.h>
#include <loomkit/loomkit.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A record of `fields` data fields of 50 characters each (about 100,000 characters for
// 2,000 fields), with 50 different tags in a scattered order.
struct BigRecord {
  std::u16string text;
  std::vector<std::u16string> tags;  // tag of field i (from 1)
  std::vector<int32_t> occurrence;   // n of field i among the fields with its tag

  explicit BigRecord(int fields) {
    text = u"<marc><header>00000nam\u0011\u00112200000\u0011\u0011\u0011450\u0011</header>";
    tags.push_back(u"000");
    occurrence.push_back(0);
    std::vector<int32_t> seen(1000, 0);
    for (int i = 0; i < fields; ++i) {
      int t = 100 + (i * 37) % 50 * 13;
      std::u16string tag = {char16_t(u'0' + t / 100), char16_t(u'0' + t / 10 % 10), char16_t(u'0' + t % 10)};
      text += u"<field name=\"" + tag + u"\"><sf name=\"a\">data";
      text += char16_t(u'A' + i % 26);
      text += u"\u0011x</sf></field>";
      tags.push_back(tag);
      occurrence.push_back(seen[size_t(t)]++);
    }
    text += u"</marc>";
  }
};

void BM_SetContentCountGetContent(benchmark::State& state) {
  BigRecord big(int(state.range(0)));
  std::vector<char16_t> buffer(big.text.size() + 1);
  for (auto _ : state) {
    CMarc m;
    m.SetContent(big.text.c_str());
    benchmark::DoNotOptimize(m.GetFieldCount());
    if (!m.GetContent(buffer.data(), int32_t(buffer.size()))) state.SkipWithError("GetContent failed");
    benchmark::DoNotOptimize(buffer.data());
  }
  state.counters["chars"] = double(big.text.size());
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SetContentCountGetContent)->Arg(500)->Arg(1000)->Arg(2000)->Arg(4000)->Complexity();

void BM_GetFieldByTagOverAllFields(benchmark::State& state) {
  BigRecord big(int(state.range(0)));
  CMarc m;
  m.SetContent(big.text.c_str());
  for (auto _ : state) {
    for (size_t i = 1; i < big.tags.size(); ++i) {
      CField f = m.GetField(big.tags[i].c_str(), big.occurrence[i]);
      if (f.IsNull()) state.SkipWithError("field not found");
    }
  }
  state.SetItemsProcessed(state.iterations() * int64_t(big.tags.size() - 1));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_GetFieldByTagOverAllFields)->Arg(500)->Arg(1000)->Arg(2000)->Arg(4000)->Complexity();

// Walking by tag while editing each field's subfields keeps the field lookup cache.
void BM_GetFieldByTagAndAddSubfield(benchmark::State& state) {
  BigRecord big(int(state.range(0)));
  std::unique_ptr<CMarc> m;
  for (auto _ : state) {
    // Loading and destroying the record stay out of the measurement.
    state.PauseTiming();
    m = std::make_unique<CMarc>();
    m->SetContent(big.text.c_str());
    state.ResumeTiming();
    for (size_t i = 1; i < big.tags.size(); ++i)
      m->GetField(big.tags[i].c_str(), big.occurrence[i]).AddSubFld(u"b", u"added");
    state.PauseTiming();
    m.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(big.tags.size() - 1));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_GetFieldByTagAndAddSubfield)->Arg(500)->Arg(1000)->Arg(2000)->Arg(4000)->Complexity();

void BM_GetFieldByIndexOverAllFields(benchmark::State& state) {
  BigRecord big(2000);
  CMarc m;
  m.SetContent(big.text.c_str());
  for (auto _ : state) {
    int32_t count = m.GetFieldCount();
    for (int32_t i = 0; i < count; ++i) benchmark::DoNotOptimize(m.GetField(i).GetName());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(big.tags.size()));
}
BENCHMARK(BM_GetFieldByIndexOverAllFields);

}  // namespace

BENCHMARK_MAIN();
