// Builds a small module in IR and prints it as Quill text.
#include "emit/emitter.h"
#include "ir/ctx.h"
#include "ir/mempool.h"
#include "ir/nodefactory.h"
#include "ir/region.h"
#include "ir/scope.h"
#include "ir/symbol.h"
#include "ir/tag.h"
#include "ir/typefactory.h"
#include "ir/value.h"

#include <iostream>

int main() {
  CG_Ctx ctx;
  CG::Scope* module = ctx.globalScope();
  CG::TypeFactory types(&ctx);
  CG::IntegerType* int32 = types.signedInt32Type();

  // A typedef'd struct, and two variables with flags and origin.
  CG::StructType* point =
      types.structType(module, "point", nullptr, {{ctx.cgString("x"), int32}, {ctx.cgString("y"), int32}});
  CG::Var* origin = cg_var_create(module, point, "origin");
  origin->setIsStatic(true);
  CG::OriginTag::setOrigin(origin, CG::OriginTag::USER);
  CG::Var* count = cg_var_create(module, int32, "count");
  count->setReadOnly(true);
  CG::OriginTag::setOrigin(count, CG::OriginTag::LIBRARY);

  // A named constant, used by the function below.
  CG::ManagedCGPool pool(&ctx);
  CG::Const* limit =
      CG::ConstFactory(&ctx).create(int32, CG::ValueFactory(&ctx, pool).integerValueRef(int32, 100), module, "limit");

  // function((var(int32,a)),(var(int32,y)),clamp): y = a; if a > limit then y = limit.
  CG::Fcn* clamp = CG::Fcn::create(module, "clamp");
  CG::Var* a = clamp->addInput(int32, "a");
  CG::Var* y = clamp->addOutput(int32, "y");
  clamp->createCfg();
  CG::NodeFactory nodes(clamp, pool);
  CG::RegionFactory regions(&nodes);
  CG::Region* copy = regions.stmtRegion(nodes.exprStmt(nodes.assignExpr(nodes.varExpr(y), nodes.varExpr(a))));
  CG::Expr* tooBig = nodes.expr(CG::OP::GT, {nodes.varExpr(a), nodes.constExpr(limit)});
  CG::Region* cap = regions.stmtRegion(nodes.exprStmt(nodes.assignExpr(nodes.varExpr(y), nodes.constExpr(limit))));
  regions.setBody(regions.concatRegion(copy, regions.ifRegion(tooBig, cap, regions.emptyRegion())));

  std::cout << CG::emitQuill(module);
  return 0;
}
