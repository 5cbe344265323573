#pragma once

#include "platform/appkit/View.h"
#include "platform/foundation/PlistValue.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"
#include "prompter_view/OVSynchronizedProperties.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class OVCore;
class QMenu;

inline const QString OVFocusArrowInternalDidChangePropertiesNotification =
    QStringLiteral("OVFocusArrowInternalDidChangePropertiesNotification");
inline const QString OVFocusArrowDidChangePropertiesNotification =
    QStringLiteral("OVFocusArrowDidChangePropertiesNotification");

// The strip beside the script whose arrow marks the reading line. The user drags the arrow (unless it
// is locked) and picks its size and colour from a contextual menu; the scroll engine reads where it
// points. Its settings are shared by every arrow through the synchronised-properties scheme.
class OVFocusArrowView : public View,
                         public HVInitialDefaultsProvider,
                         public OVSynchronizedSettings<OVFocusArrowView> {
public:
    static constexpr double kTintFraction = 0.925;
    static constexpr double kLockedAlpha = 0.67;
    static constexpr int kSizeCount = 5;
    static constexpr int kColorCount = 9;
    static constexpr int kDefaultColorTag = 7;
    static constexpr int kSaveAsDefaultTag = -1;

    // How a width animation reads and sets the text container's width tracking.
    struct WidthTracking {
        std::function<bool()> get;
        std::function<void(bool)> set;
    };

    explicit OVFocusArrowView(const Rect& frame = {});
    ~OVFocusArrowView() override;

    // Settings shared by all of them (the rest come from OVSynchronizedSettings).
    static PlistDictionary initialDefaultProperties();
    static OVSynchronizedProperties::Scheme& synchronizationScheme();

    static QString contextualMenuTitle();
    // (size + 1) x 50 for the sizes 0-4; the width of size 0 for anything else.
    static double widthForArrowSize(qint64 arrowSize);
    static std::optional<QColor> colorForFocusArrowColor(int tag);
    // A null string for an unknown style.
    static QString imageStringForStyle(qint64 style);
    // The drawn artwork, untinted, 50 x 40 points.
    static const QImage& focusArrowImage();
    // Whether arrows sit on the right of the text: a right-to-left layout, or the user default
    // "focusArrowShowsOnRight" as it was when first asked in this process.
    static bool showsOnRight();

    // The arrow's drawn size and place for a view of viewSize and an image of imageSize (y up).
    struct Geometry {
        double k = 0;
        double drawnWidth = 0;
        double drawnHeight = 0;
        double y = 0;
        double arrowCenterFromOrigin = -1.0;
        // Where the image lands on screen, mirrors included: the arrow's tracking rectangle.
        Rect scaledImageBounds;
    };
    static Geometry geometryFor(const Size& viewSize, const Size& imageSize, double locationRatio,
                                bool flippedHorizontally, bool flippedVertically);

    PlistDictionary properties() const;
    // Applies each known key whose value is usable and differs; values out of range are ignored.
    void loadProperties(const std::optional<PlistDictionary>& properties);
    void defaultsDidReset() override;

    const QColor& imageTintColor() const { return m_imageTintColor; }
    void setImageTintColor(const QColor& color);
    double locationRatio() const { return m_locationRatio; }
    // Values outside 0-1 are clamped; values that are not finite are refused.
    void setLocationRatio(double ratio);
    qint64 arrowStyle() const { return m_arrowStyle; }
    // Styles outside 0-3 are refused.
    void setArrowStyle(qint64 style);
    qint64 arrowSize() const { return m_arrowSize; }
    // Sizes outside 0-4 are refused.
    void setArrowSize(qint64 size);
    bool isPositionLocked() const { return m_positionLocked; }
    void setPositionLocked(bool locked);
    // The prompting core this view talks to, set by whoever puts the view in a window; without one
    // the view behaves as in Edit mode with the prompter paused.
    void setCore(OVCore* core) { m_core = core; }
    OVCore* core() const { return m_core; }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool flippedHorizontally() const { return m_flippedHorizontally; }
    void setFlippedHorizontally(bool flipped);
    bool flippedVertically() const { return m_flippedVertically; }
    void setFlippedVertically(bool flipped);
    const std::optional<QColor>& backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const std::optional<QColor>& color);

    // The arrow's centre from the view's top edge, as a negative number of points.
    double arrowCenterFromOrigin() const { return m_arrowCenterFromOrigin; }
    const QImage& image() const { return m_image; }
    const QImage& adjustedImage() const { return m_adjustedImage; }
    const QString& imageString() const { return m_imageString; }
    bool drawLocked() const { return m_drawLocked; }
    const Rect& scaledImageBounds() const { return m_scaledImageBounds; }

    // Moves the arrow over duration seconds on the shared clock.
    void animateLocationRatio(double ratio, double duration);
    // Shows or hides the strip by animating its width. Width tracking is switched off while any such
    // animation runs, remembered as the first begins and restored as the last ends, so overlapping
    // animations never leave it off.
    void animateToWidth(double width, double duration, const WidthTracking& tracking,
                        Completion completion = {});
    bool isAnimatingWidth() const { return m_widthAnimations > 0; }

    // The arrow's menu for a right click or a Control-click; nullptr when disabled or for other
    // events. Its actions carry the tags of the size and colour tables.
    std::unique_ptr<QMenu> menuForEvent(const Event& event);
    void togglePositionLock();
    bool validateMenuItem(const UserInterfaceItem& item) const override;
    void redraw();

    bool isFlipped() const override { return false; }
    void drawRect(QPainter& painter, const Rect& dirtyRect) override;
    void mouseDown(Event& event) override;
    void mouseDragged(Event& event) override;
    void mouseUp(Event& event) override;
    void mouseEntered(Event& event) override;
    void mouseExited(Event& event) override;
    void rightMouseDown(Event& event) override;

protected:
    void frameDidChange(const Size& oldSize) override;

private:
    void setImageString(const QString& string);
    void setDrawLocked(bool drawLocked);
    void updateImages();
    void _updateArrowCenterFromOrigin();
    void setLocationFromEvent(const Event& event);
    bool isEventInTrackingArea(const Event& event) const;
    void postChange() { m_sync.postChange(); }

    QColor m_imageTintColor;
    double m_locationRatio = 0.75;
    qint64 m_arrowStyle = -1;
    qint64 m_arrowSize = -1;
    bool m_positionLocked = false;
    bool m_enabled = true;
    OVCore* m_core = nullptr;
    bool m_flippedHorizontally = false;
    bool m_flippedVertically = false;
    std::optional<QColor> m_backgroundColor;
    double m_arrowCenterFromOrigin = -1.0;
    QImage m_image;
    QImage m_adjustedImage;
    QString m_imageString;
    bool m_drawLocked = false;
    Rect m_scaledImageBounds;
    int m_trackingArea = 0;
    bool m_suspendRedraws = true;
    bool m_beingRemoved = false;
    int m_widthAnimations = 0;
    bool m_savedWidthTracking = true;
    std::unique_ptr<Animation> m_locationAnimation;
    OVSynchronizedProperties m_sync;
};
