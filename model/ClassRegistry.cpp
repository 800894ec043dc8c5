#include "model/ClassRegistry.h"

#include <algorithm>
#include <strings.h>

#include "foundation/OrvexExceptions.h"
#include "model/ClassInfo.h"

namespace {
bool NameLess(const TClassInfo* A, const std::string& B) { return strcasecmp(A->ClassName.c_str(), B.c_str()) < 0; }
}  // namespace

void TOrvexClassRegistry::Register(const TClassInfo& Class) {
    for (const TClassInfo* C : FClasses)
        if (C->ClassName == Class.ClassName)
            throw EOrvexException(
                Format("TOrvex3.RegisterOrvexClass: Class %s already registered", Class.ClassName.c_str()));
    auto It = std::lower_bound(FClasses.begin(), FClasses.end(), Class.ClassName, NameLess);
    FClasses.insert(It, &Class);
}

const TClassInfo* TOrvexClassRegistry::Find(const std::string& ClassName) const {
    auto It = std::lower_bound(FClasses.begin(), FClasses.end(), ClassName, NameLess);
    if (It != FClasses.end() && strcasecmp((*It)->ClassName.c_str(), ClassName.c_str()) == 0) return *It;
    return nullptr;
}
