// The unit's start-up and shut-down against the registry stand-in: the installer
// feature value hidden while the program runs and restored after, left alone where
// it is not, and a refused registry that stops the toggle quietly.
#include <gtest/gtest.h>

#include <string>

#include "html/ProfDHTMLEdit.h"
#include "platform/rtl/Registry.h"
#include "platform/sim/Registry.h"

namespace {

constexpr char kValue[] = "HTMLSourceEditing";
constexpr char kHidden[] = "_HTMLSourceEditing";

AnsiString KeyFor(int templateIndex, uint16_t lcid) {
  return HTMLSourceEditingKey(HTMLSourceEditingTemplates()[static_cast<size_t>(templateIndex)], lcid);
}

void PutValue(const AnsiString& key, const char* name, const AnsiString& data) {
  TRegistry registry;
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  ASSERT_TRUE(registry.OpenKey(key, true));
  registry.WriteString(name, data);
}

bool HasValue(const AnsiString& key, const char* name) {
  TRegistry registry;
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  return registry.OpenKeyReadOnly(key) && registry.ValueExists(name);
}

AnsiString ReadValue(const AnsiString& key, const char* name) {
  TRegistry registry;
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  if (!registry.OpenKeyReadOnly(key)) return {};
  return registry.ReadString(name);
}

class HtmlUnit : public testing::Test {
 protected:
  void SetUp() override { sim::UseMemoryRegistry(); }
};

TEST_F(HtmlUnit, KeyNamesReverseTheLocaleDigits) {
  EXPECT_EQ(KeyFor(0, 0x0409), "\\Installer\\Features\\904000001E872D116BF00006799C897E");
  EXPECT_EQ(KeyFor(5, 0x0C0A), "\\Installer\\Features\\A0C071001E872D116BF00006799C897E");
  const auto& locales = HTMLSourceEditingLocales();
  EXPECT_EQ(locales.size(), 171u);
  EXPECT_EQ(locales.front(), 0x0436);
  EXPECT_EQ(locales.back(), 0x0435);
  int twice = 0;
  for (uint16_t l : locales) twice += l == 0x0430;
  EXPECT_EQ(twice, 2);
}

TEST_F(HtmlUnit, TheValueIsHiddenWhileRunningAndRestoredAfter) {
  const AnsiString english = KeyFor(0, 0x0409);
  const AnsiString spanish = KeyFor(9, 0x0C0A);
  PutValue(english, kValue, "on");
  PutValue(spanish, kValue, "data kept");
  SetHTMLSourceEditingFeature(true);
  EXPECT_FALSE(HasValue(english, kValue));
  EXPECT_TRUE(HasValue(english, kHidden));
  EXPECT_EQ(ReadValue(spanish, kHidden), "data kept");
  // Running it again changes nothing.
  SetHTMLSourceEditingFeature(true);
  EXPECT_TRUE(HasValue(english, kHidden));
  SetHTMLSourceEditingFeature(false);
  EXPECT_TRUE(HasValue(english, kValue));
  EXPECT_FALSE(HasValue(english, kHidden));
  EXPECT_EQ(ReadValue(spanish, kValue), "data kept");
}

TEST_F(HtmlUnit, KeysWithoutTheValueAreLeftAlone) {
  const AnsiString key = KeyFor(1, 0x0407);
  PutValue(key, "Other", "x");
  SetHTMLSourceEditingFeature(true);
  EXPECT_TRUE(HasValue(key, "Other"));
  EXPECT_FALSE(HasValue(key, kHidden));
  EXPECT_FALSE(HasValue(KeyFor(0, 0x0409), kHidden)) << "no key is made";
}

TEST_F(HtmlUnit, BothNamesInOneKeyStopTheToggleThere) {
  const AnsiString both = KeyFor(0, 0x0436);  // visited first
  const AnsiString later = KeyFor(0, 0x0409);
  PutValue(both, kValue, "plain");
  PutValue(both, kHidden, "hidden");
  PutValue(later, kValue, "later");
  SetHTMLSourceEditingFeature(true);
  EXPECT_EQ(ReadValue(both, kValue), "plain");
  EXPECT_EQ(ReadValue(both, kHidden), "hidden");
  EXPECT_TRUE(HasValue(later, kValue)) << "the keys after the failing one are not visited";
}

TEST_F(HtmlUnit, ARefusedRegistryStopsTheToggleQuietly) {
  const AnsiString key = KeyFor(0, 0x0409);
  PutValue(key, kValue, "on");
  sim::DenyRegistryAccess(HKEY_CLASSES_ROOT, "", sim::RegistryDenial::Write);
  EXPECT_NO_THROW(SetHTMLSourceEditingFeature(true));
  sim::AllowRegistryAccess();
  EXPECT_TRUE(HasValue(key, kValue));
  sim::DenyRegistryAccess(HKEY_CLASSES_ROOT, "", sim::RegistryDenial::All);
  EXPECT_NO_THROW(SetHTMLSourceEditingFeature(false));
  sim::AllowRegistryAccess();
}

TEST_F(HtmlUnit, StartUpRunsOnceAndShutDownAfterIt) {
  ProfDHTMLEditStartup();
  EXPECT_TRUE(ProfDHTMLEditStarted());
  ProfDHTMLEditStartup();  // a second run is skipped
  EXPECT_TRUE(ProfDHTMLEditStarted());
}

}  // namespace
