// Names of printed symbols: aliases for illegal, reserved and clashing names, reuse across functions.
#include "support/irbuild.h"

#include "emit/aliasmanager.h"
#include "emit/options.h"
#include "ir/logger.h"
#include "ir/mempool.h"
#include "ir/nodefactory.h"
#include "lang/optable.h"

#include <gtest/gtest.h>

namespace {

using quilltest::IrFixture;

class ModuleNames : public ::testing::Test, protected IrFixture {};

// Each module variable prints as "[alias <- ]var(int32,name);".
TEST_F(ModuleNames, IllegalReservedAndTakenNamesGetAliases) {
  struct {
    const char* name;
    const char* line;
  } cases[] = {
      {"count", "var(int32,count);"},
      {"x.y", "x_y <- var(int32,\"x.y\");"},
      {"type", "type1 <- var(int32,\"type\");"},
      {"if", "if1 <- var(int32,\"if\");"},
      {"Inf", "Inf1 <- var(int32,\"Inf\");"},
      {"call", "call1 <- var(int32,call);"},
      {"int8", "int81 <- var(int32,int8);"},
      {"overflow", "overflow1 <- var(int32,\"overflow\");"},
      {"check", "check1 <- var(int32,\"check\");"},
      {"symbolicid", "var(int32,symbolicid);"},
      {"sqrt", "sqrt1 <- var(int32,sqrt);"},
      {"9lives", "_9lives <- var(int32,\"9lives\");"},
  };
  std::string expected = "\n";
  for (const auto& c : cases) {
    var(global, c.name);
    expected += std::string(c.line) + "\n";
  }
  EXPECT_EQ(expected, CG::emitQuill(global));
}

// The standard operator table without the row of one operator name.
class TableWithout : public CG::OpTable {
public:
  explicit TableWithout(const char* aLeftOut) : fLeftOut(aLeftOut) {}
  void initOps(const CG::Functor& aFunctor) const override { CG::OpTable::initOps(Skipping(aFunctor, fLeftOut)); }

private:
  struct Skipping : CG::Functor {
    Skipping(const CG::Functor& aNext, const std::string& aLeftOut) : next(aNext), leftOut(aLeftOut) {}
    void operator()(int aOp, const char* aName) const override {
      if (aName != leftOut)
        next(aOp, aName);
    }
    const CG::Functor& next;
    const std::string& leftOut;
  };
  std::string fLeftOut;
};

// An operator table without the "check" row still leaves the keyword reserved.
TEST_F(ModuleNames, KeywordOfAnOperatorTheTableLeavesOutStaysReserved) {
  var(global, "check");
  TableWithout table("check");
  CG::QulEmitterOptions options(nullptr, 3);
  options.setOpTable(&table);
  EXPECT_EQ("\ncheck1 <- var(int32,\"check\");\n", CG::emitQuillEx(global, options));
}

// An operator the table leaves out prints under its definition's name, even when that name is a keyword.
TEST_F(ModuleNames, OperatorTheTableLeavesOutPrintsUnderItsOwnName) {
  CG::Fcn* f = fcnWithBody("f");
  CG::NodeFactory nodes(f->cfg(), nullptr);
  CG::Expr* pair = nodes.expr(1072, {nodes.varExpr(var(global, "a")), nodes.varExpr(var(global, "b"))});
  TableWithout table("complex");
  CG::QulEmitterOptions options(nullptr, 3);
  options.setOpTable(&table);
  std::string printed = CG::emitQuillEx(pair, options);
  EXPECT_EQ(0u, printed.find("complex[")) << printed;
  EXPECT_EQ(CG::emitQuillEx(pair, CG::QulEmitterOptions(nullptr, 3)), printed);
}

TEST_F(ModuleNames, UnnamedVariablesCountUp) {
  var(global, nullptr);
  var(global, "");
  var(global, nullptr);
  EXPECT_EQ("\nqulVar <- var(int32);\nqulVar1 <- var(int32);\nqulVar2 <- var(int32);\n", CG::emitQuill(global));
}

TEST_F(ModuleNames, AliasForcesSecondCounter) {
  var(global, "a.b"); // a_b
  var(global, "a_b"); // taken by the alias: a_b1
  var(global, "a?b"); // a_b2
  EXPECT_EQ("\na_b <- var(int32,\"a.b\");\na_b1 <- var(int32,a_b);\na_b2 <- var(int32,\"a?b\");\n",
            CG::emitQuill(global));
}

TEST_F(ModuleNames, NamesAreStableWithinOneEmission) {
  CG::Var* v = var(global, "while");
  std::string once = CG::emitQuill(v);
  EXPECT_EQ("while1 <- var(int32,\"while\")", once);
  EXPECT_EQ(once, CG::emitQuill(v)); // a new emission starts from the same reserved names
}

// The alias manager on its own, as the emitter sets it up for function-local names.
class LocalNames : public ::testing::Test, protected IrFixture {
protected:
  CG::ManagedCGPool pool{&ctx};
  CG::AliasManager names{pool.pool(), &ctx};
  std::string nameOf(CG::Symbol* aSymbol) { return names.createOrGetQulNameForSymbol(aSymbol); }
};

TEST_F(LocalNames, FunctionsShareLocalNamesButNotWithinOne) {
  CG::Fcn* f = fcnWithBody("f");
  CG::Fcn* g = fcnWithBody("g");
  CG::Var* fx = var(f->localScope(), "x");
  CG::Var* fx2 = var(f->localScope(), "x");
  CG::Var* gx = var(g->localScope(), "x");
  EXPECT_EQ("x", nameOf(fx));
  EXPECT_EQ("x1", nameOf(fx2));
  EXPECT_EQ("x", nameOf(gx));
  EXPECT_FALSE(names.isSymbolAliased(gx));
  EXPECT_TRUE(names.isSymbolAliased(fx2));
}

TEST_F(LocalNames, GlobalNameForcesLocalAlias) {
  CG::Var* global_g = var(global, "g");
  CG::Fcn* f = fcnWithBody("f");
  CG::Var* local_g = var(f->localScope(), "g");
  EXPECT_EQ("g", nameOf(global_g));
  EXPECT_TRUE(names.isSymbolAliased(local_g));
  EXPECT_EQ("g1", nameOf(local_g));
}

TEST_F(LocalNames, AliasOfOneFunctionIsNotReusedByAnother) {
  CG::Fcn* f = fcnWithBody("f");
  CG::Fcn* g = fcnWithBody("g");
  nameOf(var(f->localScope(), "x"));
  EXPECT_EQ("x1", nameOf(var(f->localScope(), "x")));
  EXPECT_EQ("x11", nameOf(var(g->localScope(), "x1")));
}

// g takes the plain "x" over from f, which starts the base afresh; g's own second x must still not get the
// "x1" that f's second x holds.
TEST_F(LocalNames, AFunctionTakingABaseOverDoesNotRestartItsAliases) {
  CG::Fcn* f = fcnWithBody("f");
  CG::Fcn* g = fcnWithBody("g");
  EXPECT_EQ("x", nameOf(var(f->localScope(), "x")));
  EXPECT_EQ("x1", nameOf(var(f->localScope(), "x")));
  EXPECT_EQ("x", nameOf(var(g->localScope(), "x")));
  EXPECT_EQ("x2", nameOf(var(g->localScope(), "x")));
  EXPECT_EQ("x3", nameOf(var(g->localScope(), "x")));
}

// The one call gives what the two do, for symbols named before and after it, plain, aliased and unnamed.
TEST_F(LocalNames, NameWithVerdictMatchesTheTwoCalls) {
  CG::Fcn* f = fcnWithBody("f");
  std::vector<CG::Symbol*> symbols = {var(global, "x"),           var(f->localScope(), "x"), var(global, "while"),
                                      var(global, nullptr),       var(f->localScope(), "y"), var(global, "a.b")};
  CG::AliasManager separate{pool.pool(), &ctx};
  for (int round = 0; round < 2; ++round) {
    for (CG::Symbol* symbol : symbols) {
      bool aliased = separate.isSymbolAliased(symbol);
      char* name = separate.createOrGetQulNameForSymbol(symbol);
      CG::AliasManager::QulName together = names.qulNameForSymbol(symbol);
      EXPECT_EQ(std::string(name), std::string(together.name)) << round;
      EXPECT_EQ(aliased, together.aliased) << name << " " << round;
    }
  }
}

TEST_F(LocalNames, AliasedAnswerIsTheSameBeforeAndAfterNaming) {
  CG::Var* v = var(global, "else");
  bool before = names.isSymbolAliased(v);
  nameOf(v);
  EXPECT_TRUE(before);
  EXPECT_EQ(before, names.isSymbolAliased(v));
}

TEST_F(LocalNames, UnnamedConstantsAndTypesAreNeverRegistered) {
  CG::Const* constant = CG::ConstFactory(&ctx).create(int32(), CG::Ref<CG::Value>(), nullptr, nullptr);
  EXPECT_FALSE(names.isSymbolAliased(constant));
  EXPECT_EQ(nullptr, names.createOrGetQulNameForSymbol(constant));
  EXPECT_FALSE(names.hasQulNameBeenCreated(constant));
}

TEST_F(LocalNames, UnnamedFunctionsCountUp) {
  EXPECT_EQ("qulFcn", nameOf(CG::Fcn::create(global, nullptr)));
  EXPECT_EQ("qulFcn1", nameOf(CG::Fcn::create(global, "")));
}

TEST_F(LocalNames, IdentifierPattern) {
  struct {
    const char* text;
    bool identifier;
  } cases[] = {{"a", true},    {"_x9", true},  {"A_b_C", true}, {"", false},  {"9a", false},   {"a.b", false},
               {"a b", false}, {"var", false}, {"NaN", false},  {"do", true}, {"ab\n", false}, {"x-", false}};
  for (const auto& c : cases)
    EXPECT_EQ(c.identifier, names.isQuillIdentifier(text(c.text))) << c.text;
}

TEST_F(LocalNames, RegisteringATakenModuleNameFailsItsInvariant) {
  names.registerTypeName(int32(), "int32");
  try {
    names.registerTypeName(types.signedInt8Type(), "int32");
    FAIL() << "a module-level name was registered twice";
  } catch (const CG::AssertionException& error) {
    EXPECT_EQ("ti->getFcn()!=0", error.expression());
    EXPECT_EQ("emit/aliasmanager", error.file());
  }
}

// Reserved words are registered without a token; the null key holds the last one reserved.
TEST_F(LocalNames, ReservedWordsLeaveTheLastUnderTheNullToken) {
  EXPECT_TRUE(names.hasQulNameBeenCreated(nullptr));
}

// Custom operators get the prefix; a definition that replaces another under the same code is named anew,
// for codes of any size.
TEST_F(LocalNames, CustomOperatorsGetThePrefix) {
  for (int code : {3000, 10042}) {
    const std::string first = "op" + std::to_string(code);
    const std::string second = "new" + std::to_string(code);
    ASSERT_NE(nullptr, CG_NodeDef::create(&ctx, 0, first.c_str(), 1, 1, 2, 1, 0, nullptr, nullptr, code, 0, 0));
    EXPECT_EQ("|>" + first, names.getNameForOp(CG::OP(code)));
    EXPECT_EQ("|>" + first, names.getNameForOp(CG::OP(code)));
    ASSERT_NE(nullptr, CG_NodeDef::create(&ctx, 0, second.c_str(), 1, 1, 2, 1, 0, nullptr, nullptr, code, 0, 0));
    EXPECT_EQ("|>" + second, names.getNameForOp(CG::OP(code)));
  }
}

} // namespace
