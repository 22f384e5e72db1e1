// Type emission: the printed form of every type kind, qualifiers, annotations and typedef order.
#include "support/irbuild.h"

#include "ir/logger.h"
#include "ir/tag.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using quilltest::IrFixture;
using TypeMaker = std::function<CG::Type*(IrFixture&)>;

struct TypeCase {
  const char* printed;
  TypeMaker make;
};

class TypeForms : public ::testing::Test, protected IrFixture {
protected:
  CG::SymbolicSize* size(uint64_t aValue) { return CG::SymbolicSizeFactory(&ctx).size64(aValue); }
  CG::SymbolicSize* unknown() { return CG::SymbolicSizeFactory(&ctx).unknownSize(); }
  std::string print(CG::Type* aType, int aOptions = 3) { return quilltest::emitWith(aType, aOptions); }
};

TEST_F(TypeForms, EveryKindPrintsItsForm) {
  CG::FieldDesc pointFields[] = {{text("a"), int32()}, {text("b c"), types.doubleType()}};
  const TypeCase cases[] = {
      {"bool", [](IrFixture& f) { return f.types.boolType(); }},
      {"char", [](IrFixture& f) { return f.types.charType(); }},
      {"double", [](IrFixture& f) { return f.types.doubleType(); }},
      {"single", [](IrFixture& f) { return f.types.singleType(); }},
      {"string", [](IrFixture& f) { return f.types.stringType(); }},
      {"void", [](IrFixture& f) { return f.types.voidType(); }},
      {"kal_int", [](IrFixture& f) { return f.types.kalIntType(); }},
      {"unknown", [](IrFixture& f) { return f.types.unknownType(); }},
      {"untyped", [](IrFixture& f) { return f.types.untypedType(); }},
      {"int8", [](IrFixture& f) { return f.types.signedInt8Type(); }},
      {"int64", [](IrFixture& f) { return f.types.signedInt64Type(); }},
      {"uint16", [](IrFixture& f) { return f.types.unsignedInt16Type(); }},
      {"int", [](IrFixture& f) { return f.types.intType(); }},
      {"uint", [](IrFixture& f) { return f.types.uintType(); }},
      {"signed(24)", [](IrFixture& f) { return f.types.integerType(true, 24); }},
      {"unsigned(3)", [](IrFixture& f) { return f.types.integerType(false, 3); }},
      {"readonly volatile int32", [](IrFixture& f) { return f.types.qualifiedType(f.int32(), true, true); }},
      {"volatile bool", [](IrFixture& f) { return f.types.qualifiedType(f.types.boolType(), false, true); }},
      {"fixpt(1, 16, 1.0, -8, 0.0)", [](IrFixture& f) { return f.types.fixptType(true, 16, 1.0, -8, 0.0, false); }},
      {"scldbl(0, 8, 1.5, 2, -0.25)", [](IrFixture& f) { return f.types.fixptType(false, 8, 1.5, 2, -0.25, true); }},
      {"complex(double)", [](IrFixture& f) { return f.types.complexType(f.types.doubleType()); }},
      {"pointer(int32)", [](IrFixture& f) { return f.types.pointerType(f.int32()); }},
      {"vxArray", [](IrFixture& f) { return f.types.vxArrayType(); }},
      {"reference(char)", [](IrFixture& f) { return f.types.referenceType(f.types.charType()); }},
      {"pointer(pointer(readonly char))",
       [](IrFixture& f) {
         return f.types.pointerType(f.types.pointerType(f.types.qualifiedType(f.types.charType(), true, false)));
       }},
      {"fcntype((int32, double),(bool))",
       [](IrFixture& f) {
         return f.types.fcnType({f.int32(), f.types.doubleType()}, {f.types.boolType()});
       }},
      {"fcntype((),())", [](IrFixture& f) { return f.types.fcnType({}, {}); }},
      {"struct((int32,a),(double,'b c'))",
       [&](IrFixture& f) {
         return f.types.structType(f.global, nullptr, nullptr, {pointFields[0], pointFields[1]});
       }},
      {"union((int32,a))",
       [&](IrFixture& f) { return f.types.unionType(f.global, nullptr, nullptr, {pointFields[0]}); }},
      {"struct()", [](IrFixture& f) { return f.types.structType(f.global, nullptr, nullptr, {}); }},
  };
  for (const TypeCase& c : cases)
    EXPECT_EQ(c.printed, print(c.make(*this))) << c.printed;
}

TEST_F(TypeForms, MatrixDimensionsFollowCommaAndSpace) {
  EXPECT_EQ("matrix(double, 3, 4)", print(types.matrixType(types.doubleType(), {size(3), size(4)}, false)));
  EXPECT_EQ("rowmatrix(int32, :, 2)", print(types.matrixType(int32(), {unknown(), size(2)}, true)));
  EXPECT_EQ("dynmatrix(int32, :, :10, 5)",
            print(types.dynamicMatrixType(int32(), {{true, unknown()}, {true, size(10)}, {false, size(5)}}, false)));
  EXPECT_EQ("dynrowmatrix(bool, :)", print(types.dynamicMatrixType(types.boolType(), {{true, unknown()}}, true)));
}

TEST_F(TypeForms, ClassMembersCarryVisibilityAndBasesTheirNames) {
  CG::ClassType* base = types.classType(global, "Base", {{text("id"), int32(), CG::VISIBILITY_PUBLIC}}, {});
  CG::ClassType* derived = types.classType(global, nullptr,
                                           {{text("a"), int32(), CG::VISIBILITY_PUBLIC},
                                            {text("b"), types.doubleType(), CG::VISIBILITY_PRIVATE},
                                            {text("c"), types.boolType(), CG::VISIBILITY_PROTECTED}},
                                           {{base, CG::VISIBILITY_PUBLIC}, {base, CG::VISIBILITY_PRIVATE}});
  EXPECT_EQ("class((int32,a),(\"private\"double,b),(\"protected\"bool,c):\"public\" Base, \"private\" Base)",
            print(derived));
}

TEST_F(TypeForms, EnumNamesReservedWordsBetweenHashes) {
  CG::EnumType* plain = types.enumType(global, nullptr, "color", {{text("red"), 0}, {text("if"), 7}}, nullptr);
  EXPECT_EQ("enum color((red,0),(#if#,7))", print(plain));
  CG::EnumType* small = types.enumType(global, nullptr, "", {{text("a"), -1}}, types.signedInt8Type());
  EXPECT_EQ("enum ((a,-1)|BaseType:int8)", print(small));
}

TEST_F(TypeForms, AnnotationsGoInsideTheFinalParenOrAfterAScalar) {
  CG::Type* named = types.structType(global, nullptr, nullptr, {{text("a"), int32()}});
  CG::TestIdTag::setId(named, "s1");
  EXPECT_EQ("struct((int32,a)|\"test_id\":\"s1\")", print(named));
  CG::Type* scalar = types.qualifiedType(types.signedInt16Type(), true, false);
  CG::TestIdTag::setId(scalar, "t1");
  EXPECT_EQ("readonly int16|\"test_id\":\"t1\"", print(scalar));
}

TEST_F(TypeForms, UnprintableKindsWriteMarkersOrRaise) {
  EXPECT_EQ("error", print(types.errorType(), 0));
  EXPECT_EQ("!!UnhandledType!!", print(types.opaqueType(10), 0));
  EXPECT_EQ("!!UnhandledType!!", print(types.opaqueType(25), 1));
  try {
    print(types.errorType(), 3);
    FAIL() << "an error type must raise when errors throw";
  } catch (const CG::InternalException& error) {
    EXPECT_EQ("QulEmitter::typeExpr::ErrorType", error.id());
    EXPECT_STREQ("Error type", error.what());
  }
  try {
    print(types.opaqueType(0), 2);
    FAIL() << "an unhandled kind must raise when errors throw";
  } catch (const CG::InternalException& error) {
    EXPECT_EQ("QulEmitter::typeExpr::UnknownType", error.id());
  }
}

// The texts of a type's parts are dropped once the type's text holds them: a type nested n deep costs the
// context memory in proportion to its text, not to n squared.
TEST_F(TypeForms, DeeplyNestedTypeLeavesOnlyItsOwnTextBehind) {
  constexpr int kDepth = 2000;
  CG::Type* type = int32();
  std::string opening;
  for (int i = 0; i < kDepth; ++i) {
    switch (i % 5) {
    case 0:
      type = types.pointerType(type);
      opening.insert(0, "pointer(");
      break;
    case 1:
      type = types.complexType(type);
      opening.insert(0, "complex(");
      break;
    case 2:
      type = types.matrixType(type, {size(2)}, false);
      opening.insert(0, "matrix(");
      break;
    case 3:
      type = types.fcnType({type}, {});
      opening.insert(0, "fcntype((");
      break;
    default:
      type = types.structType(global, nullptr, nullptr, {{text("f"), type}});
      opening.insert(0, "struct((");
      break;
    }
  }
  size_t poolBefore = ctx.pool()->bytesAllocated();
  std::string printed = print(type);
  size_t poolGrowth = ctx.pool()->bytesAllocated() - poolBefore;
  EXPECT_EQ(opening, printed.substr(0, opening.size()));
  EXPECT_LT(poolGrowth, 4 * printed.size());
}

// Typedefs of a scope: written in the order the variables meet the types, named once defined.
class Typedefs : public ::testing::Test, protected IrFixture {
protected:
  CG::StructType* point() {
    return types.structType(global, "point", nullptr, {{text("x"), int32()}, {text("y"), int32()}});
  }
};

TEST_F(Typedefs, NamedStructPrintsByNameAfterItsTypedef) {
  CG::StructType* p = point();
  var(global, "p", p);
  var(global, "q", types.pointerType(p));
  EXPECT_EQ("typedef(struct((int32,x),(int32,y)),point);\n\nvar(point,p);\nvar(pointer(point),q);\n",
            CG::emitQuill(global));
}

TEST_F(Typedefs, LaterTypeUsesEarlierNameButEarlierTypeExpandsLaterOne) {
  CG::StructType* inner = types.structType(global, "inner", nullptr, {{text("v"), int32()}});
  CG::StructType* outer = types.structType(global, "outer", nullptr, {{text("f"), inner}});
  var(global, "o", outer);
  var(global, "i", inner);
  EXPECT_EQ("typedef(struct((struct((int32,v)),f)),outer);\n"
            "typedef(struct((int32,v)),inner);\n\n"
            "var(outer,o);\nvar(inner,i);\n",
            CG::emitQuill(global));
}

TEST_F(Typedefs, UnnamedAndFunctionTypesWriteNoLine) {
  var(global, "p", types.pointerType(int32()));
  var(global, "f", types.fcnType({int32()}, {}));
  EXPECT_EQ("\nvar(pointer(int32),p);\nvar(fcntype((int32),()),f);\n", CG::emitQuill(global));
}

TEST_F(Typedefs, TypedefOfAScalarNamesACopy) {
  CG::Type* counter = types.namedCopy(types.unsignedInt16Type(), global, "counter");
  var(global, "n", counter);
  var(global, "m", types.unsignedInt16Type());
  EXPECT_EQ("typedef(uint16,counter);\n\nvar(counter,n);\nvar(uint16,m);\n", CG::emitQuill(global));
}

TEST_F(Typedefs, TypeNamedLikeAKeywordIsAliased) {
  var(global, "v", types.structType(global, "struct", nullptr, {}));
  EXPECT_EQ("struct1 <- typedef(struct(),\"struct\");\n\nvar(struct1,v);\n", CG::emitQuill(global));
}

} // namespace
