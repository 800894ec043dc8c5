// The 256-colour bitmap reader on arbitrary bytes; what it accepts is drawn as the view's
// texture on the sphere, which samples texels from all over the picture.
#include "FuzzImport.h"
#include "view/TextureData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    TOrvex3& View = FuzzView();
    const std::string File = FuzzFile(".bmp", Data, Size);
    TTextureData Texture;
    Texture.LoadBitmapFile(File);
    if (!Texture.IsLoaded()) return 0;
    for (int32_t I = 0; I < 256; ++I) Texture.ColorToIndex(Texture.IndexToColor(I));

    View.SetTextureFilename(File);
    View.SetTextureBackground(true);
    View.SetDrawGrid(dgNone);
    View.SetSurfaceSize(40, 30);
    View.SetProjection(opSpherical);
    View.ZoomToScale(0);
    View.Render();
    View.SetTextureFilename("");
    return 0;
}
