#include "platform/appkit/NamedImages.h"

#include <QHash>

namespace {

QHash<QString, QImage>& registered()
{
    static QHash<QString, QImage> images;
    return images;
}

} // namespace

namespace NamedImages {

void registerImage(const QString& name, const QImage& image)
{
    if (image.isNull())
        registered().remove(name);
    else
        registered().insert(name, image);
}

QImage imageNamed(const QString& name)
{
    if (name.isEmpty())
        return {};
    const auto found = registered().constFind(name);
    if (found != registered().constEnd())
        return *found;
    QImage image(QStringLiteral(":/images/%1.png").arg(name));
    // Read once: later asks get the same picture.
    if (!image.isNull())
        registered().insert(name, image);
    return image;
}

} // namespace NamedImages
