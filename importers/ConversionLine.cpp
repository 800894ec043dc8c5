#include "importers/ConversionLine.h"

#include <QCheckBox>
#include <QLabel>

#include "platform/Text.h"

void ShowConversionLine(QLabel& Label, QCheckBox& Keep, const std::string& Description) {
    const bool Shown = !Description.empty();
    Label.setText(Shown ? ToQString("Coordinates: converted from " + Description + " to longitude/latitude")
                        : QString());
    Label.setVisible(Shown);
    Keep.setChecked(false);
    Keep.setVisible(Shown);
}
