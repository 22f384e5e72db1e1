// Literal objects: conversion of literal text into typed IR values, values back into literals, and printing.
#include "emit/emitter.h"
#include "emit/literalvisitor.h"
#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/scope.h"
#include "ir/symbol.h"
#include "ir/type.h"
#include "ir/typefactory.h"
#include "ir/value.h"
#include "kit/logging.h"
#include "lang/literal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

using namespace CG;

namespace {

uint64_t bitsOf(double aValue) {
  uint64_t bits;
  std::memcpy(&bits, &aValue, sizeof bits);
  return bits;
}

std::string assertionText(const std::function<void()>& aAction) {
  try {
    aAction();
  } catch (const AssertionException& error) {
    return error.expression();
  }
  return "<no assertion>";
}

class LiteralTest : public ::testing::Test {
protected:
  char* text(const char* aText) { return fCtx.cgString(aText); }
  QulParserLiteralFactory& factory() { return fFactory; }

  // Values of numeric kinds read back as doubles, whatever class the IR chose for them.
  static double numberOf(const Ref<Value>& aValue) {
    if (const IntegerValue* integer = IntegerValue::cast(aValue.get()))
      return integer->dataValue().toDouble();
    if (const FixptValue* fixpt = FixptValue::cast(aValue.get()))
      return fixpt->dataValue().toDouble();
    if (const DoubleValue* real = DoubleValue::cast(aValue.get()))
      return real->value();
    if (const SingleValue* single = SingleValue::cast(aValue.get()))
      return single->value();
    ADD_FAILURE() << "not a numeric value";
    return 0;
  }

  StaticMatrixType* matrixType(Type* aBase, std::vector<uint64_t> aDims) {
    std::vector<SymbolicSize*> dims;
    for (uint64_t dim : aDims)
      dims.push_back(SymbolicSizeFactory(&fCtx).size64(dim));
    return fTypes.matrixType(aBase, dims, true);
  }

  StructType* pairStruct() {
    return fTypes.structType(
        fCtx.globalScope(), "pair", "pair",
        {FieldDesc{text("a"), fTypes.signedInt32Type()}, FieldDesc{text("b"), fTypes.doubleType()}});
  }

  QulLiteralComposite* list(std::vector<QulLiteral*> aElements) {
    QulLiteralComposite* composite = fFactory.compositeLiteral();
    for (QulLiteral* element : aElements)
      composite->append(element);
    return composite;
  }

  QulLiteral* integer(const char* aText) { return fFactory.integerLiteral(text(aText)); }
  Ref<Value> create(QulLiteral* aLiteral, Type* aType) { return aLiteral->createValue(aType, &fCtx, &fPool); }

  CG_Ctx fCtx;
  MemPool fPool;
  TypeFactory fTypes{&fCtx};
  ValueFactory fValues{&fCtx, &fPool};
  int fLine = 7;
  QulParserLiteralFactory fFactory{&fLine, &fPool};
};

//===-- Text to double ------------------------------------------------------------------------------------===//

TEST(TextToDouble, SpecialNamesSignsAndConversionPaths) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* text;
    double expected;
  } cases[] = {
      {"+Inf", inf},
      {"inf", inf},
      {"INF", inf},
      {"-inf", -inf},
      {"-Inf", -inf},
      {"1e3", 1000},
      {"1000", 1000},
      {"+2.5", 2.5},
      {"-1.5E1", -15},
      {"0.1", 0.1},
      // Text after the number is ignored only by atof, so these show which path converts.
      {"2e0junk", 2.0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(qulTextToDouble(c.text), c.expected) << c.text;
  EXPECT_EQ(bitsOf(qulTextToDouble("nan")), 0xFFF8000000000000ull);
  EXPECT_EQ(bitsOf(qulTextToDouble("+NaN")), 0xFFF8000000000000ull);
  EXPECT_THROW(qulTextToDouble("1000junk"), FXP::NumberFormatError);
}

//===-- Factory and literal state -------------------------------------------------------------------------===//

TEST_F(LiteralTest, FactoryStampsCurrentLineAndLeavesTypeUnset) {
  QulLiteral* first = factory().boolLiteral(true);
  fLine = 12;
  QulLiteral* second = factory().enumLiteral(text("RED"));
  EXPECT_EQ(first->lineNumber(), 7);
  EXPECT_EQ(second->lineNumber(), 12);
  EXPECT_EQ(second->whichClass(), QulLiteral::QULENUM);
  EXPECT_EQ(assertionText([&] { second->type(); }), "fType!=0");
  second->clearLineNumber();
  EXPECT_TRUE(second->lineNumberUnknown());
  factory().setLineSource(nullptr);
  EXPECT_TRUE(factory().charLiteral('x')->lineNumberUnknown());
  EXPECT_TRUE(fPool.make<QulLiteralInteger>(text("1"))->lineNumberUnknown());
}

TEST_F(LiteralTest, CompositeConstructorsRejectMissingStorage) {
  EXPECT_EQ(assertionText([] { QulLiteralComposite composite(static_cast<MemPool*>(nullptr)); }), "aPool");
  EXPECT_EQ(assertionText([] { QulLiteralComposite composite(static_cast<QulLiteralList*>(nullptr)); }), "aValue");
  QulLiteralComposite* pair = list({integer("1"), integer("2")});
  QulLiteralList::Iterator it = pair->begin();
  ASSERT_TRUE(it.hasCurrent());
  EXPECT_STREQ(static_cast<QulLiteralInteger*>(it.current())->value(), "1");
}

//===-- createValue preconditions -------------------------------------------------------------------------===//

TEST_F(LiteralTest, CreateValueNamesTheClassAndTheMissingArgument) {
  struct Case {
    QulLiteral* literal;
    const char* className;
  } cases[] = {
      {factory().boolLiteral(true), "QulLiteralBool"},
      {integer("1"), "QulLiteralInteger"},
      {factory().doubleLiteral(text("1.0")), "QulLiteralDouble"},
      {factory().charLiteral('a'), "QulLiteralChar"},
      {factory().stringLiteral(text("s")), "QulLiteralString"},
      {factory().compositeLiteral(), "QulLiteralComposite"},
      {fPool.make<QulLiteralFixpt>(text("1.0")), "QulLiteralFixpt"},
      {factory().enumLiteral(text("RED")), "QulLiteralEnum"},
      {fPool.make<QulLiteralPointer>(nullptr), "QulLiteralPointer"},
  };
  Type* type = fTypes.boolType();
  for (const Case& c : cases) {
    std::string prefix = std::string(c.className) + "::createValue called with ";
    EXPECT_EQ(assertionText([&] { c.literal->createValue(nullptr, &fCtx, &fPool); }), prefix + "aType == NULL");
    EXPECT_EQ(assertionText([&] { c.literal->createValue(type, nullptr, &fPool); }), prefix + "aCtx  == NULL");
    EXPECT_EQ(assertionText([&] { c.literal->createValue(type, &fCtx, nullptr); }), prefix + "aPool == NULL");
  }
}

TEST_F(LiteralTest, FixedKindLiteralsRejectOtherTargetClasses) {
  struct Case {
    QulLiteral* literal;
    Type* type;
    const char* message;
  } cases[] = {
      {factory().boolLiteral(true), fTypes.signedInt32Type(),
       "QulLiteralBool::createValue called with aType which is not a BoolType"},
      {factory().charLiteral('a'), fTypes.stringType(),
       "QulLiteralChar::createValue called with aType which is not a CharType"},
      {factory().doubleLiteral(text("1.0")), fTypes.signedInt32Type(),
       "QulLiteralDouble::createValue called with aType which is not a DoubleType, SingleType or FixptType"},
      {fPool.make<QulLiteralFixpt>(text("1.0")), fTypes.doubleType(),
       "QulLiteralFixpt::createValue called with aType which is not a FixptType"},
      {factory().enumLiteral(text("RED")), fTypes.signedInt32Type(),
       "QulLiteralEnum::createValue called with aType which is not a EnumType"},
      {fPool.make<QulLiteralPointer>(nullptr), fTypes.signedInt32Type(),
       "QulLiteralPointer::createValue called with aType which is not a PointerType"},
      {factory().stringLiteral(text("s")), fTypes.signedInt32Type(),
       "QulLiteralString::createValue called with aType which is not a CharType"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(assertionText([&] { create(c.literal, c.type); }), c.message);
}

//===-- Integer literals ----------------------------------------------------------------------------------===//

TEST_F(LiteralTest, IntegerLiteralConvertsUnderTheTargetType) {
  FixptType* quarter = fTypes.fixptType(true, 16, 1.0, -2, 0.0, false);
  struct Case {
    const char* text;
    Type* type;
    Value::Kind kind;
    double expected;
  } cases[] = {
      {"42", fTypes.signedInt32Type(), Value::INTEGER, 42},
      {"300", fTypes.signedInt8Type(), Value::INTEGER, 44},   // wraps
      {"-1", fTypes.unsignedInt8Type(), Value::INTEGER, 255}, // wraps
      {"3", quarter, Value::FIXPT, 3},
      {"7", fTypes.doubleType(), Value::DOUBLE, 7},
      {"5", fTypes.singleType(), Value::SINGLE, 5},
  };
  for (const Case& c : cases) {
    Ref<Value> value = create(integer(c.text), c.type);
    EXPECT_EQ(value->kind(), c.kind) << c.text;
    EXPECT_EQ(numberOf(value), c.expected) << c.text;
  }
}

// A short decimal that its integer type holds is kept as a word without the exact reader; one just past the
// range is wrapped by it. Either way the value must be what the exact reader makes of the text.
TEST_F(LiteralTest, DecimalIntegersAtTheEdgesOfTheirTypesReadAsTheExactReaderReadsThem) {
  struct Case {
    bool isSigned;
    int bits;
  } widths[] = {{true, 8}, {false, 8}, {true, 16}, {false, 16}, {true, 32}, {false, 32},
                {true, 64}, {false, 64}, {true, 128}, {false, 128}, {false, 1}, {true, 2}};
  for (const Case& width : widths) {
    IntegerType* type = fTypes.integerType(width.isSigned, width.bits);
    int valueBits = std::min(width.bits, 60) - (width.isSigned ? 1 : 0);
    long long top = (1LL << valueBits) - 1;
    long long bottom = width.isSigned ? -top - 1 : 0;
    for (long long number : {bottom - 1, bottom, bottom + 1, -1LL, 0LL, 1LL, top - 1, top, top + 1}) {
      std::string digits = std::to_string(number);
      Ref<Value> value = create(integer(digits.c_str()), type);
      FXP::DataValue exact = FXP::DataValue::fromString(type->fxpType(), digits.c_str(), FXP::MathMode::floorWrap());
      const IntegerValue* read = IntegerValue::cast(value.get());
      ASSERT_NE(read, nullptr) << digits;
      EXPECT_EQ(read->dataValue().storedInteger(), exact.storedInteger())
          << digits << (width.isSigned ? " s" : " u") << width.bits;
    }
  }
}

TEST_F(LiteralTest, IntegerLiteralForCharIsTheCharacterCode) {
  Ref<Value> value = create(integer("65"), fTypes.charType());
  ASSERT_TRUE(CharValue::isa(value.get()));
  EXPECT_EQ(CharValue::cast(value.get())->toChar(), 'A');
  EXPECT_EQ(CharValue::cast(create(integer("-1"), fTypes.charType()).get())->toChar(), '\xff');
}

TEST_F(LiteralTest, IntegerLiteralForBoolWarnsAndKeepsTheNumber) {
  std::ostringstream log;
  Corvid::System::StreamHandler handler(log, nullptr);
  Corvid::System::Logger::getLogger("CG")->addHandler(&handler);
  Ref<Value> value = create(integer("1"), fTypes.boolType());
  Corvid::System::Logger::getLogger("CG")->removeHandler(&handler);
  EXPECT_NE(log.str().find("WARNING: QulLiteralInteger::createValue::NumericValueBoolConst: Numeric value given to "
                           "boolean constant, use true and false instead"),
            std::string::npos)
      << log.str();
  EXPECT_EQ(numberOf(value), 1);
}

TEST_F(LiteralTest, IntegerLiteralForPointerIsASignExtendedAddress) {
  PointerType* pointer = fTypes.pointerType(fTypes.charType());
  struct Case {
    const char* text;
    void* address;
  } cases[] = {
      {"4096", reinterpret_cast<void*>(0x1000)},
      {"0", nullptr},
      {"-1", reinterpret_cast<void*>(~uintptr_t{0})},
  };
  for (const Case& c : cases) {
    Ref<Value> value = create(integer(c.text), pointer);
    ASSERT_TRUE(PointerValue::isa(value.get()));
    EXPECT_EQ(PointerValue::cast(value.get())->value(), c.address) << c.text;
  }
}

TEST_F(LiteralTest, IntegerLiteralForANonNumericTypeIsAUserError) {
  try {
    create(integer("1"), fTypes.stringType());
    FAIL() << "no exception";
  } catch (const MessageException& error) {
    EXPECT_EQ(error.id(), "QulLiteralInteger::createValue::TypeNotValid");
    EXPECT_STREQ(error.what(), "Non valid type given, cannot create constant");
  }
}

//===-- Other scalar literals -----------------------------------------------------------------------------===//

TEST_F(LiteralTest, DoubleLiteralTargets) {
  EXPECT_EQ(DoubleValue::cast(create(factory().doubleLiteral(text("1e3")), fTypes.doubleType()).get())->value(), 1000);
  EXPECT_EQ(SingleValue::cast(create(factory().doubleLiteral(text("0.1")), fTypes.singleType()).get())->value(), 0.1f);
  Ref<Value> nan = create(factory().doubleLiteral(text("NaN")), fTypes.doubleType());
  EXPECT_EQ(bitsOf(DoubleValue::cast(nan.get())->value()), 0xFFF8000000000000ull);
  FixptType* quarter = fTypes.fixptType(true, 16, 1.0, -2, 0.0, false);
  Ref<Value> fixpt = create(factory().doubleLiteral(text("0.75")), quarter);
  ASSERT_TRUE(FixptValue::isa(fixpt.get()));
  EXPECT_EQ(numberOf(fixpt), 0.75);
  EXPECT_EQ(numberOf(create(fPool.make<QulLiteralFixpt>(text("1.25")), quarter)), 1.25);
}

TEST_F(LiteralTest, BoolCharEnumAndPointerLiterals) {
  EXPECT_FALSE(BoolValue::cast(create(factory().boolLiteral(false), fTypes.boolType()).get())->isTrue());
  EXPECT_EQ(CharValue::cast(create(factory().charLiteral('z'), fTypes.charType()).get())->toChar(), 'z');
  EnumType* color = fTypes.enumType(fCtx.globalScope(), "color", "color",
                                    {EnumElement{text("RED"), 3}, EnumElement{text("GREEN"), 5}}, nullptr);
  Ref<Value> green = create(factory().enumLiteral(text("GREEN")), color);
  EXPECT_EQ(EnumValue::cast(green.get())->value(), 5);
  Ref<Value> pointer =
      create(fPool.make<QulLiteralPointer>(reinterpret_cast<void*>(0x40)), fTypes.pointerType(fTypes.charType()));
  EXPECT_EQ(PointerValue::cast(pointer.get())->value(), nullptr);
}

TEST_F(LiteralTest, CharacterBodies) {
  struct Case {
    const char* body;
    char expected;
  } cases[] = {{"A", 'A'}, {"", '\0'}, {"\\n", '\n'}, {"\\101", 'A'}, {"\\\\", '\\'}, {"\\'", '\''}};
  for (const Case& c : cases) {
    Ref<Value> value = create(factory().stringLiteral(text(c.body)), fTypes.charType());
    EXPECT_EQ(CharValue::cast(value.get())->toChar(), c.expected) << c.body;
  }
  struct Bad {
    const char* body;
    const char* message;
  } bad[] = {
      {"ab", "invalid character literal"},
      {"\\1011", "invalid character literal"},
      {"\\%d", "invalid character literal"},
      {"\\ab", "character literal must be exactly one character"},
  };
  for (const Bad& b : bad)
    EXPECT_EQ(assertionText([&] { create(factory().stringLiteral(text(b.body)), fTypes.charType()); }), b.message)
        << b.body;
}

TEST_F(LiteralTest, StringBodyKeepsTheTargetsReadonlyFlag) {
  Type* readonlyString = fTypes.qualifiedType(fTypes.stringType(), true, false);
  Ref<Value> fixed = create(factory().stringLiteral(text("hi")), readonlyString);
  Ref<Value> plain = create(factory().stringLiteral(text("hi")), fTypes.stringType());
  EXPECT_STREQ(StringValue::cast(fixed.get())->toString(), "hi");
  EXPECT_TRUE(StringValue::cast(fixed.get())->isReadonly());
  EXPECT_FALSE(StringValue::cast(plain.get())->isReadonly());
}

//===-- Composites ----------------------------------------------------------------------------------------===//

TEST_F(LiteralTest, StructListFillsFieldsInOrder) {
  StructType* pair = pairStruct();
  Ref<Value> value = create(list({integer("4"), factory().doubleLiteral(text("2.5"))}), pair);
  StructValue* fields = StructValue::cast(value.get());
  ASSERT_NE(fields, nullptr);
  EXPECT_EQ(numberOf(fields->field(0)), 4);
  EXPECT_EQ(numberOf(fields->field(1)), 2.5);
  EXPECT_EQ(assertionText([&] { create(list({integer("4")}), pair); }),
            "A struct constant must contain values for all of the fields");
}

TEST_F(LiteralTest, ComplexListIsRealThenImaginary) {
  ComplexType* complex = fTypes.complexType(fTypes.doubleType());
  Ref<Value> value =
      create(list({factory().doubleLiteral(text("1.5")), factory().doubleLiteral(text("-2.0"))}), complex);
  ComplexValue* parts = ComplexValue::cast(value.get());
  ASSERT_NE(parts, nullptr);
  EXPECT_EQ(numberOf(parts->real()), 1.5);
  EXPECT_EQ(numberOf(parts->imag()), -2.0);
  for (int count : {1, 3}) {
    std::vector<QulLiteral*> parts(count, integer("1"));
    EXPECT_EQ(assertionText([&] { create(list(parts), complex); }),
              "A complex constant must constant must contain exactly two values")
        << count;
  }
}

TEST_F(LiteralTest, MatrixListFillsEveryElement) {
  StaticMatrixType* type = matrixType(fTypes.signedInt32Type(), {2, 3});
  Ref<Value> value = create(
      list({list({integer("1"), integer("2"), integer("3")}), list({integer("4"), integer("5"), integer("6")})}), type);
  StaticMatrixValue* matrix = StaticMatrixValue::cast(value.get());
  ASSERT_NE(matrix, nullptr);
  uint64_t index[2] = {1, 2};
  EXPECT_EQ(numberOf(matrix->element(index)), 6);
  index[0] = 0;
  index[1] = 1;
  EXPECT_EQ(numberOf(matrix->element(index)), 2);
}

TEST_F(LiteralTest, MisshapenMatrixBranchesArePrintedAndLeftUnset) {
  StaticMatrixType* type = matrixType(fTypes.signedInt32Type(), {2, 2});
  struct Case {
    QulLiteralComposite* literal;
    const char* consoleLine;
  } cases[] = {
      {list({list({integer("1"), integer("2")}), list({integer("3")})}),
       "Max size of a dimension and the number of elements in the literal list don't match \n"},
      {list({list({integer("1"), integer("2")}), integer("3")}), "In the nth dimension literal should be a list \n"},
  };
  for (const Case& c : cases) {
    testing::internal::CaptureStdout();
    Ref<Value> value = create(c.literal, type);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.consoleLine);
    StaticMatrixValue* matrix = StaticMatrixValue::cast(value.get());
    uint64_t filled[2] = {0, 1};
    uint64_t unset[2] = {1, 0};
    EXPECT_EQ(numberOf(matrix->element(filled)), 2);
    EXPECT_FALSE(matrix->element(unset));
  }
}

// A dimension of unknown or symbolic size matches no list; one far larger than its list costs nothing.
TEST_F(LiteralTest, MatrixOfUnknownOrHugeSizeKeepsOnlyWhatItsListSets) {
  SymbolicSizeFactory sizes(&fCtx);
  SymbolicSize* huge = sizes.size64(uint64_t(1) << 40);
  for (SymbolicSize* dim : {sizes.unknownSize(), sizes.idSize(fCtx.globalScope(), "n"), huge}) {
    StaticMatrixType* type = fTypes.matrixType(fTypes.signedInt32Type(), {dim}, true);
    testing::internal::CaptureStdout();
    Ref<Value> value = create(list({integer("1"), integer("2")}), type);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Max size of a dimension and the number of elements in the literal list don't match \n");
    ASSERT_TRUE(StaticMatrixValue::cast(value.get()));
    EXPECT_EQ(QulLiteral::fromValue(value.get(), &fCtx, &fPool)->whichClass(), QulLiteral::QULCOMPOSITE);
  }
}

TEST_F(LiteralTest, BraceListForAScalarTypeIsAUserErrorWithTheLineWhenKnown) {
  struct Case {
    int line;
    const char* id;
    const char* message;
  } cases[] = {
      {12, "QulLiteralComposite::createValue::BaseTypeNotCompositeLn",
       "Line 12: The base type is not composite, but the literal is"},
      {-1, "QulLiteralComposite::createValue::BaseTypeNotComposite",
       "The base type is not composite, but the literal is"},
  };
  for (const Case& c : cases) {
    QulLiteralComposite* literal = list({integer("1")});
    literal->setLineNumber(c.line);
    try {
      create(literal, fTypes.signedInt32Type());
      ADD_FAILURE() << "no exception";
    } catch (const MessageException& error) {
      EXPECT_EQ(error.id(), c.id);
      EXPECT_STREQ(error.what(), c.message);
    }
  }
}

//===-- Values to literals --------------------------------------------------------------------------------===//

class FromValueTest : public LiteralTest {
protected:
  QulLiteral* fromValue(const Ref<Value>& aValue) { return QulLiteral::fromValue(aValue.get(), &fCtx, &fPool); }
};

TEST_F(FromValueTest, ScalarValuesBecomeTypedLiterals) {
  IntegerType* int8 = fTypes.signedInt8Type();
  FixptType* quarter = fTypes.fixptType(true, 16, 1.0, -2, 0.0, false);
  EnumType* color = fTypes.enumType(fCtx.globalScope(), "hue", "hue", {EnumElement{text("RED"), 3}}, nullptr);
  PointerType* pointer = fTypes.pointerType(fTypes.charType());
  Ref<Value> address = fValues.pointerValueRef(pointer);
  PointerValue::cast(address.get())->setValue(reinterpret_cast<void*>(0xbeef));
  struct Case {
    Ref<Value> value;
    QulLiteral::CLASS kind;
    std::string text;
  } cases[] = {
      {fValues.integerValueRef(int8, -5), QulLiteral::QULINTEGER, "-5"},
      {Ref<Value>(
           new KalIntegerValue(fTypes.kalIntType(), FXP::DataValue::fromString(FXP::DataType::intT(true, 64), "9",
                                                                               FXP::MathMode::floorWrap()))),
       QulLiteral::QULINTEGER, "9"},
      {fValues.doubleValueRef(fTypes.doubleType(), 2.5), QulLiteral::QULDOUBLE, "2.5"},
      {fValues.singleValueRef(fTypes.singleType(), 0.5f), QulLiteral::QULDOUBLE, "0.5"},
      {fValues.quasiNumericValueRef(quarter,
                                    FXP::DataValue::fromString(quarter->fxpType(), "3", FXP::MathMode::floorWrap())),
       QulLiteral::QULFIXPT, "3.0"},
      {fValues.quasiNumericValueRef(quarter,
                                    FXP::DataValue::fromString(quarter->fxpType(), "0.25", FXP::MathMode::floorWrap())),
       QulLiteral::QULFIXPT, "0.25"},
      {fValues.stringValueRef("hi", false), QulLiteral::QULSTRING, "hi"},
      {fValues.enumValueRef(color, text("RED")), QulLiteral::QULENUM, "RED"},
  };
  for (const Case& c : cases) {
    QulLiteral* literal = fromValue(c.value);
    ASSERT_NE(literal, nullptr) << c.text;
    EXPECT_EQ(literal->whichClass(), c.kind) << c.text;
    EXPECT_EQ(literal->type(), c.value->type()) << c.text;
    const char* literalText = c.kind == QulLiteral::QULINTEGER  ? static_cast<QulLiteralInteger*>(literal)->value()
                              : c.kind == QulLiteral::QULDOUBLE ? static_cast<QulLiteralDouble*>(literal)->value()
                              : c.kind == QulLiteral::QULFIXPT  ? static_cast<QulLiteralFixpt*>(literal)->value()
                              : c.kind == QulLiteral::QULSTRING ? static_cast<QulLiteralString*>(literal)->value()
                                                                : static_cast<QulLiteralEnum*>(literal)->value();
    EXPECT_STREQ(literalText, c.text.c_str());
  }
  EXPECT_TRUE(static_cast<QulLiteralBool*>(fromValue(fValues.boolValueRef(true)))->value());
  EXPECT_EQ(static_cast<QulLiteralChar*>(fromValue(fValues.charValueRef('q')))->value(), 'q');
  EXPECT_EQ(static_cast<QulLiteralPointer*>(fromValue(address))->value(), reinterpret_cast<void*>(0xbeef));
  EXPECT_EQ(QulLiteral::fromValue(nullptr, &fCtx, &fPool), nullptr);
}

TEST_F(FromValueTest, AggregatesBecomeNestedComposites) {
  StaticMatrixType* type = matrixType(fTypes.signedInt32Type(), {2, 2});
  Ref<Value> matrix = create(list({list({integer("1"), integer("2")}), list({integer("3"), integer("4")})}), type);
  auto* rows = static_cast<QulLiteralComposite*>(fromValue(matrix));
  ASSERT_EQ(rows->whichClass(), QulLiteral::QULCOMPOSITE);
  ASSERT_EQ(rows->literals()->size(), 2u);
  auto* second = static_cast<QulLiteralComposite*>(rows->literals()->at(1));
  EXPECT_STREQ(static_cast<QulLiteralInteger*>(second->literals()->at(0))->value(), "3");

  Ref<Value> pair = create(list({integer("4"), factory().doubleLiteral(text("2.5"))}), pairStruct());
  auto* fields = static_cast<QulLiteralComposite*>(fromValue(pair));
  EXPECT_EQ(fields->type(), pair->type());
  EXPECT_EQ(fields->literals()->at(1)->whichClass(), QulLiteral::QULDOUBLE);

  Ref<Value> complex = create(list({integer("1"), integer("2")}), fTypes.complexType(fTypes.signedInt16Type()));
  auto* parts = static_cast<QulLiteralComposite*>(fromValue(complex));
  EXPECT_STREQ(static_cast<QulLiteralInteger*>(parts->literals()->last())->value(), "2");
}

TEST_F(FromValueTest, UnsetMatrixElementsKeepTheirPlaceAsNullEntries) {
  StaticMatrixType* type = matrixType(fTypes.signedInt32Type(), {2, 2});
  Ref<Value> matrix = create(list({list({integer("1"), integer("2")}), list({integer("3")})}), type);
  auto* rows = static_cast<QulLiteralComposite*>(fromValue(matrix));
  ASSERT_EQ(rows->literals()->size(), 2u);
  auto* second = static_cast<QulLiteralComposite*>(rows->literals()->at(1));
  ASSERT_FALSE(second->literals()->isEmpty());
  EXPECT_EQ(second->literals()->at(0), nullptr);
}

//===-- Printing ------------------------------------------------------------------------------------------===//

// An emitter used only for its output primitives.
class LiteralPrinter : public QulEmitter {
public:
  LiteralPrinter(CG_Ctx* aCtx, bool aLongForm)
      : QulEmitter(aCtx, QulEmitterOptions(nullptr, aLongForm ? QUILL_PRINT_ONLY_LONG_FORM_CONSTANTS
                                                              : QUILL_PRINT_NO_OPTIONS)) {}
  std::string print(const Value* aValue) {
    stringBuffer().clear();
    QulEmitterLiteralVisitor visitor(this, pool());
    visitor.visit(aValue);
    return stringBuffer().str();
  }
  std::string printConst(Const* aConst) {
    stringBuffer().clear();
    emitConstLiteral(aConst);
    return stringBuffer().str();
  }
  std::string printLiteral(QulLiteral* aLiteral) {
    stringBuffer().clear();
    QulEmitterLiteralVisitor visitor(this, pool());
    aLiteral->accept(&visitor);
    return stringBuffer().str();
  }
  void printNullPointer() {
    QulEmitterLiteralVisitor visitor(this, pool());
    visitor.visitLiteralPointer(nullptr);
  }
};

TEST_F(LiteralTest, PrintedFormsInShortAndLongForm) {
  LiteralPrinter shortForm(&fCtx, false);
  LiteralPrinter longForm(&fCtx, true);
  EnumType* words = fTypes.enumType(fCtx.globalScope(), "words", "words",
                                    {EnumElement{text("type"), 0}, EnumElement{text("RED"), 1}}, nullptr);
  PointerType* charPointer = fTypes.pointerType(fTypes.charType());
  Ref<Value> address = fValues.pointerValueRef(charPointer);
  PointerValue::cast(address.get())->setValue(reinterpret_cast<void*>(0xbeef));
  struct Case {
    Ref<Value> value;
    const char* shortText;
    const char* longText;
  } cases[] = {
      {fValues.integerValueRef(fTypes.signedInt32Type(), 42), "42", "42"},
      {fValues.integerValueRef(fTypes.signedInt8Type(), -5), "-5s8", "-5"},
      {fValues.integerValueRef(fTypes.signedInt64Type(), 9), "9s64", "9"},
      {fValues.integerValueRef(fTypes.unsignedInt32Type(), 7), "7u", "7"},
      {fValues.integerValueRef(fTypes.unsignedInt16Type(), 9), "9u16", "9"},
      {fValues.integerValueRef(fTypes.intType(), 3), "3", "3"},
      {fValues.boolValueRef(true), "true", "true"},
      {fValues.boolValueRef(false), "false", "false"},
      {fValues.doubleValueRef(fTypes.doubleType(), 2.5), "2.5", "2.5"},
      {fValues.charValueRef('a'), "'a'", "'a'"},
      {fValues.charValueRef('\n'), "'\\n'", "'\\n'"},
      {fValues.charValueRef('\t'), "'\\t'", "'\\t'"},
      {fValues.charValueRef('\\'), "'\\\\'", "'\\\\'"},
      {fValues.charValueRef('\''), "'\\''", "'\\''"},
      {fValues.charValueRef(7), "7", "7"},
      {fValues.stringValueRef("hi there", false), "'hi there'", "\"hi there\""},
      {fValues.enumValueRef(words, text("type")), "#type#", "#type#"},
      {fValues.enumValueRef(words, text("RED")), "RED", "RED"},
      {fValues.pointerValueRef(charPointer), "0", "0"},
      {address, "0xbeef", "0xbeef"},
      {create(list({integer("1"), integer("2")}), fTypes.complexType(fTypes.unsignedInt8Type())), "{1u8, 2u8}",
       "{1, 2}"},
      {create(list({}), fTypes.structType(fCtx.globalScope(), "empty", "empty", {})), "{}", "{}"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(shortForm.print(c.value.get()), c.shortText);
    EXPECT_EQ(longForm.print(c.value.get()), c.longText);
  }
}

TEST_F(LiteralTest, ConstantsPrintThroughTheirValue) {
  LiteralPrinter printer(&fCtx, false);
  StaticMatrixType* type = matrixType(fTypes.signedInt16Type(), {2, 1});
  Ref<Value> matrix = create(list({list({integer("1")}), list({integer("-2")})}), type);
  Const* constant = ConstFactory(&fCtx).create(type, matrix, nullptr, "m");
  EXPECT_EQ(printer.printConst(constant), "{{1s16}, {-2s16}}");
  EXPECT_EQ(printer.printLiteral(fPool.make<QulLiteralFixpt>(text("0.5"))), "0.5");
}

TEST_F(LiteralTest, NullLiteralObjectAbortsEmission) {
  LiteralPrinter printer(&fCtx, false);
  StaticMatrixType* type = matrixType(fTypes.signedInt32Type(), {2});
  Ref<Value> unfilled = create(list({integer("1")}), type);
  Const* constant = ConstFactory(&fCtx).create(type, unfilled, nullptr, "m");
  for (const std::function<void()>& print : std::vector<std::function<void()>>{
           [&] { printer.printNullPointer(); }, [&] { printer.printConst(constant); }}) {
    try {
      print();
      ADD_FAILURE() << "no abort";
    } catch (const QulEmitterAborted& aborted) {
      EXPECT_EQ(aborted.message(), "aLiteral == NULL");
    }
  }
}

} // namespace
