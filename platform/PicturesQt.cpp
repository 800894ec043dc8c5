#include <QImage>

#include "platform/Pictures.h"
#include "platform/Text.h"

namespace {

bool OpenWithQt(const std::string& Path, TPictureFile& Picture) {
    auto Image = std::make_shared<QImage>();
    if (!Image->load(PathToQString(Path))) return false;
    Picture.Size = PictureSize(*Image);
    Picture.Image = std::move(Image);
    return true;
}

// Every program that links the opener opens pictures from the start.
[[maybe_unused]] const bool Registered = (UsePictureFiles(), true);

}  // namespace

void UsePictureFiles() { SetPictureOpener(&OpenWithQt); }

TPictureSize PictureSize(const QImage& Picture) { return {Picture.width(), Picture.height()}; }
