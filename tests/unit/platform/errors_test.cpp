#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Guard.h"
#include "platform/Seams.h"

using namespace keldrin;

namespace {

std::uint32_t throwFromHere(int which) {
    try {
        if (which == 0) throw EConvertError("'x' is not a valid integer value");
        throw EConvertError("'y' is not a valid integer value");
    } catch (const Exception& e) {
        return e.site();
    }
}

}  // namespace

TEST(Errors, SiteCodeIdentifiesTheThrowSiteNotTheMessage) {
    // Two throw statements on different lines give different codes; the same line the same code.
    EXPECT_NE(throwFromHere(0), throwFromHere(1));
    EXPECT_EQ(throwFromHere(0), throwFromHere(0));
}

TEST(Errors, ClassNamesAreWithoutNamespace) {
    EXPECT_EQ(exceptionClassName(EConvertError("a")), "EConvertError");
    EXPECT_EQ(exceptionClassName(std::out_of_range("a")), "out_of_range");
}

TEST(Errors, ForeignErrorsAreIdentifiedByClassAndCatchingPlace) {
    std::out_of_range e("x");
    EXPECT_EQ(exceptionSite(e, "btnGoClick"), exceptionSite(std::out_of_range("y"), "btnGoClick"));
    EXPECT_NE(exceptionSite(e, "btnGoClick"), exceptionSite(e, "Timer4OFFTimer"));
}

TEST(Guard, EscapedErrorReachesTheTrapAndEndsOnlyTheHandler) {
    std::vector<std::string> seen;
    setErrorTrap([&](const std::exception& e, const char* where) {
        seen.push_back(std::string(where) + ":" + e.what());
    });
    bool after = false;
    guarded("first", [] { throw EIntOverflow("Integer overflow"); });
    guarded("second", [] { throw 42; });
    guarded("third", [&] { after = true; });
    setErrorTrap(nullptr);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "first:Integer overflow");
    EXPECT_EQ(seen[1], "second:unknown error");
    EXPECT_TRUE(after);
}

TEST(Seams, DelphiFilterPairsBecomeQtFilters) {
    EXPECT_EQ(platform::qtFilterFromPairs(
                  "HEX and Bin (*.hex;*.bin)|*.hex;*.bin|TEXT (*.txt)|*.txt|All files|*.*"),
              "HEX and Bin (*.hex *.bin);;TEXT (*.txt);;All files (*.*)");
    EXPECT_EQ(platform::qtFilterFromPairs("Command Files (*.cmd)|*.cmd|*.*|*.*"),
              "Command Files (*.cmd);;*.* (*.*)");
}
