// Parser throughput and memory on generated modules of about 1, 10 and 50 MB of Quill text: parse alone, and
// parse followed by emit (the work of "quill fmt").
#include "tests/support/irgen.h"

#include "emit/emitter.h"
#include "ir/ctx.h"
#include "ir/mempool.h"
#include "ir/scope.h"
#include "parse/parser.h"

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

namespace {

constexpr double kMB = 1e6;

const std::string& moduleText(int aMegabytes) {
  static std::map<int, std::string> texts;
  auto found = texts.find(aMegabytes);
  if (found == texts.end())
    found = texts.emplace(aMegabytes, quilltest::generateModuleText(20261205, aMegabytes * kMB)).first;
  return found->second;
}

// Parses into the global scope of aCtx; returns the bytes the context's pool holds afterwards.
size_t parseInto(CG_Ctx& aCtx, const std::string& aText) {
  CG::QulParser parser(&aCtx, aCtx.pool(), aCtx.globalScope(), aCtx.globalScope());
  parser.parse(aText.c_str());
  return aCtx.pool()->bytesAllocated();
}

void report(benchmark::State& aState, const std::string& aText, size_t aPoolBytes) {
  double bytes = static_cast<double>(aText.size());
  aState.counters["MB/s"] =
      benchmark::Counter(bytes * static_cast<double>(aState.iterations()) / kMB, benchmark::Counter::kIsRate);
  aState.counters["text_MB"] = bytes / kMB;
  aState.counters["ir_bytes_per_input_byte"] = static_cast<double>(aPoolBytes) / bytes;
}

void BM_Parse(benchmark::State& aState) {
  const std::string& text = moduleText(static_cast<int>(aState.range(0)));
  size_t poolBytes = 0;
  for (auto _ : aState) {
    auto ctx = std::make_unique<CG_Ctx>();
    poolBytes = parseInto(*ctx, text);
    aState.PauseTiming(); // the context's teardown is not part of parsing
    ctx.reset();
    aState.ResumeTiming();
  }
  report(aState, text, poolBytes);
}
BENCHMARK(BM_Parse)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ParseAndEmit(benchmark::State& aState) {
  const std::string& text = moduleText(static_cast<int>(aState.range(0)));
  size_t poolBytes = 0;
  for (auto _ : aState) {
    CG_Ctx ctx;
    poolBytes = parseInto(ctx, text);
    benchmark::DoNotOptimize(CG::emitQuillEx(ctx.globalScope(), CG::QulEmitterOptions(nullptr, 3)));
  }
  report(aState, text, poolBytes);
}
BENCHMARK(BM_ParseAndEmit)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

} // namespace
