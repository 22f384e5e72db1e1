// The operator table: every IR operator's Quill name, shared by the emitter and the parser.
#include "lang/optable.h"

namespace CG {

namespace {
struct OpRow {
  int op;
  const char* name;
};

const OpRow kOpRows[] = {
#define QUL_OP(number, name) {number, name},
#include "lang/optable.def"
#undef QUL_OP
};
} // namespace

void OpTable::initOps(const Functor& aFunctor) const {
  for (const OpRow& row : kOpRows)
    aFunctor(row.op, row.name);
}

int OpTable::numBuiltinRows() {
  return static_cast<int>(sizeof(kOpRows) / sizeof(kOpRows[0]));
}

} // namespace CG
