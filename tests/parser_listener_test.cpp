// Annotation values and their dispatch to the registered listeners, in order.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "ir/logger.h"
#include "listener/parserlistener.h"
#include "tests/parser_support.h"

namespace {

// Records every value of its tag as "line:class:text".
class Recorder : public CG::QulParserListener {
public:
  Recorder(const char* aTag, std::vector<std::string>* aLog) : fTag(aTag), fLog(aLog) {}
  const char* tag() override { return fTag; }

protected:
  void registerValue(CG_Obj*, CG::QulOptionalParameterValue* aValue) override {
    std::string text;
    if (CG::QulOptionalParameterStringValue::isa(aValue))
      text = CG::QulOptionalParameterStringValue::cast(aValue)->toString();
    if (CG::QulOptionalParameterIntegerValue::isa(aValue))
      text = std::to_string(CG::QulOptionalParameterIntegerValue::cast(aValue)->toInt());
    if (CG::QulOptionalParameterDoubleValue::isa(aValue))
      text = std::to_string(CG::QulOptionalParameterDoubleValue::cast(aValue)->toDouble());
    if (CG::QulOptionalParameterTermValue::isa(aValue))
      text = std::string(CG::QulOptionalParameterTermValue::cast(aValue)->functor()) + "/" +
             std::to_string(CG::QulOptionalParameterTermValue::cast(aValue)->numArguments());
    fLog->push_back(std::string(fTag) + "@" + std::to_string(aValue->lineNumber()) + ":" +
                    std::to_string(aValue->whichClass()) + ":" + text);
  }

private:
  const char* fTag;
  std::vector<std::string>* fLog;
};

TEST(Listeners, ValuesReachTheirTagInWrittenOrder) {
  std::vector<std::string> log;
  Recorder first("k", &log);
  Recorder second("k", &log);
  Recorder other("o", &log);
  quill_parse_test::Module module;
  module.parser.addListener(&first);
  module.parser.addListener(&other);
  module.parser.addListener(&second);
  module.parse("v <- var(int32,v|k:\"a\",o:7,\n k:1.5,k:f(x, 2));");
  std::vector<std::string> expected = {"k@1:2:a",     "k@1:2:a",         "o@1:3:7",
                                       "k@2:4:1.500000", "k@2:4:1.500000", "k@2:1:f/2",
                                       "k@2:1:f/2"};
  EXPECT_EQ(expected, log);
}

// Keeps the text of each number value it is given.
class NumberTexts : public CG::QulParserListener {
public:
  const char* tag() override { return "n"; }
  std::vector<const char*> texts;

protected:
  void registerValue(CG_Obj*, CG::QulOptionalParameterValue* aValue) override {
    if (CG::QulOptionalParameterIntegerValue::isa(aValue))
      texts.push_back(CG::QulOptionalParameterIntegerValue::cast(aValue)->text());
    if (CG::QulOptionalParameterDoubleValue::isa(aValue))
      texts.push_back(CG::QulOptionalParameterDoubleValue::cast(aValue)->text());
  }
};

// A number's text given to a listener lives as long as the context, not only as long as the parser.
TEST(Listeners, NumberTextsOutliveTheParser) {
  CG_Ctx ctx;
  NumberTexts listener;
  {
    CG::QulParser parser(&ctx, ctx.pool(), ctx.globalScope(), ctx.globalScope());
    parser.addListener(&listener);
    parser.parse("v <- var(int32,v|n:123456789,n:-2.5e3);");
  }
  ASSERT_EQ(2u, listener.texts.size());
  EXPECT_STREQ("123456789", listener.texts[0]);
  EXPECT_STREQ("-2.5e3", listener.texts[1]);
}

// A listener that registers more listeners when a parse starts; each of those counts its starts.
class Recruiting : public CG::QulParserListener {
public:
  Recruiting(CG::QulParser* aParser, int aRecruits) : fParser(aParser), fRecruits(aRecruits) {}
  const char* tag() override { return "recruit"; }
  void start() override {
    ++starts;
    for (; fRecruits > 0; --fRecruits) {
      recruits.push_back(std::make_unique<Recruiting>(fParser, 0));
      fParser->addListener(recruits.back().get());
    }
  }
  int starts = 0;
  std::vector<std::unique_ptr<Recruiting>> recruits;

protected:
  void registerValue(CG_Obj*, CG::QulOptionalParameterValue*) override {}

private:
  CG::QulParser* fParser;
  int fRecruits;
};

// Listeners added while the listeners are being called take part from that call on.
TEST(Listeners, AListenerMayAddListenersWhileCalled) {
  quill_parse_test::Module module;
  Recruiting recruiting(&module.parser, 64);
  module.parser.addListener(&recruiting);
  module.parse("v <- var(int32,v);");
  ASSERT_EQ(64u, recruiting.recruits.size());
  for (const auto& recruit : recruiting.recruits)
    EXPECT_EQ(1, recruit->starts);
}

// A listener that makes its parser read another text meanwhile.
class Reentering : public CG::QulParserListener {
public:
  explicit Reentering(CG::QulParser* aParser) : fParser(aParser) {}
  const char* tag() override { return "reenter"; }
  void start() override { fParser->parse("w <- var(int32,w);"); }

protected:
  void registerValue(CG_Obj*, CG::QulOptionalParameterValue*) override {}

private:
  CG::QulParser* fParser;
};

// A parser is not reentrant: the inner call fails with a clear error, which ends the outer parse.
TEST(Listeners, ParsingFromInsideAParseFailsClearly) {
  quill_parse_test::Module module;
  Reentering reentering(&module.parser);
  module.parser.addListener(&reentering);
  try {
    module.parse("v <- var(int32,v);");
    ADD_FAILURE() << "the inner parse ran";
  } catch (const CG::InternalException& aError) {
    EXPECT_EQ("QulParser::parse::Reentered", aError.id());
  }
}

TEST(OptionalParameterValues, Conversions) {
  char seven[] = "7";
  char inf[] = "+Inf";
  CG::QulOptionalParameterIntegerValue integer(seven, 1);
  EXPECT_EQ(7.0, integer.toDouble());
  CG::QulOptionalParameterDoubleValue infinity(inf, 1);
  EXPECT_TRUE(std::isinf(infinity.toDouble()) && infinity.toDouble() > 0);
  CG::QulOptionalParameterTermValue term(seven, nullptr, 3);
  EXPECT_EQ(0, term.numArguments());
  EXPECT_THROW(term.argument(0), CG::AssertionException);
  EXPECT_THROW(CG::QulOptionalParameterStringValue::cast(&integer), CG::AssertionException);
}

} // namespace
