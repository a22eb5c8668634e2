#pragma once
#include <cstdint>
#include <string>

// The ten "$PZ" configuration sentences the coupler accepts.
enum class CouplerCommand { Cal, Dim, Gan, Tst, Hgn, Eqp, Vwp, Adv, Mxa, Mxd };

// One finished sentence, "*XX" checksum included, no line end. `value` is the offset,
// the dimming word, the row of a gain, type or brightness group, or a Camlink number;
// the command's own encoding is applied here. `compatibility` selects the layout of
// couplers from before June 2003; commands those couplers lack have no such layout and
// are always built in the standard one.
std::string BuildCouplerSentence(CouplerCommand command, std::int32_t value, bool compatibility);
