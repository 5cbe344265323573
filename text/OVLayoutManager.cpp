#include "text/OVLayoutManager.h"

#include "platform/foundation/UserDefaults.h"
#include "platform/text/Color.h"
#include "platform/textlayout/LayoutConversions.h"
#include "text/OVTextView.h"

#include <QPainter>
#include <QPen>

#include <cmath>
#include <optional>

namespace {

OVLayoutManager::ScaleFactorProvider& scaleFactorProvider()
{
    static OVLayoutManager::ScaleFactorProvider provider;
    return provider;
}

// Set once the base markers stop looking as expected; filtering is then left alone for good.
bool& rulerMarkerFilterGaveUp()
{
    static bool gaveUp = false;
    return gaveUp;
}

std::optional<bool>& spellCheckEnhancement()
{
    static std::optional<bool> value;
    return value;
}

QBrush brushFor(const OVSharedPreferencesAccess::MarkedTextColor& marked)
{
    const QColor color = textlayout::qtColor(marked.color);
    if (marked.standardPattern == 0)
        return QBrush(color);
    // The highlighter look: a dense dot pattern that lets the page show through.
    return QBrush(color, Qt::Dense4Pattern);
}

} // namespace

OVTextView* OVLayoutManager::customTextView() const
{
    return dynamic_cast<OVTextView*>(firstTextView());
}

void OVLayoutManager::setPrompterScaleFactorProvider(ScaleFactorProvider provider)
{
    scaleFactorProvider() = std::move(provider);
}

double OVLayoutManager::prompterScaleFactor(const OVTextView& view)
{
    return scaleFactorProvider() ? scaleFactorProvider()(view) : 1.0;
}

const QStringList& OVLayoutManager::_sharedIndentRulerMarkerRepresentedObjects()
{
    static const QStringList tags{kHeadIndentRulerMarkerTag, kTailIndentRulerMarkerTag,
                                  kFirstLineHeadIndentRulerMarkerTag};
    return tags;
}

std::vector<RulerMarker> OVLayoutManager::rulerMarkersForTextView(const LayoutView* view,
                                                                  const ParagraphStyle& style) const
{
    std::vector<RulerMarker> markers = LayoutManager::rulerMarkersForTextView(view, style);
    const auto* textView = dynamic_cast<const OVTextView*>(view);
    const bool normalizing =
        textView ? textView->alwaysNormalizeParagraphIndents()
                 : UserDefaults::shared().boolForKey(QStringLiteral("editingAlwaysNormalizeParagraphIndents"));
    if (!normalizing || rulerMarkerFilterGaveUp())
        return markers;
    std::vector<RulerMarker> filtered = markers;
    std::erase_if(filtered, [](const RulerMarker& marker) {
        return _sharedIndentRulerMarkerRepresentedObjects().contains(marker.representedObject);
    });
    if (!markers.empty() && markers.size() - filtered.size() != 3) {
        qWarning("%s changed unexpectedly. look into this.",
                 "-[OVLayoutManager rulerMarkersForTextView:paragraphStyle:ruler:]");
        rulerMarkerFilterGaveUp() = true;
        return markers;
    }
    return filtered;
}

bool OVLayoutManager::quickZoomUseSpellCheckEnhancement()
{
    if (!spellCheckEnhancement())
        spellCheckEnhancement() =
            UserDefaults::shared().boolForKey(QStringLiteral("quickZoomUseSpellCheckEnhancement"));
    return *spellCheckEnhancement();
}

void OVLayoutManager::_setQuickZoomUseSpellCheckEnhancement(bool flag)
{
    spellCheckEnhancement() = flag;
}

void OVLayoutManager::drawBackgroundForGlyphRange(QPainter& painter, const Range& glyphRange,
                                                  const Point& origin)
{
    LayoutManager::drawBackgroundForGlyphRange(painter, glyphRange, origin);
    OVTextView* view = customTextView();
    if (!view || !view->drawsMarkedText())
        return;
    const auto marked = view->markedTextColor();
    if (!marked)
        return;
    const QBrush brush = brushFor(*marked);
    // Only the view being drawn has its selection on screen.
    const bool drawsSelection = textViewForDrawing() == view;
    const QColor selection = view->selectionColorForDrawing();
    const Range drawn = characterRangeForGlyphRange(glyphRange);
    enumerateTemporaryAttribute(
        OVMarkedTextAttributeName, drawn, false, [&](const AttributeValue& value, const Range& run, bool&) {
            const std::optional<double> number = value.number();
            if (!number || *number == 0)
                return;
            const Range piece = run.intersection(drawn);
            for (const Rect& rect : rectsForCharacterRange(piece))
                painter.fillRect(
                    QRectF(rect.minX() + origin.x, rect.minY() + origin.y, rect.width(), rect.height()),
                    brush);
            if (!drawsSelection)
                return;
            // Selected marked text still reads as selected.
            for (const Range& selected : view->selectedRanges()) {
                const Range common = selected.intersection(piece);
                if (!common.isEmpty())
                    fillBackgroundRectsForCharacterRange(painter, common, selection, origin);
            }
        });
}

bool OVLayoutManager::drawsOwnSpellingUnderlines() const
{
    if (!quickZoomUseSpellCheckEnhancement())
        return false;
    const OVTextView* view = customTextView();
    return view && std::abs(prompterScaleFactor(*view) - 1.0) >= 0.00001;
}

void OVLayoutManager::drawLineFragment(QPainter& painter, const LineFragment& fragment, const Point& origin)
{
    LayoutManager::drawLineFragment(painter, fragment, origin);
    if (!drawsOwnSpellingUnderlines())
        return;
    enumerateTemporaryAttribute(
        kSpellingStateAttributeName, fragment.characterRange, false,
        [&](const AttributeValue& value, const Range& run, bool&) {
            const qint64 state = value.integer();
            QColor color;
            if (state & kSpellingStateGrammarFlag)
                color = QColor(0, 255, 0);
            else if (state & kSpellingStateSpellingFlag)
                color = QColor(255, 0, 0);
            else
                return;
            // A cosmetic pen: one device pixel whatever the magnification.
            QPen pen(color, 0, Qt::DotLine);
            pen.setCosmetic(true);
            painter.save();
            // Blended over two rows a one-pixel dotted line turns into a faint smear.
            painter.setRenderHint(QPainter::Antialiasing, false);
            painter.setPen(pen);
            const double y = origin.y + fragment.baseline + 2;
            for (const Rect& rect : rectsForCharacterRange(run.intersection(fragment.characterRange)))
                painter.drawLine(QPointF(origin.x + rect.minX(), y), QPointF(origin.x + rect.maxX(), y));
            painter.restore();
        });
}
