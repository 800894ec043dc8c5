#include "model/Persistent.h"

#include <unordered_map>

#include "foundation/OrvexExceptions.h"

namespace {

using TTokens = std::unordered_map<const TPersistent*, TLiveness*>;
// Made by the first reference a thread takes; a thread that takes none pays one load per
// destruction. Never destroyed: items may outlive the thread's own storage at exit.
thread_local TTokens* Tokens = nullptr;

}  // namespace

TPersistent::~TPersistent() {
    if (!Tokens || Tokens->empty()) return;
    const auto It = Tokens->find(this);
    if (It == Tokens->end()) return;
    It->second->Alive = false;
    TLiveness::Drop(It->second);
    Tokens->erase(It);
}

TLiveness* TPersistent::HoldLiveness() const {
    if (!Tokens) Tokens = new TTokens;
    TLiveness*& Token = (*Tokens)[this];
    if (!Token) Token = new TLiveness;
    return TLiveness::Hold(Token);
}

const TClassInfo& TPersistent::StaticClassInfo() {
    static const TClassInfo Info{"TPersistent", nullptr, {}, {}};
    return Info;
}

const TClassInfo& TPersistent::ClassInfo() const { return StaticClassInfo(); }

void TPersistent::CopyTo(TPersistent& Dest) const { Dest.AssignError(this); }

void TPersistent::CopyFrom(const TPersistent* Source) {
    if (Source)
        Source->CopyTo(*this);
    else
        AssignError(nullptr);
}

void TPersistent::AssignError(const TPersistent* Source) const {
    const std::string SourceName = Source ? Source->ClassName() : "nil";
    throw EInvalidCast(Format("Cannot assign a %s to a %s", SourceName.c_str(), ClassName().c_str()));
}
