// Text escaped for terminals and for UTF-8.
#include "text.h"

#include <gtest/gtest.h>

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
    // ó é ÿ stay (as Latin-1 bytes); ż, –, a train beyond U+FFFF, and bytes not UTF-8 are escaped.
    EXPECT_EQ(
        Latin1Escaped("run \xc3\xb3\xc3\xa9\xc3\xbf \xc5\xbc\xe2\x80\x93\xf0\x9f\x9a\x86 a\xff"
                      "b\xe2\x82"),
        "run \xf3\xe9\xff \\u017c\\u2013\\U0001f686 a\\xffb\\xe2\\x82");
}
