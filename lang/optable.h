// The operator table: every IR operator's Quill name, shared by the emitter and the parser.
#pragma once

#include "ir/op.h"

namespace CG {

// One operator number. Quill-only operators (goto and label placeholders) extend the IR's numbering.
class QulOP {
public:
  enum QulOPEnum { QUL_GOTO = 1163, QUL_LABEL = 1164 };

  QulOP(CG::OP aOp) : fOp(static_cast<int>(aOp)) {}
  QulOP(CG::OP::OPEnum aOp) : fOp(static_cast<int>(aOp)) {}
  QulOP(QulOPEnum aOp) : fOp(static_cast<int>(aOp)) {}
  QulOP& operator=(const QulOP& aOther) = default;

  int value() const { return fOp; }
  static CG::OP toCgOp(QulOP aOp) { return CG::OP(aOp.fOp); }

protected:
  explicit QulOP(int aOp) : fOp(aOp) {}

private:
  int fOp;
};

// Callback run once per row of an operator table.
class Functor {
public:
  virtual ~Functor() = default;
  virtual void operator()(int aOp, const char* aName) const = 0;
};

// Stateless table of operator names; a derived table may override initOps to add or rename operators.
class OpTable {
public:
  virtual ~OpTable() = default;
  virtual void initOps(const Functor& aFunctor) const;

  static int numBuiltinRows();
};

} // namespace CG
