// Printing of constant values: each literal kind in its Quill form, and the emitter's constant-literal entry.
#include "emit/literalvisitor.h"

#include <boost/lexical_cast.hpp>

#include <cctype>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "emit/emitter.h"
#include "ir/strings.h"
#include "ir/symbol.h"
#include "ir/type.h"
#include "lang/keywords.h"
#include "numeric/fxp.h"

namespace CG {

QulEmitterLiteralVisitor::~QulEmitterLiteralVisitor() = default;

void QulEmitterLiteralVisitor::requireLiteral(QulLiteral* aLiteral, int aLine) {
  if (!aLiteral)
    fEmitter->abortEmission("aLiteral == NULL", aLine);
}

void QulEmitterLiteralVisitor::visitLiteralBool(QulLiteralBool* aLiteral) {
  requireLiteral(aLiteral, __LINE__);
  fEmitter->emitString(aLiteral->value() ? "true" : "false");
}

// integer ::= digits [suffix]    suffix: "s<bits>" for signed other than 32 bits, "u" or "u<bits>" for unsigned
void QulEmitterLiteralVisitor::visitLiteralInteger(QulLiteralInteger* aLiteral) {
  requireLiteral(aLiteral, __LINE__);
  fEmitter->emitString(cg_string_toascii(aLiteral->value()));
  if (!fEmitter->shouldEmitLongFormConsts() && aLiteral->hasType())
    emitIntegerSuffix(aLiteral->type());
}

// In long form the type is printed beside the value, so the suffix would be redundant.
void QulEmitterLiteralVisitor::emitIntegerSuffix(Type* aType) {
  if (!IntegerType::isa(aType))
    return;
  IntegerType* integer = IntegerType::cast(aType);
  bool defaultWidth = integer->numBits() == 32;
  if (integer->isSigned() && defaultWidth)
    return;
  std::string suffix = integer->isSigned() ? "s" : "u";
  if (!defaultWidth)
    suffix += boost::lexical_cast<std::string>(integer->numBits());
  fEmitter->emitString(suffix.c_str());
}

void QulEmitterLiteralVisitor::visitLiteralDouble(QulLiteralDouble* aLiteral) {
  requireLiteral(aLiteral, __LINE__);
  fEmitter->emitString(cg_string_toascii(aLiteral->value()));
}

void QulEmitterLiteralVisitor::visitLiteralFixpt(QulLiteralFixpt* aLiteral) {
  requireLiteral(aLiteral, __LINE__);
  fEmitter->emitString(cg_string_toascii(aLiteral->value()));
}

// Characters that cannot be written between quotes print as their decimal code.
void QulEmitterLiteralVisitor::visitLiteralChar(QulLiteralChar* aLiteral) {
  requireLiteral(aLiteral, __LINE__);
  char value = aLiteral->value();
  switch (value) {
  case '\n':
    fEmitter->emitString("'\\n'");
    return;
  case '\t':
    fEmitter->emitString("'\\t'");
    return;
  case '\\':
    fEmitter->emitString("'\\\\'");
    return;
  case '\'':
    fEmitter->emitString("'\\''");
    return;
  default:
    break;
  }
  unsigned char code = static_cast<unsigned char>(value);
  std::string text = std::isprint(code) ? std::string{'\'', value, '\''}
                                        : boost::lexical_cast<std::string>(static_cast<unsigned>(code));
  fEmitter->emitString(text.c_str());
}

void QulEmitterLiteralVisitor::visitLiteralString(QulLiteralString* aLiteral) {
  requireLiteral(aLiteral, __LINE__);
  const char* quote = fEmitter->shouldEmitLongFormConsts() ? "\"" : "'";
  fEmitter->emitString(quote);
  if (aLiteral->value())
    fEmitter->emitString(aLiteral->value());
  fEmitter->emitString(quote);
}

// composite ::= '{' [literal {', ' literal}] '}'
// Lists nest as deep as their values, without bound: the lists being printed wait on an explicit stack, each
// with the position of its next element.
void QulEmitterLiteralVisitor::visitLiteralComposite(QulLiteralComposite* aLiteral) {
  requireLiteral(aLiteral, __LINE__);
  std::vector<std::pair<QulLiteralList*, size_t>> open{{aLiteral->literals(), 0}};
  fEmitter->emitString("{");
  while (!open.empty()) {
    auto& [elements, next] = open.back();
    if (next == elements->size()) {
      fEmitter->emitString("}");
      open.pop_back();
      continue;
    }
    if (next > 0)
      fEmitter->emitString(", ");
    QulLiteral* element = elements->at(next++);
    requireLiteral(element, __LINE__);
    if (element->whichClass() != QulLiteral::QULCOMPOSITE) {
      element->accept(this);
      continue;
    }
    fEmitter->emitString("{");
    open.emplace_back(static_cast<QulLiteralComposite*>(element)->literals(), 0);
  }
}

// Enumerator names that are reserved words are quoted as #name#.
void QulEmitterLiteralVisitor::visitLiteralEnum(QulLiteralEnum* aLiteral) {
  requireLiteral(aLiteral, __LINE__);
  char* name = cg_string_toascii(aLiteral->value());
  bool reserved = isLiteralKeyword(name);
  if (reserved)
    fEmitter->emitString("#");
  fEmitter->emitString(name);
  if (reserved)
    fEmitter->emitString("#");
}

void QulEmitterLiteralVisitor::visitLiteralPointer(QulLiteralPointer* aLiteral) {
  requireLiteral(aLiteral, __LINE__);
  void* address = aLiteral->value();
  if (!address) {
    fEmitter->emitString("0");
    return;
  }
  StringBuffer text;
  text.appendf("0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address)));
  fEmitter->emitString(text.c_str());
}

// The decimal text of an integer value. One kept as its word prints from the word, and another integer that fits
// in 64 bits from its stored integer: both skip the exact-rational path, which gives the same digits.
static std::string integerText(const IntegerValue* aValue) {
  if (std::optional<int64_t> word = aValue->word())
    return boost::lexical_cast<std::string>(*word);
  FXP::DataValue data = aValue->dataValue();
  const FXP::BigInt& stored = data.storedInteger();
  if (data.type().isInteger() && stored >= std::numeric_limits<long long>::min() &&
      stored <= std::numeric_limits<long long>::max())
    return boost::lexical_cast<std::string>(stored.convert_to<long long>());
  return aValue->toString(10);
}

// Visits a stack literal typed like the pooled one QulLiteral::fromValue would make.
template <class T, class A> static void acceptTyped(QulLiteralVisitor* aVisitor, Type* aType, A aArg) {
  T literal(aArg);
  literal.setType(aType);
  literal.accept(aVisitor);
}

// The scalar kinds, which are most constants, print from a literal on the stack whose text lives only for
// the visit: nothing is interned or left in the pool. False for the kinds that go through fromValue.
bool QulEmitterLiteralVisitor::visitScalar(const Value* aValue) {
  Type* type = aValue->type();
  switch (aValue->kind()) {
  case Value::INTEGER:
  case Value::KAL_INTEGER: {
    std::string text = integerText(IntegerValue::cast(aValue));
    acceptTyped<QulLiteralInteger>(this, type, text.data());
    return true;
  }
  case Value::DOUBLE: {
    std::string text = doubleToText(DoubleValue::cast(aValue)->value());
    acceptTyped<QulLiteralDouble>(this, type, text.data());
    return true;
  }
  case Value::SINGLE: {
    std::string text = doubleToText(SingleValue::cast(aValue)->value());
    acceptTyped<QulLiteralDouble>(this, type, text.data());
    return true;
  }
  case Value::BOOL:
    acceptTyped<QulLiteralBool>(this, type, BoolValue::cast(aValue)->isTrue());
    return true;
  case Value::CHAR:
    acceptTyped<QulLiteralChar>(this, type, CharValue::cast(aValue)->toChar());
    return true;
  case Value::STATIC_MATRIX:
  case Value::COMPLEX:
  case Value::STRING:
  case Value::FIXPT:
  case Value::ENUM:
  case Value::POINTER:
  case Value::STRUCT:
    return false;
  }
  return false;
}

void QulEmitterLiteralVisitor::visit(const Value* aValue) {
  if (aValue && visitScalar(aValue))
    return;
  QulLiteral* literal = QulLiteral::fromValue(const_cast<Value*>(aValue), fEmitter->ctx(), fPool);
  requireLiteral(literal, __LINE__);
  literal->accept(this);
}

void QulEmitter::emitConstLiteral(Const* aConst) {
  if (!aConst)
    abortEmission("aConst == NULL", __LINE__);
  QulEmitterLiteralVisitor visitor(this, pool());
  Ref<Value> value = aConst->value(pool());
  visitor.visit(value.get());
}

} // namespace CG
