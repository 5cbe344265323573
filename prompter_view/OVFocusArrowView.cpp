#include "prompter_view/OVFocusArrowView.h"

#include "platform/appkit/Animation.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/GlobalCoordinates.h"
#include "platform/appkit/RectFunctions.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/hvkit/HVSettingsController.h"
#include "prompter_view/OVContextualMenu.h"
#include "prompter_view/OVViewDrawing.h"
#include "prompting/OVCore.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

const QString kSettingsKey = QStringLiteral("focusArrowSettings");
const QString kTintKey = QStringLiteral("imageTintColor");
const QString kRatioKey = QStringLiteral("locationRatio");
const QString kStyleKey = QStringLiteral("arrowStyle");
const QString kSizeKey = QStringLiteral("arrowSize");
const QString kLockedKey = QStringLiteral("positionLocked");
const QString kShowsOnRightKey = QStringLiteral("focusArrowShowsOnRight");

// The artwork in points; drawn at twice the density so it stays sharp when magnified.
constexpr double kImageWidth = 50.0;
constexpr double kImageHeight = 40.0;
constexpr double kImageDensity = 2.0;

struct SizeEntry {
    const char* key;
    const char* title;
};
constexpr SizeEntry kSizes[OVFocusArrowView::kSizeCount] = {
    {"focus-arrow-size-smallest", "Smallest"}, {"focus-arrow-size-small", "Small"},
    {"focus-arrow-size-medium", "Medium"},     {"focus-arrow-size-large", "Large"},
    {"focus-arrow-size-largest", "Largest"},
};

struct ColorEntry {
    const char* key;
    const char* title;
    double red, green, blue;
};
constexpr ColorEntry kColors[OVFocusArrowView::kColorCount] = {
    {"focus-arrow-color-white", "White", 0.92, 0.92, 0.96},
    {"focus-arrow-color-gray", "Gray", 0.3, 0.3, 0.33},
    {"focus-arrow-color-red", "Red", 1.0, 0.0, 0.2},
    {"focus-arrow-color-pink", "Pink", 1.0, 0.12, 0.82},
    {"focus-arrow-color-orange", "Orange", 1.0, 0.5, 0.0},
    {"focus-arrow-color-yellow", "Yellow", 1.0, 0.93, 0.0},
    {"focus-arrow-color-green", "Green", 0.1, 1.0, 0.2},
    {"focus-arrow-color-blue", "Blue", 0.0, 0.7, 1.0},
    {"focus-arrow-color-purple", "Purple", 0.6, 0.12, 1.0},
};

QByteArray archivedColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return KeyedArchiver::archivedData(
        ArchiveValue(ArchivedColor::rgb(rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF())));
}

std::optional<QColor> unarchivedColor(const QByteArray& data)
{
    const std::optional<ArchiveValue> root =
        KeyedUnarchiver::unarchivedRootObject(data, {QStringLiteral("NSColor")}, nullptr);
    if (!root || !root->isColor())
        return std::nullopt;
    const ArchivedColor color = root->color();
    auto unit = [](double v) { return std::isfinite(v) ? float(std::clamp(v, 0.0, 1.0)) : 0.0f; };
    if (color.isRGB())
        return QColor::fromRgbF(unit(color.red), unit(color.green), unit(color.blue), unit(color.alpha));
    return QColor::fromRgbF(unit(color.white), unit(color.white), unit(color.white), unit(color.alpha));
}

// Colours compare by their 16-bit channels, so a colour read back from its archive equals itself.
bool sameColor(const QColor& a, const QColor& b)
{
    return a.toRgb().rgba64() == b.toRgb().rgba64();
}

std::optional<qint64> integerIn(const PlistValue& value, qint64 low, qint64 high)
{
    if (!value.isNumber())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || number != std::floor(number) || number < low || number > high)
        return std::nullopt;
    return qint64(number);
}

QImage makeArrowImage()
{
    QImage image(int(kImageWidth * kImageDensity), int(kImageHeight * kImageDensity),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(kImageDensity, kImageDensity);
    // A wide arrow pointing right, at the text; its tip is the reading line.
    QPainterPath path;
    path.moveTo(2, 13);
    path.lineTo(26, 13);
    path.lineTo(26, 3);
    path.lineTo(48, 20);
    path.lineTo(26, 37);
    path.lineTo(26, 27);
    path.lineTo(2, 27);
    path.closeSubpath();
    painter.fillPath(path, Qt::white);
    painter.end();
    image.setDevicePixelRatio(kImageDensity);
    return image;
}

Size imageSize(const QImage& image)
{
    const QSizeF size = image.deviceIndependentSize();
    return {size.width(), size.height()};
}

// A padlock in a rectangle of y-up coordinates.
void drawLockBadge(QPainter& painter, const Rect& rect)
{
    const double w = rect.size.width;
    const double h = rect.size.height;
    const double x = rect.origin.x;
    const double y = rect.origin.y;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(x, y, w, h * 0.58), w * 0.1, w * 0.1);
    QPen shackle(Qt::white, std::max(1.0, w * 0.14));
    painter.setPen(shackle);
    painter.setBrush(Qt::NoBrush);
    const double sw = w * 0.62;
    // Qt's angles turn towards its own y, which points down; here y points up, so the half over the
    // body is the one from 180 to 360 degrees.
    painter.drawArc(QRectF(x + (w - sw) / 2, y + h * 0.4, sw, h * 0.55), 180 * 16, 180 * 16);
    painter.restore();
}

} // namespace

static HVInitialDefaultsProviderRegistration<OVFocusArrowView> s_registration("OVFocusArrowView");

OVFocusArrowView::OVFocusArrowView(const Rect& frame)
    : View(frame), m_sync(
                       synchronizationScheme(), this, [this] { return properties(); },
                       [this](const PlistDictionary& p) { loadProperties(p); })
{
    m_sync.suspendPosting();
    m_suspendRedraws = true;
    loadProperties(defaultProperties());
    if (m_arrowStyle < 0)
        m_arrowStyle = 1;
    if (m_arrowSize < 0)
        m_arrowSize = 0;
    if (!m_imageTintColor.isValid())
        m_imageTintColor = *colorForFocusArrowColor(kDefaultColorTag);
    m_suspendRedraws = false;
    setFrameSize({widthForArrowSize(m_arrowSize), this->frame().size.height});
    m_imageString = imageStringForStyle(m_arrowStyle);
    updateImages();
    _updateArrowCenterFromOrigin();
    m_sync.resumePosting();
    HVSettingsController::shared().registerDefaultsProviderForResetAll(this);
}

OVFocusArrowView::~OVFocusArrowView()
{
    m_beingRemoved = true;
    HVSettingsController::shared().unregisterDefaultsProviderForResetAll(this);
}

OVSynchronizedProperties::Scheme& OVFocusArrowView::synchronizationScheme()
{
    static OVSynchronizedProperties::Scheme s{OVFocusArrowInternalDidChangePropertiesNotification,
                                              OVFocusArrowDidChangePropertiesNotification, kSettingsKey};
    return s;
}

PlistDictionary OVFocusArrowView::initialDefaultProperties()
{
    PlistDictionary properties;
    properties.insert(kTintKey, PlistValue(archivedColor(*colorForFocusArrowColor(kDefaultColorTag))));
    properties.insert(kRatioKey, PlistValue(0.75));
    properties.insert(kStyleKey, PlistValue(qint64(1)));
    properties.insert(kSizeKey, PlistValue(qint64(0)));
    properties.insert(kLockedKey, PlistValue(false));
    return properties;
}

QString OVFocusArrowView::contextualMenuTitle()
{
    return HVLocalizedString::localizedString(QStringLiteral("focus-arrow-focus-arrow-settings"),
                                              QStringLiteral("Focus Arrow Settings"));
}

double OVFocusArrowView::widthForArrowSize(qint64 arrowSize)
{
    // A size from damaged settings must never give a negative or absurd width.
    if (arrowSize < 0 || arrowSize >= kSizeCount)
        arrowSize = 0;
    return double(arrowSize + 1) * 50.0;
}

std::optional<QColor> OVFocusArrowView::colorForFocusArrowColor(int tag)
{
    if (tag < 0 || tag >= kColorCount)
        return std::nullopt;
    const ColorEntry& entry = kColors[tag];
    return QColor::fromRgbF(float(entry.red), float(entry.green), float(entry.blue), 1.0f);
}

QString OVFocusArrowView::imageStringForStyle(qint64 style)
{
    switch (style) {
    case 0:
        return QStringLiteral(">");
    case 1:
        return QString(QChar(0x25B6));
    case 2:
        return QString(QChar(0x25B8));
    case 3:
        return QString(QChar(0x27A4));
    default:
        return {};
    }
}

const QImage& OVFocusArrowView::focusArrowImage()
{
    static const QImage image = makeArrowImage();
    return image;
}

bool OVFocusArrowView::showsOnRight()
{
    static const bool storedOnRight = UserDefaults::shared().boolForKey(kShowsOnRightKey);
    return storedOnRight || QGuiApplication::layoutDirection() == Qt::RightToLeft;
}

OVFocusArrowView::Geometry OVFocusArrowView::geometryFor(const Size& viewSize, const Size& imageSize,
                                                         double locationRatio, bool flippedHorizontally,
                                                         bool flippedVertically)
{
    Geometry g;
    const double width = viewSize.width;
    const double height = viewSize.height;
    g.k = std::floor(imageSize.width) > 0 ? width / imageSize.width : 0.0;
    g.drawnWidth = std::ceil(g.k * imageSize.width);
    g.drawnHeight = std::ceil(g.k * imageSize.height);
    const double r = locationRatio;
    g.y = std::max(
        0.0, std::min(height - g.drawnHeight, r * (height - g.drawnHeight) + (r - 0.5) * g.drawnHeight));
    g.arrowCenterFromOrigin = -(height - std::ceil(0.5 * g.drawnHeight + g.y));
    // Mirroring happens about the view's centre, so the image lands at the mirror image of its place.
    Rect bounds{0, std::floor(g.y), g.drawnWidth, g.drawnHeight + 1};
    if (flippedHorizontally)
        bounds.origin.x = width - bounds.origin.x - bounds.size.width;
    if (flippedVertically)
        bounds.origin.y = height - bounds.origin.y - bounds.size.height;
    g.scaledImageBounds = bounds.integral();
    return g;
}

PlistDictionary OVFocusArrowView::properties() const
{
    PlistDictionary properties;
    properties.insert(kTintKey, PlistValue(archivedColor(m_imageTintColor)));
    properties.insert(kRatioKey, PlistValue(m_locationRatio));
    properties.insert(kStyleKey, PlistValue(m_arrowStyle));
    properties.insert(kSizeKey, PlistValue(m_arrowSize));
    properties.insert(kLockedKey, PlistValue(m_positionLocked));
    return properties;
}

void OVFocusArrowView::loadProperties(const std::optional<PlistDictionary>& properties)
{
    if (!properties)
        return;
    m_sync.suspendPosting();
    if (const PlistValue* value = properties->find(kTintKey); value && value->isData()) {
        if (const std::optional<QColor> color = unarchivedColor(value->data()))
            setImageTintColor(*color);
    }
    if (const PlistValue* value = properties->find(kRatioKey); value && value->isNumber()) {
        const double ratio = value->toDouble();
        if (std::isfinite(ratio) && ratio >= 0.0 && ratio <= 1.0)
            setLocationRatio(ratio);
    }
    if (const PlistValue* value = properties->find(kStyleKey)) {
        if (const std::optional<qint64> style = integerIn(*value, 0, 3))
            setArrowStyle(*style);
    }
    if (const PlistValue* value = properties->find(kSizeKey)) {
        if (const std::optional<qint64> size = integerIn(*value, 0, kSizeCount - 1))
            setArrowSize(*size);
    }
    if (const PlistValue* value = properties->find(kLockedKey)) {
        if (value->isBoolean())
            setPositionLocked(value->boolean());
        else if (const std::optional<qint64> flag = integerIn(*value, 0, 1))
            setPositionLocked(*flag == 1);
    }
    m_sync.resumePosting();
}

void OVFocusArrowView::defaultsDidReset()
{
    loadProperties(initialDefaultProperties());
}

void OVFocusArrowView::setImageTintColor(const QColor& color)
{
    if (!color.isValid() || (m_imageTintColor.isValid() && sameColor(color, m_imageTintColor)))
        return;
    m_imageTintColor = color;
    updateImages();
    postChange();
}

void OVFocusArrowView::setLocationRatio(double ratio)
{
    if (!std::isfinite(ratio))
        return;
    ratio = std::clamp(ratio, 0.0, 1.0);
    if (ratio == m_locationRatio)
        return;
    m_locationRatio = ratio;
    setNeedsDisplay(true);
    _updateArrowCenterFromOrigin();
    postChange();
}

void OVFocusArrowView::setArrowStyle(qint64 style)
{
    if (style < 0 || style > 3 || style == m_arrowStyle)
        return;
    m_arrowStyle = style;
    setImageString(imageStringForStyle(style));
}

void OVFocusArrowView::setImageString(const QString& string)
{
    if (string == m_imageString)
        return;
    m_imageString = string;
    updateImages();
    _updateArrowCenterFromOrigin();
    postChange();
}

void OVFocusArrowView::setArrowSize(qint64 size)
{
    if (size < 0 || size >= kSizeCount || size == m_arrowSize)
        return;
    m_arrowSize = size;
    if (!m_suspendRedraws)
        setFrameSize({widthForArrowSize(size), frame().size.height});
    _updateArrowCenterFromOrigin();
    postChange();
}

void OVFocusArrowView::setPositionLocked(bool locked)
{
    if (locked == m_positionLocked)
        return;
    m_positionLocked = locked;
    postChange();
}

void OVFocusArrowView::setFlippedHorizontally(bool flipped)
{
    if (flipped == m_flippedHorizontally)
        return;
    m_flippedHorizontally = flipped;
    setNeedsDisplay(true);
    _updateArrowCenterFromOrigin();
}

void OVFocusArrowView::setFlippedVertically(bool flipped)
{
    if (flipped == m_flippedVertically)
        return;
    m_flippedVertically = flipped;
    setNeedsDisplay(true);
    _updateArrowCenterFromOrigin();
}

void OVFocusArrowView::setBackgroundColor(const std::optional<QColor>& color)
{
    if (color.has_value() == m_backgroundColor.has_value() &&
        (!color || sameColor(*color, *m_backgroundColor)))
        return;
    m_backgroundColor = color;
    setNeedsDisplay(true);
    postChange();
}

void OVFocusArrowView::setDrawLocked(bool drawLocked)
{
    if (drawLocked == m_drawLocked)
        return;
    m_drawLocked = drawLocked;
    setNeedsDisplayInRect(m_scaledImageBounds);
}

void OVFocusArrowView::updateImages()
{
    if (m_suspendRedraws)
        return;
    m_image = OVViewDrawing::tintedImage(focusArrowImage(), m_imageTintColor, kTintFraction);
    m_image.setDevicePixelRatio(focusArrowImage().devicePixelRatio());
    m_adjustedImage = showsOnRight() ? m_image.mirrored(true, false) : m_image;
    m_adjustedImage.setDevicePixelRatio(m_image.devicePixelRatio());
    setNeedsDisplay(true);
}

void OVFocusArrowView::redraw()
{
    updateImages();
}

void OVFocusArrowView::_updateArrowCenterFromOrigin()
{
    if (m_suspendRedraws)
        return;
    const Geometry g = geometryFor(frame().size, imageSize(m_adjustedImage), m_locationRatio,
                                   m_flippedHorizontally, m_flippedVertically);
    m_arrowCenterFromOrigin = g.arrowCenterFromOrigin;
    m_scaledImageBounds = g.scaledImageBounds;
    if (m_beingRemoved)
        return;
    if (m_trackingArea)
        removeTrackingArea(m_trackingArea);
    TrackingArea area;
    area.rect = m_scaledImageBounds;
    area.options = TrackingArea::MouseEnteredAndExited | TrackingArea::ActiveInActiveApp;
    area.owner = this;
    m_trackingArea = addTrackingArea(area);
}

void OVFocusArrowView::frameDidChange(const Size& oldSize)
{
    View::frameDidChange(oldSize);
    _updateArrowCenterFromOrigin();
}

void OVFocusArrowView::animateLocationRatio(double ratio, double duration)
{
    if (!std::isfinite(ratio))
        return;
    const double from = m_locationRatio;
    const double to = std::clamp(ratio, 0.0, 1.0);
    m_locationAnimation = std::make_unique<Animation>(
        duration, [this, from, to](double progress) { setLocationRatio(from + (to - from) * progress); });
    m_locationAnimation->start();
}

void OVFocusArrowView::animateToWidth(double width, double duration, const WidthTracking& tracking,
                                      Completion completion)
{
    if (m_widthAnimations == 0 && tracking.get)
        m_savedWidthTracking = tracking.get();
    ++m_widthAnimations;
    if (tracking.set)
        tracking.set(false);
    Rect target = frame();
    target.size.width = std::max(0.0, width);
    // A replaced animation completes too (unfinished), so the count falls once per animation.
    auto setTracking = tracking.set;
    animateFrame(target, duration, [this, setTracking, completion](bool finished) {
        if (--m_widthAnimations == 0 && setTracking)
            setTracking(m_savedWidthTracking);
        if (completion)
            completion(finished);
    });
}

bool OVFocusArrowView::isEventInTrackingArea(const Event& event) const
{
    return m_scaledImageBounds.contains(convertPointFromView(event.locationInWindow, nullptr));
}

void OVFocusArrowView::setLocationFromEvent(const Event& event)
{
    const double height = frame().size.height;
    // A view without height has no ratio to give: the division would make it NaN.
    if (!(height > 0))
        return;
    const Point local = convertPointFromView(event.locationInWindow, nullptr);
    double ratio = local.y / height;
    // Mirrored top to bottom, the arrow drawn at ratio r shows at 1 - r.
    if (m_flippedVertically)
        ratio = 1.0 - ratio;
    setLocationRatio(std::clamp(ratio, 0.0, 1.0));
    setNeedsDisplay(true);
}

void OVFocusArrowView::mouseDown(Event& event)
{
    if (m_positionLocked) {
        setDrawLocked(true);
        setNeedsDisplay(true);
        return;
    }
    if (m_enabled)
        setLocationFromEvent(event);
}

void OVFocusArrowView::mouseDragged(Event& event)
{
    if (m_enabled && !m_positionLocked)
        setLocationFromEvent(event);
}

void OVFocusArrowView::mouseUp(Event& event)
{
    if (m_positionLocked && !isEventInTrackingArea(event)) {
        setDrawLocked(false);
        setNeedsDisplay(true);
    }
}

void OVFocusArrowView::mouseEntered(Event&)
{
    setDrawLocked(m_positionLocked);
}

void OVFocusArrowView::mouseExited(Event&)
{
    setDrawLocked(false);
}

void OVFocusArrowView::togglePositionLock()
{
    setPositionLocked(!m_positionLocked);
    if (window()) {
        Event event;
        event.locationInWindow = window()->convertPointFromScreen(globalPointFromQt(QPointF(QCursor::pos())));
        if (isEventInTrackingArea(event))
            setDrawLocked(m_positionLocked);
    }
}

bool OVFocusArrowView::validateMenuItem(const UserInterfaceItem&) const
{
    return m_enabled;
}

std::unique_ptr<QMenu> OVFocusArrowView::menuForEvent(const Event& event)
{
    if (!m_enabled)
        return nullptr;
    if (!OVContextualMenu::isContextualClick(event))
        return nullptr;
    std::unique_ptr<QMenu> menu = OVContextualMenu::titledMenu(contextualMenuTitle());
    if (!m_core || m_core->isModeEdit()) {
        for (int tag = 0; tag < kSizeCount; ++tag) {
            QAction* item = menu->addAction(HVLocalizedString::localizedString(
                QString::fromLatin1(kSizes[tag].key), QString::fromLatin1(kSizes[tag].title)));
            item->setData(tag);
            item->setCheckable(true);
            item->setChecked(tag == m_arrowSize);
            QObject::connect(item, &QAction::triggered, [this, tag] { setArrowSize(tag); });
        }
        menu->addSeparator();
    }
    const QImage swatch = OVViewDrawing::tintedImage(focusArrowImage(), Qt::white, 0);
    const int side = QFontMetrics(menu->font()).height();
    for (int tag = 0; tag < kColorCount; ++tag) {
        const QColor color = *colorForFocusArrowColor(tag);
        QImage tinted = OVViewDrawing::tintedImage(swatch, color, kTintFraction);
        QAction* item =
            menu->addAction(QIcon(QPixmap::fromImage(
                                tinted.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation))),
                            HVLocalizedString::localizedString(QString::fromLatin1(kColors[tag].key),
                                                               QString::fromLatin1(kColors[tag].title)));
        item->setData(tag);
        item->setCheckable(true);
        item->setChecked(sameColor(color, m_imageTintColor));
        QObject::connect(item, &QAction::triggered, [this, color] { setImageTintColor(color); });
    }
    menu->addSeparator();
    QAction* lock = menu->addAction(HVLocalizedString::localizedString(
        QStringLiteral("focus-arrow-lock-lock-position"), QStringLiteral("Lock Position")));
    lock->setToolTip(HVLocalizedString::localizedString(
        QStringLiteral("focus-arrow-lock-locked-tooltip"),
        QStringLiteral("Prevents the Focus arrow from inadvertent movement while locked.")));
    lock->setCheckable(true);
    lock->setChecked(m_positionLocked);
    QObject::connect(lock, &QAction::triggered, [this] { togglePositionLock(); });
    if (!globalSynchronizedPropertyChangesEnabled()) {
        menu->addSeparator();
        QAction* save = menu->addAction(
            HVLocalizedString::localizedString(QStringLiteral("focus-arrow-use-focus-arrow-as-default"),
                                               QStringLiteral("Use Focus Arrow as Default")));
        save->setData(kSaveAsDefaultTag);
        QObject::connect(save, &QAction::triggered, [this] { setPropertiesAsDefaults(properties()); });
    }
    return menu;
}

void OVFocusArrowView::rightMouseDown(Event& event)
{
    OVContextualMenu::popUp(menuForEvent(event));
}

void OVFocusArrowView::drawRect(QPainter& painter, const Rect& dirtyRect)
{
    if (m_backgroundColor)
        painter.fillRect(toQRectF(dirtyRect), *m_backgroundColor);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const Size size = bounds().size;
    const Geometry g = geometryFor(size, imageSize(m_adjustedImage), m_locationRatio, false, false);
    const Rect imageRect{bounds().origin.x, bounds().origin.y + std::ceil(g.y), g.drawnWidth, g.drawnHeight};
    painter.save();
    if (m_flippedHorizontally || m_flippedVertically) {
        const QPointF centre(bounds().midX(), bounds().midY());
        painter.translate(centre);
        painter.scale(m_flippedHorizontally ? -1 : 1, m_flippedVertically ? -1 : 1);
        painter.translate(-centre);
    }
    OVViewDrawing::drawImageUpright(painter, imageRect, m_adjustedImage, m_drawLocked ? kLockedAlpha : 1.0);
    painter.restore();
    if (!m_drawLocked)
        return;
    const double lockWidth = g.drawnWidth / 1.5;
    const double lockHeight = lockWidth * 1.25;
    Rect lock{imageRect.origin.x + (g.drawnWidth - lockWidth) / 3,
              imageRect.origin.y + (g.drawnHeight - lockHeight) * 0.5, lockWidth, lockHeight};
    // The badge goes where the mirror puts the arrow, but stays upright so it reads as a lock.
    if (m_flippedHorizontally)
        lock.origin.x = 2 * bounds().midX() - lock.maxX();
    if (m_flippedVertically)
        lock.origin.y = 2 * bounds().midY() - lock.maxY();
    drawLockBadge(painter, lock.integral());
}
