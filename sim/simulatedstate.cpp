#include "simulatedstate.h"

#include <optional>

QByteArray identityField(QByteArrayView text)
{
    return text.first(qMin<qsizetype>(text.size(), 5)).toByteArray().leftJustified(5, ' ');
}

void applyCommand(SimulatedState &state, QByteArrayView target)
{
    const auto argumentOf = [target](QByteArrayView path) -> std::optional<QByteArrayView> {
        if (!target.startsWith(path))
            return std::nullopt;
        return target.sliced(path.size());
    };
    if (const auto name = argumentOf("/name="))
        state.name = identityField(*name);
    else if (const auto group = argumentOf("/group="))
        state.group = identityField(*group);
    else if (const auto digits = argumentOf("/common_settings_values1="))
        state.groupSettings = digits->toByteArray();
    else if (target == "/mute_a_on.html")
        state.muteA = 0;
    else if (target == "/mute_a_off.html")
        state.muteA = 1;
    else if (target == "/mute_b_on.html")
        state.muteB = 0;
    else if (target == "/mute_b_off.html")
        state.muteB = 1;
    else if (target == "/mute_on.html")
        state.muteA = state.muteB = 0;
    else if (target == "/mute_off.html")
        state.muteA = state.muteB = 1;
    else if (target == "/lock_on")
        state.locked = true;
    else if (target == "/lock_off")
        state.locked = false;
}
