// Classes that own what they point at, or are linked into an owner's list, cannot be copied
// by C++: a copy would free the same objects twice or sit in no list. Copying the state of a
// persistent object is CopyFrom's work. Checked through a derived class, so that a copy
// constructor a base keeps protected counts as one a subclass could use.
#include <type_traits>

#include "editor/Inspector.h"
#include "editor/OXProp.h"
#include "editor/ProgressPanel.h"
#include "editor/SelLayer.h"
#include "editor/Undo.h"
#include "editor/uMain.h"
#include "foundation/PointList.h"
#include "importers/ImportSupport.h"
#include "importers/TfrmE00Import.h"
#include "importers/TfrmSHPImport.h"
#include "model/BitmapObject.h"
#include "model/ListWalk.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/DeviceContext.h"
#include "platform/Hourglass.h"
#include "platform/UiServices.h"
#include "projections/CartesianPrj.h"
#include "projections/MercatorPrj.h"
#include "projections/OXProject.h"
#include "projections/SphericalPrj.h"
#include "styling/OrvexAttributes.h"
#include "styling/PointPresenter.h"
#include "styling/PolygonPresenter.h"
#include "styling/PolylinePresenter.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"
#include "view/PrintOutput.h"

namespace {

template <class T>
struct TCopyProbe : T {
    using T::T;
};

template <class T>
constexpr bool NotCopyable =
    !std::is_copy_constructible_v<TCopyProbe<T>> && !std::is_copy_assignable_v<TCopyProbe<T>>;

// foundation and platform
static_assert(NotCopyable<TPointChain>);
static_assert(NotCopyable<TPoint3DList>);
static_assert(NotCopyable<TDeviceContext>);
static_assert(NotCopyable<THourglass>);
static_assert(NotCopyable<TUiServicesScope>);
// model
static_assert(NotCopyable<TPersistent>);
static_assert(NotCopyable<TOrvexPersistent>);
static_assert(NotCopyable<TOrvexLayer>);
static_assert(NotCopyable<TLayerUpdate>);
static_assert(NotCopyable<TListWatch>);
static_assert(NotCopyable<TListWalks>);
static_assert(NotCopyable<TOrvexObject>);
static_assert(NotCopyable<TGeoDataObject>);
static_assert(NotCopyable<TSinglePointObject>);
static_assert(NotCopyable<TBitmapObject>);
// styling
static_assert(NotCopyable<TOrvexAttribute>);
static_assert(NotCopyable<TOrvexPen>);
static_assert(NotCopyable<TOrvexBrush>);
static_assert(NotCopyable<TOrvexFont>);
static_assert(NotCopyable<TOrvexPresenter>);
static_assert(NotCopyable<TPointPresenter>);
static_assert(NotCopyable<TPolylinePresenter>);
static_assert(NotCopyable<TPolygonPresenter>);
// projections
static_assert(NotCopyable<TPrjModel>);
static_assert(NotCopyable<TSphericalPrj>);
static_assert(NotCopyable<TCartesianPrj>);
static_assert(NotCopyable<TMercatorPrj>);
static_assert(NotCopyable<TEquidistantPrj>);
static_assert(NotCopyable<TCylEqualAreaPrj>);
static_assert(NotCopyable<TBehrmannCylEqualAreaPrj>);
static_assert(NotCopyable<TPetersPrj>);
static_assert(NotCopyable<TAlbersEqualAreaConicPrj>);
static_assert(NotCopyable<TBonnePrj>);
static_assert(NotCopyable<TSinusoidalPrj>);
// view
static_assert(NotCopyable<TOrvex3>);
static_assert(NotCopyable<TOrvexCanvas>);
static_assert(NotCopyable<TPrintOutput>);
// importers
static_assert(NotCopyable<TFileWindow>);
static_assert(NotCopyable<TImportRun>);
static_assert(NotCopyable<TLayerFill>);
static_assert(NotCopyable<TE00ImportDialogOptions>);
static_assert(NotCopyable<TSHPImportDialogOptions>);
static_assert(NotCopyable<TfrmE00Import>);
static_assert(NotCopyable<TfrmSHPImport>);
// editor
static_assert(NotCopyable<TfrmMain>);
static_assert(NotCopyable<TInspector>);
static_assert(NotCopyable<TOrvexProperties>);
static_assert(NotCopyable<TEditorUndo>);
static_assert(NotCopyable<TProgressPanel>);
static_assert(NotCopyable<TProgressScope>);
static_assert(NotCopyable<TfrmSelLayer>);

}  // namespace
