// Emit filters: the accept-all predicate and the contextual markers.
#include "ir/predicate.h"

#include "ir/cfg.h"
#include "ir/ctx.h"
#include "ir/node.h"
#include "ir/scope.h"
#include "ir/symbol.h"
#include "ir/type.h"

namespace CG {

ShouldEmitPredicate::~ShouldEmitPredicate() = default;

bool ShouldEmitPredicate::shouldEmit(CG_Obj*) {
  return true;
}

bool ContextualMarker::shouldEmit(CG_Obj* aObj) {
  return isMarked(aObj);
}

void ContextualMarker::markAllRelatedTo(CG_Obj* aObj) {
  enqueue(aObj);
  while (!fPending.empty()) {
    Pending next = fPending.back();
    fPending.pop_back();
    visit(next.obj, next.depth);
  }
}

void ContextualMarker::enqueue(CG_Obj* aObj, Depth aDepth) {
  if (aObj == nullptr || fExpanded.contains(aObj)) {
    return;
  }
  bool isNew = fMarked.add(aObj);
  if (isNew || aDepth == Depth::FULL) {
    fPending.push_back(Pending{aObj, aDepth});
  }
}

// Enclosing scopes are marked so the object can be printed in place, without their contents.
void ContextualMarker::markEnclosingScopes(Scope* aScope) {
  for (Scope* scope = aScope; scope != nullptr; scope = scope->parent()) {
    fMarked.add(scope);
  }
}

void ContextualMarker::visit(CG_Obj* aObj, Depth aDepth) {
  if (fExpanded.contains(aObj)) {
    return;
  }
  if (Scope::isa(aObj)) {
    fExpanded.add(aObj);
    visitScope(static_cast<Scope*>(aObj));
    return;
  }
  if (!Symbol::isa(aObj)) {
    return;
  }
  markEnclosingScopes(static_cast<Symbol*>(aObj)->scope());
  if (Fcn::isa(aObj)) {
    visitFcn(static_cast<Fcn*>(aObj), aDepth);
    return;
  }
  fExpanded.add(aObj);
  if (Var::isa(aObj)) {
    auto* var = static_cast<Var*>(aObj);
    enqueue(var->type());
    enqueue(var->initialValue());
    return;
  }
  if (Const::isa(aObj)) {
    enqueue(static_cast<Const*>(aObj)->type());
    return;
  }
  if (Type::isa(aObj)) {
    visitType(static_cast<Type*>(aObj));
    return;
  }
  if (SymbolicSize::isa(aObj)) {
    auto* size = static_cast<SymbolicSize*>(aObj);
    for (int i = 0; i < size->numOperands(); ++i) {
      enqueue(size->operand(i));
    }
  }
}

void ContextualMarker::visitScope(Scope* aScope) {
  markEnclosingScopes(aScope->parent());
  for (Symbol* symbol = aScope->firstSymbol(); symbol != nullptr; symbol = symbol->next()) {
    enqueue(symbol);
  }
  if (!marksNestedScopes()) {
    return;
  }
  for (Scope* child : aScope->childScopes()) {
    enqueue(child);
  }
}

void ContextualMarker::visitType(Type* aType) {
  enqueue(aType->unqualified());
  if (ComplexType::isa(aType)) {
    enqueue(static_cast<ComplexType*>(aType)->baseType());
  } else if (PointerType::isa(aType)) {
    enqueue(static_cast<PointerType*>(aType)->baseType());
  } else if (ReferenceType::isa(aType)) {
    enqueue(static_cast<ReferenceType*>(aType)->baseType());
  } else if (StaticMatrixType::isa(aType)) {
    auto* matrix = static_cast<StaticMatrixType*>(aType);
    enqueue(matrix->baseType());
    for (int i = 0; i < matrix->numDims(); ++i) {
      enqueue(matrix->dim(i));
    }
  } else if (DynamicMatrixType::isa(aType)) {
    auto* matrix = static_cast<DynamicMatrixType*>(aType);
    enqueue(matrix->baseType());
    for (int i = 0; i < matrix->numDims(); ++i) {
      enqueue(matrix->dimBound(i));
    }
  } else if (FcnType::isa(aType)) {
    auto* fcnType = static_cast<FcnType*>(aType);
    for (int i = 0; i < fcnType->numInputs(); ++i) {
      enqueue(fcnType->input(i));
    }
    for (int i = 0; i < fcnType->numOutputs(); ++i) {
      enqueue(fcnType->output(i));
    }
  } else if (AggregateType::isa(aType)) {
    auto* aggregate = static_cast<AggregateType*>(aType);
    for (int i = 0; i < aggregate->numFields(); ++i) {
      enqueue(aggregate->fieldType(i));
    }
  } else if (ClassType::isa(aType)) {
    auto* classType = static_cast<ClassType*>(aType);
    for (int i = 0; i < classType->numMembers(); ++i) {
      enqueue(classType->memberType(i));
    }
    for (int i = 0; i < classType->numBaseClasses(); ++i) {
      enqueue(classType->baseClass(i));
    }
  } else if (EnumType::isa(aType)) {
    enqueue(static_cast<EnumType*>(aType)->baseType());
  }
}

void ContextualMarker::visitFcn(Fcn* aFcn, Depth aDepth) {
  enqueue(aFcn->type());
  if (MethodConst::isa(aFcn)) {
    enqueue(static_cast<MethodConst*>(aFcn)->owningClass());
  }
  enqueue(aFcn->ioScope());
  if (aDepth == Depth::SIGNATURE) {
    return;
  }
  fExpanded.add(aFcn);
  enqueue(aFcn->localScope());
  if (aFcn->cfg() != nullptr) {
    // The graph itself is asked about before the body prints.
    fMarked.add(aFcn->cfg());
    visitGraph(aFcn->cfg());
  }
}

// Everything the graph refers to: expression types and the symbols held as auxiliary operands.
void ContextualMarker::visitGraph(Cfg* aCfg) {
  for (Stmt* stmt : aCfg->stmts()) {
    if (!stmt->isMarkedForDeletion()) {
      visitNode(stmt);
    }
    forEachExprPostOrder(stmt, [this](Expr* aExpr) {
      if (!aExpr->isMarkedForDeletion()) {
        enqueue(aExpr->type());
        visitNode(aExpr);
      }
    });
  }
}

// The symbols a node holds as auxiliary operands.
void ContextualMarker::visitNode(Node* aNode) {
  for (int i = 0; i < aNode->numAux(); ++i) {
    CG_Obj* aux = aNode->aux(i);
    if (Symbol::isa(aux)) {
      enqueue(aux, Fcn::isa(aux) ? Depth::SIGNATURE : Depth::FULL);
    }
  }
}

} // namespace CG
