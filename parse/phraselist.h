// The pool lists the grammar builds for the operands and cases of a body.
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "ir/mempool.h"

namespace CG {

// A list of pointers in source order, duplicates allowed. The list and its storage come from one pool
// and go with it: a text holds hundreds of thousands of short lists, and freeing them one by one (or
// keeping them until the parse ends) would cost more than reading them.
template <class T>
class QulPhraseList {
    static_assert(std::is_trivially_copyable<T>::value, "phrase lists hold pointers");

public:
    // Pool memory only: the pool frees the list without running its destructor.
    using PoolReclaimsStorage = void;

    explicit QulPhraseList(MemPool* aPool) : fPool(aPool) {}
    QulPhraseList(const QulPhraseList&) = delete;
    QulPhraseList& operator=(const QulPhraseList&) = delete;

    size_t size() const { return fSize; }
    bool empty() const { return fSize == 0; }
    T* begin() const { return fItems; }
    T* end() const { return fItems + fSize; }
    T& operator[](size_t aIndex) const { return fItems[aIndex]; }
    T& front() const { return fItems[0]; }
    T& back() const { return fItems[fSize - 1]; }

    void push_back(T aItem)
    {
        reserveOneMore();
        fItems[fSize++] = aItem;
    }
    void push_front(T aItem)
    {
        reserveOneMore();
        std::memmove(fItems + 1, fItems, fSize * sizeof(T));
        fItems[0] = aItem;
        ++fSize;
    }

private:
    void reserveOneMore()
    {
        if (fSize < fCapacity) {
            return;
        }
        size_t capacity = fCapacity == 0 ? 2 : fCapacity * 2;
        T* items = static_cast<T*>(fPool->alloc(capacity * sizeof(T), alignof(T)));
        if (fSize > 0) {
            std::memcpy(items, fItems, fSize * sizeof(T));
        }
        fPool->recycle(fItems, fCapacity * sizeof(T));
        fItems = items;
        fCapacity = capacity;
    }

    MemPool* fPool;
    T* fItems = nullptr;
    size_t fSize = 0;
    size_t fCapacity = 0;
};

} // namespace CG
