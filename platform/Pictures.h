#pragma once
// Picture files (the pictures of point symbols), opened through the GUI libraries where the
// program links them (PicturesQt.cpp: every map view does). The model calls only these, so
// that a program that reads and writes layers without drawing them (orvex info) starts without
// those libraries; there a picture keeps its name and nothing is opened.

#include <cstdint>
#include <memory>
#include <string>

class QImage;

struct TPictureSize {
    int32_t Width = 0;
    int32_t Height = 0;
};

struct TPictureFile {
    std::shared_ptr<QImage> Image;
    TPictureSize Size;
};

// Reads the file at Path (native bytes); false, with nothing read, when it is not a picture.
using TPictureOpener = bool (*)(const std::string& Path, TPictureFile& Picture);
void SetPictureOpener(TPictureOpener Opener);
// Whether this program can open pictures.
bool CanOpenPictures();
// False when the file is not a picture or the program cannot open pictures.
bool OpenPictureFile(const std::string& Path, TPictureFile& Picture);

// Makes the Qt opener the one in use, and measures pictures; defined with it.
void UsePictureFiles();
TPictureSize PictureSize(const QImage& Picture);
