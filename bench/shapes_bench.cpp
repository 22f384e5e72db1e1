// Texts made of one shape repeated n times, or one token n bytes long: shapes that once cost quadratic time.
// Each benchmark reports its complexity in n, which must come out n or n log n; a long number is bound by
// the multiplication of wide integers, about n^1.6, which the fit shows as the nearer of n log n and n^2.
#include "emit/emitter.h"
#include "ir/ctx.h"
#include "ir/scope.h"
#include "parse/parser.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

// n conditional gotos to one label at the end: the label's merge gets n + 1 in-ports.
std::string gotosToOneLabel(int aCount) {
  std::string text = "function((var(int32,x)),(var(int32,y)),f)\n{\n";
  for (int i = 0; i < aCount; ++i)
    text += "if(<(x," + std::to_string(i) + ")) { goto(L); } else { }\n";
  return text + "label(L);\n=(y,1);\n}\n";
}

// n functions whose parameters share their names, each calling the next one: every function takes the
// names x and y over from the one before, and each makes and drops a parameter scope.
std::string functionsSharingNames(int aCount) {
  std::string text;
  for (int i = 0; i < aCount; ++i)
    text += "function((var(int32,x)),(var(int32,y)),f" + std::to_string(i) + ")\n{\nf" +
            std::to_string((i + 1) % aCount) + "(x);\n}\n";
  return text;
}

// A function of n parameters and a call that passes n arguments to it.
std::string manyParameters(int aCount) {
  std::string params, args;
  for (int i = 0; i < aCount; ++i) {
    params += (i ? ",var(int32,a" : "var(int32,a") + std::to_string(i) + ")";
    args += (i ? "," : "") + std::to_string(i);
  }
  return "function((" + params + "),(var(int32,y)),f)\n{\n=(y,a0);\n}\n" +
         "function((),(var(int32,z)),g)\n{\nf(" + args + ");\n}\n";
}

// One string initial value of n bytes: a token far longer than the scanner's buffer.
std::string longString(int aCount) {
  return "var(string,s <- '" + std::string(static_cast<size_t>(aCount), 'a') + "' );\n";
}

// One integer constant of n decimal digits, which wraps to 32 bits.
std::string longNumber(int aCount) {
  return "function((),(var(int32,y)),f)\n{\n=(y,1" + std::string(static_cast<size_t>(aCount - 1), '7') + ");\n}\n";
}

void parse(CG_Ctx& aCtx, const std::string& aText) {
  CG::QulParser parser(&aCtx, aCtx.pool(), aCtx.globalScope(), aCtx.globalScope());
  parser.parse(aText.c_str());
}

void parseEach(benchmark::State& aState, const std::string& aText) {
  for (auto _ : aState) {
    auto ctx = std::make_unique<CG_Ctx>();
    parse(*ctx, aText);
    aState.PauseTiming();
    ctx.reset();
    aState.ResumeTiming();
  }
  aState.SetComplexityN(aState.range(0));
}

// Parsing and printing, as "quill fmt" does.
void fmtEach(benchmark::State& aState, const std::string& aText) {
  for (auto _ : aState) {
    auto ctx = std::make_unique<CG_Ctx>();
    parse(*ctx, aText);
    benchmark::DoNotOptimize(CG::emitQuill(ctx->globalScope()));
    aState.PauseTiming();
    ctx.reset();
    aState.ResumeTiming();
  }
  aState.SetComplexityN(aState.range(0));
}

// Only parsing is timed: n gotos to one label print as n nested if statements, a text of quadratic size.
void BM_ParseGotosToOneLabel(benchmark::State& aState) {
  parseEach(aState, gotosToOneLabel(static_cast<int>(aState.range(0))));
}
BENCHMARK(BM_ParseGotosToOneLabel)->Arg(5000)->Arg(20000)->Arg(80000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_FmtFunctionsSharingNames(benchmark::State& aState) {
  fmtEach(aState, functionsSharingNames(static_cast<int>(aState.range(0))));
}
BENCHMARK(BM_FmtFunctionsSharingNames)
    ->Arg(5000)
    ->Arg(20000)
    ->Arg(80000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Complexity();

void BM_FmtManyParameters(benchmark::State& aState) {
  fmtEach(aState, manyParameters(static_cast<int>(aState.range(0))));
}
BENCHMARK(BM_FmtManyParameters)
    ->Arg(20000)
    ->Arg(80000)
    ->Arg(320000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Complexity();

void BM_ParseLongString(benchmark::State& aState) {
  parseEach(aState, longString(static_cast<int>(aState.range(0))));
}
BENCHMARK(BM_ParseLongString)->Arg(1 << 20)->Arg(1 << 22)->Arg(1 << 24)->Unit(benchmark::kMillisecond)->Complexity();

void BM_ParseLongNumber(benchmark::State& aState) {
  parseEach(aState, longNumber(static_cast<int>(aState.range(0))));
}
BENCHMARK(BM_ParseLongNumber)->Arg(100000)->Arg(400000)->Arg(1600000)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace
