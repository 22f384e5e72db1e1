// Emitter throughput and memory on generated modules of about 1, 10 and 50 MB of Quill text.
#include "tests/support/irgen.h"

#include "emit/emitter.h"
#include "ir/ctx.h"
#include "ir/scope.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

namespace {

constexpr double kMB = 1e6;

// Structured bodies with every kind of unstructured graph, which all print without failure.
quilltest::IrGenOptions moduleOptions(int aSize) {
  quilltest::IrGenOptions options;
  options.seed = 20261205;
  options.size = aSize;
  options.unstructured = true;
  options.separateJoins = true;
  return options;
}

// The number of generated statements that gives about aTargetBytes of text, measured on a sample module.
int sizeForBytes(double aTargetBytes) {
  constexpr int kSampleSize = 4000;
  CG_Ctx ctx;
  quilltest::generateModule(&ctx, moduleOptions(kSampleSize));
  double bytesPerStmt = static_cast<double>(CG::emitQuill(ctx.globalScope()).size()) / kSampleSize;
  return static_cast<int>(aTargetBytes / bytesPerStmt);
}

double peakRssMB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) * 1024 / kMB;
}

double currentRssMB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / kMB;
}

// Lets the peak seen by getrusage restart from the current size (Linux); without it the peak is the process's.
void resetPeakRss() {
  std::ofstream clearRefs("/proc/self/clear_refs");
  clearRefs << "5";
}

// A generated module of about range(0) MB of text.
std::unique_ptr<CG_Ctx> generatedModule(const benchmark::State& aState) {
  auto ctx = std::make_unique<CG_Ctx>();
  quilltest::generateModule(ctx.get(), moduleOptions(sizeForBytes(static_cast<double>(aState.range(0)) * kMB)));
  return ctx;
}

// Counts what is written to it and keeps none of it.
class CountingSink : public std::streambuf {
public:
  size_t count() const { return fCount; }

protected:
  std::streamsize xsputn(const char*, std::streamsize aCount) override {
    fCount += static_cast<size_t>(aCount);
    return aCount;
  }
  int_type overflow(int_type aByte) override {
    fCount += traits_type::eq_int_type(aByte, traits_type::eof()) ? 0 : 1;
    return traits_type::not_eof(aByte);
  }

private:
  size_t fCount = 0;
};

// Emits the whole module of about range(0) MB per iteration. Counters: MB/s of text, the text's size, the
// resident memory held by the IR before emission, and the peak resident memory while emitting. Rates are per
// second of wall time: the emitter prepares function bodies on a second thread.
void BM_EmitGeneratedModule(benchmark::State& aState) {
  auto start = std::chrono::steady_clock::now();
  std::unique_ptr<CG_Ctx> ctx = generatedModule(aState);
  double generationSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  double irRss = currentRssMB();
  resetPeakRss();
  size_t textBytes = 0;
  size_t totalBytes = 0;
  for (auto _ : aState) {
    std::string text = CG::emitQuill(ctx->globalScope());
    textBytes = text.size();
    totalBytes += text.size();
    benchmark::DoNotOptimize(text.data());
  }
  aState.SetBytesProcessed(static_cast<int64_t>(totalBytes));
  aState.counters["MB/s"] = benchmark::Counter(static_cast<double>(totalBytes) / kMB, benchmark::Counter::kIsRate);
  aState.counters["text_MB"] = static_cast<double>(textBytes) / kMB;
  aState.counters["ir_rss_MB"] = irRss;
  aState.counters["peak_rss_MB"] = peakRssMB();
  aState.counters["gen_s"] = generationSeconds;
}

// The same module printed to a stream in pieces, as `quill fmt` prints to a file: the emitter's own work, without
// the moves and fresh pages of one string growing to the whole text.
void BM_EmitGeneratedModuleToStream(benchmark::State& aState) {
  std::unique_ptr<CG_Ctx> ctx = generatedModule(aState);
  resetPeakRss();
  size_t totalBytes = 0;
  for (auto _ : aState) {
    CountingSink sink;
    std::ostream stream(&sink);
    CG::QulEmitterOptions options;
    options.setTextStream(&stream);
    CG::emitQuillEx(ctx->globalScope(), options);
    totalBytes += sink.count();
  }
  aState.SetBytesProcessed(static_cast<int64_t>(totalBytes));
  aState.counters["MB/s"] = benchmark::Counter(static_cast<double>(totalBytes) / kMB, benchmark::Counter::kIsRate);
  aState.counters["peak_rss_MB"] = peakRssMB();
}

BENCHMARK(BM_EmitGeneratedModule)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EmitGeneratedModuleToStream)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
