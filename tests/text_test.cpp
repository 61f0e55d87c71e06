// Text escaped for terminals and for UTF-8.
#include "text.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Printable, ControlBytesAreEscapedAndTextStays) {
    EXPECT_EQ(Printable("run\x1b]0;x\a\x1b[2J\t\x7f.dat"),
              "run\\x1b]0;x\\x07\\x1b[2J\\x09\\x7f.dat");
    EXPECT_EQ(Printable("przejazd żółty 17.dat"), "przejazd żółty 17.dat");
    // C1 controls, alone or as UTF-8 (U+009B), and the bytes of broken sequences among them;
    // valid UTF-8 up to four bytes and Latin-1 letters stay.
    EXPECT_EQ(Printable("a\x9b"
                        "31m\xc2\x9b"
                        "b\xe2\x9b.\xe9\xe2\x82\xac\xf0\x9d\x84\x9e"),
              "a\\x9b31m\\xc2\\x9bb\xe2\\x9b.\xe9\xe2\x82\xac\xf0\x9d\x84\x9e");
}

TEST(Latin1Escaped, KeepsLatin1AndEscapesTheRest) {
    std::vector<std::pair<std::string, std::string>> table = {
        {"plovo - run.dat", "plovo - run.dat"},
        {"\xc3\xb3\xc3\xa9\xc3\xbf", "\xf3\xe9\xff"},                   // ó é ÿ: Latin-1 bytes
        {"\xc5\xbc\xe2\x80\x93\xe2\x82\xac", "\\u017c\\u2013\\u20ac"},  // ż – €
        {"\xf0\x9f\x9a\x86 x", "\\U0001f686 x"},                        // a train, beyond U+FFFF
        {"a\xff"
         "b\xe2\x82",
         "a\\xffb\\xe2\\x82"},  // not UTF-8
        {std::string(300, 'x') + "\xe2\x86\x92", std::string(300, 'x') + "\\u2192"}};
    for (const auto& [utf8, latin1] : table) EXPECT_EQ(Latin1Escaped(utf8), latin1) << utf8;
}
