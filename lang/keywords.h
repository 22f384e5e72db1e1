// Reserved words of the Quill language.
#pragma once

namespace CG {

// A word no printed identifier may equal; `isOperatorName` marks the words that are also operator-table names,
// whose name reservation comes from the operator instead.
struct ReservedWord {
  const char* text;
  bool isOperatorName;
};

// The 53 words the alias manager reserves, in registration order.
const ReservedWord* reservedWords(int* aCount);

// The words an enumerator name must not be printed as without "#" quoting (the literal layer's set).
bool isLiteralKeyword(const char* aText);

} // namespace CG
