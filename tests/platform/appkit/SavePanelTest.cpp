#include "DocumentTestSupport.h"

#include "platform/appkit/OpenPanel.h"
#include "platform/appkit/PackageFileDialog.h"

#include <gtest/gtest.h>

#include <QFileInfo>

namespace {

struct Panels : ::testing::Test, DocumentFixture {
    Panels()
    {
        QDir(folder.path()).mkpath("Show.ovdocument");
        writeFile(path("Show.ovdocument/Content.txt"), "x");
        QDir(folder.path()).mkpath("Plain folder");
        writeFile(path("Notes.note"), "n");
    }

    void offerNoteTypes(SavePanel& panel)
    {
        panel.setFileTypes({{kNotePackageType, "Package", {"ovdocument"}}, {kNoteType, "Note", {"note"}}});
    }
};

} // namespace

TEST_F(Panels, TheSavePanelTakesAnExistingPackageAsOneFileToReplace)
{
    SavePanel panel;
    offerNoteTypes(panel);
    alertAnswers = {Alert::kFirstButtonReturn};
    EXPECT_TRUE(panel.chooseURL(url("Show.ovdocument")));
    EXPECT_EQ(panel.URL(), url("Show.ovdocument"));
    EXPECT_EQ(alertTitles.value(0), "“Show.ovdocument” already exists. Do you want to replace it?");

    alertAnswers = {Alert::kSecondButtonReturn};
    EXPECT_FALSE(panel.chooseURL(url("Show")));
    // A plain folder is somewhere to go into, not something to save over.
    SavePanel anyName;
    EXPECT_FALSE(anyName.chooseURL(url("Plain folder")));
    EXPECT_TRUE(anyName.chooseURL(url("Plain folder/Inside")));
}

TEST_F(Panels, TheSavePanelAddsTheTypesExtensionAndFollowsATypedOne)
{
    SavePanel panel;
    offerNoteTypes(panel);
    EXPECT_TRUE(panel.showsTypePopUp());
    EXPECT_TRUE(panel.chooseURL(url("New")));
    EXPECT_EQ(panel.URL(), url("New.ovdocument"));
    EXPECT_EQ(panel.selectedFileType(), kNotePackageType);

    QString announced;
    panel.setTypeChangeHandler([&](const QString& type) { announced = type; });
    EXPECT_TRUE(panel.chooseURL(url("Other.note")));
    EXPECT_EQ(panel.URL(), url("Other.note"));
    EXPECT_EQ(panel.selectedFileType(), kNoteType);
    EXPECT_EQ(announced, kNoteType);
    EXPECT_FALSE(panel.setSelectedFileType("public.unknown"));
}

TEST_F(Panels, TheFileDialogChoosesAPackageInsteadOfEnteringIt)
{
    PackageFileDialog dialog;
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDirectory(folder.path());
    dialog.selectFile("Show.ovdocument");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.chosenPaths(), QStringList{path("Show.ovdocument")});

    // Entering the package (a double-click) steps back out and chooses it.
    PackageFileDialog entering;
    entering.setAcceptMode(QFileDialog::AcceptOpen);
    entering.setFileMode(QFileDialog::ExistingFile);
    entering.setDirectory(path("Show.ovdocument"));
    // What the dialog's views report when the user opens a folder.
    emit entering.directoryEntered(path("Show.ovdocument"));
    EXPECT_EQ(entering.result(), QDialog::Accepted);
    EXPECT_EQ(entering.chosenPaths(), QStringList{path("Show.ovdocument")});
    EXPECT_EQ(QDir(entering.directory()).canonicalPath(), QDir(folder.path()).canonicalPath());
}

TEST_F(Panels, TheFileDialogEntersPlainFoldersAndHonoursTheCheck)
{
    PackageFileDialog dialog;
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDirectory(folder.path());
    dialog.selectFile("Plain folder");
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir(path("Plain folder")).canonicalPath());

    PackageFileDialog refusing;
    refusing.setChoiceCheck([](const QStringList&) { return false; });
    refusing.setDirectory(folder.path());
    refusing.selectFile("Show.ovdocument");
    refusing.accept();
    EXPECT_NE(refusing.result(), QDialog::Accepted);
}

TEST_F(Panels, TheOpenPanelAcceptsPackagesAndAllowedFilesOnly)
{
    OpenPanel panel;
    panel.setAllowedExtensions({"ovdocument", "NOTE"});
    EXPECT_TRUE(panel.chooseURL(url("Show.ovdocument")));
    EXPECT_TRUE(panel.chooseURL(url("Notes.note")));
    EXPECT_FALSE(panel.chooseURL(url("Plain folder")));
    EXPECT_FALSE(panel.chooseURL(url("Missing.note")));
    EXPECT_FALSE(panel.chooseURLs({url("Notes.note"), url("Show.ovdocument")}));
    panel.setAllowsMultipleSelection(true);
    EXPECT_TRUE(panel.chooseURLs({url("Notes.note"), url("Show.ovdocument")}));
    EXPECT_EQ(panel.URLs().size(), 2);
    panel.setCanChooseDirectories(true);
    EXPECT_TRUE(panel.chooseURL(url("Plain folder")));
}

TEST_F(Panels, OpeningThroughThePanelOpensEachChosenDocument)
{
    SavePanelAnswererScope answer([this](SavePanel& panel) {
        auto& open = static_cast<OpenPanel&>(panel);
        return open.chooseURLs({url("Notes.note"), url("Show.ovdocument")}) ? SavePanel::kModalResponseOK
                                                                            : SavePanel::kModalResponseCancel;
    });
    EXPECT_TRUE(controller.tryToPerform("openDocument:", {}));
    ASSERT_EQ(controller.documents().size(), 2u);
    EXPECT_EQ(static_cast<NoteDocument*>(controller.documents()[1])->text, "x");
}
