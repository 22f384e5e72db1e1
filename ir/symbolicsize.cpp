// Symbolic sizes: text form, structural equality and the uniquing factory.
#include <cstring>
#include <vector>

#include "ir/ctx.h"
#include "ir/scope.h"
#include "ir/strings.h"
#include "ir/symbol.h"

namespace CG {

// Operator sizes nest without bound: the text is written left to right from an explicit stack of what is
// still to write, each entry either a size or a piece of punctuation.
std::string SymbolicSize::toString(const IdMap<SymbolicSize*, char*>* aNames) const {
  struct Part {
    const SymbolicSize* size;
    const char* punctuation;
  };
  std::string text;
  std::vector<Part> parts{{this, nullptr}};
  while (!parts.empty()) {
    Part part = parts.back();
    parts.pop_back();
    const SymbolicSize* size = part.size;
    if (size == nullptr) {
      text += part.punctuation;
      continue;
    }
    switch (size->fKind) {
    case SIZE64_SIZE:
      if (!size->isUnknown())
        text += std::to_string(size->fValue);
      break;
    case SYMBOLIC_ID_SIZE: {
      char* mapped = aNames != nullptr ? aNames->get(const_cast<SymbolicSize*>(size)) : nullptr;
      const char* name = mapped != nullptr ? mapped : size->name();
      text += name != nullptr ? name : "";
      break;
    }
    case UNOP_SIZE:
      text += std::string(size->fOpName) + "(";
      parts.push_back({nullptr, ")"});
      parts.push_back({size->fOperands[0], nullptr});
      break;
    case BINOP_SIZE:
      text += std::string(size->fOpName) + "(";
      parts.push_back({nullptr, ")"});
      parts.push_back({size->fOperands[1], nullptr});
      parts.push_back({nullptr, ","});
      parts.push_back({size->fOperands[0], nullptr});
      break;
    }
  }
  return text;
}

bool SymbolicSize::equals(const SymbolicSize* aOther) const {
  if (aOther == this) {
    return true;
  }
  if (aOther == nullptr || aOther->fKind != fKind) {
    return false;
  }
  switch (fKind) {
  case SIZE64_SIZE:
    return fValue == aOther->fValue;
  case SYMBOLIC_ID_SIZE:
    return false;
  case UNOP_SIZE:
    return cg_strcmp(fOpName, aOther->fOpName) == 0 && fOperands[0]->equals(aOther->fOperands[0]);
  case BINOP_SIZE:
    return cg_strcmp(fOpName, aOther->fOpName) == 0 && fOperands[0]->equals(aOther->fOperands[0]) &&
           fOperands[1]->equals(aOther->fOperands[1]);
  }
  return false;
}

SymbolicSize* SymbolicSizeFactory::size64(uint64_t aValue) {
  auto& constants = fCtx->symbolicSizeCache().constants;
  auto found = constants.find(aValue);
  if (found != constants.end()) {
    return found->second;
  }
  auto* size =
      fCtx->pool()->make<SymbolicSize>(fCtx, SymbolicSize::SIZE64_SIZE, nullptr, aValue, nullptr, nullptr, nullptr);
  constants.emplace(aValue, size);
  return size;
}

SymbolicSize* SymbolicSizeFactory::idSize(Scope* aScope, const char* aName) {
  auto* size = fCtx->pool()->make<SymbolicSize>(fCtx, SymbolicSize::SYMBOLIC_ID_SIZE, fCtx->cgString(aName), 0, nullptr,
                                                nullptr, nullptr);
  if (aScope != nullptr) {
    aScope->addSymbol(size);
  }
  return size;
}

SymbolicSize* SymbolicSizeFactory::unopSize(const char* aOp, SymbolicSize* aOperand) {
  CG_ASSERT(aOperand != nullptr, "ir/symbolicsize.cpp");
  char* op = fCtx->cgString(aOp);
  auto& operators = fCtx->symbolicSizeCache().operators;
  auto key = std::make_tuple(op, aOperand, static_cast<SymbolicSize*>(nullptr));
  auto found = operators.find(key);
  if (found != operators.end()) {
    return found->second;
  }
  auto* size = fCtx->pool()->make<SymbolicSize>(fCtx, SymbolicSize::UNOP_SIZE, nullptr, 0, op, aOperand, nullptr);
  operators.emplace(key, size);
  return size;
}

SymbolicSize* SymbolicSizeFactory::binopSize(const char* aOp, SymbolicSize* aLeft, SymbolicSize* aRight) {
  CG_ASSERT(aLeft != nullptr && aRight != nullptr, "ir/symbolicsize.cpp");
  char* op = fCtx->cgString(aOp);
  auto& operators = fCtx->symbolicSizeCache().operators;
  auto key = std::make_tuple(op, aLeft, aRight);
  auto found = operators.find(key);
  if (found != operators.end()) {
    return found->second;
  }
  auto* size = fCtx->pool()->make<SymbolicSize>(fCtx, SymbolicSize::BINOP_SIZE, nullptr, 0, op, aLeft, aRight);
  operators.emplace(key, size);
  return size;
}

bool SymbolicSizeFactory::isSizeOperator(const char* aName, int aArity) {
  if (aName == nullptr) {
    return false;
  }
  if (aArity == 1) {
    return std::strcmp(aName, "-u") == 0;
  }
  if (aArity != 2) {
    return false;
  }
  static const char* const kBinary[] = {"+", "-", "*", "/", "%", "max", "min", "||"};
  for (const char* op : kBinary) {
    if (std::strcmp(aName, op) == 0) {
      return true;
    }
  }
  return false;
}

} // namespace CG
