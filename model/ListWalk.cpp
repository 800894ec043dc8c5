#include "model/ListWalk.h"

TListWatch::TListWatch(TListWalks* Walks, const void* Member) : FWalks(Walks), FMember(Member) {
    if (FWalks) FWalks->FActive.push_back(this);
}

TListWatch::~TListWatch() {
    if (!FWalks) return;
    auto& A = FWalks->FActive;
    // Walks nest, so the one ending is nearly always the last.
    auto It = std::find(A.rbegin(), A.rend(), this);
    if (It != A.rend()) A.erase(std::next(It).base());
}

TListWalks::~TListWalks() {
    for (TListWatch* W : FActive) W->FWalks = nullptr;
}

void TListWalks::Removed(size_t Index, const void* Member) {
    for (TListWatch* W : FActive) {
        if (W->FMember == Member) W->FMember = nullptr;
        if (Index < W->FNext) --W->FNext;
    }
}

void TListWalks::Moved(size_t From, size_t To) {
    for (TListWatch* W : FActive) {
        size_t Next = W->FNext;
        if (From < Next) --Next;
        if (To < Next) ++Next;
        W->FNext = Next;
    }
}
