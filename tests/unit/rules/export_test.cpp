#include "rules/export.h"

#include <gtest/gtest.h>

#include "support/time_zone.h"

using namespace quorvin::run;

namespace {

ExportRow Row(const char* type, const char* source, const std::string& message) {
    return ExportRow{"ignored", type, "2003/01/15 09:05:07  ", "ｼｽﾃﾑ", "SV1", source, "7", message};
}

}  // namespace

TEST(Export, FileIsTheHeaderAndOneLinePerRowQuotingOnlyCellsThatNeedIt) {
    const std::string header = "種類,時刻,ｲﾍﾞﾝﾄ,ｺﾝﾋﾟｭｰﾀ名,ｿｰｽ,ｲﾍﾞﾝﾄID,ﾒｯｾｰｼﾞ\r\n";
    EXPECT_EQ(ExportFileContent({}), header);
    const std::string file = ExportFileContent({Row("エラー", "", "a, b,c"), Row("成功", "Srv", "")});
    EXPECT_EQ(file, header +
                        "エラー,2003/01/15 09:05:07  ,ｼｽﾃﾑ,SV1,-,7,\"a, b,c\"\r\n"
                        "成功,2003/01/15 09:05:07  ,ｼｽﾃﾑ,SV1,Srv,7,-\r\n");
    // A double quote anywhere, a CR or an LF (another program's cell) quotes
    // the cell; double-byte texts whose trail byte is "\\" stay as they are.
    EXPECT_EQ(ExportFileContent({Row("警告", "\"The system", "x\r\ny\"z\"")}),
              header + "警告,2003/01/15 09:05:07  ,ｼｽﾃﾑ,SV1,\"\"\"The system\",7,\"x\r\ny\"\"z\"\"\"\r\n");
    EXPECT_EQ(ExportLine(Row("表ソ", "-", "a\"")), "表ソ,2003/01/15 09:05:07  ,ｼｽﾃﾑ,SV1,-,7,\"a\"\"\"\r\n");
    // Titles come from the list's columns; column 0 is never written.
    EXPECT_EQ(ExportFileContent(ExportRow{"x", "1", "2", "3", "4", "5", "6", ""}, {}), "1,2,3,4,5,6,-\r\n");
    // Written line by line, the file is the same.
    EXPECT_EQ(ExportLine(EventColumnTitles()) + ExportLine(Row("エラー", "", "a, b,c")) + ExportLine(Row("成功", "Srv", "")),
              file);
}

TEST(Export, CellsAreCutAsTheListBufferHandsThemOver) {
    const std::string big(1500, 'm');
    std::string line = ExportFileContent({Row("警告", "S", big)});
    EXPECT_NE(line.find("," + std::string(1023, 'm') + "\r\n"), std::string::npos);
    EXPECT_EQ(line.find(std::string(1024, 'm')), std::string::npos);
    // A double-byte character that would not fit whole is left out.
    line = ExportFileContent({Row("警告", "S", std::string(1022, 'm') + "表")});
    EXPECT_NE(line.find("," + std::string(1022, 'm') + "\r\n"), std::string::npos);
    line = ExportFileContent({Row("警告", std::string("ab\0cd", 5).c_str(), std::string("\0x", 2))});
    EXPECT_NE(line.find(",ab,7,-\r\n"), std::string::npos);
    // The cut comes first: a cell of 1023 bytes after quoting stays whole.
    line = ExportLine(Row("警告", "S", std::string(1400, ',')));
    EXPECT_NE(line.find(",\"" + std::string(1023, ',') + "\"\r\n"), std::string::npos);
}

TEST(Export, DefaultFileNameIsTheLocalDate) {
    const std::string name = DefaultExportFileName(1042588800);
    ASSERT_EQ(name.size(), 13u);
    EXPECT_EQ(name.substr(0, 3), "log");
    EXPECT_EQ(name.substr(9), ".txt");

    QUORVIN_REQUIRE_TZ();
    {
        quorvin::testing::ScopedTimeZone zone("JST-9");
        EXPECT_EQ(DefaultExportFileName(1042588800 - 3600), "log030115.txt");  // 2003-01-14 23:00 UTC
    }
    quorvin::testing::ScopedTimeZone zone("EST5EDT,M4.1.0,M10.5.0");
    EXPECT_EQ(DefaultExportFileName(1042588800 + 3600), "log030114.txt");
    EXPECT_EQ(DefaultExportFileName(946684800 + 86400), "log000101.txt");
}
