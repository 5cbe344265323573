#pragma once

#include "platform/text/TextStorage.h"
#include "platform/textlayout/LayoutManager.h"

#include <QGuiApplication>

#include <memory>

// Lays out what a reader made at a width the input chooses, as a window shows it: every line, then the
// caret moved through the text and a point hit-tested. A line that cannot be broken in good time shows
// here as a timeout.
inline void layOutAsShown(const AttributedString& text, unsigned char widthByte)
{
    static const std::unique_ptr<QGuiApplication> application = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzzer";
        static char* argv[] = {name, nullptr};
        return std::make_unique<QGuiApplication>(argc, argv);
    }();
    auto storage = std::make_shared<TextStorage>();
    storage->setAttributedString(text);
    LayoutManager layout(storage);
    layout.setTextContainerSize({20.0 + widthByte * 8, TextContainer::kUnlimitedHeight});
    layout.ensureLayoutForTextContainer();
    const Rect used = layout.usedRectForTextContainer();
    (void)layout.glyphIndexForPoint({used.midX(), used.midY()});
    (void)layout.insertionPointRectForCharacterIndex(storage->length() / 2);
}
