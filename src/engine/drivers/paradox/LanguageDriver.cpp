#include "engine/drivers/paradox/LanguageDriver.h"

#include "engine/core/AsciiCase.h"

namespace patchpav::paradox {
namespace {

struct NamedDriver {
  const char* name;
  int codePage;
};

// The first name of each code page is the one new tables carry.
constexpr NamedDriver kDrivers[] = {
    {"ANSIINTL", 1252}, {"ANSII850", 1252},      {"ANSISPAN", 1252}, {"ANSISWFN", 1252},
    {"DBWINUS0", 1252}, {"DBWINWE0", 1252},      {"DBWINES0", 1252}, {"intl", 437},
    {"SPANISH", 437},   {"swedfin", 437},        {"thai", 437},      {"intl850", 850},
    {"ascii", 850},     {"nordan", 865},         {"nordan40", 865},  {"iceland", 861},
    {"DB863CF1", 863},  {"BLROM800", kHpRoman8}, {"ANTURK", 1254},   {"turk", 857},
    {"ancyrr", 1251},   {"cyrr", 866},           {"anczech", 1250},  {"anhundc", 1250},
    {"anpolish", 1250}, {"ansislov", 1250},      {"czech", 852},     {"hun852dc", 852},
    {"polish", 852},    {"slovene", 852},        {"angreek1", 1253},
};

// Families named by country: BLLT1FR0, DB437US0, DB850CF0... (five letters, the country, '0').
constexpr NamedDriver kFamilies[] = {{"BLLT1", 1252}, {"DB437", 437}, {"DB850", 850}};

}  // namespace

std::optional<int> LanguageDriverCodePage(std::string_view name) {
  for (const NamedDriver& driver : kDrivers) {
    if (EqualsIgnoreCase(name, driver.name)) return driver.codePage;
  }
  if (name.size() == 8 && name[7] == '0') {
    for (const NamedDriver& family : kFamilies) {
      if (EqualsIgnoreCase(name.substr(0, 5), family.name)) return family.codePage;
    }
  }
  return std::nullopt;
}

std::string LanguageDriverName(int codePage) {
  for (const NamedDriver& driver : kDrivers) {
    if (driver.codePage == codePage) return driver.name;
  }
  return "ANSIINTL";
}

}  // namespace patchpav::paradox
