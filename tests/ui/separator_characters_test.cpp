// A separator typed into the Options dialog is characters: it ends words at
// whole characters of a UTF-8 source, and at the byte that stands for it in
// an 8-bit source (Latin-1, or Windows-1252 for the dash and curly quotes).

#include "vorpel_test/window_test.h"

namespace vorpel::test {
namespace {

class SeparatorCharactersTest : public WindowTest {
 protected:
  // Words of one word each, with the separator typed as given.
  void TypeSeparator(const QString& separator) {
    Trigger("O_Options");
    Type(Control<QLineEdit>("Options", QStringLiteral("txtSeqLength")), QStringLiteral("1"));
    Type(Control<QLineEdit>("Options", QStringLiteral("txtWordSep")), separator);
    Click(Control<QPushButton>("Options", QStringLiteral("btnOK")));
    ASSERT_FALSE(IsShown("Options"));
  }
  std::vector<std::string> ReadItems(const QByteArray& source) {
    WriteBytes(Path(QStringLiteral("source.txt")), source);
    ReadSource(Path(QStringLiteral("source.txt")));
    std::vector<std::string> items;
    for (std::size_t i = 0; i < session_.pool.Size(); ++i) {
      items.emplace_back(session_.pool.Item(i));
    }
    return items;
  }
};

TEST_F(SeparatorCharactersTest, TypedEmDash_SplitsAUtf8SourceAtTheDashOnly) {
  TypeSeparator(QString::fromUtf8("\xE2\x80\x94"));  // —
  EXPECT_EQ(session_.settings.WordSep, "\xE2\x80\x94");
  // The curly quotes share their first two bytes with the dash.
  const auto items = ReadItems(
      "\xE2\x80\x9C"
      "one\xE2\x80\x9D\xE2\x80\x94two \xE2\x80\x98three");
  EXPECT_EQ(items, (std::vector<std::string>{"\xE2\x80\x9C"
                                             "one\xE2\x80\x9D\xE2\x80\x94",
                                             "two \xE2\x80\x98three\xE2\x80\x94"}));
  EXPECT_EQ(beeps_, 0);
}

TEST_F(SeparatorCharactersTest, TypedAccentedE_SplitsALatin1SourceAtByteE9) {
  TypeSeparator(QString::fromUtf8("\xC3\xA9"));  // é
  const auto items = ReadItems(
      "caf\xE9 cr\xE8me br\xFBl\xE9"
      "e");
  EXPECT_EQ(items, (std::vector<std::string>{"caf\xE9", " cr\xE8me br\xFBl\xE9", "e\xE9"}));
}

TEST_F(SeparatorCharactersTest, TypedEmDash_SplitsAWindows1252SourceAtByte97) {
  TypeSeparator(QString::fromUtf8("\xE2\x80\x94"));  // —
  const auto items = ReadItems("\x93one\x94\x97two\x97three");
  EXPECT_EQ(items, (std::vector<std::string>{"\x93one\x94\x97", "two\x97", "three\x97"}));
}

TEST_F(SeparatorCharactersTest, LettersOfAUtf8SourceAreWholeCharacters) {
  Trigger("O_Options");
  Click(Control<QRadioButton>("Options", QStringLiteral("rbtLetters")));
  Type(Control<QLineEdit>("Options", QStringLiteral("txtSeqLength")), QStringLiteral("2"));
  Click(Control<QCheckBox>("Options", QStringLiteral("cbxMultSeq")));  // runs one after another
  Click(Control<QPushButton>("Options", QStringLiteral("btnOK")));
  ASSERT_EQ(session_.settings.MultSeq, 0);
  const auto items = ReadItems("caf\xC3\xA9 \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD");
  EXPECT_EQ(items,
            (std::vector<std::string>{"ca", "f\xC3\xA9", " \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"}));
}

}  // namespace
}  // namespace vorpel::test
