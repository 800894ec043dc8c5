#pragma once
// The "Export Image" size dialog: the width and height of the picture in pixels, starting at
// the view's own size, with the view's aspect kept while "Keep the view's aspect" is checked.

#include <QDialog>
#include <cstdint>
#include <string>

class QCheckBox;
class QLineEdit;

class TfrmExportImage : public QDialog {
public:
    TfrmExportImage(int32_t ViewWidth, int32_t ViewHeight, QWidget* Parent = nullptr);

    // The size typed in; meaningful when SizeProblem is empty.
    int32_t PictureWidth() const;
    int32_t PictureHeight() const;
    // Why the size typed in cannot be exported, or empty.
    std::string SizeProblem() const;
    // Stays open, with the reason shown, while the size cannot be exported.
    void accept() override;

    QLineEdit* edWidth;
    QLineEdit* edHeight;
    QCheckBox* cbKeepAspect;

private:
    // Follows an edit of one side with the other, when the aspect is kept.
    void SideEdited(bool Width);

    int32_t FViewWidth, FViewHeight;
};
