#include "engine/Coupler.h"

#include <algorithm>

#include "engine/MessageBoxSeam.h"
#include "engine/TransmitLine.h"
#include "settings/SettingsStore.h"

namespace {
constexpr const char* RegistryCaption = "error";

CommandResult badRow(const char* what, int last) {
    return CommandResult::Refused(std::string(what) + " must be a row from 0 to " +
                                  std::to_string(last));
}
} // namespace

Coupler::Coupler(Transmitter& o, SettingsStore& s, MessageBoxSeam& m)
    : out(o), store(s), messages(m) {}

void Coupler::send(CouplerCommand command, std::int32_t value) {
    const std::string sentence = BuildCouplerSentence(command, value, state.compatibility);
    out.TransmitLine(sentence.c_str(), 0);
}

std::int32_t Coupler::WordForLevel(std::int32_t level) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{level} + 1, 1, 10));
}

std::int32_t Coupler::CamlinkUpper(Camlink setting) {
    switch (setting) {
    case Camlink::VirtualWaypoints:
        return 20;
    case Camlink::Anticipation:
        return 127;
    case Camlink::MaxAngle:
        return 90;
    case Camlink::MaxTime:
        return 20;
    }
    return 0;
}

CommandResult Coupler::sendOffset(std::int32_t counts) {
    state.offsetCounts = counts;
    send(CouplerCommand::Cal, counts);
    return {};
}

CommandResult Coupler::sendDimming(DimChoice choice, std::int32_t level) {
    std::int32_t word = 0;
    switch (choice) {
    case DimChoice::Level:
        word = WordForLevel(level);
        break;
    case DimChoice::None:
        word = 0;
        break;
    case DimChoice::Volt:
        word = ExternalVoltBit;
        break;
    case DimChoice::Sensor:
        word = LightSensorBit;
        break;
    }
    state.dimmingWord = word;
    send(CouplerCommand::Dim, word);
    return {};
}

CommandResult Coupler::sendCourseGain(int row) {
    if (row < 0 || row > 3)
        return badRow("The course gain", 3);
    state.courseGainCode = static_cast<std::uint8_t>(row);
    send(CouplerCommand::Gan, row);
    return {};
}

CommandResult Coupler::sendHeadingGain(int row) {
    if (state.compatibility)
        return CommandResult::Refused(NotForOldCouplers, WarningCaption);
    if (row < 0 || row > 3)
        return badRow("The heading gain", 3);
    state.headingGainCode = static_cast<std::uint8_t>(row);
    send(CouplerCommand::Hgn, row);
    return {};
}

CommandResult Coupler::sendType(int row) {
    if (row < 0 || row > 2)
        return badRow("The coupler type", 2);
    state.couplerType = row;
    send(CouplerCommand::Tst, row);
    return {};
}

CommandResult Coupler::sendBrightness(int row) {
    if (state.compatibility)
        return CommandResult::Refused(NotForOldCouplers, WarningCaption);
    if (row < 0 || row > 1)
        return badRow("The brightness", 1);
    send(CouplerCommand::Eqp, row);
    return {};
}

CommandResult Coupler::sendCamlink(Camlink setting, std::int32_t value) {
    if (state.compatibility)
        return CommandResult::Refused(OnlyForCamlinks, WarningCaption);
    const std::int32_t held = std::clamp(value, 0, CamlinkUpper(setting));
    CouplerCommand command = CouplerCommand::Vwp;
    switch (setting) {
    case Camlink::VirtualWaypoints:
        state.virtualWaypoints = held;
        break;
    case Camlink::Anticipation:
        state.anticipation = held;
        command = CouplerCommand::Adv;
        break;
    case Camlink::MaxAngle:
        state.maxAngle = held;
        command = CouplerCommand::Mxa;
        break;
    case Camlink::MaxTime:
        state.maxTime = held;
        command = CouplerCommand::Mxd;
        break;
    }
    send(command, held);
    return {};
}

void Coupler::setCompatibility(bool on, bool persist) {
    if (persist) {
        const SettingsStore::OpenResult opened = store.open(false);
        if (opened != SettingsStore::OpenResult::Ok)
            messages.show(CantOpenMessage(opened), RegistryCaption, MsgIcon::Error);
        else if (!store.writeInt("Compatibility", on ? 1 : 0))
            messages.show("Can't write Compatibility", RegistryCaption, MsgIcon::Error);
    }
    // The mode changes for the rest of the run even when it could not be stored.
    state.compatibility = on;
}
