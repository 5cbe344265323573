#include "platform/textlayout/LayoutConversions.h"

#include "platform/foundation/FileWrapper.h"
#include "platform/text/TextAttachment.h"
#include "platform/text/TextAttachmentCell.h"

#include <QBuffer>
#include <QHashFunctions>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <unordered_map>

namespace textlayout {

namespace {

// The pixel size of an image attachment's file, read once per file contents: layout and every frame
// drawn ask again for each picture in view, and reading an image header means probing the image
// plugins. Each entry keeps its contents alive, so no other contents can reuse the address it is
// keyed by.
QSize imageSizeOfContents(const QByteArray& contents)
{
    struct Entry {
        QByteArray contents;
        QSize size;
    };
    static std::mutex lock;
    static std::unordered_map<const char*, Entry> sizes;
    constexpr size_t kMaximumEntries = 256;
    const std::lock_guard<std::mutex> guard(lock);
    if (auto found = sizes.find(contents.constData());
        found != sizes.end() && found->second.contents.size() == contents.size())
        return found->second.size;
    QByteArray copy = contents;
    QBuffer buffer(&copy);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (sizes.size() >= kMaximumEntries)
        sizes.clear();
    sizes[contents.constData()] = Entry{contents, size};
    return size;
}

} // namespace

QPaintDevice* layoutDevice()
{
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        image.setDotsPerMeterX(2835);
        image.setDotsPerMeterY(2835);
        return image;
    }();
    return &device;
}

double finiteOr(double value, double fallback)
{
    return std::isfinite(value) ? value : fallback;
}

QColor qtColor(const Color& color)
{
    return QColor::fromRgbF(float(std::clamp(color.red, 0.0, 1.0)), float(std::clamp(color.green, 0.0, 1.0)),
                            float(std::clamp(color.blue, 0.0, 1.0)),
                            float(std::clamp(color.alpha, 0.0, 1.0)));
}

namespace {

QFont makeQtFont(const Font& font)
{
    QString family = font.familyName;
    if (family.isEmpty())
        family = font.fontName.section(QLatin1Char('-'), 0, 0);
    QFont result(family.isEmpty() ? QStringLiteral("Helvetica") : family);
    // Sizes below a hundredth of a point, or absurd ones from damaged files, would stall shaping.
    result.setPointSizeF(std::clamp(finiteOr(font.pointSize, 12.0), 0.01, 4000.0));
    result.setBold(font.bold || font.fontName.contains(QLatin1String("Bold")));
    result.setItalic(font.italic || font.fontName.contains(QLatin1String("Italic")) ||
                     font.fontName.contains(QLatin1String("Oblique")));
    if (font.fixedPitch)
        result.setStyleHint(QFont::Monospace);
    // Unhinted outlines keep advances proportional, so fractional scrolling and zooming never reflow.
    result.setHintingPreference(QFont::PreferNoHinting);
    return result;
}

struct FontHash {
    size_t operator()(const Font& font) const noexcept
    {
        return qHashMulti(0, font.familyName, font.fontName, font.pointSize, font.bold, font.italic,
                          font.fixedPitch);
    }
};

// A script names a handful of fonts many thousands of times. Handing out copies of one QFont also
// lets Qt find its font engine once instead of once per run. QFont copies share state that is not
// safe across threads, hence one cache per thread.
constexpr size_t kMostFontsCached = 256;

} // namespace

QFont qtFont(const Font& font)
{
    thread_local std::unordered_map<Font, QFont, FontHash> cache;
    if (auto found = cache.find(font); found != cache.end())
        return found->second;
    if (cache.size() >= kMostFontsCached)
        cache.clear();
    return cache.emplace(font, makeQtFont(font)).first->second;
}

std::pair<double, double> attachmentMetrics(const TextAttachment& attachment, QSizeF* size, double viewScale)
{
    QRectF bounds = attachment.bounds();
    if (attachment.attachmentCell()) {
        const QSizeF cell = attachment.attachmentCell()->cellSizeInView(viewScale);
        bounds = QRectF(bounds.x(), bounds.y(), cell.width(), cell.height());
    } else if (bounds.isEmpty() && attachment.fileWrapper() && attachment.fileWrapper()->isRegularFile()) {
        const QSize imageSize = imageSizeOfContents(attachment.fileWrapper()->regularFileContents());
        if (imageSize.isValid())
            bounds = QRectF(0, 0, imageSize.width(), imageSize.height());
    }
    const double width = std::clamp(finiteOr(bounds.width(), 0), 0.0, 1e5);
    const double height = std::clamp(finiteOr(bounds.height(), 0), 0.0, 1e5);
    const double y = std::clamp(finiteOr(bounds.y(), 0), -1e5, 1e5);
    if (size)
        *size = QSizeF(width, height);
    // Bounds stand on the baseline with y upward: what rises above it is the ascent.
    return {std::max(0.0, height + y), std::max(0.0, -y)};
}

} // namespace textlayout
