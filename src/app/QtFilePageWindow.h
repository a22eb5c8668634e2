#pragma once
#include <functional>

#include "playback/FilePage.h"
#include "playback/PlaybackWindow.h"

namespace Ui {
class TMainWin;
}

// The File page's controls for the playback engine, its read-outs and its handlers.
class QtFilePageWindow : public PlaybackWindow, public FilePageWindow {
public:
    using OpenDialog =
        std::function<std::optional<std::string>(const std::string& filter, int filterIndex)>;

    QtFilePageWindow(Ui::TMainWin& ui, std::function<void()> pause,
                     std::function<void()> groupFormat, OpenDialog openDialog);

    // ReadoutWindow / PlaybackWindow
    void setRangeText(const std::string& text) override;
    void setSpeedText(const std::string& text) override;
    void setCalculatedSpeedText(const std::string& text) override;
    void setWaypointIdText(const std::string& text) override;
    int pauseSecondsPosition() const override;
    int recordsPerTickPosition() const override;
    std::string triggerText() const override;
    void setOpenFileCaption(const std::string& text) override;
    void setFileNameText(const std::string& text) override;

    // FilePageWindow
    int currentPage() const override;
    int fileTypeItem() const override;
    void selectFileTypeItem(int item) override;
    void selectFormatItem(int item) override;
    bool loopChecked() const override;
    void setLoopChecked(bool checked) override;
    void setRecordsPerTickPosition(int position) override;
    std::string chunksText() const override;
    void setChunksText(const std::string& text) override;
    void setPauseSecondsPosition(int position) override;
    std::string secPauseText() const override;
    void setSecPauseText(const std::string& text) override;
    std::optional<std::string> runOpenDialog(const std::string& filter, int filterIndex) override;
    void MNU_PauseClick() override { pause(); }
    void GroupFormatClick() override { groupFormat(); }

    OpenDialog openDialog;

private:
    Ui::TMainWin& ui;
    std::function<void()> pause;
    std::function<void()> groupFormat;
};

// The platform's open-file dialog for an existing file; "name|pattern|..." filters.
std::optional<std::string> RunQtOpenDialog(const std::string& filter, int filterIndex);
