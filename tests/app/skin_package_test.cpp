#include "app/skin_package.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dui/controls/message_icons_data.inc"
#include "dui/core/caption_strip_data.inc"
#include "tests/support/paths.h"

namespace {

using app::LoadSkinPackage;
using app::SkinPackage;
using app::WriteSkinPackage;

const std::string kMalformed = "格式不规范";
const std::string kBadHeader = "校验头部未成功";
const std::string kBadChecksum = "校验数据失败";
const std::string kLoaded = "解包成功";

const std::string kSeparator = std::string("\xF0\x01|sep|", 7);
const std::string kEmptyMd5 = "d41d8cd98f00b204e9800998ecf8427e";

std::string Header() {
    return std::string("Skin_res\x65\x55\xB1\x13", 12);
}

// Lays out pieces the way a package writer does: every piece followed by the
// separator, so the file ends with it.
std::string Layout(const std::vector<std::string>& pieces,
                   const std::string& separator = kSeparator) {
    std::string out;
    for (const std::string& piece : pieces) out += piece + separator;
    return out;
}

std::string Concat(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& part : parts) out += part;
    return out;
}

class SkinPackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("skin_package_test_" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
        // Every failing load must leave this table exactly as it was.
        m_table.resources = {"keep", "me"};
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    std::string WriteBytes(const std::string& bytes, const std::string& name = "skin.dll") {
        std::string path = Path(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    bool Load(const std::string& bytes) {
        return LoadSkinPackage(WriteBytes(bytes), m_table, m_message);
    }

    void ExpectTableUntouched() const {
        EXPECT_EQ(m_table.resources, (std::vector<std::string>{"keep", "me"}));
    }

    std::filesystem::path m_dir;
    SkinPackage m_table;
    std::string m_message;
};

// --- Reading ---------------------------------------------------------------

TEST_F(SkinPackageTest, WellFormedPackageYieldsResourcesInFileOrder) {
    std::vector<std::string> resources = {"first", std::string("\0\x89PNG", 5), "third"};
    ASSERT_TRUE(Load(Layout({Header(), app::Md5Hex(Concat(resources)), resources[0],
                             resources[1], resources[2]})));
    EXPECT_EQ(m_message, kLoaded);
    EXPECT_EQ(m_table.resources, resources);
    EXPECT_EQ(m_table.Resource(1), "first");
    EXPECT_EQ(m_table.Resource(3), "third");
}

TEST_F(SkinPackageTest, NumbersOutsideTheTableGiveEmptyData) {
    m_table.resources = {"a", "b"};
    EXPECT_EQ(m_table.Resource(0), "");
    EXPECT_EQ(m_table.Resource(-1), "");
    EXPECT_EQ(m_table.Resource(3), "");
    EXPECT_EQ(m_table.Resource(8), "");
}

TEST_F(SkinPackageTest, HeaderMustBeExactlyTheTwelveBytes) {
    std::string md5 = app::Md5Hex("x");
    std::string other_integer = std::string("Skin_res\x66\x55\xB1\x13", 12);
    EXPECT_FALSE(Load(Layout({other_integer, md5, "x"})));
    EXPECT_EQ(m_message, kBadHeader);
    EXPECT_FALSE(Load(Layout({Header() + "!", md5, "x"})));
    EXPECT_EQ(m_message, kBadHeader);
    EXPECT_FALSE(Load(Layout({Header().substr(0, 11), md5, "x"})));
    EXPECT_EQ(m_message, kBadHeader);
    EXPECT_FALSE(Load(Layout({std::string("skin_res\x65\x55\xB1\x13", 12), md5, "x"})));
    EXPECT_EQ(m_message, kBadHeader);
    ExpectTableUntouched();
}

TEST_F(SkinPackageTest, ChecksumIsCompared) {
    std::string lower = app::Md5Hex("image");
    std::string upper = lower;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_NE(lower, upper);
    EXPECT_FALSE(Load(Layout({Header(), upper, "image"})));
    EXPECT_EQ(m_message, kBadChecksum);
    EXPECT_FALSE(Load(Layout({Header(), lower, "imagf"})));
    EXPECT_EQ(m_message, kBadChecksum);
    EXPECT_FALSE(Load(Layout({Header(), lower.substr(0, 31), "image"})));
    EXPECT_EQ(m_message, kBadChecksum);
    EXPECT_FALSE(Load(Layout({Header(), lower + "0", "image"})));
    EXPECT_EQ(m_message, kBadChecksum);
    ExpectTableUntouched();
}

TEST_F(SkinPackageTest, ChecksumIsExactly32DigitsAndAnOptionalZeroByte) {
    std::string md5 = app::Md5Hex("image");
    EXPECT_TRUE(Load(Layout({Header(), md5 + std::string("\0", 1), "image"})));
    EXPECT_EQ(m_message, kLoaded);
    // Nothing may follow the terminating zero.
    EXPECT_FALSE(Load(Layout({Header(), md5 + std::string("\0junk", 5), "image"})));
    EXPECT_EQ(m_message, kBadChecksum);
    EXPECT_FALSE(Load(Layout({Header(), md5 + std::string("\0\0", 2), "image"})));
    EXPECT_EQ(m_message, kBadChecksum);
    // A zero inside the digits cuts the text short of 32 digits.
    std::string cut = md5;
    cut[10] = '\0';
    EXPECT_FALSE(Load(Layout({Header(), cut, "image"})));
    EXPECT_EQ(m_message, kBadChecksum);
}

TEST_F(SkinPackageTest, ResourceCountIsCapped) {
    // A package of millions of empty resources is as cheap to write as a
    // small one; it must not cost a table entry per piece.
    std::vector<std::string> pieces = {Header(), kEmptyMd5};
    pieces.resize(2 + app::kMaxSkinResources);
    EXPECT_TRUE(Load(Layout(pieces)));
    EXPECT_EQ(m_table.resources.size(), app::kMaxSkinResources);

    m_table.resources = {"keep", "me"};
    pieces.emplace_back();
    EXPECT_FALSE(Load(Layout(pieces)));
    EXPECT_EQ(m_message, kMalformed);
    ExpectTableUntouched();

    std::string read_error;
    EXPECT_FALSE(LoadSkinPackage(Path("absent.dll"), m_table, m_message, &read_error));
    EXPECT_EQ(read_error, "No such file or directory");
}

TEST_F(SkinPackageTest, ChecksumCoversResourcesOnlyWithoutSeparators) {
    // Two separators in a row make an empty resource that keeps its number.
    std::string md5 = app::Md5Hex("ab");
    ASSERT_TRUE(Load(Layout({Header(), md5, "a", "", "b"})));
    EXPECT_EQ(m_table.resources, (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(m_table.Resource(2), "");
}

TEST_F(SkinPackageTest, EmptyResourceSetLoadsAsEmptyTable) {
    ASSERT_TRUE(Load(Layout({Header(), kEmptyMd5})));
    EXPECT_EQ(m_message, kLoaded);
    EXPECT_TRUE(m_table.resources.empty());
}

TEST_F(SkinPackageTest, UnreadableOrFormlessFilesAreMalformed) {
    EXPECT_FALSE(LoadSkinPackage(Path("missing.dll"), m_table, m_message));
    EXPECT_EQ(m_message, kMalformed);
    EXPECT_FALSE(LoadSkinPackage(m_dir.string(), m_table, m_message));
    EXPECT_EQ(m_message, kMalformed);
    for (std::size_t size = 0; size < 7; ++size) {
        EXPECT_FALSE(Load(std::string(size, 'S'))) << size;
        EXPECT_EQ(m_message, kMalformed) << size;
    }
    // A header and nothing else: there is no checksum to verify.
    EXPECT_FALSE(Load(Layout({Header()})));
    EXPECT_EQ(m_message, kMalformed);
    ExpectTableUntouched();
}

TEST_F(SkinPackageTest, ArbitraryBytesFailTheHeaderCheck) {
    // The last 7 bytes are taken as the separator, so any file of 7 or more
    // bytes has at least one piece, which here is no header.
    EXPECT_FALSE(Load("1234567"));
    EXPECT_EQ(m_message, kBadHeader);
    EXPECT_FALSE(Load("this is not a skin package at all"));
    EXPECT_EQ(m_message, kBadHeader);
    ExpectTableUntouched();
}

TEST_F(SkinPackageTest, SpecialFilesAreRefusedWithoutBlocking) {
    std::string fifo = Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(LoadSkinPackage(fifo, m_table, m_message));
    EXPECT_EQ(m_message, kMalformed);
    EXPECT_FALSE(LoadSkinPackage("/dev/zero", m_table, m_message));
    EXPECT_EQ(m_message, kMalformed);
    ExpectTableUntouched();
}

TEST_F(SkinPackageTest, OversizedFileIsRefused) {
    std::string path = Path("huge.dll");
    {
        std::ofstream out(path, std::ios::binary);
        out << Layout({Header(), kEmptyMd5});
    }
    std::filesystem::resize_file(path, app::kMaxSkinPackageBytes + 1);
    EXPECT_FALSE(LoadSkinPackage(path, m_table, m_message));
    EXPECT_EQ(m_message, kMalformed);
    ExpectTableUntouched();
}

TEST_F(SkinPackageTest, DamagedPackagesNeverLoadWrongly) {
    std::vector<std::string> resources = {"alpha", std::string(40, '\0'), "", "omega"};
    std::string good = Layout({Header(), app::Md5Hex(Concat(resources)), resources[0],
                               resources[1], resources[2], resources[3]});
    const std::vector<std::string> known = {kMalformed, kBadHeader, kBadChecksum, kLoaded};
    auto check = [&](const std::string& bytes) {
        SkinPackage table;
        table.resources = {"keep"};
        std::string message;
        bool loaded = LoadSkinPackage(WriteBytes(bytes, "damaged.dll"), table, message);
        EXPECT_NE(std::find(known.begin(), known.end(), message), known.end());
        EXPECT_EQ(loaded, message == kLoaded);
        if (!loaded) {
            EXPECT_EQ(table.resources, (std::vector<std::string>{"keep"}));
        }
        return loaded;
    };
    // Every truncation but the full length fails.
    for (std::size_t length = 0; length < good.size(); ++length) {
        EXPECT_FALSE(check(good.substr(0, length))) << length;
    }
    EXPECT_TRUE(check(good));
    // Any single flipped bit inside the resources is caught by the checksum
    // or by a changed split.
    std::size_t first_resource = 12 + 7 + 32 + 7;
    for (std::size_t at = first_resource; at < good.size() - 7; ++at) {
        std::string bad = good;
        bad[at] = static_cast<char>(bad[at] ^ 0x10);
        EXPECT_FALSE(check(bad)) << at;
    }
}

// --- Writing ---------------------------------------------------------------

class SkinWriterTest : public SkinPackageTest {
protected:
    // Writes, reloads and expects the same resources back.
    std::string RoundTrip(const std::vector<std::string>& resources) {
        std::string path = Path("written.dll");
        std::string error;
        EXPECT_TRUE(WriteSkinPackage(path, resources, &error)) << error;
        SkinPackage table;
        std::string message;
        EXPECT_TRUE(LoadSkinPackage(path, table, message));
        EXPECT_EQ(message, kLoaded);
        EXPECT_EQ(table.resources, resources);
        return testing_support::ReadFile(path);
    }
};

TEST_F(SkinWriterTest, WritesHeaderLowercaseChecksumAndTrailingSeparator) {
    std::vector<std::string> resources = {"one", "two"};
    std::string file = RoundTrip(resources);
    ASSERT_GE(file.size(), 12u + 7u + 32u + 7u);
    std::string separator = file.substr(file.size() - 7);
    EXPECT_EQ(file.substr(0, 12), Header());
    EXPECT_EQ(file.substr(12, 7), separator);
    EXPECT_EQ(file.substr(19, 32), app::Md5Hex("onetwo"));
    EXPECT_EQ(file, Layout({Header(), app::Md5Hex("onetwo"), "one", "two"}, separator));
}

TEST_F(SkinWriterTest, RefusesPackagesTheLoaderWouldRefuse) {
    std::string package;
    std::string error;
    // Resources that fit the limit on their own, but not with the header,
    // checksum and separators around them.
    const std::size_t overhead = 12 + 32 + 3 * 7;
    EXPECT_FALSE(app::BuildSkinPackage({std::string(app::kMaxSkinPackageBytes - overhead + 1, 'x')},
                                       package, &error));
    EXPECT_NE(error.find("at most"), std::string::npos) << error;
    EXPECT_TRUE(app::BuildSkinPackage({std::string(app::kMaxSkinPackageBytes - overhead, 'x')},
                                      package, &error))
        << error;
    EXPECT_EQ(package.size(), app::kMaxSkinPackageBytes);

    error.clear();
    EXPECT_FALSE(app::BuildSkinPackage(std::vector<std::string>(app::kMaxSkinResources + 1),
                                       package, &error));
    EXPECT_NE(error.find("resources"), std::string::npos) << error;
}

TEST_F(SkinWriterTest, SameInputGivesSameBytes) {
    std::vector<std::string> resources = {"a", std::string(300, '\xAA'), ""};
    EXPECT_EQ(RoundTrip(resources), RoundTrip(resources));
}

TEST_F(SkinWriterTest, AvoidsASeparatorThatOccursInTheData) {
    std::string plain = RoundTrip({"x"});
    std::string first_choice = plain.substr(plain.size() - 7);
    std::string file = RoundTrip({"x" + first_choice + "y", first_choice});
    EXPECT_NE(file.substr(file.size() - 7), first_choice);
}

TEST_F(SkinWriterTest, AvoidsSeparatorsFormedAcrossPieceBoundaries) {
    std::string plain = RoundTrip({"x"});
    std::string sep = plain.substr(plain.size() - 7);
    // Pieces ending in a prefix of the separator or starting with a suffix of
    // it would shift the split by a few bytes if the writer were careless.
    for (std::size_t cut = 1; cut < 7; ++cut) {
        std::string head = sep.substr(0, cut);
        std::string tail = sep.substr(cut);
        std::string z_head = "z";
        z_head.append(head);
        RoundTrip({head, tail, tail + "z", z_head});
    }
}

TEST_F(SkinWriterTest, RoundTripsBinaryEmptyAndManyPieces) {
    std::string every_byte;
    for (int i = 0; i < 256; ++i) every_byte.push_back(static_cast<char>(i));
    RoundTrip({every_byte, std::string(1000, '\0'), every_byte + every_byte});
    RoundTrip({});
    RoundTrip({"", "", ""});
    std::vector<std::string> many;
    for (int i = 0; i < 2000; ++i) many.push_back(std::string(static_cast<std::size_t>(i % 17), static_cast<char>(i)));
    RoundTrip(many);
}

TEST_F(SkinWriterTest, ReportsAnUnwritablePath) {
    std::string error;
    EXPECT_FALSE(WriteSkinPackage(Path("no/such/dir/skin.dll"), {"a"}, &error));
    EXPECT_NE(error, "");
    EXPECT_FALSE(WriteSkinPackage(Path("no/such/dir/skin.dll"), {"a"}));
}

// --- Shipped art -----------------------------------------------------------

const std::string kPngSignature("\x89PNG\r\n\x1A\n", 8);

struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Size& size) {
    return out << size.width << "x" << size.height;
}

int BigEndian(const std::string& bytes, std::size_t at, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
        value = value * 256 + static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

// Width and height from a PNG's IHDR chunk; zero when the bytes are no PNG.
Size PngSize(const std::string& png) {
    if (png.size() < 24 || png.compare(0, 8, kPngSignature) != 0 ||
        png.compare(12, 4, "IHDR") != 0) {
        return {};
    }
    return {BigEndian(png, 16, 4), BigEndian(png, 20, 4)};
}

// Width and height from a JPEG's first start-of-frame segment.
Size JpegSize(const std::string& jpeg) {
    if (jpeg.size() < 4 || jpeg.compare(0, 2, "\xFF\xD8") != 0) return {};
    std::size_t at = 2;
    while (at + 9 < jpeg.size() && static_cast<unsigned char>(jpeg[at]) == 0xFF) {
        unsigned char marker = static_cast<unsigned char>(jpeg[at + 1]);
        if (marker >= 0xC0 && marker <= 0xC3) {
            return {BigEndian(jpeg, at + 7, 2), BigEndian(jpeg, at + 5, 2)};
        }
        at += 2 + static_cast<std::size_t>(BigEndian(jpeg, at + 2, 2));
    }
    return {};
}

TEST(ShippedArt, SkinPackageLoadsWithTheEightImagesTheWindowUses) {
    SkinPackage table;
    std::string message;
    ASSERT_TRUE(LoadSkinPackage(testing_support::SourcePath("res/skin.dll"), table, message));
    EXPECT_EQ(message, kLoaded);
    ASSERT_EQ(table.resources.size(), 8u);
    const Size expected[] = {{32, 32}, {32, 32}, {32, 32}, {32, 32},
                             {65, 26}, {65, 26}, {65, 26}, {150, 20}};
    for (int n = 1; n <= 8; ++n) {
        EXPECT_EQ(PngSize(table.Resource(n)), expected[n - 1]) << "resource " << n;
    }
}

TEST(ShippedArt, BackgroundCoversTheLargerWindow) {
    EXPECT_EQ(JpegSize(testing_support::ReadFile(testing_support::SourcePath("res/0.jpg"))),
              (Size{560, 466}));
}

TEST(ShippedArt, EmbeddedStripsMatchTheShippedFilesWithoutSignature) {
    std::string caption = testing_support::ReadFile(testing_support::SourcePath("res/caption_buttons.png"));
    std::string icons = testing_support::ReadFile(testing_support::SourcePath("res/message_icons.png"));
    EXPECT_EQ(PngSize(caption), (Size{729, 20}));
    EXPECT_EQ(PngSize(icons), (Size{200, 40}));
    // Colour type 6: 8-bit RGBA, which the alpha-blended faces rely on.
    ASSERT_GT(caption.size(), 25u);
    EXPECT_EQ(caption[24], 8);
    EXPECT_EQ(caption[25], 6);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(kCaptionStripPng), sizeof kCaptionStripPng),
              caption.substr(8));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(kMessageIconsPng), sizeof kMessageIconsPng),
              icons.substr(8));
}

}  // namespace
