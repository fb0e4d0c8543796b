// Included first into every suite of the WebAssembly build. GoogleTest has no death tests
// there (a test process cannot fork), and leaves EXPECT_DEATH and EXPECT_EXIT undefined; these
// make the suites that hold death tests compile, and scripts/web-check filters the death tests
// out, so none of them is counted as run.
#pragma once

#include <gtest/gtest.h>

#ifndef EXPECT_DEATH
#define EXPECT_DEATH(statement, regex) GTEST_UNSUPPORTED_DEATH_TEST(statement, regex, )
#define ASSERT_DEATH(statement, regex) GTEST_UNSUPPORTED_DEATH_TEST(statement, regex, return)
#define EXPECT_EXIT(statement, predicate, regex) GTEST_UNSUPPORTED_DEATH_TEST(statement, regex, )
#define ASSERT_EXIT(statement, predicate, regex) GTEST_UNSUPPORTED_DEATH_TEST(statement, regex, return)
#endif
