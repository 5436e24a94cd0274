// The connection and the query on real Paradox tables, through the local STANDARD driver.

#include <gtest/gtest.h>

#include <optional>

#include "EngineFixture.h"
#include "engine/ConfigCalls.h"
#include "engine/Database.h"
#include "engine/Query.h"
#include "engine/core/Errors.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/sql/LocalDriver.h"
#include "support/FieldBuilders.h"

namespace patchpav::test {
namespace {

using paradox::FieldType;

using patchpav::testing::Field;

Value F(double v) { return Value::Float(v); }

template <typename Action>
std::string ErrorOf(Action&& action) {
  try {
    action();
  } catch (const EDatabaseError& error) {
    return error.what();
  }
  return {};
}

class DatabaseQueryTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Engine::Instance().RegisterDriver(std::make_unique<sql::LocalDriver>());
    base_ = dir_.Path() / "base";
    std::filesystem::create_directories(base_);

    const paradox::TableSchema cpmain = testing::CpMainSchema();
    const std::vector<std::vector<Value>> rows = {
        {Value::Integer(1234), F(25), F(-18), Value(), F(0), F(0), F(0), F(0)},
        {Value::Integer(1300), F(10.5), F(2), F(3), F(4), F(5), F(6), F(7)},
        {Value::Integer(1400), Value(), Value(), Value(), Value(), Value(), Value(), Value()},
    };
    paradox::Table::Create(base_ / "CPMAIN.DB", cpmain, rows);

    paradox::TableSchema version;
    version.fields = {Field("MODULE", FieldType::Alpha, 20), Field("VERSION", FieldType::Long, 4)};
    paradox::Table::Create(base_ / "VERSION.DB", version,
                           std::vector<std::vector<Value>>{
                               {Value::Text("DATABASE"), Value::Integer(430)},
                               {Value::Text("EMPTY"), Value()},
                           });
    paradox::TableSchema texts;
    texts.fields = {Field("CODE", FieldType::Alpha, 10)};
    paradox::Table::Create(base_ / "TEXTS.DB", texts,
                           std::vector<std::vector<Value>>{{Value::Text("abc")}});
  }

  std::string BaseDir() const { return PathToUtf8(base_) + "/"; }

  // The Paradox connection as the application configures it: a local alias without a path, and
  // the directory given by the connection's own PATH line.
  void ConfigureParadox(TDatabase& database) {
    if (!EngineSession().AliasExists("Klinova_Paradox")) {
      EngineSession().AddLocalAlias("Klinova_Paradox", "", "Paradox");
    }
    database.SetDatabaseName("Klinova_Paradox");
    database.Params().Clear();
    database.Params().Add("PATH=" + BaseDir());
  }

  std::filesystem::path base_;
};

TEST_F(DatabaseQueryTest, ParametersFromDriverSettingsAliasAndConnection) {
  EngineSession().AddDriverAlias("Other", "STANDARD", {"PATH=" + BaseDir(), "LANGDRIVER=intl"});
  struct Case {
    const char* what;
    std::string aliasName;
    std::string databaseName;
    std::vector<std::string> lines;
    DriverParams expected;  // empty: opening fails with `error`
    std::string error;
  };
  const Case cases[] = {
      {"a local alias without a path, the directory from the connection's line; the others at "
       "the driver's defaults, LANGDRIVER from the Paradox driver's settings",
       "",
       "Klinova_Paradox",
       {"path=" + BaseDir(), "USER NAME=sa", "PASSWORD=tovrak", "NO SUCH=1"},
       {{"PATH", BaseDir()},
        {"DEFAULT DRIVER", "Paradox"},
        {"ENABLE BCD", "FALSE"},
        {"LANGDRIVER", "ascii"}},
       ""},
      {"AliasName wins over DatabaseName; the alias's LANGDRIVER wins over the settings",
       "Other",
       "Whatever",
       {},
       {{"PATH", BaseDir()},
        {"DEFAULT DRIVER", "PARADOX"},
        {"ENABLE BCD", "FALSE"},
        {"LANGDRIVER", "intl"}},
       ""},
      {"the connection's line wins over the alias's",
       "Other",
       "Whatever",
       {"LANGDRIVER=ANSIINTL"},
       {{"PATH", BaseDir()},
        {"DEFAULT DRIVER", "PARADOX"},
        {"ENABLE BCD", "FALSE"},
        {"LANGDRIVER", "ANSIINTL"}},
       ""},
      {"no directory: the driver's own error",
       "",
       "Klinova_Paradox",
       {},
       {},
       "Le répertoire de la base de données n'est pas indiqué (PATH vide)"},
      {"an unknown alias is named",
       "Missing",
       "Klinova_Paradox",
       {},
       {},
       "Alias inconnu : 'Missing'"},
  };
  EngineSession().AddLocalAlias("Klinova_Paradox", "", "Paradox");
  for (const Case& c : cases) {
    TDatabase database;
    database.SetAliasName(c.aliasName);
    database.SetDatabaseName(c.databaseName);
    for (const std::string& line : c.lines) database.Params().Add(line);
    if (c.expected.empty()) {
      EXPECT_EQ(ErrorOf([&] { database.Open(); }), c.error) << c.what;
      EXPECT_FALSE(database.Connected()) << c.what;
    } else {
      database.Open();
      EXPECT_TRUE(database.Connected()) << c.what;
      EXPECT_EQ(database.OpenParams(), c.expected) << c.what;
    }
  }
}

TEST_F(DatabaseQueryTest, EngineSettingsReachTheDriver) {
  // The entry the settings repair writes: the Paradox driver's language driver.
  const std::string configPath = ConfigPathUtf8();
  EngineSession().SetActive(true);
  ConfigHandle handle = 0;
  ASSERT_EQ(OpenConfigFile(configPath.c_str(), false, &handle), kDbiOk);
  std::uint16_t count = 0;
  ASSERT_EQ(GetConfigRecord(handle, "\\DRIVERS\\PARADOX\\INIT\\", &count, nullptr, 0, nullptr, 0),
            kDbiOk);
  std::vector<std::byte> descriptors(count * kFieldDescriptorSize);
  std::vector<char> values(10000);
  ASSERT_EQ(GetConfigRecord(handle, "\\DRIVERS\\PARADOX\\INIT\\", &count, descriptors.data(),
                            descriptors.size(), values.data(), values.size()),
            kDbiOk);
  ASSERT_EQ(std::string(reinterpret_cast<const char*>(descriptors.data()) + 2 * 62 + 2),
            "LANGDRIVER");
  std::snprintf(values.data() + 2 * 128, 128, "%s", "intl");
  ASSERT_EQ(ModifyConfigRecord(handle, "\\DRIVERS\\PARADOX\\INIT\\", count, descriptors.data(),
                               descriptors.size(), values.data(), values.size()),
            kDbiOk);
  ASSERT_EQ(CloseConfigFile(&handle, true, true, false), kDbiOk);

  TDatabase database;
  ConfigureParadox(database);
  database.Open();
  EXPECT_EQ(database.OpenParams().at("LANGDRIVER"), "intl");
}

TEST_F(DatabaseQueryTest, LoginAskedWhenTheAliasHoldsAUserName) {
  EngineSession().AddDriverAlias("Klinova_SQL", "STANDARD",
                                 {"PATH=" + BaseDir(), "USER NAME=sa", "PASSWORD=old"});
  struct Case {
    const char* what;
    bool install;
    std::optional<LoginResult> answer;
    std::string error;
    std::string userName;
    std::string password;
  };
  const Case cases[] = {
      {"no callback: the lines as they stand", false, std::nullopt, "", "admin", "tovrak"},
      {"OK: the user name and password typed", true, LoginResult{"alice", "typed"}, "", "alice",
       "typed"},
      {"OK with an empty password", true, LoginResult{"admin", ""}, "", "admin", ""},
      {"cancelled", true, std::nullopt,
       "Impossible de se connecter à la base de données 'Klinova_SQL'", "", ""},
  };
  for (const Case& c : cases) {
    std::vector<std::pair<std::string, std::string>> asked;
    if (c.install) {
      EngineSession().SetLoginCallback([&](const std::string& database, const std::string& user) {
        asked.emplace_back(database, user);
        return c.answer;
      });
    } else {
      EngineSession().SetLoginCallback({});
    }
    TDatabase database;
    database.SetDatabaseName("Klinova_SQL");
    database.Params().Add("USER NAME=admin");
    database.Params().Add("PASSWORD=tovrak");
    if (!c.error.empty()) {
      EXPECT_EQ(ErrorOf([&] { database.Open(); }), c.error) << c.what;
      EXPECT_FALSE(database.Connected()) << c.what;
    } else {
      database.Open();
      EXPECT_EQ(database.OpenParams().at("USER NAME"), c.userName) << c.what;
      EXPECT_EQ(database.OpenParams().at("PASSWORD"), c.password) << c.what;
    }
    if (c.install) {
      EXPECT_EQ(asked, (std::vector<std::pair<std::string, std::string>>{{"Klinova_SQL", "admin"}}))
          << c.what;
    }
  }

  // A local alias has no user name: opened without asking.
  int calls = 0;
  EngineSession().SetLoginCallback([&](const std::string&, const std::string&) {
    ++calls;
    return std::optional<LoginResult>();
  });
  TDatabase local;
  ConfigureParadox(local);
  local.Open();
  EXPECT_TRUE(local.Connected());
  EXPECT_EQ(calls, 0);
}

TEST_F(DatabaseQueryTest, ChangesAreRefusedWhileConnected) {
  TDatabase database;
  ConfigureParadox(database);
  database.Open();
  const std::string refused =
      "Impossible de modifier la base de données 'Klinova_Paradox' pendant qu'elle est connectée";
  EXPECT_EQ(ErrorOf([&] { database.SetAliasName("Other"); }), refused);
  EXPECT_EQ(ErrorOf([&] { database.SetDatabaseName("Other"); }), refused);
  EXPECT_EQ(ErrorOf([&] { database.Params().Clear(); }), refused);
  EXPECT_EQ(ErrorOf([&] { database.Params().Add("PATH=x"); }), refused);
  EXPECT_EQ(database.AliasName(), "");
  EXPECT_EQ(database.DatabaseName(), "Klinova_Paradox");
  EXPECT_EQ(database.Params().Lines(), std::vector<std::string>{"PATH=" + BaseDir()});

  TDatabase twin;
  ConfigureParadox(twin);
  EXPECT_EQ(ErrorOf([&] { twin.Open(); }),
            "Une base de données nommée 'Klinova_Paradox' est déjà connectée");

  database.Close();
  database.SetDatabaseName("Renamed");
  database.Params().Clear();
  EXPECT_EQ(database.Params().Count(), 0u);
}

TEST_F(DatabaseQueryTest, FieldsReadAsTextIntegerAndFloat) {
  TDatabase database;
  ConfigureParadox(database);
  database.Open();
  TQuery query;
  query.SetDatabaseName("KLINOVA_PARADOX");
  for (const char* line :
       {"SELECT ", "  *", "FROM CPMAIN", "WHERE ", "  MontantSS1 < 100", "ORDER BY CPMain_ID"}) {
    query.SQL().Add(line);
  }
  query.Open();
  // The third row's blank amount compares as no value, so it is not selected.
  ASSERT_EQ(query.RecordCount(), 2u);
  EXPECT_FALSE(query.Eof());
  EXPECT_EQ(query.FieldByName("CPMain_ID").AsString(), "1234");
  EXPECT_EQ(query.FieldByName("cpmain_id").AsInteger(), 1234);
  EXPECT_EQ(query.FieldByName("MontantSS2").AsFloat(), -18.0);
  EXPECT_EQ(query.FieldByName("MontantSS2").AsInteger(), -18);
  EXPECT_EQ(query.FieldByName("MontantSS1").AsString(), "25");
  // A field holding no value.
  EXPECT_TRUE(query.FieldByName("MontantSS3").IsNull());
  EXPECT_EQ(query.FieldByName("MontantSS3").AsFloat(), 0.0);
  EXPECT_EQ(query.FieldByName("MontantSS3").AsInteger(), 0);
  EXPECT_EQ(query.FieldByName("MontantSS3").AsString(), "");
  EXPECT_EQ(ErrorOf([&] { query.FieldByName("MontantSS8"); }), "Champ 'MontantSS8' non trouvé");

  query.Next();
  EXPECT_FALSE(query.Eof());
  EXPECT_EQ(query.FieldByName("MontantSS1").AsFloat(), 10.5);
  EXPECT_EQ(query.FieldByName("MontantSS1").AsString(), "10.5");
  query.Next();
  EXPECT_TRUE(query.Eof());
  EXPECT_EQ(query.FieldByName("CPMain_ID").AsInteger(), 1300) << "Eof stays on the last row";
  query.Next();
  EXPECT_TRUE(query.Eof());
  query.Close();
  EXPECT_TRUE(query.Eof());
  EXPECT_EQ(ErrorOf([&] { query.RecordCount(); }), "La requête n'est pas ouverte");
}

TEST_F(DatabaseQueryTest, NoRowAndNullReadAsZeroAndTextIsNoInteger) {
  TDatabase database;
  ConfigureParadox(database);
  database.Open();
  TQuery query;
  query.SetDatabaseName("Klinova_Paradox");
  struct Case {
    const char* sql;
    std::size_t rows;
    std::int32_t version;
  };
  const Case cases[] = {
      {"SELECT VERSION FROM VERSION WHERE MODULE = \"DATABASE\"", 1, 430},
      {"SELECT VERSION FROM VERSION WHERE MODULE = 'EMPTY'", 1, 0},
      {"SELECT VERSION FROM VERSION WHERE MODULE = 'NONE'", 0, 0},
  };
  for (const Case& c : cases) {
    query.Close();
    query.SQL().Clear();
    query.SQL().Add(c.sql);
    query.Open();
    EXPECT_EQ(query.RecordCount(), c.rows) << c.sql;
    EXPECT_EQ(query.Eof(), c.rows == 0) << c.sql;
    EXPECT_EQ(query.FieldByName("VERSION").AsInteger(), c.version) << c.sql;
    EXPECT_EQ(query.FieldByName("VERSION").AsFloat(), c.version) << c.sql;
  }
  EXPECT_EQ(query.FieldByName("VERSION").AsString(), "");

  query.Close();
  query.SQL().Clear();
  query.SQL().Add("SELECT CODE FROM TEXTS");
  query.Open();
  try {
    query.FieldByName("CODE").AsInteger();
    ADD_FAILURE() << "a text read as integer";
  } catch (const EConvertError& error) {
    EXPECT_STREQ(error.what(), "'abc' n'est pas une valeur entière correcte");
  }
}

TEST_F(DatabaseQueryTest, TheUpdateIsPreparedOnceAndItsParametersReadBackAsText) {
  TDatabase database;
  ConfigureParadox(database);
  database.Open();
  TQuery update;
  update.SetDatabaseName("Klinova_Paradox");
  for (const char* line :
       {"UPDATE CPMain", "SET ", "  MontantSS1 = :montantSS1,", "  MontantSS2 = :montantSS2,",
        "  MontantSS3 = :montantSS3,", "  MontantSS4 = :montantSS4,", "  MontantSS5 = :montantSS5,",
        "  MontantSS6 = :montantSS6,", "  MontantSS7 = :montantSS7",
        "Where CPMain_ID = :cpmain_id"}) {
    update.SQL().Add(line);
  }
  ASSERT_EQ(update.ParamCount(), 8u);
  EXPECT_EQ(ErrorOf([&] { update.Params(8); }),
            "Paramètre n°8 inexistant : la requête a 8 paramètre(s)");

  // The prepare counter shows the parse count directly, so a few hundred runs make the point.
  constexpr int kExecutions = 300;
  for (int i = 0; i < kExecutions; ++i) {
    for (std::size_t p = 0; p < 7; ++p) update.Params(p).SetAsFloat(i + p * 0.25);
    update.Params(7).SetAsInteger(1300);
    ASSERT_EQ(update.ExecSQL(), 1);
  }
  EXPECT_EQ(update.PrepareCount(), 1u);

  // The values of the correction of a row, read back as text for the warning.
  const double corrected[7] = {7, 0, -5.5, 0, 0, 0, 0};
  for (std::size_t p = 0; p < 7; ++p) update.Params(p).SetAsFloat(corrected[p]);
  update.Params(7).SetAsInteger(1234);
  EXPECT_EQ(update.Params(0).AsString(), "7");
  EXPECT_EQ(update.Params(1).AsString(), "0");
  EXPECT_EQ(update.Params(2).AsString(), "-5.5");
  EXPECT_EQ(update.Params(7).AsString(), "1234");
  EXPECT_EQ(update.ExecSQL(), 1);

  // The same text given again is not prepared again; another text is.
  const std::vector<std::string> lines = update.SQL().Lines();
  update.SQL().Clear();
  for (const std::string& line : lines) update.SQL().Add(line);
  EXPECT_EQ(update.ExecSQL(), 1);
  EXPECT_EQ(update.PrepareCount(), 1u);

  TQuery select;
  select.SetDatabaseName("Klinova_Paradox");
  select.SQL().Add("SELECT * FROM CPMAIN ORDER BY CPMain_ID");
  select.Open();
  EXPECT_EQ(select.FieldByName("MontantSS1").AsFloat(), 7);
  EXPECT_EQ(select.FieldByName("MontantSS3").AsFloat(), -5.5);
  select.Next();
  EXPECT_EQ(select.FieldByName("MontantSS1").AsFloat(), kExecutions - 1);
  EXPECT_EQ(select.FieldByName("MontantSS7").AsFloat(), kExecutions - 1 + 1.5);

  // Closing the connection closes its queries; they prepare again on the next use.
  database.Close();
  EXPECT_FALSE(select.Active());
  select.Open();  // reconnects through the same connection
  EXPECT_TRUE(database.Connected());
  EXPECT_EQ(select.PrepareCount(), 2u);
  update.SQL().Add("AND MontantSS1 = 0");
  EXPECT_EQ(update.ExecSQL(), 0);
  EXPECT_EQ(update.PrepareCount(), 2u);
}

}  // namespace
}  // namespace patchpav::test
