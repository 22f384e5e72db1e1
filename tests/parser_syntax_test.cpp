// Parser syntax errors: the exact message forms, positions and the stack limit.
#include <gtest/gtest.h>

#include <regex>
#include <tuple>

#include "parse/parserctx.h"
#include "tests/parser_support.h"

namespace {

using quill_parse_test::parseFailure;

struct SyntaxCase {
  const char* text;
  const char* message;
};

// Each case with the scanner on the parser's thread and ahead of it on a second one.
class SyntaxErrors : public ::testing::TestWithParam<std::tuple<SyntaxCase, bool>> {};

TEST_P(SyntaxErrors, ReportExactly) {
  const auto& [syntaxCase, scanAhead] = GetParam();
  auto failure = parseFailure(syntaxCase.text, scanAhead);
  EXPECT_EQ("yyerror::GenericParserError", failure.id);
  EXPECT_EQ(std::string("[L") + syntaxCase.message, failure.message);
}

const char* const kFn = "x <- var(int32,x);\nf <- function((),(),f) {\n";

const SyntaxCase kSyntaxCases[] = {
    // Short form: more than four tokens would fit.
    {"type", "1, C0]: A parser error occurred: syntax error, unexpected QUL_TYPE"},
    {"extern x", "1, C0]: A parser error occurred: syntax error, unexpected QUL_EXTERN"},
    {"var(", "1, C0]: A parser error occurred: syntax error, unexpected $end"},
    // Exactly five: an annotation's value may be a word, readonly, a string, an integer or a float.
    {"var(int32,x|\"p\":);", "1, C0]: A parser error occurred: syntax error, unexpected QUL_C_PAREN"},
    // One to four expected tokens, in code order.
    {"x\n", "2, C0]: A parser error occurred: syntax error, unexpected $end, expecting QUL_ASSIGN"},
    {"x <- var(int32,x)\n", "2, C0]: A parser error occurred: syntax error, unexpected $end, expecting QUL_TERMINATOR"},
    {"var(int32 x);", "1, C0]: A parser error occurred: syntax error, unexpected QUL_IDENTIFIER, expecting QUL_C_PAREN"},
    {"var(int32,x);\n  y )",
     "2, C5]: A parser error occurred: syntax error, unexpected QUL_C_PAREN, expecting QUL_ASSIGN"},
    {"f <- function((),(),f) {\n  x(\n",
     "3, C0]: A parser error occurred: syntax error, unexpected $end, expecting QUL_C_PAREN"},
    {"f <- function((),(),f) {\n goto(\n",
     "3, C0]: A parser error occurred: syntax error, unexpected $end, expecting QUL_IDENTIFIER"},
    {"f <- function((),(),f) {\n  x\n",
     "3, C0]: A parser error occurred: syntax error, unexpected $end, expecting QUL_O_PAREN"},
    {"f <- function((),(),f) {\n  switch(1) { case(1): }\n}",
     "2, C24]: A parser error occurred: syntax error, unexpected QUL_C_CURL, expecting QUL_TYPEDEF or QUL_TYPEALIAS "
     "or QUL_VAR or QUL_CONSTDEF"},
    {"p <- prototype((),(),p)\n", "2, C0]: A parser error occurred: syntax error, unexpected $end, expecting "
                                   "QUL_TERMINATOR"},
    // A quote left open ends the text: inside a phrase the grammar expects more, between definitions the
    // end is still unexpected.
    {"var(int32,\"abc", "1, C0]: A parser error occurred: syntax error, unexpected $end, expecting "
                        "QUL_STRING_LITERAL or QUL_IDENTIFIER"},
    {"var(int32,x);\n'abc); var(int32,y);", "2, C20]: A parser error occurred: syntax error, unexpected $end"},
};

INSTANTIATE_TEST_SUITE_P(Table, SyntaxErrors,
                         ::testing::Combine(::testing::ValuesIn(kSyntaxCases), ::testing::Bool()));

TEST(Syntax, IfWithoutElseIsAnError) {
  auto failure = parseFailure(std::string(kFn) + "  if(x) { }\n}\n");
  EXPECT_EQ("[L4, C1]: A parser error occurred: syntax error, unexpected QUL_C_CURL, expecting QUL_ELSE",
            failure.message);
}

TEST(Syntax, EmptyTextIsAProgram) { EXPECT_EQ("", parseFailure("").id); }

TEST(Syntax, OnlyTheFirstErrorIsReported) {
  auto failure = parseFailure("type\ntype\n");
  EXPECT_EQ("[L1, C0]: A parser error occurred: syntax error, unexpected QUL_TYPE", failure.message);
}

TEST(Syntax, DeepNestingEndsInMemoryExhausted) {
  std::string loops = std::string(kFn);
  for (int i = 0; i < 10000; ++i)
    loops += "while(x) {";
  for (bool scanAhead : {false, true})
    EXPECT_EQ("[L3, C28556]: A parser error occurred: memory exhausted", parseFailure(loops, scanAhead).message);

  std::string types = "v <- var(";
  for (int i = 0; i < 10000; ++i)
    types += "pointer(";
  EXPECT_EQ("[L1, C0]: A parser error occurred: memory exhausted", parseFailure(types).message);
}

TEST(Syntax, ModerateNestingParses) {
  std::string text = std::string(kFn);
  for (int i = 0; i < 1000; ++i)
    text += "while(x) {";
  text += std::string(1000, '}') + "}\n";
  EXPECT_EQ("", parseFailure(text).id);
}

// The grammar's stacks grow with the nesting of a text; a parser that reads many texts keeps none of them.
TEST(Syntax, AReusedParserKeepsNothingOfADeepTextsStacks) {
  CG_Ctx ctx;
  CG::QulParser parser(&ctx, ctx.pool(), ctx.globalScope(), ctx.globalScope());
  MemPool* parserPool = parser.ctx()->managedPool();
  auto keptByReading = [&](const std::string& aBody, int aCopy) {
    std::string n = std::to_string(100 + aCopy);
    std::string text = "function((var(int32,t" + n + ")),(),f" + n + ")\n{\n" + aBody + "}\n";
    size_t before = parserPool->bytesAllocated();
    parser.parse(std::regex_replace(text, std::regex("@"), n).c_str());
    return parserPool->bytesAllocated() - before;
  };
  std::string inRow;
  std::string nested = "t@";
  for (int i = 0; i < 400; ++i) {
    inRow += "=(t@,+(t@,1));\n";
    nested = "+(" + nested + ",1)";
  }
  int copy = 0;
  size_t keptForRow = 0;
  size_t keptForNesting = 0;
  for (int round = 0; round < 2; ++round) {
    keptForRow = keptByReading(inRow, copy++);
    keptForNesting = keptByReading("=(t@," + nested + ");\n", copy++);
  }
  EXPECT_LE(keptForNesting, keptForRow);
}

} // namespace
