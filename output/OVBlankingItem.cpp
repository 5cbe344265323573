#include "output/OVBlankingItem.h"

#include "platform/foundation/DataFolder.h"
#include "platform/foundation/ReadRegularFile.h"
#include "platform/foundation/Uuid.h"

#include <QBuffer>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QPainter>
#include <QSaveFile>

namespace {

const QString kFileNameKey = QStringLiteral("fileName");
const QString kTitleKey = QStringLiteral("title");
const QString kStorageFolderName = QStringLiteral("Blanking Items");

QHash<QString, QImage>& imageCache()
{
    static QHash<QString, QImage> cache;
    return cache;
}

QHash<QString, QImage>& previewImageCache()
{
    static QHash<QString, QImage> cache;
    return cache;
}

const QString& storageDirectoryPath()
{
    // Made once per data folder: a process that starts the program again on other folders (a test
    // does) stores its items in the folder of that start.
    static QString madeFor;
    static QString path;
    const QString data = DataFolder::path();
    if (data == madeFor && (data.isEmpty() || !path.isEmpty()))
        return path;
    madeFor = data;
    path.clear();
    if (data.isEmpty())
        return path;
    path = data + u'/' + kStorageFolderName;
    if (!QDir().mkpath(path))
        qWarning().noquote() << QStringLiteral("Error: could not create the folder %1").arg(path);
    return path;
}

// The folder's canonical path, asked afresh: it may have been made or replaced since the last call.
QString canonicalStorageDirectoryPath()
{
    const QString folder = storageDirectoryPath();
    return folder.isEmpty() ? QString() : QFileInfo(folder).canonicalFilePath();
}

// Whether path names an entry directly inside the storage folder. The entry's own name is not
// resolved, so a link inside the folder counts as inside, whatever it points to; only its parent
// folder is canonicalised, which turns "Blanking Items/../x" and a sibling "Blanking Items2" into
// folders that do not compare equal.
bool isDirectlyInsideStorage(const QString& path)
{
    const QFileInfo info(path);
    if (!OVBlankingItem::isPlainFileName(info.fileName()))
        return false;
    const QString storage = canonicalStorageDirectoryPath();
    const QString parent = QFileInfo(info.absolutePath()).canonicalFilePath();
    return !storage.isEmpty() && parent == storage;
}

QImage fittedThumbnail(const QImage& image)
{
    constexpr int side = OVBlankingItem::kPreviewImageSide;
    QImage thumbnail(side, side, QImage::Format_ARGB32_Premultiplied);
    thumbnail.fill(Qt::transparent);
    if (image.isNull())
        return thumbnail;
    const QImage scaled = image.width() > side || image.height() > side
                              ? image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                              : image;
    QPainter painter(&thumbnail);
    painter.drawImage(QPointF((side - scaled.width()) / 2.0, (side - scaled.height()) / 2.0), scaled);
    return thumbnail;
}

// The file's bytes through the one guarded read: a pipe or a device under an image's name, or a
// file past the bound, gives nothing instead of holding or filling the program.
std::optional<QByteArray> imageFileData(const QString& path)
{
    Error error;
    std::optional<QByteArray> data =
        readRegularFile(QUrl::fromLocalFile(path), OVBlankingItem::kMaxImageFileBytes, &error);
    if (!data)
        qWarning().noquote() << QStringLiteral("The blanking image %1 cannot be read: %2")
                                    .arg(path, error.localizedFailureReason());
    return data;
}

// Reads the file straight at thumbnail size where the format can (JPEG decodes at a fraction of
// its size), so the first menu with a photo in it does not decode every one of its pixels.
QImage readThumbnail(const QString& path)
{
    std::optional<QByteArray> data = imageFileData(path);
    if (!data)
        return fittedThumbnail({});
    QBuffer buffer(&*data);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    constexpr int side = OVBlankingItem::kPreviewImageSide;
    if (full.isValid() && (full.width() > side || full.height() > side))
        reader.setScaledSize(full.scaled(side, side, Qt::KeepAspectRatio).expandedTo({1, 1}));
    return fittedThumbnail(reader.read());
}

} // namespace

// Values.

std::optional<OVBlankingItem> OVBlankingItem::itemWithFileURL(const QUrl& fileURL, const QString& title)
{
    if (!fileURL.isLocalFile() || title.isNull())
        return std::nullopt;
    return OVBlankingItem(fileURL, title);
}

std::optional<OVBlankingItem> OVBlankingItem::itemWithDictionaryRepresentation(const PlistDictionary& record)
{
    const PlistValue* name = record.find(kFileNameKey);
    const PlistValue* title = record.find(kTitleKey);
    if (!name || !title || !name->isString() || !title->isString())
        return std::nullopt;
    const QUrl url = fileURLFromFileName(name->string());
    if (url.isEmpty())
        return std::nullopt;
    return itemWithFileURL(url, title->string());
}

std::optional<PlistDictionary> OVBlankingItem::dictionaryRepresentation() const
{
    if (!isItemStored())
        return std::nullopt;
    PlistDictionary record;
    record.insert(kFileNameKey, fileName());
    record.insert(kTitleKey, m_title);
    return record;
}

size_t qHash(const OVBlankingItem& item, size_t seed)
{
    const size_t url = item.fileURL().isEmpty() ? 1 : qHash(item.fileURL(), seed);
    const size_t title = qHash(item.title(), seed);
    return 31 * (31 + url) + title;
}

// Storage.

QUrl OVBlankingItem::storageDirectoryURL()
{
    const QString path = storageDirectoryPath();
    return path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path);
}

bool OVBlankingItem::isPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(u'/') && !name.contains(QChar(0));
}

QUrl OVBlankingItem::fileURLFromFileName(const QString& name)
{
    const QString folder = storageDirectoryPath();
    if (folder.isEmpty() || !isPlainFileName(name))
        return {};
    return QUrl::fromLocalFile(folder + u'/' + name);
}

QUrl OVBlankingItem::storageFileURLFromUserFileURL(const QUrl& userFileURL)
{
    if (!userFileURL.isLocalFile())
        return {};
    QString name = storageFileNamePrefix() + u' ' + uuidString();
    const QString extension = QFileInfo(userFileURL.toLocalFile()).suffix();
    if (!extension.isEmpty())
        name += u'.' + extension;
    return fileURLFromFileName(name);
}

bool OVBlankingItem::isItemStored() const
{
    return m_fileURL.isLocalFile() && isDirectlyInsideStorage(m_fileURL.toLocalFile());
}

bool OVBlankingItem::addItemToStorage()
{
    if (isItemStored())
        return true;
    const QUrl target = storageFileURLFromUserFileURL(m_fileURL);
    if (target.isEmpty())
        return false;
    // Made again if it went since the first use, so a removed folder does not stop all adding.
    QDir().mkpath(storageDirectoryPath());
    const std::optional<QByteArray> data = imageFileData(m_fileURL.toLocalFile());
    if (!data)
        return false;
    QSaveFile copy(target.toLocalFile());
    if (!copy.open(QIODevice::WriteOnly) || copy.write(*data) != data->size() || !copy.commit())
        return false;
    m_fileURL = target;
    return true;
}

void OVBlankingItem::removeItemFromStorage() const
{
    if (!isItemStored())
        return;
    const QString path = m_fileURL.toLocalFile();
    const QFileInfo info(path);
    // A link is left alone: removing it is harmless, but the store only ever deletes what it wrote.
    if (!info.isSymLink() && info.isFile())
        QFile::remove(path);
    _removeFromResourceCaches();
}

// Images.

bool OVBlankingItem::canReadImageAtURL(const QUrl& url)
{
    if (!url.isLocalFile())
        return false;
    std::optional<QByteArray> data = imageFileData(url.toLocalFile());
    if (!data)
        return false;
    QBuffer buffer(&*data);
    QImageReader reader(&buffer);
    if (reader.canRead())
        return true;
    qWarning().noquote()
        << QStringLiteral("The blanking image %1 cannot be read: it is no image.").arg(url.toLocalFile());
    return false;
}

QImage OVBlankingItem::image() const
{
    const QString path = m_fileURL.toLocalFile();
    const bool stored = isItemStored();
    if (stored) {
        if (const auto found = imageCache().constFind(path); found != imageCache().constEnd())
            return *found;
    }
    std::optional<QByteArray> data = imageFileData(path);
    if (!data)
        return {};
    QBuffer buffer(&*data);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull())
        return {};
    if (stored)
        imageCache().insert(path, image);
    return image;
}

QImage OVBlankingItem::previewImage() const
{
    const QString path = m_fileURL.toLocalFile();
    const bool stored = isItemStored();
    if (stored) {
        if (const auto found = previewImageCache().constFind(path); found != previewImageCache().constEnd())
            return *found;
    }
    const auto cached = imageCache().constFind(path);
    const QImage thumbnail =
        cached != imageCache().constEnd() ? fittedThumbnail(*cached) : readThumbnail(path);
    if (stored)
        previewImageCache().insert(path, thumbnail);
    return thumbnail;
}

void OVBlankingItem::_removeFromResourceCachesWithFileURL(const QUrl& fileURL)
{
    const QString path = fileURL.toLocalFile();
    imageCache().remove(path);
    previewImageCache().remove(path);
}

qsizetype OVBlankingItem::imageCacheCount()
{
    return imageCache().size();
}

qsizetype OVBlankingItem::previewImageCacheCount()
{
    return previewImageCache().size();
}

void OVBlankingItem::clearResourceCaches()
{
    imageCache().clear();
    previewImageCache().clear();
}
