#include "rules/run_outcome.h"

#include <gtest/gtest.h>

#include "engine/report.h"

using namespace quorvin::run;
using quorvin::engine::LogKind;
using quorvin::engine::Report;

// The outcomes read back from a report the engine's own lines wrote: a
// computer with warnings only, one off, one whose alternate login failed
// and then a log, one stopped, and a name in another case.
TEST(RunOutcome, EachComputersFailedLogsAndTheProblemBehindThemFromTheReportsLines) {
    std::string text;
    Report report(text, [](std::uint32_t error) {
        return error == 1722 ? std::string("RPC サーバーを利用できません。\r\n") : "エラー " + std::to_string(error) + "\r\n";
    });
    report.RunStarted();
    report.LogStarted("DC01", LogKind::System);
    report.ParameterFileLoadFailed("\\\\DC01", "system", "Service Control Manager", "\\\\DC01\\C$\\k.dll", 5);
    report.LogEnded("DC01", LogKind::System);
    for (const LogKind log : {LogKind::System, LogKind::Security, LogKind::Application}) {
        report.LogStarted("PC03", log);
        report.OpenFailed("\\\\PC03", "system", 1722);
        report.LogFailed("PC03", log);
    }
    report.AlternateLoginFailed("FS01", "admin", 1326);
    report.LogStarted("FS01", LogKind::System);
    report.LogEnded("FS01", LogKind::System);
    report.LogStarted("fs01", LogKind::Security);
    report.ReadFailed("\\\\fs01", "security", "Security", 1450);
    report.LogFailed("fs01", LogKind::Security);
    report.LogStarted("PC09", LogKind::System);
    report.Cancelled("PC09");

    std::vector<ComputerOutcome> outcomes = ReadRunOutcomes(text);
    ASSERT_EQ(outcomes.size(), 4u) << text;
    EXPECT_EQ(outcomes[0].name, "DC01");
    EXPECT_FALSE(outcomes[0].Failed());
    EXPECT_EQ(outcomes[0].firstProblem.rfind("ﾗｲﾌﾞﾗﾘ \\\\DC01\\C$\\k.dll のﾛｰﾄﾞに失敗しました。 エラー 5", 0), 0u)
        << outcomes[0].firstProblem;
    EXPECT_EQ(OutcomeText(outcomes[1], 2), "ｼｽﾃﾑ、ｾｷｭﾘﾃｨ、ｱﾌﾟﾘｹｰｼｮﾝ");
    EXPECT_EQ(outcomes[1].firstProblem, "ｲﾍﾞﾝﾄのｵｰﾌﾟﾝに失敗しました。 RPC サーバーを利用できません。");
    // The login's warning came first; the failed log's own error is the problem shown.
    EXPECT_EQ(outcomes[2].name, "FS01");
    EXPECT_EQ(OutcomeText(outcomes[2], 2), "ｾｷｭﾘﾃｨ");
    EXPECT_EQ(outcomes[2].firstProblem, "ｲﾍﾞﾝﾄの読み込みに失敗しました。 エラー 1450");
    EXPECT_TRUE(outcomes[3].cancelled);
    EXPECT_EQ(OutcomeText(outcomes[3], 2), "(中止)");

    const std::vector<ComputerOutcome> shown = SummaryOrder(outcomes);
    EXPECT_EQ(shown[0].name + shown[1].name + shown[2].name + shown[3].name, "PC03FS01PC09DC01");
}
