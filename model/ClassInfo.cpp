#include "model/ClassInfo.h"

#include <strings.h>

#include "foundation/OrvexExceptions.h"

std::vector<const TPropInfo*> TClassInfo::Properties() const {
    std::vector<const TPropInfo*> Result;
    if (Parent) Result = Parent->Properties();
    for (const TPropInfo& P : OwnProperties) Result.push_back(&P);
    return Result;
}

const TPropInfo* TClassInfo::FindProperty(const std::string& Name) const {
    for (const TClassInfo* C = this; C; C = C->Parent)
        for (const TPropInfo& P : C->OwnProperties)
            if (strcasecmp(P.Name.c_str(), Name.c_str()) == 0) return &P;
    return nullptr;
}

bool TClassInfo::InheritsFrom(const TClassInfo& Ancestor) const {
    for (const TClassInfo* C = this; C; C = C->Parent)
        if (C == &Ancestor) return true;
    return false;
}

namespace classinfo_detail {
TPersistent* CheckedClassRef(const TPropValue& Value) {
    return std::get<TPersistent*>(CheckKind(Value, 3));
}

void ThrowWrongClass(const std::string& ClassName) {
    throw EInvalidCast(Format("Invalid class typecast to %s", ClassName.c_str()));
}

const TPropValue& CheckKind(const TPropValue& Value, std::size_t Index) {
    if (Value.index() != Index) throw EConvertError("Invalid property value type");
    return Value;
}
}  // namespace classinfo_detail
