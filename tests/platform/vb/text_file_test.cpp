#include "platform/vb/text_file.h"

#include <gtest/gtest.h>

#include <functional>

#include <filesystem>
#include <fstream>

#include "platform/vb/replacing_file.h"
#include "tests/platform/vb/vb_test_util.h"

namespace {

namespace fs = std::filesystem;

using vbtest::ErrorOf;

class TextFile : public ::testing::Test {
protected:
    std::string Bytes() const { return vbtest::FileBytes(path_); }
    vbtest::TempDir dir_{"text_file"};
    std::string path_ = dir_.File("out.txt");
};

TEST_F(TextFile, PrintStyleBytes) {
    vb::TextWriter w(path_);
    w.PrintLine("FIELDS: ", int16_t(3));
    w.PrintLine("BAYES_NET: ", "[My Table]");
    w.Print(-2).Print(0).Print(int32_t(70000)).EndLine();
    w.Print(0.5).Print(0.3666667f).Print(-1.25).EndLine();  // the C locale's "."
    w.Print(true).Print(" ").Print(false).EndLine();
    w.Print("ab").NextZone().Print("c").NextZone().NextZone().Print("d").EndLine();
    w.PrintLine();
    w.Close();
    EXPECT_EQ(Bytes(),
              "FIELDS:  3 \r\n"
              "BAYES_NET: [My Table]\r\n"
              "-2  0  70000 \r\n"
              " .5  .3666667 -1.25 \r\n"
              "True False\r\n"
              "ab            c                           d\r\n"
              "\r\n");
}

TEST_F(TextFile, ListStyleBytes) {
    vb::TextWriter w(path_);
    w.WriteLine(int16_t(3));
    w.Write("A");
    w.Write("B C");
    w.EndLine();  // a list line ending with a comma
    w.WriteLine("X", 2, 0.5f, true, false, vb::Null, vb::DateItem{45000.5}, -1.5, 1e-7f,
                int32_t(-70000), 0.1 + 0.2);
    w.WriteLine(vb::DateItem{45000});
    w.Write(int16_t(1));
    w.WriteLine(0.25f, "end \"q\"");
    w.EndLine();
    w.Close();
    EXPECT_EQ(Bytes(),
              "3\r\n"
              "\"A\",\"B C\",\r\n"
              "\"X\",2,0.5,#TRUE#,#FALSE#,#NULL#,#2023-03-15 12:00:00#,-1.5,1E-07,-70000,0.3\r\n"
              "#2023-03-15 00:00:00#\r\n"
              "1,0.25,\"end \"\"q\"\"\"\r\n"
              "\r\n");
}

TEST_F(TextFile, ItemsRoundTripThroughALogShapedFile) {
    {
        vb::TextWriter w(path_);
        w.WriteLine(int16_t(3));
        for (const char* name : {"CLASS", "[A B]", "C,D", "say \"hi\"", "\""}) w.Write(name);
        w.EndLine();
        w.WriteLine(true);
        w.WriteLine(int32_t(1000));
        w.Write(int16_t(2));
        w.Write("YES");
        w.Write("");
        w.EndLine();
        w.Write("0.12346");
        w.EndLine();
        w.WriteLine(int16_t(0), int16_t(1), int16_t(2), int16_t(1), int16_t(3), 0.0421f);
        w.WriteLine(int16_t(0), int16_t(1), int16_t(3), int16_t(0), 1.5e-7f);
        w.Close();
    }
    vb::TextReader r(path_);
    EXPECT_EQ(r.ReadInteger(), 3);
    EXPECT_EQ(r.ReadItem(), "CLASS");
    EXPECT_EQ(r.ReadItem(), "[A B]");
    EXPECT_EQ(r.ReadItem(), "C,D");  // a comma inside quotes stays in the item
    EXPECT_EQ(r.ReadItem(), "say \"hi\"");  // quotes inside read back whole
    EXPECT_EQ(r.ReadItem(), "\"");
    EXPECT_EQ(r.ReadItem(), "");     // the empty item that ends a list line
    EXPECT_TRUE(r.ReadBoolean());
    EXPECT_EQ(r.ReadLong(), 1000);
    EXPECT_EQ(r.ReadInteger(), 2);
    EXPECT_EQ(r.ReadItem(), "YES");
    EXPECT_EQ(r.ReadItem(), "");  // the quoted empty text
    EXPECT_EQ(r.ReadItem(), "");  // the line's end
    EXPECT_EQ(r.ReadItem(), "0.12346");
    EXPECT_EQ(r.ReadItem(), "");
    int sets = 0;
    while (!r.AtEnd()) {
        r.ReadInteger();
        r.ReadInteger();
        r.ReadInteger();
        int m = r.ReadInteger();
        for (int t = 0; t < m; ++t) r.ReadInteger();
        float v = r.ReadSingle();
        EXPECT_EQ(v, sets == 0 ? 0.0421f : 1.5e-7f);
        ++sets;
    }
    EXPECT_EQ(sets, 2);
    EXPECT_EQ(ErrorOf([&] { r.ReadItem(); }), 62);
    EXPECT_EQ(ErrorOf([&] { r.LineInput(); }), 62);
}

// The replacement, its file and its folder synced, takes the target's place whether the target
// names its folder or lies in the current one, and leaves no temporary file.
TEST_F(TextFile, ReplacingFileTakesTheTargetsPlaceInAnyFolder) {
    const fs::path before = fs::current_path();
    fs::current_path(dir_.path());
    for (const std::string& target : {path_, std::string("here.txt")}) {
        SCOPED_TRACE(target);
        std::ofstream(target) << "old";
        {
            vb::ReplacingFile file(target);
            vb::TextWriter w(file.path());
            w.Print("new");
            w.Close();
            file.Commit();
        }
        EXPECT_EQ(vbtest::FileBytes(target), "new");
    }
    fs::current_path(before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 2);
}

TEST(TextReader, ItemAndLineRules) {
    auto r = vb::TextReader::FromText(
        "\xEF\xBB\xBF  12  ,\tx y\t,\"ab\"cd,3\n"  // LF line ends, a byte order mark
        "\"open,quote\r\n"
        "FIELDS:  3 \r\n"
        "last line without end");
    EXPECT_TRUE(r.AtLineStart());  // nothing read yet, the byte order mark aside
    EXPECT_EQ(r.ReadItem(), "12");
    EXPECT_EQ(r.ReadItem(), "x y");
    EXPECT_EQ(r.ReadItem(), "ab");  // text after the closing quote is dropped
    EXPECT_EQ(r.ReadInteger(), 3);
    EXPECT_EQ(r.ReadItem(), "open,quote");  // an unclosed quote ends at the line end
    EXPECT_EQ(r.LineInput(), "FIELDS:  3 ");
    EXPECT_FALSE(r.AtEnd());
    EXPECT_EQ(r.LineInput(), "last line without end");
    EXPECT_TRUE(r.AtEnd());

    auto lines = vb::TextReader::FromText("a,b\r\n\r\nc\rd");
    EXPECT_EQ(lines.ReadItem(), "a");
    EXPECT_EQ(lines.LineInput(), "b");  // the rest of the line
    EXPECT_EQ(lines.LineInput(), "");
    EXPECT_EQ(lines.LineInput(), "c");  // a lone CR ends a line too
    EXPECT_EQ(lines.ReadItem(), "d");
    EXPECT_TRUE(lines.AtEnd());

    // Whether the last read ended its line: a list line read whole, or one with items left,
    // or a last line that the end of the file cut off.
    auto ends = vb::TextReader::FromText("1,2\r\n3");
    ends.ReadItem();
    EXPECT_FALSE(ends.AtLineStart());
    ends.ReadItem();
    EXPECT_TRUE(ends.AtLineStart());
    ends.ReadItem();
    EXPECT_TRUE(ends.AtEnd());
    EXPECT_FALSE(ends.AtLineStart());
}

TEST(TextReader, ConversionErrors) {
    auto r = vb::TextReader::FromText("abc,,0,5,40000,2.5,3.5,#TRUE#,#false#,True,0,-1,x,1E39\r\n");
    EXPECT_EQ(ErrorOf([&] { r.ReadInteger(); }), 13);  // abc
    EXPECT_EQ(ErrorOf([&] { r.ReadDouble(); }), 13);   // an empty item is no number
    EXPECT_EQ(r.ReadSingle(), 0.0f);                   // "0,5" is two items: 0 and 5
    EXPECT_EQ(r.ReadLong(), 5);
    EXPECT_EQ(ErrorOf([&] { r.ReadInteger(); }), 6);  // 40000
    EXPECT_EQ(r.ReadInteger(), 2);                    // halves to even
    EXPECT_EQ(r.ReadLong(), 4);
    EXPECT_TRUE(r.ReadBoolean());
    EXPECT_FALSE(r.ReadBoolean());
    EXPECT_TRUE(r.ReadBoolean());
    EXPECT_FALSE(r.ReadBoolean());
    EXPECT_TRUE(r.ReadBoolean());
    EXPECT_EQ(ErrorOf([&] { r.ReadBoolean(); }), 13);
    EXPECT_EQ(ErrorOf([&] { r.ReadSingle(); }), 6);
    EXPECT_TRUE(r.AtEnd());  // the last item took its line end with it
    EXPECT_EQ(ErrorOf([&] { r.ReadSingle(); }), 62);
}

TEST_F(TextFile, OpenAndWriteErrors) {
    std::string missing = dir_.File("missing.txt");
    std::string noFolder = dir_.File("no_folder/x.txt");
    EXPECT_EQ(ErrorOf([&] { vb::TextReader r(missing); }), 53);
    EXPECT_EQ(ErrorOf([&] { vb::TextReader r(noFolder); }), 76);
    EXPECT_EQ(ErrorOf([&] { vb::TextWriter w(noFolder); }), 76);
    EXPECT_EQ(ErrorOf([&] { vb::TextReader r(dir_.path().string()); }), 75);
    EXPECT_EQ(ErrorOf([&] { vb::TextWriter w(dir_.path().string()); }), 75);
    EXPECT_EQ(ErrorOf([&] { vb::TextWriter w(""); }), 75);

    // Creating truncates; writing after Close is refused; closing twice is harmless.
    { std::ofstream(path_) << "old contents"; }
    vb::TextWriter w(path_);
    EXPECT_EQ(Bytes(), "");
    w.PrintLine("x");
    w.Close();
    w.Close();
    EXPECT_EQ(ErrorOf([&] { w.PrintLine("y"); }), 52);
    EXPECT_EQ(Bytes(), "x\r\n");

    if (fs::exists("/dev/full")) {  // a device that refuses every write
        vb::TextWriter full("/dev/full");
        full.PrintLine(std::string(100000, 'x'));
        EXPECT_EQ(ErrorOf([&] { full.Close(); }), 57);
    }

    // Each names its file, so that a host can say which one failed.
    for (const auto& [path, open] : std::vector<std::pair<std::string, std::function<void()>>>{
             {missing, [&] { vb::TextReader r(missing); }},
             {noFolder, [&] { vb::TextWriter w(noFolder); }},
             {dir_.path().string(), [&] { vb::TextWriter w(dir_.path().string()); }}}) {
        try {
            open();
            ADD_FAILURE() << path << " opened";
        } catch (const vb::RuntimeError& e) {
            EXPECT_NE(e.description().find("'" + path + "'"), std::string::npos) << e.description();
        }
    }
}

}  // namespace
