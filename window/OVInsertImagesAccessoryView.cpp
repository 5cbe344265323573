#include "window/OVInsertImagesAccessoryView.h"

#include "platform/hvkit/HVLocalizedString.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFormLayout>

#include <algorithm>
#include <variant>

namespace {

QString text(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromUtf8(key), QString::fromUtf8(english));
}

QComboBox* makePopUp(int tag, const std::vector<std::pair<QString, int>>& items)
{
    auto* popUp = new QComboBox;
    popUp->setObjectName(QStringLiteral("popUp%1").arg(tag));
    for (const auto& [title, itemTag] : items)
        popUp->addItem(title, itemTag);
    return popUp;
}

// Sorts before every real date.
const QDateTime& distantPast()
{
    static const QDateTime past(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
    return past;
}

using SortValue = std::variant<QString, QDateTime>;

SortValue sortValue(const QUrl& url, int key)
{
    const QFileInfo info(url.toLocalFile());
    if (key == OVInsertImagesAccessoryView::SortByName)
        return url.isLocalFile() ? info.fileName() : QString();
    // A file that is gone, or a file system without birth times, answers an invalid date.
    const QDateTime date = !info.exists()                                           ? QDateTime()
                           : key == OVInsertImagesAccessoryView::SortByCreationDate ? info.birthTime()
                                                                                    : info.lastModified();
    return date.isValid() ? date : distantPast();
}

} // namespace

OVInsertImagesAccessoryView::OVInsertImagesAccessoryView()
{
    m_sortKey = makePopUp(kSortKeyTag,
                          {{text("insert-images-sort-name", "Name"), SortByName},
                           {text("insert-images-sort-created", "Date Created"), SortByCreationDate},
                           {text("insert-images-sort-modified", "Date Modified"), SortByModificationDate}});
    m_order = makePopUp(kOrderTag, {{text("insert-images-order-ascending", "Ascending"), 0},
                                    {text("insert-images-order-descending", "Descending"), 1}});
    m_separation = makePopUp(kSeparationTag, {{text("insert-images-separation-none", "No Empty Line"), 0},
                                              {text("insert-images-separation-one", "One Empty Line"), 1},
                                              {text("insert-images-separation-two", "Two Empty Lines"), 2}});
    auto* form = new QFormLayout(this);
    form->addRow(text("insert-images-sort-by", "Sort by:"), m_sortKey);
    form->addRow(text("insert-images-order", "Order:"), m_order);
    form->addRow(text("insert-images-separate-with", "Separate with:"), m_separation);
}

QComboBox* OVInsertImagesAccessoryView::popUpWithTag(int tag) const
{
    switch (tag) {
    case kSortKeyTag:
        return m_sortKey;
    case kOrderTag:
        return m_order;
    case kSeparationTag:
        return m_separation;
    default:
        return nullptr;
    }
}

int OVInsertImagesAccessoryView::selectedTagOfPopUp(int tag) const
{
    const QComboBox* popUp = popUpWithTag(tag);
    return popUp ? popUp->currentData().toInt() : 0;
}

bool OVInsertImagesAccessoryView::selectTagOfPopUp(int tag, int itemTag)
{
    QComboBox* popUp = popUpWithTag(tag);
    const int index = popUp ? popUp->findData(itemTag) : -1;
    if (index < 0)
        return false;
    popUp->setCurrentIndex(index);
    return true;
}

QString OVInsertImagesAccessoryView::separationString() const
{
    return QString(std::max(0, selectedTagOfPopUp(kSeparationTag)) + 1, QLatin1Char('\n'));
}

QList<QUrl> OVInsertImagesAccessoryView::sortedURLs(const QList<QUrl>& urls, int key, bool ascending)
{
    std::vector<std::pair<SortValue, QUrl>> keyed;
    keyed.reserve(urls.size());
    for (const QUrl& url : urls)
        keyed.emplace_back(sortValue(url, key), url);
    std::stable_sort(keyed.begin(), keyed.end(), [ascending](const auto& a, const auto& b) {
        return ascending ? a.first < b.first : b.first < a.first;
    });
    QList<QUrl> sorted;
    for (const auto& entry : keyed)
        sorted.append(entry.second);
    return sorted;
}
