#include "base/status.h"

#include <gtest/gtest.h>

namespace pontevia {

TEST(Status, CarriesCodeAndMessageThroughCopiesAndPrefixes) {
  Status s = Status::Locked("La tabla PROFT está abierta en otro programa.");
  Status copy = s;
  Status prefixed = copy.WithPrefix("Exportación: ");
  EXPECT_FALSE(prefixed.ok());
  EXPECT_EQ(prefixed.code(), StatusCode::kLocked);
  EXPECT_EQ(prefixed.message(), "Exportación: La tabla PROFT está abierta en otro programa.");
  EXPECT_TRUE(Status::OK().WithPrefix("x").ok());
  EXPECT_EQ(Status().message(), "");
}

TEST(Result, HoldsValueOrStatus) {
  Result<int> good = 7;
  Result<int> bad = Status::NotFound("No existe archivo");
  ASSERT_TRUE(good.ok());
  EXPECT_EQ(*good, 7);
  EXPECT_FALSE(bad.ok());
  EXPECT_EQ(bad.status().code(), StatusCode::kNotFound);
}

}  // namespace pontevia
