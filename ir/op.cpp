// The table of built-in operator definitions and the operator-class predicates.
#include "ir/op.h"

#include <cstdint>

#include "ir/node.h"

namespace CG {

namespace {

// How many data operands a built-in takes; variadic rows give the minimum.
enum class Arity : uint8_t { NONE, UNARY, BINARY, TERNARY, QUATERNARY, VARIADIC, VARIADIC1 };

struct BuiltinDefRow {
  int fOpcode;
  const char* fName;
  Arity fArity;
  bool fIsStmt;
};

// Built-in definitions carry no default effects: every effect status starts irrelevant.
const BuiltinDefRow kBuiltinDefs[] = {
    {OP::START, "start", Arity::NONE, true},
    {OP::END, "end", Arity::NONE, true},
    {OP::MERGE, "merge", Arity::NONE, true},
    {OP::IF, "if", Arity::UNARY, true},
    {OP::SWITCH, "switch", Arity::VARIADIC1, true},
    {OP::CALL, "call", Arity::VARIADIC1, false},
    {OP::MULTICALL, "multicall", Arity::VARIADIC1, false},
    {OP::FOR_ENTRY, "forEntry", Arity::QUATERNARY, true},
    {OP::FOR_EXIT, "forExit", Arity::NONE, true},
    {OP::ASSIGN, "=", Arity::BINARY, false},
    {OP::COLON_ASSIGN, "colon=", Arity::BINARY, false},
    {OP::CONDITIONAL, "conditional", Arity::TERNARY, false},
    {OP::LOGICAL_OR, "||", Arity::BINARY, false},
    {OP::LOGICAL_AND, "&&", Arity::BINARY, false},
    {OP::BITOR, "bitor", Arity::BINARY, false},
    {OP::BITXOR, "bitxor", Arity::BINARY, false},
    {OP::BITAND, "bitand", Arity::BINARY, false},
    {OP::EQ, "==", Arity::BINARY, false},
    {OP::NE, "!=", Arity::BINARY, false},
    {OP::LT, "<", Arity::BINARY, false},
    {OP::LE, "<=", Arity::BINARY, false},
    {OP::GT, ">", Arity::BINARY, false},
    {OP::GE, ">=", Arity::BINARY, false},
    {OP::SHL, "<<", Arity::BINARY, false},
    {OP::SHR, ">>", Arity::BINARY, false},
    {OP::SHR_LOGICAL, ">>l", Arity::BINARY, false},
    {OP::SHR_ARITH, ">>a", Arity::BINARY, false},
    {OP::PLUS, "+", Arity::BINARY, false},
    {OP::MINUS, "-", Arity::BINARY, false},
    {OP::POINTER_PLUS, "p+", Arity::BINARY, false},
    {OP::MREF, "mref", Arity::VARIADIC1, false},
    {OP::MUL, "*", Arity::BINARY, false},
    {OP::DIV, "/", Arity::BINARY, false},
    {OP::MOD, "%", Arity::BINARY, false},
    {OP::NOT, "!", Arity::UNARY, false},
    {OP::BITNOT, "bitnot", Arity::UNARY, false},
    {OP::PRE_INC, "++pre", Arity::UNARY, false},
    {OP::POST_INC, "post++", Arity::UNARY, false},
    {OP::PRE_DEC, "--pre", Arity::UNARY, false},
    {OP::POST_DEC, "post--", Arity::UNARY, false},
    {OP::UMINUS, "-u", Arity::UNARY, false},
    {OP::DEREF, "deref", Arity::UNARY, false},
    {OP::CAST, "cast", Arity::UNARY, false},
    {OP::SREF, "sref", Arity::BINARY, false},
    {OP::COMMENT, "comment", Arity::NONE, true},
    {OP::DISPLAY, "display", Arity::VARIADIC, false},
    {OP::KAL_WRAPPER, "kal_wrapper", Arity::VARIADIC, false},
    {OP::KAL_STRINGIFY, "kal_stringify", Arity::VARIADIC, false},
    {OP::KAL_PAREN_STRINGIFY, "kal_paren_stringify", Arity::VARIADIC, false},
    {OP::KAL_STRINGIFY_ESCAPE, "kal_stringify_escape", Arity::VARIADIC, false},
    {OP::KAL_ASSIGN, "kal_assign", Arity::VARIADIC, false},
    {OP::KAL_IF, "kal_if", Arity::VARIADIC, false},
    {OP::KAL_FOREACH, "kal_foreach", Arity::VARIADIC, false},
    {OP::LITERAL_TEXT, "literal_text", Arity::NONE, true},
    {OP::PLUS_FX, "+fx", Arity::BINARY, false},
    {OP::MINUS_FX, "-fx", Arity::BINARY, false},
    {OP::UMINUS_FX, "-ufx", Arity::UNARY, false},
    {OP::MUL_FX, "*fx", Arity::BINARY, false},
    {OP::DIV_FX, "/fx", Arity::BINARY, false},
    {OP::EQ_FX, "==fx", Arity::BINARY, false},
    {OP::NE_FX, "!=fx", Arity::BINARY, false},
    {OP::LT_FX, "<fx", Arity::BINARY, false},
    {OP::LE_FX, "<=fx", Arity::BINARY, false},
    {OP::GT_FX, ">fx", Arity::BINARY, false},
    {OP::GE_FX, ">=fx", Arity::BINARY, false},
    {OP::CAST_FX, "castfx", Arity::UNARY, false},
    {OP::STRIP_FX, "stripfx", Arity::UNARY, false},
    {OP::CHECK, "check", Arity::VARIADIC1, false},
    {OP::OVERFLOW_STMT, "overflow", Arity::NONE, true},
    {OP::DIV_BY_ZERO_STMT, "div/0", Arity::NONE, true},
    {OP::EXPR_STMT, "exprStmt", Arity::UNARY, true},
    {OP::PARALLEL_VAR_CLASSIFIER, "parallelVarClassifier", Arity::BINARY, true},
    {OP::COMPLEX, "complex", Arity::BINARY, false},
    {OP::REAL, "re", Arity::UNARY, false},
    {OP::IMAG, "im", Arity::UNARY, false},
    {OP::CONJUGATE, "conjugate", Arity::UNARY, false},
    {OP::HCAT, "hcat", Arity::VARIADIC, false},
    {OP::VCAT, "vcat", Arity::VARIADIC, false},
    {OP::TRANSPOSE, "transpose", Arity::UNARY, false},
    {OP::MMUL, "mmul", Arity::BINARY, false},
    {OP::VECTOR, "vector", Arity::VARIADIC, false},
    {OP::EXPAND, "expand", Arity::VARIADIC1, false},
    {OP::STATIC_EXPAND, "static_expand", Arity::VARIADIC1, false},
    {OP::STATIC_EXPAND_REF, "static_expand_ref", Arity::VARIADIC1, false},
    {OP::ALL, "all", Arity::UNARY, false},
    {OP::ANY, "any", Arity::UNARY, false},
    {OP::MDIMS_VAL, "mdimsval", Arity::VARIADIC1, false},
    {OP::MDIMS_REF, "mdimsref", Arity::VARIADIC1, false},
    {OP::MRESHAPE_VAL, "mreshapeval", Arity::VARIADIC1, false},
    {OP::MRESHAPE_REF, "mreshaperef", Arity::VARIADIC1, false},
    {OP::MCAT, "mcat", Arity::VARIADIC, false},
    {OP::PARFOR_ENTRY, "parforEntry", Arity::QUATERNARY, true},
    {OP::PARFOR_EXIT, "parforExit", Arity::NONE, true},
    {OP::CONST, "const", Arity::NONE, false},
    {OP::VAR, "var", Arity::NONE, false},
    {OP::MVAL, "mval", Arity::VARIADIC, false},
    {OP::SVAL, "sval", Arity::VARIADIC, false},
    {OP::OPEN_SCOPE, "open_scope", Arity::VARIADIC, true},
    {OP::CLOSE_SCOPE, "close_scope", Arity::VARIADIC, true},
    {OP::NIL, "nil", Arity::NONE, false},
    {OP::INIT, "init", Arity::BINARY, true},
    {OP::OUTPUT, "output", Arity::UNARY, false},
    {OP::KAL_STMT_WRAPPER, "kal_stmtwrapper", Arity::VARIADIC, false},
    {OP::VASSIGN, "vassign", Arity::BINARY, false},
    {OP::VUSE, "vuse", Arity::UNARY, false},
    {OP::SIZEOF, "sizeof", Arity::NONE, false},
    {OP::SYMBOLIC_SIZE, "symbolicSize", Arity::NONE, false},
    {OP::RESERVED_1107, "reserved1107", Arity::VARIADIC, false},
    {OP::RESERVED_1108, "reserved1108", Arity::VARIADIC, false},
    {OP::RESERVED_1109, "reserved1109", Arity::VARIADIC, false},
    {OP::SLICE, "slice", Arity::VARIADIC1, false},
    {OP::CONCAT, "concat", Arity::VARIADIC, false},
    {OP::REPLICATE, "replicate", Arity::BINARY, false},
    {OP::ROTATE_LEFT, "rotate_left", Arity::BINARY, false},
    {OP::ROTATE_RIGHT, "rotate_right", Arity::BINARY, false},
    {OP::LEFT_EXTEND, "left_extend", Arity::BINARY, false},
    {OP::RIGHT_EXTEND, "right_extend", Arity::BINARY, false},
    {OP::OR_REDUCE, "or_reduce", Arity::UNARY, false},
    {OP::AND_REDUCE, "and_reduce", Arity::UNARY, false},
    {OP::XOR_REDUCE, "xor_reduce", Arity::UNARY, false},
    {OP::TYPE_QUAL, "type_qual", Arity::UNARY, false},
    {OP::UNSAFE_ENUM, "unsafe_enum", Arity::UNARY, false},
    {OP::SSA_PHI, "ssa_phi", Arity::VARIADIC, false},
    {OP::MUPDATE, "mupdate", Arity::VARIADIC1, false},
    {OP::ADDRESS_OF, "addressOf", Arity::UNARY, false},
    {OP::COMPLEX_MUL, "*c", Arity::BINARY, false},
    {OP::DMREF, "dmref", Arity::VARIADIC1, false},
    {OP::PMREF, "pmref", Arity::VARIADIC1, false},
    {OP::DMCALL, "dmcall", Arity::VARIADIC1, false},
    {OP::PMCALL, "pmcall", Arity::VARIADIC1, false},
    {OP::SMCALL, "smcall", Arity::VARIADIC1, false},
    {OP::RETURN, "|:return", Arity::VARIADIC, true},
    {OP::DECL, "|:decl", Arity::VARIADIC, false},
    {OP::COMMENT_EXPR, "commentExpr", Arity::UNARY, false},
    {OP::PLUS_ASSIGN, "+=", Arity::BINARY, false},
    {OP::MINUS_ASSIGN, "-=", Arity::BINARY, false},
    {OP::MUL_ASSIGN, "*=", Arity::BINARY, false},
    {OP::DIV_ASSIGN, "/=", Arity::BINARY, false},
    {OP::MOD_ASSIGN, "%=", Arity::BINARY, false},
    {OP::BITAND_ASSIGN, "&=", Arity::BINARY, false},
    {OP::BITXOR_ASSIGN, "^=", Arity::BINARY, false},
    {OP::BITOR_ASSIGN, "bitor=", Arity::BINARY, false},
    {OP::SHL_ASSIGN, "<<=", Arity::BINARY, false},
    {OP::SHR_ASSIGN, ">>=", Arity::BINARY, false},
    {OP::SHR_LOGICAL_ASSIGN, ">>l=", Arity::BINARY, false},
    {OP::SHR_ARITH_ASSIGN, ">>a=", Arity::BINARY, false},
    {OP::NEW, "new", Arity::VARIADIC, false},
    {OP::DELETE, "delete", Arity::UNARY, true},
    {OP::DV_ASSUME, "dv_assume", Arity::UNARY, false},
    {OP::DV_RANGE, "dv_range", Arity::TERNARY, false},
    {OP::STRUCTVAL, "structval", Arity::VARIADIC, false},
    {OP::CELL_ARRAY, "cell_array", Arity::VARIADIC, false},
    {OP::CELL, "cell", Arity::VARIADIC, false},
    {OP::CELL_EMPTY, "cell_empty", Arity::VARIADIC, false},
    {OP::CELL_HCAT, "cell_hcat", Arity::VARIADIC, false},
    {OP::CELL_VCAT, "cell_vcat", Arity::VARIADIC, false},
    {OP::CELL_VAL, "cell_val", Arity::VARIADIC, false},
    {OP::CELL_REF, "cell_ref", Arity::VARIADIC, false},
    {OP::RESERVED_1158, "reserved1158", Arity::VARIADIC, false},
    {OP::LOGICAL_INDEX, "logical_index", Arity::BINARY, false},
    {OP::RESERVED_1160, "reserved1160", Arity::VARIADIC, false},
    {OP::RESERVED_1161, "reserved1161", Arity::VARIADIC, false},
    {OP::RESERVED_1162, "reserved1162", Arity::VARIADIC, false},
    {OP::RESERVED_1163, "reserved1163", Arity::VARIADIC, false},
    {OP::RESERVED_1164, "reserved1164", Arity::VARIADIC, false},
};

int minimumInputs(Arity aArity) {
  switch (aArity) {
  case Arity::NONE:
  case Arity::VARIADIC:
    return 0;
  case Arity::UNARY:
  case Arity::VARIADIC1:
    return 1;
  case Arity::BINARY:
    return 2;
  case Arity::TERNARY:
    return 3;
  case Arity::QUATERNARY:
    return 4;
  }
  return 0;
}

bool isVariadic(Arity aArity) {
  return aArity == Arity::VARIADIC || aArity == Arity::VARIADIC1;
}

} // namespace

bool isComparisonOp(int aOp) {
  switch (aOp) {
  case OP::EQ:
  case OP::NE:
  case OP::LT:
  case OP::LE:
  case OP::GT:
  case OP::GE:
  case OP::EQ_FX:
  case OP::NE_FX:
  case OP::LT_FX:
  case OP::LE_FX:
  case OP::GT_FX:
  case OP::GE_FX:
    return true;
  default:
    return false;
  }
}

bool isLogicalOp(int aOp) {
  switch (aOp) {
  case OP::LOGICAL_OR:
  case OP::LOGICAL_AND:
  case OP::NOT:
  case OP::ALL:
  case OP::ANY:
  case OP::OR_REDUCE:
  case OP::AND_REDUCE:
  case OP::XOR_REDUCE:
    return true;
  default:
    return false;
  }
}

bool isArithmeticOp(int aOp) {
  switch (aOp) {
  case OP::PLUS:
  case OP::MINUS:
  case OP::MUL:
  case OP::DIV:
  case OP::MOD:
  case OP::UMINUS:
  case OP::BITOR:
  case OP::BITXOR:
  case OP::BITAND:
  case OP::BITNOT:
  case OP::PRE_INC:
  case OP::POST_INC:
  case OP::PRE_DEC:
  case OP::POST_DEC:
  case OP::PLUS_FX:
  case OP::MINUS_FX:
  case OP::UMINUS_FX:
  case OP::MUL_FX:
  case OP::DIV_FX:
  case OP::COMPLEX_MUL:
    return true;
  default:
    return false;
  }
}

bool isShiftOp(int aOp) {
  switch (aOp) {
  case OP::SHL:
  case OP::SHR:
  case OP::SHR_LOGICAL:
  case OP::SHR_ARITH:
  case OP::ROTATE_LEFT:
  case OP::ROTATE_RIGHT:
    return true;
  default:
    return false;
  }
}

bool isAssignmentOp(int aOp) {
  switch (aOp) {
  case OP::ASSIGN:
  case OP::COLON_ASSIGN:
  case OP::VASSIGN:
  case OP::PLUS_ASSIGN:
  case OP::MINUS_ASSIGN:
  case OP::MUL_ASSIGN:
  case OP::DIV_ASSIGN:
  case OP::MOD_ASSIGN:
  case OP::BITAND_ASSIGN:
  case OP::BITXOR_ASSIGN:
  case OP::BITOR_ASSIGN:
  case OP::SHL_ASSIGN:
  case OP::SHR_ASSIGN:
  case OP::SHR_LOGICAL_ASSIGN:
  case OP::SHR_ARITH_ASSIGN:
    return true;
  default:
    return false;
  }
}

void registerBuiltinNodeDefs(CG_Ctx* aCtx) {
  for (const BuiltinDefRow& row : kBuiltinDefs) {
    int numOutputs = row.fIsStmt ? 0 : 1;
    CG_NodeDef::create(aCtx, CG_NodeDef::FLAG_BUILTIN, row.fName, 0, numOutputs, minimumInputs(row.fArity), numOutputs,
                       isVariadic(row.fArity) ? 1 : 0, nullptr, nullptr, row.fOpcode, 0, 0);
  }
}

int numBuiltinDefs() {
  return static_cast<int>(sizeof(kBuiltinDefs) / sizeof(kBuiltinDefs[0]));
}

} // namespace CG
