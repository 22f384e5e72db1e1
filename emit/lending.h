// A field pointed at a value for the length of a scope; scratch objects lent the same way and kept for reuse.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

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

// Scratch objects of one kind, each lent for the length of a scope and then kept: work that nests (a region
// inside a region) takes one per level, and work done again and again (body after body) reuses the room the
// largest took instead of growing fresh tables each time. An object is emptied (clear()) as it is lent.
template <class T> class ScratchStack {
public:
  class Loan {
  public:
    explicit Loan(ScratchStack& aStack) : fStack(aStack), fItem(aStack.lend()) {}
    ~Loan() { --fStack.fLent; }
    Loan(const Loan&) = delete;
    Loan& operator=(const Loan&) = delete;
    T* get() const { return fItem; }
    T* operator->() const { return fItem; }

  private:
    ScratchStack& fStack;
    T* fItem;
  };

private:
  T* lend() {
    if (fLent == fItems.size()) {
      fItems.push_back(std::make_unique<T>());
    }
    T* item = fItems[fLent++].get();
    item->clear();
    return item;
  }

  std::vector<std::unique_ptr<T>> fItems;
  size_t fLent = 0;
};

} // namespace CG
