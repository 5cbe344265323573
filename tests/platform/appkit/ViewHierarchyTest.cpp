#include "platform/appkit/View.h"

#include <gtest/gtest.h>

TEST(ViewHierarchy, SubviewsKeepTheirOrderAndOwnershipMovesOut)
{
    View root(Rect(0, 0, 100, 100));
    View* a = root.addSubview(std::make_unique<View>(Rect(0, 0, 10, 10)));
    View* b = root.addSubview(std::make_unique<View>(Rect(0, 0, 10, 10)));
    View* c = root.addSubview(std::make_unique<View>(Rect(0, 0, 10, 10)), View::Place::Below, b);
    View* d = root.addSubview(std::make_unique<View>(Rect(0, 0, 10, 10)), View::Place::Below, nullptr);
    ASSERT_EQ(root.subviews().size(), 4u);
    EXPECT_EQ(root.subviews()[0].get(), d);
    EXPECT_EQ(root.subviews()[1].get(), a);
    EXPECT_EQ(root.subviews()[2].get(), c);
    EXPECT_EQ(root.subviews()[3].get(), b);
    // The topmost of overlapping siblings is hit.
    EXPECT_EQ(root.hitTest({5, 5}), b);
    std::unique_ptr<View> taken = b->removeFromSuperview();
    EXPECT_EQ(taken.get(), b);
    EXPECT_EQ(b->superview(), nullptr);
    EXPECT_EQ(b->nextResponder(), nullptr);
    EXPECT_EQ(root.hitTest({5, 5}), c);
    EXPECT_EQ(a->nextResponder(), &root);
}

TEST(ViewHierarchy, RefusesToAddAViewInsideItself)
{
    auto root = std::make_unique<View>(Rect(0, 0, 100, 100));
    View* rootView = root.get();
    View* child = root->addSubview(std::make_unique<View>(Rect(0, 0, 10, 10)));
    EXPECT_EQ(child->addSubview(std::move(root)), nullptr);
    EXPECT_EQ(child->superview(), rootView);
    EXPECT_EQ(child->addSubview(std::unique_ptr<View>()), nullptr);
    delete rootView;
}

TEST(ViewHierarchy, AutoresizingSharesTheChangeAmongFlexibleParts)
{
    View root(Rect(0, 0, 100, 100));
    View* filler = root.addSubview(std::make_unique<View>(Rect(10, 10, 80, 80)));
    filler->setAutoresizingMask(View::WidthSizable | View::HeightSizable);
    View* pinnedTopRight = root.addSubview(std::make_unique<View>(Rect(80, 80, 10, 10)));
    pinnedTopRight->setAutoresizingMask(View::MinXMargin | View::MinYMargin);
    View* centred = root.addSubview(std::make_unique<View>(Rect(40, 40, 20, 20)));
    centred->setAutoresizingMask(View::MinXMargin | View::MaxXMargin);
    root.setFrameSize({200, 150});
    EXPECT_EQ(filler->frame(), Rect(10, 10, 180, 130));
    EXPECT_EQ(pinnedTopRight->frame(), Rect(180, 130, 10, 10));
    EXPECT_EQ(centred->frame(), Rect(90, 40, 20, 20));
    // Shrinking to nothing never yields negative sizes.
    root.setFrameSize({0, 0});
    EXPECT_GE(filler->frame().size.width, 0);
    EXPECT_GE(filler->frame().size.height, 0);
}

TEST(ViewHierarchy, FrameAndBoundsObserversAreSeparate)
{
    View view(Rect(0, 0, 100, 100));
    int frames = 0;
    int bounds = 0;
    view.addFrameObserver([&](View&) { ++frames; });
    view.addBoundsObserver([&](View&) { ++bounds; });
    view.setFrameOrigin({5, 5});
    view.setBoundsOrigin({0, 3});
    view.setFrame(view.frame());
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(bounds, 1);
}

TEST(ViewHierarchy, ResizingKeepsTheBoundsScale)
{
    View view(Rect(0, 0, 100, 100));
    view.setBoundsSize({50, 50});
    view.setFrameSize({200, 100});
    EXPECT_EQ(view.bounds().size, Size(100, 50));
}

TEST(ViewHierarchy, VisibleRectIsClippedByAncestors)
{
    View root(Rect(0, 0, 100, 100));
    View* child = root.addSubview(std::make_unique<View>(Rect(50, 50, 100, 100)));
    EXPECT_EQ(child->visibleRect(), Rect(0, 0, 50, 50));
    child->setBoundsOrigin({10, 10});
    EXPECT_EQ(child->visibleRect(), Rect(10, 10, 50, 50));
}
