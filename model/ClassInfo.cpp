#include "model/ClassInfo.h"

#include <strings.h>

#include "foundation/OrvexExceptions.h"
#include "model/Persistent.h"

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

void ThrowUsedOnWrongClass(const TPropInfo& Prop, const TPersistent& Object, const std::string& Owner) {
    throw EInvalidCast(Format("Invalid class typecast: property %s of %s used on a %s", Prop.Name.c_str(),
                              Owner.c_str(), Object.ClassName().c_str()));
}

void ThrowOutOfRange(const TPropInfo& Prop, int64_t Value) {
    throw EOrvexException(Format("%lld is not a valid value for %s (%s)", static_cast<long long>(Value),
                               Prop.Name.c_str(), Prop.TypeName.c_str()));
}

void ThrowOutOfRange(const TPropInfo& Prop, long double Value) {
    throw EOrvexException(
        Format("%Lg is not a valid value for %s (%s)", Value, Prop.Name.c_str(), Prop.TypeName.c_str()));
}

void CheckNamedValue(const TPropInfo& Prop, int64_t Value) {
    const auto Names = static_cast<int64_t>(Prop.ValueNames.size());
    if (Names == 0) return;
    if (Prop.Kind == TPropKind::Enumeration && (Value < 0 || Value >= Names)) ThrowOutOfRange(Prop, Value);
    if (Prop.Kind == TPropKind::Set && Names < 63 && (Value < 0 || Value >= (int64_t(1) << Names)))
        ThrowOutOfRange(Prop, Value);
}

const TPropValue& CheckKind(const TPropValue& Value, std::size_t Index) {
    if (Value.index() != Index) throw EConvertError("Invalid property value type");
    return Value;
}
}  // namespace classinfo_detail
