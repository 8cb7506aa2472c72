// Text operations over large texts: each must stay linear in the input, and
// FindText on plain ASCII must stay close to a bare std::string_view::find.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace {

constexpr int kMiB = 1 << 20;
constexpr const char* kNeedle = "zentravo-needle";

// ASCII words separated by ';', or the same with two-byte GBK characters mixed in.
// The needle stands at the very end, so a search walks the whole text.
std::string MakeText(int bytes, bool mixed) {
  const std::string ascii = "lorem ipsum dolor;key=value;";
  const std::string gbk = "\xD6\xD0\xCE\xC4;\xB2\xE9\xD1\xAF x;";  // 中文 查询
  std::string text;
  text.reserve(static_cast<size_t>(bytes) + 64);
  bool useGbk = false;
  while (text.size() < static_cast<size_t>(bytes)) {
    text += (mixed && useGbk) ? gbk : ascii;
    useGbk = !useGbk;
  }
  text.resize(static_cast<size_t>(bytes) - std::string_view(kNeedle).size());
  text += kNeedle;
  return text;
}

const zentravo::Text& Input(int bytes, bool mixed) {
  static const zentravo::Text ascii1(MakeText(kMiB, false)), ascii8(MakeText(8 * kMiB, false));
  static const zentravo::Text mixed1(MakeText(kMiB, true)), mixed8(MakeText(8 * kMiB, true));
  if (mixed) return bytes == kMiB ? mixed1 : mixed8;
  return bytes == kMiB ? ascii1 : ascii8;
}

void SetBytes(benchmark::State& state, const zentravo::Text& text) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * zentravo::TextLength(text));
}

void BM_FindText(benchmark::State& state) {
  const zentravo::Text& text = Input(static_cast<int>(state.range(0)), state.range(1) != 0);
  for (auto _ : state) benchmark::DoNotOptimize(zentravo::FindText(text, kNeedle));
  SetBytes(state, text);
}

void BM_FindTextIgnoringCase(benchmark::State& state) {
  const zentravo::Text& text = Input(static_cast<int>(state.range(0)), state.range(1) != 0);
  for (auto _ : state) benchmark::DoNotOptimize(zentravo::FindText(text, "ZENTRAVO-NEEDLE", 1, true));
  SetBytes(state, text);
}

void BM_StringViewFind(benchmark::State& state) {
  const zentravo::Text& text = Input(static_cast<int>(state.range(0)), state.range(1) != 0);
  const std::string_view view = text.str();
  for (auto _ : state) benchmark::DoNotOptimize(view.find(kNeedle));
  SetBytes(state, text);
}

void BM_ReplaceSubtext(benchmark::State& state) {
  const zentravo::Text& text = Input(static_cast<int>(state.range(0)), state.range(1) != 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(zentravo::ReplaceSubtext(text, ";", zentravo::Text("; "), {}, {}, true));
  }
  SetBytes(state, text);
}

void BM_SplitText(benchmark::State& state) {
  const zentravo::Text& text = Input(static_cast<int>(state.range(0)), state.range(1) != 0);
  for (auto _ : state) benchmark::DoNotOptimize(zentravo::SplitText(text, ";"));
  SetBytes(state, text);
}

// The same cut done the plainest way, into std::strings, as a reference for what
// the memory system alone costs at each size.
void BM_PlainSplitReference(benchmark::State& state) {
  const zentravo::Text& text = Input(static_cast<int>(state.range(0)), state.range(1) != 0);
  const std::string_view view = text.str();
  for (auto _ : state) {
    std::vector<std::string> parts;
    parts.reserve(static_cast<size_t>(std::count(view.begin(), view.end(), ';')) + 1);
    for (size_t start = 0;;) {
      const size_t end = view.find(';', start);
      if (end == std::string_view::npos) {
        if (start < view.size()) parts.emplace_back(view.substr(start));
        break;
      }
      parts.emplace_back(view.substr(start, end - start));
      start = end + 1;
    }
    benchmark::DoNotOptimize(parts);
  }
  SetBytes(state, text);
}

// Arguments: {size in bytes, mixed GBK (1) or plain ASCII (0)}.
void Sizes(benchmark::internal::Benchmark* b) {
  for (int mixed : {0, 1}) {
    for (int size : {kMiB, 8 * kMiB}) b->Args({size, mixed});
  }
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_FindText)->Apply(Sizes);
BENCHMARK(BM_StringViewFind)->Apply(Sizes);
BENCHMARK(BM_FindTextIgnoringCase)->Apply(Sizes);
BENCHMARK(BM_ReplaceSubtext)->Apply(Sizes);
BENCHMARK(BM_SplitText)->Apply(Sizes);
BENCHMARK(BM_PlainSplitReference)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
