// The document properties sheet: its rows, what OK hands back for lists and emptied fields, and a
// read-only sheet.
#include "document/OVDocumentPropertiesWindowController.h"

#include "document/OVDocument.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>

#include <gtest/gtest.h>

namespace {

using Controller = OVDocumentPropertiesWindowController;

QVariantMap properties(std::initializer_list<std::pair<QString, QVariant>> values)
{
    QVariantMap map = Controller::_fullNullMetadataDictionary();
    for (const auto& [key, value] : values)
        map.insert(key, value);
    return map;
}

void setValue(Controller& sheet, const QString& key, const QString& text)
{
    sheet.model()->item(sheet._rowNumberForKey(key), 1)->setText(text);
}

} // namespace

TEST(DocumentPropertiesSheet, RowsFollowTheKeyTableWithListsAsCommaSeparatedText)
{
    auto sheet = Controller::propertiesWindowControllerWithDocumentProperties(
        properties({{QStringLiteral("keywords"), QStringList{"a", "b"}},
                    {QStringLiteral("author"), QStringLiteral("A. Writer")}}),
        true);
    QStandardItemModel* model = sheet->model();
    const QStringList labels{"Author",    "Director", "Producer", "Performers", "Organization",
                             "Copyright", "Subject",  "Keywords", "Comments"};
    ASSERT_EQ(model->rowCount(), labels.size());
    for (int row = 0; row < labels.size(); ++row) {
        EXPECT_EQ(model->item(row, 0)->text(), labels[row]);
        EXPECT_FALSE(model->item(row, 0)->isEditable());
        EXPECT_TRUE(model->item(row, 1)->isEditable());
    }
    EXPECT_EQ(model->item(sheet->_rowNumberForKey("keywords"), 1)->text(), "a, b");
    EXPECT_EQ(model->item(0, 1)->text(), "A. Writer");
    EXPECT_EQ(sheet->_rowNumberForKey("nonsense"), -1);

    // Only the two list rows carry the comma tooltip; the comments row is twice as tall and wraps.
    for (int row = 0; row < model->rowCount(); ++row) {
        const QString key = labels[row];
        const bool list = key == "Keywords" || key == "Performers";
        EXPECT_EQ(model->item(row, 1)->toolTip(),
                  list ? QStringLiteral("Comma-separate multiple entries.") : QString())
            << key.toStdString();
        EXPECT_TRUE(model->item(row, 0)->toolTip().isEmpty());
    }
    QTableView* table = sheet->tableView();
    const int comments = sheet->_rowNumberForKey("comments");
    EXPECT_EQ(table->rowHeight(comments), 2 * table->rowHeight(0));
    EXPECT_TRUE(table->wordWrap());
    EXPECT_TRUE(table->editTriggers() & QAbstractItemView::DoubleClicked);
    // The key column is 1.2 times the widest label and the cell gap.
    int widest = 0;
    for (const QString& label : labels)
        widest = std::max(widest, table->fontMetrics().horizontalAdvance(label));
    EXPECT_EQ(table->columnWidth(0), int(1.2 * (widest + 3)));
}

TEST(DocumentPropertiesSheet, OkTrimsListEntriesAndStoresTheNullObjectForEmptiedFields)
{
    auto sheet = Controller::propertiesWindowControllerWithDocumentProperties(
        properties({{QStringLiteral("performers"), QStringList{"Ann"}},
                    {QStringLiteral("subject"), QStringLiteral("S")}}),
        true);
    setValue(*sheet, "keywords", "  alpha ,beta,, gamma ");
    setValue(*sheet, "performers", " , ");
    setValue(*sheet, "subject", "");
    int code = -1;
    sheet->beginSheet(nullptr, [&code](int returned) { code = returned; });
    sheet->okButtonPressed();
    EXPECT_EQ(code, 1);
    ASSERT_TRUE(sheet->replacementDocumentProperties());
    const QVariantMap replacement = *sheet->replacementDocumentProperties();
    EXPECT_EQ(replacement.value("keywords").toStringList(), (QStringList{"alpha", "beta", "gamma"}));
    // Every key stays, an emptied one as the null object.
    EXPECT_EQ(replacement.size(), 9);
    EXPECT_TRUE(replacement.contains("performers"));
    EXPECT_FALSE(replacement.value("performers").isValid());
    EXPECT_FALSE(replacement.value("subject").isValid());
    EXPECT_TRUE(sheet->didDocumentPropertiesChange());
}

TEST(DocumentPropertiesSheet, RespacedListsAndListsEmptiedThatWereEmptyAreNoChange)
{
    auto sheet = Controller::propertiesWindowControllerWithDocumentProperties(
        properties({{QStringLiteral("keywords"), QVariantList{"a", "b"}}}), true);
    setValue(*sheet, "keywords", " a ,  b ");
    setValue(*sheet, "performers", "   ");
    sheet->okButtonPressed();
    EXPECT_FALSE(sheet->didDocumentPropertiesChange());

    auto cancelled = Controller::propertiesWindowControllerWithDocumentProperties(properties({}), true);
    setValue(*cancelled, "author", "Someone");
    cancelled->cancelButtonPressed();
    EXPECT_FALSE(cancelled->replacementDocumentProperties());
    EXPECT_FALSE(cancelled->didDocumentPropertiesChange());
}

TEST(DocumentPropertiesSheet, OkTakesTheTextOfACellStillBeingEdited)
{
    auto sheet = Controller::propertiesWindowControllerWithDocumentProperties(properties({}), true);
    sheet->beginSheet(nullptr, [](int) {});
    QTableView* table = sheet->tableView();
    const QModelIndex author = sheet->model()->index(0, 1);
    table->setCurrentIndex(author);
    table->edit(author);
    auto* editor = qobject_cast<QLineEdit*>(table->indexWidget(author));
    if (!editor)
        editor = table->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("Typed Last"));
    sheet->okButtonPressed();
    ASSERT_TRUE(sheet->replacementDocumentProperties());
    EXPECT_EQ(sheet->replacementDocumentProperties()->value("author").toString(), "Typed Last");
}

TEST(DocumentPropertiesSheet, AReadOnlySheetShowsTheValuesWithOkDisabled)
{
    auto sheet = Controller::propertiesWindowControllerWithDocumentProperties(
        properties({{QStringLiteral("author"), QStringLiteral("A")}}), false);
    EXPECT_FALSE(sheet->isOkEnabled());
    EXPECT_EQ(sheet->model()->item(0, 1)->text(), "A");
    EXPECT_FALSE(sheet->model()->item(0, 1)->isEditable());
    int code = -1;
    sheet->beginSheet(nullptr, [&code](int returned) { code = returned; });
    sheet->okButtonPressed();
    EXPECT_EQ(code, -1);
    sheet->cancelButtonPressed();
    EXPECT_EQ(code, 0);
}

TEST(DocumentPropertiesSheet, KeysSortInTableOrderWithUnknownKeysLast)
{
    using NSStringOVDocumentPropertiesAdditions::compareDocumentPropertyKeys;
    EXPECT_LT(compareDocumentPropertyKeys("author", "director"), 0);
    EXPECT_GT(compareDocumentPropertyKeys("comments", "keywords"), 0);
    EXPECT_GT(compareDocumentPropertyKeys("zzz", "comments"), 0);
    EXPECT_EQ(compareDocumentPropertyKeys("subject", "subject"), 0);
    EXPECT_EQ(Controller::nullMetadataInfoDictionary().size(), 6);
    EXPECT_EQ(Controller::nullExtendedMetadataInfoDictionary().keys(),
              (QStringList{"director", "performers", "producer"}));
    EXPECT_FALSE(Controller::_arrayFromUserString(" ,, "));
    EXPECT_TRUE(Controller::_userStringFromObjectArray({}).isNull());
    OVDocument script;
    EXPECT_TRUE(NSDocumentOVAdditions::isPrompterDocument(script));
}
