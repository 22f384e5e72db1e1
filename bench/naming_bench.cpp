// Naming cost: many symbols that share one base name must be named in linear total time.
#include "emit/aliasmanager.h"
#include "emit/emitter.h"
#include "ir/ctx.h"
#include "ir/mempool.h"
#include "ir/scope.h"
#include "ir/symbol.h"
#include "ir/typefactory.h"

#include <benchmark/benchmark.h>

namespace {

// Names n unnamed variables directly: qulVar, qulVar1, ... qulVar<n-1>.
void BM_NameUnnamedVariables(benchmark::State& aState) {
  const int count = static_cast<int>(aState.range(0));
  for (auto _ : aState) {
    aState.PauseTiming();
    CG_Ctx ctx;
    CG::Type* int32 = CG::TypeFactory(&ctx).signedInt32Type();
    std::vector<CG::Var*> vars;
    vars.reserve(count);
    for (int i = 0; i < count; ++i)
      vars.push_back(cg_var_create(ctx.globalScope(), int32, nullptr));
    CG::ManagedCGPool pool(&ctx);
    CG::AliasManager names(pool.pool(), &ctx);
    aState.ResumeTiming();
    for (CG::Var* var : vars)
      benchmark::DoNotOptimize(names.createOrGetQulNameForSymbol(var));
  }
  aState.SetItemsProcessed(aState.iterations() * count);
  aState.SetComplexityN(count);
}
BENCHMARK(BM_NameUnnamedVariables)->Arg(10000)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond)->Complexity();

// The same through the whole emitter: a module of n unnamed variables printed as text.
void BM_EmitUnnamedVariables(benchmark::State& aState) {
  const int count = static_cast<int>(aState.range(0));
  CG_Ctx ctx;
  CG::Type* int32 = CG::TypeFactory(&ctx).signedInt32Type();
  for (int i = 0; i < count; ++i)
    cg_var_create(ctx.globalScope(), int32, nullptr);
  size_t bytes = 0;
  for (auto _ : aState) {
    std::string text = CG::emitQuill(ctx.globalScope());
    bytes += text.size();
    benchmark::DoNotOptimize(text);
  }
  aState.SetBytesProcessed(static_cast<int64_t>(bytes));
  aState.SetComplexityN(count);
}
BENCHMARK(BM_EmitUnnamedVariables)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace
