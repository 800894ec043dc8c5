// The layer file: version, extent, then one block of records per registered class.

#include <QApplication>
#include <QString>
#include <algorithm>
#include <functional>
#include <strings.h>
#include <type_traits>
#include <typeinfo>
#include <utility>

#include "foundation/PointSlab.h"
#include "foundation/ProgressAborted.h"
#include "foundation/ResetOnExit.h"
#include "model/ClassInfo.h"
#include "model/ClassRegistry.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "model/OrvexStream.h"
#include "model/StandardClasses.h"
#include "platform/AtomicFile.h"
#include "platform/FilePaths.h"
#include "platform/Hourglass.h"
#include "styling/OrvexPresenter.h"
#include "view/Orvex3.h"

namespace {

constexpr int16_t LayerFileVersion = 0x0300;
constexpr int32_t ProgressStep = 1000;

// The records of the registry's classes in its order, each class in one block, the items of a
// class in list order. Items are grouped in one pass: a layer holds hundreds of thousands of
// objects and a registry dozens of classes.
template <class T>
void WriteBlocks(TOrvexStream& S, const std::vector<const TClassInfo*>& Classes, const std::vector<T*>& Items,
                 const std::function<void()>& Step) {
    std::vector<std::pair<const TClassInfo*, std::vector<T*>>> Groups;
    for (T* Item : Items) {
        const TClassInfo* Info = &Item->ClassInfo();
        auto It = std::find_if(Groups.begin(), Groups.end(), [Info](const auto& G) { return G.first == Info; });
        if (It == Groups.end()) It = Groups.insert(Groups.end(), {Info, {}});
        It->second.push_back(Item);
    }
    for (const TClassInfo* C : Classes) {
        // Classes are matched by name, as the reader finds them.
        int64_t Count = 0;
        for (const auto& G : Groups)
            if (G.first->ClassName == C->ClassName) Count += int64_t(G.second.size());
        if (Count == 0) continue;
        // The block's count is a 32-bit field: more could not be read back.
        if (Count > INT32_MAX)
            throw EOrvexException(Format("SaveToFile: %lld %s records do not fit in one file",
                                         static_cast<long long>(Count), C->ClassName.c_str()));
        S.WriteInt32(static_cast<int32_t>(Count));
        S.WriteShortString(C->ClassName);
        for (const auto& G : Groups)
            if (G.first->ClassName == C->ClassName)
                for (T* Item : G.second) {
                    Item->SaveToStream(S);
                    if (Step) Step();
                }
    }
}

// Whether an object's AfterLoad is the inherited one, which does nothing: true only for the
// classes known to keep it.
bool HasNoAfterLoad(const TOrvexObject& O) {
    using TAfterLoad = void (TOrvexObject::*)();
    static_assert(std::is_same_v<decltype(&TGeoDataObject::AfterLoad), TAfterLoad> &&
                  std::is_same_v<decltype(&TSinglePointObject::AfterLoad), TAfterLoad>);
    const std::type_info& T = typeid(O);
    return T == typeid(TGeoDataObject) || T == typeid(TSinglePointObject);
}

// The layer file through a temporary file beside the target (platform/AtomicFile), with the
// save's own error.
class TLayerFileWriter {
public:
    explicit TLayerFileWriter(const std::string& Path) : FPath(Path), FFile(Path) { Check(!FFile.Failed()); }
    void Write(const uint8_t* Data, size_t Count) { Check(FFile.Write(Data, Count)); }
    void Commit() { Check(FFile.Commit()); }

private:
    void Check(bool Ok) const {
        if (!Ok)
            throw EOrvexException(Format("SaveToFile: Cannot write %s: %s", FPath.c_str(), FFile.Error().c_str()));
    }

    std::string FPath;
    TAtomicFile FFile;
};

// The records go to the file in pieces of this size as they are assembled: a buffer the size
// of the whole file would cost a page fault every 4 KB and twice the memory.
constexpr size_t SaveChunk = size_t(1) << 18;

}  // namespace

void TOrvexLayer::SaveToFile(const std::string& Path) {
    // Whatever happens, the layer names the file it was saved to: the name part in
    // Filename, the folder in Directory, so that Directory + Filename is Path.
    struct TNameOnExit {
        TOrvexLayer& Layer;
        const std::string& Path;
        ~TNameOnExit() {
            const TSplitPath Split = SplitPath(Path);
            Layer.FDirectory = Split.Directory;
            Layer.FFilename = Split.Name;
        }
    } NameOnExit{*this, Path};
    THourglass Hourglass;
    TOrvexStream S;
    // Reports go out while the records are written to the temporary file: a cancel there
    // leaves the file on disk as it was.
    struct TFinishReport {
        TOrvex3* View;
        ~TFinishReport() {
            try {
                if (View) View->Progress(2, "");
            } catch (...) {
                // The save's own outcome stands; a failing handler must not end the program.
            }
        }
    } Finish{FView && FView->OnProgress ? FView : nullptr};
    if (Finish.View && FView->Progress(1, Format("Saving Layer %s", Path.c_str())))
        throw EProgressAborted("Saving cancelled");
    TLayerFileWriter File(Path);
    S.Data().reserve(SaveChunk + SaveChunk / 4);
    int32_t Saved = 0;
    const std::function<void()> Step = [&] {
        if (S.Size() >= SaveChunk) {
            File.Write(S.Data().data(), S.Size());
            S.Data().clear();
            S.Seek(0);
        }
        if (Finish.View && ++Saved % ProgressStep == 0 &&
            FView->Progress(0, Format("%s Saved %d objects", FName.c_str(), Saved)))
            throw EProgressAborted("Saving cancelled");
    };
    SaveToStream(S, Step);
    File.Write(S.Data().data(), S.Size());
    File.Commit();
}

const TOrvexClassRegistry& TOrvexLayer::ClassRegistry() const {
    return FView ? FView->ClassRegistry() : StandardClassRegistry();
}

void TOrvexLayer::SaveToStream(TOrvexStream& S) {
    // Room for typical data up front (whole-minute chains take about two bytes a point).
    size_t Estimate = 64;
    for (const TOrvexObject* O : FObjects) Estimate += 32 + 2 * size_t(O->GetPointCount());
    S.Data().reserve(S.Data().size() + Estimate);
    SaveToStream(S, nullptr);
}

void TOrvexLayer::SaveToStream(TOrvexStream& S, const std::function<void()>& Step) {
    PurgePresenters();
    std::stable_sort(FPresenters.begin(), FPresenters.end(), [](const TOrvexPresenter* A, const TOrvexPresenter* B) {
        return strcasecmp(A->ClassName().c_str(), B->ClassName().c_str()) < 0;
    });

    S.WriteInt16(LayerFileVersion);
    S.WriteInt32(FExtents.Left);
    S.WriteInt32(FExtents.Bottom);
    S.WriteInt32(FExtents.Width);
    S.WriteInt32(FExtents.Height);
    const auto& Classes = ClassRegistry().Classes();
    // Presenters first: objects find theirs by FeatureID while they are read.
    WriteBlocks(S, Classes, FPresenters, nullptr);
    WriteBlocks(S, Classes, FObjects, Step);
    S.WriteInt32(0);
}

namespace {

// The errors of one file's load, naming the file.
class TLoadErrors {
public:
    explicit TLoadErrors(std::string File) : FFile(std::move(File)) {}
    const std::string& File() const { return FFile; }
    EOrvexException Truncated() const {
        return EOrvexException(Format("LoadFromFile: Unexpected end of data in %s", FFile.c_str()));
    }
    EOrvexException Corrupt(const std::string& Detail) const {
        return EOrvexException(Format("LoadFromFile: Corrupt file %s (%s)", FFile.c_str(), Detail.c_str()));
    }
    // Failures of a record's own reader name the file; those of event handlers pass unchanged.
    [[noreturn]] void RethrowRecordError() const {
        try {
            throw;
        } catch (const EStreamReadError&) {
            throw Truncated();
        } catch (const EOrvexException& Ex) {
            throw Corrupt(Ex.what());
        } catch (const EConvertError& Ex) {
            throw Corrupt(Ex.what());
        } catch (const EListError& Ex) {
            throw Corrupt(Ex.what());
        }
    }

private:
    std::string FFile;
};

// The file's version, checked, and the extent it records.
TExtent ReadLayerHeader(TOrvexStream& Stream, const TLoadErrors& Errors) {
    const int16_t Version = Stream.ReadInt16();
    if (Version != LayerFileVersion)
        throw EOrvexException(Format("LoadFromFile: Invalid File Version %X in %s",
                                     static_cast<unsigned>(static_cast<uint16_t>(Version)), Errors.File().c_str()));
    TExtent E;
    E.Left = Stream.ReadInt32();
    E.Bottom = Stream.ReadInt32();
    E.Width = Stream.ReadInt32();
    E.Height = Stream.ReadInt32();
    return E;
}

// The class of a block of N records, which a layer can own.
const TClassInfo& ReadBlockClass(TOrvexStream& Stream, const TOrvexClassRegistry* Registry, int32_t N,
                                 const TLoadErrors& Errors) {
    const std::string ClassName = Stream.ReadShortString();
    const TClassInfo* Info = Registry ? Registry->Find(ClassName) : nullptr;
    if (!Info || !Info->Create)
        throw EOrvexException(
            Format("LoadFromFile: Unknown Orvex Object Class %s in %s", ClassName.c_str(), Errors.File().c_str()));
    // Only objects and presenters belong to a layer; anything else would be owned by nobody.
    if (!Info->InheritsFrom(TOrvexObject::StaticClassInfo()) &&
        !Info->InheritsFrom(TOrvexPresenter::StaticClassInfo()))
        throw Errors.Corrupt(Format("a block of %s records", Info->ClassName.c_str()));
    // Every record takes at least one byte.
    if (static_cast<size_t>(N) > Stream.Remaining()) throw Errors.Truncated();
    return *Info;
}

// One record, created in Layer; a record read in part is not kept (those before it are).
TOrvexPersistent* ReadRecord(TOrvexStream& Stream, const TClassInfo& Info, TOrvexLayer* Layer,
                             const TLoadErrors& Errors) {
    TOrvexPersistent* Record = Info.Create(Layer);
    try {
        Record->LoadFromStream(Stream);
    } catch (...) {
        delete Record;
        Errors.RethrowRecordError();
    }
    return Record;
}

}  // namespace

void TOrvexLayer::LoadFromStream(TOrvexStream& Stream) {
    const TLoadErrors Errors(FFilename);
    // The file's chains share blocks of points, given back as each chain goes or changes size.
    TPointSlab Slab;
    const TResetOnExit<TPointSlab> SlabInUse(FLoadSlab, &Slab);
    bool Finishing = false;
    TExtentUnion Loaded;
    try {
        FExtents = ReadLayerHeader(Stream, Errors);
        const TOrvexClassRegistry* Registry = &ClassRegistry();
        // One render request for the whole file, not one per object.
        const TLayerUpdate Update(*this);
        // Objects are finished as they are read, while in cache, and the final pass over them
        // left out, when nothing but this reader can touch them meanwhile: the layer held none
        // before, no handler is called during the load, and every record after the first
        // object is an object whose AfterLoad does nothing.
        Finishing = FObjects.empty() && typeid(*this) == typeid(TOrvexLayer) &&
                    !(FView && (FView->OnObjectCreate || FView->OnProgress));
        // The blocks end with a count of zero or less, or with the data.
        while (!Stream.AtEnd()) {
            const int32_t N = Stream.ReadInt32();
            if (N <= 0) break;
            if (Stream.AtEnd()) break;
            const TClassInfo& Info = ReadBlockClass(Stream, Registry, N, Errors);
            // A block's records come from one factory: the cast is found once per class.
            const std::type_info* ObjectType = nullptr;
            for (int32_t I = 0; I < N; ++I) {
                TOrvexPersistent* Record = ReadRecord(Stream, Info, this, Errors);
                TOrvexObject* Obj = nullptr;
                if (ObjectType && typeid(*Record) == *ObjectType) {
                    Obj = static_cast<TOrvexObject*>(Record);
                } else if ((Obj = dynamic_cast<TOrvexObject*>(Record))) {
                    ObjectType = &typeid(*Record);
                }
                if (Obj) {
                    // While its points are still in the cache, unless its reader did so.
                    if (!Obj->HasState(osExtentsValid)) Obj->CalcExtents();
                    if (FView && FView->OnObjectCreate) FView->OnObjectCreate(FView, Obj);
                    if (Finishing && HasNoAfterLoad(*Obj) && Obj->HasState(osExtentsValid))
                        Loaded.Add(Obj->Extents());
                    else
                        Finishing = false;
                } else if (!FObjects.empty()) {
                    Finishing = false;
                }
                if (I > 0 && I % ProgressStep == 0 && FView &&
                    FView->Progress(0, Format("%s Loaded %d objects", FName.c_str(), I)))
                    throw EProgressAborted("Loading cancelled");
            }
        }
    } catch (const EStreamReadError&) {
        FinishLoading();
        throw Errors.Truncated();
    } catch (...) {
        // The records read before the failure stay, and are made whole like any others.
        FinishLoading();
        throw;
    }

    FIsLoaded = true;
    if (FView) FView->Progress(0, Format("%s Loaded %d objects", FName.c_str(), ObjectCount()));
    FinishLoading(Finishing ? &Loaded : nullptr);
}

void TOrvexLayer::FinishLoading(const TExtentUnion* Loaded) {
    if (!Loaded) {
        for (TOrvexObject* O : FObjects) {
            if (!O->HasState(osExtentsValid)) O->CalcExtents();
            O->AfterLoad();
        }
    }
    if (!FExtents.IsEmpty()) return;
    if (Loaded && !FObjects.empty())
        FExtents = Loaded->Extent();
    else
        CalcExtents();
}
