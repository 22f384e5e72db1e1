// Work done on a second thread ahead of the printing: each function gets what was made of its own body as it
// is now, failures are left to the printing to report, and the text is that of an emission that does all the
// work where each body prints.
#include "support/irbuild.h"
#include "support/irgen.h"

#include "emit/graphuses.h"
#include "emit/workahead.h"
#include "ir/cfg.h"
#include "ir/logger.h"
#include "ir/predicate.h"
#include "ir/typechecker.h"
#include "tests/parser_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using quilltest::IrFixture;

class BodiesAhead : public ::testing::Test, protected IrFixture {
protected:
  std::vector<CG::Fcn*> fcnsWithBodies(int aCount) {
    std::vector<CG::Fcn*> fcns;
    for (int i = 0; i < aCount; ++i)
      fcns.push_back(fcnWithBody(("f" + std::to_string(i)).c_str()));
    return fcns;
  }
  // Builds trees, counting the bodies it has started on.
  CG::WorkAhead::Work countedTrees(std::atomic<int>& aStarted) {
    return [this, &aStarted](CG::Fcn* aFcn) {
      ++aStarted;
      return std::make_unique<CG::PooledPst>(&ctx, aFcn);
    };
  }
  // The second thread works at most four bodies ahead of the printing: once it has started on the fourth, it
  // waits, and the first three are done.
  static void awaitStarted(const std::atomic<int>& aStarted, int aCount) {
    while (aStarted < aCount)
      std::this_thread::yield();
  }
};

TEST_F(BodiesAhead, EachFunctionTakesTheTreeOfItsOwnGraphOrMakesItItself) {
  std::vector<CG::Fcn*> fcns = fcnsWithBodies(10);
  std::atomic<int> started{0};
  CG::WorkAhead ahead(fcns, countedTrees(started));
  awaitStarted(started, 4);
  int taken = 0;
  for (CG::Fcn* fcn : fcns) {
    std::unique_ptr<CG::PooledPst> tree = ahead.take<CG::PooledPst>(fcn);
    if (tree == nullptr)
      continue;
    ++taken;
    EXPECT_EQ(tree->pst.cfg(), fcn->cfg()) << fcn->name();
  }
  EXPECT_GE(taken, 4);
}

// The printing may pass functions by (a filter that rejects their bodies): what was made of them is dropped,
// and only a function further down the list still has something to take.
TEST_F(BodiesAhead, TakingAFunctionDropsTheOnesBeforeIt) {
  std::vector<CG::Fcn*> fcns = fcnsWithBodies(8);
  CG::Fcn* outsider = fcnWithBody("outsider");
  std::atomic<int> started{0};
  CG::WorkAhead ahead(fcns, countedTrees(started));
  awaitStarted(started, 4);
  EXPECT_EQ(ahead.take<CG::PooledPst>(outsider), nullptr);
  EXPECT_NE(ahead.take<CG::PooledPst>(fcns[2]), nullptr);
  EXPECT_EQ(ahead.take<CG::PooledPst>(fcns[1]), nullptr);
  EXPECT_EQ(ahead.take<CG::PooledPst>(fcns[2]), nullptr);
  awaitStarted(started, 7);
  EXPECT_NE(ahead.take<CG::PooledPst>(fcns[5]), nullptr);
}

TEST_F(BodiesAhead, BodyNotStartedYetIsLeftToThePrinting) {
  // The second thread goes a few bodies ahead, far fewer than twenty.
  std::vector<CG::Fcn*> fcns = fcnsWithBodies(20);
  std::atomic<int> started{0};
  CG::WorkAhead ahead(fcns, countedTrees(started));
  awaitStarted(started, 4);
  EXPECT_EQ(ahead.take<CG::PooledPst>(fcns[19]), nullptr);
  CG::Fcn* f = fcnWithBody("f");
  CG::WorkAhead alone({f}, countedTrees(started));
  EXPECT_EQ(alone.take<CG::PooledPst>(f), nullptr);
}

TEST_F(BodiesAhead, GraphChangedAfterItsWorkIsLeftToThePrinting) {
  std::vector<CG::Fcn*> fcns = fcnsWithBodies(6);
  std::atomic<int> started{0};
  CG::WorkAhead ahead(fcns, countedTrees(started));
  awaitStarted(started, 4);
  fcns[1]->cfg()->markDirty();
  EXPECT_NE(ahead.take<CG::PooledPst>(fcns[0]), nullptr);
  EXPECT_EQ(ahead.take<CG::PooledPst>(fcns[1]), nullptr);
  EXPECT_NE(ahead.take<CG::PooledPst>(fcns[2]), nullptr);
}

class RecordingHandler : public Corvid::System::Handler {
public:
  void publish(const Corvid::System::LogRecord& aRecord) override { messages.push_back(aRecord.message); }
  std::vector<std::string> messages;
};

TEST_F(BodiesAhead, FailedWorkReportsNothingAndIsLeftToThePrinting) {
  std::vector<CG::Fcn*> fcns = fcnsWithBodies(3);
  RecordingHandler handler;
  CG::TheLogger::instance().logger()->addHandler(&handler);
  {
    std::atomic<int> started{0};
    CG::WorkAhead ahead(fcns, [&](CG::Fcn* aFcn) -> std::unique_ptr<CG::WorkAhead::Product> {
      ++started;
      if (aFcn == fcns[1])
        CG::TheLogger::instance().throwInternalException("test", "cannot prepare %s", aFcn->name());
      return std::make_unique<CG::PooledPst>(&ctx, aFcn);
    });
    awaitStarted(started, 3);
    EXPECT_NE(ahead.take<CG::PooledPst>(fcns[0]), nullptr);
    EXPECT_EQ(ahead.take<CG::PooledPst>(fcns[1]), nullptr);
    EXPECT_NE(ahead.take<CG::PooledPst>(fcns[2]), nullptr);
  }
  CG::TheLogger::instance().logger()->removeHandler(&handler);
  EXPECT_TRUE(handler.messages.empty()) << handler.messages.front();
}

std::string emitScope(CG::Scope* aScope, bool aAhead, CG::ShouldEmitPredicate* aFilter = nullptr) {
  CG::QulEmitterOptions options(nullptr, 3);
  options.setPreparesBodiesAhead(aAhead);
  if (aFilter != nullptr)
    options.setFilter(aFilter);
  return CG::emitQuillEx(aScope, options);
}

// Filters out every other body, so the printing passes bodies prepared ahead.
class EveryOtherBody : public CG::ShouldEmitPredicate {
public:
  bool shouldEmit(CG_Obj* aObj) override { return !CG::Cfg::isa(aObj) || (fSeen++ % 2 == 0); }

private:
  int fSeen = 0;
};

TEST(BodiesAheadOfGeneratedModules, PrintTheSameTextAsBodiesPreparedInPlace) {
  for (bool unstructured : {false, true}) {
    for (uint64_t seed : {3u, 11u, 29u}) {
      quilltest::IrGenOptions options;
      options.seed = seed;
      options.size = 600;
      options.unstructured = unstructured;
      CG_Ctx ctx;
      quilltest::generateModule(&ctx, options);
      std::string inPlace = emitScope(ctx.globalScope(), false);
      EXPECT_EQ(emitScope(ctx.globalScope(), true), inPlace) << "seed " << seed;
      EveryOtherBody filterInPlace;
      EveryOtherBody filterAhead;
      std::string filteredInPlace = emitScope(ctx.globalScope(), false, &filterInPlace);
      EXPECT_NE(filteredInPlace, inPlace);
      EXPECT_EQ(emitScope(ctx.globalScope(), true, &filterAhead), filteredInPlace) << "seed " << seed;
    }
  }
}

// ---- Walks of the graphs for the type collection, made while a parse finishes the next functions

std::vector<CG::Fcn*> fcnsWithGraphs(CG::Scope* aScope) {
  std::vector<CG::Fcn*> fcns;
  CG::forEachFcnWithGraph(aScope, [&](CG::Fcn* aFcn) { fcns.push_back(aFcn); });
  return fcns;
}

// Offers the functions and waits until each has been walked.
void walkAll(CG::GraphUsesAhead& aAhead, const std::vector<CG::Fcn*>& aFcns) {
  for (CG::Fcn* fcn : aFcns)
    aAhead.offer(fcn);
  while (aAhead.walksDone() < aFcns.size())
    std::this_thread::yield();
}

std::string emitTakingOver(CG::Scope* aScope, CG::GraphUsesAhead* aAhead) {
  CG::QulEmitterOptions options(nullptr, 3);
  options.setGraphUsesAhead(aAhead);
  return CG::emitQuillEx(aScope, options);
}

TEST(GraphWalksAhead, GiveWhatTheWalkInPlaceGivesAndTheSameText) {
  for (bool unstructured : {false, true}) {
    CG_Ctx ctx;
    quilltest::IrGenOptions options;
    options.seed = 17;
    options.size = 600;
    options.unstructured = unstructured;
    quilltest::generateModule(&ctx, options);
    std::vector<CG::Fcn*> fcns = fcnsWithGraphs(ctx.globalScope());
    ASSERT_GT(fcns.size(), 2u);
    std::string inPlace = emitTakingOver(ctx.globalScope(), nullptr);

    // All walked by the second thread; or finished at once, the finishing thread walking what it has not begun.
    CG::CoreDomainTypeChecker checker(&ctx);
    for (bool finishedAtOnce : {false, true}) {
      CG::GraphUsesAhead ahead(&ctx);
      std::unordered_map<CG::Fcn*, CG::GraphUses> walked;
      if (finishedAtOnce) {
        for (CG::Fcn* fcn : fcns)
          ahead.offer(fcn);
        walked = ahead.finish(&checker);
      } else {
        walkAll(ahead, fcns);
        walked = ahead.finish();
      }
      for (CG::Fcn* fcn : fcns) {
        auto found = walked.find(fcn);
        ASSERT_NE(found, walked.end()) << fcn->name();
        CG::GraphUses own = CG::walkGraphUses(fcn, fcn->cfg()->orderedStmts(), &checker);
        EXPECT_EQ(found->second.types, own.types) << fcn->name();
        EXPECT_EQ(found->second.consts, own.consts) << fcn->name();
      }
    }

    CG::GraphUsesAhead takenOver(&ctx);
    walkAll(takenOver, fcns);
    EXPECT_EQ(emitTakingOver(ctx.globalScope(), &takenOver), inPlace);
  }
}

// The constant the body uses is changed after the walk: the emission defines the one it now uses.
TEST(GraphWalksAhead, GraphChangedAfterItsWalkIsWalkedAgain) {
  quill_parse_test::Module module;
  module.parse("var(int32,x);\nconstdef(int32,1,c1);\nconstdef(int32,2,c2);\n"
               "f <- function((),(),f) {\n  =(x,c1);\n}\n");
  std::vector<CG::Fcn*> fcns = fcnsWithGraphs(module.ctx.globalScope());
  ASSERT_EQ(fcns.size(), 1u);
  CG::GraphUsesAhead ahead(&module.ctx);
  walkAll(ahead, fcns);
  CG::Const* c2 = nullptr;
  for (CG::Symbol* symbol = module.ctx.globalScope()->firstSymbol(); symbol; symbol = symbol->next())
    if (CG::Const::isa(symbol) && std::string(symbol->name()) == "c2")
      c2 = CG::Const::cast(symbol);
  ASSERT_NE(c2, nullptr);
  CG::Stmt* assignment = fcns[0]->cfg()->orderedStmts()[1];
  CG::Expr* use = assignment->input(0)->input(1);
  ASSERT_TRUE(CG::ConstExpr::isa(use));
  use->setAux(0, c2);
  fcns[0]->cfg()->markDirty();
  EXPECT_EQ(emitTakingOver(module.ctx.globalScope(), &ahead),
            "constdef(int32,2,c2);\n\nvar(int32,x);\nfunction((),(),f)\n{\n    =(x,c2);\n}\n");
}

// The walk would have to make the pointer to int16: it leaves the graph to the emission, which makes it.
TEST(GraphWalksAhead, AWalkNeedingATypeNotMadeYetGivesNothing) {
  quill_parse_test::Module module;
  const std::string text =
      "typedef(pointer(int32),ip);\n\nvar(int16,x);\nvar(ip,p);\nfunction((),(),f)\n{\n    =(p,addressOf[ip](x));\n}\n";
  module.parse(text);
  std::vector<CG::Fcn*> fcns = fcnsWithGraphs(module.ctx.globalScope());
  CG::GraphUsesAhead ahead(&module.ctx);
  walkAll(ahead, fcns);
  EXPECT_TRUE(ahead.finish().empty());
  EXPECT_EQ(emitTakingOver(module.ctx.globalScope(), &ahead), text);
}

// What a finding thread asks of the factories: types made are found, none is made, and the miss is told.
TEST(TypeFinding, FindsTheTypesMadeAndMakesNone) {
  quilltest::IrFixture ir;
  CG::PointerType* made = ir.types.pointerType(ir.int32());
  CG::Type* int16 = ir.types.signedInt16Type();
  size_t typesBefore = ir.ctx.typeCache().size();
  {
    CG::TypeFinding finding;
    EXPECT_EQ(ir.types.pointerType(ir.int32()), made);
    EXPECT_FALSE(finding.missedType());
    EXPECT_EQ(ir.types.pointerType(int16), nullptr);
    EXPECT_EQ(ir.types.complexType(int16), nullptr);
    EXPECT_TRUE(finding.missedType());
    finding.forgetMissed();
    EXPECT_FALSE(finding.missedType());
  }
  EXPECT_EQ(ir.ctx.typeCache().size(), typesBefore);
  EXPECT_NE(ir.types.pointerType(int16), nullptr);
}

} // namespace
