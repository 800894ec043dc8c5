#pragma once
// Points a member at something that lives only in the current scope (a local, an entry of a
// list being drawn), and points it back at nothing on the way out, exceptions included, so
// that nothing is left pointing at what the scope frees.

template <class T>
class TResetOnExit {
public:
    TResetOnExit(T*& Slot, T* Value) : FSlot(Slot) { FSlot = Value; }
    ~TResetOnExit() { FSlot = nullptr; }
    TResetOnExit(const TResetOnExit&) = delete;
    TResetOnExit& operator=(const TResetOnExit&) = delete;

private:
    T*& FSlot;
};
