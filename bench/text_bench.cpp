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
// 查找: two-byte characters, the first of which the mixed text holds every 56 bytes.
constexpr const char* kTwoByteNeedle = "\xB2\xE9\xD5\xD2";

// ASCII words separated by ';', or the same with two-byte GBK characters mixed in.
// The needle stands at the very end, so a search walks the whole text; the mixed
// text has the two-byte needle just before it.
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
  const std::string end = std::string(mixed ? kTwoByteNeedle : "") + kNeedle;
  text.resize(static_cast<size_t>(bytes) - end.size());
  text += end;
  return text;
}

// Each size is served from copies that add up to 64 MiB, taken in turn, so every
// run reads its text from memory: a single 1 MiB text would stay in the processor's
// cache between runs while an 8 MiB one cannot, and the comparison of the two sizes
// would measure the cache rather than the operation.
constexpr int kCopiesBytes = 64 * kMiB;

class Inputs {
 public:
  Inputs(int bytes, bool mixed) {
    const std::string text = MakeText(bytes, mixed);
    for (int total = 0; total < kCopiesBytes; total += bytes) copies_.emplace_back(text);
  }
  const zentravo::Text& Next() { return copies_[next_++ % copies_.size()]; }
  int bytes() const { return zentravo::TextLength(copies_.front()); }

 private:
  std::vector<zentravo::Text> copies_;
  size_t next_ = 0;
};

Inputs& Input(int bytes, bool mixed) {
  static Inputs ascii1(kMiB, false), ascii8(8 * kMiB, false);
  static Inputs mixed1(kMiB, true), mixed8(8 * kMiB, true);
  if (mixed) return bytes == kMiB ? mixed1 : mixed8;
  return bytes == kMiB ? ascii1 : ascii8;
}

Inputs& Input(const benchmark::State& state) {
  return Input(static_cast<int>(state.range(0)), state.range(1) != 0);
}

void SetBytes(benchmark::State& state, const Inputs& inputs) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * inputs.bytes());
}

void BM_FindText(benchmark::State& state) {
  Inputs& inputs = Input(state);
  for (auto _ : state) benchmark::DoNotOptimize(zentravo::FindText(inputs.Next(), kNeedle));
  SetBytes(state, inputs);
}

// A needle the text does not hold: the search alone decides.
void BM_FindTextAbsent(benchmark::State& state) {
  Inputs& inputs = Input(state);
  for (auto _ : state) benchmark::DoNotOptimize(zentravo::FindText(inputs.Next(), "zentravo-absent"));
  SetBytes(state, inputs);
}

// A needle of two-byte characters in the mixed text.
void BM_FindTextTwoByte(benchmark::State& state) {
  Inputs& inputs = Input(state);
  for (auto _ : state) benchmark::DoNotOptimize(zentravo::FindText(inputs.Next(), kTwoByteNeedle));
  SetBytes(state, inputs);
}

void BM_StringViewFindTwoByte(benchmark::State& state) {
  Inputs& inputs = Input(state);
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::string_view(inputs.Next().str()).find(kTwoByteNeedle));
  }
  SetBytes(state, inputs);
}

void BM_FindTextIgnoringCase(benchmark::State& state) {
  Inputs& inputs = Input(state);
  for (auto _ : state) {
    benchmark::DoNotOptimize(zentravo::FindText(inputs.Next(), "ZENTRAVO-NEEDLE", 1, true));
  }
  SetBytes(state, inputs);
}

void BM_StringViewFind(benchmark::State& state) {
  Inputs& inputs = Input(state);
  for (auto _ : state) benchmark::DoNotOptimize(std::string_view(inputs.Next().str()).find(kNeedle));
  SetBytes(state, inputs);
}

void BM_ReplaceSubtext(benchmark::State& state) {
  Inputs& inputs = Input(state);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        zentravo::ReplaceSubtext(inputs.Next(), ";", zentravo::Text("; "), {}, {}, true));
  }
  SetBytes(state, inputs);
}

void BM_SplitText(benchmark::State& state) {
  Inputs& inputs = Input(state);
  for (auto _ : state) benchmark::DoNotOptimize(zentravo::SplitText(inputs.Next(), ";"));
  SetBytes(state, inputs);
}

// The same cut done the plainest way, into std::strings, as a reference for what
// the memory system alone costs at each size.
void BM_PlainSplitReference(benchmark::State& state) {
  Inputs& inputs = Input(state);
  for (auto _ : state) {
    const std::string_view view = inputs.Next().str();
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
  SetBytes(state, inputs);
}

// Arguments: {size in bytes, mixed GBK (1) or plain ASCII (0)}.
void Sizes(benchmark::internal::Benchmark* b) {
  for (int mixed : {0, 1}) {
    for (int size : {kMiB, 8 * kMiB}) b->Args({size, mixed});
  }
  b->Unit(benchmark::kMillisecond);
}

void MixedSizes(benchmark::internal::Benchmark* b) {
  for (int size : {kMiB, 8 * kMiB}) b->Args({size, 1});
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_FindText)->Apply(Sizes);
BENCHMARK(BM_StringViewFind)->Apply(Sizes);
BENCHMARK(BM_FindTextTwoByte)->Apply(MixedSizes);
BENCHMARK(BM_StringViewFindTwoByte)->Apply(MixedSizes);
BENCHMARK(BM_FindTextAbsent)->Apply(Sizes);
BENCHMARK(BM_FindTextIgnoringCase)->Apply(Sizes);
BENCHMARK(BM_ReplaceSubtext)->Apply(Sizes);
BENCHMARK(BM_SplitText)->Apply(Sizes);
BENCHMARK(BM_PlainSplitReference)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
