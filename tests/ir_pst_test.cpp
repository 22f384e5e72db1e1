// Tests of the program structure tree: cycle equivalence, classification, queries, scale and arbitrary graphs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ir/cfg.h"
#include "ir/ctx.h"
#include "ir/mempool.h"
#include "ir/nodefactory.h"
#include "ir/pst.h"
#include "ir/region.h"
#include "ir/scope.h"
#include "ir/symbol.h"
#include "ir/typefactory.h"

using namespace CG;

namespace {

// ---- Cycle equivalence against the definition -------------------------------------------------

bool connectedWithout(int aNumNodes, const std::vector<UndirectedEdge>& aEdges, size_t aSkip1, size_t aSkip2) {
  std::vector<int> seen(aNumNodes, 0);
  std::vector<int> work{0};
  seen[0] = 1;
  while (!work.empty()) {
    int node = work.back();
    work.pop_back();
    for (size_t e = 0; e < aEdges.size(); ++e) {
      if (e == aSkip1 || e == aSkip2) {
        continue;
      }
      int next = aEdges[e].first == node ? aEdges[e].second : aEdges[e].second == node ? aEdges[e].first : -1;
      if (next >= 0 && !seen[next]) {
        seen[next] = 1;
        work.push_back(next);
      }
    }
  }
  return std::count(seen.begin(), seen.end(), 1) == aNumNodes;
}

// In a connected graph without bridges two distinct edges are cycle equivalent exactly when removing both
// disconnects it.
TEST(PstCycleEquivalence, MatchesTwoEdgeCutsOnRandomGraphs) {
  int checked = 0;
  for (uint32_t seed = 1; seed <= 400; ++seed) {
    std::mt19937 rng(seed);
    int numNodes = 2 + static_cast<int>(rng() % 7);
    std::vector<UndirectedEdge> edges;
    for (int node = 1; node < numNodes; ++node) {
      edges.push_back({static_cast<int>(rng() % node), node});
    }
    int extra = 1 + static_cast<int>(rng() % (2 * numNodes));
    for (int i = 0; i < extra; ++i) {
      edges.push_back({static_cast<int>(rng() % numNodes), static_cast<int>(rng() % numNodes)});
    }
    bool hasBridge = false;
    for (size_t e = 0; e < edges.size() && !hasBridge; ++e) {
      hasBridge = !connectedWithout(numNodes, edges, e, e);
    }
    if (hasBridge) {
      continue;
    }
    ++checked;
    std::vector<int> classes = cycleEquivalenceClasses(numNodes, edges, static_cast<int>(rng() % numNodes));
    ASSERT_EQ(classes.size(), edges.size());
    for (size_t a = 0; a < edges.size(); ++a) {
      for (size_t b = a + 1; b < edges.size(); ++b) {
        bool selfLoop = edges[a].first == edges[a].second || edges[b].first == edges[b].second;
        bool expected = !selfLoop && !connectedWithout(numNodes, edges, a, b);
        ASSERT_EQ(classes[a] == classes[b], expected) << "seed " << seed << " edges " << a << "," << b;
      }
    }
  }
  EXPECT_GT(checked, 100);
}

TEST(PstCycleEquivalence, RejectsEdgeOutsideTheNodes) {
  EXPECT_THROW(cycleEquivalenceClasses(2, {{0, 1}, {1, 2}}, 0), InternalException);
}

// ---- Fixture ----------------------------------------------------------------------------------

class PstTest : public ::testing::Test {
public:
  PstTest() : fTypes(&fCtx) { useFreshFunction("f"); }

  // Later statements and regions go into a new function's graph.
  void useFreshFunction(const std::string& aName) {
    fFcn = Fcn::create(fCtx.globalScope(), aName.c_str());
    fNodes = std::make_unique<NodeFactory>(fFcn, nullptr);
    fRegions = std::make_unique<RegionFactory>(fNodes.get());
    fCfg = fFcn->cfg();
    fFlag = cg_var_create(fFcn->localScope(), fTypes.boolType(), "flag");
    fInt = cg_var_create(fFcn->localScope(), fTypes.signedInt32Type(), "i");
  }

  NodeFactory& nodes() { return *fNodes; }
  RegionFactory& regions() { return *fRegions; }
  CommentStmt* comment(const char* aText) { return nodes().commentStmt(aText); }
  Region* text(const char* aText) { return regions().stmtRegion(comment(aText)); }
  Expr* cond() { return nodes().varExpr(fFlag); }
  Expr* intVar() { return nodes().varExpr(fInt); }
  Region* loop(Region* aBody, bool aParallel) {
    return regions().forRegion(intVar(), intVar(), intVar(), intVar(), aBody, aParallel);
  }
  void join(Stmt* aFrom, int aOutPort, Stmt* aTo, int aInPort) {
    aFrom->outPort(aOutPort).connect(aTo->inPort(aInPort));
  }

  Pst& tree() {
    fPst.reset();
    fPool = std::make_unique<ManagedCGPool>(&fCtx);
    fPst = std::make_unique<Pst>(fFcn, fPool->pool(), 1);
    return *fPst;
  }

  CG_Ctx fCtx;
  TypeFactory fTypes;
  Fcn* fFcn = nullptr;
  std::unique_ptr<NodeFactory> fNodes;
  std::unique_ptr<RegionFactory> fRegions;
  Cfg* fCfg = nullptr;
  Var* fFlag = nullptr;
  Var* fInt = nullptr;
  std::unique_ptr<ManagedCGPool> fPool;
  std::unique_ptr<Pst> fPst;
};

// A compact picture of a tree: bb(a,b) chain(..) if(t,f) switch(c..,d) while(b) do(b) for(b) parfor(b) U(..);
// "-" for an empty branch or body.
std::string describe(const Region* aRegion) {
  if (aRegion == nullptr) {
    return "-";
  }
  auto list = [](const std::vector<Region*>& aParts) {
    std::string text;
    for (size_t i = 0; i < aParts.size(); ++i) {
      text += (i > 0 ? "," : "") + describe(aParts[i]);
    }
    return text;
  };
  switch (aRegion->regionKind()) {
  case RegionKind::BASIC_BLOCK: {
    std::string text;
    for (Stmt* stmt : BasicBlockRegion::cast(aRegion)->stmts()) {
      text += (text.empty() ? "" : ",") + std::string(CommentStmt::cast(stmt)->text());
    }
    return "bb(" + text + ")";
  }
  case RegionKind::CHAIN:
    return "chain(" + list(ChainRegion::cast(aRegion)->children().toVector()) + ")";
  case RegionKind::IF:
    return "if(" + list({IfRegion::cast(aRegion)->trueBranch(), IfRegion::cast(aRegion)->falseBranch()}) + ")";
  case RegionKind::SWITCH: {
    const SwitchRegion* region = SwitchRegion::cast(aRegion);
    std::vector<Region*> branches;
    for (int i = 0; i < region->numCases(); ++i) {
      branches.push_back(region->caseBranch(i));
    }
    branches.push_back(region->defaultBranch());
    return "switch(" + list(branches) + ")";
  }
  case RegionKind::WHILE:
    return "while(" + describe(WhileRegion::cast(aRegion)->body()) + ")";
  case RegionKind::DO_WHILE:
    return "do(" + describe(DoWhileRegion::cast(aRegion)->body()) + ")";
  case RegionKind::FOR_LOOP:
  case RegionKind::PARALLEL_FOR_LOOP:
    return std::string(regionKindName(aRegion->regionKind())) + "(" +
           describe(AbstractForLoopRegion::cast(aRegion)->body()) + ")";
  case RegionKind::UNSTRUCTURED:
    return "U(" + list(UnstructuredRegion::cast(aRegion)->children().toVector()) + ")";
  case RegionKind::FRAGMENT:
    break;
  }
  return "?";
}

// ---- Invariants every tree must satisfy -------------------------------------------------------

std::vector<const Region*> allRegions(const Region* aRoot) {
  std::vector<const Region*> regions;
  std::vector<const Region*> work;
  if (aRoot != nullptr) {
    work.push_back(aRoot);
  }
  while (!work.empty()) {
    const Region* region = work.back();
    work.pop_back();
    regions.push_back(region);
    for (Region* child : childRegions(region)) {
      EXPECT_EQ(child->parent(), region) << regionKindName(child->regionKind());
      work.push_back(child);
    }
  }
  return regions;
}

std::set<Stmt*> contents(const Region* aRegion) {
  std::set<Stmt*> inside;
  for (const Region* region : allRegions(aRegion)) {
    for (Stmt* stmt : ownStmts(region)) {
      inside.insert(stmt);
    }
  }
  return inside;
}

bool isAncestorOrSelf(const Region* aAncestor, const Region* aRegion) {
  for (; aRegion != nullptr; aRegion = aRegion->parent()) {
    if (aRegion == aAncestor) {
      return true;
    }
  }
  return false;
}

bool isMergeOrSplit(const Stmt* aStmt) {
  return MergeStmt::isa(aStmt) || SplitStmt::isa(aStmt);
}

// Control enters only through the entry and leaves only through the exit.
void expectSingleEntrySingleExit(const Region* aRegion, const std::vector<uint8_t>& aReached) {
  std::set<Stmt*> inside = contents(aRegion);
  ASSERT_TRUE(inside.count(aRegion->entry().stmt())) << regionKindName(aRegion->regionKind());
  if (aRegion->exit().valid()) {
    EXPECT_TRUE(inside.count(aRegion->exit().stmt()));
    Stmt* after = aRegion->exit().stmt()->succ(aRegion->exit().index);
    EXPECT_FALSE(after != nullptr && inside.count(after));
  }
  for (Stmt* stmt : inside) {
    for (int i = 0; i < stmt->numInPorts(); ++i) {
      Stmt* from = stmt->pred(i);
      if (from != nullptr && aReached[from->number()] && !inside.count(from)) {
        EXPECT_EQ(stmt->inPort(i), aRegion->entry()) << regionKindName(aRegion->regionKind());
      }
    }
    for (int i = 0; i < stmt->numOutPorts(); ++i) {
      Stmt* to = stmt->succ(i);
      if (to != nullptr && !inside.count(to)) {
        EXPECT_EQ(stmt->outPort(i), aRegion->exit()) << regionKindName(aRegion->regionKind());
      }
    }
  }
}

// What the printer does along a branch: print the outermost region entered, go on after its exit.
InPort followRegions(const Pst& aPst, InPort aPort, std::vector<Region*>* aPrinted = nullptr) {
  while (aPort.valid() && aPst.isRegionEntry(aPort)) {
    Region* region = aPst.outerEntryTo(aPort);
    if (aPrinted != nullptr) {
      aPrinted->push_back(region);
    }
    Edge* exitEdge = region->exit().edge();
    aPort = exitEdge != nullptr ? exitEdge->inPort() : InPort();
  }
  return aPort;
}

// The printer's walk of an unstructured region: from its entry over its merges and splits, through child
// regions at their entries, stopping at the exit merge or (after an exit split) at the continuation. It must
// meet every own statement and print every child.
void expectWalkCoversUnstructured(const Pst& aPst, const UnstructuredRegion* aRegion) {
  Stmt* continuation = aRegion->successorInPort().stmt();
  Stmt* stop = MergeStmt::isa(aRegion->exitStmt()) ? aRegion->exitStmt() : continuation;
  std::set<Stmt*> visited{stop};
  std::set<Region*> printed;
  std::vector<InPort> work{aRegion->entry()};
  bool atEntry = true;
  while (!work.empty()) {
    InPort port = work.back();
    work.pop_back();
    while (!atEntry && port.valid() && aPst.isRegionEntry(port) && !visited.count(port.stmt())) {
      Region* region = aPst.outerEntryTo(port);
      EXPECT_EQ(region->parent(), aRegion);
      EXPECT_TRUE(printed.insert(region).second);
      Edge* exitEdge = region->exit().edge();
      port = exitEdge != nullptr ? exitEdge->inPort() : InPort();
    }
    atEntry = false;
    Stmt* stmt = port.stmt();
    if (stmt == nullptr || visited.count(stmt)) {
      continue;
    }
    ASSERT_TRUE(isMergeOrSplit(stmt)) << stmt->opName();
    visited.insert(stmt);
    for (int i = 0; i < stmt->numOutPorts(); ++i) {
      work.push_back(stmt->succInPort(i));
    }
  }
  visited.erase(continuation);
  const auto& own = aRegion->ownStmts();
  EXPECT_EQ(visited, std::set<Stmt*>(own.begin(), own.end()));
  const auto& children = aRegion->children();
  EXPECT_EQ(printed, std::set<Region*>(children.begin(), children.end()));
}

// Each out-port of aSplit leads through at most one region (the matching entry of aBranches) to an in-port of
// aJoin, a different one each time.
void expectBranchesJoin(const Pst& aPst, Stmt* aSplit, const std::vector<Region*>& aBranches, Stmt* aJoin) {
  std::set<int> joinPorts;
  for (int i = 0; i < aSplit->numOutPorts(); ++i) {
    std::vector<Region*> printed;
    InPort reached = followRegions(aPst, aSplit->succInPort(i), &printed);
    EXPECT_EQ(reached.node, aJoin);
    EXPECT_TRUE(joinPorts.insert(reached.index).second);
    EXPECT_EQ(printed, aBranches[i] ? std::vector<Region*>{aBranches[i]} : std::vector<Region*>{});
  }
}

// A loop body: from aFrom through at most aBody back to aTo.
void expectBody(const Pst& aPst, OutPort aFrom, Region* aBody, InPort aTo) {
  std::vector<Region*> printed;
  EXPECT_EQ(followRegions(aPst, aFrom.stmt()->succInPort(aFrom.index), &printed), aTo);
  EXPECT_EQ(printed, aBody ? std::vector<Region*>{aBody} : std::vector<Region*>{});
}

void expectPartsConsistent(const Pst& aPst, const Region* aRegion) {
  if (const BasicBlockRegion* block = BasicBlockRegion::isa(aRegion) ? BasicBlockRegion::cast(aRegion) : nullptr) {
    for (size_t i = 0; i + 1 < block->stmts().size(); ++i) {
      EXPECT_EQ(block->stmts()[i]->succ(0), block->stmts()[i + 1]);
    }
  } else if (const ChainRegion* chain = ChainRegion::isa(aRegion) ? ChainRegion::cast(aRegion) : nullptr) {
    EXPECT_GE(chain->children().size(), 2u);
    for (size_t i = 0; i + 1 < chain->children().size(); ++i) {
      OutPort exit = chain->children()[i]->exit();
      EXPECT_EQ(exit.stmt()->succInPort(exit.index), chain->children()[i + 1]->entry());
    }
  } else if (const IfRegion* branch = IfRegion::isa(aRegion) ? IfRegion::cast(aRegion) : nullptr) {
    expectBranchesJoin(aPst, branch->ifStmt(), {branch->trueBranch(), branch->falseBranch()}, branch->joinStmt());
  } else if (const SwitchRegion* choice = SwitchRegion::isa(aRegion) ? SwitchRegion::cast(aRegion) : nullptr) {
    std::vector<Region*> branches;
    for (int i = 0; i < choice->numCases(); ++i) {
      branches.push_back(choice->caseBranch(i));
    }
    branches.push_back(choice->defaultBranch());
    expectBranchesJoin(aPst, choice->switchStmt(), branches, choice->joinStmt());
  } else if (const WhileRegion* loop = WhileRegion::isa(aRegion) ? WhileRegion::cast(aRegion) : nullptr) {
    EXPECT_EQ(loop->headStmt()->succ(), loop->testStmt());
    expectBody(aPst, loop->testStmt()->trueOutPort(), loop->body(), loop->headStmt()->inPort(1));
  } else if (const DoWhileRegion* loop = DoWhileRegion::isa(aRegion) ? DoWhileRegion::cast(aRegion) : nullptr) {
    expectBody(aPst, loop->headStmt()->outPort(), loop->body(), loop->testStmt()->inPort());
    EXPECT_EQ(loop->testStmt()->succInPort(IfStmt::kTruePort), loop->headStmt()->inPort(1));
  } else if (AbstractForLoopRegion::isa(aRegion)) {
    const AbstractForLoopRegion* loop = AbstractForLoopRegion::cast(aRegion);
    EXPECT_EQ(loop->entryStmt()->succ(), loop->exitStmt());
    EXPECT_EQ(ParallelForEntryStmt::isa(loop->entryStmt()), ParallelForLoopRegion::isa(aRegion));
    expectBody(aPst, loop->exitStmt()->bodyOutPort(), loop->body(),
               loop->entryStmt()->inPort(AbstractForEntryStmt::kBackEdgePort));
  } else {
    const UnstructuredRegion* region = UnstructuredRegion::cast(aRegion);
    EXPECT_TRUE(region->exitStmt() == nullptr || isMergeOrSplit(region->exitStmt()));
    std::set<Stmt*> inside = contents(aRegion);
    std::vector<Stmt*> expected;
    for (Stmt* stmt : aPst.cfg()->orderedStmts()) {
      if (inside.count(stmt)) {
        expected.push_back(stmt);
      }
    }
    EXPECT_EQ(region->stmts(), expected);
    std::vector<Stmt*> expectedOwn;
    for (Stmt* stmt : expected) {
      if (aPst.enclosingRegion(stmt) == region) {
        expectedOwn.push_back(stmt);
      }
    }
    EXPECT_EQ(region->ownStmts().toVector(), expectedOwn);
    expectWalkCoversUnstructured(aPst, region);
  }
}

// Every reachable statement but start and end belongs to exactly one region, the one enclosingRegion names;
// every region is single-entry single-exit, its parts fit, and its entry leads to it or an enclosing region.
void expectWellFormed(const Pst& aPst, Cfg* aCfg) {
  std::vector<uint8_t> reached = aCfg->reachability();
  std::vector<const Region*> regions = allRegions(aPst.root());
  if (aPst.root() != nullptr) {
    EXPECT_EQ(aPst.root()->parent(), nullptr);
    EXPECT_EQ(aPst.root()->entry(), aCfg->start()->succInPort(0));
  }
  std::map<Stmt*, const Region*> owner;
  for (const Region* region : regions) {
    for (Stmt* stmt : ownStmts(region)) {
      EXPECT_TRUE(owner.emplace(stmt, region).second) << "statement in two regions: " << stmt->opName();
    }
    EXPECT_TRUE(isAncestorOrSelf(aPst.outerEntryTo(region->entry()), region));
    expectSingleEntrySingleExit(region, reached);
    expectPartsConsistent(aPst, region);
  }
  for (Stmt* stmt : aCfg->stmts()) {
    bool inTree = reached[stmt->number()] && stmt != aCfg->start() && stmt != aCfg->end();
    auto found = owner.find(stmt);
    ASSERT_EQ(found != owner.end(), inTree) << stmt->opName();
    EXPECT_EQ(aPst.enclosingRegion(stmt), inTree ? found->second : nullptr);
    if (inTree && SeseStmt::isa(stmt)) {
      EXPECT_TRUE(BasicBlockRegion::isa(found->second));
    }
  }
}

} // namespace

// ---- Structured shapes ------------------------------------------------------------------------

TEST_F(PstTest, StructuredShapesAreClassified) {
  struct Row {
    const char* name;
    std::function<Region*(PstTest&)> body;
    const char* expected;
  };
  const Row rows[] = {
      {"empty", [](PstTest&) { return nullptr; }, "-"},
      {"basic block",
       [](PstTest& t) {
         return t.regions().sequenceRegion({t.text("a"), t.text("b"), t.text("c")});
       },
       "bb(a,b,c)"},
      {"if with empty else", [](PstTest& t) { return t.regions().ifRegion(t.cond(), t.text("a"), nullptr); },
       "if(bb(a),-)"},
      {"if with empty then",
       [](PstTest& t) {
         return t.regions().ifRegion(t.cond(), nullptr, t.regions().concatRegion(t.text("a"), t.text("b")));
       },
       "if(-,bb(a,b))"},
      {"if both empty", [](PstTest& t) { return t.regions().ifRegion(t.cond(), nullptr, nullptr); }, "if(-,-)"},
      {"while", [](PstTest& t) { return t.regions().whileRegion(t.cond(), t.text("a")); }, "while(bb(a))"},
      {"while empty", [](PstTest& t) { return t.regions().whileRegion(t.cond(), nullptr); }, "while(-)"},
      {"do-while", [](PstTest& t) { return t.regions().doWhileRegion(t.text("a"), t.cond()); }, "do(bb(a))"},
      {"for", [](PstTest& t) { return t.loop(t.text("a"), false); }, "for(bb(a))"},
      {"parfor empty", [](PstTest& t) { return t.loop(nullptr, true); }, "parfor(-)"},
      {"switch",
       [](PstTest& t) {
         SwitchRegionBuilder builder(&t.regions());
         builder.setCondition(t.intVar());
         builder.addCase(t.intVar(), t.text("a"));
         builder.addCase(t.intVar(), nullptr);
         builder.addCase(t.intVar(), t.regions().ifRegion(t.cond(), t.text("b"), nullptr));
         builder.setDefault(t.text("d"));
         return builder.build();
       },
       "switch(bb(a),-,if(bb(b),-),bb(d))"},
      {"chain",
       [](PstTest& t) {
         return t.regions().sequenceRegion({t.text("a"), t.text("b"), t.regions().whileRegion(t.cond(), nullptr),
                                            t.text("c"), t.regions().ifRegion(t.cond(), t.text("d"), t.text("e"))});
       },
       "chain(bb(a,b),while(-),bb(c),if(bb(d),bb(e)))"},
      {"loops in a row",
       [](PstTest& t) {
         return t.regions().sequenceRegion(
             {t.regions().whileRegion(t.cond(), t.text("a")), t.regions().doWhileRegion(t.text("b"), t.cond())});
       },
       "chain(while(bb(a)),do(bb(b)))"},
      {"nested several deep",
       [](PstTest& t) {
         Region* inner = t.loop(t.regions().concatRegion(t.text("x"), t.loop(t.text("y"), true)), false);
         Region* middle = t.regions().doWhileRegion(t.regions().ifRegion(t.cond(), inner, t.text("e")), t.cond());
         return t.regions().whileRegion(t.cond(), t.regions().sequenceRegion({t.text("a"), middle, t.text("z")}));
       },
       "while(chain(bb(a),do(if(for(chain(bb(x),parfor(bb(y)))),bb(e))),bb(z)))"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    useFreshFunction(row.name);
    regions().setBody(row.body(*this));
    Pst& pst = tree();
    EXPECT_EQ(describe(pst.root()), row.expected);
    expectWellFormed(pst, fCfg);
  }
}

TEST_F(PstTest, StructuredPartsAndQueries) {
  CommentStmt* before = comment("before");
  CommentStmt* inside = comment("inside");
  Region* loop = regions().whileRegion(cond(), regions().ifRegion(cond(), regions().stmtRegion(inside), nullptr));
  regions().setBody(regions().sequenceRegion({regions().stmtRegion(before), loop}));
  CommentStmt* orphan = comment("orphan");
  Pst& pst = tree();
  ASSERT_EQ(describe(pst.root()), "chain(bb(before),while(if(bb(inside),-)))");
  ChainRegion* root = ChainRegion::cast(pst.root());
  WhileRegion* whileRegion = WhileRegion::cast(root->children()[1]);
  IfRegion* ifRegion = IfRegion::cast(whileRegion->body());
  EXPECT_EQ(whileRegion->headStmt(), loop->entry().node);
  EXPECT_EQ(whileRegion->exit(), whileRegion->testStmt()->falseOutPort());
  EXPECT_EQ(ifRegion->exit(), ifRegion->joinStmt()->outPort());
  EXPECT_EQ(ifRegion->parent(), whileRegion);
  // The root and the first basic block share their entry: the outermost wins.
  EXPECT_EQ(pst.outerEntryTo(before->inPort()), root);
  EXPECT_EQ(pst.outerEntryTo(inside->inPort()), pst.enclosingRegion(inside));
  EXPECT_EQ(pst.outerEntryTo(whileRegion->headStmt()->inPort(0)), whileRegion);
  EXPECT_FALSE(pst.isRegionEntry(whileRegion->headStmt()->inPort(1)));
  EXPECT_FALSE(pst.isRegionEntry(whileRegion->testStmt()->inPort()));
  EXPECT_FALSE(pst.isRegionEntry(InPort()));
  EXPECT_EQ(pst.enclosingRegion(whileRegion->testStmt()), whileRegion);
  EXPECT_EQ(pst.enclosingRegion(ifRegion->joinStmt()), ifRegion);
  EXPECT_EQ(pst.enclosingRegion(orphan), nullptr);
  EXPECT_EQ(pst.enclosingRegion(fCfg->start()), nullptr);
  EXPECT_EQ(pst.enclosingRegion(fCfg->end()), nullptr);
  EXPECT_THROW(IfRegion::cast(static_cast<Region*>(root)), InternalException);
  EXPECT_FALSE(WhileRegion::isa(loop));
}

TEST_F(PstTest, BadArgumentsAreReported) {
  ManagedCGPool pool(&fCtx);
  EXPECT_THROW(Pst(nullptr, pool.pool(), 1), InternalException);
  EXPECT_THROW(Pst(fFcn, pool.pool(), 7), InternalException);
}

// ---- Unstructured graphs ----------------------------------------------------------------------

namespace {

// Joins statements named in "from>to" pairs ("name.port", port 0 when left out): S is the start, E the end; a
// name starting with i makes an if, w a switch with one case, m a merge (a digit after the m gives its in-port
// count, else 2); any other name makes a comment with that text.
std::map<std::string, Stmt*> buildGraph(PstTest& aTest, const std::string& aEdges) {
  std::map<std::string, Stmt*> named{{"S", aTest.fCfg->start()}, {"E", aTest.fCfg->end()}};
  auto end = [&](const std::string& aText, int& aPort) {
    size_t dot = aText.find('.');
    aPort = dot == std::string::npos ? 0 : std::stoi(aText.substr(dot + 1));
    std::string name = aText.substr(0, dot);
    Stmt*& stmt = named[name];
    if (stmt == nullptr) {
      bool counted = name.size() > 1 && isdigit(name[1]);
      stmt = name[0] == 'i'   ? static_cast<Stmt*>(aTest.nodes().ifStmt(aTest.cond()))
             : name[0] == 'w' ? static_cast<Stmt*>(aTest.nodes().switchStmt(aTest.intVar(), {aTest.intVar()}))
             : name[0] == 'm' ? static_cast<Stmt*>(aTest.nodes().mergeStmt(counted ? name[1] - '0' : 2))
             : name[0] == 'h' ? static_cast<Stmt*>(aTest.nodes().forEntryStmt(aTest.intVar(), aTest.intVar(),
                                                                              aTest.intVar(), aTest.intVar()))
             // A for loop's test follows its head, named alike: t1 after h1.
             : name[0] == 't' ? static_cast<Stmt*>(aTest.nodes().forExitStmt(
                                    AbstractForEntryStmt::cast(named.at("h" + name.substr(1)))))
                              : static_cast<Stmt*>(aTest.comment(name.c_str()));
    }
    return stmt;
  };
  std::istringstream pairs(aEdges);
  for (std::string pair; pairs >> pair;) {
    int fromPort = 0;
    int toPort = 0;
    Stmt* from = end(pair.substr(0, pair.find('>')), fromPort);
    Stmt* to = end(pair.substr(pair.find('>') + 1), toPort);
    from->outPort(fromPort).connect(to->inPort(toPort));
  }
  return named;
}

} // namespace

// A jump from before an if into its true branch: the area from the first if to the join is unstructured.
TEST_F(PstTest, JumpIntoBranchIsUnstructuredBetweenSplitAndMerge) {
  auto g = buildGraph(*this, "S>p p>i0 i0.0>m.0 i0.1>q q>i1 i1.0>a a>m.1 m>b b>mj.0 i1.1>c c>mj.1 mj>r r>E");
  Pst& pst = tree();
  ASSERT_EQ(describe(pst.root()), "chain(bb(p),U(bb(b),bb(q),bb(a),bb(c)),bb(r))");
  UnstructuredRegion* region = UnstructuredRegion::cast(ChainRegion::cast(pst.root())->children()[1]);
  EXPECT_EQ(region->entryStmt(), g["i0"]);
  EXPECT_EQ(region->exitStmt(), g["mj"]);
  EXPECT_EQ(region->successorInPort(), g["r"]->inPort(0));
  EXPECT_EQ(region->stmts(), (std::vector<Stmt*>{g["i0"], g["m"], g["b"], g["mj"], g["q"], g["i1"], g["a"], g["c"]}));
  EXPECT_EQ(pst.enclosingRegion(g["m"]), region);
  EXPECT_EQ(pst.enclosingRegion(g["i1"]), region);
  EXPECT_EQ(pst.outerEntryTo(g["p"]->inPort(0)), pst.root());
  EXPECT_EQ(pst.outerEntryTo(g["i0"]->inPort(0)), region);
  EXPECT_EQ(pst.outerEntryTo(g["b"]->inPort(0)), pst.enclosingRegion(g["b"]));
  EXPECT_FALSE(pst.isRegionEntry(g["m"]->inPort(0)));
  EXPECT_FALSE(pst.isRegionEntry(g["mj"]->inPort(1)));
  expectWellFormed(pst, fCfg);
}

// Shapes left by gotos and hand-built graphs: each gives the expected, well-formed tree.
TEST_F(PstTest, AwkwardGraphsGiveWellFormedTrees) {
  const struct {
    const char* name;
    const char* edges;
    const char* expected;
  } rows[] = {
      {"jump out of a loop", "S>mh.0 mh>it it.0>a a>ig ig.0>mo.1 ig.1>b b>mh.1 it.1>mo.0 mo>e e>E",
       "chain(U(bb(a),bb(b)),bb(e))"},
      {"several jumps to one merge", "S>i1 i1.0>m3.0 i1.1>i2 i2.0>m3.1 i2.1>a a>m3.2 m3>E", "U(bb(a))"},
      {"merge with an unconnected in-port", "S>a a>m3.1 m3>b b>E", "chain(bb(a),U(),bb(b))"},
      {"irreducible loop", "S>i i.0>ml.0 i.1>mr.0 ml>a a>it it.0>mr.1 it.1>md.0 mr>b b>ml.1 md>E",
       "chain(U(bb(a),bb(b)),U())"},
      {"do-while whose test leads back through a statement", "S>mh mh>a a>i i.0>b b>mh.1 i.1>E", "U(bb(a),bb(b))"},
      {"while entered on in-port 1", "S>mh.1 mh>i i.0>a a>mh.0 i.1>E", "U(bb(a))"},
      {"switch built by hand", "S>w w.0>a w.1>mj.1 a>mj.0 mj>E", "switch(bb(a),-)"},
      {"endless loop", "S>a a>mh.0 mh>b b>mh.1", "chain(bb(a),U(bb(b)))"},
      {"merge looping on itself", "S>a a>m.0 m>m.1", "chain(bb(a),U())"},
      {"dangling out-port", "S>a", "bb(a)"},
      {"branch into nothing", "S>i i.0>a i.1>b b>E", "chain(U(bb(a)),bb(b))"},
      {"unreachable statements", "S>a a>E x>mu.1 y>mu.0", "bb(a)"},
      // A for loop's head is its start and its next round: no branches join there, and no region separates the
      // head from its test or starts at its back edge.
      {"if whose branches meet at a for loop's head", "S>i i.0>h.0 i.1>h.1 h>t t.0>a a>mx.0 t.1>mx.1 mx>E", "U(bb(a))"},
      {"for loop entered in the middle of its body", "S>m.1 m>b b>h.1 h>t t.0>a a>m.0 t.1>c c>E",
       "chain(U(bb(b),bb(a)),bb(c))"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    useFreshFunction(row.name);
    buildGraph(*this, row.edges);
    Pst& pst = tree();
    EXPECT_EQ(describe(pst.root()), row.expected);
    expectWellFormed(pst, fCfg);
  }
}

// ---- Scale ------------------------------------------------------------------------------------

TEST_F(PstTest, TenThousandNestedLoopsNeedNoRecursion) {
  const int depth = 10000;
  Region* region = text("core");
  for (int i = 0; i < depth; ++i) {
    region = regions().whileRegion(cond(), region);
  }
  regions().setBody(region);
  Pst& pst = tree();
  const Region* current = pst.root();
  int loops = 0;
  for (; WhileRegion::isa(current); current = WhileRegion::cast(current)->body()) {
    ++loops;
  }
  EXPECT_EQ(loops, depth);
  ASSERT_TRUE(BasicBlockRegion::isa(current));
  EXPECT_EQ(pst.enclosingRegion(BasicBlockRegion::cast(current)->stmts().front()), current);
  const Region* outer = current->parent()->parent();
  EXPECT_EQ(pst.enclosingRegion(outer->entry().stmt()), outer);
  EXPECT_EQ(pst.outerEntryTo(outer->entry()), outer);
}

TEST_F(PstTest, MillionStatementChainIsOneBasicBlock) {
  const int length = 1000000;
  std::vector<Region*> parts;
  parts.reserve(length);
  for (int i = 0; i < length; ++i) {
    parts.push_back(regions().stmtRegion(nodes().commentStmt("s")));
  }
  regions().setBody(regions().sequenceRegion(parts));
  Pst& pst = tree();
  ASSERT_TRUE(BasicBlockRegion::isa(pst.root()));
  EXPECT_EQ(BasicBlockRegion::cast(pst.root())->stmts().size(), static_cast<size_t>(length));
  EXPECT_EQ(pst.enclosingRegion(fCfg->end()->pred()), pst.root());
}

// ---- Arbitrary graphs -------------------------------------------------------------------------

class PstRandomTest : public PstTest {
public:
  // Random statements joined at random: some out-ports stay unconnected, some statements unreachable.
  void randomGraph(uint32_t aSeed) {
    std::mt19937 rng(aSeed);
    std::vector<OutPort> outs{fCfg->start()->outPort()};
    std::vector<InPort> ins{fCfg->end()->inPort()};
    auto addPorts = [&](Stmt* aStmt) {
      for (int port = 0; port < aStmt->numInPorts(); ++port) {
        ins.push_back(aStmt->inPort(port));
      }
      for (int port = 0; port < aStmt->numOutPorts(); ++port) {
        outs.push_back(aStmt->outPort(port));
      }
    };
    int numStmts = 1 + static_cast<int>(rng() % 24);
    for (int i = 0; i < numStmts; ++i) {
      int kind = static_cast<int>(rng() % 9);
      if (kind < 3) {
        addPorts(comment("s"));
      } else if (kind < 5) {
        addPorts(nodes().mergeStmt(2 + static_cast<int>(rng() % 2)));
      } else if (kind < 7) {
        addPorts(nodes().ifStmt(cond()));
      } else if (kind == 7) {
        addPorts(nodes().switchStmt(intVar(), {intVar()}));
      } else {
        ForEntryStmt* entry = nodes().forEntryStmt(intVar(), intVar(), intVar(), intVar());
        AbstractForExitStmt* exit = nodes().forExitStmt(entry);
        entry->outPort().connect(exit->inPort());
        ins.push_back(entry->inPort(0));
        ins.push_back(entry->inPort(1));
        addPorts(exit);
      }
    }
    std::shuffle(outs.begin() + 1, outs.end(), rng);
    for (OutPort out : outs) {
      if (ins.empty() || (out.node != fCfg->start() && rng() % 12 == 0)) {
        continue;
      }
      size_t pick = rng() % ins.size();
      out.connect(ins[pick]);
      ins.erase(ins.begin() + static_cast<long>(pick));
    }
  }

  // A random structured program.
  Region* program(std::mt19937& aRng, int aDepth) {
    int choice = aDepth <= 0 ? 0 : static_cast<int>(aRng() % 9);
    auto part = [&]() { return aRng() % 4 == 0 ? nullptr : program(aRng, aDepth - 1); };
    switch (choice) {
    case 0:
      return text("s");
    case 1:
      return regions().sequenceRegion({program(aRng, aDepth - 1), program(aRng, aDepth - 1)});
    case 2:
      return regions().ifRegion(cond(), part(), part());
    case 3:
      return regions().whileRegion(cond(), part());
    case 4:
      return regions().doWhileRegion(part(), cond());
    case 5:
      return loop(part(), aRng() % 2 == 0);
    case 6: {
      SwitchRegionBuilder builder(&regions());
      builder.setCondition(intVar());
      builder.addCase(intVar(), part());
      builder.addCase(intVar(), part());
      builder.setDefault(part());
      return builder.build();
    }
    default:
      return regions().sequenceRegion({text("s"), program(aRng, aDepth - 1)});
    }
  }

  void addGotos(std::mt19937& aRng, int aCount) {
    for (int i = 0; i < aCount; ++i) {
      std::vector<SeseStmt*> sources;
      std::vector<InPort> targets;
      for (Stmt* stmt : fCfg->stmts()) {
        if (SeseStmt::isa(stmt) && stmt->succ(0) != nullptr) {
          sources.push_back(SeseStmt::cast(stmt));
        }
        for (int port = 0; port < stmt->numInPorts(); ++port) {
          if (stmt->inEdge(port) != nullptr) {
            targets.push_back(stmt->inPort(port));
          }
        }
      }
      if (sources.empty() || targets.empty()) {
        return;
      }
      SeseStmt* source = sources[aRng() % sources.size()];
      InPort target = targets[aRng() % targets.size()];
      InPort next = source->succInPort();
      if (target == next) {
        continue;
      }
      OutPort targetPred = target.edge()->outPort();
      IfStmt* branch = nodes().ifStmt(cond());
      MergeStmt* label = nodes().mergeStmt(2);
      targetPred.connect(label->inPort(0));
      label->outPort().connect(target);
      source->outPort().connect(branch->inPort());
      branch->falseOutPort().connect(next);
      branch->trueOutPort().connect(label->inPort(1));
    }
  }
};

TEST_F(PstRandomTest, ArbitraryGraphsGiveWellFormedTrees) {
  for (uint32_t seed = 1; seed <= 600; ++seed) {
    SCOPED_TRACE(seed);
    useFreshFunction("g" + std::to_string(seed));
    randomGraph(seed);
    Pst& pst = tree();
    expectWellFormed(pst, fCfg);
    if (HasFatalFailure() || HasNonfatalFailure()) {
      return;
    }
  }
}

TEST_F(PstRandomTest, StructuredProgramsWithGotosGiveWellFormedTrees) {
  int structuredRoots = 0;
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    SCOPED_TRACE(seed);
    useFreshFunction("p" + std::to_string(seed));
    std::mt19937 rng(seed);
    regions().setBody(program(rng, 5));
    int gotos = static_cast<int>(rng() % 5);
    addGotos(rng, gotos);
    Pst& pst = tree();
    expectWellFormed(pst, fCfg);
    if (HasFatalFailure() || HasNonfatalFailure()) {
      return;
    }
    bool unstructured = false;
    for (const Region* region : allRegions(pst.root())) {
      unstructured = unstructured || UnstructuredRegion::isa(region);
    }
    EXPECT_TRUE(gotos > 0 || !unstructured) << describe(pst.root());
    structuredRoots += unstructured ? 0 : 1;
  }
  EXPECT_GT(structuredRoots, 50);
}
