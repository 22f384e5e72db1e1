// libFuzzer target: any byte string is parsed and, when it parses, printed and parsed again; nothing may crash.
#include "emit/emitter.h"
#include "ir/ctx.h"
#include "ir/scope.h"
#include "parse/parser.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

namespace {

bool parseInto(CG_Ctx& aCtx, const std::string& aText) {
  try {
    CG::QulParser parser(&aCtx, aCtx.pool(), aCtx.globalScope(), aCtx.globalScope());
    parser.parse(aText.c_str());
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  std::string text(reinterpret_cast<const char*>(aData), aSize);
  CG_Ctx ctx;
  if (!parseInto(ctx, text))
    return 0;
  std::string printed;
  try {
    printed = CG::emitQuill(ctx.globalScope());
  } catch (const std::exception&) {
    return 0;
  }
  CG_Ctx again;
  parseInto(again, printed);
  return 0;
}
