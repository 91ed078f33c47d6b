// Reading recorded heart rhythms: the real files, each accepted form, and bad input.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "sources/recording_reader.hpp"
#include "support/test_support.hpp"

namespace {

using brix::readRecording;

std::string fileText(const std::string& name) {
    std::ifstream in(testdataDir() / "rr" / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(RecordingReader, RealRecordingsReadInFull) {
    // A plain list in ms with Windows line ends.
    const auto rest = readRecording(fileText("real_rri.txt"));
    ASSERT_EQ(rest.error, "");
    ASSERT_EQ(rest.intervalsMs.size(), 771u);
    EXPECT_EQ(rest.skipped, 1u); // its last line is a 0
    EXPECT_EQ(rest.intervalsMs[0], 1136.0);
    EXPECT_EQ(rest.intervalsMs[4], 956.0);
    // A heart-rate-monitor file: only the [HRData] lines, the first column.
    const auto hrm = readRecording(fileText("noisy_rri.hrm"));
    ASSERT_EQ(hrm.error, "");
    ASSERT_EQ(hrm.intervalsMs.size(), 3581u);
    EXPECT_EQ(hrm.intervalsMs[0], 904.0);
    EXPECT_EQ(hrm.intervalsMs[2], 937.0);
}

TEST(RecordingReader, SecondsCommentsAndCsvColumns) {
    using V = std::vector<double>;
    EXPECT_EQ(readRecording("# at rest\n0.812\n\n0.9 # sitting\r\n1.25\n").intervalsMs,
              (V{812, 900, 1250}));
    EXPECT_EQ(readRecording("time,RR-interval (ms),hr\n0.0,812,73\n0.8,790,75\n").intervalsMs,
              (V{812, 790}));
    EXPECT_EQ(readRecording("\xEF\xBB\xBF\"ibi\";x\n0,8;1\n0,75;2\n").intervalsMs.size(), 0u)
        << "a decimal comma is no number here";
    EXPECT_EQ(readRecording("ibi_s\t beat\n0.8\t1\n0.75\t2\n").intervalsMs, (V{800, 750}));
    EXPECT_EQ(readRecording("rr\n640\n655\n").intervalsMs, (V{640, 655}));
    // Glitches (0, negative, a pause of 70 s) are left out; the beats around them stay.
    const auto glitches = readRecording("0.8\n0\n0.81\n-0.7\n70\n0.79\n");
    EXPECT_EQ(glitches.intervalsMs, (V{800, 810, 790}));
    EXPECT_EQ(glitches.skipped, 3u);
    // One interval is a recording too (looped, a steady pulse).
    EXPECT_EQ(readRecording("1000\n").intervalsMs, (V{1000}));
}

// The program's own session record replays with its breathing; a glitch takes its breath
// along, a beat across a gap stays (its interval is real), and the other forms have none.
TEST(RecordingReader, TheProgramsOwnRecordKeepsItsBreathing) {
    const auto record =
        readRecording("beat,ms,interval_ms,hr_bpm,phase,beat_in_phase,cycle,cue,breath,gap\n"
                      "1,812,812,73.9,inhale,1,1,1.wav,,\n"
                      "2,1602,790,75.9,inhale,2,1,,1,\n"
                      "3,1702,100,600.0,hold-in,1,1,2.wav,0,\n"
                      "4,4502,2800,21.4,exhale,1,1,3.wav,0,1\n"
                      "5,5302,800,75.0,exhale,2,1,,,\n");
    ASSERT_EQ(record.error, "");
    EXPECT_EQ(record.intervalsMs, (std::vector<double>{812, 790, 2800, 800}));
    EXPECT_EQ(record.breath, (std::vector<signed char>{-1, 1, 0, -1}));
    EXPECT_EQ(record.skipped, 1u);
    // A heartbeat column by its usual name wins over interval_ms.
    EXPECT_EQ(readRecording("interval_ms,rr\n5,800\n").intervalsMs, (std::vector<double>{800}));
    EXPECT_TRUE(readRecording("rr\n640\n655\n").breath.empty());
    // A record made without a breath sensor replays without one.
    EXPECT_TRUE(readRecording("interval_ms,breath\n640,\n655,\n").breath.empty());
    EXPECT_EQ(readRecording("rr,breath\n800,1\n810,in\n").error,
              "line 3: 'in' is not a breath value (1, 0 or empty)");
}

TEST(RecordingReader, BadInputNamesTheProblemAndItsLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "the file holds no intervals"},
        {"# nothing\n\n", "the file holds no intervals"},
        {"800\n810\nabc\n", "line 3: 'abc' is not an interval in milliseconds or seconds"},
        {"800\n8 10\n", "line 2: '8 10' is not an interval in milliseconds or seconds"},
        {"\x01\xff\x7f", "line 1: '???' is not an interval in milliseconds or seconds"},
        {"0\n-790\n4000\n",
         "line 1: 0 ms is not a heartbeat interval (200 to 3000 ms), nor is any other line"},
        {"800\nnan\n", "line 2: 'nan' is not an interval in milliseconds or seconds"},
        {"time,hr\n0,70\n",
         "line 1: no interval column in the header (name one rr, ibi, rr_ms or RR-interval)"},
        {"time,rr\n0,800\n1\n", "line 3: '1' is not an interval in milliseconds or seconds"},
        {"[Params]\nInterval=238\n[Note]\n", "the heart-rate file has no [HRData] section"},
        {"[Params]\nInterval=1\n[HRData]\n70\n",
         "line 3: the heart-rate data are not beat intervals: [Params] say Interval=1, only "
         "Interval=238 holds them"},
    };
    for (const auto& c : cases) {
        const auto read = readRecording(c.text);
        EXPECT_EQ(read.error, c.error) << "for " << testing::PrintToString(std::string(c.text));
        EXPECT_TRUE(read.intervalsMs.empty());
    }
}

} // namespace
