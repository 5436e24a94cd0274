#include "ui/XPThemeAPI.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/Form.h"
#include "framework/Panel.h"

namespace patchpav {
namespace {

int gBeeps = 0;
unsigned gLastBeepType = 99;

void CountBeep(unsigned type) {
  ++gBeeps;
  gLastBeepType = type;
}

class XPThemeAPITest : public ::testing::Test {
 protected:
  void SetUp() override {
    gBeeps = 0;
    gLastBeepType = 99;
    previous_ = SetXPThemeBeep(&CountBeep);
  }
  void TearDown() override { SetXPThemeBeep(previous_); }

  static int ThemeComponents(const TComponent& owner) {
    int count = 0;
    for (int i = 0; i < owner.ComponentCount(); ++i) {
      if (dynamic_cast<const TXPThemeAPI*>(&owner.Component(i))) ++count;
    }
    return count;
  }

 private:
  BeepFunction previous_ = nullptr;
};

TEST_F(XPThemeAPITest, OneOnAFormIsAccepted) {
  TForm form(nullptr);
  TXPThemeAPI& api = form.CreateComponent<TXPThemeAPI>();
  api.SetName("XPThemeAPI1");
  EXPECT_EQ(gBeeps, 0);
  EXPECT_EQ(ThemeComponents(form), 1);
  EXPECT_EQ(form.FindComponent("XPThemeAPI1"), &api);
  EXPECT_EQ(api.Owner(), &form);
}

TEST_F(XPThemeAPITest, RefusalsBeepAndAbortSilently) {
  struct Case {
    std::string name;
    std::function<void()> construct;
  };
  TForm form(nullptr);
  form.CreateComponent<TXPThemeAPI>();
  TComponent plainOwner(nullptr);
  TPanel& panel = form.CreateComponent<TPanel>(&form);
  const std::vector<Case> cases = {
      {"no owner", [] { TXPThemeAPI api(nullptr); }},
      {"a component that is no form", [&] { plainOwner.CreateComponent<TXPThemeAPI>(); }},
      {"a control that is no form", [&] { panel.CreateComponent<TXPThemeAPI>(); }},
      {"a second one on a form", [&] { form.CreateComponent<TXPThemeAPI>(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gBeeps = 0;
    gLastBeepType = 99;
    EXPECT_THROW(c.construct(), EAbort);
    EXPECT_EQ(gBeeps, 1);
    EXPECT_EQ(gLastBeepType, 0u);  // the default beep
  }
  // The refused ones left nothing behind.
  EXPECT_EQ(ThemeComponents(form), 1);
  EXPECT_EQ(plainOwner.ComponentCount(), 0);
  EXPECT_EQ(panel.ComponentCount(), 0);
}

TEST_F(XPThemeAPITest, TheAbortReachesTheApplicationSilently) {
  // An abort that escapes a handler shows nothing: HandleException returns without a box.
  TForm form(nullptr);
  form.CreateComponent<TXPThemeAPI>();
  try {
    form.CreateComponent<TXPThemeAPI>();
    FAIL() << "the second component was accepted";
  } catch (...) {
    Application().HandleException(std::current_exception());
  }
  EXPECT_EQ(ThemeComponents(form), 1);
}

TEST_F(XPThemeAPITest, EachFormHasItsOwn) {
  TForm first(nullptr);
  TForm second(nullptr);
  first.CreateComponent<TXPThemeAPI>();
  second.CreateComponent<TXPThemeAPI>();
  EXPECT_EQ(gBeeps, 0);
  EXPECT_EQ(ThemeComponents(first), 1);
  EXPECT_EQ(ThemeComponents(second), 1);
}

}  // namespace
}  // namespace patchpav
