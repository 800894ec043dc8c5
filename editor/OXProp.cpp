#include "editor/OXProp.h"

#include <QApplication>
#include <QColorDialog>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <algorithm>
#include <array>
#include <cfloat>
#include <charconv>
#include <limits>
#include <strings.h>

#include "editor/PropertyForm.h"
#include "foundation/OrvexExceptions.h"
#include "importers/ImportSupport.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/Text.h"
#include "platform/UiServices.h"
#include "styling/OrvexPresenter.h"
#include "view/Orvex3.h"

namespace {

constexpr uint32_t kSystemColorBase = 0x80000000u;
constexpr uint32_t kColorNone = 0x1FFFFFFFu;

constexpr std::array<TNamedColor, 42> kNamedColors{{
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clScrollBar", kSystemColorBase + 0},
    {"clBackground", kSystemColorBase + 1},
    {"clActiveCaption", kSystemColorBase + 2},
    {"clInactiveCaption", kSystemColorBase + 3},
    {"clMenu", kSystemColorBase + 4},
    {"clWindow", kSystemColorBase + 5},
    {"clWindowFrame", kSystemColorBase + 6},
    {"clMenuText", kSystemColorBase + 7},
    {"clWindowText", kSystemColorBase + 8},
    {"clCaptionText", kSystemColorBase + 9},
    {"clActiveBorder", kSystemColorBase + 10},
    {"clInactiveBorder", kSystemColorBase + 11},
    {"clAppWorkSpace", kSystemColorBase + 12},
    {"clHighlight", kSystemColorBase + 13},
    {"clHighlightText", kSystemColorBase + 14},
    {"clBtnFace", kSystemColorBase + 15},
    {"clBtnShadow", kSystemColorBase + 16},
    {"clGrayText", kSystemColorBase + 17},
    {"clBtnText", kSystemColorBase + 18},
    {"clInactiveCaptionText", kSystemColorBase + 19},
    {"clBtnHighlight", kSystemColorBase + 20},
    {"cl3DDkShadow", kSystemColorBase + 21},
    {"cl3DLight", kSystemColorBase + 22},
    {"clInfoText", kSystemColorBase + 23},
    {"clInfoBk", kSystemColorBase + 24},
    {"clNone", kColorNone},
}};
constexpr size_t kBasicColorCount = 16;

// The range of values an ordinal property's type holds; the setters take these C++ types,
// so anything outside would wrap.
bool FitsOrdinalType(const std::string& TypeName, int64_t Value) {
    struct TRange {
        const char* Name;
        int64_t Min, Max;
    };
    static constexpr TRange kRanges[] = {
        {"Shortint", INT8_MIN, INT8_MAX},   {"Byte", 0, UINT8_MAX},          {"Smallint", INT16_MIN, INT16_MAX},
        {"Word", 0, UINT16_MAX},            {"Cardinal", 0, UINT32_MAX},     {"LongWord", 0, UINT32_MAX},
        {"Int64", INT64_MIN, INT64_MAX},
    };
    for (const TRange& R : kRanges)
        if (strcasecmp(R.Name, TypeName.c_str()) == 0) return Value >= R.Min && Value <= R.Max;
    // Integer, Longint, TColor and every other integer type are 32 bits wide.
    return Value >= INT32_MIN && Value <= INT32_MAX;
}

bool FitsFloatType(const std::string& TypeName, long double Value) {
    if (strcasecmp(TypeName.c_str(), "Single") == 0) return std::fabs(Value) <= FLT_MAX;
    if (strcasecmp(TypeName.c_str(), "Extended") == 0) return std::isfinite(Value);
    return std::fabs(Value) <= DBL_MAX;
}

// Writes through the property's setter; read-only properties and missing instances ignore it.
void WriteValue(TPersistent* Instance, const TPropInfo& Prop, const TPropValue& Value) {
    if (Instance && Prop.Writable()) Prop.Set(*Instance, Value);
}

int64_t ReadOrdinal(TPersistent* Instance, const TPropInfo& Prop) {
    const TPropValue V = Prop.Get(*Instance);
    const int64_t* I = std::get_if<int64_t>(&V);
    return I ? *I : 0;
}

QWidget* DialogParent() { return QApplication::activeWindow(); }

TOrvexObject& MapObject(TPersistent* Instance) {
    auto* Obj = dynamic_cast<TOrvexObject*>(Instance);
    if (!Obj) throw EInvalidCast("Invalid class typecast");
    return *Obj;
}

QColor ToQColor(TColor Color) {
    const auto V = static_cast<uint32_t>(Color);
    if (V >= kSystemColorBase && V <= kSystemColorBase + 24) {
        static constexpr QPalette::ColorRole kRoles[25] = {
            QPalette::Button,        QPalette::Window,     QPalette::Highlight,     QPalette::Mid,
            QPalette::Window,        QPalette::Base,       QPalette::Shadow,        QPalette::WindowText,
            QPalette::Text,          QPalette::HighlightedText, QPalette::Mid,      QPalette::Midlight,
            QPalette::Dark,          QPalette::Highlight,  QPalette::HighlightedText, QPalette::Button,
            QPalette::Dark,          QPalette::PlaceholderText, QPalette::ButtonText, QPalette::WindowText,
            QPalette::Light,         QPalette::Shadow,     QPalette::Midlight,      QPalette::ToolTipText,
            QPalette::ToolTipBase};
        return QApplication::palette().color(kRoles[V - kSystemColorBase]);
    }
    if (V > 0xFFFFFF) return QColor(Qt::black);
    return QColor(int(V & 0xFF), int((V >> 8) & 0xFF), int((V >> 16) & 0xFF));
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Number texts

TIntText ParseIntegerText(std::string_view Text, int64_t& Value) {
    Text = TrimText(Text);
    bool Negative = false;
    if (!Text.empty() && (Text.front() == '+' || Text.front() == '-')) {
        Negative = Text.front() == '-';
        Text.remove_prefix(1);
    }
    int Base = 10;
    if (!Text.empty() && Text.front() == '$') {
        Base = 16;
        Text.remove_prefix(1);
    } else if (Text.size() > 1 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X')) {
        Base = 16;
        Text.remove_prefix(2);
    }
    if (Text.empty() || !std::isxdigit(static_cast<unsigned char>(Text.front()))) return TIntText::itNotInteger;
    uint64_t Magnitude = 0;
    const auto [End, Ec] = std::from_chars(Text.data(), Text.data() + Text.size(), Magnitude, Base);
    if (End != Text.data() + Text.size()) return TIntText::itNotInteger;
    if (Ec == std::errc::result_out_of_range) return TIntText::itOutOfRange;
    if (Ec != std::errc()) return TIntText::itNotInteger;
    int64_t Signed;
    if (Base == 16) {
        // Hexadecimal spells a 32-bit pattern, so $80000000 is the lowest Integer.
        if (Magnitude > UINT32_MAX) return TIntText::itOutOfRange;
        Signed = static_cast<int32_t>(static_cast<uint32_t>(Magnitude));
    } else {
        if (Magnitude > static_cast<uint64_t>(INT64_MAX) + (Negative ? 1 : 0)) return TIntText::itOutOfRange;
        if (Negative && Magnitude == static_cast<uint64_t>(INT64_MAX) + 1) {
            Value = INT64_MIN;
            return TIntText::itOk;
        }
        Signed = static_cast<int64_t>(Magnitude);
    }
    Value = Negative ? -Signed : Signed;
    return TIntText::itOk;
}

// ---------------------------------------------------------------------------------------
// Named colours

std::span<const TNamedColor> NamedColors() { return kNamedColors; }

bool ColorToName(TColor Color, std::string& Name) {
    for (const TNamedColor& C : kNamedColors)
        if (C.Value == static_cast<uint32_t>(Color)) {
            Name = C.Name;
            return true;
        }
    return false;
}

bool NameToColor(std::string_view Name, TColor& Color) {
    for (const TNamedColor& C : kNamedColors)
        if (SameText(C.Name, Name)) {
            Color = static_cast<TColor>(C.Value);
            return true;
        }
    return false;
}

bool ChooseColor(TColor& Color) {
    QColorDialog Dialog(ToQColor(Color), DialogParent());
    Dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (!UiServices().ExecDialog(Dialog)) return false;
    const QColor C = Dialog.currentColor();
    Color = static_cast<TColor>(uint32_t(C.red()) | uint32_t(C.green()) << 8 | uint32_t(C.blue()) << 16);
    return true;
}

// ---------------------------------------------------------------------------------------
// The plain handler

void TOrvexPropertyHandler::GetValues(TPersistent*, const TPropInfo& Prop, std::vector<std::string>& List) {
    if (Prop.Kind == TPropKind::Enumeration) List.insert(List.end(), Prop.ValueNames.begin(), Prop.ValueNames.end());
}

std::string TOrvexPropertyHandler::GetValue(TPersistent* Instance, const TPropInfo& Prop) {
    if (!Instance) return {};
    const TPropValue V = Prop.Get(*Instance);
    switch (Prop.Kind) {
        case TPropKind::Integer:
            return std::to_string(std::get<int64_t>(V));
        case TPropKind::Enumeration: {
            const int64_t Ord = std::get<int64_t>(V);
            if (Ord >= 0 && Ord < static_cast<int64_t>(Prop.ValueNames.size()))
                return Prop.ValueNames[static_cast<size_t>(Ord)];
            return std::to_string(Ord);
        }
        case TPropKind::Float:
            return FloatToText(std::get<long double>(V));
        case TPropKind::String:
            return std::get<std::string>(V);
        case TPropKind::Set: {
            const int64_t Bits = std::get<int64_t>(V);
            std::string Text = "[";
            for (size_t I = 0; I < Prop.ValueNames.size() && I < 64; ++I)
                if (Bits & (int64_t(1) << I)) {
                    if (Text.size() > 1) Text += ',';
                    Text += Prop.ValueNames[I];
                }
            return Text + "]";
        }
        case TPropKind::Class:
            return "(" + Prop.TypeName + ")";
    }
    return {};
}

void TOrvexPropertyHandler::SetValue(TPersistent* Instance, const TPropInfo& Prop, const std::string& Text) {
    switch (Prop.Kind) {
        case TPropKind::Integer: {
            if (Text.empty()) return;
            int64_t Value = 0;
            const TIntText Result = ParseIntegerText(Text, Value);
            if (Result == TIntText::itOutOfRange) return;
            if (Result == TIntText::itNotInteger) Value = 0;
            if (!FitsOrdinalType(Prop.TypeName, Value)) return;
            WriteValue(Instance, Prop, Value);
            return;
        }
        case TPropKind::Enumeration: {
            for (size_t I = 0; I < Prop.ValueNames.size(); ++I)
                if (SameText(Prop.ValueNames[I], TrimText(Text))) {
                    WriteValue(Instance, Prop, static_cast<int64_t>(I));
                    return;
                }
            return;
        }
        case TPropKind::Float: {
            long double Value = 0;
            if (ParseReal(TrimText(Text), Value) && FitsFloatType(Prop.TypeName, Value)) WriteValue(Instance, Prop, Value);
            return;
        }
        case TPropKind::String:
            WriteValue(Instance, Prop, Text);
            return;
        case TPropKind::Set:
        case TPropKind::Class:
            return;
    }
}

bool TOrvexPropertyHandler::Edit(TPersistent*, const TPropInfo& Prop) { return Prop.Kind != TPropKind::Class; }

int32_t TOrvexPropertyHandler::GetAttributes(TPersistent*, const TPropInfo& Prop) {
    if (Prop.Kind == TPropKind::Enumeration) return paValueList;
    if (Prop.Kind == TPropKind::Class) return paDialog;
    return paPlain;
}

// ---------------------------------------------------------------------------------------
// Colours

void TOrvexColorHandler::GetValues(TPersistent*, const TPropInfo&, std::vector<std::string>& List) {
    for (size_t I = 0; I < kBasicColorCount; ++I) List.emplace_back(kNamedColors[I].Name);
}

std::string TOrvexColorHandler::GetValue(TPersistent* Instance, const TPropInfo& Prop) {
    if (!Instance) return {};
    const auto Color = static_cast<TColor>(ReadOrdinal(Instance, Prop));
    std::string Name;
    if (ColorToName(Color, Name)) return Name;
    return Format("$%.8x", static_cast<unsigned>(static_cast<uint32_t>(Color)));
}

void TOrvexColorHandler::SetValue(TPersistent* Instance, const TPropInfo& Prop, const std::string& Text) {
    TColor Color = 0;
    if (NameToColor(TrimText(Text), Color)) {
        WriteValue(Instance, Prop, static_cast<int64_t>(Color));
        return;
    }
    int64_t Value = 0;
    if (ParseIntegerText(Text, Value) == TIntText::itOk && FitsOrdinalType(Prop.TypeName, Value))
        WriteValue(Instance, Prop, Value);
}

bool TOrvexColorHandler::Edit(TPersistent* Instance, const TPropInfo& Prop) {
    if (!Instance) return true;
    auto Color = static_cast<TColor>(ReadOrdinal(Instance, Prop));
    if (ChooseColor(Color)) WriteValue(Instance, Prop, static_cast<int64_t>(Color));
    return true;
}

int32_t TOrvexColorHandler::GetAttributes(TPersistent*, const TPropInfo&) { return paValueList; }

// ---------------------------------------------------------------------------------------
// Presenters

void TOrvexPresenterHandler::GetValues(TPersistent* Instance, const TPropInfo&, std::vector<std::string>& List) {
    const TOrvexObject& Obj = MapObject(Instance);
    const TOrvexLayer* Layer = Obj.Layer();
    if (!Layer) return;
    for (const TOrvexPresenter* P : Layer->Presenters()) List.push_back(P->Name());
    const TOrvex3* View = Layer->View();
    if (View && View->GlobalLayer() && View->GlobalLayer() != Layer)
        for (const TOrvexPresenter* P : View->GlobalLayer()->Presenters()) List.push_back(P->Name());
}

std::string TOrvexPresenterHandler::GetValue(TPersistent* Instance, const TPropInfo& Prop) {
    if (!Instance) return {};
    const TPropValue V = Prop.Get(*Instance);
    const auto* P = dynamic_cast<const TOrvexPresenter*>(std::get<TPersistent*>(V));
    return P ? P->Name() : "(Undefined)";
}

void TOrvexPresenterHandler::SetValue(TPersistent* Instance, const TPropInfo& Prop, const std::string& Text) {
    auto* Obj = dynamic_cast<TOrvexObject*>(Instance);
    // An empty name would match any presenter: clearing the text must not pick one.
    if (!Obj || !Obj->Layer() || Text.empty()) return;
    if (TOrvexPresenter* P = Obj->Layer()->FindPresenter(Text, 0)) WriteValue(Instance, Prop, static_cast<TPersistent*>(P));
}

int32_t TOrvexPresenterHandler::GetAttributes(TPersistent*, const TPropInfo&) { return paValueList; }

// ---------------------------------------------------------------------------------------
// Sets, units and font names: the three pages of TPropertyForm

bool TOrvexSetHandler::Edit(TPersistent* Instance, const TPropInfo& Prop) {
    if (!Instance) return true;
    const int64_t Bits = ReadOrdinal(Instance, Prop);
    TPropertyForm Form(DialogParent());
    Form.setWindowTitle("Select set members");
    Form.SetActivePage("Sets");
    const size_t Count = std::min<size_t>(Prop.ValueNames.size(), 63);
    for (size_t I = 0; I < Count; ++I) {
        auto* Item = new QListWidgetItem(ToQString(Prop.ValueNames[I]), Form.lbSetMembers);
        Item->setFlags(Item->flags() | Qt::ItemIsUserCheckable);
        Item->setCheckState((Bits & (int64_t(1) << I)) ? Qt::Checked : Qt::Unchecked);
    }
    if (UiServices().ExecDialog(Form)) {
        int64_t NewBits = 0;
        for (size_t I = 0; I < Count; ++I)
            if (Form.lbSetMembers->item(static_cast<int>(I))->checkState() == Qt::Checked) NewBits |= int64_t(1) << I;
        WriteValue(Instance, Prop, NewBits);
    }
    return true;
}

int32_t TOrvexSetHandler::GetAttributes(TPersistent*, const TPropInfo&) { return paDialog; }

bool TOrvexUnitHandler::Edit(TPersistent* Instance, const TPropInfo& Prop) {
    if (!Instance) return true;
    const int64_t Old = ReadOrdinal(Instance, Prop);
    TPropertyForm Form(DialogParent());
    Form.setWindowTitle("Set OrvexUnits");
    Form.SetActivePage("OrvexUnits");
    Form.edtOU->setText(QString::number(Old));
    if (UiServices().ExecDialog(Form)) {
        int64_t Value = 0;
        if (ParseIntegerText(FromQString(Form.edtOU->text()), Value) == TIntText::itOk &&
            FitsOrdinalType(Prop.TypeName, Value) && Value != Old)
            WriteValue(Instance, Prop, Value);
    }
    return true;
}

int32_t TOrvexUnitHandler::GetAttributes(TPersistent*, const TPropInfo&) { return paDialog; }

bool TFontNameHandler::Edit(TPersistent* Instance, const TPropInfo& Prop) {
    if (!Instance) return true;
    const TPropValue Value = Prop.Get(*Instance);
    const std::string* Name = std::get_if<std::string>(&Value);
    const QString Current = Name ? ToQString(*Name) : QString();
    TPropertyForm Form(DialogParent());
    Form.setWindowTitle("Set Font Name");
    Form.SetActivePage("FontName");
    Form.lstFonts->addItems(QFontDatabase::families());
    QList<QListWidgetItem*> Found = Form.lstFonts->findItems(Current, Qt::MatchFixedString);
    if (Found.isEmpty()) Found = Form.lstFonts->findItems("Arial", Qt::MatchFixedString);
    if (!Found.isEmpty()) Form.lstFonts->setCurrentItem(Found.front());
    if (UiServices().ExecDialog(Form)) {
        const QList<QListWidgetItem*> Selected = Form.lstFonts->selectedItems();
        if (!Selected.isEmpty()) WriteValue(Instance, Prop, FromQString(Selected.front()->text()));
    }
    return true;
}

int32_t TFontNameHandler::GetAttributes(TPersistent*, const TPropInfo&) { return paDialog; }

// ---------------------------------------------------------------------------------------
// TFileNameHandler

std::string TFileNameHandler::GetValue(TPersistent* Instance, const TPropInfo& Prop) {
    return TextFromPath(TOrvexPropertyHandler::GetValue(Instance, Prop));
}

void TFileNameHandler::SetValue(TPersistent* Instance, const TPropInfo& Prop, const std::string& Text) {
    TOrvexPropertyHandler::SetValue(Instance, Prop, PathFromText(Text));
}

// ---------------------------------------------------------------------------------------
// The registry

const std::vector<THandlerRegistration>& PropertyHandlerRegistry() {
    auto Make = [](const char* Key, auto Factory) { return THandlerRegistration{Key, Factory}; };
    auto Color = [] { return std::make_unique<TOrvexColorHandler>(); };
    auto Presenter = [] { return std::make_unique<TOrvexPresenterHandler>(); };
    auto Set = [] { return std::make_unique<TOrvexSetHandler>(); };
    auto Unit = [] { return std::make_unique<TOrvexUnitHandler>(); };
    auto FontName = [] { return std::make_unique<TFontNameHandler>(); };
    auto FileName = [] { return std::make_unique<TFileNameHandler>(); };
    static const std::vector<THandlerRegistration> Registry{
        Make("TColor", Color),           Make("TOrvexPresenter", Presenter), Make("TFontStyles", Set),
        Make(".XRotation", Unit),        Make(".YRotation", Unit),           Make(".ZRotation", Unit),
        Make(".CentralMeridian", Unit),  Make(".FirstParallel", Unit),       Make(".SecondParallel", Unit),
        Make(".FontName", FontName),     Make(".Filename", FileName),        Make(".BMPFilename", FileName),
        Make(".ImageName", FileName),
    };
    return Registry;
}

std::unique_ptr<TOrvexPropertyHandler> MakePropertyHandler(const std::string& ClassName, const TPropInfo& Prop) {
    const std::string DotName = "." + Prop.Name;
    const std::string ClassDotName = ClassName + DotName;
    const THandlerRegistration* Match = nullptr;
    for (const THandlerRegistration& R : PropertyHandlerRegistry())
        if (SameText(R.Key, Prop.TypeName) || SameText(R.Key, DotName) || SameText(R.Key, ClassDotName)) Match = &R;
    return Match ? Match->Create() : std::make_unique<TOrvexPropertyHandler>();
}

// ---------------------------------------------------------------------------------------
// TOrvexProperties

TOrvexProperties::TOrvexProperties(TPersistent* Instance) : FInstance(Instance) {
    if (!Instance) return;
    const TClassInfo& Info = Instance->ClassInfo();
    for (const TPropInfo* P : Info.Properties()) {
        FProps.push_back(P);
        FHandlers.push_back(MakePropertyHandler(Info.ClassName, *P));
    }
}

TOrvexProperties::~TOrvexProperties() = default;

void TOrvexProperties::CheckIndex(int32_t Index) const {
    if (Index < 0 || Index >= Count()) throw EListError(Format("List index out of bounds (%d)", Index));
}

const TPropInfo& TOrvexProperties::Prop(int32_t Index) const {
    CheckIndex(Index);
    return *FProps[static_cast<size_t>(Index)];
}

const std::string& TOrvexProperties::PropName(int32_t Index) const { return Prop(Index).Name; }

TPropKind TOrvexProperties::PropKind(int32_t Index) const { return Prop(Index).Kind; }

int32_t TOrvexProperties::PropAttributes(int32_t Index) const {
    return FHandlers[static_cast<size_t>(Index)]->GetAttributes(FInstance, Prop(Index));
}

int64_t TOrvexProperties::OrdValue(int32_t Index) const {
    const TPropInfo& P = Prop(Index);
    const TPropValue V = P.Get(*FInstance);
    const int64_t* I = std::get_if<int64_t>(&V);
    return I ? *I : 0;
}

TPersistent* TOrvexProperties::ObjectValue(int32_t Index) const {
    const TPropInfo& P = Prop(Index);
    const TPropValue V = P.Get(*FInstance);
    TPersistent* const* Item = std::get_if<TPersistent*>(&V);
    return Item ? *Item : nullptr;
}

std::string TOrvexProperties::GetValue(int32_t Index) const {
    const TPropInfo& P = Prop(Index);
    return FHandlers[static_cast<size_t>(Index)]->GetValue(FInstance, P);
}

void TOrvexProperties::SetValue(int32_t Index, const std::string& Text) {
    const TPropInfo& P = Prop(Index);
    if (!P.Writable()) return;
    try {
        FHandlers[static_cast<size_t>(Index)]->SetValue(FInstance, P, Text);
    } catch (const EConvertError&) {
        // Text that does not convert leaves the value as it was, without a message.
    }
}

bool TOrvexProperties::Edit(int32_t Index) {
    const TPropInfo& P = Prop(Index);
    // A read-only value has nothing to edit; a read-only item is opened instead.
    if (!P.Writable()) return P.Kind != TPropKind::Class;
    return FHandlers[static_cast<size_t>(Index)]->Edit(FInstance, P);
}

void TOrvexProperties::GetValues(int32_t Index, std::vector<std::string>& List) const {
    const TPropInfo& P = Prop(Index);
    FHandlers[static_cast<size_t>(Index)]->GetValues(FInstance, P, List);
}
