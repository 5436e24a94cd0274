#include "engine/ConnectionParams.h"

#include <gtest/gtest.h>

#include "engine/Configuration.h"

namespace patchpav {
namespace {

// What the local driver and an SQL Server driver declare (as data: the assembly rules do not
// depend on which driver declares what).
const DriverParams kLocalDefaults = {
    {"PATH", ""}, {"DEFAULT DRIVER", "PARADOX"}, {"ENABLE BCD", "FALSE"}, {"LANGDRIVER", ""}};
const DriverParams kServerDefaults = {{"SERVER NAME", ""}, {"DATABASE NAME", ""},
                                      {"USER NAME", ""},   {"PASSWORD", ""},
                                      {"BLOB SIZE", "32"}, {"LANGDRIVER", ""}};

TEST(ConnectionParams, AliasThenConnectionLines) {
  struct Case {
    const char* what;
    DriverParams defaults;
    DriverParams settings;
    DriverParams aliasLines;
    std::vector<std::string> connectionLines;
    DriverParams expected;
  };
  const Case cases[] = {
      {"an alias with some parameters has the others at their defaults",
       kLocalDefaults,
       {},
       {{"PATH", "C:\\Base\\"}},
       {},
       {{"PATH", "C:\\Base\\"},
        {"DEFAULT DRIVER", "PARADOX"},
        {"ENABLE BCD", "FALSE"},
        {"LANGDRIVER", ""}}},
      {"a connection line overrides, its name compared without regard to case",
       kLocalDefaults,
       {},
       {{"PATH", ""}, {"DEFAULT DRIVER", "Paradox"}},
       {"path=D:\\Data\\"},
       {{"PATH", "D:\\Data\\"},
        {"DEFAULT DRIVER", "Paradox"},
        {"ENABLE BCD", "FALSE"},
        {"LANGDRIVER", ""}}},
      {"a line whose name the alias lacks is ignored; a line without '=' empties a value",
       kLocalDefaults,
       {},
       {},
       {"USER NAME=sa", "PASSWORD=tovrak", "ENABLE BCD"},
       {{"PATH", ""}, {"DEFAULT DRIVER", "PARADOX"}, {"ENABLE BCD", ""}, {"LANGDRIVER", ""}}},
      {"engine settings replace defaults; the alias's own line wins over them",
       kLocalDefaults,
       {{"LANGDRIVER", "intl"}},
       {{"PATH", "x"}},
       {},
       {{"PATH", "x"},
        {"DEFAULT DRIVER", "PARADOX"},
        {"ENABLE BCD", "FALSE"},
        {"LANGDRIVER", "intl"}}},
      {"settings of names the driver does not declare add nothing",
       kLocalDefaults,
       {{"MAXFILEHANDLES", "200"}},
       {},
       {},
       kLocalDefaults},
      {"an alias's line the driver does not declare is kept, and connection lines may set it",
       kLocalDefaults,
       {},
       {{"USER NAME", "bob"}},
       {"USER NAME=alice", "PASSWORD=secret"},
       {{"PATH", ""},
        {"DEFAULT DRIVER", "PARADOX"},
        {"ENABLE BCD", "FALSE"},
        {"LANGDRIVER", ""},
        {"USER NAME", "alice"}}},
      {"the SQL Server lines of a connection, value after the first '=' kept whole",
       kServerDefaults,
       {{"LANGDRIVER", "ascii"}},
       {{"USER NAME", "sa"}, {"BLOB SIZE", "300"}, {"BLOBS TO CACHE", "10000"}},
       {"USER NAME=sa", "PASSWORD=to=vrak", "DATABASE NAME=Klinova", "SERVER NAME=SRV\\SQL",
        "LANGDRIVER=BLLT1FR0"},
       {{"SERVER NAME", "SRV\\SQL"},
        {"DATABASE NAME", "Klinova"},
        {"USER NAME", "sa"},
        {"PASSWORD", "to=vrak"},
        {"BLOB SIZE", "300"},
        {"BLOBS TO CACHE", "10000"},
        {"LANGDRIVER", "BLLT1FR0"}}},
  };
  for (const Case& c : cases) {
    DriverParams params = AliasParameters(c.defaults, c.settings, c.aliasLines);
    ApplyConnectionLines(params, c.connectionLines);
    EXPECT_EQ(params, c.expected) << c.what;
  }
}

TEST(ConnectionParams, SettingsComeFromTheSystemNodeThenTheDriverNode) {
  Configuration config = Configuration::Defaults();
  config.SetField("\\SYSTEM\\INIT\\", "LANGDRIVER", "DBWINUS0");
  config.SetField("\\DRIVERS\\PARADOX\\INIT\\", "LANGDRIVER", "intl");
  config.SetField("\\DRIVERS\\MSSQL\\INIT\\", "ODBC DRIVER", "ODBC Driver 17 for SQL Server");

  EXPECT_EQ(DriverSettingsNode("standard"), "\\DRIVERS\\PARADOX\\INIT\\");
  EXPECT_EQ(DriverSettingsNode("MSSQL"), "\\DRIVERS\\MSSQL\\INIT\\");
  EXPECT_EQ(DriverSettings(config, "STANDARD", kLocalDefaults),
            (DriverParams{{"LANGDRIVER", "intl"}}));
  EXPECT_EQ(
      DriverSettings(config, "MSSQL", {{"ODBC DRIVER", ""}, {"LANGDRIVER", ""}}),
      (DriverParams{{"ODBC DRIVER", "ODBC Driver 17 for SQL Server"}, {"LANGDRIVER", "DBWINUS0"}}));
  EXPECT_EQ(DriverSettings(config, "STANDARD", {{"MAXFILEHANDLES", "10"}}),
            (DriverParams{{"MAXFILEHANDLES", "48"}}));
}

}  // namespace
}  // namespace patchpav
