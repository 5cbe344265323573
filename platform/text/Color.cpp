#include "platform/text/Color.h"

#include <cmath>

int Color::toByte(double component)
{
    if (!(component > 0))
        return 0;
    if (component >= 1)
        return 255;
    return int(std::lround(component * 255.0));
}
