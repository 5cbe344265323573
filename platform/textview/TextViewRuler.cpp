// The ruler over a text view: its markers from the selected paragraphs' style, and the paragraph
// changes that dragging them makes.
#include "platform/textview/TextView.h"

#include "platform/appkit/ScrollView.h"
#include "platform/appkit/UndoManager.h"
#include "platform/textview/RulerView.h"

#include <algorithm>
#include <cmath>

void TextView::setUsesRuler(bool flag)
{
    // A ruler already showing stays until it is hidden: whoever turns the ruler off for a while
    // (a change into Prompt mode) first asks whether it was showing, to bring it back later.
    m_usesRuler = flag;
}

RulerView* TextView::rulerView() const
{
    const ScrollView* scrollView = enclosingScrollView();
    auto* ruler = scrollView ? dynamic_cast<RulerView*>(scrollView->horizontalRulerView()) : nullptr;
    return ruler && ruler->client() == this ? ruler : nullptr;
}

bool TextView::isRulerVisible() const
{
    const ScrollView* scrollView = enclosingScrollView();
    return rulerView() && scrollView->hasHorizontalRuler() && scrollView->rulersVisible();
}

void TextView::setRulerVisible(bool flag)
{
    ScrollView* scrollView = enclosingScrollView();
    if (!scrollView || (flag && !m_usesRuler) || flag == isRulerVisible())
        return;
    if (flag && !rulerView()) {
        auto ruler = std::make_unique<RulerView>(m_rulerClient);
        ruler->setFrameSize({scrollView->bounds().size.width, RulerView::kThickness});
        scrollView->setHorizontalRulerView(std::move(ruler));
    }
    scrollView->setHasHorizontalRuler(true);
    scrollView->setRulersVisible(flag);
    updateRuler();
}

void TextView::toggleRuler()
{
    setRulerVisible(!isRulerVisible());
}

void TextView::updateRuler()
{
    RulerView* ruler = rulerView();
    const ScrollView* scrollView = enclosingScrollView();
    if (!ruler || scrollView->horizontalRulerThickness() == 0 || scrollView->suspendsRulerUpdates())
        return;
    ruler->setNeedsDisplay(true);
}

ParagraphStyle TextView::rulerParagraphStyle() const
{
    const AttributeValue value = m_typingAttributes.value(kParagraphStyleAttributeName);
    if (const ParagraphStyle* style = value.paragraphStyle())
        return *style;
    return {};
}

std::vector<RulerMarker> TextView::rulerMarkers() const
{
    return m_layoutManager->rulerMarkersForTextView(this, rulerParagraphStyle());
}

void TextView::changeSelectedParagraphStyles(const std::function<void(ParagraphStyle&)>& change,
                                             const QString& actionName)
{
    if (!m_editable)
        return;
    TextStorage& storage = textStorage();
    std::vector<Range> paragraphs;
    for (const Range& selected : m_selectedRanges) {
        const Range paragraph = storage.paragraphRange(selected);
        if (!paragraphs.empty() && paragraph.location <= paragraphs.back().end())
            paragraphs.back() = paragraphs.back().united(paragraph);
        else
            paragraphs.push_back(paragraph);
    }
    std::erase_if(paragraphs, [](const Range& paragraph) { return paragraph.length == 0; });
    if (!paragraphs.empty()) {
        if (!shouldChangeTextInRanges(paragraphs, {}))
            return;
        std::vector<std::pair<Range, ParagraphStyle>> changes;
        for (const Range& paragraph : paragraphs) {
            storage.enumerateAttribute(kParagraphStyleAttributeName, paragraph, 0,
                                       [&](const AttributeValue& value, const Range& run, bool&) {
                                           ParagraphStyle style =
                                               value.paragraphStyle() ? *value.paragraphStyle() : ParagraphStyle{};
                                           change(style);
                                           changes.emplace_back(run, style);
                                       });
        }
        storage.beginEditing();
        for (const auto& [run, style] : changes)
            storage.addAttribute(kParagraphStyleAttributeName, style, run);
        storage.endEditing();
        UndoManager* manager = undoManager();
        if (m_allowsUndo && manager->isUndoRegistrationEnabled())
            manager->setActionName(actionName);
    }
    ParagraphStyle typing = rulerParagraphStyle();
    change(typing);
    AttributeDictionary attributes = m_typingAttributes;
    attributes.insert(kParagraphStyleAttributeName, typing);
    setTypingAttributes(attributes);
    if (!paragraphs.empty())
        didChangeText();
    updateRuler();
}

void TextView::rulerMoveMarker(const RulerMarker& marker, double location)
{
    if (!std::isfinite(location) || location < 0)
        return;
    const TextContainer& container = textContainer();
    const double lineWidth = std::max(0.0, container.size().width - 2 * container.lineFragmentPadding());
    const qsizetype tabIndex = marker.representedObject.toLongLong();
    const QString& tag = marker.representedObject;
    changeSelectedParagraphStyles(
        [&](ParagraphStyle& style) {
            if (tag == kFirstLineHeadIndentRulerMarkerTag) {
                style.firstLineHeadIndent = location;
            } else if (tag == kHeadIndentRulerMarkerTag) {
                style.headIndent = location;
            } else if (tag == kTailIndentRulerMarkerTag) {
                // Kept relative to the end, as the platform's default styles are, so the indent
                // follows the window's width; only one dragged to the very end means "none".
                style.tailIndent = location >= lineWidth ? 0 : location - lineWidth;
            } else if (tabIndex >= 0 && tabIndex < style.tabStops.size()) {
                style.tabStops[tabIndex].location = location;
                std::stable_sort(style.tabStops.begin(), style.tabStops.end(),
                                 [](const TextTab& a, const TextTab& b) { return a.location < b.location; });
            }
        },
        marker.isIndent() ? QStringLiteral("Set Indent") : QStringLiteral("Move Tab Stop"));
}

void TextView::rulerRemoveMarker(const RulerMarker& marker)
{
    if (marker.isIndent())
        return;
    bool ok = false;
    const qsizetype tabIndex = marker.representedObject.toLongLong(&ok);
    if (!ok)
        return;
    changeSelectedParagraphStyles(
        [&](ParagraphStyle& style) {
            if (tabIndex >= 0 && tabIndex < style.tabStops.size())
                style.tabStops.removeAt(tabIndex);
        },
        QStringLiteral("Remove Tab Stop"));
}

void TextView::rulerAddTab(double location)
{
    if (!std::isfinite(location) || location < 0)
        return;
    changeSelectedParagraphStyles(
        [&](ParagraphStyle& style) {
            TextTab tab{TextTabType::Left, location};
            if (style.tabStops.contains(tab))
                return;
            const auto at = std::lower_bound(style.tabStops.begin(), style.tabStops.end(), location,
                                             [](const TextTab& a, double value) { return a.location < value; });
            style.tabStops.insert(at, tab);
        },
        QStringLiteral("Add Tab Stop"));
}

void TextView::rulerSetAlignment(TextAlignment alignment)
{
    changeSelectedParagraphStyles([alignment](ParagraphStyle& style) { style.alignment = alignment; },
                                  QStringLiteral("Set Alignment"));
}

void TextView::rulerSetLineHeightMultiple(double multiple)
{
    if (!std::isfinite(multiple) || multiple <= 0)
        return;
    changeSelectedParagraphStyles([multiple](ParagraphStyle& style) { style.lineHeightMultiple = multiple; },
                                  QStringLiteral("Set Spacing"));
}
