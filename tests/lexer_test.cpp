// Lexer: token by token, positions, quoted literals and escapes.
#include <gtest/gtest.h>

#include <cstring>
#include <cstdint>
#include <string>
#include <tuple>

#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/scope.h"
#include "parse/parserctx.h"

namespace {

class Lexer : public ::testing::Test {
protected:
  CG_Ctx ctx;
  CG::ManagedCGPool pool{&ctx};
  CG::QulParserCtx parser{&ctx, pool, ctx.globalScope(), ctx.globalScope(), nullptr, nullptr};

  // Whether the scanner runs ahead of the parser on a second thread; most tests run both ways.
  bool scanAhead = false;

  void start(const char* aText) {
    parser.setInput(aText, std::strlen(aText));
    parser.setScanAheadFrom(scanAhead ? 0 : SIZE_MAX);
    parser.resetLexer();
  }

  // Every token of the text as "NAME" or "NAME(value)", joined by spaces.
  std::string tokens(const char* aText) {
    start(aText);
    std::string out;
    for (;;) {
      const char* text = nullptr;
      long number = 0;
      int token = parser.scanToken(&text, &number);
      if (token == 0)
        return out;
      if (!out.empty())
        out += ' ';
      out += qulTokenName(token);
      if (std::string(qulTokenName(token)) == "QUL_BOOLEAN_CONSTANT")
        out += "(" + std::to_string(number) + ")";
      else if (text != nullptr)
        out += "(" + std::string(text) + ")";
    }
  }
};

struct TokenCase {
  const char* text;
  const char* tokens;
};

class LexerTokens : public Lexer, public ::testing::WithParamInterface<std::tuple<TokenCase, bool>> {};

TEST_P(LexerTokens, ScansAsExpected) {
  const auto& [tokenCase, ahead] = GetParam();
  scanAhead = ahead;
  EXPECT_EQ(tokenCase.tokens, tokens(tokenCase.text));
}

const TokenCase kTokenCases[] = {
    {"x <- y", "QUL_IDENTIFIER(x) QUL_ASSIGN QUL_IDENTIFIER(y)"},
    {"x<-y", "QUL_IDENTIFIER(x<-y)"},
    {"<-x", "QUL_IDENTIFIER(<-x)"},
    {"-5 +0 5s32 5u8 5u", "QUL_INTEGER_CONSTANT(-5) QUL_INTEGER_CONSTANT(+0) QUL_INTEGER_CONSTANT(5s32) "
                          "QUL_INTEGER_CONSTANT(5u8) QUL_INTEGER_CONSTANT(5u)"},
    {"5S -5s8", "QUL_IDENTIFIER(5S) QUL_INTEGER_CONSTANT(-5s8)"},
    {"0b1012 0x-1F 0o-17", "QUL_INTEGER_CONSTANT(0b1012) QUL_INTEGER_CONSTANT(0x-1F) QUL_INTEGER_CONSTANT(0o-17)"},
    {"-0x1F 0b-1", "QUL_IDENTIFIER(-0x1F) QUL_IDENTIFIER(0b-1)"},
    {"0b2 0x", "QUL_IDENTIFIER(0b2) QUL_IDENTIFIER(0x)"},
    {"1e5 1. .5 +.5 1E+5L 1.5f 0F",
     "QUL_FLOATING_CONSTANT(1e5) QUL_FLOATING_CONSTANT(1.) QUL_FLOATING_CONSTANT(.5) QUL_FLOATING_CONSTANT(+.5) "
     "QUL_FLOATING_CONSTANT(1E+5L) QUL_FLOATING_CONSTANT(1.5f) QUL_FLOATING_CONSTANT(0F)"},
    {"1.5e", "QUL_FLOATING_CONSTANT(1.5) QUL_IDENTIFIER(e)"},
    {"1.5x 1..2", "QUL_FLOATING_CONSTANT(1.5) QUL_IDENTIFIER(x) QUL_FLOATING_CONSTANT(1.) QUL_FLOATING_CONSTANT(.2)"},
    {"12abc 5sx 0Fx 1e5Fx", "QUL_IDENTIFIER(12abc) QUL_IDENTIFIER(5sx) QUL_IDENTIFIER(0Fx) QUL_IDENTIFIER(1e5Fx)"},
    {"Inf NaN -Inf", "QUL_FLOATING_CONSTANT(Inf) QUL_FLOATING_CONSTANT(NaN) QUL_FLOATING_CONSTANT(-Inf)"},
    {"+Inf -NaN Infx", "QUL_IDENTIFIER(+Inf) QUL_IDENTIFIER(-NaN) QUL_IDENTIFIER(Infx)"},
    {"#abc# #scope# scope", "QUL_IDENTIFIER(abc) QUL_IDENTIFIER(scope) QUL_SCOPE"},
    {"true false", "QUL_BOOLEAN_CONSTANT(1) QUL_BOOLEAN_CONSTANT(0)"},
    {"div/0 div + == && !=", "QUL_DIVBYZERO QUL_IDENTIFIER(div) QUL_IDENTIFIER(+) QUL_IDENTIFIER(==) "
                             "QUL_IDENTIFIER(&&) QUL_IDENTIFIER(!=)"},
    {"( ) { } [ ] : , ; @ | |: |> ||",
     "QUL_O_PAREN QUL_C_PAREN QUL_O_CURL QUL_C_CURL QUL_O_BRACKET QUL_C_BRACKET QUL_COLON QUL_SEPARATOR "
     "QUL_TERMINATOR QUL_DEREF QUL_VERTICALBAR QUL_VERTICALBAR_COLON QUL_VERTICALBAR_GT QUL_DOUBLE_VERTICALBAR"},
    {"type extern mcat parfor_var parfor",
     "QUL_TYPE QUL_EXTERN QUL_MCAT(mcat) QUL_PARALLELVARCLASSIFIER QUL_PARFOR"},
    {"a // comment\nb", "QUL_IDENTIFIER(a) QUL_IDENTIFIER(b)"},
    {"a //", "QUL_IDENTIFIER(a) QUL_IDENTIFIER(//)"},
    {"/* x */", "QUL_IDENTIFIER(/*) QUL_IDENTIFIER(x) QUL_IDENTIFIER(*/)"},
    {"'' 'it''s'", "QUL_SINGLE_QUOTED_LITERAL() QUL_SINGLE_QUOTED_LITERAL(it) QUL_SINGLE_QUOTED_LITERAL(s)"},
    {"\"a'b\" 'a\"b'", "QUL_STRING_LITERAL(a'b) QUL_SINGLE_QUOTED_LITERAL(a\"b)"},
    {"'\\101\\x41' '\\1234' '\\q' '\\X41'",
     "QUL_SINGLE_QUOTED_LITERAL(AA) QUL_SINGLE_QUOTED_LITERAL(S4) QUL_SINGLE_QUOTED_LITERAL(q) "
     "QUL_SINGLE_QUOTED_LITERAL(X41)"},
    {"\"\\t\\n\\\\\"", "QUL_STRING_LITERAL(\t\n\\)"},
    // Plain runs around escapes and quotes of the other kind.
    {"\"ab\\\"cd'ef\\x41\" 'gh\\'ij\"\"k'",
     "QUL_STRING_LITERAL(ab\"cd'efA) QUL_SINGLE_QUOTED_LITERAL(gh'ij\"\"k)"},
    {"\"open", ""},
    // Bytes above 0x7F (UTF-8 text) inside literals and comments.
    {"\"caf\xC3\xA9\" '\xE9' a // \xFF\nb",
     "QUL_STRING_LITERAL(caf\xC3\xA9) QUL_SINGLE_QUOTED_LITERAL(\xE9) QUL_IDENTIFIER(a) QUL_IDENTIFIER(b)"},
};

INSTANTIATE_TEST_SUITE_P(Table, LexerTokens,
                         ::testing::Combine(::testing::ValuesIn(kTokenCases), ::testing::Bool()));

// The scanner on the parser's thread (false) and ahead of it on a second one (true).
class LexerFeeds : public Lexer, public ::testing::WithParamInterface<bool> {
protected:
  void SetUp() override { scanAhead = GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(BothWays, LexerFeeds, ::testing::Bool());

TEST_P(LexerFeeds, StrayBytesAreSkipped) {
  testing::internal::CaptureStderr();
  EXPECT_EQ("QUL_IDENTIFIER(a) QUL_IDENTIFIER(b)", tokens("#a b#"));
  EXPECT_EQ("ignoring bogus character in input: #\nignoring bogus character in input: #\n",
            testing::internal::GetCapturedStderr());
  testing::internal::CaptureStderr();
  EXPECT_EQ("QUL_IDENTIFIER(x)", tokens("x\x01"));
  EXPECT_EQ("ignoring bogus character in input: \\1\n", testing::internal::GetCapturedStderr());
}

TEST_P(LexerFeeds, EscapesBeyondAByteFail) {
  struct {
    const char* text;
    const char* id;
  } cases[] = {{"'\\777'", "quillLexer::charIndexOutOfBoundsOctal"},
               {"\n'\\x100'", "quillLexer::charIndexOutOfBoundsHex"}};
  int line = 1;
  for (const auto& c : cases) {
    try {
      tokens(c.text);
      FAIL() << c.text;
    } catch (const CG::MessageException& aError) {
      EXPECT_EQ(c.id, aError.id());
      EXPECT_EQ("Line " + std::to_string(line) + ": character index out of bounds\n", std::string(aError.what()));
    }
    ++line;
  }
}

TEST_P(LexerFeeds, ColumnIsZeroOnFirstLineThenCountsBytes) {
  start("abc def\n  xy zz");
  const char* text = nullptr;
  long number = 0;
  parser.scanToken(&text, &number);
  parser.scanToken(&text, &number);
  EXPECT_EQ(1, parser.line());
  EXPECT_EQ(0, parser.column());
  parser.scanToken(&text, &number);
  EXPECT_EQ(2, parser.line());
  EXPECT_EQ(4, parser.column());
  EXPECT_EQ("[L2, C4]", parser.position());
}

TEST_P(LexerFeeds, NewlineInsideLiteralDoesNotCountAsLine) {
  testing::internal::CaptureStdout();
  EXPECT_EQ("QUL_STRING_LITERAL(ab) QUL_IDENTIFIER(x)", tokens("\"a\nb\" x"));
  EXPECT_EQ("\n", testing::internal::GetCapturedStdout());
  EXPECT_EQ(1, parser.line());
}

TEST_P(LexerFeeds, ResetAfterUnterminatedLiteralStartsFresh) {
  EXPECT_EQ("", tokens("\n'unterminated"));
  EXPECT_EQ("QUL_IDENTIFIER(x)", tokens("x"));
  EXPECT_EQ(1, parser.line());
}

TEST_P(LexerFeeds, LongLiteralIsReadWhole) {
  std::string text = "\"" + std::string(100000, 'q') + "\"";
  EXPECT_EQ("QUL_STRING_LITERAL(" + std::string(100000, 'q') + ")", tokens(text.c_str()));
}

// Many batches of tokens: what the scanner says and where it stands reach the parser with the token they come
// before, however far ahead the scanner has read.
TEST_P(LexerFeeds, MessagesAndPlacesKeepToTheirTokens) {
  std::string text;
  for (int line = 1; line <= 10000; ++line)
    text += line == 5000 ? "a #\n" : line == 9000 ? "a \"x\ny\"\n" : "a\n";
  start(text.c_str());
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const char* value = nullptr;
  long number = 0;
  int names = 0;
  std::string echoedBeforeLiteral;
  for (int token = parser.scanToken(&value, &number); token != 0; token = parser.scanToken(&value, &number)) {
    if (std::string(qulTokenName(token)) == "QUL_IDENTIFIER") {
      ++names;
      EXPECT_EQ(names, parser.line());
      EXPECT_EQ(names == 1 ? 0 : 1, parser.column());
    } else {
      EXPECT_EQ("xy", std::string(value));
      EXPECT_EQ(9000, parser.line());
      EXPECT_EQ(7, parser.column());
    }
  }
  EXPECT_EQ("\n", testing::internal::GetCapturedStdout());
  EXPECT_EQ("ignoring bogus character in input: #\n", testing::internal::GetCapturedStderr());
  EXPECT_EQ(10000, names);
  EXPECT_EQ(10001, parser.line());
  parser.finishScan();
  EXPECT_EQ(1u, parser.uncountedNewlines().size());
}

// Where the parse stops, the scanner may have read further: the newlines it met there are not the parse's.
TEST_P(LexerFeeds, NewlinesReadPastTheLastTokenTakenAreForgotten) {
  std::string text = "\"a\nb\" x";
  for (int i = 0; i < 3000; ++i)
    text += " y";
  text += " \"c\nd\"";
  start(text.c_str());
  testing::internal::CaptureStdout();
  const char* value = nullptr;
  long number = 0;
  parser.scanToken(&value, &number);
  parser.scanToken(&value, &number);
  parser.finishScan();
  EXPECT_EQ("\n", testing::internal::GetCapturedStdout());
  ASSERT_EQ(1u, parser.uncountedNewlines().size());
  EXPECT_EQ(2u, parser.uncountedNewlines()[0]);
}

// A name read again reaches the parser as the text it interned the first time: over many batches, among names
// that are prefixes of one another, and afresh in each scan.
TEST_P(LexerFeeds, RepeatedNamesAreTheTextsInternedAtTheirFirstAppearance) {
  constexpr int kNames = 3000;
  std::string text;
  for (int pass = 0; pass < 2; ++pass)
    for (int i = 0; i < kNames; ++i)
      text += "n" + std::to_string(pass == 0 ? i : kNames - 1 - i) + " ";
  start(text.c_str());
  const char* value = nullptr;
  long number = 0;
  for (int index = 0; index < 2 * kNames; ++index) {
    ASSERT_EQ("QUL_IDENTIFIER", std::string(qulTokenName(parser.scanToken(&value, &number))));
    std::string name = "n" + std::to_string(index < kNames ? index : 2 * kNames - 1 - index);
    ASSERT_EQ(ctx.cgString(name), value) << "token " << index;
  }
  EXPECT_EQ(0, parser.scanToken(&value, &number));

  EXPECT_EQ("QUL_IDENTIFIER(a) QUL_IDENTIFIER(b) QUL_IDENTIFIER(a)", tokens("a b a"));
  EXPECT_EQ("QUL_IDENTIFIER(b) QUL_IDENTIFIER(b) QUL_IDENTIFIER(a) QUL_MCAT(mcat) QUL_IDENTIFIER(mcat)",
            tokens("b b a mcat #mcat#"));
}

TEST_F(Lexer, TextOf2GiBIsRefused) {
  EXPECT_THROW(parser.setInput("", static_cast<size_t>(1) << 31), CG::MessageException);
}

} // namespace
