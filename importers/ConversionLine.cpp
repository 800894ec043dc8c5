#include "importers/ConversionLine.h"

#include <QCheckBox>
#include <QLabel>

#include "platform/Text.h"

int ShowConversionLine(QLabel& Label, QCheckBox& Keep, const std::string& Description, int Height) {
    const bool Shown = !Description.empty();
    Label.setText(Shown ? ToQString("Coordinates: converted from " + Description + " to longitude/latitude")
                        : QString());
    Label.setVisible(Shown);
    Keep.setChecked(false);
    Keep.setVisible(Shown);
    return Shown ? Height : 0;
}
