#include <gtest/gtest.h>

#include "coupler/CouplerCommands.h"
#include "coupler/NumberRules.h"

namespace {

using C = CouplerCommand;

// Checksums worked out by hand: XOR of the bytes after "$" (python one-liner).
TEST(CouplerCommands, BothLayouts) {
    struct Row {
        C command;
        std::int32_t value;
        const char* standard;
        const char* compat; // nullptr: no compatibility layout, built as the standard one
    };
    const Row rows[] = {
        {C::Cal, 25, "$PZCAL,25,P*13", "$PZCAL25,P*3F"},
        {C::Cal, -25, "$PZCAL,25,N*0D", "$PZCAL25,N*21"},
        {C::Cal, 0, "$PZCAL,0,P*24", "$PZCAL0,P*08"},
        {C::Dim, 10, "$PZDIM,10*67", "$PZDIM10,*67"},
        {C::Dim, 0, "$PZDIM,0*56", "$PZDIM0,*56"},
        {C::Dim, 128, "$PZDIM,128*5D", "$PZDIM128,*5D"},
        {C::Dim, 64, "$PZDIM,64*64", "$PZDIM64,*64"},
        {C::Gan, 3, "$PZGAN,3*5D", "$PZGAN3,*5D"},
        {C::Gan, 0, "$PZGAN,0*5E", "$PZGAN0,*5E"},
        {C::Tst, 2, "$PZTST,7*42", "$PZTST7,*42"},
        {C::Tst, 1, "$PZTST,1*44", "$PZTST1,*44"},
        {C::Tst, 0, "$PZTST,0*45", "$PZTST0,*45"},
        {C::Hgn, 2, "$PZHGN,2*55", nullptr},
        {C::Eqp, 1, "$PZEQP,255*50", nullptr},
        {C::Eqp, 0, "$PZEQP,0*52", nullptr},
        {C::Vwp, 5, "$PZVWP,5*42", nullptr},
        {C::Adv, 127, "$PZADV,127*41", nullptr},
        {C::Mxa, 90, "$PZMXA,90*7B", nullptr},
        {C::Mxd, 20, "$PZMXD,20*75", nullptr},
        // Edges: the most negative offset, and rows outside their groups.
        {C::Cal, INT32_MIN, "$PZCAL,2147483648,N*0F", "$PZCAL2147483648,N*23"},
        {C::Cal, INT32_MAX, "$PZCAL,2147483647,P*1E", nullptr},
        {C::Tst, 3, "$PZTST,0*45", "$PZTST0,*45"},
        {C::Tst, -1, "$PZTST,0*45", "$PZTST0,*45"},
        {C::Eqp, -1, "$PZEQP,255*50", nullptr},
        {C::Gan, -1, "$PZGAN,-1*72", "$PZGAN-1,*72"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.standard);
        EXPECT_EQ(BuildCouplerSentence(r.command, r.value, false), r.standard);
        if (r.compat) {
            EXPECT_EQ(BuildCouplerSentence(r.command, r.value, true), r.compat);
        } else if (r.command != C::Cal) {
            EXPECT_EQ(BuildCouplerSentence(r.command, r.value, true), r.standard);
        }
    }
}

TEST(NumberRules, LeadingAndWholeNumbers) {
    struct Row {
        const char* text;
        std::optional<std::int32_t> leading;
        std::optional<std::int32_t> whole;
    };
    const Row rows[] = {
        {"25", 25, 25},
        {"  -25", -25, -25},
        {"+7", 7, 7},
        {"\t12abc", 12, std::nullopt},
        {"9 ", 9, std::nullopt},
        {"", std::nullopt, std::nullopt},
        {"   ", std::nullopt, std::nullopt},
        {"abc", std::nullopt, std::nullopt},
        {"-", std::nullopt, std::nullopt},
        {"- 5", std::nullopt, std::nullopt},
        {"$1F", std::nullopt, std::nullopt},
        {"\n3", 3, std::nullopt},
        {"2147483647", INT32_MAX, INT32_MAX},
        {"-2147483648", INT32_MIN, INT32_MIN},
        {"2147483648", INT32_MAX, std::nullopt},
        {"-99999999999999999999999", INT32_MIN, std::nullopt},
        {"000000000000000000000042x", 42, std::nullopt},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(ReadLeadingNumber(r.text), r.leading);
        EXPECT_EQ(ReadWholeNumber(r.text), r.whole);
    }
}

} // namespace
