// "test_id" annotations: an identifier tag that tests use to find IR objects.
#include "listener/testidlistener.h"

#include "ir/node.h"
#include "ir/symbol.h"
#include "ir/tag.h"
#include "ir/type.h"

namespace CG {

namespace {

// The id between double quotes, escaped so that the scanner reads back the same bytes: a quote or a
// backslash would end or change the text, and a raw newline would be dropped.
std::string quoted(const std::string& aId) {
  std::string text = "\"";
  for (char byte : aId) {
    if (byte == '"' || byte == '\\')
      text += '\\';
    text += byte == '\n' ? std::string("\\n") : std::string(1, byte);
  }
  return text + '"';
}

} // namespace

void TestIdListener::addIdOf(CG_Obj* aObj, std::vector<std::string>* aStrings) {
  const std::string* id = aObj ? TestIdTag::id(aObj) : nullptr;
  if (id)
    aStrings->push_back("\"test_id\":" + quoted(*id));
}

void TestIdListener::addString(Var* aVar, std::vector<std::string>* aStrings) {
  addIdOf(aVar, aStrings);
}
void TestIdListener::addString(Type* aType, std::vector<std::string>* aStrings) {
  addIdOf(aType, aStrings);
}
void TestIdListener::addString(Expr* aExpr, std::vector<std::string>* aStrings) {
  addIdOf(aExpr, aStrings);
}
void TestIdListener::addString(Const* aConst, std::vector<std::string>* aStrings) {
  addIdOf(aConst, aStrings);
}

void TestIdListener::registerValue(CG_Obj* aObj, QulOptionalParameterValue* aValue) {
  if (!QulOptionalParameterStringValue::isa(aValue))
    return;
  TestIdTag::setId(aObj, QulOptionalParameterStringValue::cast(aValue)->toString());
}

} // namespace CG
