// A field pointed at a value for the length of a scope.
#pragma once

namespace CG {

// Points a field at a value until the end of the scope, then back at what it pointed to before.
template <class T> class Lending {
public:
  Lending(T*& aField, T* aValue) : fField(aField), fSaved(aField) { aField = aValue; }
  ~Lending() { fField = fSaved; }
  Lending(const Lending&) = delete;
  Lending& operator=(const Lending&) = delete;

private:
  T*& fField;
  T* fSaved;
};

} // namespace CG
