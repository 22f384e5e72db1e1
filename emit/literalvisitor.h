// The emitter's literal printer: writes each kind of literal object in its Quill form.
#pragma once

#include "lang/literal.h"

class MemPool;

namespace CG {

class QulEmitter;
class Value;

// Prints through the emitter's emitString; the short or long constant form follows the emitter's options.
class QulEmitterLiteralVisitor : public QulLiteralVisitor {
public:
  QulEmitterLiteralVisitor(QulEmitter* aEmitter, MemPool* aPool) : fEmitter(aEmitter), fPool(aPool) {}
  ~QulEmitterLiteralVisitor() override;

  void visitLiteralBool(QulLiteralBool* aLiteral) override;
  void visitLiteralInteger(QulLiteralInteger* aLiteral) override;
  void visitLiteralDouble(QulLiteralDouble* aLiteral) override;
  void visitLiteralChar(QulLiteralChar* aLiteral) override;
  void visitLiteralString(QulLiteralString* aLiteral) override;
  void visitLiteralComposite(QulLiteralComposite* aLiteral) override;
  void visitLiteralFixpt(QulLiteralFixpt* aLiteral) override;
  void visitLiteralEnum(QulLiteralEnum* aLiteral) override;
  void visitLiteralPointer(QulLiteralPointer* aLiteral) override;

  virtual QulEmitter* emitter() { return fEmitter; }
  virtual void setEmitter(QulEmitter* aEmitter) { fEmitter = aEmitter; }
  virtual MemPool* pool() { return fPool; }
  // Converts the value into a literal object and prints it.
  virtual void visit(const Value* aValue);

private:
  void requireLiteral(QulLiteral* aLiteral, int aLine);
  bool visitScalar(const Value* aValue);
  void emitIntegerSuffix(Type* aType);

  QulEmitter* fEmitter;
  MemPool* fPool;
};

} // namespace CG
