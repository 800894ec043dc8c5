#pragma once
// The run-time class description shared by the class registry (creating classes by
// name from layer files) and the inspector (listing and editing published properties).

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <utility>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

class TPersistent;
class TOrvexPersistent;
class TOrvexLayer;

enum class TPropKind : uint8_t { Integer, Enumeration, Float, String, Set, Class };

// Integer, Enumeration (ordinal) and Set (bit mask) use int64_t; Float long double;
// String std::string; Class a (possibly null) TPersistent pointer.
using TPropValue = std::variant<int64_t, long double, std::string, TPersistent*>;

struct TPropInfo {
    std::string Name;
    TPropKind Kind = TPropKind::Integer;
    std::string TypeName;                 // "Integer", "TColor", "Smallint", "TOrvexFont", ...
    std::vector<std::string> ValueNames;  // enumeration values or set elements, by ordinal
    std::function<TPropValue(const TPersistent&)> Get;
    std::function<void(TPersistent&, const TPropValue&)> Set;  // empty: read-only

    bool Writable() const { return static_cast<bool>(Set); }
};

struct TClassInfo {
    std::string ClassName;
    const TClassInfo* Parent = nullptr;
    // The virtual constructor Create(Layer); empty for classes that cannot be created
    // from a layer file.
    std::function<TOrvexPersistent*(TOrvexLayer*)> Create;
    std::vector<TPropInfo> OwnProperties;

    // Published properties, inherited ones first, each level in declaration order.
    std::vector<const TPropInfo*> Properties() const;
    // Case-insensitive, like every name look-up of the component.
    const TPropInfo* FindProperty(const std::string& Name) const;
    bool InheritsFrom(const TClassInfo& Ancestor) const;
};

// Builds a property from a getter lambda `(const T&) -> V` and a setter lambda
// `(T&, V)`, or nullptr for a read-only property. V may be any integer or enumeration
// type, a floating type, std::string or a pointer to a TPersistent descendant.
//
// Both are checked: used on an object that is not a T they raise EInvalidCast. Before
// anything changes, the setter raises EOrvexException for a value its type cannot hold
// (70,000 for a Smallint, an ordinal past the enumeration's names, a bit outside the set)
// and EConvertError for a value of the wrong kind.
namespace classinfo_detail {
template <class F>
struct SetterArg;
template <class C, class Obj, class A>
struct SetterArg<void (C::*)(Obj&, A) const> {
    using type = std::decay_t<A>;
};

template <class V>
TPropValue Box(const V& Value) {
    if constexpr (std::is_pointer_v<V>)
        return TPropValue(static_cast<TPersistent*>(const_cast<std::remove_const_t<std::remove_pointer_t<V>>*>(Value)));
    else if constexpr (std::is_floating_point_v<V>)
        return TPropValue(static_cast<long double>(Value));
    else if constexpr (std::is_integral_v<V> || std::is_enum_v<V>)
        return TPropValue(static_cast<int64_t>(Value));
    else
        return TPropValue(std::string(Value));
}

TPersistent* CheckedClassRef(const TPropValue& Value);
[[noreturn]] void ThrowWrongClass(const std::string& ClassName);
[[noreturn]] void ThrowUsedOnWrongClass(const TPropInfo& Prop, const TPersistent& Object, const std::string& Owner);
[[noreturn]] void ThrowOutOfRange(const TPropInfo& Prop, int64_t Value);
[[noreturn]] void ThrowOutOfRange(const TPropInfo& Prop, long double Value);
const TPropValue& CheckKind(const TPropValue& Value, std::size_t Index);
// Ordinals of enumerations and bits of sets must name one of Prop's values.
void CheckNamedValue(const TPropInfo& Prop, int64_t Value);

template <class V>
V Unbox(const TPropValue& Value, const TPropInfo& Prop) {
    if constexpr (std::is_pointer_v<V>) {
        TPersistent* P = CheckedClassRef(Value);
        if (!P) return nullptr;
        auto* Cast = dynamic_cast<V>(P);
        if (!Cast) ThrowWrongClass(std::remove_pointer_t<V>::StaticClassInfo().ClassName);
        return Cast;
    } else if constexpr (std::is_floating_point_v<V>) {
        const long double X = std::get<long double>(CheckKind(Value, 1));
        if (std::isfinite(X) && std::fabs(X) > std::numeric_limits<V>::max()) ThrowOutOfRange(Prop, X);
        return static_cast<V>(X);
    } else if constexpr (std::is_integral_v<V> || std::is_enum_v<V>) {
        using U = typename std::conditional_t<std::is_enum_v<V>, std::underlying_type<V>, std::type_identity<V>>::type;
        const int64_t X = std::get<int64_t>(CheckKind(Value, 0));
        if constexpr (std::is_same_v<U, bool>) {
            if (X != 0 && X != 1) ThrowOutOfRange(Prop, X);
        } else if (std::cmp_less(X, std::numeric_limits<U>::min()) || std::cmp_greater(X, std::numeric_limits<U>::max())) {
            ThrowOutOfRange(Prop, X);
        }
        CheckNamedValue(Prop, X);
        return static_cast<V>(X);
    } else {
        return std::get<std::string>(CheckKind(Value, 2));
    }
}

// Object as a T; Object is a const or non-const TPersistent.
template <class T, class O>
auto& Target(O& Object, const TPropInfo& Prop) {
    auto* Cast = dynamic_cast<std::conditional_t<std::is_const_v<O>, const T*, T*>>(&Object);
    if (!Cast) ThrowUsedOnWrongClass(Prop, Object, T::StaticClassInfo().ClassName);
    return *Cast;
}
}  // namespace classinfo_detail

template <class T, class G, class S>
TPropInfo MakeProp(const std::string& Name, TPropKind Kind, const std::string& TypeName, G Getter, S Setter,
                   std::vector<std::string> ValueNames = {}) {
    TPropInfo P;
    P.Name = Name;
    P.Kind = Kind;
    P.TypeName = TypeName;
    P.ValueNames = std::move(ValueNames);
    // The description travels with the accessors, for their error messages.
    const TPropInfo Described = P;
    P.Get = [Getter, Described](const TPersistent& O) {
        return classinfo_detail::Box(Getter(classinfo_detail::Target<T>(O, Described)));
    };
    if constexpr (!std::is_same_v<S, std::nullptr_t>) {
        using Arg = typename classinfo_detail::SetterArg<decltype(&S::operator())>::type;
        P.Set = [Setter, Described](TPersistent& O, const TPropValue& V) {
            Setter(classinfo_detail::Target<T>(O, Described), classinfo_detail::Unbox<Arg>(V, Described));
        };
    }
    return P;
}
