#include "platform/textlayout/LayoutManager.h"

#include "platform/foundation/FileWrapper.h"
#include "platform/text/TextAttachment.h"
#include "platform/textlayout/AttachmentCell.h"
#include "platform/textlayout/LayoutConversions.h"
#include "platform/textlayout/LayoutRenderer.h"
#include "platform/textlayout/ParagraphLayoutCache.h"
#include "platform/textlayout/TemporaryAttributes.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <new>

using namespace textlayout;

namespace {

// A background slice stays well inside a frame, so that input and drawing never wait for it long.
constexpr double kBackgroundSliceSeconds = 0.004;

// Runs differ in few ways across a script (body, cue, emphasis): their formats are kept, most recent
// first, so that each is built, and its font resolved by Qt, once.
constexpr size_t kMostFormatsCached = 32;

} // namespace

struct LayoutManager::Private {
    explicit Private(LayoutManager& owner)
        : cache(
              container,
              [&owner](const Range& paragraphRange) { return owner.formatsForParagraph(paragraphRange); },
              [&owner](const Range& range, bool heightChanged) { owner.notifyLayout(range, heightChanged); },
              [&owner] { owner.scheduleIdleLayout(); }),
          renderer(cache, temporary)
    {
    }

    const QTextCharFormat& format(const AttributeDictionary& attributes, const QFont& defaultFont);

    std::shared_ptr<TextStorage> storage;
    TextStorage::ObserverToken observer = 0;
    TextContainer container;
    TemporaryAttributes temporary;
    ParagraphLayoutCache cache;
    LayoutRenderer renderer;
    std::vector<std::pair<int, LayoutObserver>> layoutObservers;
    int nextObserverToken = 1;
    LayoutView* drawingView = nullptr;
    std::vector<LayoutView*> textViews;
    std::vector<std::pair<AttributeDictionary, QTextCharFormat>> formats; // most recent first
    bool backgroundLayout = true;
    // Made on first need: programs that only draw one page have no event loop to run it.
    std::unique_ptr<QTimer> idleTimer;
};

const QTextCharFormat& LayoutManager::Private::format(const AttributeDictionary& attributes,
                                                      const QFont& defaultFont)
{
    for (auto entry = formats.begin(); entry != formats.end(); ++entry) {
        if (entry->first == attributes) {
            std::rotate(formats.begin(), entry, entry + 1);
            return formats.front().second;
        }
    }
    QTextCharFormat format;
    QFont font = defaultFont;
    if (const AttributeValue* value = attributes.find(kFontAttributeName); value && value->font())
        font = qtFont(*value->font());
    if (const AttributeValue* value = attributes.find(kKernAttributeName); value && value->number())
        font.setLetterSpacing(QFont::AbsoluteSpacing, std::clamp(finiteOr(*value->number(), 0), -1e3, 1e3));
    format.setFont(font);
    if (const AttributeValue* value = attributes.find(kForegroundColorAttributeName); value && value->color())
        format.setForeground(qtColor(*value->color()));
    else
        format.setForeground(Qt::black);
    // The text's background colour is drawn with the backgrounds, under marks and the selection.
    if (const AttributeValue* value = attributes.find(kUnderlineStyleAttributeName);
        value && value->integer() != kUnderlineStyleNone) {
        format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
        if (const AttributeValue* color = attributes.find(kUnderlineColorAttributeName);
            color && color->color())
            format.setUnderlineColor(qtColor(*color->color()));
    }
    if (const AttributeValue* value = attributes.find(kStrikethroughStyleAttributeName);
        value && value->integer() != kUnderlineStyleNone)
        format.setFontStrikeOut(true);
    if (const AttributeValue* value = attributes.find(kSuperscriptAttributeName);
        value && value->integer() != 0)
        format.setVerticalAlignment(value->integer() > 0 ? QTextCharFormat::AlignSuperScript
                                                         : QTextCharFormat::AlignSubScript);
    if (const AttributeValue* value = attributes.find(kBaselineOffsetAttributeName);
        value && value->number()) {
        // Qt counts the offset in percent of the font's height.
        const double height = QFontMetricsF(font, layoutDevice()).height();
        if (height > 0)
            format.setBaselineOffset(std::clamp(finiteOr(*value->number(), 0), -1e4, 1e4) / height * 100.0);
    }
    if (formats.size() >= kMostFormatsCached)
        formats.pop_back();
    formats.emplace(formats.begin(), attributes, std::move(format));
    return formats.front().second;
}

LayoutManager::LayoutManager(std::shared_ptr<TextStorage> storage) : d(std::make_unique<Private>(*this))
{
    d->cache.setDefaultFont(qtFont(Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 12}));
    replaceTextStorage(storage ? std::move(storage) : std::make_shared<TextStorage>());
}

LayoutManager::~LayoutManager()
{
    if (d->storage)
        d->storage->removeObserver(d->observer);
}

const std::shared_ptr<TextStorage>& LayoutManager::textStorage() const
{
    return d->storage;
}

void LayoutManager::replaceTextStorage(std::shared_ptr<TextStorage> storage)
{
    if (d->storage)
        d->storage->removeObserver(d->observer);
    d->storage = std::move(storage);
    d->observer =
        d->storage->addObserver(TextStorage::Phase::Edited,
                                [this](TextStorage&, const TextStorageEdit& edit) { storageEdited(edit); });
    d->temporary.reset(d->storage->length());
    d->cache.setStorage(*d->storage);
}

const TextContainer& LayoutManager::textContainer() const
{
    return d->container;
}

void LayoutManager::setTextContainerSize(const Size& size)
{
    const double oldWidth = d->container.size().width;
    d->container.setSize(size);
    if (d->container.size().width != oldWidth)
        d->cache.relayoutLines();
}

void LayoutManager::setLineFragmentPadding(double padding)
{
    d->container.setLineFragmentPadding(padding);
    d->cache.relayoutLines();
}

void LayoutManager::setTextContainerWidthTracksTextView(bool flag)
{
    d->container.setWidthTracksTextView(flag);
}

const QFont& LayoutManager::defaultFont() const
{
    return d->cache.defaultFont();
}

void LayoutManager::setDefaultFont(const QFont& font)
{
    d->formats.clear();
    d->cache.setDefaultFont(font);
    d->cache.relayoutAll();
}

QFont LayoutManager::qtFont(const Font& font)
{
    return textlayout::qtFont(font);
}

double LayoutManager::defaultLineHeightForFont(const QFont& font) const
{
    return d->cache.defaultLineHeightForFont(font);
}

// Layout passes.

double LayoutManager::attachmentScale() const
{
    return d->cache.attachmentScale();
}

void LayoutManager::setAttachmentScale(double scale)
{
    if (scale == d->cache.attachmentScale())
        return;
    d->cache.setAttachmentScale(scale);
    invalidateLayoutForCharacterRange({0, d->storage->length()});
}

void LayoutManager::invalidateLayoutForCharacterRange(const Range& range)
{
    d->cache.invalidateLayoutForCharacterRange(range);
}

void LayoutManager::invalidateDisplayForCharacterRange(const Range& range)
{
    notifyLayout(range, false);
}

void LayoutManager::ensureLayoutForCharacterRange(const Range& range)
{
    d->cache.ensureLayoutForCharacterIndex(range.length > 0 ? range.end() - 1 : range.location);
}

void LayoutManager::ensureLayoutForTextContainer()
{
    d->cache.ensureLayoutForAll();
}

qsizetype LayoutManager::layoutCacheLimit() const
{
    return d->cache.layoutCacheLimit();
}

void LayoutManager::setLayoutCacheLimit(qsizetype paragraphs)
{
    d->cache.setLayoutCacheLimit(paragraphs);
}

bool LayoutManager::isLayoutComplete() const
{
    return d->cache.isLayoutComplete() && !d->cache.hasUnreportedLayout();
}

qsizetype LayoutManager::firstUnlaidCharacterIndex() const
{
    return d->cache.firstUnlaidCharacterIndex();
}

double LayoutManager::paragraphTopForCharacterIndex(qsizetype index) const
{
    return d->cache.paragraphTopForCharacterIndex(index);
}

double LayoutManager::reportedMoveAt(double y) const
{
    return d->cache.reportedMoveAt(y);
}

void LayoutManager::reportPendingLayout()
{
    d->cache.reportLayout();
}

bool LayoutManager::backgroundLayoutEnabled() const
{
    return d->backgroundLayout;
}

void LayoutManager::setBackgroundLayoutEnabled(bool flag)
{
    d->backgroundLayout = flag;
    if (flag)
        scheduleIdleLayout();
}

bool LayoutManager::layOutInBackground(double seconds)
{
    try {
        return d->cache.layOutSlice(seconds);
    } catch (const std::bad_alloc&) {
        // What is left is laid out when it is shown, or fails there where the caller can tell.
        d->backgroundLayout = false;
        qWarning("Background text layout stopped: not enough memory");
        return false;
    }
}

void LayoutManager::scheduleIdleLayout()
{
    QCoreApplication* application = QCoreApplication::instance();
    if (!application || QThread::currentThread() != application->thread())
        return;
    if (!d->idleTimer) {
        d->idleTimer = std::make_unique<QTimer>();
        d->idleTimer->setSingleShot(true);
        d->idleTimer->setInterval(0);
        QObject::connect(d->idleTimer.get(), &QTimer::timeout, d->idleTimer.get(), [this] { idleLayout(); });
    }
    if (!d->idleTimer->isActive())
        d->idleTimer->start();
}

void LayoutManager::idleLayout()
{
    d->cache.reportLayout();
    if (!d->backgroundLayout || d->cache.isLayoutComplete())
        return;
    if (layOutInBackground(kBackgroundSliceSeconds))
        scheduleIdleLayout();
}

void LayoutManager::storageEdited(const TextStorageEdit& edit)
{
    // Temporary attributes follow the edit first: observers of the new layout draw them.
    d->temporary.textEdited(edit, d->storage->length());
    d->cache.storageEdited(edit);
}

QList<QTextLayout::FormatRange> LayoutManager::formatsForParagraph(const Range& paragraphRange) const
{
    QList<QTextLayout::FormatRange> formats;
    d->storage->enumerateAttributes(
        paragraphRange, 0, [&](const AttributeDictionary& attributes, const Range& range, bool&) {
            const QTextCharFormat& format = d->format(attributes, d->cache.defaultFont());
            const AttributeValue* attachmentValue = attributes.find(kAttachmentAttributeName);
            std::shared_ptr<TextAttachment> attachment =
                attachmentValue ? attachmentValue->attachment() : nullptr;
            if (!attachment) {
                formats.push_back({int(range.location - paragraphRange.location), int(range.length), format});
                return;
            }
            QSizeF size;
            attachmentMetrics(*attachment, &size, d->cache.attachmentScale());
            const double space =
                QFontMetricsF(format.font(), layoutDevice()).horizontalAdvance(QChar(kAttachmentStandIn));
            for (qsizetype i = range.location; i < range.end(); ++i) {
                QTextCharFormat one = format;
                if (d->storage->characterAtIndex(i) == kAttachmentCharacter)
                    one.setFontWordSpacing(size.width() - space);
                formats.push_back({int(i - paragraphRange.location), 1, one});
            }
        });
    return formats;
}

void LayoutManager::notifyLayout(const Range& range, bool heightChanged)
{
    const auto observers = d->layoutObservers;
    for (const auto& [token, observer] : observers)
        observer(range, heightChanged);
}

const std::vector<LayoutView*>& LayoutManager::textViews() const
{
    return d->textViews;
}

LayoutView* LayoutManager::firstTextView() const
{
    return d->textViews.empty() ? nullptr : d->textViews.front();
}

void LayoutManager::addTextView(LayoutView* view)
{
    if (view && std::find(d->textViews.begin(), d->textViews.end(), view) == d->textViews.end())
        d->textViews.push_back(view);
}

void LayoutManager::removeTextView(LayoutView* view)
{
    std::erase(d->textViews, view);
    if (d->drawingView == view)
        d->drawingView = nullptr;
}

LayoutView* LayoutManager::textViewForDrawing() const
{
    return d->drawingView;
}

void LayoutManager::setTextViewForDrawing(LayoutView* view)
{
    d->drawingView = view;
}

int LayoutManager::addLayoutObserver(LayoutObserver observer)
{
    const int token = d->nextObserverToken++;
    d->layoutObservers.emplace_back(token, std::move(observer));
    return token;
}

void LayoutManager::removeLayoutObserver(int token)
{
    std::erase_if(d->layoutObservers, [token](const auto& entry) { return entry.first == token; });
}

// Queries: the cache answers them.

Rect LayoutManager::usedRectForTextContainer() const
{
    return d->cache.usedRectForTextContainer();
}

qsizetype LayoutManager::numberOfLines() const
{
    return d->cache.numberOfLines();
}

qsizetype LayoutManager::numberOfGlyphs() const
{
    return d->cache.length();
}

Range LayoutManager::glyphRangeForCharacterRange(const Range& characterRange,
                                                 Range* actualCharacterRange) const
{
    return d->cache.glyphRangeForCharacterRange(characterRange, actualCharacterRange);
}

Range LayoutManager::characterRangeForGlyphRange(const Range& glyphRange, Range* actualGlyphRange) const
{
    return d->cache.characterRangeForGlyphRange(glyphRange, actualGlyphRange);
}

Rect LayoutManager::lineFragmentRectForGlyphAtIndex(qsizetype glyphIndex, Range* effectiveGlyphRange) const
{
    return d->cache.lineFragmentRectForGlyphAtIndex(glyphIndex, effectiveGlyphRange);
}

Rect LayoutManager::lineFragmentUsedRectForGlyphAtIndex(qsizetype glyphIndex,
                                                        Range* effectiveGlyphRange) const
{
    return d->cache.lineFragmentUsedRectForGlyphAtIndex(glyphIndex, effectiveGlyphRange);
}

std::optional<LineFragment> LayoutManager::lineFragmentForGlyphAtIndex(qsizetype glyphIndex) const
{
    return d->cache.lineFragmentForGlyphAtIndex(glyphIndex);
}

std::optional<LineFragment> LayoutManager::lineFragmentWhereEstimated(qsizetype glyphIndex,
                                                                      double below) const
{
    auto fragment = d->cache.lineFragmentWhereEstimated(glyphIndex, below);
    // The answer is where the text stands now: observers hear of any move before a view is placed by
    // it, so that the move is not taken again once the view stands there.
    d->cache.reportLayout();
    return fragment;
}

std::vector<LineFragment> LayoutManager::lineFragmentsInRect(const Rect& rect) const
{
    return d->cache.lineFragmentsInRect(rect);
}

Rect LayoutManager::extraLineFragmentRect() const
{
    return d->cache.extraLineFragmentRect();
}

Rect LayoutManager::extraLineFragmentUsedRect() const
{
    return d->cache.extraLineFragmentUsedRect();
}

std::vector<Rect> LayoutManager::rectsForCharacterRange(const Range& range) const
{
    return d->cache.rectsForCharacterRange(range);
}

Rect LayoutManager::boundingRectForGlyphRange(const Range& glyphRange) const
{
    return d->cache.boundingRectForGlyphRange(glyphRange);
}

qsizetype LayoutManager::glyphIndexForPoint(const Point& point, double* fraction) const
{
    return d->cache.glyphIndexForPoint(point, fraction);
}

qsizetype LayoutManager::insertionIndexForPoint(const Point& point) const
{
    return d->cache.insertionIndexForPoint(point);
}

Range LayoutManager::glyphRangeForBoundingRect(const Rect& rect, bool onlyWhole) const
{
    return d->cache.glyphRangeForBoundingRect(rect, onlyWhole);
}

Rect LayoutManager::insertionPointRectForCharacterIndex(qsizetype index) const
{
    return d->cache.insertionPointRectForCharacterIndex(index);
}

Point LayoutManager::locationForGlyphAtIndex(qsizetype glyphIndex) const
{
    return d->cache.locationForGlyphAtIndex(glyphIndex);
}

// Moves.

qsizetype LayoutManager::nextCursorPosition(qsizetype index) const
{
    return d->cache.nextCursorPosition(index);
}

qsizetype LayoutManager::previousCursorPosition(qsizetype index) const
{
    return d->cache.previousCursorPosition(index);
}

qsizetype LayoutManager::visualCursorPosition(qsizetype index, bool toLeft) const
{
    return d->cache.visualCursorPosition(index, toLeft);
}

Range LayoutManager::wordRangeAtIndex(qsizetype index) const
{
    return d->cache.wordRangeAtIndex(index);
}

qsizetype LayoutManager::nextWordBoundary(qsizetype index) const
{
    return d->cache.nextWordBoundary(index);
}

qsizetype LayoutManager::previousWordBoundary(qsizetype index) const
{
    return d->cache.previousWordBoundary(index);
}

// Temporary attributes.

void LayoutManager::setTemporaryAttributes(const AttributeDictionary& attributes, const Range& range)
{
    d->temporary.set(attributes, range);
    invalidateDisplayForCharacterRange(range);
}

void LayoutManager::addTemporaryAttribute(const QString& name, const AttributeValue& value,
                                          const Range& range)
{
    d->temporary.add(name, value, range);
    invalidateDisplayForCharacterRange(range);
}

void LayoutManager::addTemporaryAttributes(const AttributeDictionary& attributes, const Range& range)
{
    d->temporary.add(attributes, range);
    invalidateDisplayForCharacterRange(range);
}

void LayoutManager::removeTemporaryAttribute(const QString& name, const Range& range)
{
    d->temporary.remove(name, range);
    invalidateDisplayForCharacterRange(range);
}

AttributeDictionary LayoutManager::temporaryAttributesAtCharacterIndex(qsizetype index,
                                                                       Range* effectiveRange) const
{
    return d->temporary.attributesAt(index, effectiveRange);
}

AttributeValue LayoutManager::temporaryAttribute(const QString& name, qsizetype index,
                                                 Range* longestEffectiveRange, const Range& limit) const
{
    return d->temporary.attribute(name, index, longestEffectiveRange, limit);
}

void LayoutManager::enumerateTemporaryAttribute(
    const QString& name, const Range& range, bool reverse,
    const std::function<void(const AttributeValue&, const Range&, bool&)>& visit) const
{
    d->temporary.enumerate(name, range, reverse, visit);
}

// Drawing: the renderer draws, the hooks below are what subclasses refine.

std::vector<RulerMarker> LayoutManager::rulerMarkersForTextView(const LayoutView*,
                                                                const ParagraphStyle& style) const
{
    std::vector<RulerMarker> markers;
    for (qsizetype i = 0; i < style.tabStops.size(); ++i) {
        const TextTab& tab = style.tabStops.at(i);
        RulerMarker::Kind kind = RulerMarker::Kind::LeftTab;
        if (tab.type == TextTabType::Right)
            kind = RulerMarker::Kind::RightTab;
        else if (tab.type == TextTabType::Center)
            kind = RulerMarker::Kind::CenterTab;
        else if (tab.type == TextTabType::Decimal)
            kind = RulerMarker::Kind::DecimalTab;
        markers.push_back({kind, tab.location, QString::number(i)});
    }
    const TextContainer& container = textContainer();
    const double lineWidth = std::max(0.0, container.size().width - 2 * container.lineFragmentPadding());
    const double tail = style.tailIndent > 0 ? style.tailIndent : lineWidth + style.tailIndent;
    markers.push_back({RulerMarker::Kind::FirstLineHeadIndent, style.firstLineHeadIndent,
                       kFirstLineHeadIndentRulerMarkerTag});
    markers.push_back({RulerMarker::Kind::HeadIndent, style.headIndent, kHeadIndentRulerMarkerTag});
    markers.push_back({RulerMarker::Kind::TailIndent, tail, kTailIndentRulerMarkerTag});
    return markers;
}

void LayoutManager::fillBackgroundRectsForCharacterRange(QPainter& painter, const Range& range,
                                                         const QColor& color, const Point& origin) const
{
    d->renderer.fillBackgroundRectsForCharacterRange(painter, range, color, origin);
}

void LayoutManager::drawBackgroundForGlyphRange(QPainter& painter, const Range& glyphRange,
                                                const Point& origin)
{
    d->renderer.drawBackground(painter, glyphRange, origin, d->drawingView);
}

void LayoutManager::drawGlyphsForGlyphRange(QPainter& painter, const Range& glyphRange, const Point& origin)
{
    d->renderer.drawGlyphs(painter, glyphRange, origin, *this);
}

void LayoutManager::drawLineFragment(QPainter&, const LineFragment&, const Point&) {}

void LayoutManager::drawAttachment(QPainter& painter, const TextAttachment& attachment, const QRectF& rect,
                                   qsizetype characterIndex)
{
    if (auto* cell = dynamic_cast<AttachmentCell*>(attachment.attachmentCell().get())) {
        cell->drawWithFrame(painter, rect, characterIndex, *this);
        return;
    }
    if (!attachment.fileWrapper() || !attachment.fileWrapper()->isRegularFile() || rect.isEmpty())
        return;
    QImage image;
    if (image.loadFromData(attachment.fileWrapper()->regularFileContents()))
        painter.drawImage(rect, image);
}
