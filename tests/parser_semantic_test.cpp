// Parser semantic messages: each checked word for word with its position.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "ir/cfg.h"
#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/mempool.h"
#include "ir/node.h"
#include "ir/nodefactory.h"
#include "ir/region.h"
#include "ir/scope.h"
#include "ir/symbol.h"
#include "ir/typefactory.h"
#include "parse/parserctx.h"
#include "parse/symboltable.h"
#include "tests/parser_support.h"
#include "tests/support/irgen.h"

namespace {

using quill_parse_test::CollectedLog;
using quill_parse_test::Module;
using quill_parse_test::parseFailure;

struct SemanticCase {
  const char* text;
  const char* id;
  const char* message;
};

class SemanticErrors : public ::testing::TestWithParam<SemanticCase> {};

TEST_P(SemanticErrors, ReportExactly) {
  auto failure = parseFailure(GetParam().text);
  EXPECT_EQ(GetParam().id, failure.id);
  EXPECT_EQ(GetParam().message, failure.message);
}

#define FN "x <- var(int32,x);\nf <- function((),(),f) {\n"
// A function of one input and two outputs.
#define G2 "g <- function((a <- var(int32,a)),(r <- var(int32,r),s <- var(int32,s)),g) { }\n"

const SemanticCase kSemanticCases[] = {
    {"v <- var(nosuch,v);", "type_expr::IdentifierNotDefined",
     "[L1, C0]: Identifier nosuch is being used without being defined"},
    {"x <- var(int32,x);\nv <- var(x,v);", "type_expr::IdentifierNotType",
     "[L2, C10]: Identifier x is being used as a type while it has not been declared as a type"},
    {"S <- typedef(class((\"Public\" int32,a)),S);", "type_expr::Invalid Visibility Flag",
     "[L1, C0]: expected one of 'public', 'protected', or 'private' instead of Public"},
    {"v <- var(fixpt(1, 2e115),v);", "type_expr::InvalidWordLength",
     "[L1, C0]: word length 9000000000000000000 is outside 1 to 1024"},
    {"m <- var(matrix(int32,n),m);", "qulY::Rule::symbolic_size_id::IdentifierNotDefined",
     "[L1, C0]: Identifier n is being used without being defined"},
    {"m <- var(matrix(int32,sqrt(2)),m);", "qulY::Rule::symbolic_size_unop::WrongOperators",
     "[L1, C0]: Wrong operator 'sqrt' is given"},
    {"m <- var(matrix(int32,==(2,3)),m);", "qulY::Rule::symbolic_size_binop::WrongOperators",
     "[L1, C0]: Wrong operator '==' is given"},
    {"m <- var(matrix(int32,-2),m);", "qulY::Rule::symbolic_size::NegativeSize",
     "[L1, C0]: size -2 must not be negative"},
    // Numbers beyond their field's range are refused, not brought into it.
    {"m <- var(matrix(double,18446744073709551616),m);", "qulY::Rule::integer::OutOfRange",
     "[L1, C0]: integer 18446744073709551616 does not fit 64 bits"},
    {"e <- var(enum((a,9223372036854775808)),e);", "qulY::Rule::integer::OutOfRange",
     "[L1, C0]: integer 9223372036854775808 does not fit 64 bits"},
    {"v <- var(fixpt(1,16,1e10),v);", "qulY::Rule::integer::OutOfRange",
     "[L1, C0]: integer 1e10 does not fit 32 bits"},
    {"v <- var(fixpt(1,8,-2147483648),v);", "qulY::Rule::integer::OutOfRange",
     "[L1, C0]: integer -2147483648 does not fit 32 bits"},
    {"v <- var(fixpt(1,8,1.0,2147483648,0.0),v);", "qulY::Rule::integer::OutOfRange",
     "[L1, C0]: integer 2147483648 does not fit 32 bits"},
    {"v <- var(signed(2147483648),v);", "qulY::Rule::integer::OutOfRange",
     "[L1, C0]: integer 2147483648 does not fit 32 bits"},
    {"q <- var(fixpt(double,16,0),q);", "type_expr::FixptBaseNotInteger",
     "[L1, C0]: the first argument of a long-form fixed-point type must be an integer type"},
    {"v <- var(bool,v <- 3);", "qulY::Rule::symbol_var::WrongInitializerClass",
     "[L1, C0]: the initial value does not fit the variable's type"},
    {"v <- var(fcntype((),()),v <- 3);", "qulY::Rule::symbol_var::UnsupportedInitializer",
     "Constants of type || are not supported in variable initializers."},
    {"q <- var(fixpt(1,16,8),q <- 1.5);", "qulY::Rule::symbol_var::UnsupportedInitializer",
     "Constants of type || are not supported in variable initializers."},
    {"function((),()) { }", "register_symbol_in_scope::SymWithoutName",
     "[L1, C0]: Trying to register a symbol in the symbol table without a name"},
    {"prototype((),());", "register_symbol_in_scope::SymWithoutName",
     "[L1, C0]: Trying to register a symbol in the symbol table without a name"},
    {"f <- function((),(),\"f\",x) { }", "qulY::Rule::symbol_fcn::FcnDefArgsMustBe2_3",
     "[L1, C0]: In definition of a function the number of arguments must be either 2 or 3"},
    {"m <- method((),()) { }", "qulY::Rule::symbol_method::MethDefArgsMustBe3_4",
     "[L1, C0]: A method definition must have either 3 or 4 arguments"},
    {"m <- method((),(),K) { }", "qulY::Rule::symbol_method:NoSuchSymbol",
     "[L1, C0]: method definition: missing class name"},
    {"m <- method((),(),int32) { }", "qulY::Rule::symbol_method:SymbolIsNotAClass",
     "[L1, C0]: method definition: class name is not a class"},
    {"f <- function(a,(),f) { }", "qulY::Rule::symbol_callable::InputListNotAList",
     "[L1, C0]: In definition of a function the input var list is not a list. Please add ( ) around the var(s)"},
    {"f <- function((),b,f) { }", "qulY::Rule::symbol_callable::OutputListNotAList",
     "[L1, C0]: In definition of a function the output var list is not a list. Please add ( ) around the var(s)"},
    {"f <- function((\"s\"),(),f) { }", "qulY::Rule::symbol_callable::FcnDefInputNotVar",
     "[L1, C0]: an input parameter to the function is not a var"},
    {"f <- function((int32),(),f) { }", "qulY::Rule::symbol_callable::FcnDefInputSymbolNotVar",
     "[L1, C0]: an input parameter to the function is not a var"},
    {"f <- function((),(\"s\"),f) { }", "qulY::Rule::symbol_callable::FcnDefOutputNotVar",
     "[L1, C0]: an output parameter to the function is not a var"},
    {"f <- function((),(int32),f) { }", "qulY::Rule::symbol_callable::FcnDefOutputSymbolNotVar",
     "[L1, C0]: an output parameter to the function is not a var"},
    {FN "  y;\n}", "qulY::Rule::var_or_const_expr::IdentifierNotInSymTab",
     "[L3, C4]: Unable to find |y| in the symbol table"},
    {FN "  varexpr(y);\n}", "var_expr::IdentifierNotDefined",
     "[L3, C12]: Identifier 'y' is being used without being defined"},
    {FN "  constexpr(x);\n}", "qulY::Rule::const_expr::IdentifierNotConst",
     "[L3, C14]: Trying to create a constExpr using an identifier 'x' which is not a constant or a function"},
    {FN "  @int32;\n}", "expr::CannotDerefNotVar", "[L3, C8]: Trying to dereference a symbol that is not a variable"},
    {FN "  @f;\n}", "expr::CannotDerefNotVar", "[L3, C4]: Trying to dereference a symbol that is not a variable"},
    // A literal its type cannot take, or a number the numerics refuse, wherever a value is read.
    {"\nconstdef(int32,true,k);", "qulY::Rule::literal::ValueDoesNotFitType",
     "[L2, C22]: QulLiteralBool::createValue called with aType which is not a BoolType"},
    {"\nconstdef(bool,'x',b);", "qulY::Rule::literal::ValueDoesNotFitType",
     "[L2, C20]: QulLiteralString::createValue called with aType which is not a CharType"},
    {"\nvar(char,c <- 'ab');", "qulY::Rule::literal::ValueDoesNotFitType", "[L2, C19]: invalid character literal"},
    {"\nvar(struct((int32,x),(double,y)),s <- {1});", "qulY::Rule::literal::ValueDoesNotFitType",
     "[L2, C42]: A struct constant must contain values for all of the fields"},
    {"\nvar(complex(double),z <- {1.0, true});", "qulY::Rule::literal::ValueDoesNotFitType",
     "[L2, C37]: QulLiteralBool::createValue called with aType which is not a BoolType"},
    {FN "  =(x,const(int32,true));\n}", "qulY::Rule::literal::ValueDoesNotFitType",
     "[L3, C23]: QulLiteralBool::createValue called with aType which is not a BoolType"},
    {"\nconstdef(fixpt(1,16,4),NaN,k);", "qulY::Rule::literal::InvalidNumber",
     "[L2, C29]: invalid number 'NaN': a fixed-point type holds only finite values"},
    // A fixed-point type the numerics cannot represent has no values to read.
    {"\nconstdef(fixpt(1,16,1.0,20000,0.0),1.0,k);", "qulY::Rule::literal::TypeHasNoValues",
     "[L2, C41]: the type can hold no value: fixed exponent 20000 is outside -16384..16384"},
    {FN "  =(x,cast(const(fixpt(1,16,0.0,0,0.0),1.0)));\n}", "qulY::Rule::literal::TypeHasNoValues",
     "[L3, C43]: the type can hold no value: slope adjustment 0 is not a finite positive number"},
    {"\nvar(fixpt(1,'x'),v);", "qulY::Rule::literal::InvalidNumber",
     "[L2, C16]: invalid number 'x': expected a decimal digit at offset 0"},
    {FN "  =(x,check(x,range,'x'));\n}", "qulY::Rule::literal::InvalidNumber",
     "[L3, C24]: invalid number 'x': expected a decimal digit at offset 0"},
    {FN "  +(x);\n}", "qulY::Rule::expr::WrongNumInputs",
     "[L3, C6]: Wrong number of inputs (1) given to operator '+', expected 2 inputs"},
    {FN "  g(x);\n}\ng <- function((),(),g) { }", "patch_forward_references::WrongNumberOfInputArgs",
     "[L5, C22]: There is a call to function g that provides a different number of input arguments than the "
     "definition"},
    {FN "  g(x);\n}\ng <- function((a <- var(int32,a)),(r <- var(int32,r),s <- var(int32,s)),g) { }",
     "patch_forward_references::WrongNumberOfOutputArgs",
     "[L5, C74]: There is a call to function g that expects more than one output"},
    {FN "  g((x),(x,x));\n}\ng <- function((a <- var(int32,a)),(r <- var(int32,r)),g) { }",
     "patch_forward_references::WrongNumberOfIOArgs",
     "[L5, C56]: There is a call to function g where the total number of input/output arguments that do not agree "
     "with the definition"},
    {FN "  =(x,max(x));\n}", "qulY::Rule::expr::IntrinsicCallDiffInArgsThanDef",
     "[L3, C12]: intrinsic call to max has different number of input arguments than the intrinsic definition"},
    {FN "  memset(x,x);\n}", "qulY::Rule::expr::IntrinsicCallDiffInArgsThanDef",
     "[L3, C13]: intrinsic call to memset has different number of input arguments than the intrinsic definition"},
    {FN "  =(x,max(x,x,x));\n}", "qulY::Rule::expr::IntrinsicCallDiffInArgsThanDef",
     "[L3, C16]: intrinsic call to max has different number of input arguments than the intrinsic definition"},
    {FN "  =(x,check(x, range));\n}", "qulY::Rule::check_expr::WrongNumberOfBounds",
     "[L3, C21]: the number of bounds of a range check must be 1, not 0"},
    {FN "  =(x,check(x, none, 1, 2));\n}", "qulY::Rule::check_expr::WrongNumberOfBounds",
     "[L3, C26]: the number of bounds of a none check must be 5, not 2"},
    {FN "  =(x,check(x, assertion, 1));\n}", "qulY::Rule::check_expr::WrongNumberOfBounds",
     "[L3, C28]: the number of bounds of a assertion check must be 0, not 1"},
    {FN "  =(x,check(x, dynamicBounds, 1, 2));\n}", "qulY::Rule::check_expr_elist::BadNumCheckArgs",
     "[L3, C35]: dynamic bounds check requires exactly two expression arguments"},
    {FN "  =(x,check(x, dynamicBounds));\n}", "qulY::Rule::check_expr_elist::BadNumCheckArgs",
     "[L3, C29]: dynamic bounds check requires exactly two expression arguments"},
    {FN "  check(x, dynamicBounds, (x, x, x));\n}", "qulY::Rule::check_expr_elist::BadNumCheckArgs",
     "[L3, C36]: dynamic bounds check requires exactly two expression arguments"},
    {FN "  check(x, nosuch);\n}", "qulY::Rule::check_expr::CheckNodeEnumDoesntExist",
     "[L3, C18]: the enum nosuch provided for the check node does not exist"},
    {FN "  check(x, divideByZero, (x));\n}", "qulY::Rule::check_expr_elist::UnknownElistCheck",
     "[L3, C29]: unknown/unsupported expr-list check flavor divideByZero"},
    {FN "  check(x, dynamicBounds, (x));\n}", "qulY::Rule::check_expr_elist::BadNumCheckArgs",
     "[L3, C30]: dynamic bounds check requires exactly two expression arguments"},
    {FN "  for(+(x,x), 0, 1, 10) { }\n}", "for_stmt:ExpressionNotAVar",
     "[L3, C27]: Expression '+' is not a variable. Please pass a variable to the for stmt"},
    {FN "  init(+(x,x), 3);\n}", "init_stmt::LhsNotAVar", "[L3, C18]: The lhs of the init stmt is not a var expr"},
    {FN "  parfor_var(x, 3);\n}", "constructParallelVarClassifier",
     "constructParallelVarClassifier: [L3, C19]: unable to cast classification argument to ConstExpr (not a "
     "string?)."},
    {"g <- function((),(a <- var(int32,a),b <- var(int32,b)),g) { }\n" FN "  g();\n}",
     "qulY::Rule::expr::FcnCallExpectsMoreOutputsThanDef",
     "[L4, C5]: function call to g expects more than one outputs while the function definition will return only "
     "one"},
    {"g <- function((a <- var(int32,a)),(),g) { }\n" FN "  g();\n}", "qulY::Rule::expr::FcnCallDiffInArgsThanDef",
     "[L4, C5]: function call to g has different number of input arguments than the function definition"},
    {"g <- function((a <- var(int32,a)),(),g) { }\n" FN "  g((), (x));\n}",
     "qulY::Rule::multi_output_fn_call_expr::FcnCallInputArgsDiffFromDef",
     "[L4, C12]: function call to g has different number of input arguments than the function definition"},
    {"g <- function((a <- var(int32,a)),(),g) { }\n" FN "  g((x), (x));\n}",
     "qulY::Rule::multi_output_fn_call_expr::FcnCallOutputArgsDiffFromDef",
     "[L4, C13]: function call to g expects a different number of outputs than the function definition"},
    // Too many inputs, too few outputs.
    {G2 FN "  g((x,x), (x,x));\n}", "qulY::Rule::multi_output_fn_call_expr::FcnCallInputArgsDiffFromDef",
     "[L4, C17]: function call to g has different number of input arguments than the function definition"},
    {G2 FN "  g((x), (x));\n}", "qulY::Rule::multi_output_fn_call_expr::FcnCallOutputArgsDiffFromDef",
     "[L4, C13]: function call to g expects a different number of outputs than the function definition"},
    {FN "  h(x);\n}", "ensureEmpty::ProgramErrors",
     "Found unresolved forward references: \nsymbol: 'h', node: call"},
};

INSTANTIATE_TEST_SUITE_P(Table, SemanticErrors, ::testing::ValuesIn(kSemanticCases));

// Records as the logger hands them over, with their component and subcomponent.
class RecordedLog : public Corvid::System::Handler {
public:
  RecordedLog() { CG::TheLogger::instance().logger()->addHandler(this); }
  ~RecordedLog() override { CG::TheLogger::instance().logger()->removeHandler(this); }
  void publish(const Corvid::System::LogRecord& aRecord) override { records.push_back(aRecord); }
  std::vector<Corvid::System::LogRecord> records;
};

// A parse's records name the parser as their source, and keep the level the caller filters at.
TEST(Semantics, RecordsComeFromTheParserTask) {
  RecordedLog log;
  Module module;
  EXPECT_THROW(module.parse("x <- var(int32,x);\nx <- var(int32,x);\nvar(int32,"), CG::MessageException);
  ASSERT_EQ(2u, log.records.size());
  for (const Corvid::System::LogRecord& record : log.records) {
    EXPECT_EQ("QUILL", record.component) << record.id;
    EXPECT_EQ("Parser", record.subcomponent) << record.id;
  }
  {
    CG::TheLogger severeOnly(CG::MessageId{"caller", "test", "", 0}, Corvid::System::SEVERE);
    module.parse("x <- var(int32,x);");
  }
  EXPECT_EQ(2u, log.records.size());
  EXPECT_EQ("", CG::TheLogger::instance().component());
}

// The text behind the reported point is overwritten as the parse goes: the module that comes out is the same.
TEST(Semantics, ReadProgressCountsUpAndTheTextBehindItIsNotReadAgain) {
  const std::string text = quilltest::generateModuleText(7, 200000);
  std::string scribbled = text;
  std::vector<size_t> reported;
  Module module;
  module.parser.setReadProgress([&](size_t aBytesRead) {
    reported.push_back(aBytesRead);
    std::fill(scribbled.begin(), scribbled.begin() + static_cast<std::ptrdiff_t>(aBytesRead), '#');
  });
  module.parser.parse(scribbled.data(), scribbled.size());
  ASSERT_GT(reported.size(), 2u);
  EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
  EXPECT_EQ(text.size(), reported.back());
  EXPECT_EQ(quill_parse_test::parseAndEmit(text), module.emit());
}

// Numbers are read into their values: the context interns none of their texts, and each prints back.
TEST(Semantics, NumbersAreNotInternedAndPrintBack) {
  auto bodyWith = [](int aNumbers) {
    std::string text = "function((),(),f){\n    var(int64,x);\n";
    for (int i = 1; i <= aNumbers; ++i)
      text += "    =(x," + std::to_string(1000003 * i) + (i % 2 == 0 ? "s64" : "") + ");\n";
    return text + "}\n";
  };
  Module few;
  few.parse(bodyWith(2));
  Module many;
  many.parse(bodyWith(40));
  EXPECT_EQ(few.ctx.numStrings(), many.ctx.numStrings());
  std::string printed = many.emit();
  EXPECT_NE(std::string::npos, printed.find("=(x,39000117)")) << printed;
  EXPECT_NE(std::string::npos, printed.find("=(x,40000120s64)")) << printed;
}

TEST(Semantics, RedefinitionOnlyWarnsAndKeepsTheFirst) {
  CollectedLog log;
  Module module;
  module.parse("v <- var(int32,v);\nv <- var(double,w);\nint32 <- var(int32,z);\n");
  EXPECT_EQ("WARNING: insert_in_symbol_table::RedefinitionOfSymbol: [L2, C18]: Symbol name v is already in use and "
            "cannot be defined again\n"
            "WARNING: insert_in_symbol_table::RedefinitionOfSymbol: [L3, C21]: Symbol name int32 is already in use "
            "and cannot be defined again\n",
            log.text());
}

TEST(Semantics, ForwardCallMatchingItsDefinitionSucceeds) {
  Module module;
  module.parse(FN "  g(x);\n}\ng <- function((a <- var(int32,a)),(),g) { }\n");
  EXPECT_NE(std::string::npos, module.emit().find("g(x);"));
}

TEST(Semantics, ForwardMultiOutputCallMatchingItsDefinitionSucceeds) {
  Module module;
  module.parse(FN "  g((x),(x,x));\n}\n"
                  "g <- function((a <- var(int32,a)),(r <- var(int32,r),s <- var(int32,s)),g) { }\n");
  EXPECT_NE(std::string::npos, module.emit().find("    g((x), (x,x));\n"));
}

// Types the checker cannot tell even at the end of the parse stay untyped, each with a warning; the sum
// of two untyped operands has no expected type at all and passes silently. The location is that of a
// source-location tag, which a plain parse does not attach.
TEST(Semantics, ExpressionsLeftUntypedAreReported) {
  CollectedLog log;
  Module module;
  module.parse("u <- var(untyped,u);\nf <- function((),(),f) {\n  =(u,+(u,u));\n}\n");
  const std::string warning =
      "WARNING: post_order_traverse_node::TypeCheckUntyped: : Type checker returned untyped for expression ";
  EXPECT_EQ(warning + "'var'\n" + warning + "'var'\n" + warning + "'var'\n" + warning + "'='\n", log.text());
}

// Type inference walks every function of the target scope, also those built before the parse; a
// broken operand tree is reported child by child and the walk goes on.
TEST(Semantics, OperandTreeWithAMissingChildIsReportedAndTheParseGoesOn) {
  CollectedLog log;
  CG_Ctx ctx;
  CG::TypeFactory types(&ctx);
  CG::Var* x = cg_var_create(ctx.globalScope(), types.signedInt32Type(), "x");
  CG::Fcn* broken = CG::Fcn::create(ctx.globalScope(), "broken");
  broken->createCfg();
  CG::NodeFactory nodes{broken, nullptr};
  CG::RegionFactory regions{&nodes};
  CG::Expr* sum = nodes.expr(CG::OP::PLUS, {nodes.varExpr(x), nodes.varExpr(x)});
  sum->setInput(0, nullptr);
  regions.setBody(regions.stmtRegion(nodes.exprStmt(nodes.assignExpr(nodes.varExpr(x), sum))));
  CG::ManagedCGPool pool{&ctx};
  CG::QulParser parser{&ctx, pool, ctx.globalScope(), ctx.globalScope()};
  EXPECT_EQ(nullptr, parser.parse("f <- function((),(),f) { =(x,x); }"));
  EXPECT_EQ("SEVERE: post_order_traverse_node::IllFormedIR: : The child '0' of the node with content '+' does not "
            "exist, but it should exist!\n",
            log.text());
}

std::string emitWithAllTypes(const std::string& aText) {
  Module module;
  module.parse(aText);
  CG::QulEmitterOptions options(nullptr, 3);
  options.setPrintOnlyNotInferredTypes(false);
  return CG::emitQuillEx(module.ctx.globalScope(), options);
}

TEST(Semantics, ForwardCallKeepsItsExplicitTypeElseTakesItsFunctions) {
  const std::string definition = "g <- function((a <- var(int32,a)),(r <- var(int32,r)),g) { }\n";
  const std::string calls = "  =(x,g[double](x));\n  =(x,g(x));\n";
  std::string before = emitWithAllTypes(FN + calls + "}\n" + definition);
  std::string after = emitWithAllTypes("x <- var(int32,x);\n" + definition + "f <- function((),(),f) {\n" + calls + "}\n");
  for (const std::string& text : {before, after}) {
    EXPECT_NE(std::string::npos, text.find("call[double](constexpr")) << text;
    EXPECT_NE(std::string::npos, text.find("call[int32](constexpr")) << text;
  }
}

TEST(Semantics, UnresolvedForwardReferenceLogsOneSevereMessagePerName) {
  CollectedLog log;
  auto failure = parseFailure(FN "  h(x);\n  k();\n}");
  EXPECT_EQ("ensureEmpty::ProgramErrors", failure.id);
  EXPECT_EQ("Found unresolved forward references: \nsymbol: 'h', node: call\nsymbol: 'k', node: call",
            failure.message);
  EXPECT_EQ("SEVERE: ensureEmpty::NoFcnDef: symbol: 'h', node: call: Unable to find a definition for function call "
            "'h' in the QUILL program\n"
            "SEVERE: ensureEmpty::NoFcnDef: symbol: 'k', node: call: Unable to find a definition for function call "
            "'k' in the QUILL program\n"
            "SEVERE: ensureEmpty::ProgramErrors: Found unresolved forward references: \nsymbol: 'h', node: call\n"
            "symbol: 'k', node: call\n",
            log.text());
}

// The calls still waiting are listed by name, first called first, however many names were resolved meanwhile.
TEST(Semantics, UnresolvedForwardReferencesKeepTheirOrderWhileOthersResolve) {
  std::string text = FN "  h(x);\n";
  for (int i = 0; i < 80; ++i)
    text += "  a" + std::to_string(i) + "();\n";
  text += "  k();\n  m();\n  h(x);\n}\n";
  for (int i = 0; i < 80; ++i)
    text += "a" + std::to_string(i) + " <- function((),(),a" + std::to_string(i) + ") { }\n";
  text += "k <- function((),(),k) { }\n";
  EXPECT_EQ("Found unresolved forward references: \nsymbol: 'h', node: call\nsymbol: 'h', node: call\n"
            "symbol: 'm', node: call",
            parseFailure(text).message);
}

TEST(Semantics, ParseReturnsNullOnSuccess) {
  Module module;
  EXPECT_EQ(nullptr, module.parser.parse("v <- var(int32,v);"));
}

// A parser made on a context that already holds symbols finds them by name.
TEST(Semantics, SymbolsBuiltBeforeTheParserAreVisible) {
  CG_Ctx ctx;
  CG::TypeFactory types(&ctx);
  cg_var_create(ctx.globalScope(), types.signedInt32Type(), "built");
  CG::Fcn::create(ctx.globalScope(), "helper")->createCfg();
  CG::ManagedCGPool pool{&ctx};
  CG::QulParser parser{&ctx, pool, ctx.globalScope(), ctx.globalScope()};
  parser.parse("f <- function((),(),f) { =(built,built); helper(); }");
  std::string text = CG::emitQuill(ctx.globalScope());
  EXPECT_NE(std::string::npos, text.find("    =(built,built);\n    helper();\n")) << text;
}

// A variadic prototype built before the parser takes its own inputs and any more, but not fewer.
TEST(Semantics, AVariadicPrototypeBuiltBeforeTheParserTakesItsInputsAndMore) {
  CG_Ctx ctx;
  CG::TypeFactory types(&ctx);
  CG::CorePrototype* print = CG::CorePrototype::create(ctx.globalScope(), "print");
  print->addInput(types.signedInt32Type(), "n");
  print->forceVariadic();
  CG::ManagedCGPool pool{&ctx};
  CG::QulParser parser{&ctx, pool, ctx.globalScope(), ctx.globalScope()};
  parser.parse("x <- var(int32,x);\nf <- function((),(),f) { print(x); print(x,x,x); }");
  std::string text = CG::emitQuill(ctx.globalScope());
  EXPECT_NE(std::string::npos, text.find("    print(x);\n    print(x,x,x);\n")) << text;
  try {
    parser.parse("g <- function((),(),g) { print(); }");
    ADD_FAILURE() << "a call without the prototype's own input was taken";
  } catch (const CG::MessageException& aError) {
    EXPECT_EQ("qulY::Rule::expr::FcnCallDiffInArgsThanDef", std::string(aError.id()));
  }
}

// A parser finds the variables, functions, constants and types already in the global scope, but not its
// symbolic sizes.
TEST(Semantics, SymbolicSizesOfAnEarlierParserAreNotVisible) {
  CG_Ctx ctx;
  CG::ManagedCGPool pool{&ctx};
  CG::QulParser first{&ctx, pool, ctx.globalScope(), ctx.globalScope()};
  first.parse("symbolicid(n);\nv <- var(int32,v);");
  CG::QulParser second{&ctx, pool, ctx.globalScope(), ctx.globalScope()};
  second.parse("w <- var(int32,w);\nf <- function((),(),f) { =(w,v); }");
  try {
    second.parse("m <- var(matrix(int32,n),m);");
    ADD_FAILURE() << "the size n was found";
  } catch (const CG::MessageException& aError) {
    EXPECT_EQ("qulY::Rule::symbolic_size_id::IdentifierNotDefined", aError.id());
  }
}

bool holdsSymbol(CG::Scope* aScope, const std::string& aName) {
  for (CG::Symbol* symbol = aScope->firstSymbol(); symbol; symbol = symbol->next())
    if (symbol->name() && aName == symbol->name())
      return true;
  return false;
}

bool holdsScopeNamed(CG::Scope* aScope, const std::string& aName) {
  for (CG::Scope* child : aScope->childScopes())
    if ((child->name() && aName == child->name()) || holdsScopeNamed(child, aName))
      return true;
  return false;
}

// A parse after a failed one starts afresh: in the target scope, outside any function, with no call waiting
// for a definition; the failed definition's parameter scope is gone.
TEST(Semantics, AParseAfterAFailedOneStartsAfresh) {
  const char* failures[] = {
      "f <- function((var(int32,a)),(var(int32,b)),f) {\n  =(b,nosuch);\n}\n",
      "f <- function((var(int32,a)),(var(int32,b)),f) {\n  =(b,a\n}\n",
      "scope(s1) {\n  var(nosuch,v);\n}\n",
      "function((var(int32,a), var(nosuch,q)),(var(int32,b)),f) { }\n",
      "function((var(int32,a)),(var(int32,b)),f,x) { }\n",
      "f <- function((var(int32,a)),(var(int32,b)),f) {\n  =(b,later(a));\n}\n",
  };
  for (const char* failure : failures) {
    Module module;
    EXPECT_THROW(module.parse(failure), CG::MessageException) << failure;
    EXPECT_NO_THROW(module.parse("g1 <- var(int32,g1);\nh <- function((var(int32,c)),(var(int32,d)),h) {\n  =(d,c);\n}\n"))
        << failure;
    CG::Scope* global = module.ctx.globalScope();
    EXPECT_TRUE(holdsSymbol(global, "g1") && holdsSymbol(global, "h")) << failure;
    EXPECT_FALSE(holdsScopeNamed(global, "$parameters")) << failure;
  }
}

// The names of a parameter list that failed go with its variables: they may be defined again.
TEST(Semantics, AFailedParameterListLeavesNoNamesBehind) {
  Module module;
  EXPECT_THROW(module.parse("function((var(int32,pa), var(nosuch,pb)),(),f) { }\n"), CG::MessageException);
  CollectedLog log;
  module.parse("pa <- var(int32,pa);\n");
  EXPECT_EQ("", log.text());
  EXPECT_EQ("\nvar(int32,pa);\n", module.emit());
}

// A call that a failed parse left waiting binds to a definition in a later parse.
TEST(Semantics, ACallLeftWaitingByAFailedParseBindsToALaterDefinition) {
  Module module;
  EXPECT_THROW(module.parse("f <- function((var(int32,a)),(var(int32,b)),f) {\n  =(b,later(a));\n}\n"),
               CG::MessageException);
  module.parse("later <- function((var(int32,v)),(var(int32,r)),later) {\n  =(r,v);\n}\n");
  std::string text = module.emit();
  EXPECT_NE(std::string::npos, text.find("=(b,later(a));")) << text;
  EXPECT_NE(std::string::npos, text.find("function((var(int32,v)),(var(int32,r)),later)\n")) << text;
  EXPECT_EQ(std::string::npos, text.find("later1")) << text;
}

// A parser made without a pool builds in the context's; a null listener takes no part.
TEST(Semantics, NullPoolAndNullListenerAreHarmless) {
  CG_Ctx ctx;
  CG::QulParser parser{&ctx, nullptr, ctx.globalScope(), ctx.globalScope()};
  parser.addListener(nullptr);
  parser.parse("f <- function((var(int32,a)),(var(int32,b)),f) {\n  =(b,a);\n}\n");
  EXPECT_NE(std::string::npos, CG::emitQuill(ctx.globalScope()).find("    =(b,a);\n")) << "the body was built";
}

TEST(Semantics, DefinitionsOfOneParseAreVisibleToTheNext) {
  Module module;
  module.parse("v <- var(int32,v);");
  module.parse("w <- var(pointer(int32),w);\nf <- function((),(),f) { =(w, v); }");
  EXPECT_NE(std::string::npos, module.emit().find("=(w,v);"));
}

} // namespace

namespace {

// The constants of a function's constant expressions, statement by statement, operands first.
std::vector<CG::Const*> literalConstants(CG_Ctx& aCtx) {
  std::vector<CG::Const*> found;
  for (CG::Symbol* symbol = aCtx.globalScope()->firstSymbol(); symbol; symbol = symbol->next()) {
    if (!CG::Fcn::isa(symbol))
      continue;
    for (CG::Stmt* stmt : CG::Fcn::cast(symbol)->cfg()->stmts())
      CG::forEachExprPostOrder(stmt, [&found](CG::Expr* aExpr) {
        if (CG::ConstExpr::isa(aExpr))
          found.push_back(CG::ConstExpr::cast(aExpr)->constant());
      });
  }
  return found;
}

} // namespace

// Each case's body reads two literals: whether they share one constant, found by type and text.
TEST(Semantics, ShortLiteralsShareOneConstantPerTypeAndText) {
  struct Case {
    const char* body;
    bool shared;
    const char* what;
  };
  const Case cases[] = {
      {"=(x,+(5,5));", true, "two operands"},
      {"=(x,5); =(y,5s16);", false, "another type"},
      {"=(x,5); =(x,05);", false, "another text"},
      {"=(x,const(int32,7)); =(x,7);", true, "a constant expression and an operand"},
      {"=(b,const(bool,true)); =(b,const(bool,true));", true, "true"},
      {"=(b,const(bool,true)); =(b,const(bool,false));", false, "true and false"},
      {"=(d,const(double,0.5)); =(d,const(double,0.5));", true, "a short double"},
      {"=(d,const(double,0.125)); =(d,const(double,0.125));", false, "a longer double"},
      {"=(b,const(bool,1)); =(b,const(bool,1));", false, "a number given to a bool, warned about each time"},
      {"=(p,const(pointer(int32),0)); =(p,const(pointer(int32),0));", false, "a pointer, changeable in place"},
  };
  RecordedLog log;
  for (const Case& c : cases) {
    Module module;
    module.parse("x <- var(int32,x);\ny <- var(int16,y);\nb <- var(bool,b);\nd <- var(double,d);\n"
                 "p <- var(pointer(int32),p);\nf <- function((),(),f) {\n" +
                 std::string(c.body) + "\n}\n");
    std::vector<CG::Const*> constants = literalConstants(module.ctx);
    ASSERT_EQ(2u, constants.size()) << c.what;
    EXPECT_EQ(c.shared, constants[0] == constants[1]) << c.what;
    if (c.shared && std::strstr(c.body, "const(int32") == nullptr) {
      // A shared constant prints as each of its uses was written (an int32 constant prints as a plain number).
      std::string firstStmt(c.body, std::strchr(c.body, ';') + 1);
      EXPECT_NE(std::string::npos, module.emit().find("    " + firstStmt + "\n")) << c.what;
    }
  }
  EXPECT_EQ(2, std::count_if(log.records.begin(), log.records.end(), [](const auto& aRecord) {
              return aRecord.id.find("NumericValueBoolConst") != std::string::npos;
            }));
}

// The statements that have no printed form still read into their own statement kinds, in order.
TEST(Semantics, DeleteDivideByZeroAndOverflowStatementsBuild) {
  Module module;
  module.parse("p <- var(pointer(int32),p);\nf <- function((),(),f) { delete(p); div/0(); overflow(); }\n");
  CG::Fcn* fcn = nullptr;
  for (CG::Symbol* symbol = module.ctx.globalScope()->firstSymbol(); symbol; symbol = symbol->next())
    if (CG::Fcn::isa(symbol))
      fcn = CG::Fcn::cast(symbol);
  ASSERT_NE(nullptr, fcn);
  std::vector<CG::Node::Kind> kinds;
  for (CG::StmtIterator it(fcn->cfg()); it.hasCurrent(); it.advance())
    if (CG::SeseStmt::isa(it.current()))
      kinds.push_back(it.current()->kind());
  EXPECT_EQ((std::vector<CG::Node::Kind>{CG::Node::Kind::DELETE_STMT, CG::Node::Kind::DIV_BY_ZERO_STMT,
                                         CG::Node::Kind::OVERFLOW_STMT}),
            kinds);
  CG::Expr* pointer = CG::DeleteStmt::cast(fcn->cfg()->start()->succ())->pointer();
  ASSERT_TRUE(CG::VarExpr::isa(pointer));
  EXPECT_STREQ("p", CG::VarExpr::cast(pointer)->var()->name());
}

// A body found typed as it closed is passed over by the type walk at the end only while its graph is unchanged.
TEST(Semantics, ABodyTypedWhenItClosedCountsOnlyWhileItsGraphIsUnchanged) {
  CG_Ctx ctx;
  CG::QulParser parser(&ctx, ctx.pool(), ctx.globalScope(), ctx.globalScope());
  CG::Fcn* fcn = CG::Fcn::create(ctx.globalScope(), "f");
  fcn->createCfg();
  EXPECT_FALSE(parser.ctx()->isTypedBody(fcn));
  parser.ctx()->noteTypedBody(fcn);
  EXPECT_TRUE(parser.ctx()->isTypedBody(fcn));
  fcn->cfg()->markDirty();
  EXPECT_FALSE(parser.ctx()->isTypedBody(fcn));
}

// The table's unchecked entry, which the parser's own definitions no longer go through: it still refuses a name
// that any level holds, and otherwise enters it at the level asked for, adding levels as needed.
TEST(SymbolTable, UncheckedInsertRefusesANameAnyLevelHolds) {
  CG_Ctx ctx;
  MemPool pool;
  CG::QulSymbolTable table(&ctx, &pool, nullptr);
  int levels = table.numLevels();
  char* name = ctx.cgString("fresh_name");
  table.insert(levels + 1, name, pool.make<CG::QulSymbolString>(name));
  EXPECT_EQ(levels + 2, table.numLevels());
  ASSERT_NE(nullptr, table.lookup(name));
  EXPECT_EQ(name, table.lookup(name)->stringView());
  try {
    table.insert(0, name, pool.make<CG::QulSymbolString>(name));
    ADD_FAILURE() << "a second insert of the name was taken";
  } catch (const CG::AssertionException& refusal) {
    EXPECT_EQ("Trying to insert existing name in symbol table", refusal.expression());
  }
}
