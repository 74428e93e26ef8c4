// The one JSON object of --json: well-formed whatever the texts hold, and carrying the
// before and after state of each component.

#include <gtest/gtest.h>

#include "app/cli/check_report.h"
#include "app/cli/json_writer.h"

namespace brevant {
namespace {

TEST(JsonWriter, CommasNestingAndEscapes) {
    JsonWriter j;
    j.BeginObject().Field("a", 1).Key("list").BeginArray().Number(-2).Bool(true).Null().BeginObject().EndObject().EndArray();
    j.Field("text", std::string_view("q\"b\\n\nt\t\x01\xE9", 10)).EndObject();
    EXPECT_EQ(j.text(), R"({"a":1,"list":[-2,true,null,{}],"text":"q\"b\\n\nt\t\u0001\u00e9"})");
}

CheckReport Report(CheckVerdict verdict, const char* writerText) {
    CheckReport r;
    r.outcome = CheckOutcome::Checked;
    r.machineType = 19;
    r.machineName = "Brevant";
    r.admitted = true;
    r.identity.appVersion = 0x01090000;
    ComponentCheck c;
    c.id = ComponentId::XLoader;
    c.name = "X-Loader";
    c.verdict = verdict;
    c.writer = writerText;
    r.components.push_back(c);
    return r;
}

TEST(RunJson, EachComponentCarriesItsStateBeforeAndAfter) {
    const std::string json =
        RunJson(Report(CheckVerdict::WouldUpdate, "\"X-Loader 5.00 (\""), Report(CheckVerdict::UpToDate, "6.00"), "updated", 0);
    EXPECT_EQ(json.rfind(R"({"mode":"update","writer":{"found":true,"answered":true,"machineType":19,)", 0), 0u) << json;
    EXPECT_NE(json.find(R"({"name":"X-Loader","before":{"verdict":"update","reached":true,"writer":"\"X-Loader 5.00 (\"",)"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find(R"("after":{"verdict":"up-to-date")"), std::string::npos) << json;
    EXPECT_EQ(json.substr(json.size() - 34), R"("result":"updated","exitStatus":0})") << json;
}

TEST(CheckJson, WriterThatWasNotFound) {
    CheckReport r;
    EXPECT_EQ(CheckExitStatus(r), 1);
    EXPECT_EQ(CheckJson(r, 1),
              R"({"mode":"check","writer":{"found":false,"answered":false},"components":[],"result":"no-writer","exitStatus":1})");
}

}  // namespace
}  // namespace brevant
