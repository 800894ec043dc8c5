#pragma once
// Common base of everything a layer owns and a layer file stores: objects, presenters
// and attributes.

#include "model/Persistent.h"

class TOrvexLayer;
class TOrvexStream;

class TOrvexPersistent : public TPersistent {
    ORVEX_CLASS_INFO
public:
    TOrvexLayer* Layer() const { return FLayer; }

    // Records of the layer file; classes that are stored override both.
    virtual void SaveToStream(TOrvexStream& Stream);
    virtual void LoadFromStream(TOrvexStream& Stream);

    // Takes any TOrvexPersistent and copies nothing; other sources go to the root.
    void CopyFrom(const TPersistent* Source) override;

protected:
    explicit TOrvexPersistent(TOrvexLayer* Layer) : FLayer(Layer) {}

    TOrvexLayer* FLayer;
};
