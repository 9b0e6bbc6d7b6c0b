// The resources autorun.exe carries, read from the delivered program file:
// version information, the two-image icon, the background picture's format
// and the hand pointer's size, depth and hot spot.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "handles.h"
#include "testdir.h"

namespace {

std::string VersionText(const std::string& file, const char* name)
{
    DWORD ignored = 0;
    std::vector<char> data(GetFileVersionInfoSizeA(file.c_str(), &ignored));
    if (data.empty() || !GetFileVersionInfoA(file.c_str(), 0, DWORD(data.size()), data.data()))
        return {};
    struct Translation {
        WORD language, codePage;
    }* translation = nullptr;
    UINT size = 0;
    if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translation), &size) ||
        size < sizeof *translation)
        return {};
    char path[128];
    wsprintfA(path, "\\StringFileInfo\\%04x%04x\\%s", translation->language, translation->codePage,
              name);
    char* text = nullptr;
    if (!VerQueryValueA(data.data(), path, reinterpret_cast<void**>(&text), &size))
        return {};
    return text;
}

class AutorunResources : public ::testing::Test {
  protected:
    void SetUp() override
    {
        module_ = LoadLibraryExA(program_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module_) << program_;
    }
    // The bytes of a resource of the program file.
    std::string Resource(LPCSTR type, int id) const
    {
        HRSRC found = FindResourceA(module_.get(), MAKEINTRESOURCEA(id), type);
        if (!found)
            return {};
        const void* bytes = LockResource(LoadResource(module_.get(), found));
        return std::string(static_cast<const char*>(bytes), SizeofResource(module_.get(), found));
    }

    std::string program_ = testing_support::Deliverable("autorun.exe");
    menu::LibraryModule module_;
};

template <typename T> T At(const std::string& bytes, size_t offset)
{
    T value{};
    if (offset + sizeof value <= bytes.size())
        memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

TEST_F(AutorunResources, VersionInformation)
{
    EXPECT_EQ(VersionText(program_, "FileVersion"), "1.00.0003");
    EXPECT_EQ(VersionText(program_, "FileDescription"), "CD Velmora");
}

TEST_F(AutorunResources, IconHasTwoImagesOf256Colours)
{
    // GRPICONDIR: reserved, type 1, count; then 14-byte entries.
    const std::string group = Resource(MAKEINTRESOURCEA(14), 1); // RT_GROUP_ICON
    ASSERT_GE(group.size(), 6u + 2 * 14);
    EXPECT_EQ(At<uint16_t>(group, 2), 1);
    ASSERT_EQ(At<uint16_t>(group, 4), 2);
    int sizes = 0;
    for (size_t i = 0; i < 2; ++i) {
        const size_t entry = 6 + 14 * i;
        sizes |= uint8_t(group[entry]);
        EXPECT_EQ(uint8_t(group[entry]), uint8_t(group[entry + 1]));
        EXPECT_EQ(At<uint16_t>(group, entry + 6), 8) << "bits per pixel";
    }
    EXPECT_EQ(sizes, 16 | 32);
}

TEST_F(AutorunResources, BackgroundIsABottomUpEightBitPictureOf255Colours)
{
    const std::string dib = Resource(MAKEINTRESOURCEA(2), 101); // RT_BITMAP
    ASSERT_GE(dib.size(), 40u);
    EXPECT_EQ(At<int32_t>(dib, 4), 563);  // width
    EXPECT_EQ(At<int32_t>(dib, 8), 563);  // height, positive: bottom-up
    EXPECT_EQ(At<uint16_t>(dib, 14), 8);  // bits per pixel
    EXPECT_EQ(At<uint32_t>(dib, 16), 0u); // BI_RGB, uncompressed
    EXPECT_EQ(At<uint32_t>(dib, 32), 255u);
    EXPECT_EQ(dib.size(), 40u + 255 * 4 + 564u * 563);
}

TEST_F(AutorunResources, HandPointerIs32By32In24BitsWithItsHotSpotAtTheFingerTip)
{
    // RT_GROUP_CURSOR entry: width, height (doubled), planes, bits, size, id;
    // the depth is read from the image's own header below.
    const std::string group = Resource(MAKEINTRESOURCEA(12), 102);
    ASSERT_GE(group.size(), 6u + 14);
    EXPECT_EQ(At<uint16_t>(group, 4), 1);
    EXPECT_EQ(At<uint16_t>(group, 6), 32);
    EXPECT_EQ(At<uint16_t>(group, 8), 64);
    const std::string cursor = Resource(MAKEINTRESOURCEA(1), At<uint16_t>(group, 18)); // RT_CURSOR
    ASSERT_GE(cursor.size(), 4u + 40);
    EXPECT_EQ(At<uint16_t>(cursor, 0), 5); // hot spot column
    EXPECT_EQ(At<uint16_t>(cursor, 2), 0); // hot spot row
    EXPECT_EQ(At<int32_t>(cursor, 4 + 4), 32);
    EXPECT_EQ(At<uint16_t>(cursor, 4 + 14), 24);
    // The hot spot lies on the pointer: its mask bit (row 0 is the last
    // mask row, bottom-up) is clear.
    const size_t mask = 4 + 40 + 32 * 32 * 3;
    const uint8_t topRowByte = uint8_t(cursor[mask + 31 * 4]);
    EXPECT_EQ(topRowByte & (0x80 >> 5), 0);
}

} // namespace
