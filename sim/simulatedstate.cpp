#include "simulatedstate.h"

#include <cmath>
#include <optional>

QByteArray identityField(QByteArrayView text)
{
    return text.first(qMin<qsizetype>(text.size(), 5)).toByteArray().leftJustified(5, ' ');
}

double outputGain(const SimulatedState &state, int channel)
{
    if ((channel == 0 ? state.muteA : state.muteB) == 0)
        return 0.0;
    bool ok = false;
    const int volume = state.groupSettings.mid(3 * channel, 3).toInt(&ok);
    if (!ok || state.groupSettings.size() < 6)
        return 1.0;  // no settings received yet
    const double decibels = 0.5 * qBound(0, volume, 191) - 95.5;
    return std::pow(10.0, decibels / 20.0);
}

bool applyCommand(SimulatedState &state, QByteArrayView target)
{
    const auto argumentOf = [target](QByteArrayView path) -> std::optional<QByteArrayView> {
        if (!target.startsWith(path))
            return std::nullopt;
        return target.sliced(path.size());
    };
    const auto set = [](auto &field, const auto &value) {
        if (field == value)
            return false;
        field = value;
        return true;
    };
    const auto setBothMutes = [&](quint8 value) {
        const bool changedA = set(state.muteA, value);
        const bool changedB = set(state.muteB, value);  // also when A was already set
        return changedA || changedB;
    };
    if (const auto name = argumentOf("/name="))
        return set(state.name, identityField(*name));
    if (const auto group = argumentOf("/group="))
        return set(state.group, identityField(*group));
    if (const auto digits = argumentOf("/common_settings_values1="))
        return set(state.groupSettings, digits->toByteArray());
    if (target == "/mute_a_on.html")
        return set(state.muteA, quint8(0));
    if (target == "/mute_a_off.html")
        return set(state.muteA, quint8(1));
    if (target == "/mute_b_on.html")
        return set(state.muteB, quint8(0));
    if (target == "/mute_b_off.html")
        return set(state.muteB, quint8(1));
    if (target == "/mute_on.html")
        return setBothMutes(0);
    if (target == "/mute_off.html")
        return setBothMutes(1);
    if (target == "/lock_on")
        return set(state.locked, true);
    if (target == "/lock_off")
        return set(state.locked, false);
    return false;
}
