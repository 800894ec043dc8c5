#include "model/OrvexPersistent.h"

#include "foundation/OrvexExceptions.h"

const TClassInfo& TOrvexPersistent::StaticClassInfo() {
    static const TClassInfo Info{"TOrvexPersistent", &TPersistent::StaticClassInfo(), {}, {}};
    return Info;
}

const TClassInfo& TOrvexPersistent::ClassInfo() const { return StaticClassInfo(); }

void TOrvexPersistent::SaveToStream(TOrvexStream&) { throw EAbstractError(); }

void TOrvexPersistent::LoadFromStream(TOrvexStream&) { throw EAbstractError(); }

void TOrvexPersistent::CopyFrom(const TPersistent* Source) {
    if (dynamic_cast<const TOrvexPersistent*>(Source)) return;
    TPersistent::CopyFrom(Source);
}
