#pragma once
// The main window's controls as plain values, for the pages' handlers without a display.
#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <string>

#include "pages/FilePage.h"
#include "pages/SimulatorPage.h"

// The main window's controls as values; numbers are read with `separator` only.
class FakeWindow : public SimulatorWindow, public FilePageWindow {
public:
    std::string text(Control c) const override { return texts.count(c) ? texts.at(c) : ""; }
    void setText(Control c, const std::string& t) override { texts[c] = t; }
    void selectAll(Control c) override { selected = c; }
    bool toNumber(const std::string& t, double& number) const override {
        std::string s = t;
        if (separator != "." && s.find('.') != std::string::npos)
            return false;
        std::replace(s.begin(), s.end(), separator[0], '.');
        const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), number);
        return error == std::errc() && end == s.data() + s.size();
    }
    std::string decimalSeparator() const override { return separator; }
    void setEnabled(Control c, bool on) override { enabled[c] = on; }
    void setFocus(Control c) override { focus = c; }
    bool isChecked(Control c) const override { return checked.count(c) && checked.at(c); }
    int itemIndex(Control g) const override { return items.count(g) ? items.at(g) : -1; }
    void setItemIndex(Control g, int i) override { items[g] = i; }
    void setPosition(Control c, int p) override { positions[c] = std::clamp(p, 1, 100); }

    void setPauseChecked(bool on) override { pauseChecked = on; }
    int currentPage() const override { return page; }
    void selectPage(int p) override { page = p; }
    int fileTypeItem() const override { return fileType; }
    void selectFileTypeItem(int i) override { fileType = i; }
    void selectFormatItem(int i) override { items[Control::GroupFormat] = i; }
    bool loopChecked() const override { return loop; }
    void setLoopChecked(bool on) override { loop = on; }
    int recordsPerTickPosition() const override { return positions.at(Control::UpDown_lps); }
    void setRecordsPerTickPosition(int p) override { setPosition(Control::UpDown_lps, p); }
    std::string chunksText() const override { return text(Control::EDIT_chunks); }
    void setChunksText(const std::string& t) override { texts[Control::EDIT_chunks] = t; }
    int pauseSecondsPosition() const override { return positions.at(Control::UpDown_sec); }
    void setPauseSecondsPosition(int p) override { setPosition(Control::UpDown_sec, p); }
    std::string secPauseText() const override { return text(Control::EDIT_SecPause); }
    void setSecPauseText(const std::string& t) override { texts[Control::EDIT_SecPause] = t; }
    std::string triggerText() const override { return trigger; }
    void setTriggerText(const std::string& t) override { trigger = t; }
    void setOpenFileCaption(const std::string& t) override { caption = t; }
    void setFileNameText(const std::string& t) override { fileName = t; }
    void setReadoutText(Readout, const std::string&) override {}
    std::optional<std::string> runOpenDialog(const std::string&, int) override { return chosen; }

    std::map<Control, std::string> texts;
    std::map<Control, bool> checked, enabled;
    std::map<Control, int> items, positions{{Control::UpDown_lps, 25}, {Control::UpDown_sec, 1}};
    std::optional<Control> focus, selected;
    std::string separator = ".";
    int page = 0, fileType = 0;
    bool loop = false, pauseChecked = false;
    std::string trigger = "GPRMB", caption = "Open file", fileName;
    std::optional<std::string> chosen;
};
