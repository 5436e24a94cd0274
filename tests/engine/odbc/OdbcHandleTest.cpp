#include "engine/drivers/odbc/OdbcHandle.h"

#include <gtest/gtest.h>

#include <type_traits>

#include "engine/core/Errors.h"

namespace patchpav::odbc {
namespace {

static_assert(!std::is_copy_constructible_v<OdbcHandle>);
static_assert(!std::is_copy_assignable_v<OdbcHandle>);
static_assert(std::is_nothrow_move_constructible_v<OdbcHandle>);

bool Usable(const OdbcHandle& environment) {
  return Succeeded(SQLSetEnvAttr(environment.Get(), SQL_ATTR_ODBC_VERSION,
                                 reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0));
}

// Ownership moves whole: the source lets go and the target frees exactly once (a double free or
// a leak shows under the sanitizers).
TEST(OdbcHandle, MovesOwnership) {
  OdbcHandle first(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
  const SQLHANDLE raw = first.Get();
  ASSERT_NE(raw, nullptr);
  OdbcHandle second(std::move(first));
  EXPECT_EQ(first.Get(), nullptr);
  EXPECT_EQ(second.Get(), raw);
  EXPECT_TRUE(Usable(second));

  OdbcHandle third(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
  third = std::move(second);  // frees third's own environment first
  EXPECT_EQ(third.Get(), raw);
  EXPECT_EQ(second.Get(), nullptr);
  OdbcHandle& alias = third;
  third = std::move(alias);
  EXPECT_EQ(third.Get(), raw);
  EXPECT_TRUE(Usable(third));
}

TEST(OdbcHandle, FailureCarriesTheDriverManagersDiagnostic) {
  OdbcHandle environment(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
  // A connection handle before the environment has an ODBC version is a sequence error.
  try {
    OdbcHandle connection(SQL_HANDLE_DBC, environment.Get());
    ADD_FAILURE() << "allocated a connection on an environment without a version";
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("[HY010]"), std::string::npos) << e.what();
  }
  try {
    environment.Check(SQLSetEnvAttr(environment.Get(), 9999, nullptr, 0), "Attribut refusé");
    ADD_FAILURE() << "an unknown attribute was accepted";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Attribut refusé\n[", 0), 0u) << e.what();
  }
}

}  // namespace
}  // namespace patchpav::odbc
