// Traces: what the recording wrapper writes reads back record for record, and a damaged
// trace is refused with the line and column of the damage.

#include "device/trace_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "device/device_protocol.h"
#include "device/recording_transport.h"
#include "sim/virtual_clock.h"
#include "sim/virtual_writer.h"

namespace brevant {
namespace {

class TempFile {
public:
    explicit TempFile(const char* name)
        : path_((std::filesystem::temp_directory_path() /
                 (std::string(name) + "-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".trace"))
                    .string()) {}
    ~TempFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }
    std::string Contents() const {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    std::string path_;
};

TEST(RecordingTransport, RecordsEveryOperationOfAnExchangeWithTimes) {
    VirtualClock clock;
    VirtualWriter writer(clock);
    writer.FailExchange(1, Fault{FaultKind::NoAnswer, 0, {}});
    TempFile file("recording");
    TraceWriter trace;
    std::string error;
    ASSERT_TRUE(trace.Open(file.path(), error)) << error;
    {
        RecordingTransport recording(writer, clock, trace);
        CTolvaUsb device(recording);
        clock.Advance(5);
        device.Open();
        clock.Advance(20);
        EXPECT_EQ(device.GetMachineInfo(nullptr, nullptr, nullptr, nullptr), 0);
        EXPECT_NE(device.GetBootVersions(nullptr, nullptr, nullptr, nullptr), 0);  // unanswered: closes
        EXPECT_FALSE(recording.IsOpen());
    }
    ASSERT_TRUE(trace.Close()) << trace.error();

    std::vector<TraceRecord> records;
    ASSERT_TRUE(ReadTraceFile(file.path(), records, error)) << error;
    ASSERT_EQ(records.size(), 8u);
    EXPECT_EQ(records[0].event, TraceEvent::Start);
    EXPECT_EQ(records[0].value, uint32_t(clock.UnixSeconds()));
    records.erase(records.begin());
    EXPECT_EQ(records[0].event, TraceEvent::Open);
    EXPECT_EQ(records[0].milliseconds, 5u);
    EXPECT_EQ(records[0].value, 0u);
    EXPECT_EQ(records[1].event, TraceEvent::Write);
    EXPECT_EQ(records[1].milliseconds, 25u);
    EXPECT_EQ(records[1].value, kPacketHeaderSize);
    ASSERT_EQ(records[1].bytes.size(), kPacketHeaderSize);
    EXPECT_EQ(records[1].bytes[0], 'Q');
    EXPECT_EQ(records[1].bytes[packet_offset::kCode], CMD_MACHINE_INFO);
    EXPECT_EQ(records[2].event, TraceEvent::Read);
    EXPECT_EQ(records[2].value, kPacketBufferSize);  // the count asked for
    ASSERT_GE(records[2].bytes.size(), kPacketHeaderSize);
    EXPECT_EQ(records[2].bytes[1], 'Z');
    EXPECT_EQ(records[2].bytes[packet_offset::kCode], CMD_MACHINE_INFO);
    EXPECT_EQ(records[3].event, TraceEvent::Write);
    EXPECT_EQ(records[4].event, TraceEvent::Read);
    EXPECT_TRUE(records[4].bytes.empty());  // the failed read
    EXPECT_EQ(records[5].event, TraceEvent::Close);
    EXPECT_EQ(records[6].event, TraceEvent::Close);  // the device object's destructor
    EXPECT_EQ(records[6].line, 9u);
}

TEST(TraceFile, WrittenRecordsReadBackExactly) {
    TempFile file("roundtrip");
    TraceWriter trace;
    std::string error;
    ASSERT_TRUE(trace.Open(file.path(), error)) << error;
    std::vector<uint8_t> big(kMaxTraceRecordBytes);
    for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 7);
    trace.Append(TraceEvent::Open, 0, 259, nullptr, 0);
    trace.Append(TraceEvent::Write, 1, kMaxTraceRecordBytes, big.data(), kMaxTraceRecordBytes);
    trace.Append(TraceEvent::Read, 1, 65568, nullptr, 0);
    trace.Append(TraceEvent::Close, 4000000000ull, 0, nullptr, 0);
    ASSERT_TRUE(trace.Close());
    EXPECT_EQ(file.Contents().rfind("BREVANT-TRACE 1\nO 0 259\nW 1 65568 00070e15", 0), 0u);

    std::vector<TraceRecord> records;
    ASSERT_TRUE(ReadTraceFile(file.path(), records, error)) << error;
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].value, 259u);
    EXPECT_EQ(records[1].bytes, big);
    EXPECT_TRUE(records[2].bytes.empty());
    EXPECT_EQ(records[2].value, 65568u);
    EXPECT_EQ(records[3].milliseconds, 4000000000ull);
}

TEST(TraceFile, AcceptsCommentsMixedCaseHexAndCarriageReturns) {
    std::vector<TraceRecord> records;
    std::string error;
    ASSERT_TRUE(ParseTrace("BREVANT-TRACE 1\r\n# recorded at a desk\nW 0 2 aB0f\r\nR 3 65568 -\n", records, error))
        << error;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].bytes, (std::vector<uint8_t>{0xAB, 0x0F}));
    EXPECT_EQ(records[1].line, 4u);
}

TEST(TraceFile, DamageIsReportedWithItsPlace) {
    struct Case {
        const char* text;
        const char* error;
    };
    const std::string tooLong = "BREVANT-TRACE 1\nR 0 1 " + std::string(2 * (kMaxTraceRecordBytes + 1), '0') + "\n";
    const Case cases[] = {
        {"", "line 1: empty file"},
        {"BREVANT-TRACE 2\n", "line 1: not a trace"},
        {"BREVANT-TRACE 1\nX 0 0\n", "line 2, column 1: unknown record type 'X'"},
        {"BREVANT-TRACE 1\nW 0 2 00zz\n", "line 2, column 9: bad hex digit 'z'"},
        {"BREVANT-TRACE 1\nW 0 2 abc\n", "line 2, column 7: odd number of hex digits"},
        {"BREVANT-TRACE 1\nO 0 0\nW 0 2\n", "line 3, column 6: expected one blank"},
        {"BREVANT-TRACE 1\nO  0 0\n", "line 2, column 3: expected time in milliseconds"},
        {"BREVANT-TRACE 1\nC 0 4294967296\n", "line 2, column 5: result is above 4294967295"},
        {"BREVANT-TRACE 1\nO 0 0 1\n", "line 2, column 6: unexpected text"},
        {"BREVANT-TRACE 1\nO 5 0\nC 4 0\n", "line 3, column 3: time goes back from 5 to 4 ms"},
        {"BREVANT-TRACE 1\nO 5 0", "line 2: the last record has no line feed"},
        {"BREVANT-TRACE 1\n\n", "line 2, column 1: empty line"},
        {tooLong.c_str(), "line 2, column 7: 65569 bytes in one record (at most 65568)"},
    };
    for (const Case& c : cases) {
        std::vector<TraceRecord> records;
        std::string error;
        EXPECT_FALSE(ParseTrace(c.text, records, error)) << c.text;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << "got: " << error;
        EXPECT_TRUE(records.empty());
    }
}

TEST(TraceFile, MissingFileAndUnwritablePathSayWhich) {
    std::vector<TraceRecord> records;
    std::string error;
    EXPECT_FALSE(ReadTraceFile("/nonexistent/dir/x.trace", records, error));
    EXPECT_EQ(error.rfind("/nonexistent/dir/x.trace: cannot open", 0), 0u) << error;
    TraceWriter trace;
    EXPECT_FALSE(trace.Open("/nonexistent/dir/x.trace", error));
    EXPECT_FALSE(trace.IsOpen());
    trace.Append(TraceEvent::Open, 0, 0, nullptr, 0);  // harmless on a closed trace
}

TEST(TraceFile, FullDiskMarksTheTraceFailed) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    TraceWriter trace;
    std::string error;
    // The header fails to flush already.
    EXPECT_FALSE(trace.Open("/dev/full", error));
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
}

}  // namespace
}  // namespace brevant
