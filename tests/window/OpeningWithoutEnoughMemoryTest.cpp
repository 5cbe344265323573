// Opening a script when memory runs out: the open fails with an error, and the program and the
// other open documents go on as they were. Allocation failure is injected with a replacement of the
// global operator new that fails one chosen allocation of the test's thread: a large one, as a long
// script's text or layout asks for, or any one at all, down to a single node of a container.
#include "app/sample/SampleScript.h"
#include "document/OVDocument.h"
#include "document/OVDocumentPackageWriter.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/FakeScreenProvider.h"
#include "platform/appkit/ScreenProvider.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/MemoryReserve.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/textview/TextView.h"
#include "prompting/OVCore.h"
#include "tests/support/AppTestSupport.h"
#include "window/OVDocumentWindowController.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {

// Counts down the test thread's allocations of at least t_smallestCounted bytes while armed; the one
// reaching zero fails, and only that one. A large one fails outright, as a request bigger than any
// reserve does; a small one fails as the system's allocator would, asking the new-handler first.
constexpr std::size_t kLargeAllocation = 16 * 1024;
thread_local std::size_t t_smallestCounted = kLargeAllocation;
thread_local long t_allocationsBeforeFailure = -1;
thread_local long t_allocationsCounted = 0;
thread_local bool t_counting = false;

void* allocate(std::size_t size)
{
    if (size >= t_smallestCounted) {
        if (t_counting)
            ++t_allocationsCounted;
        if (t_allocationsBeforeFailure >= 0 && t_allocationsBeforeFailure-- == 0) {
            const std::new_handler handler = std::get_new_handler();
            if (size >= kLargeAllocation || !handler)
                throw std::bad_alloc();
            handler();
        }
    }
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size)
{
    return allocate(size);
}
void* operator new[](std::size_t size)
{
    return allocate(size);
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace {

using Scopes = apptest::ClockAndScreen;

class OpeningWithoutEnoughMemory : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        UserDefaults::shared().resetUserValues();
        core = std::make_unique<OVCore>();
        OVDocument::registerDocumentTypes(documents);
        documents.setAutosaveDirectory(dir.filePath(QStringLiteral("autosave")));
        documents.setAutosavingDelay(0);
        OVDocument::setWindowControllerFactory(
            [this](OVDocument&) { return std::make_unique<OVDocumentWindowController>(core.get()); });
        OVDocument::setInAppBundleTest([](const QUrl&) { return false; });
        OVDocument::setPromptModeQuery([this] { return core->isModePrompt(); });
        Application::shared().setErrorPresenter([this](const Error& error) {
            presented.push_back(error);
            return false;
        });
        writeScript(QStringLiteral("Other.ovdocument"), 5);
        writeScript(QStringLiteral("Long.ovdocument"), 5000);
        writeScript(QStringLiteral("Short.ovdocument"), 3);
    }
    void TearDown() override
    {
        t_allocationsBeforeFailure = -1;
        t_smallestCounted = kLargeAllocation;
        Application::shared().setErrorPresenter({});
        for (Document* document : documents.documents())
            document->close();
        QCoreApplication::sendPostedEvents();
        OVDocument::setWindowControllerFactory({});
        OVDocument::setInAppBundleTest({});
        OVDocument::setPromptModeQuery({});
        Application::shared().setMainWindow(nullptr);
        core.reset();
        UserDefaults::shared().resetUserValues();
    }

    QUrl url(const QString& name) const { return QUrl::fromLocalFile(dir.filePath(name)); }

    void writeScript(const QString& name, int paragraphs)
    {
        MutableAttributedString text;
        for (int i = 0; i < paragraphs; ++i)
            text.append(QStringLiteral("Paragraph %1 of a script that goes on and on.\n").arg(i),
                        samplescript::bodyAttributes());
        OVDocumentPackageWriter::Input input;
        input.text = &text;
        Error error;
        ASSERT_TRUE(OVDocumentPackageWriter::writeToURL(url(name), {}, input, &error))
            << qPrintable(error.localizedDescription());
    }

    TextView& textViewOf(Document* document)
    {
        return *dynamic_cast<OVDocumentWindowController*>(document->primaryWindowController())->textView();
    }

    // Opens the script with the given allocation of the open failing (none with -1); failed tells
    // whether the open came that far.
    Document* openFailingAllocation(const QString& name, long allocation, Error* error,
                                    bool* failed = nullptr)
    {
        const QUrl script = url(name);
        t_allocationsBeforeFailure = allocation;
        Document* document = documents.openDocumentWithContentsOfURL(script, true, error);
        if (failed)
            *failed = allocation >= 0 && t_allocationsBeforeFailure < 0;
        t_allocationsBeforeFailure = -1;
        QCoreApplication::sendPostedEvents();
        return document;
    }

    template <typename Action> long countAllocations(Action action)
    {
        t_allocationsCounted = 0;
        t_counting = true;
        action();
        t_counting = false;
        return t_allocationsCounted;
    }

    // How many counted allocations opening the script takes when none fails; the script is closed
    // again. 0 when it does not open.
    long allocationsOfOpening(const QString& name)
    {
        Error error;
        Document* opened = nullptr;
        const long total = countAllocations([&] { opened = openFailingAllocation(name, -1, &error); });
        EXPECT_NE(opened, nullptr);
        if (!opened)
            return 0;
        opened->close();
        QCoreApplication::sendPostedEvents();
        return total;
    }

    // An edited document that must come through every failed open untouched.
    Document* openEditedOther()
    {
        Error error;
        Document* other =
            documents.openDocumentWithContentsOfURL(url(QStringLiteral("Other.ovdocument")), true, &error);
        if (!other)
            return nullptr;
        textViewOf(other).setSelectedRange(Range{0, 0});
        textViewOf(other).replaceCharactersInRange(Range{0, 0}, QStringLiteral("Unsaved words. "));
        other->updateChangeCount(Document::ChangeType::Done);
        return other;
    }

    // Fails each of the given allocations of opening the script in turn: each open fails with the
    // error, leaves other alone, and the script opens once memory is back.
    void expectEachFailureFailsThatOpenAlone(const QString& name, const std::vector<long>& failing,
                                             Document* other, long total)
    {
        const QString otherText = textViewOf(other).string();
        for (long allocation : failing) {
            SCOPED_TRACE(testing::Message() << "allocation " << allocation << " of " << total);
            Error failure;
            bool failed = false;
            Document* opened = openFailingAllocation(name, allocation, &failure, &failed);
            if (!failed && opened) {
                // Caches filled by the first open leave later ones a little shorter.
                opened->close();
                QCoreApplication::sendPostedEvents();
                continue;
            }
            EXPECT_EQ(opened, nullptr);
            EXPECT_EQ(failure.localizedDescription(),
                      QStringLiteral("not enough memory to open “%1”").arg(name));
            ASSERT_EQ(documents.documents().size(), 1u);
            EXPECT_EQ(documents.documents()[0], other);
            EXPECT_EQ(textViewOf(other).string(), otherText);
            EXPECT_TRUE(other->isDocumentEdited());
            if (HasFailure())
                return;
        }
        Error error;
        Document* opened = openFailingAllocation(name, -1, &error);
        ASSERT_NE(opened, nullptr);
        EXPECT_TRUE(textViewOf(opened).string().startsWith("Paragraph 0 of a script"));
        EXPECT_EQ(documents.documents().size(), 2u);
    }

    Scopes scopes;
    std::unique_ptr<OVCore> core;
    QTemporaryDir dir;
    DocumentController documents;
    std::vector<Error> presented;
};

} // namespace

TEST_F(OpeningWithoutEnoughMemory, AnyFailedLargeAllocationInReadingOrLayoutFailsThatOpenAlone)
{
    Document* other = openEditedOther();
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(textViewOf(other).string().startsWith("Unsaved words. "));

    // The reader's big buffers are Qt's own (malloc, out of this counter's sight); what counts here is
    // mostly the window and the layout, the reader being covered by the small-allocation sweeps.
    const long total = allocationsOfOpening(QStringLiteral("Long.ovdocument"));
    ASSERT_GT(total, 0);

    std::vector<long> failing;
    for (long allocation = 0; allocation < total; allocation += std::max(1L, total / 60))
        failing.push_back(allocation);
    expectEachFailureFailsThatOpenAlone(QStringLiteral("Long.ovdocument"), failing, other, total);
}

// Every allocation counts here, however small: a node of a folder's listing, of a property list's
// index, of a layout's formats. Any of them failing must fail the open and nothing else.
TEST_F(OpeningWithoutEnoughMemory, EveryFailedSmallAllocationFailsThatOpenAlone)
{
    Document* other = openEditedOther();
    ASSERT_NE(other, nullptr);
    t_smallestCounted = 1;
    const long total = allocationsOfOpening(QStringLiteral("Short.ovdocument"));
    ASSERT_GT(total, 0);

    std::vector<long> failing;
    for (long allocation = 0; allocation < total; ++allocation)
        failing.push_back(allocation);
    expectEachFailureFailsThatOpenAlone(QStringLiteral("Short.ovdocument"), failing, other, total);
}

// The same over a long script: a sample of all its allocations.
TEST_F(OpeningWithoutEnoughMemory, FailedSmallAllocationsInALongScriptFailThatOpenAlone)
{
    Document* other = openEditedOther();
    ASSERT_NE(other, nullptr);
    t_smallestCounted = 1;
    const long total = allocationsOfOpening(QStringLiteral("Long.ovdocument"));
    ASSERT_GT(total, 0);

    std::vector<long> failing;
    for (long allocation = 0; allocation < total; allocation += std::max(1L, total / 100))
        failing.push_back(allocation);
    expectEachFailureFailsThatOpenAlone(QStringLiteral("Long.ovdocument"), failing, other, total);
}

// A script opens with nothing laid out; its first screen is laid out when the window first draws.
// Memory running out there leaves that frame without text, never the program without a window, and
// the next frame draws it.
TEST_F(OpeningWithoutEnoughMemory, FailedAllocationsLayingOutTheFirstScreenLeaveThatFrameBlank)
{
    Error error;
    Document* opened = openFailingAllocation(QStringLiteral("Long.ovdocument"), -1, &error);
    ASSERT_NE(opened, nullptr);
    TextView& view = textViewOf(opened);
    LayoutManager& layout = *view.layoutManager();
    layout.setBackgroundLayoutEnabled(false);
    const Rect visible = view.visibleRect();
    ASSERT_GT(visible.height(), 100);
    QImage image(int(visible.width()), int(visible.height()), QImage::Format_ARGB32_Premultiplied);
    // A new width leaves everything to be laid out again, as a freshly opened script is.
    double width = layout.textContainer().size().width;
    const auto startAfresh = [&] {
        width = width == 400 ? 401 : 400;
        layout.setTextContainerSize({width, TextContainer::kUnlimitedHeight});
        ASSERT_EQ(layout.firstUnlaidCharacterIndex(), 0);
    };
    // The view's own drawing, whose first allocations are those of laying out what it shows.
    view.setDrawsBackground(false);
    const Point origin = view.textContainerOrigin();
    const auto draw = [&](QPainter& painter) { view.drawRect(painter, visible); };

    t_smallestCounted = 1;
    startAfresh();
    const long total =
        countAllocations([&] { layout.glyphRangeForBoundingRect(visible.offsetBy(-origin.x, -origin.y)); });
    ASSERT_GT(total, 0);
    for (long allocation = 0; allocation < total; allocation += std::max(1L, total / 50)) {
        SCOPED_TRACE(testing::Message() << "allocation " << allocation << " of " << total);
        startAfresh();
        {
            QPainter painter(&image);
            // Without the reserve's handler, as once the reserve is spent.
            std::set_new_handler(nullptr);
            t_allocationsBeforeFailure = allocation;
            draw(painter);
            const bool failed = t_allocationsBeforeFailure < 0;
            t_allocationsBeforeFailure = -1;
            MemoryReserve::hold();
            EXPECT_TRUE(failed);
            draw(painter);
        }
        const Range shown = layout.glyphRangeForBoundingRect(visible.offsetBy(-origin.x, -origin.y));
        EXPECT_GT(shown.length, 0);
        EXPECT_GE(layout.firstUnlaidCharacterIndex(), shown.end());
        if (HasFailure())
            return;
    }
}
