// Blanking images: opening the Blanking menu with five images from the thumbnail cache, the first
// thumbnail of a 24-megapixel photo, and one frame of the standby view at 1920 x 1080.
#include "bench/BenchApplication.h"
#include "output/OVBlankingItemList.h"
#include "output/OVStandbyView.h"
#include "platform/appkit/Menu.h"
#include "platform/foundation/UserDefaults.h"

#include <QImage>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

// A photo-like picture: a gradient with a grid on it, so a JPEG of it is not trivially small.
QImage picture(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor(20, 60, 160));
    gradient.setColorAt(1, QColor(240, 160, 40));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(QColor(255, 255, 255, 90));
    for (int x = 0; x < size.width(); x += 37)
        painter.drawLine(x, 0, x, size.height());
    for (int y = 0; y < size.height(); y += 41)
        painter.drawLine(0, y, size.width(), y);
    return image;
}

// Settings, data and images in a folder of their own; five stored images, the first selected.
struct Setup {
    Setup()
    {
        bench::application();
        qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")).toUtf8());
        qputenv("XDG_DATA_HOME", folder.filePath(QStringLiteral("data")).toUtf8());
        defaults = std::make_unique<UserDefaults>(folder.filePath(QStringLiteral("Orvane.plist")));
        defaults->registerDefaults(OVBlankingItemList::initialDefaultsDictionary());
        list = std::make_unique<OVBlankingItemList>(*defaults);
        std::vector<OVBlankingItem> items;
        for (int i = 0; i < 5; ++i) {
            const QString path = folder.filePath(QStringLiteral("photo%1.jpg").arg(i));
            picture({1600, 1200}).save(path, "JPEG", 90);
            items.push_back(*OVBlankingItem::itemWithFileURL(QUrl::fromLocalFile(path),
                                                             QStringLiteral("Photo %1").arg(i)));
        }
        list->addItems(items);
        list->setSelectedItem(list->items()[0]);
        photo = folder.filePath(QStringLiteral("photo-24mp.jpg"));
        picture({6000, 4000}).save(photo, "JPEG", 90);
        view = std::make_unique<OVStandbyView>(Rect{0, 0, 1920, 1080});
        view->setItemList(list.get());
        view->setUsesAnimation(false);
    }

    QTemporaryDir folder;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<OVBlankingItemList> list;
    std::unique_ptr<OVStandbyView> view;
    QString photo;
};

Setup& setup()
{
    static Setup made;
    return made;
}

void BM_BlankingMenuFromTheThumbnailCache(benchmark::State& state)
{
    Setup& s = setup();
    for (const OVBlankingItem& item : s.list->items())
        item.previewImage();
    for (auto _ : state) {
        std::unique_ptr<Menu> menu = s.view->menuWithSelectedDefault();
        // What opening it costs on top: the Qt menu with its actions and icons.
        benchmark::DoNotOptimize(menu->qMenu()->actions().size());
    }
}
BENCHMARK(BM_BlankingMenuFromTheThumbnailCache)->Unit(benchmark::kMillisecond);

void BM_FirstThumbnailOfA24MegapixelPhoto(benchmark::State& state)
{
    Setup& s = setup();
    // Not stored, so nothing is cached: every pass reads the file again.
    const OVBlankingItem item = *OVBlankingItem::itemWithFileURL(QUrl::fromLocalFile(s.photo), "photo");
    for (auto _ : state)
        benchmark::DoNotOptimize(item.previewImage().size());
}
BENCHMARK(BM_FirstThumbnailOfA24MegapixelPhoto)->Unit(benchmark::kMillisecond);

void BM_StandbyFrameAt1920x1080(benchmark::State& state)
{
    Setup& s = setup();
    s.view->setHorizontallyFlipped(state.range(0) != 0);
    QImage frame(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    const Rect bounds = s.view->bounds();
    for (auto _ : state) {
        QPainter painter(&frame);
        s.view->displayRectIgnoringOpacity(bounds, painter);
    }
    s.view->setHorizontallyFlipped(false);
}
BENCHMARK(BM_StandbyFrameAt1920x1080)->Arg(0)->Arg(1)->ArgName("flipped")->Unit(benchmark::kMillisecond);

} // namespace
