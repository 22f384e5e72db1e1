// libFuzzer target: any byte string is parsed and, when it parses, printed and parsed again; nothing may crash.
// The first parse hands its functions to a second thread that walks them for the printing, as the tool does.
#include "emit/emitter.h"
#include "emit/graphuses.h"
#include "ir/ctx.h"
#include "ir/scope.h"
#include "parse/parser.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

namespace {

bool parseInto(CG_Ctx& aCtx, const std::string& aText, CG::GraphUsesAhead* aAhead = nullptr) {
  try {
    CG::QulParser parser(&aCtx, aCtx.pool(), aCtx.globalScope(), aCtx.globalScope());
    if (aAhead != nullptr)
      parser.setBodyFinished([aAhead](CG::Fcn* aFcn) { aAhead->offer(aFcn); });
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
  CG::GraphUsesAhead ahead(&ctx);
  if (!parseInto(ctx, text, &ahead))
    return 0;
  std::string printed;
  try {
    CG::QulEmitterOptions options;
    options.setGraphUsesAhead(&ahead);
    printed = CG::emitQuillEx(ctx.globalScope(), options);
  } catch (const std::exception&) {
    return 0;
  }
  CG_Ctx again;
  parseInto(again, printed);
  return 0;
}
