#include "platform/Pictures.h"

namespace {
TPictureOpener Opener = nullptr;
}  // namespace

void SetPictureOpener(TPictureOpener O) { Opener = O; }

bool CanOpenPictures() { return Opener != nullptr; }

bool OpenPictureFile(const std::string& Path, TPictureFile& Picture) { return Opener && Opener(Path, Picture); }
