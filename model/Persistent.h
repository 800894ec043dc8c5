#pragma once
// The framework's persistent root: assignable objects that describe their class at run
// time. Layers, objects, presenters, attributes and projections derive from it.

#include <cstdint>
#include <string>
#include <utility>

#include "model/ClassInfo.h"

// Whether a persistent object still exists. The object and every TPersistentRef to it share
// one; the end of the object's destruction clears it, so a reference read later finds nothing
// instead of freed memory (callbacks from the destructors themselves still find the item).
// Objects are many and small and few are ever referred to like this: the tokens are kept
// aside, by item, made when the first reference is taken. References are taken and items
// freed on the model's one thread, so the counts need no atomics.
struct TLiveness {
    bool Alive = true;
    uint32_t Holders = 1;
    static TLiveness* Hold(TLiveness* L) {
        if (L) ++L->Holders;
        return L;
    }
    static void Drop(TLiveness* L) {
        if (L && --L->Holders == 0) delete L;
    }
};

class TPersistent {
public:
    virtual ~TPersistent();
    // Persistent objects own what they hold (a layer its objects, a presenter its pens and
    // fonts) and are linked into their owners' lists: a C++ copy would free twice and be in
    // no list. Copying the state is CopyFrom's work.
    TPersistent(const TPersistent&) = delete;
    TPersistent& operator=(const TPersistent&) = delete;

    static const TClassInfo& StaticClassInfo();
    virtual const TClassInfo& ClassInfo() const;
    const std::string& ClassName() const { return ClassInfo().ClassName; }

    // Copies this object's state into Dest. The root cannot: it raises EInvalidCast.
    virtual void CopyTo(TPersistent& Dest) const;
    virtual void DefineStoredData() {}
    // Copies Source's state into this object. The root hands the work to Source.CopyTo,
    // so a class that cannot take Source ends in EInvalidCast.
    virtual void CopyFrom(const TPersistent* Source);

    // The token references share, held once more for the caller.
    TLiveness* HoldLiveness() const;

protected:
    TPersistent() = default;

    [[noreturn]] void AssignError(const TPersistent* Source) const;

};

// A reference that cannot dangle: it reads null once the item is freed. Holders of items they
// do not own (a current item, an inspector's path) keep these instead of plain pointers, and
// need no word when the item goes.
template <class T>
class TPersistentRef {
public:
    TPersistentRef() = default;
    TPersistentRef(T* Item) : FItem(Item), FLiveness(Item ? Item->HoldLiveness() : nullptr) {}
    TPersistentRef(const TPersistentRef& Other) : FItem(Other.FItem), FLiveness(TLiveness::Hold(Other.FLiveness)) {}
    TPersistentRef(TPersistentRef&& Other) noexcept
        : FItem(std::exchange(Other.FItem, nullptr)), FLiveness(std::exchange(Other.FLiveness, nullptr)) {}
    TPersistentRef& operator=(TPersistentRef Other) noexcept {
        std::swap(FItem, Other.FItem);
        std::swap(FLiveness, Other.FLiveness);
        return *this;
    }
    ~TPersistentRef() { TLiveness::Drop(FLiveness); }

    T* Get() const { return FLiveness && FLiveness->Alive ? FItem : nullptr; }
    operator T*() const { return Get(); }
    T* operator->() const { return Get(); }
    // It referred to an item that has been freed since.
    bool Expired() const { return FLiveness && !FLiveness->Alive; }
    void Reset() { *this = TPersistentRef(); }

private:
    T* FItem = nullptr;
    TLiveness* FLiveness = nullptr;
};

// Declares the class description accessors of a persistent class.
#define ORVEX_CLASS_INFO                              \
public:                                               \
    static const TClassInfo& StaticClassInfo();       \
    const TClassInfo& ClassInfo() const override;     \
                                                      \
private:
