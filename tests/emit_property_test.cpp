// Properties of the emitter's text for thousands of generated modules, structured and unstructured.
#include "tests/support/irgen.h"

#include "emit/emitter.h"
#include "ir/ctx.h"
#include "ir/scope.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using quilltest::generateModule;
using quilltest::IrGenOptions;
using quilltest::IrGenSummary;

struct EmittedModule {
  IrGenSummary summary;
  std::string text;
  double seconds = 0;
};

EmittedModule emitGenerated(const IrGenOptions& aOptions) {
  CG_Ctx ctx;
  EmittedModule module;
  module.summary = generateModule(&ctx, aOptions);
  auto start = std::chrono::steady_clock::now();
  module.text = CG::emitQuill(ctx.globalScope());
  module.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return module;
}

std::vector<std::string> splitLines(const std::string& aText) {
  std::vector<std::string> lines;
  std::istringstream in(aText);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

size_t indentOf(const std::string& aLine) {
  return aLine.find_first_not_of(' ') == std::string::npos ? aLine.size() : aLine.find_first_not_of(' ');
}

bool startsWith(const std::string& aText, const char* aPrefix) {
  return aText.rfind(aPrefix, 0) == 0;
}

bool endsWith(const std::string& aText, const std::string& aSuffix) {
  return aText.size() >= aSuffix.size() && aText.compare(aText.size() - aSuffix.size(), aSuffix.size(), aSuffix) == 0;
}

// Marker k of the generator shows as "s<k>" or as the integer kMarkerBase + k; how often each was printed.
std::map<long long, int> markerCounts(const std::string& aText) {
  static const std::regex kMarker("\\bs(\\d+)\\b|\\b(1\\d{9})\\b");
  std::map<long long, int> counts;
  for (auto it = std::sregex_iterator(aText.begin(), aText.end(), kMarker); it != std::sregex_iterator(); ++it) {
    const std::smatch& match = *it;
    long long marker =
        match[1].matched ? std::stoll(match[1].str()) : std::stoll(match[2].str()) - quilltest::kMarkerBase;
    ++counts[marker];
  }
  return counts;
}

// Every marker 0 .. n-1 exactly once, and nothing else.
std::string checkEveryStmtOnce(const std::string& aText, int aNumMarked) {
  std::map<long long, int> counts = markerCounts(aText);
  for (long long marker = 0; marker < aNumMarked; ++marker) {
    auto found = counts.find(marker);
    int count = found == counts.end() ? 0 : found->second;
    if (count != 1)
      return "statement " + std::to_string(marker) + " printed " + std::to_string(count) + " times";
  }
  if (counts.size() != static_cast<size_t>(aNumMarked))
    return "unexpected marker " + std::to_string(counts.rbegin()->first);
  return "";
}

// One function body: the lines between its "{" and its closing "}" at column 0.
struct Body {
  std::string header;
  std::vector<std::string> lines;
};

// Fails when a body does not close at column 0 or the text runs out inside one.
std::string collectBodies(const std::vector<std::string>& aLines, std::vector<Body>* aBodies) {
  for (size_t i = 0; i < aLines.size(); ++i) {
    if (!startsWith(aLines[i], "function(") || i + 1 >= aLines.size() || aLines[i + 1] != "{")
      continue;
    Body body;
    body.header = aLines[i];
    size_t j = i + 2;
    for (; j < aLines.size() && aLines[j] != "}"; ++j)
      body.lines.push_back(aLines[j]);
    if (j == aLines.size())
      return "no closing } at column 0 after " + body.header;
    aBodies->push_back(body);
    i = j;
  }
  return "";
}

// Indents are multiples of four, at least one level inside a body, and every "}" stands where its "{" line did.
std::string checkIndentation(const Body& aBody) {
  std::vector<size_t> open{0};
  for (const std::string& line : aBody.lines) {
    if (line == "// skipping body")
      continue;
    size_t indent = indentOf(line);
    std::string text = line.substr(indent);
    if (indent % 4 != 0 || indent < 4)
      return "bad indent " + std::to_string(indent) + ": '" + line + "' in " + aBody.header;
    if (startsWith(text, "}")) {
      if (open.size() < 2 || open.back() != indent)
        return "unbalanced close: '" + line + "' in " + aBody.header;
      open.pop_back();
    }
    if (endsWith(text, "{"))
      open.push_back(indent);
  }
  if (open.size() != 1)
    return "unclosed block in " + aBody.header;
  return "";
}

// Labels are unique within a body and every goto names one of them.
std::string checkLabels(const Body& aBody, int* aNumGotos) {
  static const std::regex kLabel("^ *label\\((L\\d+)\\);$");
  static const std::regex kGoto("^ *goto\\((L\\d+)\\);$");
  std::set<std::string> labels;
  std::vector<std::string> gotos;
  for (const std::string& line : aBody.lines) {
    std::smatch match;
    if (std::regex_match(line, match, kLabel) && !labels.insert(match[1].str()).second)
      return "label " + match[1].str() + " printed twice in " + aBody.header;
    if (std::regex_match(line, match, kGoto))
      gotos.push_back(match[1].str());
  }
  for (const std::string& target : gotos)
    if (!labels.count(target))
      return "goto(" + target + ") without label in " + aBody.header;
  *aNumGotos += static_cast<int>(gotos.size());
  return "";
}

// Texts that only a failed emission writes.
std::string checkNoFailureText(const std::string& aText) {
  for (const char* failure : {"Could not emit function", "QulEmitter quit early", "**Error", "!!"})
    if (aText.find(failure) != std::string::npos)
      return std::string("emission failed: ") + failure;
  return "";
}

// All properties of one module's text; the empty string when they hold.
std::string checkModule(const IrGenOptions& aOptions, int* aNumGotos) {
  EmittedModule first = emitGenerated(aOptions);
  if (std::string failure = checkNoFailureText(first.text); !failure.empty())
    return failure;
  if (first.text != emitGenerated(aOptions).text)
    return "a second emission of the same module differs";
  if (first.seconds > 2.0)
    return "emission took " + std::to_string(first.seconds) + " s";
  if (first.summary.numMarkedStmts != aOptions.size)
    return "the generator made " + std::to_string(first.summary.numMarkedStmts) + " statements";
  if (std::string failure = checkEveryStmtOnce(first.text, first.summary.numMarkedStmts); !failure.empty())
    return failure;
  std::vector<Body> bodies;
  if (std::string failure = collectBodies(splitLines(first.text), &bodies); !failure.empty())
    return failure;
  if (bodies.size() != static_cast<size_t>(first.summary.numFcns))
    return std::to_string(bodies.size()) + " bodies for " + std::to_string(first.summary.numFcns) + " functions";
  for (const Body& body : bodies) {
    if (std::string failure = checkIndentation(body); !failure.empty())
      return failure;
    if (std::string failure = checkLabels(body, aNumGotos); !failure.empty())
      return failure;
  }
  return "";
}

// Shapes of generated modules.
enum class Shape { STRUCTURED, UNSTRUCTURED_SEPARATE_JOINS, UNSTRUCTURED };

struct Batch {
  Shape shape;
  int size;
  int numSeeds;
};

const char* shapeName(Shape aShape) {
  switch (aShape) {
  case Shape::STRUCTURED: return "Structured";
  case Shape::UNSTRUCTURED_SEPARATE_JOINS: return "UnstructuredSeparateJoins";
  case Shape::UNSTRUCTURED: return "Unstructured";
  }
  return "";
}

void PrintTo(const Batch& aBatch, std::ostream* aOut) {
  *aOut << shapeName(aBatch.shape) << " size " << aBatch.size << " x" << aBatch.numSeeds;
}

std::string batchName(const ::testing::TestParamInfo<Batch>& aInfo) {
  return std::string(shapeName(aInfo.param.shape)) + "Size" + std::to_string(aInfo.param.size);
}

// Checks numSeeds modules of the batch, stopping after five failures; returns how many gotos they printed.
int checkBatch(const Batch& aBatch) {
  int numGotos = 0;
  int numFailures = 0;
  for (int seed = 0; seed < aBatch.numSeeds && numFailures < 5; ++seed) {
    IrGenOptions options;
    options.seed = static_cast<uint64_t>(seed) * 7919 + static_cast<uint64_t>(aBatch.size);
    options.size = aBatch.size;
    options.unstructured = aBatch.shape != Shape::STRUCTURED;
    options.separateJoins = aBatch.shape == Shape::UNSTRUCTURED_SEPARATE_JOINS;
    std::string failure = checkModule(options, &numGotos);
    if (failure.empty())
      continue;
    ++numFailures;
    ADD_FAILURE() << shapeName(aBatch.shape) << " seed " << options.seed << " size " << options.size << ": "
                  << failure;
  }
  return numGotos;
}

class GeneratedModules : public ::testing::TestWithParam<Batch> {};

TEST_P(GeneratedModules, EmissionKeepsEveryProperty) {
  const Batch& batch = GetParam();
  int numGotos = checkBatch(batch);
  if (batch.shape != Shape::STRUCTURED && batch.size >= 20) {
    EXPECT_GT(numGotos, 0) << "the unstructured modules never needed a goto";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Seeds, GeneratedModules,
    ::testing::Values(Batch{Shape::STRUCTURED, 0, 20}, Batch{Shape::STRUCTURED, 1, 200},
                      Batch{Shape::STRUCTURED, 7, 400}, Batch{Shape::STRUCTURED, 30, 400},
                      Batch{Shape::STRUCTURED, 120, 200}, Batch{Shape::STRUCTURED, 600, 20},
                      Batch{Shape::UNSTRUCTURED_SEPARATE_JOINS, 1, 200},
                      Batch{Shape::UNSTRUCTURED_SEPARATE_JOINS, 7, 400},
                      Batch{Shape::UNSTRUCTURED_SEPARATE_JOINS, 30, 600},
                      Batch{Shape::UNSTRUCTURED_SEPARATE_JOINS, 120, 300},
                      Batch{Shape::UNSTRUCTURED_SEPARATE_JOINS, 600, 30}),
    batchName);

// Unstructured modules of any shape: chains of joins at a graph's end and jumps to a merge right before a loop
// head are the shapes that once sent gotos to labels never printed.
TEST(GeneratedModulesWithAnyShape, EmissionKeepsEveryProperty) {
  for (int size : {1, 7, 30, 120, 600})
    EXPECT_GT(checkBatch(Batch{Shape::UNSTRUCTURED, size, size >= 600 ? 30 : 300}), 0);
}

//===-- The generator itself ----------------------------------------------------------------------------===//

TEST(Generator, SameSeedSameModuleOtherSeedOtherModule) {
  IrGenOptions options;
  options.seed = 42;
  options.size = 80;
  options.unstructured = true;
  std::string first = emitGenerated(options).text;
  EXPECT_EQ(first, emitGenerated(options).text);
  options.seed = 43;
  EXPECT_NE(first, emitGenerated(options).text);
}

TEST(Generator, ModuleUsesEveryKindOfType) {
  IrGenOptions options;
  options.size = 10;
  std::string text = emitGenerated(options).text;
  for (const char* form : {"symbolicid(N);", "struct(", "union(", "class(", " Base),Derived",
                           "enum color_tag(", "typedef(int32,Counter);", "pointer(int32)", "reference(double)",
                           "complex(double)", "fixpt(", "matrix(int32, N, 3)", "matrix(double, :M, 4)", "fcntype(",
                           "constdef(int32,", "scope(inner){", "scope(deeper){", "cgflag:"})
    EXPECT_NE(std::string::npos, text.find(form)) << form;
}

} // namespace
