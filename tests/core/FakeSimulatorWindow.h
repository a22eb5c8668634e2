#pragma once
// A Simulator page without a window system: holds the controls' texts, check states and
// items, and logs every change the logic makes, in order.
#include <charconv>
#include <map>
#include <string>
#include <vector>

#include "core/Fakes.h"
#include "emulator/FuelFlow.h"
#include "emulator/SimulatorInputs.h"
#include "serial/SerialLink.h"

#include "emulator/SimulatorWindow.h"

class FakeSimulatorWindow : public SimulatorWindow {
public:
    std::string text(Control edit) const override {
        const auto it = texts.find(edit);
        return it == texts.end() ? std::string() : it->second;
    }
    void setText(Control edit, const std::string& t) override {
        texts[edit] = t;
        log.push_back("text " + name(edit) + "=" + t);
    }
    void selectAll(Control edit) override { log.push_back("select " + name(edit)); }

    // Plain decimal text with `separator` as the only decimal separator, no spaces.
    bool toNumber(const std::string& t, double& number) const override {
        std::string s = t;
        if (separator != ".") {
            if (s.find('.') != std::string::npos)
                return false;
            if (const auto at = s.find(separator); at != std::string::npos)
                s.replace(at, separator.size(), ".");
        }
        const char* end = s.data() + s.size();
        const auto res = std::from_chars(s.data(), end, number);
        return res.ec == std::errc() && res.ptr == end;
    }
    std::string decimalSeparator() const override { return separator; }

    void setEnabled(Control c, bool on) override {
        log.push_back((on ? "enable " : "disable ") + name(c));
    }
    void setFocus(Control c) override { log.push_back("focus " + name(c)); }
    bool isChecked(Control c) const override {
        const auto it = checked.find(c);
        return it != checked.end() && it->second;
    }
    int itemIndex(Control group) const override {
        const auto it = items.find(group);
        return it == items.end() ? -1 : it->second;
    }
    void setItemIndex(Control group, int index) override {
        items[group] = index;
        log.push_back("item " + name(group) + "=" + std::to_string(index));
    }
    void setPosition(Control upDown, int position) override {
        log.push_back("position " + name(upDown) + "=" + std::to_string(position));
    }
    void setTimerPeriod(Control timer, int ms) override {
        log.push_back("period " + name(timer) + "=" + std::to_string(ms));
    }

    static std::string name(Control c) { return ControlName(c); }

    std::map<Control, std::string> texts;
    std::map<Control, bool> checked;
    std::map<Control, int> items;
    std::string separator = ".";
    std::vector<std::string> log;
};

// The Simulator page's logic over the fake window, a fake serial device and recorded boxes.
struct SimulatorRig {
    EmulatorState state;
    FakeSimulatorWindow window;
    FakeMessageBox box;
    FakeSerialDevice device;
    SerialLink link{state, device, box};
    SimulatorInputs inputs{state, window, box, link};
    FuelFlow flow{state, window, box, link};
};
