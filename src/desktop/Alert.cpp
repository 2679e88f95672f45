#include "desktop/Alert.h"

int Alert::escapeResponse() const
{
    const int last = int(buttons.size()) - 1;
    const int index = escapeButton >= 0 && escapeButton <= last ? escapeButton : last;
    return FirstButtonReturn + qMax(index, 0);
}
