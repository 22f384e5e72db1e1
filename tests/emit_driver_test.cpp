// The emitter's entry points, option bits, function headers, annotations and abort paths.
#include "support/irbuild.h"
#include "support/irgen.h"

#include "ir/effects.h"
#include "ir/logger.h"
#include "ir/nodefactory.h"
#include "ir/pst.h"
#include "ir/region.h"
#include "ir/tag.h"
#include "ir/value.h"
#include "parse/parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using quilltest::emitWith;
using quilltest::IrFixture;

class EntryPoints : public ::testing::Test, protected IrFixture {
protected:
  // An int32 constant in aScope; a null name makes it unnamed.
  CG::Const* int32Const(CG::Scope* aScope, long long aValue, const char* aName) {
    CG::Ref<CG::Value> value = CG::ValueFactory(&ctx, ctx.pool()).integerValueRef(types.signedInt32Type(), aValue);
    return CG::ConstFactory(&ctx).create(int32(), value, aScope, aName);
  }
};

TEST_F(EntryPoints, NullInputs) {
  EXPECT_EQ("// cannot emit anything for NULL input", CG::emitQuillWithContext(nullptr));
  const char* path = "/tmp/quill_driver_test_null.qul";
  std::remove(path);
  CG::printQuillWithContext(nullptr, path);
  EXPECT_FALSE(std::ifstream(path).good());
  EXPECT_THROW(CG::emitQuill(nullptr), CG::AssertionException);
}

TEST_F(EntryPoints, ObjectKindsGiveTheirForms) {
  CG::Var* v = var(global, "count");
  EXPECT_EQ("var(int32,count)", CG::emitQuill(v));
  EXPECT_EQ("pointer(int32)", CG::emitQuill(types.pointerType(int32())));
  CG::CorePrototype* p = CG::CorePrototype::create(global, "p");
  p->addInput(int32(), "a");
  EXPECT_EQ("prototype((var(int32,a)),(),p);\n", CG::emitQuill(p));
  CG::Fcn* f = CG::Fcn::create(global, "f");
  f->addOutput(types.boolType(), "ok");
  EXPECT_EQ("function((),(var(bool,ok)),f)\n", CG::emitQuill(f));
  EXPECT_EQ("constdef(int32,7,seven);", CG::emitQuill(int32Const(global, 7, "seven")));
}

// A graph prints as a body without its braces; a statement alone has no indentation and no newline.
TEST_F(EntryPoints, GraphsAndStatementsGiveTheirForms) {
  CG::Fcn* f = fcnWithBody("f");
  CG::Var* x = var(f->localScope(), "x");
  CG::NodeFactory nodes{f, nullptr};
  CG::RegionFactory regions{&nodes};
  CG::SeseStmt* note = nodes.commentStmt("a");
  regions.setBody(regions.ifRegion(nodes.varExpr(x), regions.stmtRegion(note), regions.emptyRegion()));
  EXPECT_EQ("comment(\"a\");", CG::emitQuill(note));
  EXPECT_EQ("var(int32,x);\nif(x) {\n    comment(\"a\");\n} else {\n}\n", CG::emitQuill(f->cfg()));
}

TEST_F(EntryPoints, RootScopeHasNoFrameOtherScopesDo) {
  var(global, "g");
  CG::Scope* inner = cg_scope_create(global, "inner", ctx.pool());
  var(inner, "v");
  CG::Scope* anonymous = cg_scope_create(global, nullptr, ctx.pool());
  var(anonymous, "w");
  EXPECT_EQ("\nvar(int32,g);\n\nscope(inner){\n\nvar(int32,v);\n}\n\nscope(){\n\nvar(int32,w);\n}\n",
            CG::emitQuill(global));
  EXPECT_EQ("scope(inner){\nvar(int32,v);\n}\n", CG::emitQuill(inner));
}

TEST_F(EntryPoints, PrintQuillWritesTheFile) {
  var(global, "x");
  const char* path = "/tmp/quill_driver_test_print.qul";
  CG::printQuill(global, path);
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ("\nvar(int32,x);\n", text.str());

  // The file is emptied before the text is made: a failing emission leaves nothing stale behind.
  std::ofstream(path) << "OLD";
  EXPECT_ANY_THROW(CG::printQuill(CG::TypeFactory(&ctx).errorType(), path));
  std::ifstream again(path);
  EXPECT_EQ(std::istreambuf_iterator<char>(), std::istreambuf_iterator<char>(again));
  std::remove(path);
}

// A stream that notes each piece it is handed.
class PieceStream : public std::streambuf {
public:
  std::vector<std::string> pieces;

protected:
  std::streamsize xsputn(const char* aText, std::streamsize aCount) override {
    pieces.emplace_back(aText, static_cast<size_t>(aCount));
    return aCount;
  }
};

TEST_F(EntryPoints, TextStreamTakesTheTextInPiecesThatEndLines) {
  quilltest::IrGenOptions generated;
  generated.size = 400;
  quilltest::generateModule(&ctx, generated);
  std::ostringstream wholeSegments;
  CG::QulEmitterOptions whole(nullptr, 3);
  whole.setSegmentStream(&wholeSegments);
  std::string text = CG::emitQuillEx(global, whole);

  constexpr size_t kPieceSize = 2000;
  PieceStream pieces;
  std::ostream stream(&pieces);
  std::ostringstream streamedSegments;
  CG::QulEmitterOptions streamed(nullptr, 3);
  streamed.setSegmentStream(&streamedSegments);
  streamed.setTextStream(&stream, kPieceSize);
  EXPECT_EQ("", CG::emitQuillEx(global, streamed));

  ASSERT_GT(pieces.pieces.size(), 3u);
  std::string joined;
  for (const std::string& piece : pieces.pieces) {
    joined += piece;
    EXPECT_EQ('\n', piece.back());
    if (&piece == &pieces.pieces.back())
      break;
    // A piece goes at the end of the line that takes it to the size.
    EXPECT_GE(piece.size(), kPieceSize);
    size_t lastLineStart = piece.rfind('\n', piece.size() - 2) + 1;
    EXPECT_LT(lastLineStart, kPieceSize);
  }
  EXPECT_EQ(text, joined);
  EXPECT_EQ(wholeSegments.str(), streamedSegments.str());
}

TEST_F(EntryPoints, TextStreamOfAnEmissionThatQuitsEarly) {
  CG::Var* v = var(global, "v");
  v->setType(nullptr);
  std::ostringstream stream;
  CG::QulEmitterOptions options(nullptr, 3);
  options.setTextStream(&stream);
  EXPECT_EQ("QulEmitter quit early", CG::emitQuillEx(v, options));
  EXPECT_EQ("", stream.str());
  // A type's text is returned, not streamed.
  EXPECT_EQ("int32", CG::emitQuillEx(int32(), options));
  EXPECT_EQ("", stream.str());
}

TEST_F(EntryPoints, UnsupportedObjectKindFailsItsInvariant) {
  CG::SymbolicSize* size = CG::SymbolicSizeFactory(&ctx).idSize(global, "n");
  try {
    CG::emitQuill(size);
    FAIL();
  } catch (const CG::AssertionException& error) {
    EXPECT_EQ("We are still working on the general emitter configuration", error.expression());
  }
}

TEST_F(EntryPoints, SymbolicIdsAreDefinedFirst) {
  CG::SymbolicSizeFactory sizes(&ctx);
  CG::SymbolicSize* n = sizes.idSize(global, "n");
  var(global, "m", types.matrixType(int32(), {n, sizes.size64(2)}, false));
  EXPECT_EQ("symbolicid(n);\n\nvar(matrix(int32, n, 2),m);\n", CG::emitQuill(global));
}

// With a contextual marker only the object, what it refers to and its enclosing scopes are printed.
TEST_F(EntryPoints, ContextualEmissionPrintsOnlyRelatedObjects) {
  CG::Var* wanted = var(global, "wanted");
  var(global, "unrelated");
  int32Const(global, 7, "seven");
  EXPECT_EQ("\nvar(int32,wanted);\n", CG::emitQuillWithContext(wanted));
  CG::Scope* inner = cg_scope_create(global, "inner", ctx.pool());
  CG::Var* nested = var(inner, "nested");
  EXPECT_EQ("\n\nscope(inner){\n\nvar(int32,nested);\n}\n", CG::emitQuillWithContext(nested));
}

// Asked about a scope, the contextual form lists the scope's own types and constants, named or not, in symbol
// order.
TEST_F(EntryPoints, ContextualEmissionOfAScopeDefinesItsTypesAndConstants) {
  CG::Scope* inner = cg_scope_create(global, "inner", ctx.pool());
  int32Const(inner, 7, "seven");
  CG::Ref<CG::Value> truth = CG::ValueFactory(&ctx, ctx.pool()).boolValueRef(true);
  CG::ConstFactory(&ctx).create(types.boolType(), truth, inner, nullptr);
  int32Const(inner, 5, nullptr);
  types.structType(inner, "P", nullptr, {{ctx.cgString("x"), types.singleType()}});
  EXPECT_EQ("\n\nscope(inner){\ntypedef(struct((single,x)),P);\n"
            "constdef(int32,7,seven);\nconstdef(bool,true);\nconstdef(int32,5);\n\n}\n",
            CG::emitQuillWithContext(inner));
}

// A subclass that prints no typedefs: the constants its functions use are still found and defined.
class NoTypedefEmitter : public CG::QulEmitter {
public:
  explicit NoTypedefEmitter(CG_Ctx* aCtx) : QulEmitter(aCtx, CG::QulEmitterOptions(nullptr, 3)) {}
  std::string emit(CG_Obj* aObj) { return emitTopLevel(aObj); }

protected:
  CG::IdLinkedList<CG::Type*>* collectTypes(CG::Scope*) override { return newList<CG::Type>(); }
};

TEST_F(EntryPoints, SubclassCollectingNoTypesStillDefinesTheConstantsFunctionsUse) {
  CG::Const* seven = int32Const(global, 7, "seven");
  CG::Fcn* f = fcnWithBody("f");
  CG::Var* x = var(f->localScope(), "x");
  CG::NodeFactory nodes{f, nullptr};
  CG::RegionFactory regions{&nodes};
  CG::Expr* assign = nodes.expr(CG::OP::ASSIGN, {nodes.varExpr(x), nodes.constExpr(seven)});
  regions.setBody(regions.stmtRegion(nodes.exprStmt(assign)));
  EXPECT_EQ("constdef(int32,7,seven);\n\nfunction((),(),f)\n{\n    var(int32,x);\n    =(x,seven);\n}\n",
            NoTypedefEmitter(&ctx).emit(global));
}

// A subclass that prints one construct its own way; everything around it, indentation included, stays.
class ShoutingCommentEmitter : public CG::QulEmitter {
public:
  explicit ShoutingCommentEmitter(CG_Ctx* aCtx) : QulEmitter(aCtx, CG::QulEmitterOptions(nullptr, 3)) {}
  std::string emit(CG_Obj* aObj) { return emitTopLevel(aObj); }

protected:
  void emitCommentStmt(CG::Stmt*) override { emitString("comment(\"!\");"); }
};

TEST_F(EntryPoints, SubclassPrintsOneConstructItsOwnWay) {
  CG::Fcn* f = fcnWithBody("f");
  CG::Var* x = var(f->localScope(), "x");
  CG::NodeFactory nodes{f, nullptr};
  CG::RegionFactory regions{&nodes};
  regions.setBody(
      regions.ifRegion(nodes.varExpr(x), regions.stmtRegion(nodes.commentStmt("quiet")), regions.emptyRegion()));
  EXPECT_EQ("\nfunction((),(),f)\n{\n    var(int32,x);\n    if(x) {\n        comment(\"!\");\n    } else {\n    }\n}\n",
            ShoutingCommentEmitter(&ctx).emit(global));
}

// Visibilities print through one overridable step, whichever construct carries them.
class NumberedVisibilityEmitter : public CG::QulEmitter {
public:
  explicit NumberedVisibilityEmitter(CG_Ctx* aCtx) : QulEmitter(aCtx, CG::QulEmitterOptions(nullptr, 3)) {}
  std::string emit(CG_Obj* aObj) { return emitTopLevel(aObj); }

protected:
  void emitVisibilityKind(CG::StringBuffer& aBuffer, CG::Visibility aKind, bool) override {
    aBuffer.append(("<" + std::to_string(aKind) + ">").c_str());
  }
};

TEST_F(EntryPoints, SubclassPrintsVisibilitiesItsOwnWay) {
  CG::ClassType* base = types.classType(global, "Base", {{text("id"), int32(), CG::VISIBILITY_PROTECTED}}, {});
  CG::ClassType* derived = types.classType(global, "Derived", {}, {{base, CG::VISIBILITY_PRIVATE}});
  cg_var_create(global, base, "b");
  cg_var_create(global, derived, "d");
  EXPECT_EQ("typedef(class((<1>int32,id)),Base);\ntypedef(class(:<2> Base),Derived);\n\nvar(Base,b);\n"
            "var(Derived,d);\n",
            NumberedVisibilityEmitter(&ctx).emit(global));
}

// Records every type the graph walk offers for a typedef, then collects as usual.
class TypeOfferRecorder : public CG::QulEmitter {
public:
  explicit TypeOfferRecorder(CG_Ctx* aCtx) : QulEmitter(aCtx, CG::QulEmitterOptions(nullptr, 3)) {}
  std::vector<std::string> offersFrom(CG::Scope* aScope) {
    collectTypes(aScope);
    return offers;
  }
  std::vector<std::string> offers;

protected:
  void addTypeIfNecessary(CG::IdSet<CG::Type*>* aSet, CG::IdLinkedList<CG::Type*>* aList, CG::Scope* aScope,
                          CG::Type* aType) override {
    offers.push_back(aType ? typeExpr(aType) : "null");
    QulEmitter::addTypeIfNecessary(aSet, aList, aScope, aType);
  }
};

// The walk offers every expression type the checker would not infer, and every constant's type, even
// where the plain emitter would not list them: a subclass may collect more.
TEST_F(EntryPoints, GraphWalkOffersEveryTypeToTheSubclass) {
  CG::Fcn* g = fcnWithBody("g");
  CG::Fcn* f = fcnWithBody("f");
  CG::Var* x = var(f->localScope(), "x");
  CG::Var* d = cg_var_create(f->localScope(), types.doubleType(), "d");
  CG::NodeFactory nodes{f, nullptr};
  CG::RegionFactory regions{&nodes};
  auto castAssign = [&] {
    return nodes.exprStmt(nodes.assignExpr(nodes.varExpr(d), nodes.castExpr(nodes.varExpr(x), types.doubleType())));
  };
  regions.setBody(
      regions.sequenceRegion({regions.stmtRegion(castAssign()), regions.stmtRegion(castAssign()),
                              regions.stmtRegion(nodes.exprStmt(nodes.callExpr(nodes.constExpr(g), {}, 0)))}));
  std::vector<std::string> offers = TypeOfferRecorder(&ctx).offersFrom(global);
  // The local d, then each cast; the functions f and g as named constants of the scope, then the callee.
  EXPECT_EQ(3, std::count(offers.begin(), offers.end(), "double"));
  EXPECT_EQ(3, std::count(offers.begin(), offers.end(), "fcntype((),())"));
}

// Keeps every text typeExpr gives it, the texts of types nested in others included.
class TypeTextKeeper : public CG::QulEmitter {
public:
  explicit TypeTextKeeper(CG_Ctx* aCtx) : QulEmitter(aCtx, CG::QulEmitterOptions(nullptr, 3)) {}
  std::vector<char*> textsFrom(CG::Scope* aScope) {
    emitTopLevel(aScope);
    return texts;
  }
  std::vector<char*> texts;

protected:
  char* typeExpr(CG::Type* aType) override {
    texts.push_back(QulEmitter::typeExpr(aType));
    return texts.back();
  }
};

// A subclass may keep the texts: they are the context's strings, which outlive the emission.
TEST_F(EntryPoints, TypeTextsOfPartsAreTheContextsStrings) {
  CG::Type* inner = types.pointerType(int32());
  cg_var_create(global, types.pointerType(types.complexType(inner)), "pp");
  cg_var_create(global, inner, "p");
  std::vector<char*> texts = TypeTextKeeper(&ctx).textsFrom(global);
  ASSERT_FALSE(texts.empty());
  for (char* text : texts)
    EXPECT_EQ(text, ctx.cgString(text)) << text;
  EXPECT_NE(std::find_if(texts.begin(), texts.end(), [](char* aText) { return std::string(aText) == "int32"; }),
            texts.end());
}

// Prints a body's tree without the base class's emitPst around it.
class RegionsOnlyEmitter : public CG::QulEmitter {
public:
  explicit RegionsOnlyEmitter(CG_Ctx* aCtx) : QulEmitter(aCtx, CG::QulEmitterOptions(nullptr, 3)) {}
  std::string emit(CG_Obj* aObj) { return emitTopLevel(aObj); }

protected:
  void emitPst(CG::Pst* aPst) override { emitRegion(aPst->root()); }
};

// The labels and gotos of a body have their bookkeeping while the body prints, whoever walks its tree.
TEST_F(EntryPoints, SubclassWalkingTheTreeItselfPrintsLabelsAndGotos) {
  CG::QulParser(&ctx, ctx.pool(), global, global)
      .parse("var(int32,i);\nfunction((var(int32,k)),(var(int32,q)),restart)\n{\nlabel(A);\nfor(i,0,1,k) {\n"
             "=(q,+(q,1));\nif(<(q,3)) { goto(A); } else { }\n}\n}\n");
  std::string text = CG::emitQuill(global);
  EXPECT_NE(text.find("goto(L0);"), std::string::npos) << text;
  EXPECT_EQ(text, RegionsOnlyEmitter(&ctx).emit(global));
}

// A field reference built by hand prints the field it names, and the text reads back to the same field.
TEST_F(EntryPoints, FieldReferencePrintsItsFieldAndReadsBack) {
  CG::StructType* record =
      types.structType(global, "S", nullptr, {{text("fa"), types.doubleType()}, {text("fb"), types.doubleType()}});
  CG::Var* s = var(global, "s", record);
  CG::Var* d = var(global, "d", types.doubleType());
  CG::Fcn* f = fcnWithBody("f");
  CG::NodeFactory nodes{f, nullptr};
  CG::RegionFactory regions{&nodes};
  regions.setBody(
      regions.stmtRegion(nodes.exprStmt(nodes.assignExpr(nodes.varExpr(d), nodes.srefExpr(nodes.varExpr(s), "fb")))));
  std::string printed = CG::emitQuill(global);
  EXPECT_NE(printed.find("=(d,sref(s,'fb'));"), std::string::npos) << printed;
  IrFixture copy;
  CG::QulParser(&copy.ctx, copy.ctx.pool(), copy.global, copy.global).parse(printed.c_str(), printed.size());
  EXPECT_EQ(printed, CG::emitQuill(copy.global));
}

// The function asked about prints with its body; every other function keeps only its header.
TEST_F(EntryPoints, ContextualEmissionPrintsTheBodyOfTheFunctionAskedAbout) {
  CG::Var* used = var(global, "used");
  var(global, "unrelated");
  CG::Fcn* other = fcnWithBody("other");
  CG::Fcn* f = fcnWithBody("f");
  for (CG::Fcn* fcn : {other, f}) {
    CG::NodeFactory nodes{fcn, nullptr};
    CG::RegionFactory regions{&nodes};
    CG::Expr* assign = nodes.expr(CG::OP::ASSIGN, {nodes.varExpr(used), nodes.varExpr(used)});
    regions.setBody(regions.stmtRegion(nodes.exprStmt(assign)));
  }
  const std::string text = "\nvar(int32,used);\nfunction((),(),other)\n{\n// skipping body\n}\n"
                           "function((),(),f)\n{\n    =(used,used);\n}\n";
  EXPECT_EQ(text, CG::emitQuillWithContext(f));
  const char* path = "/tmp/quill_driver_test_context.qul";
  CG::printQuillWithContext(f, path);
  std::stringstream written;
  written << std::ifstream(path).rdbuf();
  EXPECT_EQ(text, written.str());
  std::remove(path);
}

class Headers : public ::testing::Test, protected IrFixture {};

TEST_F(Headers, MethodKindAndVisibility) {
  CG::ClassType* base = types.classType(global, "Base", {{text("id"), int32(), CG::VISIBILITY_PUBLIC}}, {});
  struct {
    int kind;
    int visibility;
    const char* suffix;
  } cases[] = {
      {0, 0, ""},
      {5, 2, " | \"kind\":\"virtual\",\"vis\":\"private\""},
      {7, 0, " | \"kind\":\"pure virtual\""},
      {0, 1, " | \"vis\":\"protected\""},
      {4, 0, " | \"kind\":\"virtual destructor\""},
  };
  for (const auto& c : cases) {
    CG::MethodConst* m = CG::MethodConst::create(global, "m", base, c.kind, c.visibility);
    EXPECT_EQ(std::string("method((),(),class((int32,id)),m") + c.suffix + ")\n", CG::emitQuill(m));
  }
}

TEST_F(Headers, AliasedParametersCarryTheirAlias) {
  CG::Fcn* f = CG::Fcn::create(global, "do it");
  f->addInput(int32(), "for");
  f->addInput(int32(), nullptr);
  EXPECT_EQ("do_it <- function((for1 <- var(int32,\"for\"),qulVar <- var(int32)),(),\"do it\")\n", CG::emitQuill(f));
}

class Annotations : public ::testing::Test, protected IrFixture {
protected:
  CG::Fcn* fcn = fcnWithBody("f");
  CG::ManagedCGPool pool{&ctx};
  CG::NodeFactory nodes{fcn, pool.pool()};
  CG::Expr* sum() {
    return nodes.expr(1027, {nodes.varExpr(fcn->addInput(int32(), "a")), nodes.varExpr(fcn->addInput(int32(), "b"))});
  }
};

TEST_F(Annotations, VariableFlagsThenOrigin) {
  CG::Var* v = var(global, "v");
  v->setIsStatic(true);
  v->setReadOnly(true);
  CG::OriginTag::setOrigin(v, CG::OriginTag::USER);
  EXPECT_EQ("var(int32,v|cgflag:static,cgflag:readonly,origin:\"user\")", CG::emitQuill(v));
  CG::Var* w = var(global, "w");
  w->markVisited();
  w->setPassByReference(true);
  CG::OriginTag::setOrigin(w, CG::OriginTag::LIBRARY);
  EXPECT_EQ("var(int32,w|cgflag:visited,cgflag:ref,origin:\"library\")", CG::emitQuill(w));
}

TEST_F(Annotations, PropertyBeforeFlagsOfAFunction) {
  CG::CorePrototype* p = CG::CorePrototype::create(global, "p");
  p->setStoreAddr(false);
  p->forceVariadic();
  p->setScalarized(true);
  EXPECT_EQ("prototype((),(),p|\"prop\":\"fcnDoesNotStoreAddr\",cgflag:variadic,cgflag:scalarized);\n",
            CG::emitQuill(p));
}

TEST_F(Annotations, ExpressionModesInListenerOrder) {
  CG::Expr* e = sum();
  EXPECT_EQ("+(a,b)", CG::emitQuill(e));
  cg_node_set_rounding_mode(e, 0x500);
  cg_node_set_overflow_mode(e, 0x800);
  e->setBreakpointOnOverflow(true);
  EXPECT_EQ("+(a,b|\"rounding\":\"floor\",\"overflow\":\"saturate\",\"instrumentation\":\"wrap\")", CG::emitQuill(e));
}

TEST_F(Annotations, UnknownModeIsReportedAndSkipped) {
  CG::Expr* e = sum();
  cg_node_set_rounding_mode(e, 0x700);
  cg_node_set_overflow_mode(e, 0x10000);
  EXPECT_EQ("+(a,b|\"overflow\":\"portwrap\")", CG::emitQuill(e));
}

TEST_F(Annotations, EffectsThatDifferFromTheDefaults) {
  CG::Expr* e = sum();
  const auto& effects = CG::EffectInfo::effectInfoMap();
  effects.at("io")->setStatus(*e, CG::EFFECT_ALWAYS);
  effects.at("alloc")->setStatus(*e, CG::EFFECT_GUARDED);
  EXPECT_EQ("+(a,b|\"effect\":\"alloc:GUARDED,io:ALWAYS\")", CG::emitQuill(e));
}

TEST_F(Annotations, TestIdsOnEveryKind) {
  CG::Expr* e = sum();
  CG::TestIdTag::setId(e, "e1");
  EXPECT_EQ("+(a,b|\"test_id\":\"e1\")", CG::emitQuill(e));
}

TEST_F(Annotations, OptionBitsChooseTypesAndErrors) {
  CG::Expr* e = sum();
  EXPECT_EQ("+[int32](varexpr[int32](a),varexpr[int32](b))", emitWith(e, 0));
  EXPECT_EQ("+(a,b)", emitWith(e, 1));
  EXPECT_EQ("+[int32](varexpr[int32](a),varexpr[int32](b))", emitWith(e, 2));
}

TEST_F(Annotations, OptionsAreCopiedWhenTheEmitterIsBuilt) {
  CG::QulEmitterOptions options(nullptr, 0);
  CG::QulEmitterOptions copy = options;
  options.setPrintOnlyNotInferredTypes(true);
  EXPECT_FALSE(copy.printOnlyNotInferredTypes());
  EXPECT_TRUE(CG::QulEmitterOptions(nullptr, 7).printOnlyLongFormConstants());
  EXPECT_TRUE(CG::QulEmitterOptions().throwExceptionOnError());
  EXPECT_FALSE(CG::QulEmitterOptions(nullptr, 0).throwExceptionOnError());
}

class Aborts : public ::testing::Test, protected IrFixture {};

TEST_F(Aborts, BrokenVariableQuitsEarly) {
  CG::Var* v = var(global, "v");
  v->setType(nullptr);
  EXPECT_EQ("QulEmitter quit early", CG::emitQuill(v));
}

TEST_F(Aborts, BrokenFunctionEndsWithANoteAndTheNextOnePrints) {
  CG::Fcn* f = CG::Fcn::create(global, "f");
  f->addInput(int32(), "a")->setType(nullptr);
  CG::Fcn::create(global, "g");
  EXPECT_EQ("\nfunction((Could not emit function 'f' because I caught a std::exception\n}\nfunction((),(),g)\n",
            CG::emitQuill(global));
}

TEST_F(Aborts, BodyThatFailsLeavesNoIndentationBehind) {
  CG::Fcn* f = fcnWithBody("f");
  var(f->localScope(), "bad")->setType(nullptr);
  CG::Fcn* g = fcnWithBody("g");
  var(g->localScope(), "y");
  EXPECT_EQ("\nfunction((),(),f)\n{\n    Could not emit function 'f' because I caught a std::exception\n}\n"
            "function((),(),g)\n{\n    var(int32,y);\n}\n",
            CG::emitQuill(global));
}

// A sum of many terms, built as compilers do, one operator per term: deeper than a small stack can print.
TEST_F(Aborts, ExpressionNestedDeeperThanTheStackEndsItsFunctionWithANote) {
  CG::Fcn* f = fcnWithBody("f");
  CG::Var* x = var(f->localScope(), "x");
  CG::NodeFactory nodes{f, nullptr};
  CG::Expr* sum = nodes.varExpr(x);
  for (int term = 0; term < 20000; ++term)
    sum = nodes.expr(CG::OP::PLUS, {sum, nodes.varExpr(x)});
  CG::RegionFactory regions{&nodes};
  regions.setBody(regions.stmtRegion(nodes.exprStmt(nodes.assignExpr(nodes.varExpr(x), sum))));
  fcnWithBody("g");

  std::string text;
  bool threw = false;
  ASSERT_TRUE(quilltest::runOnStackOf(256 << 10, [&] {
    text = CG::emitQuill(global);
    try {
      CG::emitQuill(sum);
    } catch (const CG::QulNestingTooDeep&) {
      threw = true;
    }
  }));
  EXPECT_EQ(0u, text.find("\nfunction((),(),f)\n{\n    var(int32,x);\n    =(x,+(+(+("));
  const std::string ending = "Could not emit function 'f' because I caught a nesting too deep to print: the thread's "
                             "stack is nearly used up\n}\nfunction((),(),g)\n{\n}\n";
  ASSERT_GT(text.size(), ending.size());
  EXPECT_EQ(ending, text.substr(text.size() - ending.size()));
  EXPECT_TRUE(threw) << "an expression printed alone passes the failure to the caller";
}

// A type or a scope nested deeper than the stack, printed outside any function: the failure reaches the
// caller, and printing goes on working.
TEST_F(Aborts, TypeOrScopeNestedDeeperThanTheStackPassesTheFailureToTheCaller) {
  CG::Type* type = int32();
  CG::Scope* scope = global;
  for (int level = 0; level < 20000; ++level) {
    type = types.pointerType(type);
    scope = cg_scope_create(scope, "s", ctx.pool());
  }
  for (CG_Obj* deep : std::initializer_list<CG_Obj*>{type, global}) {
    bool threw = false;
    ASSERT_TRUE(quilltest::runOnStackOf(256 << 10, [&] {
      try {
        CG::emitQuill(deep);
      } catch (const CG::QulNestingTooDeep&) {
        threw = true;
      }
    }));
    EXPECT_TRUE(threw) << (deep == type ? "type" : "scope");
  }
  EXPECT_EQ("pointer(pointer(int32))", CG::emitQuill(types.pointerType(types.pointerType(int32()))));
}

// Operands a caller left empty end their function with the note, whatever statement holds them; the next
// function prints.
// A for loop's head built without the test that should follow it: the loop cannot print, the next function can.
TEST_F(Aborts, ForLoopWithoutItsTestEndsItsFunctionWithANote) {
  CG::Fcn* f = fcnWithBody("f");
  CG::Var* i = var(f->localScope(), "i");
  CG::NodeFactory nodes{f, nullptr};
  CG::ForEntryStmt* head = nodes.forEntryStmt(nodes.varExpr(i), nodes.varExpr(i), nodes.varExpr(i), nodes.varExpr(i));
  f->cfg()->start()->outPort().connect(head->inPort(0));
  fcnWithBody("g");
  std::string text = CG::emitQuill(global);
  EXPECT_EQ(text.rfind("\nfunction((),(),f)\n{\n    var(int32,i);\nCould not emit function 'f' because I caught a "
                       "Assertion failed: AbstractForExitStmt::isa(aEntry->succ()) (emit/emit_flow:",
                       0),
            0u)
      << text;
  EXPECT_EQ(text.substr(text.find(")\n}\n") + 2), "}\nfunction((),(),g)\n{\n}\n") << text;
}

// A subclass's collector that gives no list at all: the emission stops with a note, whichever list it is.
class NullListEmitter : public CG::QulEmitter {
public:
  NullListEmitter(CG_Ctx* aCtx, int aNullList)
      : QulEmitter(aCtx, CG::QulEmitterOptions(nullptr, 3)), fNullList(aNullList) {}
  std::string emit(CG_Obj* aObj) { return emitTopLevel(aObj); }

protected:
  CG::IdLinkedList<CG::SymbolicSize*>* collectSymbolicSizes(CG::Scope* aScope) override {
    return fNullList == 0 ? nullptr : QulEmitter::collectSymbolicSizes(aScope);
  }
  CG::IdLinkedList<CG::Var*>* collectScopeVars(CG::Scope* aScope) override {
    return fNullList == 1 ? nullptr : QulEmitter::collectScopeVars(aScope);
  }
  CG::IdLinkedList<CG::Fcn*>* collectFcns(CG::Scope* aScope) override {
    return fNullList == 2 ? nullptr : QulEmitter::collectFcns(aScope);
  }

private:
  int fNullList;
};

TEST_F(Aborts, CollectorGivingNoListQuitsEarly) {
  CG::SymbolicSizeFactory(&ctx).idSize(global, "n");
  var(global, "v");
  fcnWithBody("f");
  for (int nullList : {0, 1, 2}) {
    std::string text = NullListEmitter(&ctx, nullList).emit(global);
    EXPECT_EQ(text.rfind("QulEmitter quit early", 0), 0u) << nullList << ": " << text;
  }
}

TEST_F(Aborts, MissingOperandEndsItsFunctionWithANote) {
  using MakeStmt = std::function<CG::Stmt*(CG::NodeFactory&, CG::Var*, CG::Const*)>;
  const MakeStmt broken[] = {
      [](CG::NodeFactory& aNodes, CG::Var* aX, CG::Const*) {
        return aNodes.exprStmt(aNodes.checkExpr(CG::CheckExpr::CHECK_OVERFLOW, {aNodes.varExpr(aX), nullptr}));
      },
      [](CG::NodeFactory& aNodes, CG::Var* aX, CG::Const* aOne) {
        CG::ConstExpr* one = aNodes.constExpr(aOne);
        one->setAux(0, nullptr);
        return aNodes.exprStmt(aNodes.assignExpr(aNodes.varExpr(aX), one));
      },
      [](CG::NodeFactory& aNodes, CG::Var* aX, CG::Const* aOne) {
        CG::ConstExpr* one = aNodes.constExpr(aOne);
        CG::InitStmt* init = aNodes.initStmt(aNodes.varExpr(aX), one);
        one->setAux(0, nullptr);
        return init;
      },
      [](CG::NodeFactory& aNodes, CG::Var*, CG::Const*) {
        CG::SymbolicSizeExpr* size = aNodes.symbolicSizeExpr(CG::SymbolicSizeFactory(aNodes.ctx()).size64(3));
        size->setAux(0, nullptr);
        return aNodes.exprStmt(size);
      },
  };
  for (const MakeStmt& make : broken) {
    IrFixture module;
    CG::Fcn* f = module.fcnWithBody("f");
    CG::NodeFactory nodes{f, nullptr};
    CG::RegionFactory regions{&nodes};
    CG::Ref<CG::Value> value = CG::ValueFactory(&module.ctx).integerValueRef(module.types.signedInt32Type(), 1);
    CG::Const* one = CG::ConstFactory(&module.ctx).create(module.int32(), value, nullptr, nullptr);
    CG::Stmt* stmt = make(nodes, module.var(f->localScope(), "x"), one);
    regions.setBody(regions.stmtRegion(static_cast<CG::SeseStmt*>(stmt)));
    module.fcnWithBody("g");
    std::string text = CG::emitQuill(module.global);
    EXPECT_NE(std::string::npos, text.find("Could not emit function 'f' because I caught a std::exception\n}\n"
                                           "function((),(),g)\n{\n}\n"))
        << text;
  }
}

// Arguments a caller may leave null: a segment stream (the listing is dropped), a file name (nothing is
// written), a region without statements (nothing to print).
TEST_F(Aborts, NullArgumentsOfTheEntryPointsAreHarmless) {
  var(global, "v");
  CG::QulEmitterOptions options(nullptr, 3);
  options.setSegmentStream(nullptr);
  EXPECT_EQ("\nvar(int32,v);\n", CG::emitQuillEx(global, options));
  CG::printQuill(global, nullptr);
  CG::printQuillWithContext(global, nullptr);
  CG::Fcn* f = fcnWithBody("f");
  CG::NodeFactory nodes{f, nullptr};
  CG::RegionFactory regions{&nodes};
  EXPECT_EQ("QulEmitter quit early", CG::QulEmitter::emitRegion(regions.emptyRegion(), options));
}

// A function header opens a compound segment that only a body or a prototype's ";" closes.
TEST_F(Aborts, FunctionWithoutBodyLeavesItsSegmentOpen) {
  CG::Fcn::create(global, "g");
  std::ostringstream segments;
  CG::QulEmitterOptions options(nullptr, 3);
  options.setSegmentStream(&segments);
  EXPECT_EQ("\nfunction((),(),g)\n", CG::emitQuillEx(global, options));
  EXPECT_EQ("\nerror: stack not empty when the end segment was reached\n1 18 \n", segments.str());
}

} // namespace
