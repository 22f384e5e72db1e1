// Structure trees built on a second thread ahead of the printing: each function gets its own graph's tree, and
// the text is that of an emission that builds every tree where its body prints.
#include "support/irbuild.h"
#include "support/irgen.h"

#include "emit/pstahead.h"
#include "ir/cfg.h"
#include "ir/predicate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using quilltest::IrFixture;

class TreesAhead : public ::testing::Test, protected IrFixture {
protected:
  std::vector<CG::Fcn*> fcnsWithBodies(int aCount) {
    std::vector<CG::Fcn*> fcns;
    for (int i = 0; i < aCount; ++i)
      fcns.push_back(fcnWithBody(("f" + std::to_string(i)).c_str()));
    return fcns;
  }
};

std::string emitScope(CG::Scope* aScope, bool aAhead, CG::ShouldEmitPredicate* aFilter = nullptr) {
  CG::QulEmitterOptions options(nullptr, 3);
  options.setBuildsTreesAhead(aAhead);
  if (aFilter != nullptr)
    options.setFilter(aFilter);
  return CG::emitQuillEx(aScope, options);
}

TEST_F(TreesAhead, EachFunctionTakesTheTreeOfItsOwnGraph) {
  std::vector<CG::Fcn*> fcns = fcnsWithBodies(10);
  CG::PstAhead ahead(&ctx, fcns);
  for (CG::Fcn* fcn : fcns) {
    std::unique_ptr<CG::PooledPst> tree = ahead.take(fcn);
    ASSERT_NE(tree, nullptr) << fcn->name();
    EXPECT_EQ(tree->pst.cfg(), fcn->cfg()) << fcn->name();
  }
}

// The printing may pass functions by (a filter that rejects their bodies): their trees are dropped, and
// only a function further down the list still has one.
TEST_F(TreesAhead, TakingAFunctionDropsTheOnesBeforeIt) {
  std::vector<CG::Fcn*> fcns = fcnsWithBodies(8);
  CG::Fcn* outsider = fcnWithBody("outsider");
  CG::PstAhead ahead(&ctx, fcns);
  EXPECT_EQ(ahead.take(outsider), nullptr);
  EXPECT_NE(ahead.take(fcns[5]), nullptr);
  EXPECT_EQ(ahead.take(fcns[2]), nullptr);
  EXPECT_EQ(ahead.take(fcns[5]), nullptr);
  EXPECT_NE(ahead.take(fcns[7]), nullptr);
}

TEST_F(TreesAhead, OneFunctionIsLeftToThePrinting) {
  CG::Fcn* f = fcnWithBody("f");
  CG::PstAhead ahead(&ctx, {f});
  EXPECT_EQ(ahead.take(f), nullptr);
}

// Filters out every other body, so the printing passes trees built ahead.
class EveryOtherBody : public CG::ShouldEmitPredicate {
public:
  bool shouldEmit(CG_Obj* aObj) override { return !CG::Cfg::isa(aObj) || (fSeen++ % 2 == 0); }

private:
  int fSeen = 0;
};

TEST(TreesAheadOfGeneratedModules, PrintTheSameTextAsTreesBuiltInPlace) {
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

} // namespace
