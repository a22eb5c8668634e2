#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "pages/FilePage.h"

class QFileDialog;

namespace Ui {
class TMainWin;
}

// The File page's controls for the playback engine, its read-outs and its handlers, and the
// main window's page and Pause controls.
class QtFilePageWindow : public FilePageWindow {
public:
    using OpenDialog =
        std::function<std::optional<std::string>(const std::string& filter, int filterIndex)>;

    QtFilePageWindow(Ui::TMainWin& ui, OpenDialog openDialog);

    // PauseMarks
    void setPauseChecked(bool checked) override;

    // FilePageWindow
    int currentPage() const override;
    void selectPage(int page) override;
    int pauseSecondsPosition() const override;
    int recordsPerTickPosition() const override;
    void setReadoutText(Readout which, const std::string& text) override;
    std::string triggerText() const override;
    void setTriggerText(const std::string& text) override;
    void setOpenFileCaption(const std::string& text) override;
    void setFileNameText(const std::string& text) override;
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

    OpenDialog openDialog;

private:
    Ui::TMainWin& ui;
};

// The platform's open-file dialog for an existing file; "name|pattern|..." filters. It starts
// in `folder` (the samples when empty) and leaves there the folder the user was last in.
std::optional<std::string> RunQtOpenDialog(const std::string& filter, int filterIndex,
                                           QString& folder);
// The recordings installed beside the program, else the source tree's, else the home folder.
QString SamplesFolder();
// Those filters as the dialog takes them: each name as it stands, then its patterns.
QStringList QtNameFilters(const std::string& filter);
// The dialog RunQtOpenDialog runs, with those filters and the given one selected.
std::unique_ptr<QFileDialog> MakeOpenDialog(const std::string& filter, int filterIndex,
                                            const QString& folder = {});
