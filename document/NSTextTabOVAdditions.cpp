#include "document/NSTextTabOVAdditions.h"

#include <QLocale>

namespace NSTextTabOVAdditions {

int numberOfTextTabs()
{
    return 6;
}

double tabStopIntervalFactor()
{
    return QLocale().measurementSystem() == QLocale::MetricSystem ? 2.0 : 1.0;
}

} // namespace NSTextTabOVAdditions
