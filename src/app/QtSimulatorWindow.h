#pragma once
#include <array>

#include "pages/SimulatorWindow.h"

class QWidget;

// The Simulator page's controls, found once by their object names under the main window.
class QtSimulatorWindow : public SimulatorWindow {
public:
    explicit QtSimulatorWindow(QWidget& mainWindow);

    std::string text(Control edit) const override;
    void setText(Control edit, const std::string& text) override;
    void selectAll(Control edit) override;
    bool toNumber(const std::string& text, double& number) const override;
    std::string decimalSeparator() const override;
    void setEnabled(Control control, bool enabled) override;
    void setFocus(Control control) override;
    bool isChecked(Control checkBox) const override;
    int itemIndex(Control radioGroup) const override;
    void setItemIndex(Control radioGroup, int index) override;
    void setPosition(Control upDown, int position) override;

private:
    QWidget* widget(Control control) const { return widgets[static_cast<std::size_t>(control)]; }

    std::array<QWidget*, ControlCount> widgets{};
};
