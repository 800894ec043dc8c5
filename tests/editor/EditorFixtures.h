#pragma once
// A real view with one layer, a polyline presenter and an object with points, answered by
// scripted UI services; and a small inspectable class whose items open one another.

#include <gtest/gtest.h>

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "editor/OXProp.h"
#include "foundation/OrvexExceptions.h"
#include "model/ClassInfo.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "model/Persistent.h"
#include "platform/UiServices.h"
#include "styling/OrvexAttributes.h"
#include "styling/PointPresenter.h"
#include "styling/PolylinePresenter.h"
#include "view/Orvex3.h"

constexpr int32_t kDeg = 5400000, kMin = 90000;

// Items of a chain: Next (read-only) opens the following one; Depth is read-only too; Mood
// refuses to become mdAngry.
class TChainItem : public TPersistent {
    ORVEX_CLASS_INFO
public:
    TChainItem* Next = nullptr;
    int32_t Depth = 0;
    int64_t Mood = 0;
};

inline const TClassInfo& TChainItem::StaticClassInfo() {
    using C = TChainItem;
    static const TClassInfo Info{
        "TChainItem",
        &TPersistent::StaticClassInfo(),
        {},
        {
            MakeProp<C>("Depth", TPropKind::Integer, "Integer", [](const C& c) { return c.Depth; }, nullptr),
            MakeProp<C>("Next", TPropKind::Class, "TChainItem", [](const C& c) { return c.Next; }, nullptr),
            MakeProp<C>(
                "Mood", TPropKind::Enumeration, "TMood", [](const C& c) { return c.Mood; },
                [](C& c, int64_t v) {
                    if (v == 1) throw EOrvexException("Too angry");
                    c.Mood = v;
                },
                {"mdCalm", "mdAngry"}),
        }};
    return Info;
}
inline const TClassInfo& TChainItem::ClassInfo() const { return StaticClassInfo(); }

// Count items, each opening the next.
inline std::vector<std::unique_ptr<TChainItem>> MakeChain(int Count) {
    std::vector<std::unique_ptr<TChainItem>> Items;
    for (int I = 0; I < Count; ++I) {
        Items.push_back(std::make_unique<TChainItem>());
        Items.back()->Depth = I;
    }
    for (int I = 0; I + 1 < Count; ++I) Items[size_t(I)]->Next = Items[size_t(I) + 1].get();
    return Items;
}

class EditorTest : public ::testing::Test {
protected:
    TScriptedUiServices Ui;
    TUiServicesScope Scope{Ui};
    TOrvex3 View;
    TOrvexLayer* Layer = View.AddLayer("Roads");
    TPolylinePresenter* Pen = TOrvexPresenter::CreateNamed<TPolylinePresenter>(Layer, 7, "Highway");
    TGeoDataObject* Road = MakeRoad();

    TGeoDataObject* MakeRoad() {
        auto* Obj = TGeoDataObject::Create(Layer, Pen, 1, "A1");
        Obj->AddPoint(TPoint3D{0, 0, 0});
        Obj->AddPoint(TPoint3D{3, 5, 0});
        return Obj;
    }

    // Index of a property in a list, or -1.
    static int32_t IndexOf(const TOrvexProperties& Props, const std::string& Name) {
        for (int32_t I = 0; I < Props.Count(); ++I)
            if (Props.PropName(I) == Name) return I;
        return -1;
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> Texts;
        for (const auto& M : Ui.Messages) Texts.push_back(M.Text);
        return Texts;
    }
};
