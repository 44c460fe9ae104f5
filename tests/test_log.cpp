// The log file's exact bytes and the Czech result-code texts.
#include "display/log.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iconv.h>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <system_error>

namespace fs = std::filesystem;

namespace {

const std::string kHeaderLine = "__________Direct Draw - Log__________\r\n";

std::string read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_bytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Runs each test in a fresh empty folder, because the log always lands in the current one.
class LogFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kalv_log_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        fs::current_path(folder_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    fs::path previous_;
    fs::path folder_;
};

TEST_F(LogFileTest, BeginEmptiesAnOldLogAndWritesOnlyTheHeader) {
    write_bytes("DirectX.log", "a previous run\r\nwith two lines\r\n");
    log_begin();
    EXPECT_EQ(read_bytes("DirectX.log"), kHeaderLine);
}

TEST_F(LogFileTest, LinesAppendInOrderWithCarriageReturnLineFeed) {
    log_begin();
    log_line("Debug - mode Inactive");
    log_line("    OK");
    log_line("");
    EXPECT_EQ(read_bytes("DirectX.log"), kHeaderLine + "Debug - mode Inactive\r\n    OK\r\n\r\n");
}

TEST_F(LogFileTest, TextIsCopiedUnchangedEvenWithFormatCharacters) {
    log_begin();
    log_line("100% %s %d %n \\ \xF8\xE9");
    EXPECT_EQ(read_bytes("DirectX.log"), kHeaderLine + "100% %s %d %n \\ \xF8\xE9\r\n");
}

TEST_F(LogFileTest, LineOnAMissingLogCreatesItWithoutHeader) {
    log_line("CreateSurface(&ddsd, &lpDDSOne, NULL);");
    EXPECT_EQ(read_bytes("DirectX.log"), "CreateSurface(&ddsd, &lpDDSOne, NULL);\r\n");
}

// Someone else's link under the log's name must never empty, create or extend what it points
// to, not even when it points nowhere yet; the log is then simply not written.
TEST_F(LogFileTest, ALinkUnderTheLogsNameIsNeverWrittenThrough) {
    write_bytes("someone_elses.txt", "precious\n");
    fs::create_symlink("someone_elses.txt", "DirectX.log");
    log_begin();
    log_line("Debug - mode Inactive");
    EXPECT_EQ(read_bytes("someone_elses.txt"), "precious\n");

    fs::remove("DirectX.log");
    fs::create_symlink("not_there_yet.txt", "DirectX.log");
    log_begin();
    log_line("Debug - mode Inactive");
    EXPECT_FALSE(fs::exists("not_there_yet.txt"));
    EXPECT_TRUE(fs::is_symlink("DirectX.log"));

    // A second name of the same file is a link too.
    fs::remove("DirectX.log");
    fs::create_hard_link("someone_elses.txt", "DirectX.log");
    log_begin();
    EXPECT_EQ(read_bytes("someone_elses.txt"), "precious\n");
}

// A named pipe nobody reads would block the set-up for ever if it were opened for writing.
TEST_F(LogFileTest, ANamedPipeIsSkippedWithoutWaiting) {
    ASSERT_EQ(mkfifo("DirectX.log", 0600), 0);
    log_begin();
    log_line("Debug - mode Inactive");
    EXPECT_EQ(fs::status("DirectX.log").type(), fs::file_type::fifo);
}

// Windows-1250 bytes of a UTF-8 text, by the C library's converter.
std::string to_cp1250(const std::string& utf8) {
    iconv_t converter = iconv_open("CP1250", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) return "<no CP1250 converter>";
    std::string in = utf8;
    std::string out(in.size() * 2 + 1, '\0');
    char* in_ptr = in.data();
    char* out_ptr = out.data();
    size_t in_left = in.size();
    size_t out_left = out.size();
    size_t done = iconv(converter, &in_ptr, &in_left, &out_ptr, &out_left);
    iconv_close(converter);
    if (done == static_cast<size_t>(-1)) return "<not convertible: " + utf8 + ">";
    out.resize(out.size() - out_left);
    return out;
}

// The reference texts, written in UTF-8 so a reader can check them by eye.
std::map<std::uint32_t, std::string> reference_texts() {
    std::map<std::uint32_t, std::string> texts;
    std::ifstream in(fs::path(KALV_SOURCE_DIR) / "tests/data/dd_error_texts.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        auto tab = line.find('\t');
        texts[static_cast<std::uint32_t>(std::stoul(line.substr(0, tab), nullptr, 16))] =
            line.substr(tab + 1);
    }
    return texts;
}

const char kDefaultText[] = "Neidentifikovateln\xE1 chyba !";

TEST(ErrorTexts, EveryKnownCodeHasItsTextAsWindows1250Bytes) {
    auto texts = reference_texts();
    ASSERT_EQ(texts.size(), 99u);
    for (const auto& [code, utf8] : texts)
        EXPECT_EQ(dd_error_text(code), to_cp1250(utf8)) << std::hex << "code 0x" << code;
}

TEST(ErrorTexts, CodesOutsideTheTableGetTheDefaultText) {
    auto texts = reference_texts();
    // Every DirectDraw facility code in the range the table spans, plus the general ones
    // around the five it knows.
    for (std::uint32_t code = 0x88760000u; code <= 0x887602FFu; ++code)
        if (texts.count(code) == 0) {
            EXPECT_STREQ(dd_error_text(code), kDefaultText) << std::hex << code;
        }
    for (std::uint32_t code : {0x0u, 0x1u, 0x80004000u, 0x80004002u, 0x8007000Du, 0x80070058u,
                               0x887601C1u, 0x887601C3u, 0xFFFFFFFFu, 0x08760005u})
        EXPECT_STREQ(dd_error_text(code), kDefaultText) << std::hex << code;
}

TEST(ErrorTexts, CzechLettersAreSingleBytesNotUtf8) {
    // Hand-checked bytes: "ř" 0xF8, "í" 0xED, "é" 0xE9, "Š" 0x8A, "ž" 0x9E.
    EXPECT_STREQ(dd_error_text(0x887601C2u), "P\xF8\xEDstup k surface byl ztracen !");
    EXPECT_STREQ(dd_error_text(0x8876021Cu), "P\xF8"
                                             "ed BLIT se p\xF8i transferu stala chyba !");
    EXPECT_STREQ(dd_error_text(0x80070057u), "\x8Apatn\xE9 parametry !");
    EXPECT_STREQ(dd_error_text(0x800401F0u), "Po\x9E"
                                             "adovan\xE1 sou\xE8\xE1st neinicializov\xE1na !");
}

TEST(ErrorTexts, OddSpacingAndRepeatedMarksAreKept) {
    EXPECT_STREQ(dd_error_text(0x88760014u), "Chyba odpojen\xED objektu IDirectDrawSurface2  !");
    EXPECT_STREQ(dd_error_text(0x88760237u),
                 "Objekt DirectDrawClipper pr\xE1v\xEC vyu\x9E\xEDv\xE1 t\xF8\xED"
                 "da HWND!");
    EXPECT_STREQ(dd_error_text(0x88760037u), "V\xFDjime\xE8n\xFD stav !!!");
    EXPECT_STREQ(dd_error_text(0x8876017Cu), "M\xE1lo Video-RAM ! !");
}

} // namespace
