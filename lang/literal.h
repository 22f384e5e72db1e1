// Untyped literal objects shared by the emitter and the parser, and the parser's literal factory.
#pragma once

#include <cstdint>

#include "ir/containers.h"
#include "ir/mempool.h"
#include "ir/value.h"

class CG_Ctx;

namespace CG {

class QulLiteralVisitor;
class StaticMatrixType;
class StaticMatrixValue;
class Type;

// The text-to-double conversion of number literals: one leading "+" is skipped, "NaN", "Inf" and "-Inf" (any
// case) name the special values, texts with an exponent go through atof and the others through the exact
// numerics. A null text reads as "".
double qulTextToDouble(const char* aText);

// A literal as written in Quill text. Numbers keep their text until createValue converts them under the
// target type. Literals live in a MemPool and are released only with it.
class QulLiteral {
public:
  // Literals hold texts, types and lists of the pools only, so the pool frees them without running their
  // destructors (a text holds tens of thousands). A subclass must keep to that.
  using PoolReclaimsStorage = void;

  enum CLASS {
    QULBOOL = 0,
    QULINTEGER = 1,
    QULDOUBLE = 2,
    QULCHAR = 3,
    QULSTRING = 4,
    QULCOMPOSITE = 5,
    QULFIXPT = 6,
    QULENUM = 7,
    QULPOINTER = 8
  };

  QulLiteral(const QulLiteral&) = delete;
  QulLiteral& operator=(const QulLiteral&) = delete;
  virtual ~QulLiteral();

  virtual bool lineNumberUnknown();
  virtual void clearLineNumber();
  virtual int lineNumber();
  virtual void setLineNumber(int aLineNumber);
  virtual void setType(Type* aType);
  // Asserts that the type has been set.
  virtual Type* type();
  virtual Ref<Value> createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) = 0;
  virtual void accept(QulLiteralVisitor* aVisitor) = 0;

  CLASS whichClass() const { return fClass; }
  bool hasType() const { return fType != nullptr; }

  // The literal that prints aValue, typed with the value's type (matrix lists stay untyped); null for a null
  // value or a kind without a literal form.
  static QulLiteral* fromValue(Value* aValue, CG_Ctx* aCtx, MemPool* aPool);

protected:
  explicit QulLiteral(CLASS aClass) : fLineNumber(-1), fType(nullptr), fClass(aClass) {}

private:
  int fLineNumber;
  Type* fType;
  CLASS fClass;
};

class QulLiteralBool : public QulLiteral {
public:
  explicit QulLiteralBool(bool aValue) : QulLiteral(QULBOOL), fValue(aValue) {}
  Ref<Value> createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) override;
  void accept(QulLiteralVisitor* aVisitor) override;
  virtual bool value() { return fValue; }

private:
  bool fValue;
};

class QulLiteralInteger : public QulLiteral {
public:
  explicit QulLiteralInteger(char* aText) : QulLiteral(QULINTEGER), fText(aText) {}
  Ref<Value> createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) override;
  void accept(QulLiteralVisitor* aVisitor) override;
  virtual char* value() { return fText; }

private:
  Ref<Value> charValue(CG_Ctx* aCtx, ValueFactory& aFactory);
  Ref<Value> pointerValue(PointerType* aType, CG_Ctx* aCtx, ValueFactory& aFactory);

  char* fText;
};

class QulLiteralDouble : public QulLiteral {
public:
  explicit QulLiteralDouble(char* aText) : QulLiteral(QULDOUBLE), fText(aText) {}
  Ref<Value> createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) override;
  void accept(QulLiteralVisitor* aVisitor) override;
  virtual char* value() { return fText; }

private:
  char* fText;
};

class QulLiteralChar : public QulLiteral {
public:
  explicit QulLiteralChar(char aValue) : QulLiteral(QULCHAR), fValue(aValue) {}
  Ref<Value> createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) override;
  void accept(QulLiteralVisitor* aVisitor) override;
  virtual char value() { return fValue; }

private:
  char fValue;
};

// The body of a string or of a character literal (escapes not yet expanded).
class QulLiteralString : public QulLiteral {
public:
  explicit QulLiteralString(char* aText) : QulLiteral(QULSTRING), fText(aText) {}
  Ref<Value> createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) override;
  void accept(QulLiteralVisitor* aVisitor) override;
  virtual char* value() { return fText; }

private:
  Ref<Value> charValue(ValueFactory& aFactory);

  char* fText;
};

using QulLiteralList = IdLinkedList<QulLiteral*>;

// A brace list: the elements of a struct, a complex number or one matrix dimension.
class QulLiteralComposite : public QulLiteral {
public:
  // An empty list allocated in aPool.
  explicit QulLiteralComposite(MemPool* aPool);
  explicit QulLiteralComposite(QulLiteralList* aValue);
  Ref<Value> createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) override;
  void accept(QulLiteralVisitor* aVisitor) override;

  virtual void append(QulLiteral* aLiteral);
  virtual QulLiteralList* literals() { return fLiterals; }
  virtual QulLiteralList::Iterator begin() { return fLiterals->iterator(); }
  // Stores the elements of aLiteral, read as the dimensions aDepth.. of aType, into aMatrix; aIndex holds one
  // position per dimension. A branch of the wrong shape is reported on the console and left unset.
  virtual void fillMatrix(StaticMatrixType* aType, QulLiteral* aLiteral, uint64_t* aIndex, int aDepth, CG_Ctx* aCtx,
                          MemPool* aPool, StaticMatrixValue* aMatrix);

private:
  Ref<Value> structValue(StructType* aType, CG_Ctx* aCtx, MemPool* aPool);
  Ref<Value> complexValue(ComplexType* aType, CG_Ctx* aCtx, MemPool* aPool);
  Ref<Value> matrixValue(StaticMatrixType* aType, CG_Ctx* aCtx, MemPool* aPool);
  [[noreturn]] void throwNotComposite();

  QulLiteralList* fLiterals;
};

// Emitter side only: a fixed-point value's exact decimal text.
class QulLiteralFixpt : public QulLiteral {
public:
  explicit QulLiteralFixpt(char* aText) : QulLiteral(QULFIXPT), fText(aText) {}
  Ref<Value> createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) override;
  void accept(QulLiteralVisitor* aVisitor) override;
  virtual char* value() { return fText; }

private:
  char* fText;
};

class QulLiteralEnum : public QulLiteral {
public:
  explicit QulLiteralEnum(char* aName) : QulLiteral(QULENUM), fName(aName) {}
  Ref<Value> createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) override;
  void accept(QulLiteralVisitor* aVisitor) override;
  virtual char* value() { return fName; }

private:
  char* fName;
};

// Emitter side only. Read back, a pointer literal always gives the null pointer; numeric addresses are parsed
// as integer literals.
class QulLiteralPointer : public QulLiteral {
public:
  explicit QulLiteralPointer(void* aAddress) : QulLiteral(QULPOINTER), fAddress(aAddress) {}
  Ref<Value> createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) override;
  void accept(QulLiteralVisitor* aVisitor) override;
  virtual void* value() { return fAddress; }

private:
  void* fAddress;
};

class QulLiteralVisitor {
public:
  virtual ~QulLiteralVisitor();
  virtual void visitLiteralBool(QulLiteralBool* aLiteral) = 0;
  virtual void visitLiteralInteger(QulLiteralInteger* aLiteral) = 0;
  virtual void visitLiteralDouble(QulLiteralDouble* aLiteral) = 0;
  virtual void visitLiteralChar(QulLiteralChar* aLiteral) = 0;
  virtual void visitLiteralString(QulLiteralString* aLiteral) = 0;
  virtual void visitLiteralComposite(QulLiteralComposite* aLiteral) = 0;
  virtual void visitLiteralFixpt(QulLiteralFixpt* aLiteral) = 0;
  virtual void visitLiteralEnum(QulLiteralEnum* aLiteral) = 0;
  virtual void visitLiteralPointer(QulLiteralPointer* aLiteral) = 0;
};

// Makes the parser's literals in its pool, each stamped with the current source line and left untyped.
class QulParserLiteralFactory {
public:
  QulParserLiteralFactory(int* aLineSource, MemPool* aPool) : fLineSource(aLineSource), fPool(aPool) {}
  virtual ~QulParserLiteralFactory();

  virtual QulLiteralBool* boolLiteral(bool aValue);
  virtual QulLiteralChar* charLiteral(char aValue);
  virtual QulLiteralDouble* doubleLiteral(char* aText);
  virtual QulLiteralInteger* integerLiteral(char* aText);
  virtual QulLiteralString* stringLiteral(char* aText);
  virtual QulLiteralEnum* enumLiteral(char* aText);
  virtual QulLiteralComposite* compositeLiteral();
  virtual QulLiteralComposite* compositeLiteral(QulLiteralList* aLiterals);
  virtual void setLineSource(int* aLineSource) { fLineSource = aLineSource; }
  // The current line, -1 without a line source.
  virtual int lineNumber() { return fLineSource ? *fLineSource : -1; }
  virtual MemPool* pool() { return fPool; }
  // Gives a literal made elsewhere (on the stack, say) the current line, as the factory's own literals get.
  void stamp(QulLiteral* aLiteral) { aLiteral->setLineNumber(lineNumber()); }

private:
  template <class T> T* stamped(T* aLiteral) {
    stamp(aLiteral);
    return aLiteral;
  }

  int* fLineSource;
  MemPool* fPool;
};

} // namespace CG
