#include "render/view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

ClipVertex cv(float x, float y, float z) {
    ClipVertex v;
    v.x = x;
    v.y = y;
    v.z = z;
    return v;
}

float project_x(const ClipVertex& v) {
    return 256.0f * v.x / v.z + 256.0f;
}
float project_y(const ClipVertex& v) {
    return 256.0f * v.y / v.z + 192.0f;
}

class View : public ::testing::Test {
  protected:
    void SetUp() override { setup_view(view, 512, 384); }
    const std::array<Plane, 4>& planes() const { return view.planes; }
    ViewSetup view;
};

TEST_F(View, FocalAndFrustumPlanesFor512By384) {
    EXPECT_EQ(view.Width, 512);
    EXPECT_EQ(view.Height, 384);
    EXPECT_EQ(view.focal, 256.0f);
    const float expected[4][4] = {{-0.70987427f, 0, 0.70432842f, 0},
                                  {0.70987427f, 0, 0.70432842f, 0},
                                  {0, 0.80300117f, 0.59597743f, 0},
                                  {0, -0.80300117f, 0.59597743f, 0}};
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(view.planes[k].a, expected[k][0]) << "plane " << k;
        EXPECT_EQ(view.planes[k].b, expected[k][1]) << "plane " << k;
        EXPECT_EQ(view.planes[k].c, expected[k][2]) << "plane " << k;
        EXPECT_EQ(view.planes[k].d, 0.0f) << "plane " << k;
    }
    EXPECT_EQ(setup_view(view, 640, 480), 1);
    EXPECT_EQ(view.focal, 320.0f);
}

TEST_F(View, TriangleCrossingTheRightPlaneGainsTwoCutPoints) {
    const ClipPolygon q = clip_triangle(cv(0, 0, 100), cv(200, 0, 100), cv(0, 50, 100), planes());
    ASSERT_EQ(q.count, 4);
    EXPECT_EQ(q.vertices[0].x, 0.0f);
    EXPECT_EQ(q.vertices[0].y, 0.0f);
    EXPECT_NEAR(q.vertices[1].x, 99.21876f, 1e-3);
    EXPECT_NEAR(q.vertices[1].y, 0.0f, 1e-4);
    EXPECT_NEAR(q.vertices[2].x, 99.21876f, 1e-3);
    EXPECT_NEAR(q.vertices[2].y, 25.19531f, 1e-3);
    EXPECT_EQ(q.vertices[3].y, 50.0f);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(q.vertices[size_t(i)].z, 100.0f);
    EXPECT_NEAR(project_x(q.vertices[1]), 510.0f, 1e-3);
    EXPECT_NEAR(project_x(q.vertices[2]), 510.0f, 1e-3);
}

TEST_F(View, TriangleCoveringTheWholeViewBecomesTheViewRectangle) {
    const ClipPolygon q =
        clip_triangle(cv(-1000, -1000, 100), cv(1000, -1000, 100), cv(0, 1000, 100), planes());
    ASSERT_EQ(q.count, 4);
    const float corners[4][2] = {{2, 382}, {2, 2}, {510, 2}, {510, 382}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(project_x(q.vertices[i]), corners[i][0], 1e-3) << "vertex " << i;
        EXPECT_NEAR(project_y(q.vertices[i]), corners[i][1], 1e-3) << "vertex " << i;
    }
}

TEST_F(View, VerdictsRejectOnAnySinglePlane) {
    // Wholly right of the view, though inside top and bottom.
    EXPECT_EQ(clip_triangle(cv(200, 0, 100), cv(300, 0, 100), cv(250, 10, 100), planes()).count, 0);
    // Two vertices exactly on a plane, the third outside it: nothing remains.
    const std::array<Plane, 4> x_positive{
        {{1, 0, 0, 0}, {0, 0, 1, 100}, {0, 0, 1, 100}, {0, 0, 1, 100}}};
    EXPECT_EQ(clip_triangle(cv(0, 0, 1), cv(0, 5, 1), cv(-1, 2, 1), x_positive).count, 0);
}

TEST_F(View, OnPlaneVerticesWithTheRestInsideAreAcceptedUnchanged) {
    const std::array<Plane, 4> x_positive{
        {{1, 0, 0, 0}, {0, 0, 1, 100}, {0, 0, 1, 100}, {0, 0, 1, 100}}};
    const ClipVertex a = cv(0, 0, 1), b = cv(0, 5, 1), c = cv(1, 2, 1);
    const ClipPolygon q = clip_triangle(a, b, c, x_positive);
    ASSERT_EQ(q.count, 3);
    EXPECT_EQ(q.vertices[0].y, a.y);
    EXPECT_EQ(q.vertices[1].y, b.y);
    EXPECT_EQ(q.vertices[2].x, c.x);

    // A vertex at the eye lies on all four planes.
    ClipVertex eye = cv(0, 0, 0);
    eye.u = 0.25f;
    eye.nz = -1;
    const ClipPolygon r = clip_triangle(eye, cv(-5, 1, 50), cv(5, 1, 50), planes());
    ASSERT_EQ(r.count, 3);
    EXPECT_EQ(r.vertices[0].z, 0.0f);
    EXPECT_EQ(r.vertices[0].u, 0.25f); // every field of an accepted vertex is carried along
    EXPECT_EQ(r.vertices[0].nz, -1.0f);
}

TEST_F(View, PlanePassEmitsOnPlaneVerticesOnlyAsCutPoints) {
    Plane x_positive{1, 0, 0, 0}; // inside where x > 0
    ClipPolygon p;
    p.count = 3;
    p.vertices[0] = cv(1, 0, 0);  // inside
    p.vertices[1] = cv(0, 1, 0);  // on
    p.vertices[2] = cv(-1, 0, 0); // outside
    // Walk: outside->inside gives cut + v0; inside->on gives the cut (= v1); on->outside nothing.
    const ClipPolygon q = clip_to_plane(p, x_positive);
    ASSERT_EQ(q.count, 3);
    EXPECT_EQ(q.vertices[0].x, 0.0f); // cut of v2 -> v0
    EXPECT_EQ(q.vertices[1].x, 1.0f);
    EXPECT_EQ(q.vertices[2].x, 0.0f);
    EXPECT_EQ(q.vertices[2].y, 1.0f);

    // on -> inside: the inside vertex alone.
    p.vertices[2] = cv(2, 2, 0);
    p.vertices[1] = cv(0, 1, 0);
    p.vertices[0] = cv(0, -1, 0); // on
    const ClipPolygon r = clip_to_plane(p, x_positive);
    // v0 (on, after inside v2) -> cut; v1 (on after on) -> nothing; v2 (inside after on) -> v2.
    ASSERT_EQ(r.count, 2);
    EXPECT_EQ(r.vertices[0].y, -1.0f);
    EXPECT_EQ(r.vertices[1].x, 2.0f);

    ClipPolygon empty;
    EXPECT_EQ(clip_to_plane(empty, x_positive).count, 0);
}

TEST_F(View, EdgeIntersectionInterpolatesAndGuardsDivision) {
    Plane x_positive{1, 0, 0, 0};
    ClipVertex a = cv(-1, 0, 10), b = cv(3, 8, 30);
    a.u = 0;
    b.u = 1;
    a.nx = 5;
    const ClipVertex cut = intersect_edge(a, b, x_positive);
    EXPECT_EQ(cut.x, 0.0f);
    EXPECT_EQ(cut.y, 2.0f);
    EXPECT_EQ(cut.z, 15.0f);
    EXPECT_EQ(cut.u, 0.25f);
    EXPECT_EQ(cut.nx, 0.0f);

    // Equal distances, or a distance that is not a number: a copy of a, never a division by 0.
    const ClipVertex parallel = intersect_edge(cv(-1, 0, 1), cv(-1, 9, 1), x_positive);
    EXPECT_EQ(parallel.y, 0.0f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const ClipVertex broken = intersect_edge(a, cv(nan, 0, 0), x_positive);
    EXPECT_EQ(broken.nx, 5.0f);
}

TEST_F(View, PlanePassNeverStoresBeyondSevenVertices) {
    // A zig-zag crossing the plane six times would emit ten vertices if nothing stopped it.
    Plane x_positive{1, 0, 0, 0};
    ClipPolygon p;
    p.count = 7;
    for (int i = 0; i < 7; ++i)
        p.vertices[size_t(i)] = cv(i % 2 == 0 ? 1.0f : -1.0f, float(i), 1);
    const ClipPolygon q = clip_to_plane(p, x_positive);
    EXPECT_EQ(q.count, 7);
    EXPECT_EQ(q.vertices[0].x, 1.0f); // the walk starts from the last vertex (inside)

    p.count = 1000; // a corrupt count is read as at most seven
    EXPECT_LE(clip_to_plane(p, x_positive).count, 7);
    p.count = -3;
    EXPECT_EQ(clip_to_plane(p, x_positive).count, 0);
}

TEST_F(View, NonFiniteVerticesCountAsOutside) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const ClipPolygon q = clip_triangle(cv(nan, nan, nan), cv(nan, 0, 1), cv(0, nan, 5), planes());
    EXPECT_EQ(q.count, 0);
    const ClipPolygon r = clip_triangle(cv(nan, 0, 10), cv(-5, 1, 50), cv(5, 1, 50), planes());
    EXPECT_LE(r.count, 7);
}

} // namespace
