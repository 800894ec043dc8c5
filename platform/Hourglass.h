#pragma once
// Shows the hourglass cursor (through the UI services) until Release or the end of the
// object's life.

#include "platform/UiServices.h"

class THourglass {
public:
    explicit THourglass(bool Show = true) : FShown(Show) {
        if (FShown) UiServices().BeginHourglass();
    }
    ~THourglass() { Release(); }
    void Release() {
        if (FShown) UiServices().EndHourglass();
        FShown = false;
    }
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;

private:
    bool FShown;
};
