#pragma once
// A named drawing style that lives in a layer and draws the layer's objects.

#include <cstdint>
#include <string>

#include "foundation/OXUtils.h"
#include "model/OrvexPersistent.h"

class TOrvex3;
class TOrvexObject;

class TOrvexPresenter : public TOrvexPersistent {
    ORVEX_CLASS_INFO
public:
    // Leaves the owning layer's presenter list.
    ~TOrvexPresenter() override;

    TOrvex3* View() const { return FView; }
    const std::string& Name() const { return FName; }
    void SetName(const std::string& Name) { FName = Name; }
    int16_t FeatureID() const { return FFeatureID; }
    void SetFeatureID(int16_t ID) { FFeatureID = ID; }
    uint8_t InUse() const { return FInUse; }
    void SetInUse(uint8_t V) { FInUse = V; }
    // Position in the owning layer's presenter list (-1 without a layer).
    int32_t Index() const;

    void CopyFrom(const TPersistent* Source) override;

    // Clears every reference to this presenter in the view's layers, then destroys it.
    virtual void Delete();
    // Base: Point lies in the object's extent, bounds included.
    virtual bool HitTest(TOrvexObject& Obj, const TPoint3D& Point);
    // Base: sets osSubPixel when the extent fits in one pixel, clears it otherwise.
    virtual void AdjustExtents(TOrvexObject& Obj);
    virtual void Render(TOrvexObject& Obj) = 0;
    virtual bool Accepts(const TOrvexObject& Obj) const;

    // The constructor used wherever new presenters are made: numbers and names the
    // presenter when FeatureID is 0 or Name is empty.
    template <class T>
    static T* CreateNamed(TOrvexLayer* Layer, int16_t FeatureID, const std::string& Name) {
        T* P = new T(Layer);
        P->InitNamed(FeatureID, Name);
        return P;
    }

protected:
    // Appends the presenter to Layer's presenter list.
    explicit TOrvexPresenter(TOrvexLayer* Layer);
    void InitNamed(int16_t FeatureID, const std::string& Name);

private:
    TOrvex3* FView = nullptr;
    std::string FName;
    int16_t FFeatureID = 0;
    uint8_t FInUse = 0;
};
