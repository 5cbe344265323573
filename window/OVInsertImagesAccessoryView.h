#pragma once

#include <QComboBox>
#include <QList>
#include <QUrl>
#include <QWidget>

// The choices under the open panel that inserts pictures: the order they go in (by name, creation
// or modification date, ascending or descending) and how many empty lines part them. Each pop-up
// answers the tag of its chosen item, as the settings store them.
class OVInsertImagesAccessoryView : public QWidget {
public:
    // The pop-ups' own tags, which also name them.
    static constexpr int kSortKeyTag = 100;
    static constexpr int kOrderTag = 200;
    static constexpr int kSeparationTag = 300;

    enum SortKey { SortByName = 0, SortByCreationDate = 1, SortByModificationDate = 2 };

    OVInsertImagesAccessoryView();

    QComboBox* popUpWithTag(int tag) const;
    // The chosen item's tag of a pop-up; 0 for an unknown pop-up.
    int selectedTagOfPopUp(int tag) const;
    // Chooses the item with itemTag; false when the pop-up has none.
    bool selectTagOfPopUp(int tag, int itemTag);

    // The newlines between two pictures: one more than the separation pop-up's tag.
    QString separationString() const;

    // urls in the order key and ascending ask for. A name that cannot be read counts as the empty
    // name, a date that cannot be read as the distant past; equal values keep the panel's order.
    static QList<QUrl> sortedURLs(const QList<QUrl>& urls, int key, bool ascending);

private:
    QComboBox* m_sortKey = nullptr;
    QComboBox* m_order = nullptr;
    QComboBox* m_separation = nullptr;
};
