#include <gtest/gtest.h>

#include "core/clicktocall/TelUrl.h"

namespace qor {
namespace {

// One row: the link, and either the dial string or a piece of the refusal reason.
struct Row {
    std::u16string link;
    std::string number;   // expected dial string; empty for a refusal
    std::string refusal;  // text the refusal must contain
};

Row Dials(std::u16string link, std::string number) {
    return {std::move(link), std::move(number), {}};
}
Row Refuses(std::u16string link, std::string reason) {
    return {std::move(link), {}, std::move(reason)};
}

void Check(const std::vector<Row>& rows) {
    for (const auto& row : rows) {
        const DialLink read = ReadDialLink(row.link);
        const std::string shown = PrintableLink(row.link, 60);
        if (row.refusal.empty()) {
            EXPECT_TRUE(read.Accepted()) << shown << ": " << read.refusal;
            EXPECT_EQ(read.number, row.number) << shown;
        } else {
            EXPECT_FALSE(read.Accepted()) << shown << " gave " << read.number;
            EXPECT_TRUE(read.number.empty()) << shown;
            EXPECT_NE(read.refusal.find(row.refusal), std::string::npos)
                << shown << ": " << read.refusal;
        }
    }
}

TEST(TelUrlTest, SchemesAndTheirForms) {
    Check({
        Dials(u"tel:+4930123456", "+4930123456"),
        Dials(u"TEL:+4930123456", "+4930123456"),
        Dials(u"callto:+4930123456", "+4930123456"),
        Dials(u"CallTo://+4930123456", "+4930123456"),
        Dials(u"callto://+4930123456/", "+4930123456"),
        Refuses(u"callto://+4930123456//", "cannot be dialled ('/')"),
        Refuses(u"callto:+4930123456/", "cannot be dialled ('/')"),
        Refuses(u"tel://+4930123456", "cannot be dialled ('/')"),
        Refuses(u"sip:+4930123456", "not a tel: or callto: link"),
        Refuses(u"tel+4930123456", "not a tel: or callto: link"),
        Refuses(u" tel:+4930123456", "not a tel: or callto: link"),
        Refuses(u"", "not a tel: or callto: link"),
        Refuses(u"tel:", "holds no number"),
        Refuses(u"callto://", "holds no number"),
        Refuses(u"tel:+", "holds no number"),
        Refuses(u"tel:-.()", "holds no number"),
    });
}

TEST(TelUrlTest, VisualSeparatorsAndSpacesInsideTheNumberAreRemoved) {
    Check({
        Dials(u"tel:+49-30-123.456", "+4930123456"),
        Dials(u"tel:+49(0)30123456", "+49030123456"),
        Dials(u"tel:+49 30 123456", "+4930123456"),
        Dials(u"tel:+49%2030%20123456", "+4930123456"),
        Dials(u"tel:+-49-", "+49"),
        Dials(u"tel:*31#0301234", "*31#0301234"),
        Dials(u"tel:%2A31%230301234", "*31#0301234"),
        Refuses(u"tel:%20+4930123456", "space before or after the number"),
        Refuses(u"tel:+4930123456%20", "space before or after the number"),
        Refuses(u"tel:+4930123456 ;phone-context=x", "space before or after the number"),
        Refuses(u"tel:+49+30", "'+' that does not start it"),
        Refuses(u"tel:++4930", "'+' that does not start it"),
    });
}

TEST(TelUrlTest, NumbersLongerThanTheTrayDialsAreRefused) {
    Check({
        Dials(u"tel:+" + std::u16string(29, u'1'), "+" + std::string(29, '1')),
        Dials(u"tel:" + std::u16string(30, u'9'), std::string(30, '9')),
        Dials(u"tel:1-2-3-4-5-6-7-8-9-0-1-2-3-4-5-6-7-8-9-0-1-2-3-4-5-6-7-8-9-0",
              "123456789012345678901234567890"),
        Refuses(u"tel:" + std::u16string(31, u'9'), "longer than 30 characters"),
        Refuses(u"tel:+" + std::u16string(500, u'1'), "longer than 30 characters"),
        Refuses(u"tel:+" + std::u16string(10000, u'1'), "link is longer than 512 characters"),
        Refuses(u"tel:1" + std::u16string(10000, u'-'), "link is longer than 512 characters"),
    });
}

TEST(TelUrlTest, LocalNumbersWithAndWithoutPhoneContext) {
    Check({
        Dials(u"tel:7042", "7042"),
        Dials(u"tel:7042;phone-context=example.com", "7042"),
        Dials(u"tel:7042;PHONE-CONTEXT=pbx.example.com.", "7042"),
        Dials(u"tel:863-1234;phone-context=+1-914-555", "8631234"),
        Dials(u"tel:7042%3Bphone-context%3Dexample.com", "7042"),
        Refuses(u"tel:+4930123;phone-context=example.com", "cannot have a phone-context"),
        Refuses(u"tel:7042;phone-context=", "neither a '+' number nor a domain name"),
        Refuses(u"tel:7042;phone-context", "neither a '+' number nor a domain name"),
        Refuses(u"tel:7042;phone-context=+", "neither a '+' number nor a domain name"),
        Refuses(u"tel:7042;phone-context=-a.com", "neither a '+' number nor a domain name"),
        Refuses(u"tel:7042;phone-context=a..com", "neither a '+' number nor a domain name"),
        Refuses(u"tel:7042;phone-context=a_b.com", "neither a '+' number nor a domain name"),
        Refuses(u"tel:7042;phone-context=a.com;phone-context=b.com", "phone-context twice"),
    });
}

TEST(TelUrlTest, ParametersThatWouldChangeTheCallAreRefused) {
    Check({
        Refuses(u"tel:+4930123456;ext=12", "extension (;ext=)"),
        Refuses(u"tel:+4930123456;EXT=12", "extension (;ext=)"),
        Refuses(u"tel:+4930123456;isub=1411", "ISDN subaddress"),
        Refuses(u"tel:+4930123456;postd=pp22", "not supported (;postd)"),
        Refuses(u"tel:+4930123456;foo", "not supported (;foo)"),
        Refuses(u"tel:+4930123456;", "empty parameter"),
        Refuses(u"tel:7042;;phone-context=a.com", "empty parameter"),
        Refuses(u"tel:+4930123456;" + std::u16string(40, u'x') + u"=1",
                "not supported (;" + std::string(20, 'x') + ")"),
    });
}

TEST(TelUrlTest, HostileTextIsRefusedNotPassedOn) {
    Check({
        Refuses(u"tel:123\"", "quotation mark ('\"')"),
        Refuses(u"tel:123%22", "quotation mark ('\"')"),
        Refuses(u"tel:123%22%20lname:x", "quotation mark"),
        Refuses(u"tel:12'3", "quotation mark"),
        Refuses(u"tel:123%20qorphone://999", "letter ('q')"),
        Refuses(u"tel:123&fname=x", "cannot be dialled ('&')"),
        Refuses(u"tel:123 /register", "cannot be dialled ('/')"),
        Refuses(u"tel:12<script>", "cannot be dialled ('<')"),
        Refuses(u"tel:%25", "cannot be dialled ('%')"),
        Refuses(u"tel:%2530", "cannot be dialled ('%')"),  // decoded once only
        Refuses(u"tel:1%", "'%' that is not followed by two hex digits"),
        Refuses(u"tel:1%2", "'%' that is not followed by two hex digits"),
        Refuses(u"tel:1%G0", "'%' that is not followed by two hex digits"),
        Refuses(u"tel:CALLME", "letter ('C')"),
        Refuses(u"callto://someone", "letter ('s')"),
    });
}

TEST(TelUrlTest, NulAndControlCharactersRawOrEncodedAreRefused) {
    Check({
        Refuses(std::u16string(u"tel:12\0003", 7), "NUL character"),
        Refuses(u"tel:12%003", "NUL character (%00)"),
        Refuses(u"tel:123%0D%0Aqorphone://999", "control character (%0D)"),
        Refuses(u"tel:123%0a", "control character (%0a)"),
        Refuses(u"tel:123\n", "control character (U+000A)"),
        Refuses(u"tel:1\t23", "control character (U+0009)"),
        Refuses(u"tel:123%7F", "control character (%7F)"),
        Refuses(u"tel:123\x7F", "control character (U+007F)"),
    });
}

TEST(TelUrlTest, SeveralNumbersAreRefused) {
    Check({
        Refuses(u"tel:+4930123tel:+4930999", "more than one number"),
        Refuses(u"tel:+4930123%20TEL:999", "more than one number"),
        Refuses(u"tel:123;phone-context=callto:1", "more than one number"),
        Refuses(u"callto:123,456", "more than one number"),
        Refuses(u"tel:123%2C456", "more than one number"),
    });
}

TEST(TelUrlTest, UnicodeDigitsAndLookAlikesAreRefusedNotFolded) {
    Check({
        Refuses(u"tel:+49\uFF13\uFF10", "outside plain ASCII (U+FF13)"),  // full-width digits
        Refuses(u"tel:\u0663\u0660", "outside plain ASCII (U+0663)"),     // Arabic-Indic digits
        Refuses(u"tel:\u0967\u0968", "outside plain ASCII (U+0967)"),     // Devanagari digits
        Refuses(u"tel:\uFF0B4930", "outside plain ASCII (U+FF0B)"),       // full-width plus
        Refuses(u"tel:\u22124930", "outside plain ASCII (U+2212)"),       // minus sign
        Refuses(u"tel:49\u201030", "outside plain ASCII (U+2010)"),       // hyphen
        Refuses(u"tel:49\u00A030", "outside plain ASCII (U+00A0)"),       // no-break space
        Refuses(u"tel:4\u200B9", "outside plain ASCII (U+200B)"),         // zero-width space
        Refuses(u"t\u0435l:49", "outside plain ASCII (U+0435)"),          // Cyrillic e
        Refuses(u"tel:49\U0001D7E230", "outside plain ASCII (U+D835)"),   // mathematical two
        Refuses(u"tel:49%EF%BC%9130", "encoded character outside plain ASCII (%EF)"),
        Refuses(u"tel:49%C2%A030", "encoded character outside plain ASCII (%C2)"),
    });
}

TEST(TelUrlTest, PrintableLinkKeepsLogLinesPlain) {
    EXPECT_EQ(PrintableLink(u"tel:+49 30"), "tel:+49 30");
    EXPECT_EQ(PrintableLink(std::u16string(u"t\0\n\uFF13", 4)), "t<U+0000><U+000A><U+FF13>");
    EXPECT_EQ(PrintableLink(u"tel:" + std::u16string(10000, u'1'), 6),
              "tel:11... (10004 characters)");
}

}  // namespace
}  // namespace qor
