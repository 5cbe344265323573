#pragma once

// The operator's view of a script, as the long-script benchmarks open it: a text view in a clip view
// the size of the window, drawn into an image of that size.
#include "platform/appkit/ClipView.h"
#include "platform/text/TextStorage.h"
#include "platform/textview/TextView.h"

#include <QImage>
#include <QPainter>

#include <memory>

namespace bench {

inline const Rect kViewFrame(0, 0, 1280, 800);

struct OpenScript {
    explicit OpenScript(const MutableAttributedString& text)
        : clip(std::make_unique<ClipView>(kViewFrame)), image(1280, 800, QImage::Format_ARGB32_Premultiplied)
    {
        auto storage = std::make_shared<TextStorage>();
        storage->setAttributedString(text);
        view = static_cast<TextView*>(clip->setDocumentView(
            std::make_unique<TextView>(kViewFrame, std::make_shared<LayoutManager>(storage))));
    }
    void drawFrame()
    {
        QPainter painter(&image);
        view->displayRectIgnoringOpacity(view->visibleRect(), painter);
    }
    std::unique_ptr<ClipView> clip;
    TextView* view = nullptr;
    QImage image;
};

} // namespace bench
