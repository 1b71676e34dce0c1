#include <gtest/gtest.h>

#include "core/clicktocall/SafeCtl.h"

namespace qor::basSafeCtl {
namespace {

using Iid = std::uint8_t[16];
// Identifiers as they lie in memory.
// clang-format off
constexpr Iid kIDispatch = {0x00, 0x04, 0x02, 0x00, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
constexpr Iid kIPersistStorage = {0x0A, 0x01, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
constexpr Iid kIPersistStream = {0x09, 0x01, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
constexpr Iid kIPersistPropertyBag = {0x60, 0x4F, 0xD8, 0x37, 0xCB, 0x42, 0xCE, 0x11,
                                      0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51};
constexpr Iid kIObjectSafety = {0x81, 0xDC, 0x5B, 0xCB, 0xC1, 0x93, 0xCF, 0x11,
                                0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64};
// IDispatch with its first field stored in the wrong byte order.
constexpr Iid kIDispatchSwapped = {0, 0x02, 0x04, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
// clang-format on

TEST(SafeCtlTest, FormatGuidGivesTheRegistryText) {
    EXPECT_EQ(FormatGuid(kIDispatch), kIidIDispatch);
    EXPECT_EQ(FormatGuid(kIPersistStorage), kIidIPersistStorage);
    EXPECT_EQ(FormatGuid(kIPersistPropertyBag), kIidIPersistPropertyBag);
    EXPECT_EQ(FormatGuid(kIObjectSafety), "{CB5BDC81-93C1-11CF-8F20-00805F2CD064}");
}

TEST(SafeCtlTest, GetGivesBothSupportedAndTheOneEnabledOption) {
    constexpr std::uint32_t kUntouched = 0xDEADBEEF;
    // clang-format off
    const struct { const std::uint8_t* iid; std::int32_t result; std::uint32_t on; } cases[] = {
        {kIDispatch, kSOk, 1}, {kIPersistStorage, kSOk, 2}, {kIPersistStream, kSOk, 2},
        {kIPersistPropertyBag, kSOk, 2}, {kIObjectSafety, kENoInterface, kUntouched},
        {kIDispatchSwapped, kENoInterface, kUntouched}, {nullptr, kSOk, kUntouched}};
    // clang-format on
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        std::uint32_t supported = 0, enabled = kUntouched;
        EXPECT_EQ(GetInterfaceSafetyOptions(cases[i].iid, &supported, &enabled), cases[i].result)
            << "case " << i;
        EXPECT_EQ(supported, 3u) << "case " << i;
        EXPECT_EQ(enabled, cases[i].on) << "case " << i;
    }
}

TEST(SafeCtlTest, SetSucceedsOnlyForExactlyTheGivenSafety) {
    // clang-format off
    const struct { const std::uint8_t* iid; std::uint32_t mask, on; std::int32_t hr; } cases[] = {
        {kIDispatch, 1, 1, kSOk}, {kIDispatch, 3, 1, kSOk}, {kIDispatch, 3, 3, kEFail},
        {kIDispatch, 1, 0, kEFail}, {kIDispatch, 2, 2, kEFail}, {kIPersistStream, 2, 2, kSOk},
        {kIPersistStorage, 2, 3, kSOk}, {kIPersistPropertyBag, 2, 2, kSOk},
        {kIPersistPropertyBag, 0, 2, kEFail}, {kIPersistStream, 1, 1, kEFail},
        {kIObjectSafety, 1, 1, kENoInterface}, {kIDispatchSwapped, 1, 1, kENoInterface},
        {nullptr, 3, 0, kSOk}};
    // clang-format on
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        EXPECT_EQ(SetInterfaceSafetyOptions(c.iid, c.mask, c.on), c.hr) << "case " << i;
    }
}

}  // namespace
}  // namespace qor::basSafeCtl
