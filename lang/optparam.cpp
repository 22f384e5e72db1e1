// Optional parameters: the annotations written after "|" in Quill text, as tag and typed value.
#include "lang/optparam.h"

#include <cstring>

#include "ir/logger.h"
#include "ir/symbol.h"
#include "lang/literal.h"
#include "numeric/fxp.h"

namespace CG {

void QulOptionalParameterValue::badCast()
{
    client_assertion_failed("lang/optparam", __LINE__, "false");
}

QulOptionalParameterValue* QulOptionalParameterTermValue::argument(int aIndex) const
{
    if (!(aIndex >= 0 && aIndex < numArguments())) {
        client_assertion_failed("lang/optparam", __LINE__, "aIndex>=0 && aIndex<fSize");
    }
    return (*fArguments)[aIndex];
}

int QulOptionalParameterIntegerValue::toInt() const
{
    FXP::DataValue value = FXP::DataValue::fromString(FXP::DataType::intT(true, 32), fText, ConstFactory::defaultMathMode());
    return static_cast<int>(value.toInt64());
}

double QulOptionalParameterDoubleValue::toDouble() const
{
    return qulTextToDouble(fText);
}

} // namespace CG
