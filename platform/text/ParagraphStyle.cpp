#include "platform/text/ParagraphStyle.h"

QList<TextTab> ParagraphStyle::defaultTabStops()
{
    static const QList<TextTab> stops = [] {
        QList<TextTab> list;
        for (int i = 1; i <= 12; ++i)
            list.append(TextTab{TextTabType::Left, 28.0 * i});
        return list;
    }();
    return stops;
}
