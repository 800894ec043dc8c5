#pragma once
// A name-driven view of any inspectable item for the inspector: its published properties as
// text, with pick lists and editor dialogs supplied by property handlers chosen by type or
// property name.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/NumberText.h"
#include "model/ClassInfo.h"
#include "platform/DeviceContext.h"

class TPersistent;

// Attribute flags of a property handler.
constexpr int32_t paDialog = 1;     // an editor dialog, reached by an ellipsis button
constexpr int32_t paValueList = 2;  // a pick list
constexpr int32_t paPlain = 4;      // plain text

// The plain handler; its subclasses override what their kind of value needs.
class TOrvexPropertyHandler {
public:
    virtual ~TOrvexPropertyHandler() = default;

    // Adds the pick-list entries to List.
    virtual void GetValues(TPersistent* Instance, const TPropInfo& Prop, std::vector<std::string>& List);
    virtual std::string GetValue(TPersistent* Instance, const TPropInfo& Prop);
    // Text that does not convert, or names a value the property cannot hold, changes nothing.
    virtual void SetValue(TPersistent* Instance, const TPropInfo& Prop, const std::string& Text);
    // Runs the property's editor; true when the shown value is to be read again.
    virtual bool Edit(TPersistent* Instance, const TPropInfo& Prop);
    virtual int32_t GetAttributes(TPersistent* Instance, const TPropInfo& Prop);
};

class TOrvexColorHandler : public TOrvexPropertyHandler {
public:
    void GetValues(TPersistent* Instance, const TPropInfo& Prop, std::vector<std::string>& List) override;
    std::string GetValue(TPersistent* Instance, const TPropInfo& Prop) override;
    void SetValue(TPersistent* Instance, const TPropInfo& Prop, const std::string& Text) override;
    bool Edit(TPersistent* Instance, const TPropInfo& Prop) override;
    int32_t GetAttributes(TPersistent* Instance, const TPropInfo& Prop) override;
};

// An object's presenter, chosen by name among its layer's and the global layer's presenters.
class TOrvexPresenterHandler : public TOrvexPropertyHandler {
public:
    // Raises EInvalidCast when Instance is not a map object.
    void GetValues(TPersistent* Instance, const TPropInfo& Prop, std::vector<std::string>& List) override;
    std::string GetValue(TPersistent* Instance, const TPropInfo& Prop) override;
    void SetValue(TPersistent* Instance, const TPropInfo& Prop, const std::string& Text) override;
    int32_t GetAttributes(TPersistent* Instance, const TPropInfo& Prop) override;
};

class TOrvexSetHandler : public TOrvexPropertyHandler {
public:
    bool Edit(TPersistent* Instance, const TPropInfo& Prop) override;
    int32_t GetAttributes(TPersistent* Instance, const TPropInfo& Prop) override;
};

// Angles and distances in OrvexUnits, edited with their value in degrees, nautical miles and
// kilometres alongside.
class TOrvexUnitHandler : public TOrvexPropertyHandler {
public:
    bool Edit(TPersistent* Instance, const TPropInfo& Prop) override;
    int32_t GetAttributes(TPersistent* Instance, const TPropInfo& Prop) override;
};

class TFontNameHandler : public TOrvexPropertyHandler {
public:
    bool Edit(TPersistent* Instance, const TPropInfo& Prop) override;
    int32_t GetAttributes(TPersistent* Instance, const TPropInfo& Prop) override;
};

// A file name (a layer's, a bitmap's, a picture's): the file system's bytes, shown and typed
// as text.
class TFileNameHandler : public TOrvexPropertyHandler {
public:
    std::string GetValue(TPersistent* Instance, const TPropInfo& Prop) override;
    void SetValue(TPersistent* Instance, const TPropInfo& Prop, const std::string& Text) override;
};

// The handler registry: keys are matched, ignoring case, against the property's type name,
// "." + the property's name, and the instance's class name + "." + the property's name.
struct THandlerRegistration {
    std::string Key;
    std::function<std::unique_ptr<TOrvexPropertyHandler>()> Create;
};
const std::vector<THandlerRegistration>& PropertyHandlerRegistry();
// The handler of the last matching registry entry, or a plain handler.
std::unique_ptr<TOrvexPropertyHandler> MakePropertyHandler(const std::string& ClassName, const TPropInfo& Prop);

// The published properties of one item, each with its handler. Index is the property's
// position, 0 to Count() - 1; any other index raises EListError.
class TOrvexProperties {
public:
    // Instance is not owned; null gives an empty list.
    explicit TOrvexProperties(TPersistent* Instance);
    virtual ~TOrvexProperties();
    TOrvexProperties(const TOrvexProperties&) = delete;
    TOrvexProperties& operator=(const TOrvexProperties&) = delete;

    TPersistent* Instance() const { return FInstance; }
    int32_t Count() const { return static_cast<int32_t>(FProps.size()); }
    const TPropInfo& Prop(int32_t Index) const;
    const std::string& PropName(int32_t Index) const;
    virtual TPropKind PropKind(int32_t Index) const;
    virtual int32_t PropAttributes(int32_t Index) const;
    // The ordinal of an integer, enumeration or set property (0 for other kinds).
    int64_t OrdValue(int32_t Index) const;
    // The item a class-reference property refers to (what the inspector opens), or null.
    TPersistent* ObjectValue(int32_t Index) const;
    std::string GetValue(int32_t Index) const;
    // Read-only properties ignore it.
    void SetValue(int32_t Index, const std::string& Text);
    bool Edit(int32_t Index);
    void GetValues(int32_t Index, std::vector<std::string>& List) const;

private:
    void CheckIndex(int32_t Index) const;

    TPersistent* FInstance;
    std::vector<const TPropInfo*> FProps;
    std::vector<std::unique_ptr<TOrvexPropertyHandler>> FHandlers;
};

// The named colours: the sixteen basic ones, the system colours and clNone.
struct TNamedColor {
    const char* Name;
    uint32_t Value;
};
std::span<const TNamedColor> NamedColors();
// Name of a colour value; false when it has none.
bool ColorToName(TColor Color, std::string& Name);
// Value of a colour name, ignoring case; false for an unknown name.
bool NameToColor(std::string_view Name, TColor& Color);

// The platform's colour choice, opened on Color; true (and Color changed) when confirmed.
// System colours and clNone open on their on-screen equivalent or black.
bool ChooseColor(TColor& Color);

// Integer text of the property grid (its reals: foundation/NumberText.h).
// Decimal, or hexadecimal after "$" (up to eight digits, read as a 32-bit pattern); blanks
// around the number are allowed. Result: ok, not a number, or a number out of 64-bit range.
enum class TIntText : uint8_t { itOk, itNotInteger, itOutOfRange };
TIntText ParseIntegerText(std::string_view Text, int64_t& Value);
