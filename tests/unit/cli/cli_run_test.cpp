// The console collector run as a program on the demo network: what it
// writes, and that a refused or bad command writes nothing.

#include <gtest/gtest.h>

#ifndef _WIN32

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;

class CliRun : public ::testing::Test {
protected:
    void SetUp() override {
        const char* binary = std::getenv("QUORVIN_BINARY_DIR");
        if (!binary) GTEST_SKIP() << "QUORVIN_BINARY_DIR is not set";
        build_ = binary;
        if (!fs::exists(build_ / "demo-network" / "network.ini")) GTEST_SKIP() << "no demo network";
        out_ = fs::temp_directory_path() / ("quorvin-cli-test-" + std::to_string(::getpid()));
        fs::remove_all(out_);
        fs::create_directories(out_);
    }
    void TearDown() override {
        if (!out_.empty()) fs::remove_all(out_);
    }

    // Runs quorvin-cli with `arguments`; its exit code.
    int Run(const std::string& arguments) {
        const std::string command = "'" + (build_ / "bin" / "quorvin-cli").string() + "' --network '" +
                                    (build_ / "demo-network").string() + "' " + arguments + " >'" +
                                    (out_ / "stdout").string() + "' 2>'" + (out_ / "stderr").string() + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Read(const std::string& name) {
        std::ifstream in(out_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    fs::path build_;
    fs::path out_;
};

TEST_F(CliRun, WritesTheExportFileAndTheReport) {
    ASSERT_EQ(Run("--computers PC01,pc01,PC03 --logs system --csv '" + (out_ / "e.csv").string() + "' --report '" +
                  (out_ / "r.txt").string() + "'"),
              0);
    const std::string csv = Read("e.csv");
    EXPECT_EQ(csv.rfind("種類,時刻,ｲﾍﾞﾝﾄ,ｺﾝﾋﾟｭｰﾀ名,ｿｰｽ,ｲﾍﾞﾝﾄID,ﾒｯｾｰｼﾞ\r\n", 0), 0u);
    EXPECT_NE(csv.find(",ｼｽﾃﾑ,PC01,"), std::string::npos);
    const std::string report = Read("r.txt");
    EXPECT_EQ(report.rfind("確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を開始します。\r\n確認:(PC01)ｼｽﾃﾑﾛｸﾞの取得を開始します。\r\n", 0), 0u);
    // The repeated name is collected once; PC03 is switched off.
    EXPECT_EQ(report.find("(pc01)"), std::string::npos);
    EXPECT_NE(report.find("失敗:(PC03)ｼｽﾃﾑﾛｸﾞの取得に失敗しました。\r\n"), std::string::npos);
    EXPECT_NE(report.find("ﾄｰﾀﾙ："), std::string::npos);
}

TEST_F(CliRun, RowsGoToStandardOutputWithoutACsvFile) {
    ASSERT_EQ(Run("--computers PC01 --logs application --types error"), 0);
    // The terminal's encoding here is UTF-8.
    EXPECT_NE(Read("stdout").find("\xE7\xA8\xAE\xE9\xA1\x9E"), std::string::npos);  // "種類"
    EXPECT_NE(Read("stderr").find("\xE7\xA2\xBA\xE8\xAA\x8D"), std::string::npos);  // "確認"
}

TEST_F(CliRun, RefusedJobsAndBadOptionsWriteNothing) {
    const std::string files = " --csv '" + (out_ / "e.csv").string() + "' --report '" + (out_ / "r.txt").string() + "'";
    EXPECT_EQ(Run("--computers PC01 --logs system --types success" + files), 2);  // no type for the System log
    EXPECT_EQ(Run("--computers PC01 --from 2099-01-02 --to 2099-01-01" + files), 2);
    EXPECT_EQ(Run("--computers PC01 --to 2999-01-01" + files), 2);  // after today
    EXPECT_EQ(Run("--computers PC01 --logs kernel" + files), 2);
    EXPECT_EQ(Run("--computer-list '" + (out_ / "missing.txt").string() + "'" + files), 2);
    EXPECT_FALSE(fs::exists(out_ / "e.csv"));
    EXPECT_FALSE(fs::exists(out_ / "r.txt"));
}

}  // namespace

#endif
