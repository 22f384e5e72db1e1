// Source-location tags: printed forms, casts, and the line and column stamped on parsed objects.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "ir/symbol.h"
#include "tag/tagsourcelocationquill.h"
#include "tests/parser_support.h"

namespace {

using CG::TagSourceLocationQuill;

TEST(QuillLocationTag, PrintedForms) {
  TagSourceLocationQuill tag(3, 5);
  EXPECT_EQ("[L3, C5]", tag.toString());
  EXPECT_EQ("module:[L3, C5]", tag.getSIDStr());
  EXPECT_EQ("module:[L3, C5]", tag.getTraceStr());
  EXPECT_EQ(6, tag.getLocationType());
  EXPECT_EQ(CG::Tag::SOURCE_LOCATION, tag.kind());
}

TEST(QuillLocationTag, CloneAndCasts) {
  CG_Ctx ctx;
  TagSourceLocationQuill tag(7, 2);
  CG::TagSourceLocation* copy = tag.clone(ctx.pool());
  EXPECT_EQ("[L7, C2]", copy->toString());
  EXPECT_EQ(copy, TagSourceLocationQuill::cast(copy));
  EXPECT_FALSE(TagSourceLocationQuill::isa(nullptr));
  EXPECT_EQ(nullptr, TagSourceLocationQuill::cast(static_cast<CG::TagSourceLocation*>(nullptr)));
  EXPECT_THROW(tag.accept(nullptr), CG::AssertionException);
}

class OtherLocation : public CG::TagSourceLocation {
public:
  std::string toPrettyPrintString() const override { return ""; }
  int getLocationType() const override { return 1; }
  std::string toString() const override { return ""; }
  std::string getSIDStr() const override { return ""; }
  std::string getNAGStr() const override { return ""; }
  std::string getTraceStr() const override { return ""; }
  CG::TagSourceLocation* clone(MemPool*) const override { return nullptr; }
  std::string getSourceBlockFullPath() const override { return ""; }
  void accept(CG::TagSourceLocationVisitor*) override {}
};

TEST(QuillLocationTag, CastOfAnotherLocationTypeFails) {
  OtherLocation other;
  EXPECT_FALSE(TagSourceLocationQuill::isa(&other));
  EXPECT_THROW(TagSourceLocationQuill::cast(&other), CG::AssertionException);
}

class TaggedParse : public ::testing::Test {
protected:
  quill_parse_test::Module module;
  CG::TagHandlerForSourceLocation ownHandler;
  CG::TagHandlerForSourceLocation* handler = nullptr;

  void SetUp() override {
    handler = dynamic_cast<CG::TagHandlerForSourceLocation*>(module.ctx.handler(CG::Tag::SOURCE_LOCATION));
    if (handler == nullptr) {
      cg_ctx_register_handler(&module.ctx, &ownHandler);
      handler = &ownHandler;
    }
  }
  void TearDown() override {
    if (handler == &ownHandler)
      cg_ctx_unregister_handler(&module.ctx, &ownHandler);
  }
};

TEST_F(TaggedParse, ObjectsCarryTheLexerPosition) {
  CG::TagCreatorForQuill creator(handler);
  module.parse("a <- var(int32,a);\n\nb <- var(int32,b);\n");
  CG::Symbol* a = module.ctx.globalScope()->firstSymbol();
  ASSERT_NE(nullptr, a);
  TagSourceLocationQuill* first = TagSourceLocationQuill::of(a);
  ASSERT_NE(nullptr, first);
  EXPECT_EQ("[L1, C0]", first->toString());
  TagSourceLocationQuill* third = TagSourceLocationQuill::of(a->next());
  ASSERT_NE(nullptr, third);
  EXPECT_EQ(3u, third->line());
}

// Tags take the position of the parse in progress, not of the parser made last; outside a parse, line 0.
TEST_F(TaggedParse, ObjectsCarryThePositionOfTheirOwnParse) {
  CG::TagCreatorForQuill creator(handler);
  CG::QulParser later{&module.ctx, module.pool, module.ctx.globalScope(), module.ctx.globalScope()};
  later.parse("\n\n\nb <- var(int32,b);\n");
  module.parse("\na <- var(int32,a);\n");
  CG::Symbol* a = module.ctx.globalScope()->firstSymbol()->next();
  ASSERT_NE(nullptr, TagSourceLocationQuill::of(a));
  EXPECT_EQ(2u, TagSourceLocationQuill::of(a)->line());
  CG::Tag* outside = creator.create(module.ctx.pool(), nullptr);
  EXPECT_EQ("[L0, C0]", static_cast<TagSourceLocationQuill*>(outside)->toString());
}

TEST_F(TaggedParse, CreatorResetsItsHandler) {
  {
    CG::TagCreatorForQuill creator(handler);
    EXPECT_EQ(&creator, handler->creator());
    EXPECT_EQ(CG::Tag::SOURCE_LOCATION, creator.kind());
  }
  EXPECT_EQ(nullptr, handler->creator());
}

TEST_F(TaggedParse, UnusedLabelWarningNamesItsLine) {
  quill_parse_test::CollectedLog log;
  CG::TagCreatorForQuill creator(handler);
  module.parse("x <- var(int32,x);\nf <- function((),(),f) {\n  =(x,1);\n  label(L);\n  =(x,2);\n}\n");
  EXPECT_NE(std::string::npos, log.text().find("Line 4: label(L) defined but not used"));
}

// Parses on several threads at once, each into a context of its own: every object carries the position in its
// own text, and each thread's logger task ends with its parse.
TEST(ParallelParses, EachThreadTagsAndLogsItsOwnParse) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 40;
  constexpr int kVars = 100;
  std::vector<std::string> failures(kThreads);
  std::atomic<int> ready{0};
  auto parseRounds = [&](int aThread) {
    std::string component = CG::TheLogger::instance().component();
    std::string text(aThread, '\n');
    for (int i = 0; i < kVars; ++i)
      text += "v" + std::to_string(i) + " <- var(int32,v" + std::to_string(i) + ");\n";
    unsigned expected = static_cast<unsigned>(aThread + kVars);
    ++ready;
    while (ready < kThreads)
      std::this_thread::yield();
    for (int round = 0; round < kRounds && failures[aThread].empty(); ++round) {
      quill_parse_test::Module module;
      CG::TagHandlerForSourceLocation ownHandler;
      auto* handler = dynamic_cast<CG::TagHandlerForSourceLocation*>(module.ctx.handler(CG::Tag::SOURCE_LOCATION));
      if (handler == nullptr) {
        cg_ctx_register_handler(&module.ctx, &ownHandler);
        handler = &ownHandler;
      }
      {
        CG::TagCreatorForQuill creator(handler);
        module.parse(text);
      }
      CG::Symbol* last = module.ctx.globalScope()->firstSymbol();
      while (last->next() != nullptr)
        last = last->next();
      TagSourceLocationQuill* tag = TagSourceLocationQuill::of(last);
      if (tag == nullptr || tag->line() != expected)
        failures[aThread] = "the last variable is tagged " + (tag != nullptr ? tag->toString() : "nothing") +
                            ", not on line " + std::to_string(expected);
      else if (CG::TheLogger::instance().component() != component)
        failures[aThread] = "the logger task is left at '" + CG::TheLogger::instance().component() + "'";
      if (handler == &ownHandler)
        cg_ctx_unregister_handler(&module.ctx, &ownHandler);
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back(parseRounds, t);
  for (std::thread& thread : threads)
    thread.join();
  for (int t = 0; t < kThreads; ++t)
    EXPECT_EQ("", failures[t]) << "thread " << t;
}

} // namespace
