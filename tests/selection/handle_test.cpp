#include "selection/handle.h"

#include <gtest/gtest.h>

#include <ostream>

#include <optional>

namespace vantorel {
namespace {

TEST(HandleTest, OrderIsFixed) {
    const std::array<Handle, 8> expected = {Handle::topLeft, Handle::top,        Handle::topRight,
                                            Handle::left,    Handle::right,      Handle::bottomLeft,
                                            Handle::bottom,  Handle::bottomRight};
    EXPECT_EQ(kAllHandles, expected);
}

struct AnchorCase {
    Handle handle;
    QPointF anchor;
};

TEST(HandleTest, AnchorsSitOnCornersAndEdgeMiddles) {
    const QRectF rect(100, 50, 200, 80);
    const AnchorCase cases[] = {
        {Handle::topLeft, {100, 50}},  {Handle::top, {200, 50}},
        {Handle::topRight, {300, 50}}, {Handle::left, {100, 90}},
        {Handle::right, {300, 90}},    {Handle::bottomLeft, {100, 130}},
        {Handle::bottom, {200, 130}},  {Handle::bottomRight, {300, 130}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(handleAnchor(c.handle, rect), c.anchor) << static_cast<int>(c.handle);
    }
}

struct HitCase {
    const char* name;
    QRectF rect;
    QPointF point;
    std::optional<Handle> expected;
};

// Test names and failure messages show the case by its name.
void PrintTo(const HitCase& c, std::ostream* os) {
    *os << c.name;
}

class HandleHitTest : public ::testing::TestWithParam<HitCase> {};

TEST_P(HandleHitTest, GivesNearestHandleInReach) {
    const auto& c = GetParam();
    EXPECT_EQ(handleAt(c.point, c.rect), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HandleHitTest,
    ::testing::Values(
        HitCase{"onCorner", {100, 100, 200, 100}, {100, 100}, Handle::topLeft},
        HitCase{"reachIsInclusive", {100, 100, 200, 100}, {111, 100}, Handle::topLeft},
        HitCase{"justOutOfReach", {100, 100, 200, 100}, {112, 100}, std::nullopt},
        HitCase{"interiorIsNoHandle", {100, 100, 200, 100}, {200, 150}, std::nullopt},
        HitCase{"outsideRectStillHits", {100, 100, 200, 100}, {93, 92}, Handle::topLeft},
        HitCase{"diagonalBeyondReach", {100, 100, 200, 100}, {92, 91}, std::nullopt},
        HitCase{"bottomRightOutside", {100, 100, 200, 100}, {305, 205}, Handle::bottomRight},
        HitCase{"rightMiddle", {100, 100, 200, 100}, {309, 150}, Handle::right},
        HitCase{"smallRectExactTop", {0, 0, 10, 10}, {5, 0}, Handle::top},
        HitCase{"smallRectCentreTieGoesFirst", {0, 0, 10, 10}, {5, 5}, Handle::top},
        HitCase{"smallRectNearerBottom", {0, 0, 10, 10}, {5, 9}, Handle::bottom},
        HitCase{"tieLeftBeforeRight", {0, 0, 10, 30}, {5, 15}, Handle::left}),
    [](const auto& param) { return std::string(param.param.name); });

struct EdgeCase {
    Handle handle;
    bool left, right, top, bottom;
};

TEST(HandleTest, EdgesMovedByEachHandle) {
    const EdgeCase cases[] = {
        {Handle::topLeft, true, false, true, false},
        {Handle::top, false, false, true, false},
        {Handle::topRight, false, true, true, false},
        {Handle::left, true, false, false, false},
        {Handle::right, false, true, false, false},
        {Handle::bottomLeft, true, false, false, true},
        {Handle::bottom, false, false, false, true},
        {Handle::bottomRight, false, true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.handle));
        EXPECT_EQ(movesLeftEdge(c.handle), c.left);
        EXPECT_EQ(movesRightEdge(c.handle), c.right);
        EXPECT_EQ(movesTopEdge(c.handle), c.top);
        EXPECT_EQ(movesBottomEdge(c.handle), c.bottom);
    }
}

}  // namespace
}  // namespace vantorel
