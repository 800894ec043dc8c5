#pragma once
// The framework's persistent root: assignable objects that describe their class at run
// time. Layers, objects, presenters, attributes and projections derive from it.

#include <string>

#include "model/ClassInfo.h"

class TPersistent {
public:
    virtual ~TPersistent() = default;
    // Persistent objects own what they hold (a layer its objects, a presenter its pens and
    // fonts) and are linked into their owners' lists: a C++ copy would free twice and be in
    // no list. Copying the state is CopyFrom's work.
    TPersistent(const TPersistent&) = delete;
    TPersistent& operator=(const TPersistent&) = delete;

    static const TClassInfo& StaticClassInfo();
    virtual const TClassInfo& ClassInfo() const;
    const std::string& ClassName() const { return ClassInfo().ClassName; }

    // Copies this object's state into Dest. The root cannot: it raises EInvalidCast.
    virtual void CopyTo(TPersistent& Dest) const;
    virtual void DefineStoredData() {}
    // Copies Source's state into this object. The root hands the work to Source.CopyTo,
    // so a class that cannot take Source ends in EInvalidCast.
    virtual void CopyFrom(const TPersistent* Source);

protected:
    TPersistent() = default;

    [[noreturn]] void AssignError(const TPersistent* Source) const;
};

// Declares the class description accessors of a persistent class.
#define ORVEX_CLASS_INFO                              \
public:                                               \
    static const TClassInfo& StaticClassInfo();       \
    const TClassInfo& ClassInfo() const override;     \
                                                      \
private:
