// Round trips: canonical Quill text parses and comes back byte-identical; emitting twice is stable.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "ir/symbol.h"
#include "tests/parser_support.h"
#include "tests/support/irbuild.h"

namespace {

using quill_parse_test::parseAndEmit;

// Canonical texts exactly as the emitter prints them.
const char* const kTypesAndCalls =
    "symbolicid(N);\n"
    "typedef(struct((int32,a),(double,b)),S);\n"
    "\n"
    "var(matrix(int32, 2, 3),a1);\n"
    "var(rowmatrix(double, N, 4),a2);\n"
    "var(dynmatrix(int32, :10, :, 5),a3);\n"
    "var(complex(single),a4);\n"
    "var(readonly volatile int16,a5);\n"
    "var(signed(12),a6);\n"
    "var(pointer(S),a7);\n"
    "var(fcntype((int32, double),(bool)),a8);\n"
    "var(scldbl(0, 8, 0.5, 2, 1.25),a9);\n"
    "var(double,b1 <- 2.5 );\n"
    "var(string,b2 <- 'hi' );\n"
    "var(bool,b3 <- true );\n"
    "var(S,b4 <- {1, 2.0} );\n"
    "prototype((var(int32,pa)),(var(int32,pr)),p);\n"
    "function((var(int32,ga),var(int32,gb)),(var(int32,gc),var(int32,gd)),g)\n"
    "{\n"
    "}\n"
    "function((var(int32,x)),(var(double,y)),f)\n"
    "{\n"
    "    var(int32,l);\n"
    "    =(y,+[double](x,1));\n"
    "    g((x,x), (l,l));\n"
    "    =(l,p(x));\n"
    "    =(a7,new(S));\n"
    "    =(l,sizeof[uint](S));\n"
    "    init(l,3);\n"
    "    =(y,sqrt(y));\n"
    "    =(b2,'text');\n"
    "    =(l,symbolicexpr(N));\n"
    "    =(@a7,@a7);\n"
    "    =(l,4s16);\n"
    "    =(y,const(double,1.5));\n"
    "    parfor(l,0,1,10) {\n"
    "        comment(\"p\");\n"
    "    }\n"
    "}\n";

const char* const kControlFlow =
    "typedef(struct((int32,a),(double,b)),S);\n"
    "typedef(enum E((red,0),(green,1)),E);\n"
    "\n"
    "var(matrix(int32, 2, 3),m);\n"
    "var(pointer(double),p);\n"
    "var(fixpt(1, 16, 1.0, -8, 0.0),q);\n"
    "var(S,s);\n"
    "var(E,e);\n"
    "var(int32,v <- 7 );\n"
    "function((var(int32,a)),(),g)\n"
    "{\n"
    "    for(a,0,1,10) {\n"
    "        comment(\"hi\");\n"
    "    }\n"
    "    do {\n"
    "        =(a,+(a,1));\n"
    "    }while(<(a,10));\n"
    "    switch(a) {\n"
    "        case(1) :\n"
    "            =(a,2);\n"
    "        default :\n"
    "            =(a,3);\n"
    "    }\n"
    "    literal_text(\"raw\");\n"
    "    h(a);\n"
    "}\n"
    "function((var(int32,z)),(),h)\n"
    "{\n"
    "}\n";

const char* const kSmallCases[] = {
    "\nvar(int32,x);\n",
    "\nvar(int32,v <- 7 );\n",
    "\nvar(readonly volatile double,d);\n",
    "\nvar(uint8,u);\nfunction((var(int32,a)),(var(int32,b)),f)\n{\n    =(b,+(a,u));\n}\n",
    // A pointer constant dereferenced; an unsigned 32-bit literal's bare suffix; the widest integer literal.
    "constdef(pointer(int32),0,pc);\n\nvar(int32,x);\nvar(uint32,u);\nvar(signed(1024),w);\nfunction((),(),f)\n{\n"
    "    =(x,@pc);\n    =(u,5u);\n    =(w,5s1024);\n}\n",
    // A dereferenced operand whose type is not inferred keeps its parentheses; a space is a printable char.
    "\nvar(pointer(int16),p);\nvar(int32,x);\nvar(char,c);\nfunction((),(),f)\n{\n"
    "    =(x,@(varexpr[pointer(int32)](p)));\n    =(c,const(char,' '));\n}\n",
    "\nfunction((var(int32,a)),(),f)\n{\n    while(<(a,10)) {\n        =(a,+(a,1));\n    }\n}\n",
    "\nfunction((var(int32,a)),(),f)\n{\n    if(<(a,3)) {\n        =(a,1);\n    } else {\n        =(a,2s8);\n    }\n}\n",
    // Each check layout: bounds as constant operands (none, arithmeticOverflow, range, nullPointer, castRange)
    // or as auxiliary constants (divideByZero, arrayBounds), none at all, or expressions. Every kind's name
    // reads as an identifier, not a keyword.
    "\nfunction((var(int32,a)),(),f)\n{\n"
    "    =(a,check[int32](a, none, 1.0, 2.0, 3.0, 4.0, 5.0));\n"
    "    =(a,check[int32](a, arithmeticOverflow, 2.5));\n"
    "    =(a,check[int32](a, range, -1.5));\n"
    "    =(a,check[int32](a, nullPointer, 0.0));\n"
    "    =(a,check[int32](a, castRange, 1e+03));\n"
    "    =(a,check[int32](a, divideByZero, 1.0, 2.0, 3.0, 4.0));\n"
    "    =(a,check[int32](a, arrayBounds, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0));\n"
    "    =(a,check[int32](a, assertion));\n"
    "    =(a,check[int32](a, dynamicBounds, (0, 9)));\n"
    "}\n",
    // Result types the checker takes from an operand: a pointer, a complex number, an element of a dynamic
    // matrix and of a matrix behind a reference; none of them is printed.
    "\nvar(pointer(int32),p);\nvar(complex(double),c);\nvar(dynmatrix(int32, :10, 5),d);\n"
    "var(reference(rowmatrix(int32, 1, 3)),r);\nvar(int32,x);\nfunction((),(),f)\n{\n    =(p,p+(p,1));\n"
    "    =(c,conjugate(c));\n    =(x,dmref(d,1,2));\n    =(x,mref(r,1));\n}\n",
    // Classes used before their bases, and qualified forms of named types, which print by the type's name.
    "typedef(class((int32,i)),A);\ntypedef(class(:\"public\" A),B);\ntypedef(class(:\"private\" B, \"public\" A),C);\n"
    "\nvar(C,c);\nvar(readonly B,b);\nvar(volatile A,a);\n",
    "typedef(struct((int32,a)),S);\n\nvar(readonly S,x);\nvar(S,z);\n",
    // A test id with a quote, a backslash and a newline comes back as the same bytes.
    "\nfunction((var(int32,a)),(var(int32,b)),f)\n{\n    =(b,+(a,a|\"test_id\":\"t\\\"q\\\\x\\ny\"));\n}\n",
};

class RoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(RoundTrip, CanonicalTextComesBackUnchanged) {
  std::string canonical = GetParam();
  std::string once = parseAndEmit(canonical);
  EXPECT_EQ(canonical, once);
  EXPECT_EQ(once, parseAndEmit(once));
}

INSTANTIATE_TEST_SUITE_P(Modules, RoundTrip, ::testing::Values(kTypesAndCalls, kControlFlow));
INSTANTIATE_TEST_SUITE_P(Small, RoundTrip, ::testing::ValuesIn(kSmallCases));

TEST(RoundTripInput, HandWrittenTextReachesAFixedPoint) {
  const char* text = "x <- var(int32,x); // module variable\n"
                     "f <- function((a <- var(int32,a)),(b <- var(int32,b)),f) {\n"
                     "  =(b, +(a, x));\n"
                     "  if(<(a, 3)) { =(b, 1); } else { =(b, 2s8); }\n"
                     "  g(b);\n"
                     "}\n"
                     "g <- function((c <- var(int32,c)),(),g) { comment(\"done\"); }\n";
  std::string once = parseAndEmit(text);
  EXPECT_EQ(once, parseAndEmit(once));
  EXPECT_NE(std::string::npos, once.find("    g(b);\n"));
}

TEST(RoundTripInput, GotosBecomeStructuredFlow) {
  std::string once = parseAndEmit("x <- var(int32,x);\nf <- function((),(),f) {\n  =(x, 1);\n"
                                  "  if(<(x, 2)) { goto(L); } else { =(x, 3); }\n  =(x, 4);\n  label(L);\n"
                                  "  =(x, 5);\n}\n");
  EXPECT_EQ("\nvar(int32,x);\nfunction((),(),f)\n{\n    =(x,1);\n    if(<(x,2)) {\n    } else {\n"
            "        =(x,3);\n        =(x,4);\n    }\n    =(x,5);\n}\n",
            once);
  EXPECT_EQ(once, parseAndEmit(once));
}

// A flat text whose gotos jump to labels in the reverse order nests one if in the else branch of the
// last: deeper than a small stack can print. Its function ends with a note; the next one prints.
TEST(RoundTripInput, GotosNestedDeeperThanTheStackEndTheirFunctionWithANote) {
  constexpr int kJumps = 20000;
  std::string text = "x <- var(int32,x);\nf <- function((),(),f) {\n";
  for (int jump = 0; jump < kJumps; ++jump)
    text += "if(<(x," + std::to_string(jump) + ")) { goto(L" + std::to_string(jump) + "); } else { }\n";
  for (int jump = kJumps - 1; jump >= 0; --jump)
    text += "label(L" + std::to_string(jump) + ");\n=(x," + std::to_string(jump) + ");\n";
  text += "}\nfunction((),(),g) { }\n";
  quill_parse_test::Module module;
  module.parse(text);

  std::string printed;
  ASSERT_TRUE(quilltest::runOnStackOf(256 << 10, [&] { printed = module.emit(); }));
  EXPECT_EQ(0u, printed.find("\nvar(int32,x);\nfunction((),(),f)\n{\n    if(<(x,0)) {\n    } else {\n"));
  const std::string ending = "Could not emit function 'f' because I caught a nesting too deep to print: the thread's "
                             "stack is nearly used up\n}\nfunction((),(),g)\n{\n}\n";
  ASSERT_GT(printed.size(), ending.size());
  EXPECT_EQ(ending, printed.substr(printed.size() - ending.size()));
}

// An expression whose type the checker cannot tell (a dereference of a non-pointer, a cast without a
// type, an element of a scalar) gets the untyped type, which prints and reads back.
TEST(RoundTripInput, ExpressionsOfNoKnownTypeAreUntyped) {
  std::string once = parseAndEmit("x <- var(int32,x);\nf <- function((),(),f) {\n  =(x, -(@x, cast(x)));\n"
                                  "  =(x, mref(x, 1));\n}\n");
  EXPECT_EQ("\nvar(int32,x);\nfunction((),(),f)\n{\n    =(x,-[untyped](@[untyped](x),cast[untyped](x)));\n"
            "    =(x,mref[untyped](x,1));\n}\n",
            once);
  EXPECT_EQ(once, parseAndEmit(once));
}

// Operand and case lists grow past their first storage one item at a time; order must survive.
TEST(RoundTripInput, LongOperandAndCaseListsKeepTheirOrder) {
  std::string params;
  std::string args;
  std::string cases;
  for (int i = 0; i < 40; ++i) {
    std::string n = std::to_string(i);
    params += (i > 0 ? ",var(int32,a" : "var(int32,a") + n + ")";
    args += (i > 0 ? "," : "") + n;
    cases += "        case(" + n + ") :\n            =(x," + std::to_string(100 + i) + ");\n";
  }
  std::string canonical = "\nvar(int32,x);\nfunction((" + params + "),(),g)\n{\n}\nfunction((),(),f)\n{\n    g(" +
                          args + ");\n    switch(x) {\n" + cases + "        default :\n    }\n}\n";
  EXPECT_EQ(canonical, parseAndEmit(canonical));
}

// Spellings that read into the same IR as a canonical form, and the form they print as; the printed
// form then reads back unchanged.
struct SpellingCase {
  const char* text;
  const char* canonical;
};

#define JUMPS "var(int32,i);\nfunction((var(int32,n)),(var(int32,r)),f)\n{\n"

const SpellingCase kSpellings[] = {
    {"typealias(int32,T); var(T,x);", "typedef(int32,T);\n\nvar(T,x);\n"},
    // Words the scanner takes as keywords stay between "#" as enumerators, and a reserved word as a variable's
    // name gets an alias; a decimal exponent written with "E" too large for a double is infinity.
    {"typedef(enum color((red,0),(#mcat#,7),(#do#,8)),color); var(color,c <- #mcat#); var(int32,#case#);"
     "constdef(double,1E200000,big); var(double,d); function((),(),f) { =(d,big); }",
     "typedef(enum color((red,0),(#mcat#,7),(#do#,8)),color);\nconstdef(double,Inf,big);\n\nvar(color,c <- #mcat# );\n"
     "case1 <- var(int32,\"case\");\nvar(double,d);\nfunction((),(),f)\n{\n    =(d,big);\n}\n"},
    // A test id that is not a string is no test id.
    {"var(int32,a); var(int32,b); function((),(),f){ =(b,+(a,a|\"test_id\":5)); }",
     "\nvar(int32,a);\nvar(int32,b);\nfunction((),(),f)\n{\n    =(b,+(a,a));\n}\n"},
    // A qualified form of a named type, named itself, keeps a definition of its own.
    {"typedef(struct((int32,a)),foo); typedef(readonly foo,bar); var(bar,v); var(foo,w);",
     "typedef(readonly struct((int32,a)),bar);\ntypedef(struct((int32,a)),foo);\n\nvar(bar,v);\nvar(foo,w);\n"},
    {"scope() { var(int32,x); }", "\n\nscope(){\n\nvar(int32,x);\n}\n"},
    {"scope(\"s p\") { var(int32,x); }", "\n\nscope(\"s p\"){\n\nvar(int32,x);\n}\n"},
    {"var(int32,\"x y\");", "\nx_y <- var(int32,\"x y\");\n"},
    {"var(volatile int32,a); var(readonly int32,b); var(unsigned(12),u);",
     "\nvar(volatile int32,a);\nvar(readonly int32,b);\nvar(unsigned(12),u);\n"},
    // A struct's or union's own name is kept by the type, not printed; an enum without a tag keeps the space.
    {"var(struct s((int32,a)),v); var(union u((int32,a),(single,b)),w); var(enum((A,0),(B,1)),e);",
     "\nvar(struct((int32,a)),v);\nvar(union((int32,a),(single,b)),w);\nvar(enum ((A,0),(B,1)),e);\n"},
    {"var(class(),n); var(struct(),m);", "\nvar(class(),n);\nvar(struct(),m);\n"},
    {"var(enum e((A,0),(B,1)),v <- A);", "\nvar(enum e((A,0),(B,1)),v <- A );\n"},
    {"var(string,s <- \"a b\");", "\nvar(string,s <- 'a b' );\n"},
    {"var(rowmatrix(double,1,2),m <- {{1.5, 2}});", "\nvar(rowmatrix(double, 1, 2),m <- {{1.5, 2.0}} );\n"},
    {"symbolicid(N); symbolicid(M); var(rowmatrix(int32, ||(N,M), 2),q);",
     "symbolicid(N);\nsymbolicid(M);\n\nvar(rowmatrix(int32, ||(N,M), 2),q);\n"},
    // Annotations no listener claims are dropped, whatever their value's form.
    {"var(int32,x|\"p\":readonly,\"q\":t(1, 2.5, s, \"u\"));", "\nvar(int32,x);\n"},
    // A definition without a body gets an empty one.
    {"function((var(int32,a)),(),f) var(int32,x);", "\nvar(int32,x);\nfunction((var(int32,a)),(),f)\n{\n}\n"},
    // Operators the type checker knows no result type for carry the untyped type.
    {"var(rowmatrix(int32,1,2),a); var(rowmatrix(int32,1,4),b); function((),(),f){ =(b,mcat(2,a,a)); }",
     "\nvar(rowmatrix(int32, 1, 2),a);\nvar(rowmatrix(int32, 1, 4),b);\nfunction((),(),f)\n{\n"
     "    =(b,mcat[untyped](2,a,a));\n}\n"},
    {"var(complex(double),c); var(double,d); function((),(),f){ =(c,complex(d,d)); }",
     "\nvar(complex(double),c);\nvar(double,d);\nfunction((),(),f)\n{\n    =(c,complex[untyped](d,d));\n}\n"},
    {"var(int32,x); function((),(),f){ parfor_var(x, 'private'); }",
     "\nvar(int32,x);\nfunction((),(),f)\n{\n    parfor_var(x,'private');\n}\n"},
    // Intrinsics and library functions of the context are called by name.
    {"var(pointer(int32),p); var(int32,x); function((),(),f){ =(x,max(x,x)); memset(p,x,x); }",
     "\nvar(pointer(int32),p);\nvar(int32,x);\nfunction((),(),f)\n{\n    =(x,max(x,x));\n    memset(p,x,x);\n}\n"},
    // A function's name, bare or in constexpr, stands for the function as a value.
    {"function((),(),g){ } function((),(),f){ var(fcntype((),()),p); =(p,g); =(p,constexpr(g)); }",
     "\nfunction((),(),g)\n{\n}\nfunction((),(),f)\n{\n    var(fcntype((),()),p);\n    =(p,g);\n    =(p,g);\n}\n"},
    // A single-precision constant prints the shortest double text of its value.
    {"var(single,s); function((),(),f){ =(s,const(single,0.1)); }",
     "\nvar(single,s);\nfunction((),(),f)\n{\n    =(s,const(single,0.10000000149011612));\n}\n"},
    {"var(double,x); function((),(),f){ =(x,check(x, range, '1.5')); }",
     "\nvar(double,x);\nfunction((),(),f)\n{\n    =(x,check[double](x, range, 1.5));\n}\n"},
    // Jumps in and around loops, printed with the labels they need and no more.
    // A loop reached again by a goto only after it has printed keeps the label at the end of its body.
    {JUMPS "goto(A0); do { for(i,0,1,n) { label(A0); if(<(i,9)) { goto(A1); } else { } } label(A1); }"
           "while(<(r,6));\n}\n",
     "\n" JUMPS "    label(L0);\n    if(<(i,9)) {\n        label(L1);\n        if(<(r,6)) {\n"
     "            for(i,0,1,n) {\n                goto(L0);\n                label(L2);\n            }\n"
     "            goto(L1);\n        } else {\n"
     "        }\n    } else {\n        goto(L2);\n    }\n}\n"},
    // A jump that starts a loop afresh from inside its own body names the label before the loop.
    {JUMPS "goto(B); label(A); if(<(r,5)) { for(i,0,1,n) { if(<(r,3)) { goto(A); } else { } label(B); } } "
           "else { }\n}\n",
     "\n" JUMPS "    label(L0);\n    goto(L1);\n    label(L2);\n    for(i,0,1,n) {\n        if(<(r,3)) {\n"
     "            if(<(r,5)) {\n                goto(L2);\n            } else {\n"
     "                goto(L3);\n            }\n"
     "        } else {\n            goto(L0);\n        }\n        label(L1);\n    }\n    label(L3);\n}\n"},
    // Two labels that lead only to each other keep a label each.
    {JUMPS "if(<(r,1)) { label(A); } else { } goto(A);\n}\n",
     "\n" JUMPS "    if(<(r,1)) {\n        label(L0);\n        label(L1);\n        goto(L0);\n    } else {\n"
     "        goto(L1);\n    }\n}\n"},
    // A loop's head is no join of its own: a jump to it names the label before the loop.
    {JUMPS "label(A0); for(i,0,1,n) { for(r,0,1,n) { } } goto(A0);\n}\n",
     "\n" JUMPS "    label(L0);\n    for(i,0,1,n) {\n        for(r,0,1,n) {\n        }\n    }\n    goto(L0);\n}\n"},
};

class Spelling : public ::testing::TestWithParam<SpellingCase> {};

TEST_P(Spelling, PrintsTheCanonicalFormWhichReadsBack) {
  const SpellingCase& c = GetParam();
  EXPECT_EQ(c.canonical, parseAndEmit(c.text));
  EXPECT_EQ(c.canonical, parseAndEmit(c.canonical));
}

INSTANTIATE_TEST_SUITE_P(HandWritten, Spelling, ::testing::ValuesIn(kSpellings));

// The contextual form of one variable defines every named type and size its type mentions, however deeply,
// and nothing else; the text reads on its own.
TEST(RoundTripInput, ContextualFormOfAVariableDefinesWhatItsTypeNames) {
  quill_parse_test::Module module;
  module.parse("symbolicid(N);\ntypedef(struct((int32,a)),S);\ntypedef(enum e((A,0)),E);\n"
               "typedef(class((int32,id)),B);\ntypedef(class((S,s):\"public\" B),D);\n"
               "v1 <- var(complex(double),v1);\nv2 <- var(reference(S),v2);\nv3 <- var(rowmatrix(S, N, 2),v3);\n"
               "v4 <- var(dynmatrix(E, :N, 4),v4);\nv5 <- var(fcntype((S),(E)),v5);\nv6 <- var(D,v6);\n");
  const std::string structS = "typedef(struct((int32,a)),S);\n";
  const std::string enumE = "typedef(enum e((A,0)),E);\n";
  const std::map<std::string, std::string> expected = {
      {"v1", "\nvar(complex(double),v1);\n"},
      {"v2", structS + "\nvar(reference(S),v2);\n"},
      {"v3", "symbolicid(N);\n" + structS + "\nvar(rowmatrix(S, N, 2),v3);\n"},
      {"v4", "symbolicid(N);\n" + enumE + "\nvar(dynmatrix(E, :N, 4),v4);\n"},
      {"v5", structS + enumE + "\nvar(fcntype((S),(E)),v5);\n"},
      {"v6", structS + "typedef(class((int32,id)),B);\ntypedef(class((S,s):\"public\" B),D);\n\nvar(D,v6);\n"},
  };
  for (CG::Symbol* symbol = module.ctx.globalScope()->firstSymbol(); symbol; symbol = symbol->next()) {
    if (!CG::Var::isa(symbol))
      continue;
    std::string text = CG::emitQuillWithContext(symbol);
    EXPECT_EQ(expected.at(symbol->name()), text);
    EXPECT_EQ("", quill_parse_test::parseFailure(text).message) << text;
  }
}

} // namespace
