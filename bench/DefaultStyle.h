#pragma once

// The default style as the General pane stores it: without one, every reader of it rebuilds it and
// logs the missing setting, and the benchmarks would measure that log. Writes the setting, so call it
// once the user folders are the run's own.
#include "platform/foundation/UserDefaults.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/AttributedString.h"
#include "platform/text/ParagraphStyle.h"
#include "settings/OVSharedPreferencesAccess.h"

namespace bench {

inline void storeDefaultStyle()
{
    Font helvetica;
    helvetica.familyName = helvetica.fontName = QStringLiteral("Helvetica");
    helvetica.pointSize = 36;
    const AttributedString sample(QStringLiteral("Indeed"),
                                  {{kFontAttributeName, helvetica},
                                   {kForegroundColorAttributeName, Color::rgb(1, 1, 1)},
                                   {kParagraphStyleAttributeName, ParagraphStyle{}}});
    if (const auto data =
            OVSharedPreferencesAccess::styleDataFromAttributedString(&sample, Color::rgb(0, 0, 0)))
        UserDefaults::shared().setObject(PlistValue(*data), kDefaultDocumentStyleKey);
    OVSharedPreferencesAccess::triggerDefaultStyleUpdate();
}

} // namespace bench
