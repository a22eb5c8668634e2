#pragma once
#include <cstdint>

#include "engine/CommandResult.h"
#include "formats/CouplerSentences.h"

class MessageBoxSeam;
class SettingsStore;
class Transmitter;

// The coupler's settings as last applied; the initialisers are the start-up values.
struct CouplerSettings {
    bool compatibility = true; // the layout of couplers from before June 2003
    std::int32_t couplerType = 0;
    std::uint8_t courseGainCode = 0;
    std::uint8_t headingGainCode = 2;
    std::int32_t offsetCounts = 0;
    std::int32_t dimmingWord = 10; // 0 none, 1..10 level + 1, bit 7 light sensor, bit 6 volt
    std::int32_t virtualWaypoints = 0;
    std::int32_t anticipation = 0;
    std::int32_t maxAngle = 0;
    std::int32_t maxTime = 0;

    bool operator==(const CouplerSettings&) const = default;
};

// Where the dimming comes from when it is applied.
enum class DimChoice { Level, None, Volt, Sensor };
// The four settings of the Camlink coupler.
enum class Camlink { VirtualWaypoints, Anticipation, MaxAngle, MaxTime };

// The coupler's settings and the "$PZ" sentence each Apply sends, in the layout the
// compatibility mode selects. The commands older couplers lack are refused in that mode with
// the warning the dialog shows; nothing is stored or sent then.
class Coupler {
public:
    static constexpr const char* NotForOldCouplers =
        "Not Implimented for Coupliers shipped before 1/1/04";
    static constexpr const char* OnlyForCamlinks = "Not Implimented except for Camlinks";
    static constexpr const char* WarningCaption = "Warning";
    static constexpr std::int32_t LightSensorBit = 128;
    static constexpr std::int32_t ExternalVoltBit = 64;

    Coupler(Transmitter& out, SettingsStore& settings, MessageBoxSeam& messages);

    const CouplerSettings& settings() const { return state; }

    // Any count; sent as its magnitude and P or N.
    CommandResult sendOffset(std::int32_t counts);
    // A level 0..9 (held to it), none, the external voltage or the light sensor.
    CommandResult sendDimming(DimChoice choice, std::int32_t level = 0);
    CommandResult sendCourseGain(int row);  // 0..3: 1.25, 2.50, 5.00, 10.0 NM
    CommandResult sendHeadingGain(int row); // 0..3: x 0.25, x 0.5, x 1.0, x 2.0
    CommandResult sendType(int row);        // 0..2: Alder, Birch II, Cedar
    CommandResult sendBrightness(int row);  // 0 Normal, 1 Bright; not stored
    // Held to 0..20, 0..127, 0..90 and 0..20.
    CommandResult sendCamlink(Camlink setting, std::int32_t value);

    // The Dim group's boxes between two Applys: the word as they leave it, not sent.
    void setDimmingWord(std::int32_t word) { state.dimmingWord = word; }
    // `persist`: also written to the settings file, as the dialog's box does.
    void setCompatibility(bool on, bool persist);

    // A level as the dimming word: level plus one, held to 1..10.
    static std::int32_t WordForLevel(std::int32_t level);
    static std::int32_t CamlinkUpper(Camlink setting);

private:
    void send(CouplerCommand command, std::int32_t value);

    Transmitter& out;
    SettingsStore& store;
    MessageBoxSeam& messages;
    CouplerSettings state;
};
