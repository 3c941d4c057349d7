// Where the console's outputs land, and which of them may share a place.

#include "cli/output.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

using namespace quorvin::cli;

TEST(CliOutput, PlacesCompareFilesNotNames) {
    quorvin::network::test::TempFolder temp;
    const auto folder = temp.Path();
    std::filesystem::create_directories(folder / "sub");
    // Not yet there: the folder and the name tell.
    EXPECT_EQ(PlaceOf(folder / "x.csv"), PlaceOf(folder / "sub" / ".." / "x.csv"));
    EXPECT_FALSE(PlaceOf(folder / "x.csv") == PlaceOf(folder / "y.csv"));
    EXPECT_FALSE(PlaceOf(folder / "no" / "x.csv"));
    // There: the file itself, whatever the name.
    std::FILE* file = std::fopen((folder / "x.csv").string().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EXPECT_EQ(PlaceOf(folder / "x.csv"), PlaceOf(folder / "sub" / ".." / "x.csv"));
    EXPECT_TRUE(PlaceOf(folder / "x.csv")->newName.empty());
}

TEST(CliOutput, OnlyFilesRefuseASecondOutput) {
    OutputPlace file{1, 2, "", false};
    OutputPlace device{1, 3, "", true};
    OutputPlace fresh{1, 4, "a.txt", false};
    EXPECT_EQ(SharedOutputRefusal({{"--csv", file}, {"--report", device}, {"--trace", fresh}}), "");
    EXPECT_EQ(SharedOutputRefusal({{"--csv", device}, {"--report", device}}), "");
    EXPECT_EQ(SharedOutputRefusal({{"--csv", file}, {"--report", std::nullopt}, {"--trace", file}}),
              "--csv and --trace name the same file");
    EXPECT_EQ(SharedOutputRefusal({{"--csv", fresh}, {"standard output (the rows)", fresh}}),
              "--csv and standard output (the rows) name the same file");
}
