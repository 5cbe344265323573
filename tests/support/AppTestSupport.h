#pragma once

// What the tests of real document windows share: a clock and a screen the test owns, and a document
// controller whose script documents open in windows working for the test's own core.
#include "document/OVDocument.h"
#include "document/OVDocumentController.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/FakeScreenProvider.h"
#include "platform/appkit/ScreenProvider.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "prompting/OVCore.h"
#include "window/OVDocumentWindowController.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace apptest {

// The shared clock and one 1280x800 screen at 60 Hz for the life of the scope.
class ClockAndScreen {
public:
    ClockAndScreen() : screens({FakeScreenProvider::makeScreen(0, Rect{{0, 0}, {1280, 800}}, 60.0)})
    {
        Clock::setShared(&clock);
        ScreenProvider::setShared(&screens);
    }
    ~ClockAndScreen()
    {
        ScreenProvider::setShared(nullptr);
        Clock::setShared(nullptr);
    }
    ManualClock clock;
    FakeScreenProvider screens;
};

// Script documents opened through documents (the program's own document controller) get a window
// controller working for core, autosave into folder, and never count as shipped with the program. Closing lets go of every document on the
// spot, not in Qt's clean-up at exit.
class ScriptDocuments {
public:
    ScriptDocuments(OVCore& core, const QTemporaryDir& folder)
    {
        OVDocument::registerDocumentTypes(documents);
        documents.setAutosaveDirectory(folder.filePath(QStringLiteral("autosave")));
        documents.setAutosavingDelay(0);
        OVDocument::setWindowControllerFactory(
            [&core](OVDocument&) { return std::make_unique<OVDocumentWindowController>(&core); });
        OVDocument::setInAppBundleTest([](const QUrl&) { return false; });
        OVDocument::setPromptModeQuery([&core] { return core.isModePrompt(); });
    }
    ~ScriptDocuments()
    {
        for (Document* document : documents.documents())
            document->close();
        QCoreApplication::sendPostedEvents();
        OVDocument::setWindowControllerFactory({});
        OVDocument::setInAppBundleTest({});
        OVDocument::setPromptModeQuery({});
    }
    ScriptDocuments(const ScriptDocuments&) = delete;
    ScriptDocuments& operator=(const ScriptDocuments&) = delete;

    static OVDocumentWindowController& controllerOf(Document* document)
    {
        return *dynamic_cast<OVDocumentWindowController*>(document->primaryWindowController());
    }

    OVDocumentController documents;
};

// A test of script windows: a core and the script documents of a fresh folder, on settings that
// start and end with the registered values.
class ScriptDocumentsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        UserDefaults::shared().resetUserValues();
        core = std::make_unique<OVCore>();
        scripts = std::make_unique<ScriptDocuments>(*core, dir);
    }
    void TearDown() override
    {
        scripts.reset();
        Application::shared().setMainWindow(nullptr);
        core.reset();
        UserDefaults::shared().resetUserValues();
    }

    QTemporaryDir dir;
    std::unique_ptr<OVCore> core;
    std::unique_ptr<ScriptDocuments> scripts;
};

} // namespace apptest
