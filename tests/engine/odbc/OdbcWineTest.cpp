// The driver through Windows' ODBC layer: under Wine, odbc32 hands the calls to the host's
// unixODBC, which loads SQLite's ODBC driver; the database path is therefore a host path.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "correction/RedistributeNegativeAmount.h"
#include "engine/core/Errors.h"
#include "engine/drivers/odbc/OdbcDriver.h"

namespace patchpav {
namespace {

// Z: is Wine's drive for the host's root directory.
std::string HostPath(const std::filesystem::path& path) {
  std::string text = path.string();
  if (text.size() < 3 || (text[0] != 'Z' && text[0] != 'z') || text[1] != ':') return {};
  text = text.substr(2);
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  return text;
}

TEST(OdbcUnderWine, SqliteThroughOdbc32) {
  const std::filesystem::path file = std::filesystem::absolute("wine-odbc.sqlite");
  std::filesystem::remove(file);
  const std::string hostPath = HostPath(file);
  ASSERT_FALSE(hostPath.empty()) << file.string() << " is not on Wine's Z: drive";

  OdbcDriver driver;
  DriverParams params = driver.DefaultParams();
  params["ODBC DRIVER"] = "SQLite3";
  params["DATABASE NAME"] = hostPath;
  const auto connection = driver.Connect(params);
  std::string create = "CREATE TABLE CPMAIN (CPMain_ID integer primary key";
  for (int i = 1; i <= 7; ++i) create += ", MontantSS" + std::to_string(i) + " double precision";
  connection->Prepare(create + ")")->Execute({});
  connection->Prepare("CREATE TABLE VERSION (MODULE varchar(20), VERSION integer)")->Execute({});
  connection->Prepare("INSERT INTO VERSION VALUES ('DATABASE', 430)")->Execute({});
  connection->Prepare("INSERT INTO CPMAIN VALUES (:id, :m1, :m2, :m3, :m4, :m5, :m6, :m7)")
      ->Execute(std::vector<Value>{Value::Integer(42), Value::Float(25), Value::Float(-18), Value(),
                                   Value::Float(0), Value::Float(0), Value::Float(0),
                                   Value::Float(0)});

  const ResultSet version =
      connection->Prepare("SELECT VERSION FROM VERSION WHERE MODULE = \"DATABASE\"")->Open({});
  ASSERT_EQ(version.rows.size(), 1u);
  EXPECT_EQ(version.rows[0][0], Value::Integer(430));

  const auto selection = connection->Prepare(
      "SELECT \n  *\nFROM CPMAIN\nWHERE \n  MontantSS1 < 0\n  OR MontantSS2 < 0\n  OR "
      "MontantSS3 < 0\n  OR MontantSS4 < 0\n  OR MontantSS5 < 0\n  OR MontantSS6 < 0\n  OR "
      "MontantSS7 < 0\nORDER BY CPMain_ID");
  const auto write = connection->Prepare(
      "UPDATE CPMain\nSET \n  MontantSS1 = :montantSS1,\n  MontantSS2 = :montantSS2,\n  "
      "MontantSS3 = :montantSS3,\n  MontantSS4 = :montantSS4,\n  MontantSS5 = :montantSS5,\n  "
      "MontantSS6 = :montantSS6,\n  MontantSS7 = :montantSS7\nWhere CPMain_ID = :cpmain_id");
  ASSERT_EQ(write->ParameterCount(), 8u);
  const ResultSet rows = selection->Open({});
  ASSERT_EQ(rows.rows.size(), 1u);
  EXPECT_EQ(rows.rows[0][3], Value()) << "a NULL amount reads as null";
  Amounts amounts;
  for (int i = 0; i < 7; ++i) amounts[i] = rows.rows[0][i + 1].AsFloat();
  const Redistribution fix = RedistributeNegativeAmount(amounts);
  std::vector<Value> parameters;
  for (double a : fix.corrected) parameters.push_back(Value::Float(a));
  parameters.push_back(Value::Integer(42));
  EXPECT_EQ(write->Execute(parameters), 1);
  EXPECT_TRUE(selection->Open({}).rows.empty());

  const ResultSet after = connection->Prepare("SELECT * FROM CPMAIN")->Open({});
  ASSERT_EQ(after.rows.size(), 1u);
  const std::vector<Value> expected = {Value::Integer(42), Value::Float(7), Value::Float(0),
                                       Value::Float(0),    Value::Float(0), Value::Float(0),
                                       Value::Float(0),    Value::Float(0)};
  EXPECT_EQ(after.rows[0], expected);
  EXPECT_THROW(connection->Prepare("SELECT * FROM NOSUCHTABLE")->Open({}), EDatabaseError);
}

// No SQL Server driver is registered, neither in the prefix nor on the host: the default choice
// says so in the user's words instead of attempting a connection.
TEST(OdbcUnderWine, NoSqlServerDriverIsReportedClearly) {
  OdbcDriver driver;
  DriverParams params = driver.DefaultParams();
  params["SERVER NAME"] = "POSTE1\\SQLEXPRESS";
  params["DATABASE NAME"] = "KLINOVA";
  try {
    driver.Connect(params);
    ADD_FAILURE() << "connected without a SQL Server driver";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Aucun pilote ODBC pour SQL Server n'est installé sur cet ordinateur");
  }
}

}  // namespace
}  // namespace patchpav
