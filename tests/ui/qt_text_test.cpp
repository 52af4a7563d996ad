// The one seam between Qt's text and the engine's bytes and paths: what a
// typed separator, number or path becomes, byte for byte, and what the
// engine's bytes look like in a window. The expected bytes are written out
// by hand, not computed with Qt.

#include "qt_text.h"

#include <gtest/gtest.h>

#include <string>

namespace vorpel::test {
namespace {

struct TypedCase {
  const char16_t* typed;  // what the user types, as UTF-16
  std::string bytes;      // what the engine receives
};

const TypedCase kTyped[] = {
    {u"", ""},
    {u"-", "-"},
    {u" ", " "},
    {u"\u00e9-", "\xC3\xA9-"},              // Latin-1 letter: two bytes, not E9
    {u"\u20ac", "\xE2\x82\xAC"},            // euro sign: three bytes, not Windows-1252 80
    {u"\U0001F600", "\xF0\x9F\x98\x80"},    // outside the BMP: one character, four bytes
    {u"12\u00a0", "12\xC2\xA0"},            // a no-break space stays as typed
    {u"\u0661\u0662", "\xD9\xA1\xD9\xA2"},  // Arabic-Indic digits are not turned into 1 2
};

TEST(QtTextTest, SeparatorAndNumber_AreTheTypedTextInUtf8) {
  for (const TypedCase& c : kTyped) {
    const QString typed = QString::fromUtf16(c.typed);
    EXPECT_EQ(SeparatorBytes(typed), c.bytes) << c.bytes;
    EXPECT_EQ(NumberText(typed), c.bytes) << c.bytes;
    EXPECT_EQ(ToQString(c.bytes), typed) << c.bytes;
  }
}

TEST(QtTextTest, EmbeddedNul_IsKeptBothWays) {
  const std::string bytes("a\0b", 3);
  const QString text = ToQString(bytes);
  EXPECT_EQ(text.size(), 3);
  EXPECT_EQ(ToBytes(text), bytes);
}

TEST(QtTextTest, PathFromField_KeepsBlanksAndLettersAsTyped) {
  EXPECT_EQ(PathFromField(QString::fromUtf16(u" Gr\u00fc\u00dfe.txt ")).native(),
            " Gr\xC3\xBC\xC3\x9F"
            "e.txt ");
  EXPECT_EQ(PathFromField(QStringLiteral("a/b/../c")).native(), "a/b/../c");
  EXPECT_TRUE(PathFromField(QString()).empty());
}

TEST(QtTextTest, FileSystemBytes_ReadBackAsTyped) {
  const QString typed = QString::fromUtf16(u"/tmp/f\u00fcr dich.txt: No space left on device");
  EXPECT_EQ(FromFileSystemBytes("/tmp/f\xC3\xBCr dich.txt: No space left on device"), typed);
  EXPECT_EQ(FromFileSystemBytes(PathFromField(typed).native()), typed);
}

}  // namespace
}  // namespace vorpel::test
