#pragma once

// Who gave a command: the windows, the service that runs without them, or a
// remote interface and its peer. Every command of the core takes one, so that
// its event says who changed what; there is no default, and a face that
// forgot would not compile.
//
// Events of the windows and of the service name no source in their sentence
// (the operator at the desk, the installation's own start); a remote's end
// with it: "Mute all: group FOH (from OSC 10.0.0.5)". Any thread; a value.

#include <QString>

class CommandSource final
{
public:
    static CommandSource window() { return CommandSource(Kind::Window, QStringLiteral("window")); }
    static CommandSource service() { return CommandSource(Kind::Service, QStringLiteral("service")); }
    // peer: the sender's address as text, "10.0.0.5".
    static CommandSource osc(const QString &peer) { return CommandSource(Kind::Remote, QStringLiteral("OSC ") + peer); }

    // "window", "service", "OSC 10.0.0.5": the event's source field.
    const QString &text() const { return m_text; }
    // A remote's events end with " (from <text>)".
    bool namedInEvents() const { return m_kind == Kind::Remote; }

    bool operator==(const CommandSource &) const = default;

private:
    enum class Kind { Window, Service, Remote };

    CommandSource(Kind kind, QString text)
        : m_kind(kind),
          m_text(std::move(text))
    {
    }

    Kind m_kind;
    QString m_text;
};
