#include "app/compare_view.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/window_model.h"
#include "tests/support/bmp_builder.h"

namespace {

// The contents of a run that enlarged a W x H picture to W2 x H2 with all three methods.
CompareContents contents(int W, int H, int W2, int H2) {
    CompareContents c;
    c.title = "比較 - cat.bmp";
    c.result_width = W2;
    c.result_height = H2;
    c.source.width = W;
    c.source.height = H;
    c.panes = {{-1, "元画像 - cat.bmp", "/p/cat.bmp"},
               {0, "Lanczos3 - cat_lanczos3.bmp", "/p/cat_lanczos3.bmp"},
               {1, "Hybrid - cat_hybrid.bmp", "/p/cat_hybrid.bmp"},
               {2, "DCT - cat_dct.bmp", "/p/cat_dct.bmp"}};
    return c;
}

CompareView opened(int W, int H, int W2, int H2, int cw = 1000, int ch = 700) {
    CompareView v;
    compare_open(&v, contents(W, H, W2, H2), cw, ch);
    return v;
}

bool inside(const Rect& inner, const Rect& outer) {
    return inner.x >= outer.x && inner.y >= outer.y &&
           inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
}

bool overlap(const Rect& a, const Rect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

// The result point drawn at screen x, y of the pane whose draw is d, in result pixels.
double result_x_at(const CompareView& v, const PaneDraw& d, int iw, double x) {
    const double own = d.src.x + (x - d.dst.x) * d.src.width / d.dst.width;
    return own * v.contents.result_width / iw;
}

TEST(CompareLayout, PanesTileTheWindowInTheColumnsThatShowTheMost) {
    const struct {
        int W2, H2, columns;
    } cases[] = {
        {400, 300, 2},   // 4:3 in 1000 x 700: two by two
        {1600, 200, 1},  // a wide strip: stacked
        {150, 600, 4},   // tall: all in one row
    };
    for (const auto& c : cases) {
        CompareView v = opened(c.W2 / 4, c.H2 / 4, c.W2, c.H2);
        const std::vector<PaneLayout> panes = compare_layout(v);
        ASSERT_EQ(panes.size(), 4u);
        const Rect client = {0, 0, 1000, 700};
        int columns = 0;
        for (std::size_t i = 0; i < panes.size(); ++i) {
            const PaneLayout& p = panes[i];
            EXPECT_EQ(p.pane, static_cast<int>(i));
            EXPECT_TRUE(inside(p.frame, client)) << c.W2;
            EXPECT_EQ(p.frame.width, panes[0].frame.width);
            EXPECT_EQ(p.frame.height, panes[0].frame.height);
            EXPECT_EQ(p.label.y, p.frame.y);
            EXPECT_EQ(p.label.height, kPaneLabelHeight);
            EXPECT_EQ(p.open_button.x + p.open_button.width, p.frame.x + p.frame.width);
            EXPECT_EQ(p.picture.y, p.frame.y + kPaneLabelHeight);
            EXPECT_EQ(p.picture.y + p.picture.height, p.frame.y + p.frame.height);
            for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(overlap(p.frame, panes[j].frame));
            columns += p.frame.y == panes[0].frame.y;
        }
        EXPECT_EQ(columns, c.columns) << c.W2 << " x " << c.H2;
    }
}

TEST(CompareView, OpensAtTheFitWithTheWholeResultCentredInEveryPane) {
    CompareView v = opened(100, 75, 400, 300);
    EXPECT_TRUE(v.fit);
    const std::vector<PaneLayout> panes = compare_layout(v);
    const double s = compare_scale(v);
    EXPECT_DOUBLE_EQ(s, std::min(panes[0].picture.width / 400.0, panes[0].picture.height / 300.0));
    const std::vector<PaneDraw> draws = compare_draws(v);
    ASSERT_EQ(draws.size(), 4u);
    for (const PaneDraw& d : draws) {
        const Rect& pic = panes[static_cast<std::size_t>(d.pane)].picture;
        const int iw = d.pane == 0 ? 100 : 400, ih = d.pane == 0 ? 75 : 300;
        EXPECT_EQ(d.src.x, 0);
        EXPECT_EQ(d.src.y, 0);
        EXPECT_EQ(d.src.width, iw);
        EXPECT_EQ(d.src.height, ih);
        EXPECT_TRUE(inside(d.dst, pic)) << d.pane;
        EXPECT_NEAR(d.dst.x + d.dst.width / 2.0, pic.x + pic.width / 2.0, 1.0);
        EXPECT_NEAR(d.dst.y + d.dst.height / 2.0, pic.y + pic.height / 2.0, 1.0);
        EXPECT_EQ(d.clip.x, pic.x);
        EXPECT_EQ(d.clip.width, pic.width);
    }
}

TEST(CompareView, ZoomStepsFromTheFitUpToEightAndBackDown) {
    CompareView v = opened(500, 400, 2000, 1600);
    ASSERT_LT(compare_scale(v), 1.0);
    std::vector<double> up;
    for (int i = 0; i < 8; ++i) {
        compare_key(&v, CompareKey::zoom_in);
        up.push_back(compare_scale(v));
    }
    EXPECT_EQ(up, (std::vector<double>{1, 2, 3, 4, 6, 8, 8, 8}));
    std::vector<double> down;
    for (int i = 0; i < 6; ++i) {
        compare_key(&v, CompareKey::zoom_out);
        down.push_back(v.fit ? 0.0 : compare_scale(v));
    }
    EXPECT_EQ(down, (std::vector<double>{6, 4, 3, 2, 1, 0}));
    compare_key(&v, CompareKey::zoom_out);
    EXPECT_TRUE(v.fit);

    // A small result fits at 2.5: the first step in is 3, and out again is the fit.
    CompareView small = opened(20, 20, 100, 100, 2 * kPaneGap + 250 + 250 + kPaneGap,
                               2 * kPaneGap + 250 + 250 + kPaneGap + 2 * kPaneLabelHeight);
    ASSERT_DOUBLE_EQ(compare_scale(small), 2.5);
    compare_zoom(&small, 1, 0, 0);
    EXPECT_EQ(compare_scale(small), 3.0);
    compare_zoom(&small, -1, 0, 0);
    EXPECT_TRUE(small.fit);
    compare_zoom(&small, 10, 0, 0);
    EXPECT_EQ(compare_scale(small), 8.0);
}

TEST(CompareView, WheelZoomKeepsThePointUnderTheMouse) {
    CompareView v = opened(500, 400, 2000, 1600);
    compare_key(&v, CompareKey::zoom_in);  // 1:1
    const PaneLayout p = compare_layout(v)[2];
    const int x = p.picture.x + p.picture.width / 3, y = p.picture.y + p.picture.height / 4;
    auto point_at = [&](const CompareView& w) {
        const double s = compare_scale(w);
        return std::make_pair(w.center_x + (x - (p.picture.x + p.picture.width / 2.0)) / s,
                              w.center_y + (y - (p.picture.y + p.picture.height / 2.0)) / s);
    };
    const auto before = point_at(v);
    compare_zoom(&v, 2, x, y);
    EXPECT_EQ(compare_scale(v), 3.0);
    const auto after = point_at(v);
    EXPECT_NEAR(after.first, before.first, 1e-9);
    EXPECT_NEAR(after.second, before.second, 1e-9);
}

TEST(CompareView, PanStopsAtTheResultsEdgesAndDoesNothingAtTheFit) {
    CompareView v = opened(500, 400, 2000, 1600);
    compare_drag(&v, 300, -200);
    EXPECT_EQ(v.center_x, 1000.0);
    EXPECT_EQ(v.center_y, 800.0);
    compare_zoom(&v, 2, -1, -1);  // 2:1
    const Rect pic = compare_layout(v)[1].picture;
    compare_drag(&v, 100000, 100000);  // far right and down: the top left corner shows
    EXPECT_DOUBLE_EQ(v.center_x, pic.width / 4.0);
    EXPECT_DOUBLE_EQ(v.center_y, pic.height / 4.0);
    for (const PaneDraw& d : compare_draws(v)) {
        EXPECT_EQ(d.src.x, 0);
        EXPECT_EQ(d.src.y, 0);
        EXPECT_EQ(d.dst.x, d.clip.x) << d.pane;
        EXPECT_EQ(d.dst.y, d.clip.y) << d.pane;
    }
    compare_drag(&v, -100000, -100000);  // the bottom right corner
    EXPECT_DOUBLE_EQ(v.center_x, 2000 - pic.width / 4.0);
    for (const PaneDraw& d : compare_draws(v)) {
        const int iw = d.pane == 0 ? 500 : 2000, ih = d.pane == 0 ? 400 : 1600;
        EXPECT_EQ(d.src.x + d.src.width, iw);
        EXPECT_EQ(d.src.y + d.src.height, ih);
        EXPECT_EQ(d.dst.x + d.dst.width, d.clip.x + d.clip.width) << d.pane;
        EXPECT_EQ(d.dst.y + d.dst.height, d.clip.y + d.clip.height) << d.pane;
    }
}

TEST(CompareView, ArrowsMoveTheViewAQuarterOfAPane) {
    CompareView v = opened(500, 400, 2000, 1600);
    compare_zoom(&v, 1, -1, -1);
    const Rect pic = compare_layout(v)[0].picture;
    const double x = v.center_x, y = v.center_y;
    compare_key(&v, CompareKey::right);
    EXPECT_DOUBLE_EQ(v.center_x, x + pic.width / 4);
    compare_key(&v, CompareKey::down);
    EXPECT_DOUBLE_EQ(v.center_y, y + pic.height / 4);
    compare_key(&v, CompareKey::left);
    compare_key(&v, CompareKey::up);
    EXPECT_DOUBLE_EQ(v.center_x, x);
    EXPECT_DOUBLE_EQ(v.center_y, y);
}

// Every pane shows the same result region at the same place in its picture area; the source
// pane shows the pixels that region came from, each repeated over the result pixels it covers.
TEST(CompareView, EveryPaneShowsTheSameDetailInStep) {
    CompareView v = opened(100, 75, 400, 300);
    compare_zoom(&v, 4, -1, -1);
    compare_drag(&v, -333, 121);
    const std::vector<PaneLayout> panes = compare_layout(v);
    const std::vector<PaneDraw> draws = compare_draws(v);
    ASSERT_EQ(draws.size(), 4u);
    const Rect first = panes[1].picture;
    for (const PaneDraw& d : draws) {
        const Rect pic = panes[static_cast<std::size_t>(d.pane)].picture;
        if (d.pane == 0) continue;
        EXPECT_EQ(d.src.x, draws[1].src.x);
        EXPECT_EQ(d.src.width, draws[1].src.width);
        EXPECT_EQ(d.src.y, draws[1].src.y);
        EXPECT_EQ(d.dst.x - pic.x, draws[1].dst.x - first.x);
        EXPECT_EQ(d.dst.y - pic.y, draws[1].dst.y - first.y);
        EXPECT_EQ(d.dst.width, draws[1].dst.width);
    }
    // At every screen column of the pane the source pane shows the source pixel the result
    // pixel there was enlarged from.
    const PaneDraw& src = draws[0];
    const PaneDraw& res = draws[1];
    const Rect src_pic = panes[0].picture;
    for (int dx = 2; dx < src_pic.width; dx += 16) {
        const double rx = result_x_at(v, res, 400, first.x + dx + 0.5);
        const double sx = result_x_at(v, src, 100, src_pic.x + dx + 0.5);
        EXPECT_EQ(std::floor(sx / 4), std::floor(rx / 4)) << dx;
    }
    // Each source pixel is 4 result pixels wide, each of them scale screen pixels.
    EXPECT_NEAR(src.dst.width, src.src.width * 4 * compare_scale(v), 1.0);
}

TEST(CompareView, KeysOneToFourShowOnePaneAloneAndZeroAllAgain) {
    CompareView v = opened(100, 75, 400, 300);
    compare_zoom(&v, 3, -1, -1);
    compare_drag(&v, 50, 20);
    const double x = v.center_x, y = v.center_y, s = compare_scale(v);
    compare_show(&v, 3);
    std::vector<PaneLayout> panes = compare_layout(v);
    ASSERT_EQ(panes.size(), 1u);
    EXPECT_EQ(panes[0].pane, 2);
    EXPECT_EQ(panes[0].frame.x, kPaneGap);
    EXPECT_EQ(panes[0].frame.width, 1000 - 2 * kPaneGap);
    EXPECT_EQ(panes[0].frame.height, 700 - 2 * kPaneGap);
    EXPECT_EQ(compare_scale(v), s);
    // The same place, as far as the larger pane lets it stay.
    EXPECT_NEAR(v.center_x, x, 400.0);
    compare_show(&v, 1);
    EXPECT_EQ(compare_layout(v)[0].pane, 0);
    compare_show(&v, 5);  // no fifth pane
    EXPECT_EQ(compare_layout(v)[0].pane, 0);
    compare_show(&v, 0);
    EXPECT_EQ(compare_layout(v).size(), 4u);
    EXPECT_EQ(compare_scale(v), s);
    EXPECT_NEAR(v.center_y, y, 1e-9);

    // With two results there are three panes: key 4 does nothing.
    CompareContents c = contents(100, 75, 400, 300);
    c.panes.pop_back();
    compare_open(&v, c, 1000, 700);
    compare_show(&v, 4);
    EXPECT_EQ(compare_layout(v).size(), 3u);
}

TEST(CompareView, ResizingKeepsTheFitOrTheZoom) {
    CompareView v = opened(100, 75, 400, 300, 600, 400);
    const double small = compare_scale(v);
    compare_resize(&v, 1200, 800);
    EXPECT_TRUE(v.fit);
    EXPECT_GT(compare_scale(v), small);
    compare_zoom(&v, 1, -1, -1);
    const double zoomed = compare_scale(v);
    compare_resize(&v, 1300, 900);
    EXPECT_EQ(compare_scale(v), zoomed);
    // Grown past the zoom, the window shows the fit.
    compare_resize(&v, 8000, 6000);
    EXPECT_TRUE(v.fit);
    EXPECT_GT(compare_scale(v), zoomed);
    // And nothing breaks in a window too small for any picture.
    compare_resize(&v, 3, 3);
    EXPECT_TRUE(compare_draws(v).empty());
}

TEST(CompareView, ANewRunReplacesTheContentsAndReturnsToTheFit) {
    CompareView v = opened(100, 75, 400, 300);
    compare_zoom(&v, 2, -1, -1);
    compare_show(&v, 2);
    compare_open(&v, contents(10, 10, 30, 30), 900, 600);
    EXPECT_TRUE(v.fit);
    EXPECT_EQ(v.solo, -1);
    EXPECT_EQ(v.contents.result_width, 30);
    EXPECT_EQ(v.center_x, 15.0);
    EXPECT_EQ(compare_layout(v).size(), 4u);
}

TEST(CompareView, ClicksFindTheirPaneAndItsOpenButton) {
    CompareView v = opened(100, 75, 400, 300);
    const std::vector<PaneLayout> panes = compare_layout(v);
    for (const PaneLayout& p : panes) {
        EXPECT_EQ(compare_pane_at(v, p.picture.x + 5, p.picture.y + 5), p.pane);
        EXPECT_EQ(compare_open_button_at(v, p.picture.x + 5, p.picture.y + 5), -1);
        EXPECT_EQ(compare_open_button_at(v, p.open_button.x + 2, p.open_button.y + 2), p.pane);
    }
    EXPECT_EQ(compare_pane_at(v, 1, 1), -1);  // the gap around the panes
}

}  // namespace
