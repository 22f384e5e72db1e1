// Canonical programs in tests/cases come back byte-identical from parse and emit, and emit the same twice.
#include "emit/emitter.h"
#include "ir/ctx.h"
#include "ir/scope.h"
#include "parse/parser.h"
#include "parse/parserctx.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string readFile(const std::filesystem::path& aPath) {
  std::ifstream in(aPath, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Parses the text into the global scope of a fresh context and prints that scope; the text is scanned ahead of
// the parse on a second thread when asked.
std::string parseAndEmit(const std::string& aText, bool aScanAhead = false) {
  CG_Ctx ctx;
  CG::QulParser parser(&ctx, ctx.pool(), ctx.globalScope(), ctx.globalScope());
  if (aScanAhead)
    parser.ctx()->setScanAheadFrom(0);
  parser.parse(aText.c_str());
  return CG::emitQuillEx(ctx.globalScope(), CG::QulEmitterOptions(nullptr, 3));
}

std::vector<std::string> caseNames() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(QUILL_SOURCE_DIR "/tests/cases"))
    if (entry.path().extension() == ".qul")
      names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

class CanonicalCase : public ::testing::TestWithParam<std::string> {};

TEST_P(CanonicalCase, ComesBackUnchanged) {
  std::string text = readFile(std::filesystem::path(QUILL_SOURCE_DIR "/tests/cases") / (GetParam() + ".qul"));
  std::string emitted = parseAndEmit(text);
  EXPECT_EQ(text, emitted);
  EXPECT_EQ(emitted, parseAndEmit(emitted, true));
}

INSTANTIATE_TEST_SUITE_P(Cases, CanonicalCase, ::testing::ValuesIn(caseNames()),
                         [](const ::testing::TestParamInfo<std::string>& aInfo) { return aInfo.param; });

} // namespace
