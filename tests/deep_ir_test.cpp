// IR nested far deeper than a small stack, built by hand: values, types, sizes and class hierarchies print in
// full, and deep values are freed, without recursion; a type read from text as deep as the grammar allows is
// built without it too. Every case runs in a child process on a small stack, so
// an overflow fails that case alone.
#include "support/irbuild.h"

#include "emit/emitter.h"
#include "ir/cfg.h"
#include "ir/ctx.h"
#include "ir/nodefactory.h"
#include "ir/region.h"
#include "ir/scope.h"
#include "ir/symbol.h"
#include "ir/type.h"
#include "ir/typefactory.h"
#include "ir/value.h"
#include "parse/parser.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using quilltest::runOnStackOf;

// A thread stack far smaller than a process's main one: an unbounded recursion overflows it within a few
// thousand levels, so the depths below are many times what it can take.
constexpr size_t kSmallStack = size_t{256} << 10;
constexpr int kDepth = 100000;

// One context per case, made and torn down on the small stack too: tearing down deep IR is a walk as well.
struct Module {
  CG_Ctx ctx;
  CG::TypeFactory types{&ctx};
  CG::Scope* global = ctx.globalScope();
  CG::Type* int32() { return types.signedInt32Type(); }
  std::string emit(CG_Obj* aObj = nullptr) { return CG::emitQuill(aObj ? aObj : global); }
  CG::Ref<CG::Value> one() { return CG::ValueFactory(&ctx).integerValueRef(types.signedInt32Type(), 1); }
};

// A function f(x) whose body the caller builds from x.
void withBody(Module& aModule, const std::function<CG::Region*(CG::NodeFactory&, CG::RegionFactory&, CG::Var*)>& aBody) {
  CG::Fcn* f = CG::Fcn::create(aModule.global, "f");
  CG::Var* x = f->addInput(aModule.int32(), "x");
  f->createCfg();
  CG::NodeFactory nodes{f, nullptr};
  CG::RegionFactory regions{&nodes};
  regions.setBody(aBody(nodes, regions, x));
}

// Named struct types t0..tN, each with one field of the one before, and a variable of each, so that every
// typedef prints one level deep; then a variable of the last whose initial value nests as deep as its type.
void structValueAsDeepAsItsType(Module& aModule) {
  CG::Type* type = aModule.types.structType(aModule.global, "t0", "", {{aModule.ctx.cgString("a"), aModule.int32()}});
  CG::Ref<CG::Value> value = CG::ValueFactory(&aModule.ctx).structValueCGRef(CG::StructType::cast(type));
  CG::StructValue::cast(value.get())->setField(0, aModule.one());
  cg_var_create(aModule.global, type, "v0");
  for (int level = 1; level < kDepth; ++level) {
    std::string name = "t" + std::to_string(level);
    type = aModule.types.structType(aModule.global, name.c_str(), "", {{aModule.ctx.cgString("a"), type}});
    cg_var_create(aModule.global, type, ("v" + std::to_string(level)).c_str());
    CG::Ref<CG::Value> outer = CG::ValueFactory(&aModule.ctx).structValueCGRef(CG::StructType::cast(type));
    CG::StructValue::cast(outer.get())->setField(0, value);
    value = outer;
  }
  CG::Var* w = cg_var_create(aModule.global, type, "w");
  w->setInitialValue(CG::ConstFactory(&aModule.ctx).create(type, value, nullptr, nullptr));
  aModule.emit();
}

// A matrix of kDepth dimensions, each of size one, prints flat; its one element sits kDepth lists deep.
void matrixOfManyDimensions(Module& aModule) {
  std::vector<CG::SymbolicSize*> dims(kDepth, CG::SymbolicSizeFactory(&aModule.ctx).size64(1));
  CG::StaticMatrixType* type = aModule.types.matrixType(aModule.int32(), dims, true);
  CG::Ref<CG::Value> value = CG::ValueFactory(&aModule.ctx).matrixValueCGRef(type);
  std::vector<uint64_t> origin(kDepth, 0);
  CG::StaticMatrixValue::cast(value.get())->setElement(origin.data(), aModule.one());
  CG::Var* m = cg_var_create(aModule.global, type, "m");
  m->setInitialValue(CG::ConstFactory(&aModule.ctx).create(type, value, nullptr, nullptr));
  aModule.emit();
}

// A value nested deep, held by nothing but the context: its release is the walk.
void deepValueReleased(Module& aModule) {
  CG::Type* type = aModule.types.structType(aModule.global, "s", "", {{aModule.ctx.cgString("a"), aModule.int32()}});
  CG::Ref<CG::Value> value = aModule.one();
  for (int level = 0; level < kDepth; ++level) {
    CG::Ref<CG::Value> outer = CG::ValueFactory(&aModule.ctx).structValueCGRef(CG::StructType::cast(type));
    CG::StructValue::cast(outer.get())->setField(0, value);
    value = outer;
  }
}

// Two typedef chains of the same structure, t(i) = aWrap(t(i-1)) and u(i) = aWrap(u(i-1)), compared level by
// level when a conditional picks one of two variables of their last types. A variable of every level makes
// every typedef print one level deep.
void equalTypedefChains(Module& aModule, const std::function<CG::Type*(CG::Type*)>& aWrap) {
  CG::Type* t = aModule.types.namedCopy(aModule.int32(), aModule.global, "t0");
  CG::Type* u = aModule.types.namedCopy(aModule.int32(), aModule.global, "u0");
  for (int level = 1; level < kDepth; ++level) {
    std::string suffix = std::to_string(level);
    t = aModule.types.namedCopy(aWrap(t), aModule.global, ("t" + suffix).c_str());
    u = aModule.types.namedCopy(aWrap(u), aModule.global, ("u" + suffix).c_str());
    cg_var_create(aModule.global, t, ("vt" + suffix).c_str());
    cg_var_create(aModule.global, u, ("vu" + suffix).c_str());
  }
  CG::Var* v = cg_var_create(aModule.global, t, "v");
  CG::Var* w = cg_var_create(aModule.global, u, "w");
  CG::Var* b = cg_var_create(aModule.global, aModule.types.boolType(), "b");
  withBody(aModule, [&](CG::NodeFactory& aNodes, CG::RegionFactory& aRegions, CG::Var*) {
    CG::Expr* pick = aNodes.expr(CG::OP::CONDITIONAL, {aNodes.varExpr(b), aNodes.varExpr(v), aNodes.varExpr(w)});
    return aRegions.stmtRegion(aNodes.exprStmt(aNodes.assignExpr(aNodes.varExpr(v), pick)));
  });
  aModule.emit();
}

// A size n+(n+(n+...)) used as a matrix dimension.
void deepSymbolicSize(Module& aModule) {
  CG::SymbolicSizeFactory sizes(&aModule.ctx);
  CG::SymbolicSize* n = sizes.idSize(aModule.global, "n");
  CG::SymbolicSize* size = n;
  for (int level = 0; level < kDepth; ++level)
    size = sizes.binopSize("+", n, size);
  cg_var_create(aModule.global, aModule.types.matrixType(aModule.int32(), {size}, true), "m");
  aModule.emit();
}

struct DeepCase {
  const char* name;
  std::function<void(Module&)> run;
};

const DeepCase kCases[] = {
    {"StructValueAsDeepAsItsType", structValueAsDeepAsItsType},
    {"MatrixValueOfManyDimensions", matrixOfManyDimensions},
    {"DeepValueReleased", deepValueReleased},
    {"EqualMatrixTypedefChains",
     [](Module& aModule) {
       CG::SymbolicSize* one = CG::SymbolicSizeFactory(&aModule.ctx).size64(1);
       equalTypedefChains(aModule, [&](CG::Type* aBase) { return aModule.types.matrixType(aBase, {one}, true); });
     }},
    {"EqualFunctionTypedefChains",
     [](Module& aModule) {
       equalTypedefChains(aModule, [&](CG::Type* aBase) {
         return aModule.types.pointerType(aModule.types.fcnType({aBase}, {aModule.int32()}));
       });
     }},
    {"DeepSymbolicSize", deepSymbolicSize},
    {"StructTypeTextAtTheGrammarsLimit",
     [](Module& aModule) {
       std::string open;
       std::string close;
       for (int level = 0; level < 3300; ++level) {
         open += "struct((int32,a),(";
         close += ",b))";
       }
       CG::QulParser parser(&aModule.ctx, aModule.ctx.pool(), aModule.global, aModule.global);
       parser.parse(("var(" + open + "int32" + close + ",x);\n").c_str());
     }},
    {"ClassDerivedFromDerived",
     [](Module& aModule) {
       CG::ClassType* base = aModule.types.classType(aModule.global, "c0", {}, {});
       for (int level = 1; level < kDepth; ++level)
         base = aModule.types.classType(aModule.global, ("c" + std::to_string(level)).c_str(), {},
                                        {{base, CG::VISIBILITY_PUBLIC}});
       // Only the most derived class is used: its bases are collected from it.
       cg_var_create(aModule.global, base, "o");
       aModule.emit();
     }},
};

void PrintTo(const DeepCase& aCase, std::ostream* aOut) {
  *aOut << aCase.name;
}

class DeepIr : public ::testing::TestWithParam<DeepCase> {};

TEST_P(DeepIr, RunsToTheEndOnASmallStack) {
  GTEST_FLAG_SET(death_test_style, "fast");
  const DeepCase& deep = GetParam();
  EXPECT_EXIT(
      {
        bool failed = false;
        bool started = runOnStackOf(kSmallStack, [&] {
          try {
            auto module = std::make_unique<Module>();
            deep.run(*module);
          } catch (const std::exception&) {
            failed = true;
          }
        });
        _exit(!started ? 2 : failed ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "")
      << deep.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, DeepIr, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DeepCase>& aInfo) { return std::string(aInfo.param.name); });

} // namespace
