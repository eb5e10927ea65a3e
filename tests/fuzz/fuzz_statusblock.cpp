// A status block as a device might fill it: every reader at every field, and
// the name and group it reports taken as the device record and the tree take
// them (identity reading, upper case, normalisation, group lookup). Input
// shorter than a block is padded with zero bytes, longer input is cut.

#include "grouptable.h"
#include "names.h"
#include "statusblock.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    StatusBlock block{};
    std::copy_n(data, std::min<std::size_t>(size, kStatusBlockSize), block.begin());

    using namespace StatusBlockReader;
    using namespace StatusField;
    for (const int offset : {OutputPeakVoltageA, OutputPeakVoltageB, OutputAverageVoltageA,
                             OutputAverageVoltageB, AcInputVoltage}) {
        if (voltage(block, offset) < 0.0 || voltage(block, offset) > 65535.0 * 200.0 / 1024.0)
            std::abort();
    }
    current(block, OutputAverageCurrentA);
    current(block, OutputAverageCurrentB);
    acInputVoltage(block);
    for (const int offset : {ChannelStateA, ChannelStateB, MuteA, MuteB})
        flag(block, offset);
    for (const int offset : {FirstTemperature, SecondTemperature})
        displayText(block, offset, TemperatureWidth);
    for (const int offset : {Model, SerialNumber, MainSoftwareVersion, WebServerSoftwareVersion,
                             PsuSoftwareVersion, DdsSoftwareVersion, Group, Name})
        displayText(block, offset, IdentityWidth);
    displayText(block, SpeakerImpedanceA, ImpedanceWidth);
    displayText(block, SpeakerImpedanceB, ImpedanceWidth);
    if (threeDigitValue(block, FanSpeed) > 999)
        std::abort();
    for (int history = 0; history < HistoryCount; ++history) {
        for (int sample = 0; sample < HistoryLength; ++sample)
            historySample(block, History(history), sample);
    }

    // The identity a device reports, as the record and the tree take it.
    const QString group = upperCasedAscii(identityText(block, Group, IdentityWidth));
    const QString name = upperCasedAscii(identityText(block, Name, IdentityWidth));
    if (group.size() != identityLength(block, Group, IdentityWidth) || name.size() > IdentityWidth)
        std::abort();
    tGroup groups;
    groups.addGroup(group);
    if (groups.count() != 1 || groups.findGroupOfDevice(group) != 1)
        std::abort();
    if (paddedName(normalizedName(name)).size() != qMax<qsizetype>(name.size(), 5))
        std::abort();
    return 0;
}
