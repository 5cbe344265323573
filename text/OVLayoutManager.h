#pragma once

#include "platform/textlayout/LayoutManager.h"

#include <QStringList>

#include <functional>

class OVTextView;

// The layout manager of every script view: it draws the operator's marks under the glyphs (with the
// selection over them), and in magnified prompters its own thin dotted spelling and grammar
// underlines, which keep their on-screen size where the plain ones would grow with the text.
class OVLayoutManager : public LayoutManager {
public:
    using LayoutManager::LayoutManager;

    // The first view when it is a script view.
    OVTextView* customTextView() const;

    // The magnification of the prompter showing a view; the prompter layer installs it (1 without).
    using ScaleFactorProvider = std::function<double(const OVTextView& view)>;
    static void setPrompterScaleFactorProvider(ScaleFactorProvider provider);
    static double prompterScaleFactor(const OVTextView& view);
    // The user default "quickZoomUseSpellCheckEnhancement", read once per process.
    static bool quickZoomUseSpellCheckEnhancement();
    static void _setQuickZoomUseSpellCheckEnhancement(bool flag);

    void drawBackgroundForGlyphRange(QPainter& painter, const Range& glyphRange,
                                     const Point& origin) override;
    void drawLineFragment(QPainter& painter, const LineFragment& fragment, const Point& origin) override;
    bool drawsSpellingStateUnderlines() const override { return !drawsOwnSpellingUnderlines(); }
    // While indents are normalised on every edit, a dragged indent would be undone by the next
    // keystroke: the ruler then offers the tab stops only.
    std::vector<RulerMarker> rulerMarkersForTextView(const LayoutView* view,
                                                     const ParagraphStyle& style) const override;
    static const QStringList& _sharedIndentRulerMarkerRepresentedObjects();

private:
    bool drawsOwnSpellingUnderlines() const;
};
