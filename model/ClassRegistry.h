#pragma once
// The classes that layer files may name, kept sorted by name (case-insensitively).

#include <string>
#include <vector>

struct TClassInfo;

class TOrvexClassRegistry {
public:
    // Raises EOrvexException "TOrvex3.RegisterOrvexClass: Class %s already registered" when
    // a class of exactly that name is registered.
    void Register(const TClassInfo& Class);
    // Case-insensitive; null when absent.
    const TClassInfo* Find(const std::string& ClassName) const;
    // In sorted order.
    const std::vector<const TClassInfo*>& Classes() const { return FClasses; }

private:
    std::vector<const TClassInfo*> FClasses;
};
