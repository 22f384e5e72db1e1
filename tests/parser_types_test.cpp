// Type phrases: qualifiers, fixed-point short and long forms, sizes and named types.
#include <gtest/gtest.h>

#include "ir/scope.h"
#include "ir/symbol.h"
#include "ir/type.h"
#include "tests/parser_support.h"

namespace {

using quill_parse_test::Module;

// The type of the single variable the text defines.
CG::Type* typeOf(Module& aModule, const std::string& aTypeText) {
  aModule.parse("v <- var(" + aTypeText + ",v);");
  for (CG::Symbol* symbol = aModule.ctx.globalScope()->firstSymbol(); symbol; symbol = symbol->next())
    if (CG::Var::isa(symbol))
      return CG::Var::cast(symbol)->type();
  return nullptr;
}

TEST(Types, QualifierOrderDoesNotMatter) {
  Module module;
  CG::Type* first = typeOf(module, "readonly volatile int32");
  module.parse("w <- var(volatile readonly int32,w);");
  CG::Type* second = CG::Var::cast(first->ctx()->globalScope()->lastSymbol())->type();
  EXPECT_TRUE(first->isReadonly() && first->isVolatile());
  EXPECT_TRUE(first->equals(second));
}

struct FixptCase {
  const char* text;
  bool isSigned;
  int bits;
  double slope;
  int exponent;
  double bias;
};

class Fixpt : public ::testing::TestWithParam<FixptCase> {};

TEST_P(Fixpt, ReadsTheNumbers) {
  Module module;
  CG::Type* type = typeOf(module, GetParam().text);
  ASSERT_TRUE(CG::FixptType::isa(type));
  CG::FixptType* fixpt = CG::FixptType::cast(type);
  EXPECT_EQ(GetParam().isSigned, fixpt->isSigned());
  EXPECT_EQ(GetParam().bits, fixpt->numBits());
  EXPECT_EQ(GetParam().slope, fixpt->slope());
  EXPECT_EQ(GetParam().exponent, fixpt->exponent());
  EXPECT_EQ(GetParam().bias, fixpt->bias());
}

const FixptCase kFixptCases[] = {
    {"fixpt(1)", true, 32, 1.0, 0, 0.0},
    {"fixpt(1, 12)", true, 12, 1.0, 0, 0.0},
    {"fixpt(0, 16, 8)", false, 16, 1.0, -8, 0.0},
    {"fixpt(1, 16, 0.75, 2.5)", true, 16, 1.5, -1, 2.5},
    {"fixpt(1, 16, 1.25, -3, 0.5)", true, 16, 1.25, -3, 0.5},
    {"fixpt(uint8, 8, -2)", false, 8, 1.0, -2, 0.0},
    {"scldbl(int16, 16, 3, 1.5, 4.0)", true, 16, 1.5, 3, 4.0},
    // The exponent takes the whole 32-bit range, its least value included.
    {"fixpt(1, 8, 2147483648)", true, 8, 1.0, -2147483647 - 1, 0.0},
    {"fixpt(1, 8, 1.0, -2147483648, 0.0)", true, 8, 1.0, -2147483647 - 1, 0.0},
    {"fixpt(int8, 8, -2147483648)", true, 8, 1.0, -2147483647 - 1, 0.0},
};

INSTANTIATE_TEST_SUITE_P(Forms, Fixpt, ::testing::ValuesIn(kFixptCases));

TEST(Types, MatrixLayoutsAndSizes) {
  Module module;
  module.parse("N <- symbolicid(N);");
  CG::Type* type = typeOf(module, "rowmatrix(int8, N, :, +(N,2))");
  ASSERT_TRUE(CG::StaticMatrixType::isa(type));
  CG::StaticMatrixType* matrix = CG::StaticMatrixType::cast(type);
  EXPECT_TRUE(matrix->isRowMajor());
  ASSERT_EQ(3, matrix->numDims());
  EXPECT_EQ("N", matrix->dim(0)->toString());
  EXPECT_TRUE(matrix->dim(1)->isUnknown());
  EXPECT_EQ("+(N,2)", matrix->dim(2)->toString());
  Module other;
  EXPECT_FALSE(CG::StaticMatrixType::cast(typeOf(other, "colmatrix(int8, 2)"))->isRowMajor());
}

TEST(Types, TypedefNamesAStructAndEntersTheName) {
  Module module;
  module.parse("S <- typedef(struct((int32,a),(double,'b c')),S);\nv <- var(pointer(S),v);");
  CG::Symbol* first = module.ctx.globalScope()->firstSymbol();
  ASSERT_TRUE(CG::StructType::isa(first));
  CG::StructType* type = CG::StructType::cast(first);
  EXPECT_STREQ("S", type->name());
  EXPECT_STREQ("b c", type->fieldName(1));
  CG::Var* var = CG::Var::cast(first->next());
  EXPECT_EQ(type, CG::PointerType::cast(var->type())->baseType());
}

// Every way of defining a type puts it in the outer scope, whether the text stands in a scope block or the
// parse fills a target scope of its own.
TEST(Types, DefinedTypesBelongToTheOuterScope) {
  CG_Ctx ctx;
  CG::ManagedCGPool pool{&ctx};
  CG::Scope* target = cg_scope_create(ctx.globalScope(), "t", pool);
  CG::QulParser parser{&ctx, pool, ctx.globalScope(), target};
  parser.parse("typedef(struct((int32,x)),P);\ntypealias(int32,Q);\n"
               "scope(inner) { typedef(int32,R); typedef(enum((A,0)),E); v <- var(P,v); }\n");
  for (CG::Symbol* symbol = target->firstSymbol(); symbol; symbol = symbol->next())
    EXPECT_FALSE(CG::Type::isa(symbol)) << symbol->name();
  std::vector<std::string> outer;
  for (CG::Symbol* symbol = ctx.globalScope()->firstSymbol(); symbol; symbol = symbol->next())
    if (CG::Type::isa(symbol))
      outer.push_back(symbol->name());
  EXPECT_EQ((std::vector<std::string>{"P", "Q", "R", "E"}), outer);
}

// A body's type builders go with the body; the types they built stay with the module.
TEST(Types, TypesBuiltInABodyOutliveItsBuilders) {
  Module module;
  module.parse("function((),(),f){\n  T <- typedef(struct((int32,a),(pointer(int32),p)),T);\n  v <- var(T,v);\n}\n"
               "function((),(),g){\n  u <- var(pointer(int32),u);\n}\n");
  std::string text = module.emit();
  EXPECT_NE(std::string::npos, text.find("var(struct((int32,a),(pointer(int32),p)),v);")) << text;
  EXPECT_NE(std::string::npos, text.find("var(pointer(int32),u);")) << text;
}

} // namespace
