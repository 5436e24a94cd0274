// The tool's write on SQL through ODBC, against PostgreSQL on loopback (scripts/postgres start;
// the PATCHPAV_PG_* variables say where it is): 10,000 corrected rows of CPMAIN.
//
//   DriverUpdate  the driver's prepared UPDATE (the tool's text) executed once per row with the
//                 eight Values the run sets: seven floats and the key as an integer
//   BareOdbc      the same UPDATE prepared with SQLPrepare, SQLBindParameter once on fixed
//                 buffers, then per row: the buffers filled and SQLExecute
//
// Both run in autocommit, as the tool does (one UPDATE per row, no transaction of its own).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "correction/RedistributeNegativeAmount.h"
#include "engine/drivers/odbc/ConnectionString.h"
#include "engine/drivers/odbc/OdbcApi.h"
#include "engine/drivers/odbc/OdbcDriver.h"
#include "engine/drivers/odbc/OdbcHandle.h"
#include "engine/drivers/odbc/WideText.h"

namespace {

using namespace patchpav;

constexpr int kRows = 10000;
const std::string kWrite =
    "UPDATE CPMain\nSET \n  MontantSS1 = :montantSS1,\n  MontantSS2 = :montantSS2,\n  MontantSS3 "
    "= :montantSS3,\n  MontantSS4 = :montantSS4,\n  MontantSS5 = :montantSS5,\n  MontantSS6 = "
    ":montantSS6,\n  MontantSS7 = :montantSS7\nWhere CPMain_ID = :cpmain_id";

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

DriverParams BenchParams(const std::string& database) {
  DriverParams params = OdbcDriver().DefaultParams();
  params["ODBC DRIVER"] =
      Env("PATCHPAV_PG_ODBC").empty() ? "PostgreSQL Unicode" : Env("PATCHPAV_PG_ODBC");
  params["SERVER NAME"] = Env("PATCHPAV_PG_HOST") + "," + Env("PATCHPAV_PG_PORT");
  params["USER NAME"] = Env("PATCHPAV_PG_USER");
  params["DATABASE NAME"] = database;
  return params;
}

// A fresh database holding CPMAIN with kRows rows, each with -18 to move; returns its
// parameters and the corrected amounts of every row, as the run computes them.
struct Bench {
  DriverParams params;
  std::vector<Amounts> corrected;
};

const Bench& Setup() {
  static const Bench bench = [] {
    if (Env("PATCHPAV_PG_PORT").empty())
      throw std::runtime_error("no PostgreSQL server: run scripts/postgres start first");
    OdbcDriver driver;
    const auto admin = driver.Connect(BenchParams("postgres"));
    admin->Prepare("DROP DATABASE IF EXISTS bench_odbc")->Execute({});
    admin->Prepare("CREATE DATABASE bench_odbc")->Execute({});
    Bench b{BenchParams("bench_odbc"), {}};
    const auto connection = driver.Connect(b.params);
    std::string create = "CREATE TABLE CPMAIN (CPMain_ID integer primary key";
    for (int i = 1; i <= 7; ++i) create += ", MontantSS" + std::to_string(i) + " double precision";
    connection->Prepare(create + ", Patient varchar(40))")->Execute({});
    connection
        ->Prepare(
            "INSERT INTO CPMAIN SELECT g, 25 + g % 7, -18, 0, 0, 0, 0, g % 3, 'Patient ' || g "
            "FROM generate_series(1, " +
            std::to_string(kRows) + ") g")
        ->Execute({});
    for (int id = 1; id <= kRows; ++id) {
      const Amounts read = {25.0 + id % 7, -18, 0, 0, 0, 0, static_cast<double>(id % 3)};
      b.corrected.push_back(RedistributeNegativeAmount(read).corrected);
    }
    return b;
  }();
  return bench;
}

void DriverUpdate(benchmark::State& state) {
  try {
    const Bench& bench = Setup();
    std::vector<std::vector<Value>> parameters;
    for (int id = 1; id <= kRows; ++id) {
      std::vector<Value>& row = parameters.emplace_back();
      for (double a : bench.corrected[id - 1]) row.push_back(Value::Float(a));
      row.push_back(Value::Integer(id));
    }
    OdbcDriver driver;
    const auto connection = driver.Connect(bench.params);
    const auto write = connection->Prepare(kWrite);
    for (auto _ : state) {
      std::int64_t changed = 0;
      for (const auto& row : parameters) changed += write->Execute(row);
      if (changed != kRows) state.SkipWithError("not every row was written");
    }
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

void BareOdbc(benchmark::State& state) {
  using odbc::OdbcHandle;
  try {
    const Bench& bench = Setup();
    OdbcHandle environment(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    environment.Check(SQLSetEnvAttr(environment.Get(), SQL_ATTR_ODBC_VERSION,
                                    reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                      "ODBC 3");
    OdbcHandle connection(SQL_HANDLE_DBC, environment.Get());
    odbc::WideText text =
        odbc::ToWide(odbc::BuildConnectionString(bench.params.at("ODBC DRIVER"), bench.params));
    connection.Check(SQLDriverConnectW(connection.Get(), nullptr, text.data(),
                                       static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr,
                                       SQL_DRIVER_NOPROMPT),
                     "connect");
    connection.SetConnected();
    OdbcHandle statement(SQL_HANDLE_STMT, connection.Get());
    odbc::WideText sql = odbc::ToWide(
        "UPDATE CPMain SET MontantSS1 = ?, MontantSS2 = ?, MontantSS3 = ?, MontantSS4 = ?, "
        "MontantSS5 = ?, MontantSS6 = ?, MontantSS7 = ? Where CPMain_ID = ?");
    statement.Check(SQLPrepareW(statement.Get(), sql.data(), static_cast<SQLINTEGER>(sql.size())),
                    "prepare");
    double amounts[7] = {};
    std::int64_t key = 0;
    SQLLEN indicators[8] = {};
    for (SQLUSMALLINT i = 0; i < 7; ++i) {
      statement.Check(SQLBindParameter(statement.Get(), i + 1, SQL_PARAM_INPUT, SQL_C_DOUBLE,
                                       SQL_DOUBLE, 17, 0, &amounts[i], 0, &indicators[i]),
                      "bind");
    }
    statement.Check(SQLBindParameter(statement.Get(), 8, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT,
                                     19, 0, &key, 0, &indicators[7]),
                    "bind");
    for (auto _ : state) {
      for (int id = 1; id <= kRows; ++id) {
        for (int i = 0; i < 7; ++i) amounts[i] = bench.corrected[id - 1][i];
        key = id;
        statement.Check(SQLExecute(statement.Get()), "execute");
      }
    }
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

// Wall time is what the user waits for; run with --benchmark_enable_random_interleaving=true so
// that a slower moment of the shared machine falls on both.
BENCHMARK(BareOdbc)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->UseRealTime();
BENCHMARK(DriverUpdate)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(5)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
