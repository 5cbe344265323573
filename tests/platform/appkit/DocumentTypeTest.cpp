#include "DocumentTestSupport.h"

#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/UniformTypeRegistry.h"

#include <gtest/gtest.h>

namespace {

struct DocumentTypes : ::testing::Test, DocumentFixture {};

} // namespace

TEST(UniformTypes, ConformanceFollowsDeclarationsTransitively)
{
    UniformTypeRegistry registry;
    EXPECT_TRUE(registry.conformsTo("public.utf8-plain-text", "public.text"));
    EXPECT_TRUE(registry.conformsTo("public.rtf", "public.data"));
    EXPECT_TRUE(registry.conformsTo("com.apple.rtfd", "com.apple.package"));
    EXPECT_FALSE(registry.conformsTo("public.rtf", "public.image"));
    EXPECT_FALSE(registry.conformsTo("", "public.data"));
    // A cycle in declarations ends the search instead of looping.
    registry.declareType({"x.a", {"x.b"}, {}, {}});
    registry.declareType({"x.b", {"x.a"}, {}, {}});
    EXPECT_FALSE(registry.conformsTo("x.a", "public.data"));
    EXPECT_EQ(registry.typeForExtension("RTF"), "public.rtf");
    EXPECT_EQ(registry.preferredExtension("public.jpeg"), "jpg");
}

TEST_F(DocumentTypes, TheTableAnswersClassesTypesAndNames)
{
    EXPECT_EQ(controller.defaultType(), kNoteType);
    EXPECT_EQ(controller.documentClassForType(kNoteType), "NoteDocument");
    // A more specific type is read by the class of the type it conforms to.
    EXPECT_EQ(controller.documentClassForType("public.utf8-plain-text"), "NoteDocument");
    EXPECT_EQ(controller.documentClassForType("public.png"), "");
    EXPECT_TRUE(controller.isNativeType(kNotePackageType));
    EXPECT_FALSE(controller.isNativeType("public.plain-text"));
    EXPECT_EQ(controller.readableTypesForClass("NoteDocument"),
              QStringList({kNoteType, kNotePackageType, "public.plain-text"}));
    EXPECT_EQ(controller.displayNameForType(kNoteType), "Note");
    EXPECT_EQ(controller.fileExtensionsFromType(kNotePackageType), QStringList{"ovdocument"});
    EXPECT_TRUE(UniformTypeRegistry::shared().isPackageType(kNotePackageType));
}

TEST_F(DocumentTypes, TheTypeOfAFileDependsOnWhetherItIsAFolder)
{
    QDir(folder.path()).mkpath("Real.ovdocument");
    writeFile(path("Flat.ovdocument"), "not a package");
    QDir(folder.path()).mkpath("Folder");
    writeFile(path("a.note"), "");
    Error error;
    EXPECT_EQ(controller.typeForContentsOfURL(url("Real.ovdocument"), &error), kNotePackageType);
    EXPECT_EQ(controller.typeForContentsOfURL(url("Flat.ovdocument"), &error), "public.data");
    EXPECT_EQ(controller.typeForContentsOfURL(url("Folder"), &error), "public.folder");
    EXPECT_EQ(controller.typeForContentsOfURL(url("a.note"), &error), kNoteType);
    EXPECT_EQ(controller.typeForContentsOfURL(url("missing.note"), &error), "");
    EXPECT_EQ(error.code(), kFileReadNoSuchFileError);

    // A flat file carrying the package's extension has no class to open it.
    EXPECT_EQ(open("Flat.ovdocument"), nullptr);
    EXPECT_EQ(lastError.code(), kFileReadUnknownError);
}

TEST_F(DocumentTypes, SaveToOffersExportOnlyTypesAndSaveOffersNativeOnes)
{
    controller.addDocumentType({"com.adobe.pdf",
                                "PDF",
                                {"pdf"},
                                DocumentController::Role::Editor,
                                "NoteDocument",
                                false,
                                true,
                                false,
                                {}});
    NoteDocument* document = makeUntitled();
    using Op = Document::SaveOperation;
    EXPECT_EQ(document->writableTypesForSaveOperation(Op::Save), QStringList({kNoteType, kNotePackageType}));
    EXPECT_EQ(document->writableTypesForSaveOperation(Op::SaveAs),
              QStringList({kNoteType, kNotePackageType, "public.plain-text"}));
    EXPECT_TRUE(document->writableTypesForSaveOperation(Op::SaveTo).contains("com.adobe.pdf"));
    EXPECT_FALSE(controller.readableTypesForClass("NoteDocument").contains("com.adobe.pdf"));
}

TEST_F(DocumentTypes, RecentDocumentsAreNewestFirstBoundedAndSkipMissingFiles)
{
    for (const QString name : {"1.note", "2.note", "3.note"}) {
        writeFile(path(name), "");
        controller.noteNewRecentDocumentURL(url(name));
    }
    controller.noteNewRecentDocumentURL(url("1.note"));
    EXPECT_EQ(controller.recentDocumentURLs(), QList<QUrl>({url("1.note"), url("3.note"), url("2.note")}));
    controller.setMaximumRecentDocumentCount(2);
    EXPECT_EQ(controller.recentDocumentURLs(), QList<QUrl>({url("1.note"), url("3.note")}));
    QFile::remove(path("3.note"));
    EXPECT_EQ(controller.recentDocumentURLs(), QList<QUrl>{url("1.note")});
    EXPECT_TRUE(controller.tryToPerform("clearRecentDocuments:", {}));
    EXPECT_TRUE(controller.recentDocumentURLs().isEmpty());
}

TEST_F(DocumentTypes, NewDocumentAndCloseAllGoThroughTheController)
{
    EXPECT_TRUE(controller.tryToPerform("newDocument:", {}));
    EXPECT_TRUE(controller.tryToPerform("newDocument:", {}));
    ASSERT_EQ(controller.documents().size(), 2u);
    auto* edited = static_cast<NoteDocument*>(controller.documents()[1]);
    edited->edit("work");
    alertAnswers = {Alert::kSecondButtonReturn}; // Cancel at the edited one
    std::optional<bool> all;
    controller.closeAllDocuments([&](bool closed) { all = closed; });
    EXPECT_EQ(all, false);
    EXPECT_EQ(controller.documents().size(), 1u);

    alertAnswers = {Alert::kThirdButtonReturn}; // Don't Save
    controller.closeAllDocuments([&](bool closed) { all = closed; });
    EXPECT_EQ(all, true);
    EXPECT_TRUE(controller.documents().empty());
}

TEST_F(DocumentTypes, TheRecentDocumentsMenuOpensItsFiles)
{
    writeFile(path("Recent.note"), "again");
    controller.noteNewRecentDocumentURL(url("Recent.note"));
    Menu menu;
    controller.updateRecentDocumentsMenu(menu);
    ASSERT_EQ(menu.numberOfItems(), 3);
    EXPECT_EQ(menu.itemAtIndex(0)->title(), "Recent.note");
    EXPECT_EQ(menu.itemAtIndex(2)->title(), "Clear Menu");
    EXPECT_TRUE(menu.performActionForItem(menu.itemAtIndex(0)));
    ASSERT_EQ(controller.documents().size(), 1u);
    EXPECT_EQ(static_cast<NoteDocument*>(controller.documents()[0])->text, "again");
}
