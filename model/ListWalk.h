#pragma once
// Loops over the owned lists of the view and its layers that stay sound while the code they
// call changes the list: render handlers and the messages processed while printing may
// delete the member being visited, other members, or the list's owner itself.
//
// A walk goes by position in the live list. The list's owner keeps a TListWalks register and
// tells it of every removal and move, so that running walks keep their place: a member
// removed before the walk's position shifts it back, the member being visited is marked as
// gone, and members appended during the walk are visited too (a member moved from ahead of
// the walk to behind it waits for the next walk). When the owner is destroyed its register
// marks every running walk as finished.

#include <algorithm>
#include <cstddef>
#include <vector>

class TListWalks;

// Watches one member of a list (and the list's owner) while foreign code runs.
class TListWatch {
public:
    TListWatch(TListWalks* Walks, const void* Member);
    ~TListWatch();
    TListWatch(const TListWatch&) = delete;
    TListWatch& operator=(const TListWatch&) = delete;

    // The owner of the list has been destroyed: nothing of it may be touched any more.
    bool OwnerGone() const { return FWalks == nullptr; }
    // The watched member has left the list (or the owner is gone).
    bool MemberGone() const { return FMember == nullptr || FWalks == nullptr; }

protected:
    friend class TListWalks;
    TListWalks* FWalks;
    const void* FMember;
    // Position of the next member to visit (walks only).
    size_t FNext = 0;
};

// The register of running walks and watches that the owner of a list keeps beside it.
class TListWalks {
public:
    TListWalks() = default;
    // Every walk still running learns that the owner is gone.
    ~TListWalks();
    TListWalks(const TListWalks&) = delete;
    TListWalks& operator=(const TListWalks&) = delete;

    // The member at Index has left the list.
    void Removed(size_t Index, const void* Member);
    // The member at From now stands at To (the others between shifted by one).
    void Moved(size_t From, size_t To);

private:
    friend class TListWatch;
    std::vector<TListWatch*> FActive;
};

// Visits the members of List in order, each once.
template <class T>
class TListWalk : public TListWatch {
public:
    TListWalk(TListWalks& Walks, const std::vector<T*>& List) : TListWatch(&Walks, nullptr), FList(&List) {}

    // The next member, or null at the end and once the owner is gone. The member returned is
    // the one watched until the next call.
    T* Next() {
        if (OwnerGone() || FNext >= FList->size()) {
            FMember = nullptr;
            return nullptr;
        }
        T* Member = (*FList)[FNext++];
        FMember = Member;
        return Member;
    }
    // The position of the member Next returns.
    size_t Position() const { return FNext; }
    // Goes on at Position (not before the current one): the members before it are passed over.
    void Seek(size_t Position) { FNext = std::max(FNext, Position); }

private:
    const std::vector<T*>* FList;
};

// Removes the last occurrence of Member from List and tells Walks. False when it is absent.
template <class T>
bool RemoveListMember(std::vector<T*>& List, const T* Member, TListWalks& Walks) {
    auto It = std::find(List.rbegin(), List.rend(), Member);
    if (It == List.rend()) return false;
    const auto Pos = std::next(It).base();
    const size_t Index = static_cast<size_t>(Pos - List.begin());
    List.erase(Pos);
    Walks.Removed(Index, Member);
    return true;
}

// Moves the member at From to To (both valid positions) and tells Walks.
template <class T>
void MoveListMember(std::vector<T*>& List, size_t From, size_t To, TListWalks& Walks) {
    if (From == To) return;
    if (To > From)
        std::rotate(List.begin() + From, List.begin() + From + 1, List.begin() + To + 1);
    else
        std::rotate(List.begin() + To, List.begin() + From, List.begin() + From + 1);
    Walks.Moved(From, To);
}
