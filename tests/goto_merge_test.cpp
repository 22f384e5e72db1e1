// Goto/label rewriting into merges, and the elimination of merges that join nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "ir/cfg.h"
#include "ir/nodefactory.h"
#include "ir/symbol.h"
#include "ir/typefactory.h"
#include "parse/gotostmt.h"
#include "parse/mergeelim.h"
#include "tests/parser_support.h"

namespace {

using quill_parse_test::CollectedLog;

// A parser that leaves the placeholders in place, so each pass can be run alone.
class RawParser : public CG::QulParser {
public:
  using CG::QulParser::QulParser;

protected:
  void runPostProcessing() override {}
};

class Gotos : public ::testing::Test {
protected:
  CG_Ctx ctx;
  CG::ManagedCGPool pool{&ctx};
  RawParser parser{&ctx, pool, ctx.globalScope(), ctx.globalScope()};

  CG::Fcn* parseBody(const std::string& aBody) {
    parser.parse(("x <- var(int32,x);\nf <- function((),(),f) {\n" + aBody + "}\n").c_str());
    for (CG::Symbol* symbol = ctx.globalScope()->firstSymbol(); symbol; symbol = symbol->next())
      if (CG::Fcn::isa(symbol))
        return CG::Fcn::cast(symbol);
    return nullptr;
  }

  // The merges of the function's graph, in statement order.
  static std::vector<CG::MergeStmt*> merges(CG::Fcn* aFcn) {
    std::vector<CG::MergeStmt*> found;
    for (CG::StmtIterator it(aFcn); it.hasCurrent(); it.advance())
      if (CG::Node::isKind(it.current(), CG::Node::Kind::MERGE_STMT))
        found.push_back(CG::MergeStmt::cast(it.current()));
    return found;
  }

  static int countPlaceholders(CG::Fcn* aFcn) {
    int count = 0;
    for (CG::StmtIterator it(aFcn); it.hasCurrent(); it.advance())
      count += CG::QulGotoStmt::isa(it.current()) || CG::QulLabelStmt::isa(it.current());
    return count;
  }

  // The merge that the label became: the one whose successor is the statement "=(x,5)".
  static CG::MergeStmt* labelMerge(CG::Fcn* aFcn) {
    for (CG::MergeStmt* merge : merges(aFcn))
      if (CG::ExprStmt::isa(merge->succ()))
        return merge;
    return nullptr;
  }

  void transform(CG::Fcn* aFcn) { CG::QulTransformGoto(pool).transformFcn(aFcn); }
  // "id: message" of the error the rewrite raises, or "" when there is none.
  std::string transformError(CG::Fcn* aFcn) {
    try {
      transform(aFcn);
    } catch (const CG::MessageException& aError) {
      return std::string(aError.id()) + ": " + aError.what();
    }
    return "";
  }
};

TEST_F(Gotos, PlaceholdersHoldTheirLabelAsAStringConstantInAuxSlotZero) {
  CG::Fcn* fcn = parseBody("  goto(L);\n  label(L);\n");
  std::vector<CG::QulLabelledStmt*> placeholders;
  for (CG::StmtIterator it(fcn); it.hasCurrent(); it.advance()) {
    if (CG::QulGotoStmt::isa(it.current()))
      placeholders.push_back(CG::QulGotoStmt::cast(it.current()));
    if (CG::QulLabelStmt::isa(it.current()))
      placeholders.push_back(CG::QulLabelStmt::cast(it.current()));
  }
  ASSERT_EQ(2u, placeholders.size());
  EXPECT_EQ(1163, placeholders[0]->opcode());
  EXPECT_EQ(1164, placeholders[1]->opcode());
  for (CG::QulLabelledStmt* stmt : placeholders) {
    EXPECT_TRUE(CG::SeseStmt::isa(stmt));
    EXPECT_EQ(stmt->labelStringConst(), stmt->aux(0));
    EXPECT_STREQ("L", stmt->label());
  }
  // One name, one pointer: the label's text is interned.
  EXPECT_EQ(placeholders[0]->label(), placeholders[1]->label());

  placeholders[0]->setLabel("M");
  EXPECT_STREQ("M", placeholders[0]->label());
  placeholders[0]->setLabel(placeholders[1]->labelStringConst());
  EXPECT_EQ(placeholders[1]->labelStringConst(), placeholders[0]->labelStringConst());

  EXPECT_EQ(nullptr, CG::QulGotoStmt::cast(nullptr));
  EXPECT_THROW(CG::QulGotoStmt::cast(placeholders[1]), CG::AssertionException);
}

// Label names repeat from body to body (L0, L1, ...): a name's constant is made once for the whole module.
TEST_F(Gotos, BodiesShareTheConstantOfALabelName) {
  parser.parse("f <- function((),(),f) { goto(L); label(L); }\ng <- function((),(),g) { label(L); goto(M); label(M); }\n");
  std::vector<CG::QulLabelledStmt*> placeholders;
  for (CG::Symbol* symbol = ctx.globalScope()->firstSymbol(); symbol; symbol = symbol->next())
    if (CG::Fcn::isa(symbol))
      for (CG::StmtIterator it(CG::Fcn::cast(symbol)); it.hasCurrent(); it.advance())
        if (CG::QulGotoStmt::isa(it.current()) || CG::QulLabelStmt::isa(it.current()))
          placeholders.push_back(static_cast<CG::QulLabelledStmt*>(it.current()));
  ASSERT_EQ(5u, placeholders.size());
  EXPECT_EQ(placeholders[0]->labelStringConst(), placeholders[2]->labelStringConst());
  EXPECT_NE(placeholders[2]->labelStringConst(), placeholders[3]->labelStringConst());
  EXPECT_STREQ("M", placeholders[4]->label());
}

TEST_F(Gotos, FallThroughTakesPortZeroAndTheGotoPortOne) {
  CG::Fcn* f = parseBody("if(<(x,2)) { goto(L); } else { =(x,3); }\n=(x,4);\nlabel(L);\n=(x,5);\n");
  transform(f);
  CG::MergeStmt* merge = labelMerge(f);
  ASSERT_NE(nullptr, merge);
  EXPECT_EQ(2, merge->numInPorts());
  EXPECT_TRUE(CG::ExprStmt::isa(merge->pred(0)));
  EXPECT_TRUE(CG::IfStmt::isa(merge->pred(1)));
  EXPECT_EQ(0, countPlaceholders(f));
}

TEST_F(Gotos, LabelRightAfterAGotoStillGetsTwoPorts) {
  CG::Fcn* f = parseBody("=(x,4);\ngoto(L);\nlabel(L);\n=(x,5);\n");
  transform(f);
  CG::MergeStmt* merge = labelMerge(f);
  ASSERT_NE(nullptr, merge);
  EXPECT_EQ(2, merge->numInPorts());
  EXPECT_TRUE(CG::ExprStmt::isa(merge->pred(0)));
  EXPECT_EQ(nullptr, merge->inEdge(1));
}

TEST_F(Gotos, ThreeGotosGiveAFourPortMergeInProgramOrder) {
  CG::Fcn* f = parseBody("if(<(x,1)) { goto(L); } else { }\nif(<(x,2)) { goto(L); } else { }\n"
                         "if(<(x,3)) { goto(L); } else { }\n=(x,4);\nlabel(L);\n=(x,5);\n");
  transform(f);
  CG::MergeStmt* merge = labelMerge(f);
  ASSERT_NE(nullptr, merge);
  ASSERT_EQ(4, merge->numInPorts());
  EXPECT_TRUE(CG::ExprStmt::isa(merge->pred(0)));
  for (int port = 1; port < 4; ++port)
    EXPECT_TRUE(CG::IfStmt::isa(merge->pred(port))) << port;
  std::vector<CG::Stmt*> order = f->cfg()->orderedStmts();
  auto position = [&order](CG::Stmt* aStmt) { return std::find(order.begin(), order.end(), aStmt) - order.begin(); };
  EXPECT_LT(position(merge->pred(1)), position(merge->pred(2)));
  EXPECT_LT(position(merge->pred(2)), position(merge->pred(3)));
}

// One pass over a scope rewrites each function on its own: a label name used again in the next body is no
// duplicate, and its merge is sized by that body's gotos alone.
TEST_F(Gotos, OnePassRewritesEachFunctionOnItsOwn) {
  parser.parse("x <- var(int32,x);\n"
               "f <- function((),(),f) { if(<(x,1)) { goto(L); } else { goto(L); }\n=(x,4);\nlabel(L);\n=(x,5); }\n"
               "g <- function((),(),g) { goto(L);\nlabel(L);\n=(x,5); }\n");
  CG::QulTransformGoto(pool).transformScope(ctx.globalScope());
  std::vector<int> mergePorts;
  for (CG::Symbol* symbol = ctx.globalScope()->firstSymbol(); symbol; symbol = symbol->next()) {
    if (!CG::Fcn::isa(symbol))
      continue;
    CG::Fcn* fcn = CG::Fcn::cast(symbol);
    EXPECT_EQ(0, countPlaceholders(fcn)) << fcn->name();
    CG::MergeStmt* merge = labelMerge(fcn);
    mergePorts.push_back(merge != nullptr ? merge->numInPorts() : 0);
  }
  EXPECT_EQ((std::vector<int>{3, 2}), mergePorts);
}

TEST_F(Gotos, UnusedLabelIsRemovedWithAWarning) {
  CollectedLog log;
  CG::Fcn* f = parseBody("=(x,4);\nlabel(L);\n=(x,5);\n");
  transform(f);
  EXPECT_EQ("WARNING: QulTransformGoto::replaceLabelsWithMergeStmts::UnusedLabel: Line 0: label(L) defined but not "
            "used\n",
            log.text());
  EXPECT_EQ(0, countPlaceholders(f));
  CG::Stmt* first = f->cfg()->start()->succ();
  ASSERT_TRUE(CG::ExprStmt::isa(first));
  EXPECT_TRUE(CG::ExprStmt::isa(CG::SeseStmt::cast(first)->succ()));
}

// The warnings follow the text, whatever way the graph branches between the labels.
TEST_F(Gotos, UnusedLabelsAreReportedInTextOrder) {
  CollectedLog log;
  transform(parseBody("if (x) {\nlabel(A);\n=(x,1);\n} else {\nlabel(B);\n}\n"
                      "for(x,0,1,4) {\nlabel(C);\n=(x,2);\n}\nlabel(D);\n=(x,3);\n"));
  std::string text = log.text();
  std::vector<size_t> positions;
  for (const char* label : {"label(A)", "label(B)", "label(C)", "label(D)"})
    positions.push_back(text.find(label));
  EXPECT_NE(std::string::npos, positions.back()) << text;
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end())) << text;
}

const char* const kDuplicateLabel =
    "QulTransformGoto::replaceLabelsWithMergeStmts::DuplicateLabel: Line 0: label(L) has duplicate label";

TEST_F(Gotos, DuplicateLabelThatAGotoNamesFails) {
  EXPECT_EQ(kDuplicateLabel, transformError(parseBody("goto(L);\nlabel(L);\n=(x,4);\nlabel(L);\n=(x,5);\n")));
}

// Every copy follows a goto, so no copy counts a fall-through in and none gets a merge.
TEST_F(Gotos, DuplicateLabelsThatEachFollowAGotoFail) {
  EXPECT_EQ(kDuplicateLabel, transformError(parseBody("goto(L);\nlabel(L);\ngoto(M);\nlabel(L);\nlabel(M);\n")));
}

TEST_F(Gotos, UnreachableGotoTakesNoPort) {
  CG::Fcn* f = parseBody("=(x,4);\ngoto(L);\ngoto(L);\nlabel(L);\n=(x,5);\n");
  transform(f);
  CG::MergeStmt* merge = labelMerge(f);
  ASSERT_NE(nullptr, merge);
  EXPECT_EQ(2, merge->numInPorts());
  EXPECT_TRUE(CG::ExprStmt::isa(merge->pred(0)));
  EXPECT_EQ(nullptr, merge->inEdge(1));
  EXPECT_EQ(0, countPlaceholders(f));
}

TEST_F(Gotos, ALabelFollowedByAGotoToItStaysAnEndlessLoop) {
  quill_parse_test::Module module;
  module.parse("x <- var(int32,x);\nf <- function((),(),f) {\n=(x,4);\nlabel(S);\ngoto(S);\ngoto(S);\n}\n");
  EXPECT_EQ("\nvar(int32,x);\nfunction((),(),f)\n{\n    =(x,4);\n    label(L0);\n    goto(L0);\n}\n", module.emit());
}

TEST_F(Gotos, FullParseLeavesNoPlaceholderAndNoIdleMerge) {
  quill_parse_test::Module module;
  module.parse("x <- var(int32,x);\nf <- function((),(),f) {\n=(x,4);\ngoto(L);\nlabel(L);\n=(x,5);\n}\n");
  EXPECT_EQ("\nvar(int32,x);\nfunction((),(),f)\n{\n    =(x,4);\n    =(x,5);\n}\n", module.emit());
}

// A function with an integer input and an empty graph, to be joined up by hand.
struct HandBuiltGraph {
  CG_Ctx ctx;
  CG::ManagedCGPool pool{&ctx};
  CG::Fcn* fcn = CG::Fcn::create(ctx.globalScope(), "h");
  CG::Var* index = fcn->addInput(CG::TypeFactory(&ctx).signedInt32Type(), "i");
  CG::Cfg* cfg = fcn->createCfg();
  CG::NodeFactory nodes{fcn, pool};

  void join(CG::Stmt* aFrom, int aOut, CG::Stmt* aTo, int aIn) {
    aFrom->disconnectOutEdge(aOut);
    aFrom->outPort(aOut).connect(aTo->inPort(aIn));
  }
};

class Merges : public ::testing::Test, protected HandBuiltGraph {
protected:
  void eliminate() { CG::QulEliminateMergeStmts(pool).transformFcn(fcn); }
  std::vector<CG::Stmt*> order() { return cfg->orderedStmts(); }
};

TEST_F(Merges, CompactionKeepsPortOrder) {
  CG::IfStmt* test = nodes.ifStmt(nodes.varExpr(index));
  CG::CommentStmt* left = nodes.commentStmt("left");
  CG::CommentStmt* right = nodes.commentStmt("right");
  CG::MergeStmt* merge = nodes.mergeStmt(3);
  join(cfg->start(), 0, test, 0);
  join(test, 0, left, 0);
  join(test, 1, right, 0);
  join(left, 0, merge, 0);
  join(right, 0, merge, 2);
  join(merge, 0, cfg->end(), 0);
  eliminate();
  CG::Stmt* joined = left->succ();
  ASSERT_TRUE(CG::MergeStmt::isa(joined));
  EXPECT_NE(merge, joined);
  EXPECT_EQ(2, joined->numInPorts());
  EXPECT_EQ(left, joined->pred(0));
  EXPECT_EQ(right, joined->pred(1));
  EXPECT_EQ(cfg->end(), CG::MergeStmt::cast(joined)->succ());
}

// A merge whose own out-edge comes back to it (a label followed by a goto to it) stays a loop when compacted.
TEST_F(Merges, CompactionKeepsALoopBackToTheMergeItself) {
  CG::CommentStmt* before = nodes.commentStmt("before");
  CG::MergeStmt* merge = nodes.mergeStmt(3);
  join(cfg->start(), 0, before, 0);
  join(before, 0, merge, 0);
  join(merge, 0, merge, 2);
  eliminate();
  CG::Stmt* loop = before->succ();
  ASSERT_TRUE(CG::MergeStmt::isa(loop));
  EXPECT_NE(merge, loop);
  EXPECT_EQ(2, loop->numInPorts());
  EXPECT_EQ(before, loop->pred(0));
  EXPECT_EQ(loop, loop->pred(1));
  EXPECT_EQ(loop, CG::MergeStmt::cast(loop)->succ());
}

TEST_F(Merges, SingleEdgeMergeDisappears) {
  CG::CommentStmt* before = nodes.commentStmt("before");
  CG::MergeStmt* merge = nodes.mergeStmt(2);
  join(cfg->start(), 0, before, 0);
  join(before, 0, merge, 1);
  join(merge, 0, cfg->end(), 0);
  eliminate();
  EXPECT_EQ(cfg->end(), before->succ());
  EXPECT_TRUE(merge->isDestroyed());
}

TEST_F(Merges, ForEntryReachedOnceBecomesTheIndexInitialisation) {
  CG::ForEntryStmt* entry = nodes.forEntryStmt(nodes.varExpr(index), nodes.constExpr(cg_const_create_from_string(&ctx, "s")),
                                               nodes.varExpr(index), nodes.varExpr(index));
  join(cfg->start(), 0, entry, 0);
  join(entry, 0, cfg->end(), 0);
  eliminate();
  CG::Stmt* init = cfg->start()->succ();
  ASSERT_TRUE(CG::ExprStmt::isa(init));
  EXPECT_EQ(1009, CG::ExprStmt::cast(init)->expr()->opcode());
  EXPECT_EQ(cfg->end(), CG::ExprStmt::cast(init)->succ());
}

// A loop whose body a goto enters has its head reached along the back edge only: the head stays, for it starts
// each next round.
TEST_F(Merges, ForEntryReachedOnlyAlongItsBackEdgeStays) {
  CG::ForEntryStmt* entry = nodes.forEntryStmt(nodes.varExpr(index), nodes.constExpr(cg_const_create_from_string(&ctx, "s")),
                                               nodes.varExpr(index), nodes.varExpr(index));
  CG::CommentStmt* body = nodes.commentStmt("body");
  join(body, 0, entry, CG::AbstractForEntryStmt::kBackEdgePort);
  eliminate();
  EXPECT_FALSE(entry->isDestroyed());
  EXPECT_EQ(body, entry->pred(CG::AbstractForEntryStmt::kBackEdgePort));
}

TEST_F(Merges, MergeNothingReachesIsRebuiltWithoutPortsAndKeepsItsSuccessor) {
  CG::MergeStmt* idle = nodes.mergeStmt(2);
  CG::CommentStmt* after = nodes.commentStmt("after");
  idle->outPort().connect(after->inPort());
  eliminate();
  EXPECT_TRUE(idle->isDestroyed());
  CG::Stmt* rebuilt = after->pred(0);
  ASSERT_TRUE(CG::MergeStmt::isa(rebuilt));
  EXPECT_NE(idle, rebuilt);
  EXPECT_EQ(0, rebuilt->numInPorts());
}

// The goto pass ends with the graph's clean-up even when it has nothing to rewrite: a graph built by hand
// may hold statements marked for deletion or reached by nothing.
TEST_F(Merges, GotoPassCleansUpAGraphWithoutGotos) {
  CG::CommentStmt* kept = nodes.commentStmt("kept");
  CG::CommentStmt* marked = nodes.commentStmt("marked");
  CG::CommentStmt* unreached = nodes.commentStmt("unreached");
  join(cfg->start(), 0, kept, 0);
  join(kept, 0, marked, 0);
  join(marked, 0, cfg->end(), 0);
  marked->markForDeletion();
  CG::QulTransformGoto(pool).transformFcn(fcn);
  EXPECT_TRUE(marked->isDestroyed());
  EXPECT_TRUE(unreached->isDestroyed());
  EXPECT_EQ((std::vector<CG::Stmt*>{cfg->start(), kept, cfg->end()}), order());
}

TEST_F(Merges, RunningTwiceChangesNothing) {
  CG::IfStmt* test = nodes.ifStmt(nodes.varExpr(index));
  CG::MergeStmt* merge = nodes.mergeStmt(3);
  join(cfg->start(), 0, test, 0);
  join(test, 0, merge, 0);
  join(test, 1, merge, 1);
  join(merge, 0, cfg->end(), 0);
  eliminate();
  std::vector<CG::Stmt*> once = order();
  eliminate();
  EXPECT_EQ(once, order());
  EXPECT_EQ(4u, once.size());
}

// What each pass reports as work is what it would change: a pass run on a graph it has no work in leaves the
// graph's version as it was, and a pass run on one it has work in changes it.
TEST(PassWork, EachPassHasWorkExactlyWhereItWouldChangeTheGraph) {
  struct Shape {
    const char* name;
    std::function<void(HandBuiltGraph&)> build;
    bool gotoWork;
    bool mergeWork;
  };
  // start -> if -> (both branches) -> merge with aPorts in-ports, the first two joined -> end
  auto ifJoin = [](HandBuiltGraph& g, int aPorts) {
    CG::IfStmt* test = g.nodes.ifStmt(g.nodes.varExpr(g.index));
    CG::MergeStmt* merge = g.nodes.mergeStmt(aPorts);
    g.join(g.cfg->start(), 0, test, 0);
    g.join(test, 0, merge, 0);
    g.join(test, 1, merge, 1);
    g.join(merge, 0, g.cfg->end(), 0);
  };
  const std::vector<Shape> shapes = {
      {"joins every branch", [&](HandBuiltGraph& g) { ifJoin(g, 2); }, false, false},
      {"merge with an idle port", [&](HandBuiltGraph& g) { ifJoin(g, 3); }, false, true},
      {"merge of one edge",
       [](HandBuiltGraph& g) {
         CG::MergeStmt* merge = g.nodes.mergeStmt(1);
         g.join(g.cfg->start(), 0, merge, 0);
         g.join(merge, 0, g.cfg->end(), 0);
       },
       false, true},
      {"unreached statement",
       [&](HandBuiltGraph& g) {
         ifJoin(g, 2);
         g.nodes.commentStmt("unreached");
       },
       true, false},
      {"marked statement",
       [](HandBuiltGraph& g) {
         CG::CommentStmt* marked = g.nodes.commentStmt("marked");
         g.join(g.cfg->start(), 0, marked, 0);
         g.join(marked, 0, g.cfg->end(), 0);
         marked->markForDeletion();
       },
       true, true},
  };
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    for (bool gotoPass : {true, false}) {
      HandBuiltGraph g;
      shape.build(g);
      bool hasWork = gotoPass ? CG::QulTransformGoto::hasWork(g.cfg) : CG::QulEliminateMergeStmts::hasWork(g.cfg);
      EXPECT_EQ(gotoPass ? shape.gotoWork : shape.mergeWork, hasWork) << (gotoPass ? "goto pass" : "merge pass");
      uint64_t before = g.cfg->version();
      if (gotoPass)
        CG::QulTransformGoto(g.pool).transformFcn(g.fcn);
      else
        CG::QulEliminateMergeStmts(g.pool).transformFcn(g.fcn);
      EXPECT_EQ(hasWork, g.cfg->version() != before) << (gotoPass ? "goto pass" : "merge pass");
    }
  }
}

// A body read from structured text is one the passes leave as it is: the parser notes it as settled when it closes.
TEST_F(Gotos, StructuredBodyGivesThePassesNoWork) {
  CG::Fcn* f = parseBody("if(x) {\n=(x,4);\n} else {\n}\nwhile(x) {\n=(x,5);\n}\ndo {\n=(x,6);\n} while(x);\n");
  EXPECT_FALSE(CG::QulTransformGoto::hasWork(f->cfg()));
  EXPECT_FALSE(CG::QulEliminateMergeStmts::hasWork(f->cfg()));
}

TEST_F(Gotos, BodyWithGotosHasWorkUntilThePassesRan) {
  CG::Fcn* f = parseBody("=(x,4);\ngoto(L);\nlabel(L);\n=(x,5);\n");
  EXPECT_TRUE(CG::QulTransformGoto::hasWork(f->cfg()));
  transform(f);
  EXPECT_TRUE(CG::QulEliminateMergeStmts::hasWork(f->cfg()));
  CG::QulEliminateMergeStmts(pool).transformFcn(f);
  EXPECT_FALSE(CG::QulTransformGoto::hasWork(f->cfg()));
  EXPECT_FALSE(CG::QulEliminateMergeStmts::hasWork(f->cfg()));
}

// The passes pass by the functions the test calls settled, and only those.
TEST_F(Gotos, PassesSkipTheFunctionsTheyAreToldAreSettled) {
  CG::Fcn* f = parseBody("goto(L);\nlabel(L);\n");
  CG::QulTransformGoto(pool, [](CG::Fcn*) { return true; }).transformScope(ctx.globalScope());
  EXPECT_EQ(2, countPlaceholders(f));
  CG::QulTransformGoto(pool, [&](CG::Fcn* aFcn) { return aFcn != f; }).transformScope(ctx.globalScope());
  EXPECT_EQ(0, countPlaceholders(f));
}

// Each text read into a scope adds what it defines, however many functions the scope already holds: the
// passes run after a parse keep nothing for the functions they visit.
TEST(ReadingIntoOneScope, EachTextAddsTheSameWhateverTheScopeHolds) {
  CG_Ctx ctx;
  auto addedByReading = [&](int aCopy) {
    std::string n = std::to_string(1000 + aCopy);
    std::string text = "function((var(int32,v" + n + ")),(var(int32,w" + n + ")),f" + n + ")\n{\n    label(L);\n" +
                       "    =(w" + n + ",v" + n + ");\n    goto(L);\n}\n";
    CG::QulParser parser(&ctx, ctx.pool(), ctx.globalScope(), ctx.globalScope());
    size_t before = ctx.pool()->bytesAllocated();
    parser.parse(text.c_str());
    return ctx.pool()->bytesAllocated() - before;
  };
  size_t addedEarly = 0;
  for (int copy = 0; copy < 5; ++copy)
    addedEarly = addedByReading(copy);
  size_t addedLate = 0;
  for (int copy = 5; copy < 40; ++copy)
    addedLate = addedByReading(copy);
  EXPECT_EQ(addedEarly, addedLate);
}

// ---- Functions handed on as the post-processing finishes them

// What the parse hands on, with what was left to do in the function after it at that moment.
struct HandedOn {
  std::vector<std::string> names;
  std::vector<bool> nextHadPlaceholders;
};

void recordHandingOn(CG::QulParser& aParser, HandedOn& aRecord) {
  aParser.setBodyFinished([&aRecord](CG::Fcn* aFcn) {
    aRecord.names.push_back(aFcn->name());
    CG::Symbol* next = aFcn->next();
    while (next != nullptr && !CG::Fcn::isa(next))
      next = next->next();
    aRecord.nextHadPlaceholders.push_back(next != nullptr && CG::QulTransformGoto::hasWork(CG::Fcn::cast(next)->cfg()));
    EXPECT_FALSE(CG::QulTransformGoto::hasWork(aFcn->cfg())) << aFcn->name();
    EXPECT_FALSE(CG::QulEliminateMergeStmts::hasWork(aFcn->cfg())) << aFcn->name();
  });
}

std::string gotoFunction(const std::string& aName, const std::string& aLabels = "label(L);\n") {
  return aName + " <- function((),(),"+ aName + ") {\n=(x,1);\ngoto(L);\n" + aLabels + "=(x,2);\n}\n";
}

// Each function goes through every pass before the next one starts, and is handed on final.
TEST(FinishedBodies, AreHandedOnOneByOneInScopeOrder) {
  quill_parse_test::Module module;
  HandedOn handed;
  recordHandingOn(module.parser, handed);
  module.parse("var(int32,x);\n" + gotoFunction("f") + gotoFunction("g") + gotoFunction("h"));
  EXPECT_EQ(handed.names, (std::vector<std::string>{"f", "g", "h"}));
  EXPECT_EQ(handed.nextHadPlaceholders, (std::vector<bool>{true, true, false}));
}

// A label named twice fails the goto pass: each pass then runs over every function first, as the failure leaves
// the functions before it with their merges still to eliminate, and none is handed on.
TEST(FinishedBodies, RepeatedLabelMakesEachPassRunOverAllFunctionsFirst) {
  quill_parse_test::Module module;
  HandedOn handed;
  recordHandingOn(module.parser, handed);
  EXPECT_THROW(module.parse("var(int32,x);\n" + gotoFunction("f") + gotoFunction("g", "label(L);\nlabel(L);\n")),
               CG::MessageException);
  EXPECT_TRUE(handed.names.empty());
  CG::Fcn* f = CG::Fcn::cast(module.ctx.globalScope()->firstSymbol()->next());
  ASSERT_STREQ(f->name(), "f");
  EXPECT_FALSE(CG::QulTransformGoto::hasWork(f->cfg()));
  EXPECT_TRUE(CG::QulEliminateMergeStmts::hasWork(f->cfg()));
}

// A function an earlier parse read may hold placeholders of its own: the passes run over all functions first, and
// the graphs come out as one parse of both texts leaves them.
TEST(FinishedBodies, AfterAnEarlierParseArePassedOverAllFunctionsFirst) {
  quill_parse_test::Module twice;
  twice.parse("var(int32,x);\n" + gotoFunction("f"));
  HandedOn handed;
  recordHandingOn(twice.parser, handed);
  twice.parse(gotoFunction("g") + gotoFunction("h"));
  EXPECT_EQ(handed.names, (std::vector<std::string>{"f", "g", "h"}));
  EXPECT_EQ(handed.nextHadPlaceholders, (std::vector<bool>{false, false, false}));
  quill_parse_test::Module once;
  once.parse("var(int32,x);\n" + gotoFunction("f") + gotoFunction("g") + gotoFunction("h"));
  EXPECT_EQ(twice.emit(), once.emit());
}

} // namespace
