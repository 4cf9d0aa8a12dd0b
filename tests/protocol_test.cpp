// chew_study --protocol on simulated recordings: a malformed protocol file is refused with its
// line and reason and nothing written; a good one names the tasks, measures by role, is recorded
// in runs.csv with its checksum, and where it contradicts the fixed positions says so.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

const std::string kStudy = CHEW_STUDY_PATH;

class ProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(run_program(CHEW_SIMULATE_PATH,
                          {"--seed", "4", "--form", "three-point-4ch", "--rate", "200", "--scale",
                           "0.3", "--out", "rec.txt"},
                          dir_.path())
                  .status,
              0);
  }
  CommandResult study(const std::string& protocol, const std::string& out) {
    write_file(dir_.file("p.csv"), protocol);
    return run_program(kStudy, {"--quiet", "--protocol", "p.csv", "--out", out, "rec.txt"},
                       dir_.path());
  }
  TempDir dir_;
};

TEST_F(ProtocolTest, MalformedFilesAreRefusedWithTheirLineAndNothingIsWritten) {
  struct Case {
    const char* text;
    const char* error;  // after "chew_study: protocol 'p.csv'"
  };
  const Case cases[] = {
      {"experiment,task,role\n3,open,max_opening\n3,again,rest\n",
       " line 3: experiment 3 is listed again (first at line 2)"},
      {"experiment,task,role\n19,extra,rest\n",
       " line 2: experiment '19' is not a number from 1 to 18"},
      {"experiment,task,role\n0x3,open,max_opening\n",
       " line 2: experiment '0x3' is not a number from 1 to 18"},
      {"experiment,task,role\n5,side,lateral\n",
       " line 2: unknown role 'lateral'; the roles are clench, clench_reference, max_opening, "
       "laterotrusion_right, laterotrusion_left, protrusion, rest, chewing_free, chewing_right, "
       "chewing_left, other"},
      {"experiment;task;role\n1;clench;clench\n",
       " line 1: no column 'experiment': the header must name experiment, task and role"},
      {"experiment,role\n1,clench\n",
       " line 1: no column 'task': the header must name experiment, task and role"},
      {"experiment,task,role\n1,clench\n", " line 2: 2 fields, the header has 3"},
      {"experiment,task,role\n1,\"clench,clench\n", " line 2: a quote is not closed"},
      {"experiment,task,role\n\n", ": no experiment listed"},
      {"", ": empty, not even a header"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const CommandResult run = study(c.text, "out");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              std::string("chew_study: protocol 'p.csv'") + c.error + "; nothing evaluated\n");
    EXPECT_FALSE(std::filesystem::exists(dir_.file("out")));
  }
  const CommandResult missing =
      run_program(kStudy, {"--protocol", "none.csv", "--out", "out", "rec.txt"}, dir_.path());
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err,
            "chew_study: cannot open protocol 'none.csv': No such file or directory; nothing "
            "evaluated\n");
}

TEST_F(ProtocolTest, AGoodFileNamesTasksMeasuresByRoleAndIsRecorded) {
  // The built-in protocol, written out, is the built-in one: the same checksum.
  ASSERT_EQ(run_program(kStudy, {"--quiet", "--out", "builtin", "rec.txt"}, dir_.path()).status, 0);
  const auto builtin = csv_table(read_file(dir_.file("builtin/runs.csv"))).at(0);
  EXPECT_EQ(builtin.at("protocol"), "built-in");
  std::string text = "experiment,task,role\n";
  const char* const tasks[] = {"maximal clenching (MVC)", "maximal opening", "free chewing",
                               "chewing on the right side", "chewing on the left side"};
  for (int k = 1; k <= 18; ++k) {
    const char* task = k <= 2    ? tasks[0]
                       : k <= 4  ? tasks[1]
                       : k >= 13 ? tasks[2 + (k - 13) / 2]
                                 : "";
    const char* role = k <= 2    ? "clench"
                       : k <= 4  ? "max_opening"
                       : k >= 17 ? "chewing_left"
                       : k >= 15 ? "chewing_right"
                       : k >= 13 ? "chewing_free"
                                 : "other";
    text += std::to_string(k) + "," + (task[0] ? task : "experiment " + std::to_string(k)) + "," +
            role + "\n";
  }
  ASSERT_EQ(study(text, "same").status, 0);
  const auto same = csv_table(read_file(dir_.file("same/runs.csv"))).at(0);
  EXPECT_EQ(same.at("protocol"), "p.csv");
  EXPECT_EQ(same.at("protocol_sha256"), builtin.at("protocol_sha256"));

  // A lab's order: 5 and 6 laterotrusions, 7 protrusion, 12 a reference clench; 3 given another
  // role than the maximal opening the classic report takes it for. CRLF line ends, a BOM, a
  // quoted task with a comma, columns in another order and one more.
  const std::string lab =
      "\xEF\xBB\xBFrole,experiment,task,note\r\nprotrusion,3,\"forward, first\",x\r\n"
      "max_opening,4,opening,\r\nlaterotrusion_right,5,right,\r\nlaterotrusion_left,6,left,\r\n"
      "protrusion,7,forward,\r\nclench_reference,12,cotton rolls,\r\nclench,1,clench,\r\n"
      "chewing_free,13,,\r\nchewing_free,14,,\r\nchewing_right,15,,\r\nchewing_right,16,,\r\n"
      "chewing_left,17,,\r\nchewing_left,18,,\r\n";
  ASSERT_EQ(study(lab, "lab").status, 0);
  const auto run = csv_table(read_file(dir_.file("lab/runs.csv"))).at(0);
  EXPECT_EQ(run.at("protocol_sha256"),
            run_program("sha256sum", {"p.csv"}, dir_.path()).out.substr(0, 64));
  std::string roles;
  for (const auto& row : csv_table(read_file(dir_.file("lab/movements.csv"))))
    roles += row.at("experiment") + " " + row.at("task") + " " + row.at("role") + "; ";
  EXPECT_EQ(roles,
            "3 forward, first protrusion; 4 opening max_opening; 5 right laterotrusion_right; "
            "6 left laterotrusion_left; 7 forward protrusion; ");
  const auto clenches = csv_table(read_file(dir_.file("lab/clenches.csv")));
  ASSERT_EQ(clenches.size(), 2u);  // experiment 2 is `other` now
  for (const auto& row : clenches) EXPECT_EQ(row.at("standardized"), "1") << row.at("experiment");
  std::string findings;
  for (const auto& row : csv_table(read_file(dir_.file("lab/findings.csv"))))
    findings += row.at("check") + " " + row.at("experiment") + "; ";
  EXPECT_EQ(findings, "protocol_role 2; protocol_role 3; ");
}

}  // namespace
