#include "framework/GaugeModel.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

namespace patchpav {
namespace {

struct GaugeCase {
  std::string name;
  std::function<void(GaugeModel&)> arrange;  // the state before the change
  std::function<bool(GaugeModel&)> change;   // returns the repaint request
  int progress;
  int percent;
  bool repaint;
};

GaugeModel WithMax(int max) {
  GaugeModel gauge;
  gauge.SetMaxValue(max);
  return gauge;
}

TEST(GaugeModel, ValuesPercentagesAndRepaints) {
  const std::vector<GaugeCase> cases = {
      {"3 of 17 truncates 17.6 to 17", [](GaugeModel& g) { g = WithMax(17); },
       [](GaugeModel& g) { return g.SetProgress(3); }, 3, 17, true},
      {"17 of 17 is 100", [](GaugeModel& g) { g = WithMax(17); },
       [](GaugeModel& g) { return g.SetProgress(17); }, 17, 100, true},
      {"0 of 1 is 0", [](GaugeModel& g) { g = WithMax(1); },
       [](GaugeModel& g) { return g.SetProgress(0); }, 0, 0, false},
      {"1 of 1 is 100", [](GaugeModel& g) { g = WithMax(1); },
       [](GaugeModel& g) { return g.SetProgress(1); }, 1, 100, true},
      {"above the maximum is clamped", [](GaugeModel& g) { g = WithMax(10); },
       [](GaugeModel& g) { return g.SetProgress(11); }, 10, 100, true},
      {"below the minimum is clamped",
       [](GaugeModel& g) {
         g = WithMax(10);
         g.SetProgress(5);
       },
       [](GaugeModel& g) { return g.SetProgress(INT_MIN); }, 0, 0, true},
      {"clamped onto the current value changes nothing",
       [](GaugeModel& g) {
         g = WithMax(10);
         g.SetProgress(10);
       },
       [](GaugeModel& g) { return g.SetProgress(500); }, 10, 100, false},
      {"a step inside the same percent stores but does not repaint",
       [](GaugeModel& g) {
         g = WithMax(1000);
         g.SetProgress(170);
       },
       [](GaugeModel& g) { return g.SetProgress(171); }, 171, 17, false},
      {"a step into the next percent repaints",
       [](GaugeModel& g) {
         g = WithMax(1000);
         g.SetProgress(179);
       },
       [](GaugeModel& g) { return g.SetProgress(180); }, 180, 18, true},
      {"lowering the maximum lowers the progress (70 becomes 3)",
       [](GaugeModel& g) { g.SetProgress(70); }, [](GaugeModel& g) { return g.SetMaxValue(3); }, 3,
       100, true},
      {"raising the minimum raises the progress", [](GaugeModel& g) { g.SetProgress(10); },
       [](GaugeModel& g) { return g.SetMinValue(20); }, 20, 0, true},
      {"an empty range is 0 percent", [](GaugeModel& g) { g = WithMax(0); },
       [](GaugeModel& g) { return g.SetProgress(0); }, 0, 0, false},
      {"the widest range does not overflow",
       [](GaugeModel& g) {
         g.SetMinValue(INT_MIN);
         g.SetMaxValue(INT_MAX);
       },
       [](GaugeModel& g) { return g.SetProgress(INT_MAX); }, INT_MAX, 100, true},
      {"the same maximum again asks for nothing", [](GaugeModel&) {},
       [](GaugeModel& g) { return g.SetMaxValue(100); }, 0, 0, false},
      {"the same colour again asks for nothing", [](GaugeModel&) {},
       [](GaugeModel& g) { return g.SetForeColor(RgbColor(0, 0, 0)); }, 0, 0, false},
      {"a new colour repaints", [](GaugeModel&) {},
       [](GaugeModel& g) { return g.SetBackColor(RgbColor(1, 2, 3)); }, 0, 0, true},
      {"the same kind again asks for nothing", [](GaugeModel&) {},
       [](GaugeModel& g) { return g.SetKind(TGaugeKind::gkHorizontalBar); }, 0, 0, false},
      {"hiding the text repaints", [](GaugeModel&) {},
       [](GaugeModel& g) { return g.SetShowText(false); }, 0, 0, true},
      {"the same border again asks for nothing", [](GaugeModel&) {},
       [](GaugeModel& g) { return g.SetBorderStyle(TGaugeBorder::bsSingle); }, 0, 0, false},
  };
  for (const GaugeCase& c : cases) {
    SCOPED_TRACE(c.name);
    GaugeModel gauge;
    c.arrange(gauge);
    EXPECT_EQ(c.change(gauge), c.repaint);
    EXPECT_EQ(gauge.Progress(), c.progress);
    EXPECT_EQ(gauge.PercentDone(), c.percent);
    EXPECT_LE(gauge.MinValue(), gauge.Progress());
    EXPECT_LE(gauge.Progress(), gauge.MaxValue());
  }
}

TEST(GaugeModel, RefusesCrossedBoundsWithTheAllowedRange) {
  struct Refusal {
    std::string name;
    std::function<void(GaugeModel&)> change;
    std::string message;
  };
  const std::vector<Refusal> cases = {
      {"maximum below the minimum", [](GaugeModel& g) { g.SetMaxValue(-1); },
       "La valeur doit être comprise entre 1 et 2147483647"},
      {"minimum above the maximum", [](GaugeModel& g) { g.SetMinValue(101); },
       "La valeur doit être comprise entre -2147483647 et 99"},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    GaugeModel gauge;
    gauge.SetProgress(40);
    try {
      c.change(gauge);
      ADD_FAILURE() << "accepted";
    } catch (const EInvalidValue& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
    // A refused value leaves the gauge as it was.
    EXPECT_EQ(gauge.MinValue(), 0);
    EXPECT_EQ(gauge.MaxValue(), 100);
    EXPECT_EQ(gauge.Progress(), 40);
  }
}

TEST(GaugeModel, WhileLoadingCrossedBoundsAreTakenAndKeptOrdered) {
  GaugeModel gauge;
  EXPECT_TRUE(gauge.SetMinValue(150, /*loading=*/true));
  EXPECT_EQ(gauge.MinValue(), 150);
  EXPECT_EQ(gauge.MaxValue(), 150);
  EXPECT_EQ(gauge.Progress(), 150);
}

TEST(GaugeModel, ALongRunRepaintsOncePerPercent) {
  GaugeModel gauge;
  gauge.SetMaxValue(4567);
  int repaints = 0;
  for (int row = 1; row <= 4567; ++row) repaints += gauge.SetProgress(row) ? 1 : 0;
  EXPECT_EQ(repaints, 100);
  EXPECT_EQ(GaugePercentText(gauge.PercentDone()), "100%");
}

}  // namespace
}  // namespace patchpav
