// Tests of the mechanisms the emitter leans on for speed: the interning table, ordered id lists and the
// expression walk.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "ir/containers.h"
#include "ir/ctx.h"
#include "ir/nodefactory.h"
#include "ir/scope.h"
#include "ir/symbol.h"
#include "ir/typechecker.h"
#include "ir/typefactory.h"
#include "tests/parser_support.h"

using namespace CG;

namespace {

TEST(InterningTable, KeepsIdentityAcrossGrowth) {
  CG_Ctx ctx;
  std::vector<char*> first;
  for (int i = 0; i < 20000; ++i)
    first.push_back(ctx.cgString("name" + std::to_string(i)));
  for (int i = 0; i < 20000; ++i) {
    std::string text = "name" + std::to_string(i);
    ASSERT_EQ(first[i], ctx.cgString(text.c_str()));
    ASSERT_EQ(text, first[i]);
  }
  std::string_view part("name17 and more");
  EXPECT_EQ(first[17], ctx.cgString(part.substr(0, 6)));
  EXPECT_STREQ("", ctx.cgString(std::string_view()));
  EXPECT_EQ(ctx.cgString(""), ctx.cgString(std::string_view()));
}

TEST(IdLinkedListOrder, EditsKeepOrderAndPositions) {
  int items[6] = {};
  IdLinkedList<int*> list;
  for (int i = 1; i < 5; ++i)
    EXPECT_TRUE(list.append(&items[i]));
  EXPECT_TRUE(list.prepend(&items[0]));
  EXPECT_FALSE(list.prepend(&items[3]));
  EXPECT_TRUE(list.remove(&items[2]));
  EXPECT_TRUE(list.append(&items[2]));
  const std::vector<int*> expected = {&items[0], &items[1], &items[3], &items[4], &items[2]};
  std::vector<int*> seen;
  for (IdLinkedList<int*>::Iterator it = list.iterator(); it.hasCurrent(); it.advance())
    seen.push_back(it.current());
  EXPECT_EQ(seen, expected);
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(list.at(i), expected[i]);
  EXPECT_EQ(list.at(expected.size()), nullptr);
  list.clear();
  EXPECT_TRUE(list.isEmpty());
  EXPECT_FALSE(list.contains(&items[0]));
}

class EmitMechanismsTest : public ::testing::Test {
protected:
  EmitMechanismsTest() : fTypes(&fCtx), fFcn(Fcn::create(fCtx.globalScope(), "f")), fNodes(fFcn, nullptr) {
    fInt = cg_var_create(fFcn->localScope(), fTypes.signedInt32Type(), "i");
  }

  Expr* intVar() { return fNodes.varExpr(fInt); }

  CG_Ctx fCtx;
  TypeFactory fTypes;
  Fcn* fFcn;
  NodeFactory fNodes;
  Var* fInt = nullptr;
};

// A chain deeper than the walk's inline frames visits in the same order as the std::function form.
TEST_F(EmitMechanismsTest, DeepTreeWalksLikeTheFunctionForm) {
  Expr* tree = intVar();
  for (int depth = 0; depth < 300; ++depth)
    tree = depth % 3 == 0 ? fNodes.expr(OP::PLUS, {tree, intVar()}) : fNodes.expr(OP::UMINUS, {tree});
  std::vector<Expr*> direct;
  forEachExprPostOrder(tree, [&](Expr* aExpr) { direct.push_back(aExpr); });
  std::vector<Expr*> viaFunction;
  std::function<void(Expr*)> visit = [&](Expr* aExpr) { viaFunction.push_back(aExpr); };
  forEachExprPostOrder(tree, visit);
  EXPECT_EQ(direct.size(), 401u);
  EXPECT_EQ(direct, viaFunction);
  EXPECT_EQ(direct.back(), tree);
}

// Counts the questions the emitter asks its type checker.
class CountingChecker : public CoreDomainTypeChecker {
public:
  using CoreDomainTypeChecker::CoreDomainTypeChecker;
  Type* expectedType(Expr* aExpr) override {
    ++asked;
    return CoreDomainTypeChecker::expectedType(aExpr);
  }
  int asked = 0;
};

// Every scope above a function collects the types its graph uses, from one walk of the graph per emission: a
// function nested deep costs what one near the top costs.
TEST(GraphTypeCollection, ScopeDepthDoesNotMultiplyTheWalks) {
  constexpr int kScopes = 12;
  auto questionsAsked = [](bool aNested) {
    std::string text;
    for (int i = 0; i < kScopes; ++i) {
      std::string n = std::to_string(i);
      text += "scope(s" + n + "){\nfunction((var(int32,x" + n + ")),(var(int32,y" + n + ")),g" + n + ")\n{\n" +
              "    =(y" + n + ",+(x" + n + ",1));\n}\n" + (aNested ? "" : "}\n");
    }
    text += aNested ? std::string(kScopes, '}') + "\n" : "";
    quill_parse_test::Module module;
    module.parse(text);
    CountingChecker checker(&module.ctx);
    emitQuillEx(module.ctx.globalScope(), QulEmitterOptions(&checker, 3));
    return checker.asked;
  };
  EXPECT_EQ(questionsAsked(false), questionsAsked(true));
}

} // namespace
