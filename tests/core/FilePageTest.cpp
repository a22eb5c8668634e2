#include <gtest/gtest.h>

#include "core/PlaybackFakes.h"
#include "playback/FilePage.h"

namespace {

// Records the calls the handlers make; the Pause command inverts paused as the main window's
// does, and the Format handler stores the selected format when it differs.
class FakeFilePageWindow : public FilePageWindow {
public:
    explicit FakeFilePageWindow(EmulatorState& s) : state(s) {}
    int currentPage() const override { return page; }
    int fileTypeItem() const override { return fileType; }
    void selectFileTypeItem(int item) override { fileType = item; }
    void selectFormatItem(int item) override { formatItem = item; }
    bool loopChecked() const override { return loop; }
    void setLoopChecked(bool checked) override { loop = checked; }
    int recordsPerTickPosition() const override { return lps; }
    void setRecordsPerTickPosition(int p) override { lps = p; }
    std::string chunksText() const override { return chunks; }
    void setChunksText(const std::string& t) override { chunks = t; }
    int pauseSecondsPosition() const override { return sec; }
    void setPauseSecondsPosition(int p) override { sec = p; }
    std::string secPauseText() const override { return secText; }
    void setSecPauseText(const std::string& t) override { secText = t; }
    std::optional<std::string> runOpenDialog(const std::string& filter, int index) override {
        calls.push_back("dialog " + filter + " " + std::to_string(index));
        return chosen;
    }
    void MNU_PauseClick() override {
        state.paused = !state.paused;
        calls.push_back(state.paused ? "pause on" : "pause off");
    }
    void GroupFormatClick() override {
        if (formatItem != static_cast<int>(state.format)) {
            state.format = static_cast<OutputFormat>(formatItem);
            calls.push_back("format " + std::to_string(formatItem));
        }
    }
    EmulatorState& state;
    int page = 0, fileType = -1, formatItem = -1, lps = 25, sec = 1;
    bool loop = false;
    std::string chunks, secText = "1";
    std::optional<std::string> chosen;
    std::vector<std::string> calls;
};

struct PageRig {
    PlaybackRig playback;
    EmulatorState& state = playback.state;
    FakeFilePageWindow window{state};
    FilePage page{state, window, playback.engine};

    void switchTo(int index) {
        window.page = index;
        page.TAB_mainChange();
    }
};

TEST(FilePage, EnteringPausesAndLeavingRestores) {
    struct Row {
        const char* name;
        bool pausedBefore;
        bool releasedOnFilePage;
        bool pausedAfterReturn;
    };
    const Row rows[] = {
        {"running", false, false, false},
        {"paused", true, false, true},
        {"paused, released on File page", true, true, true},
        {"running, released on File page", false, true, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        PageRig rig;
        rig.state.paused = r.pausedBefore;
        rig.switchTo(1);
        EXPECT_TRUE(rig.state.paused);
        if (r.releasedOnFilePage)
            rig.window.MNU_PauseClick();
        rig.switchTo(0);
        EXPECT_EQ(rig.state.paused, r.pausedAfterReturn);
        EXPECT_EQ(rig.window.calls.back(), r.pausedAfterReturn ? "pause on" : "pause off");
    }
}

TEST(FilePage, EnteringAppliesFileTypeLoopAndRecordCount) {
    struct Row {
        bool nmea;
        int fileTypeItem;
        OutputFormat format;
        std::vector<std::string> calls;
    };
    const Row rows[] = {
        {true, 0, OutputFormat::NmeaV3, {"format 1", "pause on"}},
        {false, 1, OutputFormat::Aviation, {"pause on"}},
    };
    for (const auto& r : rows) {
        PageRig rig;
        rig.state.fileTypeNmea = r.nmea;
        rig.state.loop = true;
        rig.window.lps = 40;
        rig.switchTo(1);
        EXPECT_EQ(rig.window.fileType, r.fileTypeItem);
        EXPECT_EQ(rig.state.format, r.format);
        EXPECT_EQ(rig.state.fileTypeNmea, r.nmea);
        EXPECT_EQ(rig.window.chunks, "40");
        EXPECT_TRUE(rig.window.loop);
        EXPECT_EQ(rig.window.calls, r.calls);
    }
}

TEST(FilePage, PauseSecondsText) {
    struct Row {
        const char* text;
        int position;
        const char* textAfter;
    };
    const Row rows[] = {
        {"5", 5, "5"}, {"99", 99, "99"}, {"1", 1, "1"},   {"100", 7, "7"},
        {"0", 7, "7"}, {"-3", 7, "7"},   {"abc", 7, "7"}, {"99999999999", 7, "7"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        PageRig rig;
        rig.window.sec = 7;
        rig.window.secText = r.text;
        rig.page.EDIT_SecPauseChange();
        EXPECT_EQ(rig.window.sec, r.position);
        EXPECT_EQ(rig.window.secText, r.textAfter);
        EXPECT_FALSE(rig.state.intervalPending);
    }
}

TEST(FilePage, RecordCountText) {
    struct Row {
        const char* text;
        int position;
    };
    const Row rows[] = {{"30", 30}, {"1", 1},   {"100", 100}, {"150", 100},
                        {"0", 25},  {"-5", 25}, {"", 25}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        PageRig rig;
        rig.window.chunks = r.text;
        rig.page.EDIT_chunksChange();
        EXPECT_EQ(rig.window.lps, r.position);
    }
}

TEST(FilePage, PauseSecondsClickSetsTextAndPendingInterval) {
    PageRig rig;
    rig.window.sec = 5;
    rig.page.UpDown_secClick();
    EXPECT_EQ(rig.window.secText, "5");
    EXPECT_TRUE(rig.state.intervalPending);
}

TEST(FilePage, OpenButton) {
    PageRig rig;
    auto& events = rig.playback.events;
    const std::string dialog = "dialog Text files (*.txt)|*.txt|All files (*.*)|*.* 1";

    rig.page.BTN_OpenFileClick(); // cancelled
    EXPECT_EQ(rig.window.calls, std::vector<std::string>{dialog});
    EXPECT_FALSE(rig.state.fileOpen);

    rig.window.chosen = "/no/such/dir/file.txt";
    rig.page.BTN_OpenFileClick();
    EXPECT_FALSE(rig.state.fileOpen);
    EXPECT_TRUE(events.empty());

    rig.window.chosen = WriteTempFile("chosen.txt", "$GPRMB\n");
    rig.page.BTN_OpenFileClick();
    EXPECT_TRUE(rig.state.fileOpen);
    EXPECT_EQ(events,
              (std::vector<std::string>{"caption \"Close file\"", "filename \"chosen.txt\""}));

    rig.window.calls.clear();
    rig.page.BTN_OpenFileClick(); // closes without the dialog
    EXPECT_TRUE(rig.window.calls.empty());
    EXPECT_FALSE(rig.state.fileOpen);
    EXPECT_EQ(events.back(), "filename \"\"");
}

} // namespace
