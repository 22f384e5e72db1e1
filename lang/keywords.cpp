// Reserved words of the Quill language.
#include "lang/keywords.h"

#include <cstring>

namespace CG {

namespace {
const ReservedWord kReservedWords[] = {
    {"Inf", false},       {"NaN", false},      {"case", false},        {"check", true},         {"class", false},
    {"colmatrix", false}, {"comment", false},  {"complex", true},      {"const", false},        {"constdef", false},
    {"constexpr", false}, {"default", false},  {"dynmatrix", false},   {"dynrowmatrix", false}, {"else", false},
    {"enum", false},      {"extern", false},   {"false", false},       {"fcntype", false},      {"fixpt", false},
    {"scldbl", false},    {"for", false},      {"function", false},    {"goto", false},         {"if", false},
    {"init", true},       {"label", false},    {"literal_text", true}, {"matrix", false},       {"mcat", true},
    {"method", false},    {"overflow", true},  {"parfor", false},      {"parfor_var", false},   {"pointer", false},
    {"prototype", false}, {"readonly", false}, {"rowmatrix", false},   {"scope", false},        {"signed", false},
    {"sizeof", false},    {"struct", false},   {"switch", false},      {"true", false},         {"type", false},
    {"typealias", false}, {"typedef", false},  {"union", false},       {"unsigned", false},     {"var", false},
    {"varexpr", false},   {"volatile", false}, {"while", false},
};

const char* const kLiteralKeywords[] = {
    "NaN",     "Inf",       "-Inf",       "scope",     "type",         "typedef",      "typealias",  "function",
    "method",  "prototype", "const",      "constdef",  "constexpr",    "symbolicexpr", "symbolicid", "var",
    "varexpr", "enum",      "signed",     "unsigned",  "struct",       "fcntype",      "class",      "union",
    "matrix",  "rowmatrix", "colmatrix",  "dynmatrix", "dynrowmatrix", "fixpt",        "scldbl",     "complex",
    "pointer", "reference", "volatile",   "readonly",  "switch",       "case",         "default",    "else",
    "for",     "parfor",    "parfor_var", "while",     "do",           "goto",         "label",      "if",
    "extern",  "overflow",  "sizeof",     "new",       "init",         "comment",      "delete",     "literal_text",
    "check",   "mcat",      "true",       "false",
};
} // namespace

const ReservedWord* reservedWords(int* aCount) {
  *aCount = static_cast<int>(sizeof(kReservedWords) / sizeof(kReservedWords[0]));
  return kReservedWords;
}

bool isLiteralKeyword(const char* aText) {
  if (!aText)
    return false;
  for (const char* word : kLiteralKeywords)
    if (std::strcmp(word, aText) == 0)
      return true;
  return false;
}

} // namespace CG
