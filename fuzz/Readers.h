// Each file reader's run on one input, shared by the fuzz targets and the test suite that
// replays their corpora and the test data. An input either loads or ends in the reader's own
// exception, which is caught here; anything else that leaves, a crash or a sanitizer report
// is a fault. The view is the caller's, cleared before each input and otherwise kept from
// one input to the next, as in a long editing session.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "importers/E002Orvex.h"
#include "importers/ImportSupport.h"
#include "importers/Mif2Orvex.h"
#include "importers/ReadDBF.h"
#include "importers/SHP2Orvex.h"
#include "importers/TfrmE00Import.h"
#include "importers/TfrmSHPImport.h"
#include "model/OrvexLayer.h"
#include "model/OrvexStream.h"
#include "model/TextureData.h"
#include "platform/IniFile.h"
#include "projections/PrjRegistry.h"
#include "view/Orvex3.h"

namespace FuzzReaders {

// A loaded layer whose save does not read back to the very same save.
struct ERoundTripFault : std::logic_error {
    ERoundTripFault(std::vector<uint8_t> F, std::vector<uint8_t> S, size_t At)
        : std::logic_error("a saved layer (" + std::to_string(F.size()) + " bytes) reads back to a different save (" +
                           std::to_string(S.size()) + " bytes) from offset " + std::to_string(At)),
          First(std::move(F)),
          Second(std::move(S)) {}
    std::vector<uint8_t> First, Second;
};

// Folder/input<Extension> holding the bytes; the importers read files by name.
inline std::string WriteInput(const std::string& Folder, const char* Extension, const uint8_t* Data, size_t Size) {
    const std::string Path = Folder + "/input" + Extension;
    std::ofstream(Path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(Data), static_cast<std::streamsize>(Size));
    return Path;
}

// ---------------------------------------------------------------------------------------
// Files as they lie, their companions beside them. True when the input loaded.

// The shapefile importer with its table, when there is one.
inline bool ReadShp(TOrvex3& View, const std::string& Path) {
    TSHPImportPresetOptions Options;
    try {
        ImportSHP({Path}, View, &Options);
    } catch (const EOrvexException&) {
        return false;
    } catch (const EDBFException&) {
        return false;
    }
    return true;
}

// The MIF importer with the .mid beside it, when there is one.
inline bool ReadMif(TOrvex3& View, const std::string& Path) {
    try {
        ImportMIF({Path}, View);
    } catch (const EOrvexException&) {
        return false;
    } catch (const EImportAborted&) {
        return false;
    }
    return true;
}

// The E00 importer, every record kind on, any projection accepted.
inline bool ReadE00(TOrvex3& View, const std::string& Path) {
    TE00ImportPresetOptions Options;
    Options.AcceptUnknownProjection = true;
    try {
        ImportE00({Path}, View, &Options);
    } catch (const EOrvexException&) {
        return false;
    }
    return true;
}

// The INI reader: every section, key and value read back in every form; then the same file
// opened as the view's profile, which loads the layers it lists.
inline bool ReadProfile(TOrvex3& View, const std::string& Path) {
    {
        const TIniFile Ini(Path);
        for (const std::string& Section : Ini.ReadSections())
            for (const std::string& Key : Ini.ReadSection(Section)) {
                Ini.ReadString(Section, Key, "");
                Ini.ReadInteger(Section, Key, 0);
                Ini.ReadBool(Section, Key, false);
            }
    }
    bool Loaded = true;
    try {
        View.SetProfileName(Path);
    } catch (const EOrvexException&) {
        // Layers that fail are reported and skipped; what else fails is reported to the caller.
        Loaded = false;
    }
    View.SetProfileName("");
    View.SetDataDirectory("");
    return Loaded;
}

// The 256-colour bitmap reader; what it accepts is drawn as the view's texture on the
// sphere, which samples texels from all over the picture.
inline bool ReadBitmap(TOrvex3& View, const std::string& Path) {
    TTextureData Texture;
    Texture.LoadBitmapFile(Path);
    if (!Texture.IsLoaded()) return false;
    for (int32_t I = 0; I < 256; ++I) Texture.ColorToIndex(Texture.IndexToColor(I));

    View.SetTextureFilename(Path);
    View.SetTextureBackground(true);
    View.SetDrawGrid(dgNone);
    View.SetSurfaceSize(40, 30);
    View.SetProjection(opSpherical);
    View.ZoomToScale(0);
    View.Render();
    View.SetTextureFilename("");
    return true;
}

// ---------------------------------------------------------------------------------------
// Inputs as the fuzz targets take them: one run of bytes, written as the files the reader
// reads into Folder when it reads files.

// The dBASE reader: every field of every record.
inline bool Dbf(TOrvex3&, const std::string&, const uint8_t* Data, size_t Size) {
    try {
        TDBF Table(std::string_view(reinterpret_cast<const char*>(Data), Size));
        for (int32_t I = 0; I < Table.FieldCount(); ++I) Table.FieldName(I);
        while (Table.NextRecord())
            for (int32_t I = 0; I < Table.FieldCount(); ++I) Table.FieldValue(I);
    } catch (const EDBFException&) {
        return false;
    }
    return true;
}

// The layer file reader. What it accepts must survive what a loaded layer goes through: a
// render, and a save whose records read back to the very same save (ERoundTripFault
// otherwise). The extent in the header may differ: symbols measured in pixels extend
// objects by the scale.
inline bool Layer(TOrvex3& View, const std::string&, const uint8_t* Data, size_t Size) {
    auto Saved = [](TOrvexLayer& L) {
        TOrvexStream S;
        L.SaveToStream(S);
        return S.Data();
    };
    TOrvexLayer* L = View.AddLayer("fuzz");
    TOrvexStream In(std::vector<uint8_t>(Data, Data + Size));
    bool Loaded = true;
    try {
        L->LoadFromStream(In);
    } catch (const EOrvexException&) {
        // Records read before the failure stay: they must still render and save.
        Loaded = false;
    }

    // Some projection, picked by the data, over a small surface.
    const auto& Projections = ProjectionRegistry();
    const size_t Pick = Size ? Data[Size - 1] % Projections.size() : 0;
    View.SetProjectionModel(Projections[Pick].Create(&View));
    View.SetSurfaceSize(64, 48);
    View.ZoomToScale(0);
    View.Render();

    std::vector<uint8_t> First = Saved(*L);
    TOrvexLayer* Again = View.AddLayer("again");
    TOrvexStream Back(First);
    Again->LoadFromStream(Back);  // any exception here is a fault
    constexpr size_t ExtentEnd = 18;
    if (std::vector<uint8_t> Second = Saved(*Again);
        !std::equal(First.begin() + ExtentEnd, First.end(), Second.begin() + ExtentEnd, Second.end())) {
        size_t At = ExtentEnd;
        while (At < First.size() && At < Second.size() && First[At] == Second[At]) ++At;
        throw ERoundTripFault(std::move(First), std::move(Second), At);
    }
    return Loaded;
}

// A uint32 (little-endian) length, that many bytes of .dbf, the rest the .shp. A length of 0
// means no table beside it.
inline bool Shp(TOrvex3& View, const std::string& Folder, const uint8_t* Data, size_t Size) {
    uint32_t TableSize = 0;
    if (Size >= 4) {
        TableSize = uint32_t(Data[0]) | uint32_t(Data[1]) << 8 | uint32_t(Data[2]) << 16 | uint32_t(Data[3]) << 24;
        Data += 4;
        Size -= 4;
    }
    if (TableSize > Size) TableSize = uint32_t(Size);
    const std::string ShpPath = WriteInput(Folder, ".shp", Data + TableSize, Size - TableSize);
    if (TableSize)
        WriteInput(Folder, ".dbf", Data, TableSize);
    else
        std::remove((Folder + "/input.dbf").c_str());
    return ReadShp(View, ShpPath);
}

// Up to the first NUL byte the .mif, after it the .mid.
inline bool Mif(TOrvex3& View, const std::string& Folder, const uint8_t* Data, size_t Size) {
    const auto* Nul = static_cast<const uint8_t*>(std::memchr(Data, 0, Size));
    const size_t MifSize = Nul ? size_t(Nul - Data) : Size;
    const std::string MifPath = WriteInput(Folder, ".mif", Data, MifSize);
    if (Nul)
        WriteInput(Folder, ".mid", Nul + 1, Size - MifSize - 1);
    else
        std::remove((Folder + "/input.mid").c_str());
    return ReadMif(View, MifPath);
}

inline bool E00(TOrvex3& View, const std::string& Folder, const uint8_t* Data, size_t Size) {
    return ReadE00(View, WriteInput(Folder, ".e00", Data, Size));
}

inline bool Profile(TOrvex3& View, const std::string& Folder, const uint8_t* Data, size_t Size) {
    return ReadProfile(View, WriteInput(Folder, ".prf", Data, Size));
}

inline bool Bitmap(TOrvex3& View, const std::string& Folder, const uint8_t* Data, size_t Size) {
    return ReadBitmap(View, WriteInput(Folder, ".bmp", Data, Size));
}

}  // namespace FuzzReaders
