#include "model/Persistent.h"

#include "foundation/OrvexExceptions.h"

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
