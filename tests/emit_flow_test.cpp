// Function bodies built by hand, compared word for word with the emitter's text: structured blocks, unstructured
// graphs with labels and gotos, and the statement forms.
#include "tests/support/irbuild.h"

#include "ir/nodefactory.h"
#include "ir/predicate.h"
#include "ir/pst.h"
#include "ir/region.h"
#include "ir/value.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A function f with one local x; statements are comments whose text names them.
class FlowText : public ::testing::Test, protected quilltest::IrFixture {
protected:
  CG::Fcn* fcn = fcnWithBody("f");
  CG::Var* x = var(fcn->localScope(), "x");
  CG::NodeFactory nodes{fcn, nullptr};
  CG::RegionFactory regions{&nodes};

  CG::Const* number(long long aValue) {
    return CG::ConstFactory(&ctx).create(int32(), CG::ValueFactory(&ctx).integerValueRef(types.signedInt32Type(), aValue),
                                         nullptr, nullptr);
  }
  CG::Expr* num(long long aValue) { return nodes.constExpr(number(aValue)); }
  CG::Expr* xIs(CG::OP aOp, long long aValue) { return nodes.expr(aOp, {nodes.varExpr(x), num(aValue)}); }
  // x < aValue
  CG::Expr* below(long long aValue) { return xIs(CG::OP::LT, aValue); }
  CG::SeseStmt* note(const char* aText) { return nodes.commentStmt(aText); }
  CG::Region* stmt(const char* aText) { return regions.stmtRegion(note(aText)); }
  CG::Region* seq(std::initializer_list<CG::Region*> aParts) { return regions.sequenceRegion(aParts); }
  CG::Region* fragment(CG::InPort aEntry, CG::OutPort aExit) { return nodes.pool()->make<CG::Region>(aEntry, aExit); }
  // a; if(x<2) {b} else ...: the fragment from a to b; the if's false out-port is left for the caller.
  CG::Region* earlyExitFragment(CG::IfStmt** aTest) {
    CG::SeseStmt* a = note("a");
    CG::SeseStmt* b = note("b");
    *aTest = nodes.ifStmt(below(2));
    a->outPort().connect((*aTest)->inPort());
    (*aTest)->trueOutPort().connect(b->inPort());
    return fragment(a->inPort(), b->outPort());
  }
  void link(CG::OutPort aFrom, CG::SeseStmt* aStmt, CG::InPort aTo) {
    aFrom.connect(aStmt->inPort());
    aStmt->outPort().connect(aTo);
  }

  // The whole function text for the given body.
  std::string emitBody(CG::Region* aBody) {
    regions.setBody(aBody);
    return CG::emitQuill(fcn);
  }
  static std::string function(const std::string& aBodyLines) {
    return "function((),(),f)\n{\n    var(int32,x);\n" + aBodyLines + "}\n";
  }
};

//===-- Structured blocks -------------------------------------------------------------------------------===//

TEST_F(FlowText, IfWithEmptyElse) {
  CG::Region* body = seq({stmt("a"), regions.ifRegion(below(3), stmt("b"), regions.emptyRegion()), stmt("c")});
  EXPECT_EQ(function("    comment(\"a\");\n"
                     "    if(<(x,3)) {\n"
                     "        comment(\"b\");\n"
                     "    } else {\n"
                     "    }\n"
                     "    comment(\"c\");\n"),
            emitBody(body));
}

// The region entry prints a region of a structure tree alone, from indentation zero, but without the tree
// itself: a branch, whose arms are found through the tree, ends the text early. Any other region is reported
// in the text.
TEST_F(FlowText, RegionEntryPrintsOneRegionWithoutItsTree) {
  regions.setBody(seq({stmt("a"), regions.ifRegion(below(3), stmt("b"), stmt("c"))}));
  CG::ManagedCGPool pool{&ctx};
  CG::Pst pst(fcn, pool.pool(), 1);
  CG::QulEmitterOptions options(nullptr, 3);
  EXPECT_EQ("QulEmitter quit earlycomment(\"a\");\nif(<(x,3)) {\n", CG::QulEmitter::emitRegion(pst.root(), options));
  EXPECT_EQ("**Error: Unknown Region**", CG::QulEmitter::emitRegion(stmt("d"), options));
  EXPECT_EQ("QulEmitter quit early", CG::QulEmitter::emitRegion(nullptr, options));
}

TEST_F(FlowText, IfWithBothBranches) {
  CG::Region* body = regions.ifRegion(below(3), seq({stmt("a"), stmt("b")}), stmt("c"));
  EXPECT_EQ(function("    if(<(x,3)) {\n"
                     "        comment(\"a\");\n"
                     "        comment(\"b\");\n"
                     "    } else {\n"
                     "        comment(\"c\");\n"
                     "    }\n"),
            emitBody(body));
}

TEST_F(FlowText, WhileLoop) {
  CG::Region* body = regions.whileRegion(below(10), seq({stmt("a"), stmt("b")}));
  EXPECT_EQ(function("    while(<(x,10)) {\n"
                     "        comment(\"a\");\n"
                     "        comment(\"b\");\n"
                     "    }\n"),
            emitBody(body));
}

TEST_F(FlowText, DoWhileLoopClosesWithItsCondition) {
  CG::Region* body = regions.doWhileRegion(stmt("a"), xIs(CG::OP::NE, 0));
  EXPECT_EQ(function("    do {\n"
                     "        comment(\"a\");\n"
                     "    }while(!=(x,0));\n"),
            emitBody(body));
}

TEST_F(FlowText, ForLoop) {
  CG::Region* body = regions.forRegion(nodes.varExpr(x), num(0), num(1), num(8), stmt("a"), false);
  EXPECT_EQ(function("    for(x,0,1,8) {\n"
                     "        comment(\"a\");\n"
                     "    }\n"),
            emitBody(body));
}

TEST_F(FlowText, ParforWritesItsFlagsAfterTheEnd) {
  CG::Region* loop = regions.forRegion(nodes.varExpr(x), num(0), num(2), num(8), stmt("a"), true);
  auto* entry = CG::ParallelForEntryStmt::cast(loop->entry().node);
  entry->setOrderedLoop(true);
  entry->setBypassDependence(true);
  EXPECT_EQ(function("    parfor(x,0,2,8|\"ordered\":\"true\",\"bypassdep\":\"true\") {\n"
                     "        comment(\"a\");\n"
                     "    }\n"),
            emitBody(loop));
}

TEST_F(FlowText, ParforWithoutFlagsHasNoBar) {
  CG::Region* loop = regions.forRegion(nodes.varExpr(x), num(0), num(1), num(4), regions.emptyRegion(), true);
  EXPECT_EQ(function("    parfor(x,0,1,4) {\n"
                     "    }\n"),
            emitBody(loop));
}

TEST_F(FlowText, SwitchWithCasesAndDefault) {
  CG::SwitchRegionBuilder builder(&regions);
  builder.setCondition(nodes.varExpr(x));
  builder.addCase(num(1), stmt("one"));
  builder.addCase(num(2), regions.emptyRegion());
  builder.addCase(num(3), seq({stmt("three"), stmt("more")}));
  builder.setDefault(stmt("other"));
  EXPECT_EQ(function("    switch(x) {\n"
                     "        case(1) :\n"
                     "            comment(\"one\");\n"
                     "        case(2) :\n"
                     "        case(3) :\n"
                     "            comment(\"three\");\n"
                     "            comment(\"more\");\n"
                     "        default :\n"
                     "            comment(\"other\");\n"
                     "    }\n"),
            emitBody(builder.build()));
}

TEST_F(FlowText, DeepNesting) {
  CG::Region* inner = regions.doWhileRegion(stmt("core"), below(1));
  CG::Region* loop = regions.forRegion(nodes.varExpr(x), num(0), num(1), num(3), inner, false);
  CG::Region* branch = regions.ifRegion(below(2), regions.emptyRegion(), loop);
  CG::Region* body = regions.whileRegion(below(4), seq({stmt("top"), branch}));
  EXPECT_EQ(function("    while(<(x,4)) {\n"
                     "        comment(\"top\");\n"
                     "        if(<(x,2)) {\n"
                     "        } else {\n"
                     "            for(x,0,1,3) {\n"
                     "                do {\n"
                     "                    comment(\"core\");\n"
                     "                }while(<(x,1));\n"
                     "            }\n"
                     "        }\n"
                     "    }\n"),
            emitBody(body));
}

//===-- Statements --------------------------------------------------------------------------------------===//

TEST_F(FlowText, CommentQuotesAreEscapedLiteralTextIsNot) {
  CG::Region* body = seq({stmt("say \"hi\""), stmt(""), regions.stmtRegion(nodes.literalTextStmt("raw \"text\""))});
  EXPECT_EQ(function("    comment(\"say \\\"hi\\\"\");\n"
                     "    comment(\"\");\n"
                     "    literal_text(\"raw \"text\"\");\n"),
            emitBody(body));
}

TEST_F(FlowText, InitStatementWritesItsConstant) {
  CG::Region* body = regions.stmtRegion(nodes.initStmt(nodes.varExpr(x), CG::ConstExpr::cast(num(42))));
  EXPECT_EQ(function("    init(x,42);\n"), emitBody(body));
}

TEST_F(FlowText, CustomStatementIsFollowedByAnEmptyLine) {
  CG::SeseStmt* open = nodes.stmt(CG_NodeDef::getDefByEnum(&ctx, CG::OP::OPEN_SCOPE), {nodes.varExpr(x), num(1)});
  CG::Region* body = seq({regions.stmtRegion(open), stmt("after")});
  EXPECT_EQ(function("    |:open_scope(x, 1);\n"
                     "\n"
                     "    comment(\"after\");\n"),
            emitBody(body));
}

// The prefix is written before every custom statement's name, also before a name that starts with it.
TEST_F(FlowText, CustomStatementNamedWithThePrefixKeepsBoth) {
  CG::SeseStmt* ret = nodes.stmt(CG_NodeDef::getDefByEnum(&ctx, CG::OP::RETURN), {nodes.varExpr(x)});
  EXPECT_EQ(function("    |:|:return(x);\n\n"), emitBody(regions.stmtRegion(ret)));
}

// Rejects the graph of f, so only its body is skipped.
class RejectGraphs : public CG::ShouldEmitPredicate {
public:
  bool shouldEmit(CG_Obj* aObj) override { return !CG::Cfg::isa(aObj); }
};

TEST_F(FlowText, BodyRejectedByTheFilterIsSkipped) {
  regions.setBody(stmt("hidden"));
  RejectGraphs filter;
  CG::QulEmitterOptions options(nullptr, 3);
  options.setFilter(&filter);
  EXPECT_EQ("function((),(),f)\n{\n// skipping body\n}\n", CG::emitQuillEx(fcn, options));
}

//===-- Unstructured graphs -----------------------------------------------------------------------------===//

// if(x<1) {a; L: d} else if(x<2) {b; goto L} else if(x<3) {c; goto L} else {e}
TEST_F(FlowText, SeveralGotosToOneLabel) {
  CG::IfStmt* if1 = nodes.ifStmt(below(1));
  CG::IfStmt* if2 = nodes.ifStmt(below(2));
  CG::IfStmt* if3 = nodes.ifStmt(below(3));
  CG::MergeStmt* label = nodes.mergeStmt(3);
  CG::MergeStmt* join = nodes.mergeStmt(2);
  link(if1->trueOutPort(), note("a"), label->inPort(0));
  if1->falseOutPort().connect(if2->inPort());
  link(if2->trueOutPort(), note("b"), label->inPort(1));
  if2->falseOutPort().connect(if3->inPort());
  link(if3->trueOutPort(), note("c"), label->inPort(2));
  link(if3->falseOutPort(), note("e"), join->inPort(1));
  link(label->outPort(), note("d"), join->inPort(0));
  std::string text = emitBody(seq({stmt("first"), fragment(if1->inPort(), join->outPort()), stmt("last")}));
  EXPECT_EQ(function("    comment(\"first\");\n"
                     "    if(<(x,1)) {\n"
                     "        comment(\"a\");\n"
                     "        label(L0);\n"
                     "        comment(\"d\");\n"
                     "    } else {\n"
                     "        if(<(x,2)) {\n"
                     "            comment(\"b\");\n"
                     "            goto(L0);\n"
                     "        } else {\n"
                     "            if(<(x,3)) {\n"
                     "                comment(\"c\");\n"
                     "                goto(L0);\n"
                     "            } else {\n"
                     "                comment(\"e\");\n"
                     "            }\n"
                     "        }\n"
                     "    }\n"
                     "    comment(\"last\");\n"),
            text);
}

// L: a; if(x<1) {} else {b; goto L}   -- a loop without a loop statement
TEST_F(FlowText, BackwardJump) {
  CG::MergeStmt* head = nodes.mergeStmt(2);
  CG::IfStmt* test = nodes.ifStmt(below(1));
  link(head->outPort(), note("a"), test->inPort());
  link(test->falseOutPort(), note("b"), head->inPort(1));
  std::string text = emitBody(seq({stmt("first"), fragment(head->inPort(0), test->trueOutPort()), stmt("last")}));
  EXPECT_EQ(function("    comment(\"first\");\n"
                     "    label(L0);\n"
                     "    comment(\"a\");\n"
                     "    if(<(x,1)) {\n"
                     "    } else {\n"
                     "        comment(\"b\");\n"
                     "        goto(L0);\n"
                     "    }\n"
                     "    comment(\"last\");\n"),
            text);
}

// if(x<1) {a; L: b} else {c; if(x<2) goto L; d}
TEST_F(FlowText, JumpIntoABranch) {
  CG::IfStmt* if1 = nodes.ifStmt(below(1));
  CG::IfStmt* if2 = nodes.ifStmt(below(2));
  CG::MergeStmt* label = nodes.mergeStmt(2);
  CG::MergeStmt* join = nodes.mergeStmt(2);
  link(if1->trueOutPort(), note("a"), label->inPort(0));
  link(if1->falseOutPort(), note("c"), if2->inPort());
  if2->trueOutPort().connect(label->inPort(1));
  link(if2->falseOutPort(), note("d"), join->inPort(1));
  link(label->outPort(), note("b"), join->inPort(0));
  std::string text = emitBody(seq({fragment(if1->inPort(), join->outPort()), stmt("last")}));
  EXPECT_EQ(function("    if(<(x,1)) {\n"
                     "        comment(\"a\");\n"
                     "        label(L0);\n"
                     "        comment(\"b\");\n"
                     "    } else {\n"
                     "        comment(\"c\");\n"
                     "        if(<(x,2)) {\n"
                     "            goto(L0);\n"
                     "        } else {\n"
                     "            comment(\"d\");\n"
                     "        }\n"
                     "    }\n"
                     "    comment(\"last\");\n"),
            text);
}

// Three merges in a row; a jump to the first lands on the last.
TEST_F(FlowText, GotoIntoAMergeChainTargetsItsLastMerge) {
  CG::IfStmt* if1 = nodes.ifStmt(below(1));
  CG::IfStmt* if2 = nodes.ifStmt(below(2));
  CG::IfStmt* back = nodes.ifStmt(below(3));
  CG::MergeStmt* first = nodes.mergeStmt(2);
  CG::MergeStmt* second = nodes.mergeStmt(2);
  CG::MergeStmt* third = nodes.mergeStmt(2);
  link(if1->trueOutPort(), note("a"), first->inPort(0));
  if1->falseOutPort().connect(if2->inPort());
  link(if2->trueOutPort(), note("b"), second->inPort(1));
  link(if2->falseOutPort(), note("c"), third->inPort(1));
  first->outPort().connect(second->inPort(0));
  second->outPort().connect(third->inPort(0));
  link(third->outPort(), note("d"), back->inPort());
  back->trueOutPort().connect(first->inPort(1));
  std::string text = emitBody(seq({fragment(if1->inPort(), back->falseOutPort()), stmt("last")}));
  EXPECT_EQ(function("    if(<(x,1)) {\n"
                     "        comment(\"a\");\n"
                     "        label(L0);\n"
                     "        comment(\"d\");\n"
                     "        if(<(x,3)) {\n"
                     "            goto(L0);\n"
                     "        } else {\n"
                     "        }\n"
                     "    } else {\n"
                     "        if(<(x,2)) {\n"
                     "            comment(\"b\");\n"
                     "            goto(L0);\n"
                     "        } else {\n"
                     "            comment(\"c\");\n"
                     "            goto(L0);\n"
                     "        }\n"
                     "    }\n"
                     "    comment(\"last\");\n"),
            text);
}

// if(x<1) {while(x<5) {a}; L: c} else {b; if(x<2) goto L; d}
TEST_F(FlowText, LoopInsideAnUnstructuredRegion) {
  CG::IfStmt* if1 = nodes.ifStmt(below(1));
  CG::IfStmt* if2 = nodes.ifStmt(below(2));
  CG::MergeStmt* label = nodes.mergeStmt(2);
  CG::MergeStmt* join = nodes.mergeStmt(2);
  CG::Region* loop = regions.whileRegion(below(5), stmt("a"));
  if1->trueOutPort().connect(loop->entry());
  loop->exit().connect(label->inPort(0));
  link(if1->falseOutPort(), note("b"), if2->inPort());
  if2->trueOutPort().connect(label->inPort(1));
  link(if2->falseOutPort(), note("d"), join->inPort(1));
  link(label->outPort(), note("c"), join->inPort(0));
  std::string text = emitBody(fragment(if1->inPort(), join->outPort()));
  EXPECT_EQ(function("    if(<(x,1)) {\n"
                     "        while(<(x,5)) {\n"
                     "            comment(\"a\");\n"
                     "        }\n"
                     "        label(L0);\n"
                     "        comment(\"c\");\n"
                     "    } else {\n"
                     "        comment(\"b\");\n"
                     "        if(<(x,2)) {\n"
                     "            goto(L0);\n"
                     "        } else {\n"
                     "            comment(\"d\");\n"
                     "        }\n"
                     "    }\n"),
            text);
}

// L: if(x<1) {a; if(x<2) goto out; b; goto L}  out:
TEST_F(FlowText, BreakOutOfALoopMadeOfGotos) {
  CG::MergeStmt* head = nodes.mergeStmt(2);
  CG::IfStmt* test = nodes.ifStmt(below(1));
  CG::IfStmt* breakTest = nodes.ifStmt(below(2));
  CG::MergeStmt* out = nodes.mergeStmt(2);
  head->outPort().connect(test->inPort());
  link(test->trueOutPort(), note("a"), breakTest->inPort());
  test->falseOutPort().connect(out->inPort(1));
  breakTest->trueOutPort().connect(out->inPort(0));
  link(breakTest->falseOutPort(), note("b"), head->inPort(1));
  std::string text = emitBody(seq({fragment(head->inPort(0), out->outPort()), stmt("last")}));
  EXPECT_EQ(function("    label(L0);\n"
                     "    if(<(x,1)) {\n"
                     "        comment(\"a\");\n"
                     "        if(<(x,2)) {\n"
                     "        } else {\n"
                     "            comment(\"b\");\n"
                     "            goto(L0);\n"
                     "        }\n"
                     "    } else {\n"
                     "    }\n"
                     "    comment(\"last\");\n"),
            text);
}

// if(x<1) {a; H: c} else {b}  M: d; if(x<2) goto H   -- a loop with two entries
TEST_F(FlowText, JumpIntoALoop) {
  CG::IfStmt* choose = nodes.ifStmt(below(1));
  CG::MergeStmt* head = nodes.mergeStmt(2);
  CG::MergeStmt* middle = nodes.mergeStmt(2);
  CG::IfStmt* test = nodes.ifStmt(below(2));
  link(choose->trueOutPort(), note("a"), head->inPort(0));
  link(choose->falseOutPort(), note("b"), middle->inPort(1));
  link(head->outPort(), note("c"), middle->inPort(0));
  link(middle->outPort(), note("d"), test->inPort());
  test->trueOutPort().connect(head->inPort(1));
  std::string text = emitBody(seq({fragment(choose->inPort(), test->falseOutPort()), stmt("last")}));
  EXPECT_EQ(function("    if(<(x,1)) {\n"
                     "        comment(\"a\");\n"
                     "        label(L0);\n"
                     "        comment(\"c\");\n"
                     "        label(L1);\n"
                     "        comment(\"d\");\n"
                     "        if(<(x,2)) {\n"
                     "            goto(L0);\n"
                     "        } else {\n"
                     "        }\n"
                     "    } else {\n"
                     "        comment(\"b\");\n"
                     "        goto(L1);\n"
                     "    }\n"
                     "    comment(\"last\");\n"),
            text);
}

// A structured if whose then branch leaves for a merge after the if:
// if(x<1) {a; if(x<2) {b} else goto M} else {c}  e; M: d
TEST_F(FlowText, BranchLeavesTheIf) {
  CG::IfStmt* inner = nullptr;
  CG::Region* branch = regions.ifRegion(below(1), earlyExitFragment(&inner), stmt("c"));
  CG::MergeStmt* target = nodes.mergeStmt(2);
  link(branch->exit(), note("e"), target->inPort(0));
  inner->falseOutPort().connect(target->inPort(1));
  CG::SeseStmt* d = note("d");
  target->outPort().connect(d->inPort());
  std::string text = emitBody(seq({fragment(branch->entry(), d->outPort()), stmt("last")}));
  EXPECT_EQ(function("    if(<(x,1)) {\n"
                     "        comment(\"a\");\n"
                     "        if(<(x,2)) {\n"
                     "            comment(\"b\");\n"
                     "            label(L0);\n"
                     "            comment(\"e\");\n"
                     "        } else {\n"
                     "        }\n"
                     "    } else {\n"
                     "        comment(\"c\");\n"
                     "        goto(L0);\n"
                     "    }\n"
                     "    comment(\"d\");\n"
                     "    comment(\"last\");\n"),
            text);
}

// while(x<1) {a; if(x<2) {b} else goto M}  M: c
TEST_F(FlowText, LoopBodyLeavesTheLoop) {
  CG::IfStmt* inner = nullptr;
  CG::Region* loop = regions.whileRegion(below(1), earlyExitFragment(&inner));
  CG::MergeStmt* target = nodes.mergeStmt(2);
  loop->exit().connect(target->inPort(0));
  inner->falseOutPort().connect(target->inPort(1));
  CG::SeseStmt* c = note("c");
  target->outPort().connect(c->inPort());
  std::string text = emitBody(seq({fragment(loop->entry(), c->outPort()), stmt("last")}));
  EXPECT_EQ(function("    label(L0);\n"
                     "    if(<(x,1)) {\n"
                     "        comment(\"a\");\n"
                     "        if(<(x,2)) {\n"
                     "            comment(\"b\");\n"
                     "            goto(L0);\n"
                     "        } else {\n"
                     "        }\n"
                     "    } else {\n"
                     "    }\n"
                     "    comment(\"c\");\n"
                     "    comment(\"last\");\n"),
            text);
}

//===-- Jumps near region boundaries --------------------------------------------------------------------===//

// The jump out of the unstructured graph lands on the inner if's join, which leads straight to the outer if's
// join: control just leaves the graph, so nothing is printed for it (no goto to a label outside the graph).
// if(x<7) {if(x<5) {L: a; if(x<1) {} else goto L} else {}} else {}
TEST_F(FlowText, JumpToTheContinuationOfAGraphThatEndsInAChainOfJoins) {
  CG::MergeStmt* head = nodes.mergeStmt(2);
  CG::IfStmt* test = nodes.ifStmt(below(1));
  link(head->outPort(), note("a"), test->inPort());
  test->falseOutPort().connect(head->inPort(1));
  CG::Region* inner = regions.ifRegion(below(5), fragment(head->inPort(0), test->trueOutPort()), regions.emptyRegion());
  CG::Region* outer = regions.ifRegion(below(7), inner, regions.emptyRegion());
  EXPECT_EQ(function("    if(<(x,7)) {\n"
                     "        if(<(x,5)) {\n"
                     "            label(L0);\n"
                     "            comment(\"a\");\n"
                     "            if(<(x,1)) {\n"
                     "            } else {\n"
                     "                goto(L0);\n"
                     "            }\n"
                     "        } else {\n"
                     "        }\n"
                     "    } else {\n"
                     "    }\n"
                     "    comment(\"last\");\n"),
            emitBody(seq({outer, stmt("last")})));
}

// The goto's target merge leads straight into a while loop's head; the label stands on the merge before the loop,
// since the loop itself prints as a structured while without a label.
// L: while(x<5) {a}; if(x<1) {} else {b; goto L}
TEST_F(FlowText, BackwardJumpToAMergeBeforeALoop) {
  CG::MergeStmt* head = nodes.mergeStmt(2);
  CG::IfStmt* test = nodes.ifStmt(below(1));
  CG::Region* loop = regions.whileRegion(below(5), stmt("a"));
  head->outPort().connect(loop->entry());
  loop->exit().connect(test->inPort());
  link(test->falseOutPort(), note("b"), head->inPort(1));
  EXPECT_EQ(function("    label(L0);\n"
                     "    while(<(x,5)) {\n"
                     "        comment(\"a\");\n"
                     "    }\n"
                     "    if(<(x,1)) {\n"
                     "    } else {\n"
                     "        comment(\"b\");\n"
                     "        goto(L0);\n"
                     "    }\n"
                     "    comment(\"last\");\n"),
            emitBody(seq({fragment(head->inPort(0), test->trueOutPort()), stmt("last")})));
}

} // namespace
