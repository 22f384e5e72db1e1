// Tests of the control-flow model: definitions, regions, statement order, clean-up and typing.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "ir/cfg.h"
#include "ir/ctx.h"
#include "ir/nodefactory.h"
#include "ir/op.h"
#include "ir/region.h"
#include "ir/scope.h"
#include "ir/symbol.h"
#include "ir/typechecker.h"
#include "ir/typefactory.h"
#include "ir/value.h"

using namespace CG;

namespace {

// Every edge seen from either end must name the same two ports; nothing may touch a destroyed node.
void expectConsistent(Cfg* aCfg) {
  for (Stmt* stmt : aCfg->stmts()) {
    ASSERT_FALSE(stmt->isDestroyed());
    for (int i = 0; i < stmt->numInPorts(); ++i) {
      Edge* edge = stmt->inEdge(i);
      if (edge == nullptr) {
        continue;
      }
      ASSERT_EQ(edge->inPort(), stmt->inPort(i));
      OutPort from = edge->outPort();
      ASSERT_TRUE(from.valid());
      ASSERT_FALSE(from.node->isDestroyed());
      ASSERT_EQ(from.node->outEdge(from.index), edge);
    }
    for (int i = 0; i < stmt->numOutPorts(); ++i) {
      Edge* edge = stmt->outEdge(i);
      if (edge == nullptr) {
        continue;
      }
      ASSERT_EQ(edge->outPort(), stmt->outPort(i));
      InPort to = edge->inPort();
      ASSERT_TRUE(to.valid());
      ASSERT_FALSE(to.node->isDestroyed());
      ASSERT_EQ(to.node->inEdge(to.index), edge);
    }
  }
}

class FlowTest : public ::testing::Test {
protected:
  FlowTest() : fTypes(&fCtx), fFcn(Fcn::create(fCtx.globalScope(), "f")), fNodes(fFcn, nullptr), fRegions(&fNodes) {
    fCfg = fFcn->cfg();
    fFlag = cg_var_create(fFcn->localScope(), fTypes.boolType(), "flag");
    fInt = cg_var_create(fFcn->localScope(), fTypes.signedInt32Type(), "i");
  }

  CommentStmt* comment(const char* aText) { return fNodes.commentStmt(aText); }
  Region* text(const char* aText) { return fRegions.stmtRegion(comment(aText)); }
  Expr* cond() { return fNodes.varExpr(fFlag); }
  Expr* intVar() { return fNodes.varExpr(fInt); }

  // The statement order as opcode names, comments as their text.
  std::vector<std::string> order() {
    std::vector<std::string> names;
    for (StmtIterator it(fCfg); it.hasCurrent(); it.advance()) {
      Stmt* stmt = it.current();
      names.push_back(CommentStmt::isa(stmt) ? CommentStmt::cast(stmt)->text() : stmt->opName());
    }
    return names;
  }

  CG_Ctx fCtx;
  TypeFactory fTypes;
  Fcn* fFcn;
  NodeFactory fNodes;
  RegionFactory fRegions;
  Cfg* fCfg = nullptr;
  Var* fFlag = nullptr;
  Var* fInt = nullptr;
};

using Names = std::vector<std::string>;

} // namespace

// ---- Definitions -----------------------------------------------------------------------------

TEST(FlowDefs, BuiltinTableRows) {
  struct Row {
    int op;
    const char* name;
    bool isStmt;
    int numInputs;
    bool variadic;
  };
  const Row rows[] = {
      {OP::START, "start", true, 0, false},
      {OP::IF, "if", true, 1, false},
      {OP::SWITCH, "switch", true, 1, true},
      {OP::FOR_ENTRY, "forEntry", true, 4, false},
      {OP::CALL, "call", false, 1, true},
      {OP::CONDITIONAL, "conditional", false, 3, false},
      {OP::SHR_LOGICAL, ">>l", false, 2, false},
      {OP::POST_DEC, "post--", false, 1, false},
      {OP::DIV_BY_ZERO_STMT, "div/0", true, 0, false},
      {OP::PARFOR_EXIT, "parforExit", true, 0, false},
      {OP::COMPLEX_MUL, "*c", false, 2, false},
      {OP::RETURN, "|:return", true, 0, true},
      {OP::DECL, "|:decl", false, 0, true},
      {OP::BITOR_ASSIGN, "bitor=", false, 2, false},
      {OP::DELETE, "delete", true, 1, false},
      {OP::LOGICAL_INDEX, "logical_index", false, 2, false},
      {OP::RESERVED_1158, "reserved1158", false, 0, true},
      {OP::ADDRESS_OF, "addressOf", false, 1, false},
  };
  CG_Ctx ctx;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    CG_NodeDef* def = CG_NodeDef::getDefByEnum(&ctx, row.op);
    ASSERT_NE(def, nullptr);
    EXPECT_STREQ(def->name(), row.name);
    EXPECT_EQ(def->isStmt(), row.isStmt);
    EXPECT_EQ(def->numInputs(), row.numInputs);
    EXPECT_EQ(def->isVariadic(), row.variadic);
    EXPECT_EQ(def->category(), 0);
  }
}

TEST(FlowDefs, EveryCodeRegisteredOnceWithDistinctName) {
  CG_Ctx ctx;
  std::set<std::string> names;
  for (int op = OP::kFirstBuiltin; op <= OP::kLastBuiltin; ++op) {
    CG_NodeDef* def = cg_ctx_def(&ctx, op);
    ASSERT_NE(def, nullptr) << op;
    EXPECT_EQ(def->opcode(), op);
    EXPECT_TRUE(names.insert(def->name()).second) << def->name();
  }
  EXPECT_EQ(static_cast<int>(names.size()), numBuiltinDefs());
  EXPECT_EQ(CG_NodeDef::getDefByEnum(&ctx, 999), nullptr);
}

TEST_F(FlowTest, RunTimeStatementDefinitions) {
  CG_NodeDef* def = fNodes.newNodeDef(5000, "pragma");
  EXPECT_TRUE(def->isStmt());
  EXPECT_EQ(fNodes.newNodeDef(5000, "pragma"), def);
  EXPECT_THROW(fNodes.newNodeDef(5000, "other"), InternalException);
  EXPECT_THROW(fNodes.newNodeDef(OP::PLUS, "plus"), InternalException);
  SeseStmt* stmt = fNodes.stmt(def, {intVar()});
  EXPECT_TRUE(CustomStmt::isa(stmt));
  EXPECT_EQ(stmt->numInputs(), 1);
  EXPECT_EQ(stmt->input(0)->parent(), stmt);
  EXPECT_THROW(fNodes.stmt(cg_ctx_def(&fCtx, OP::IF), {cond()}), InternalException);
}

// Nodes of classes of different sizes, made one after another: each finds its own operands, aux
// operands and edges in the slots behind it.
TEST_F(FlowTest, EachNodeKeepsItsOwnSlots) {
  VarExpr* left = fNodes.varExpr(fInt);
  Expr* sum = fNodes.expr(OP::PLUS, {left, intVar()});
  IfStmt* branch = fNodes.ifStmt(fNodes.expr(OP::LT, {sum, intVar()}));
  CommentStmt* note = comment("after");
  OutPort(branch, 0).connect(InPort(note, 0));
  EXPECT_EQ(left->var(), fInt);
  EXPECT_EQ(sum->input(0), left);
  EXPECT_EQ(VarExpr::cast(sum->input(1))->var(), fInt);
  EXPECT_EQ(branch->input(0)->input(0), sum);
  EXPECT_EQ(branch->succ(0), note);
  EXPECT_EQ(branch->outEdge(1), nullptr);
  EXPECT_EQ(note->pred(), branch);
  Node::Shape shape;
  shape.numInputs = 2;
  EXPECT_THROW(fCtx.pool()->make<TypedExpr>(cg_ctx_def(&fCtx, OP::PLUS), fCfg, Node::Kind::EXPR, shape),
               InternalException)
      << "a node made without room for its slots is refused";
  Node::Shape huge;
  huge.numInputs = Node::kMaxInputs + 1;
  size_t before = fCtx.pool()->bytesAllocated();
  EXPECT_THROW(Node::create<TypedExpr>(fCtx.pool(), cg_ctx_def(&fCtx, OP::PLUS), fCfg, Node::Kind::EXPR, huge),
               InternalException);
  EXPECT_EQ(fCtx.pool()->bytesAllocated(), before) << "more operands than a node holds are refused before allocating";
  Node::Shape mergeShape;
  mergeShape.numInPorts = 3;
  mergeShape.numOutPorts = 1;
  EXPECT_THROW(Node::create<Expr>(fCtx.pool(), cg_ctx_def(&fCtx, OP::MERGE), fCfg, Node::Kind::MERGE_STMT, mergeShape),
               InternalException)
      << "a statement made with an expression's class would keep its port count in the expression's fields";
  EXPECT_THROW(Node::create<Expr>(fCtx.pool(), cg_ctx_def(&fCtx, OP::PLUS), fCfg, Node::Kind::EXPR, shape),
               InternalException)
      << "an operator made with an operand's class would have no room for its type";
  EXPECT_THROW(Node::create<TypedExpr>(fCtx.pool(), cg_ctx_def(&fCtx, OP::VAR), fCfg, Node::Kind::VAR_EXPR, shape),
               InternalException);
  EXPECT_THROW(Node::create<CustomStmt>(fCtx.pool(), cg_ctx_def(&fCtx, OP::MERGE), fCfg, Node::Kind::MERGE_STMT,
                                        mergeShape),
               InternalException)
      << "a merge made with a class that has no room for its port count";
  Node::Shape seseShape;
  seseShape.numInPorts = 1;
  seseShape.numOutPorts = 1;
  EXPECT_THROW(Node::create<MergeStmt>(fCtx.pool(), cg_ctx_def(&fCtx, OP::COMMENT), fCfg, Node::Kind::COMMENT_STMT,
                                       seseShape),
               InternalException);
  MergeStmt* merge = fNodes.mergeStmt(3);
  EXPECT_EQ(merge->numInPorts(), 3);
  EXPECT_EQ(merge->number(), static_cast<Node*>(merge)->number());
  EXPECT_EQ(static_cast<Node*>(sum)->number(), -1);
}

// Nodes name their definition by an index that all contexts share. The indexes of a context that is gone are
// taken again, and never one that a live node still names.
TEST_F(FlowTest, NodesKeepTheirDefinitionWhileOtherContextsComeAndGo) {
  VarExpr* early = fNodes.varExpr(fInt);
  uint32_t firstRoundTop = 0;
  for (int round = 0; round < 3; ++round) {
    CG_Ctx other;
    Fcn* fcn = Fcn::create(other.globalScope(), "g");
    NodeFactory nodes(fcn, nullptr);
    CommentStmt* note = nodes.commentStmt("x");
    EXPECT_EQ(note->def(), cg_ctx_def(&other, note->opcode()));
    EXPECT_EQ(note->ctx(), &other);
    uint32_t top = 0;
    for (CG_NodeDef* def : other.nodeDefs()) {
      top = std::max(top, def->index());
    }
    if (round == 0) {
      firstRoundTop = top;
    }
    EXPECT_EQ(top, firstRoundTop) << "a new context takes the indexes the last one gave back";
  }
  EXPECT_EQ(early->def(), cg_ctx_def(&fCtx, OP::VAR));
  EXPECT_EQ(early->ctx(), &fCtx);
  EXPECT_EQ(intVar()->def(), early->def());
}

// A statement keeps its graph's number in the context: every graph, in this context or another, finds its own.
TEST_F(FlowTest, StatementsAndTheirOperandsFindTheirOwnGraph) {
  CG_Ctx other;
  std::vector<Fcn*> fcns = {fFcn, Fcn::create(fCtx.globalScope(), "g"), Fcn::create(other.globalScope(), "f"),
                            Fcn::create(fCtx.globalScope(), "h")};
  std::vector<IfStmt*> branches;
  for (Fcn* fcn : fcns) {
    NodeFactory nodes(fcn, nullptr);
    Var* flag = cg_var_create(fcn->localScope(), TypeFactory(fcn->ctx()).boolType(), "b");
    branches.push_back(nodes.ifStmt(nodes.expr(OP::NOT, {nodes.varExpr(flag)})));
  }
  for (size_t i = 0; i < fcns.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(branches[i]->cfg(), fcns[i]->cfg());
    EXPECT_EQ(branches[i]->condition()->input(0)->cfg(), fcns[i]->cfg());
    EXPECT_EQ(fcns[i]->cfg()->start()->cfg(), fcns[i]->cfg());
    EXPECT_EQ(fcns[i]->cfg()->end()->cfg(), fcns[i]->cfg());
  }
  EXPECT_NE(fcns[1]->cfg()->number(), fcns[3]->cfg()->number());
  EXPECT_THROW(branches[1]->outPort(0).connect(fcns[3]->cfg()->end()->inPort()), InternalException)
      << "graphs of one context are told apart";
  EXPECT_THROW(branches[0]->outPort(0).connect(fcns[2]->cfg()->end()->inPort()), InternalException)
      << "graphs with one number in two contexts are told apart";
  Node::Shape seseShape;
  seseShape.numInPorts = 1;
  seseShape.numOutPorts = 1;
  EXPECT_THROW(Node::create<CommentStmt>(other.pool(), cg_ctx_def(&fCtx, OP::COMMENT), fcns[2]->cfg(),
                                         Node::Kind::COMMENT_STMT, seseShape),
               InternalException)
      << "a statement whose definition is of another context than its graph could not find its graph";
}

// ---- Region shapes ---------------------------------------------------------------------------

TEST_F(FlowTest, NewGraphJoinsStartToEnd) {
  EXPECT_EQ(fCfg->start()->succ(), fCfg->end());
  EXPECT_EQ(fCfg->end()->pred(), fCfg->start());
  EXPECT_EQ(order(), (Names{"start", "end"}));
}

TEST_F(FlowTest, IfRegionJoinsBranchesAtTwoPortMerge) {
  CommentStmt* then = comment("then");
  Region* region = fRegions.ifRegion(cond(), fRegions.stmtRegion(then), nullptr);
  IfStmt* branch = IfStmt::cast(region->entry().node);
  MergeStmt* join = MergeStmt::cast(region->exit().node);
  ASSERT_EQ(join->numInPorts(), 2);
  EXPECT_EQ(branch->succ(IfStmt::kTruePort), then);
  EXPECT_EQ(then->succInPort(), join->inPort(0));
  EXPECT_EQ(branch->succInPort(IfStmt::kFalsePort), join->inPort(1));
  fRegions.setBody(region);
  expectConsistent(fCfg);
  EXPECT_EQ(order(), (Names{"start", "if", "then", "merge", "end"}));
}

TEST_F(FlowTest, SwitchPortsAreCasesThenDefault) {
  SwitchRegionBuilder builder(&fRegions);
  builder.setCondition(intVar());
  builder.addCase(intVar(), text("c0"));
  builder.addCase(intVar(), nullptr);
  builder.addCase(intVar(), text("c2"));
  builder.setDefault(text("dflt"));
  Region* region = builder.build();
  SwitchStmt* branch = SwitchStmt::cast(region->entry().node);
  MergeStmt* join = MergeStmt::cast(region->exit().node);
  ASSERT_EQ(branch->numCases(), 3);
  ASSERT_EQ(branch->numOutPorts(), 4);
  ASSERT_EQ(join->numInPorts(), 4);
  EXPECT_EQ(branch->defaultOutPort(), branch->outPort(3));
  EXPECT_EQ(CommentStmt::cast(branch->succ(0))->text(), std::string("c0"));
  EXPECT_EQ(branch->succInPort(1), join->inPort(1));
  EXPECT_EQ(CommentStmt::cast(branch->succ(2))->succInPort(), join->inPort(2));
  EXPECT_EQ(CommentStmt::cast(branch->succ(3))->text(), std::string("dflt"));
  EXPECT_EQ(CommentStmt::cast(join->pred(3))->text(), std::string("dflt"));
  fRegions.setBody(region);
  expectConsistent(fCfg);
  EXPECT_EQ(order(), (Names{"start", "switch", "c0", "merge", "end", "c2", "dflt"}));
  SwitchRegionBuilder empty(&fRegions);
  EXPECT_THROW(empty.build(), InternalException);
}

TEST_F(FlowTest, WhileLoopIsMergeThenIf) {
  CommentStmt* body = comment("body");
  Region* region = fRegions.whileRegion(cond(), fRegions.stmtRegion(body));
  MergeStmt* head = MergeStmt::cast(region->entry().node);
  EXPECT_EQ(region->entry().index, 0);
  IfStmt* test = IfStmt::cast(head->succ());
  ASSERT_NE(test, nullptr);
  EXPECT_EQ(test->succ(IfStmt::kTruePort), body);
  EXPECT_EQ(body->succInPort(), head->inPort(1));
  EXPECT_EQ(region->exit(), test->falseOutPort());
  fRegions.setBody(fRegions.concatRegion(region, text("after")));
  expectConsistent(fCfg);
  EXPECT_EQ(order(), (Names{"start", "merge", "if", "body", "after", "end"}));
}

TEST_F(FlowTest, DoWhileLoopIsMergeBodyThenIf) {
  Region* region = fRegions.doWhileRegion(text("body"), cond());
  MergeStmt* head = MergeStmt::cast(region->entry().node);
  Stmt* body = head->succ();
  IfStmt* test = IfStmt::cast(body->succ(0));
  ASSERT_NE(test, nullptr);
  EXPECT_EQ(test->succInPort(IfStmt::kTruePort), head->inPort(1));
  EXPECT_EQ(region->exit(), test->falseOutPort());
  Region* emptyBody = fRegions.doWhileRegion(nullptr, cond());
  MergeStmt* emptyHead = MergeStmt::cast(emptyBody->entry().node);
  EXPECT_TRUE(IfStmt::isa(emptyHead->succ()));
}

TEST_F(FlowTest, ForLoopsAreEntryMergeAndExitSplit) {
  for (bool parallel : {false, true}) {
    SCOPED_TRACE(parallel);
    Var* index = cg_var_create(fFcn->localScope(), fTypes.signedInt32Type(), parallel ? "k" : "j");
    CommentStmt* body = comment("body");
    Region* region =
        fRegions.forRegion(fNodes.varExpr(index), intVar(), intVar(), intVar(), fRegions.stmtRegion(body), parallel);
    AbstractForEntryStmt* entry = AbstractForEntryStmt::cast(region->entry().node);
    EXPECT_EQ(ParallelForEntryStmt::isa(entry), parallel);
    EXPECT_EQ(VarExpr::cast(entry->indexExpr())->var(), index);
    ASSERT_EQ(entry->numInPorts(), 2);
    AbstractForExitStmt* exit = AbstractForExitStmt::cast(entry->succ());
    ASSERT_NE(exit, nullptr);
    EXPECT_EQ(exit->entry(), entry);
    EXPECT_EQ(exit->opcode(), parallel ? OP::PARFOR_EXIT : OP::FOR_EXIT);
    EXPECT_EQ(exit->succ(AbstractForExitStmt::kBodyPort), body);
    EXPECT_EQ(body->succInPort(), entry->inPort(AbstractForEntryStmt::kBackEdgePort));
    EXPECT_EQ(region->exit(), exit->exitOutPort());
  }
}

TEST_F(FlowTest, RegionUsedTwiceIsRejected) {
  Region* body = text("body");
  fRegions.ifRegion(cond(), body, nullptr);
  EXPECT_THROW(fRegions.ifRegion(cond(), body, nullptr), InternalException);
}

// ---- Statement order -------------------------------------------------------------------------

TEST_F(FlowTest, OrderIsDepthFirstPreOrderThenUnreachableInCreationOrder) {
  Region* inner = fRegions.ifRegion(cond(), text("a"), text("b"));
  Region* loop = fRegions.whileRegion(cond(), fRegions.concatRegion(inner, text("c")));
  fRegions.setBody(fRegions.sequenceRegion({text("first"), loop, text("last")}));
  comment("orphan1");
  CommentStmt* orphan2 = comment("orphan2");
  comment("orphan3")->outPort().connect(orphan2->inPort());
  expectConsistent(fCfg);
  EXPECT_EQ(order(), (Names{"start", "first", "merge", "if", "if", "a", "merge", "c", "b", "last", "end", "orphan1",
                            "orphan2", "orphan3"}));
}

TEST_F(FlowTest, DeepNestingNeedsNoRecursion) {
  const int depth = 100000;
  Region* region = text("core");
  for (int i = 0; i < depth; ++i) {
    region = (i % 2 == 0) ? fRegions.ifRegion(cond(), region, nullptr) : fRegions.whileRegion(cond(), region);
  }
  fRegions.setBody(region);
  std::vector<Stmt*> order = fCfg->orderedStmts();
  ASSERT_EQ(order.size(), fCfg->stmts().size());
  EXPECT_EQ(order.front(), fCfg->start());
  EXPECT_EQ(CommentStmt::cast(order[1 + depth / 2 * 3])->text(), std::string("core"));
  EXPECT_EQ(fCfg->deleteDeadEdgesAndNodes(), 0);
  for (Stmt* stmt : fCfg->stmts()) {
    if (IfStmt::isa(stmt)) {
      stmt->markForDeletion();
    }
  }
  fCfg->unhookAndDestroyMarkedNodes();
  expectConsistent(fCfg);
  // Every if lost its edges, so only the start, the outermost merge and the end stay reachable.
  EXPECT_EQ(fCfg->deleteDeadEdgesAndNodes(), static_cast<int>(fCfg->stmts().size()) - 3);
  expectConsistent(fCfg);
}

TEST_F(FlowTest, LongSequenceAndDeepExpression) {
  std::vector<Region*> parts;
  for (int i = 0; i < 300000; ++i) {
    parts.push_back(fRegions.stmtRegion(fNodes.overflowStmt()));
  }
  fRegions.setBody(fRegions.sequenceRegion(parts));
  EXPECT_EQ(fCfg->orderedStmts().size(), 300002u);
  Expr* sum = intVar();
  for (int i = 0; i < 100000; ++i) {
    sum = fNodes.expr(OP::PLUS, {sum, intVar()});
  }
  Expr* copy = fNodes.cloneExpr(sum);
  int count = 0;
  forEachExprPostOrder(copy, [&](Expr*) { ++count; });
  EXPECT_EQ(count, 200001);
  EXPECT_EQ(copy->type(), fTypes.signedInt32Type());
}

// ---- Clean-up --------------------------------------------------------------------------------

TEST_F(FlowTest, SeseRemoveJoinsNeighbours) {
  CommentStmt* a = comment("a");
  CommentStmt* b = comment("b");
  CommentStmt* c = comment("c");
  fRegions.setBody(fRegions.sequenceRegion({fRegions.stmtRegion(a), fRegions.stmtRegion(b), fRegions.stmtRegion(c)}));
  b->remove();
  EXPECT_EQ(a->succ(), c);
  EXPECT_EQ(b->inEdge(0), nullptr);
  EXPECT_TRUE(b->isMarkedForDeletion());
  a->remove();
  EXPECT_EQ(fCfg->start()->succ(), c);
  expectConsistent(fCfg);
  EXPECT_EQ(order(), (Names{"start", "c", "end"}));
  EXPECT_EQ(fCfg->unhookAndDestroyMarkedNodes(), 2);
  EXPECT_EQ(fCfg->stmts().size(), 3u);
  CommentStmt* loose = comment("loose");
  loose->remove();
  EXPECT_TRUE(loose->isMarkedForDeletion());
}

TEST_F(FlowTest, DestroyingMarkedNodesKeepsEdgesConsistent) {
  CommentStmt* a = comment("a");
  ExprStmt* assign = fNodes.exprStmt(fNodes.assignExpr(intVar(), fNodes.expr(OP::PLUS, {intVar(), intVar()})));
  Region* branch = fRegions.ifRegion(cond(), fRegions.stmtRegion(a), fRegions.stmtRegion(assign));
  fRegions.setBody(branch);
  Expr* plus = assign->expr()->input(1);
  plus->input(0)->markForDeletion();
  assign->markForDeletion();
  a->markForDeletion();
  size_t stmtsBefore = fCfg->stmts().size();
  // The statement, its 5 expressions, and the comment.
  EXPECT_EQ(fCfg->unhookAndDestroyMarkedNodes(), 7);
  EXPECT_EQ(fCfg->stmts().size(), stmtsBefore - 2);
  for (size_t i = 0; i < fCfg->stmts().size(); ++i) {
    EXPECT_EQ(fCfg->stmts()[i]->number(), static_cast<int>(i));
  }
  IfStmt* test = IfStmt::cast(branch->entry().node);
  EXPECT_EQ(test->succInPort(0), branch->exit().node->inEdge(0)->inPort());
  EXPECT_EQ(test->succInPort(1), branch->exit().node->inEdge(1)->inPort());
  expectConsistent(fCfg);

  // A marked expression inside a live statement is cut out of its parent.
  ExprStmt* live = fNodes.exprStmt(fNodes.expr(OP::MINUS, {intVar(), intVar()}));
  Expr* operand = live->expr()->input(1);
  operand->markForDeletion();
  fCfg->makeCompact();
  EXPECT_EQ(live->expr()->input(1), nullptr);
  EXPECT_TRUE(operand->isDestroyed());
  EXPECT_EQ(operand->parent(), nullptr);
}

TEST_F(FlowTest, DeleteDeadRemovesUnreachableAndTheirEdges) {
  MergeStmt* join = fNodes.mergeStmt(2);
  CommentStmt* live = comment("live");
  fCfg->start()->outPort().connect(join->inPort(0));
  join->outPort().connect(live->inPort());
  live->outPort().connect(fCfg->end()->inPort());
  CommentStmt* dead1 = comment("dead1");
  CommentStmt* dead2 = comment("dead2");
  dead1->outPort().connect(dead2->inPort());
  dead2->outPort().connect(join->inPort(1));
  ExprStmt* deadExpr = fNodes.exprStmt(intVar());
  EXPECT_EQ(fCfg->deleteDeadEdgesAndNodes(), 3);
  EXPECT_EQ(join->inEdge(1), nullptr);
  EXPECT_TRUE(dead1->isDestroyed());
  EXPECT_TRUE(deadExpr->expr()->isDestroyed());
  expectConsistent(fCfg);
  EXPECT_EQ(order(), (Names{"start", "merge", "live", "end"}));
  EXPECT_EQ(fCfg->stmts().size(), 4u);
}

TEST_F(FlowTest, EdgeRewiringKeepsBothEndsInAgreement) {
  CommentStmt* a = comment("a");
  CommentStmt* b = comment("b");
  CommentStmt* c = comment("c");
  Edge* ab = a->outPort().connect(b->inPort());
  // Reconnecting an occupied in-port drops its old edge at both ends.
  Edge* cb = c->outPort().connect(b->inPort());
  EXPECT_FALSE(ab->isLive());
  EXPECT_FALSE(ab->outPort().valid());
  EXPECT_FALSE(ab->inPort().valid());
  EXPECT_EQ(a->outEdge(0), nullptr);
  EXPECT_EQ(b->pred(), c);
  // Moving the source of an edge clears the port it left: the edge there is removed, and the new
  // port's own edge (the one it had before) carries the target.
  a->setOutEdge(0, cb);
  EXPECT_EQ(c->outEdge(0), nullptr);
  EXPECT_FALSE(cb->isLive());
  EXPECT_EQ(b->pred(), a);
  EXPECT_EQ(a->outEdge(0), ab);
  EXPECT_EQ(ab->outPort(), a->outPort());
  EXPECT_EQ(ab->inPort(), b->inPort());
  a->disconnectOutEdge(0);
  EXPECT_EQ(b->inEdge(0), nullptr);
  EXPECT_FALSE(cb->isLive());
  EXPECT_THROW(a->setOutEdge(0, cb), InternalException);
  EXPECT_THROW(a->outEdge(1), InternalException);
  EXPECT_THROW(a->outPort().connect(InPort(b, 3)), InternalException);
  expectConsistent(fCfg);
}

// ---- Factory ---------------------------------------------------------------------------------

TEST_F(FlowTest, FactoryChecksOperands) {
  EXPECT_THROW(fNodes.expr(OP::PLUS, {intVar()}), InternalException);
  EXPECT_THROW(fNodes.expr(OP::VAR, {}), InternalException);
  EXPECT_THROW(fNodes.expr(OP::IF, {cond()}), InternalException);
  Expr* shared = intVar();
  fNodes.expr(OP::UMINUS, {shared});
  EXPECT_THROW(fNodes.expr(OP::UMINUS, {shared}), InternalException);
  EXPECT_THROW(fNodes.mergeStmt(-1), InternalException);
  EXPECT_THROW(fNodes.checkExpr(42, {intVar()}), InternalException);
  DynamicBoundsCheckExpr* check = fNodes.dynamicBoundsCheckExpr(intVar(), intVar(), intVar());
  EXPECT_EQ(cg_node_check_enum(check), CheckExpr::CHECK_DYNAMIC_BOUNDS);
  EXPECT_STREQ(cg_node_check_name(check), "dynamicBounds");
  EXPECT_EQ(check->numAux(), CheckExpr::kNumAux);
}

// ---- Type checker ----------------------------------------------------------------------------

TEST_F(FlowTest, TypeCheckerRules) {
  Type* i8 = fTypes.signedInt8Type();
  Type* i32 = fTypes.signedInt32Type();
  Type* u32 = fTypes.unsignedInt32Type();
  Type* i64 = fTypes.signedInt64Type();
  Type* dbl = fTypes.doubleType();
  Type* sgl = fTypes.singleType();
  Type* boolean = fTypes.boolType();
  Type* ptr = fTypes.pointerType(dbl);
  Type* cplx = fTypes.complexType(sgl);
  Type* fix = fTypes.fixptType(true, 16, 1.0, -4, 0.0, false);
  Type* fix2 = fTypes.fixptType(true, 16, 1.0, -8, 0.0, false);
  Type* readonlyI32 = fTypes.qualifiedType(i32, true, false);
  struct Row {
    int op;
    std::vector<Type*> operands;
    Type* expected;
  };
  const std::vector<Row> rows = {
      {OP::PLUS, {i32, i32}, i32},
      {OP::PLUS, {i8, i64}, i64},
      {OP::MINUS, {i32, u32}, u32},
      {OP::MUL, {i32, dbl}, dbl},
      {OP::DIV, {sgl, dbl}, dbl},
      {OP::MOD, {boolean, i8}, i8},
      {OP::BITAND, {readonlyI32, i32}, i32},
      {OP::PLUS, {fix, i32}, fix},
      {OP::PLUS, {fix, fix2}, nullptr},
      {OP::PLUS, {cplx, dbl}, fTypes.complexType(dbl)},
      {OP::PLUS, {ptr, i32}, ptr},
      {OP::PLUS, {ptr, ptr}, nullptr},
      {OP::SHL, {i8, i64}, i8},
      {OP::UMINUS, {sgl}, sgl},
      {OP::LT, {i32, dbl}, boolean},
      {OP::LOGICAL_AND, {boolean, boolean}, boolean},
      {OP::NOT, {i32}, boolean},
      {OP::ASSIGN, {i8, dbl}, i8},
      {OP::PLUS_ASSIGN, {sgl, i32}, sgl},
      {OP::DEREF, {ptr}, dbl},
      {OP::MREF, {ptr, i32}, dbl},
      {OP::REAL, {cplx}, sgl},
      {OP::ADDRESS_OF, {i32}, fTypes.pointerType(i32)},
      {OP::CONDITIONAL, {boolean, i8, i32}, i32},
      {OP::CAST, {i32}, nullptr},
      {OP::HCAT, {i32, i32}, nullptr},
  };
  CoreDomainTypeChecker checker(&fCtx, &fTypes);
  for (const Row& row : rows) {
    SCOPED_TRACE(cg_ctx_def(&fCtx, row.op)->name());
    std::vector<Expr*> operands;
    for (Type* type : row.operands) {
      operands.push_back(fNodes.varExpr(cg_var_create(fFcn->localScope(), type, nullptr)));
    }
    Expr* expr = row.op == OP::CAST ? fNodes.castExpr(operands[0], dbl) : fNodes.expr(row.op, operands);
    EXPECT_EQ(checker.expectedType(expr), row.expected);
  }
}

TEST_F(FlowTest, TypeCheckerCallsMatricesAndFields) {
  Type* dbl = fTypes.doubleType();
  Fcn* callee = Fcn::create(fCtx.globalScope(), "g");
  callee->addInput(dbl, "x");
  callee->addOutput(fTypes.singleType(), "y");
  Expr* call = fNodes.callExpr(fNodes.constExpr(callee), {fNodes.varExpr(fFlag)});
  EXPECT_EQ(call->type(), fTypes.singleType());
  Fcn* procedure = Fcn::create(fCtx.globalScope(), "p");
  EXPECT_EQ(fNodes.callExpr(fNodes.constExpr(procedure), {})->type(), fTypes.voidType());

  SymbolicSizeFactory sizes(&fCtx);
  Type* matrix = fTypes.matrixType(fTypes.signedInt32Type(), {sizes.size64(2), sizes.size64(3)}, false);
  Expr* scaled = fNodes.expr(OP::MUL, {fNodes.varExpr(cg_var_create(fFcn->localScope(), matrix, "m")), intVar()});
  EXPECT_EQ(scaled->type(), matrix);
  EXPECT_TRUE(scaled->isVectorExpr());
  Expr* widened = fNodes.expr(OP::PLUS, {fNodes.varExpr(cg_var_create(fFcn->localScope(), matrix, "n")),
                                         fNodes.varExpr(cg_var_create(fFcn->localScope(), dbl, "d"))});
  EXPECT_EQ(widened->type(), fTypes.matrixType(dbl, {sizes.size64(2), sizes.size64(3)}, false));

  StructType* point = fTypes.structType(fCtx.globalScope(), "point", nullptr,
                                        {{fCtx.cgString("x"), dbl}, {fCtx.cgString("tag"), fTypes.charType()}});
  Expr* base = fNodes.varExpr(cg_var_create(fFcn->localScope(), point, "pt"));
  EXPECT_EQ(fNodes.srefExpr(base, "tag")->type(), fTypes.charType());
  Expr* missing = fNodes.srefExpr(fNodes.varExpr(cg_var_create(fFcn->localScope(), point, "q")), "nope");
  EXPECT_TRUE(UntypedType::isa(missing->type()));
}

// ---- More graph shapes and clean-up -------------------------------------------------------------

TEST_F(FlowTest, EmptyPiecesJoinNeighboursDirectly) {
  Region* nothing = fRegions.sequenceRegion({fRegions.emptyRegion(), nullptr, fRegions.emptyRegion()});
  EXPECT_TRUE(nothing->isEmpty());
  Region* onlyDefault = fRegions.switchRegion(intVar(), {{intVar(), nullptr}, {intVar(), nullptr}}, nullptr);
  SwitchStmt* branch = SwitchStmt::cast(onlyDefault->entry().node);
  MergeStmt* join = MergeStmt::cast(onlyDefault->exit().node);
  for (int port = 0; port < 3; ++port) {
    EXPECT_EQ(branch->succInPort(port), join->inPort(port));
  }
  Region* loop = fRegions.forRegion(intVar(), intVar(), intVar(), intVar(), nothing, false);
  AbstractForExitStmt* exit = AbstractForExitStmt::cast(loop->exit().node);
  EXPECT_EQ(exit->succInPort(AbstractForExitStmt::kBodyPort), exit->entry()->inPort(1));
  fRegions.setBody(nothing);
  EXPECT_EQ(fCfg->start()->succ(), fCfg->end());
}

TEST_F(FlowTest, DeepForNestAndUnreachableCycles) {
  const int depth = 10000;
  Region* region = text("core");
  for (int i = 0; i < depth; ++i) {
    region = fRegions.forRegion(intVar(), intVar(), intVar(), intVar(), region, i % 3 == 0);
  }
  fRegions.setBody(region);
  // Entries and exits alternate down to the core, then the exits' exit ports climb back out.
  std::vector<Stmt*> order = fCfg->orderedStmts();
  ASSERT_EQ(order.size(), static_cast<size_t>(2 * depth + 3));
  EXPECT_TRUE(AbstractForEntryStmt::isa(order[1]));
  EXPECT_TRUE(AbstractForExitStmt::isa(order[2]));
  EXPECT_TRUE(CommentStmt::isa(order[2 * depth + 1]));
  EXPECT_EQ(order.back(), fCfg->end());

  // An unreachable loop is a cycle: it must still be found and removed whole.
  Region* deadLoop = fRegions.whileRegion(cond(), text("dead body"));
  EXPECT_EQ(fCfg->deleteDeadEdgesAndNodes(), 3);
  EXPECT_TRUE(deadLoop->entry().node->isDestroyed());
  expectConsistent(fCfg);
  EXPECT_EQ(fCfg->orderedStmts().size(), order.size());
}

TEST_F(FlowTest, DestroyingAMarkedJoinUnhooksEveryPort) {
  Region* branch = fRegions.ifRegion(cond(), text("a"), text("b"));
  fRegions.setBody(fRegions.concatRegion(branch, text("after")));
  MergeStmt* join = MergeStmt::cast(branch->exit().node);
  Stmt* a = join->pred(0);
  Stmt* after = join->succ();
  cg_node_mark_for_deletion(join);
  cg_cfg_unhook_and_destroy_marked_nodes(fCfg);
  EXPECT_EQ(a->outEdge(0), nullptr);
  EXPECT_EQ(after->inEdge(0), nullptr);
  expectConsistent(fCfg);
  cg_cfg_delete_dead_edges_and_nodes(fCfg);
  EXPECT_EQ(order(), (Names{"start", "if", "a", "b", "end"}));
  fCfg->start()->markForDeletion();
  fCfg->makeCompact();
  EXPECT_FALSE(fCfg->start()->isDestroyed());
  EXPECT_FALSE(fCfg->start()->isMarkedForDeletion());
}

TEST_F(FlowTest, IteratorIsASnapshot) {
  fRegions.setBody(text("one"));
  StmtIterator it(fFcn);
  fRegions.setBody(text("two"));
  std::vector<Stmt*> seen;
  for (; it.hasCurrent(); it.advance()) {
    seen.push_back(it.current());
  }
  EXPECT_EQ(seen.size(), 3u);
  EXPECT_THROW(it.current(), InternalException);
  EXPECT_EQ(order(), (Names{"start", "two", "end", "one"}));
}

// ---- Expressions -----------------------------------------------------------------------------

TEST_F(FlowTest, OperandsHaveOneParent) {
  Expr* operand = intVar();
  Expr* negate = fNodes.expr(OP::UMINUS, {operand});
  Expr* other = fNodes.expr(OP::BITNOT, {intVar()});
  other->setInput(0, operand);
  EXPECT_EQ(operand->parent(), other);
  EXPECT_EQ(negate->input(0), nullptr);
  ExprStmt* stmt = fNodes.exprStmt(other);
  EXPECT_EQ(other->parent(), stmt);
  EXPECT_THROW(other->input(1), InternalException);

  std::vector<std::string> visited;
  Expr* tree = fNodes.expr(OP::PLUS, {fNodes.expr(OP::MUL, {intVar(), intVar()}), fNodes.expr(OP::UMINUS, {intVar()})});
  forEachExprPostOrder(tree, [&](Expr* aExpr) { visited.push_back(aExpr->opName()); });
  EXPECT_EQ(visited, (Names{"var", "var", "*", "var", "-u", "+"}));
}

TEST_F(FlowTest, CloneCopiesClassDataAndStaysIndependent) {
  Fcn* callee = Fcn::create(fCtx.globalScope(), "g");
  callee->addOutput(fTypes.doubleType(), "y");
  Const* message = cg_const_create_from_string(&fCtx, "index out of range");
  std::vector<Expr*> sources = {
      fNodes.checkExpr(CheckExpr::CHECK_ARRAY_BOUNDS, {intVar()}, {message}),
      fNodes.matrixCatExpr(1, {intVar(), intVar()}),
      fNodes.callExpr(fNodes.constExpr(callee), {intVar()}, 2),
      fNodes.multiOutputCallExpr(fNodes.constExpr(callee), {intVar()}, {intVar(), intVar()}, 5),
      fNodes.dynamicBoundsCheckExpr(intVar(), intVar(), intVar()),
      fNodes.sizeofExpr(fTypes.doubleType()),
      fNodes.castExpr(intVar(), fTypes.singleType()),
  };
  for (Expr* source : sources) {
    SCOPED_TRACE(source->opName());
    source->setRoundingMode(3);
    source->setOverflowMode(0x10000);
    source->setBreakpointOnOverflow(true);
    Expr* copy = fNodes.cloneExpr(source);
    ASSERT_NE(copy, source);
    EXPECT_EQ(copy->kind(), source->kind());
    EXPECT_EQ(copy->type(), source->type());
    EXPECT_EQ(copy->parent(), nullptr);
    EXPECT_EQ(copy->roundingMode(), 3u);
    EXPECT_EQ(copy->overflowMode(), 0x10000u);
    copy->setRoundingMode(0);
    EXPECT_EQ(copy->roundingMode(), 0u);
    EXPECT_EQ(copy->overflowMode(), 0x10000u);
    EXPECT_EQ(source->roundingMode(), 3u) << "each node keeps its own modes";
    EXPECT_TRUE(copy->breakpointOnOverflow());
    ASSERT_EQ(copy->numInputs(), source->numInputs());
    ASSERT_EQ(copy->numAux(), source->numAux());
    for (int i = 0; i < copy->numAux(); ++i) {
      EXPECT_EQ(copy->aux(i), source->aux(i));
    }
    for (int i = 0; i < copy->numInputs(); ++i) {
      EXPECT_NE(copy->input(i), source->input(i));
      EXPECT_EQ(copy->input(i)->parent(), copy);
    }
  }
  EXPECT_EQ(CheckExpr::cast(fNodes.cloneExpr(sources[0]))->checkKind(), CheckExpr::CHECK_ARRAY_BOUNDS);
  EXPECT_EQ(MatrixCatExpr::cast(fNodes.cloneExpr(sources[1]))->dimension(), 1);
  EXPECT_EQ(CallExpr::cast(fNodes.cloneExpr(sources[2]))->numOutputs(), 2);
  MultiOutputCallExpr* multi = MultiOutputCallExpr::cast(fNodes.cloneExpr(sources[3]));
  EXPECT_EQ(multi->numCallInputs(), 1);
  EXPECT_EQ(multi->numCallOutputs(), 2);
  EXPECT_EQ(multi->callFlags(), 5);
  EXPECT_EQ(multi->type(), fTypes.voidType());
  EXPECT_TRUE(DynamicBoundsCheckExpr::isa(fNodes.cloneExpr(sources[4])));
}

// A variable or constant operand has its symbol's type unless it is given another, which stays beside its modes
// and goes with it into a copy.
TEST_F(FlowTest, OperandsFollowTheirSymbolsTypeUnlessGivenTheirOwn) {
  Var* x = cg_var_create(fFcn->localScope(), fTypes.signedInt16Type(), "x");
  Fcn* callee = Fcn::create(fCtx.globalScope(), "g");
  Expr* use = fNodes.varExpr(x);
  Expr* call = fNodes.constExpr(callee);
  EXPECT_EQ(use->type(), fTypes.signedInt16Type());
  callee->addInput(fTypes.doubleType(), "u");
  EXPECT_EQ(call->type(), callee->type()) << "a function's operand has the function's type as its inputs grow";
  x->setType(fTypes.doubleType());
  EXPECT_EQ(use->type(), fTypes.doubleType());

  use->setRoundingMode(2);
  use->setType(fTypes.singleType());
  x->setType(fTypes.signedInt32Type());
  EXPECT_EQ(use->type(), fTypes.singleType());
  Expr* copy = fNodes.cloneExpr(use);
  EXPECT_EQ(copy->type(), fTypes.singleType());
  EXPECT_EQ(copy->roundingMode(), 2u);
  use->setType(fTypes.signedInt32Type());
  x->setType(fTypes.boolType());
  EXPECT_EQ(use->type(), fTypes.boolType()) << "given its symbol's type, the operand follows the symbol again";
  EXPECT_EQ(use->roundingMode(), 2u);
  EXPECT_EQ(copy->type(), fTypes.singleType());
}

TEST_F(FlowTest, StatementMakersFillTheirOperands) {
  Const* zero = ConstFactory(&fCtx).create(fTypes.signedInt32Type(),
                                           ValueFactory(&fCtx).integerValueRef(fTypes.signedInt32Type(), 0),
                                           fFcn->localScope(), "zero");
  InitStmt* init = fNodes.initStmt(fNodes.varExpr(fInt), fNodes.constExpr(zero));
  EXPECT_EQ(init->lhs()->var(), fInt);
  EXPECT_EQ(init->rhs()->constant(), zero);
  EXPECT_EQ(init->rhs()->type(), fTypes.signedInt32Type());
  ParallelVarClassifierStmt* classifier = fNodes.parallelVarClassifier(intVar(), fNodes.constExpr(zero));
  EXPECT_EQ(classifier->classification()->parent(), classifier);
  DeleteStmt* release = fNodes.deleteStmt(fNodes.newExpr(fTypes.doubleType()));
  EXPECT_EQ(release->pointer()->type(), fTypes.pointerType(fTypes.doubleType()));
  EXPECT_STREQ(fNodes.literalTextStmt("#pragma once")->text(), "#pragma once");
  EXPECT_EQ(fNodes.divByZeroStmt()->opcode(), OP::DIV_BY_ZERO_STMT);
  ParallelForEntryStmt* parfor = fNodes.parallelForEntryStmt(intVar(), intVar(), intVar(), intVar());
  EXPECT_FALSE(parfor->isOrderedLoop());
  EXPECT_EQ(parfor->isParforMode(), 0);
  for (Stmt* stmt : std::vector<Stmt*>{init, classifier, release}) {
    EXPECT_TRUE(SeseStmt::isa(stmt));
    EXPECT_EQ(stmt->numInPorts(), 1);
    EXPECT_EQ(stmt->numOutPorts(), 1);
  }
  CG_NodeDef* custom = CG_NodeDef::create(&fCtx, 0, "blend", 7, 1, 2, 1, 0, nullptr, nullptr, 6000, 0, 0);
  Expr* blended = fNodes.expr(custom, {intVar(), intVar()});
  EXPECT_EQ(blended->def()->category(), 7);
  EXPECT_TRUE(UntypedType::isa(blended->type()));
  EXPECT_THROW(fNodes.expr(custom, {intVar()}), InternalException);
}

TEST_F(FlowTest, TypeCheckerShapesEnumsAndPointers) {
  SymbolicSizeFactory sizes(&fCtx);
  Type* i32 = fTypes.signedInt32Type();
  Type* twoByThree = fTypes.matrixType(i32, {sizes.size64(2), sizes.size64(3)}, false);
  Type* threeByTwo = fTypes.matrixType(i32, {sizes.size64(3), sizes.size64(2)}, false);
  Type* dynamic = fTypes.dynamicMatrixType(i32, {{true, sizes.size64(8)}}, false);
  EnumType* color = fTypes.enumType(fCtx.globalScope(), "color", nullptr,
                                    {{fCtx.cgString("red"), 0}, {fCtx.cgString("blue"), 1}}, fTypes.signedInt16Type());
  Type* ptr = fTypes.pointerType(i32);
  Type* fcnPtr = fTypes.pointerType(fTypes.fcnType({i32}, {fTypes.singleType()}));
  CoreDomainTypeChecker checker(&fCtx);
  EXPECT_EQ(checker.commonArithmeticType(twoByThree, threeByTwo), nullptr);
  EXPECT_EQ(checker.commonArithmeticType(twoByThree, dynamic), nullptr);
  EXPECT_EQ(checker.commonArithmeticType(dynamic, fTypes.signedInt8Type()), dynamic);
  EXPECT_EQ(checker.commonArithmeticType(color, fTypes.signedInt8Type()), fTypes.signedInt16Type());
  EXPECT_EQ(checker.commonArithmeticType(ptr, ptr), nullptr);
  EXPECT_EQ(checker.commonArithmeticType(fTypes.stringType(), i32), nullptr);
  EXPECT_EQ(checker.commonArithmeticType(fTypes.intType(), fTypes.signedInt32Type()), fTypes.intType());

  auto var = [&](Type* aType) { return fNodes.varExpr(cg_var_create(fFcn->localScope(), aType, nullptr)); };
  EXPECT_EQ(fNodes.expr(OP::CONDITIONAL, {cond(), var(ptr), var(ptr)})->type(), ptr);
  EXPECT_EQ(fNodes.callExpr(var(fcnPtr), {intVar()})->type(), fTypes.singleType());
  EXPECT_EQ(fNodes.expr(OP::MREF, {var(twoByThree), intVar(), intVar()})->type(), i32);
  EXPECT_EQ(fNodes.expr(OP::PLUS, {var(ptr), intVar()}, fTypes.doubleType())->type(), fTypes.doubleType());
}
