#include "monitorviews.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace MonitorViews {

FigureBytes figureBytesOf(const StatusBlock &block)
{
    FigureBytes bytes;
    std::copy_n(block.begin(), kFigureBytes, bytes.begin());
    return bytes;
}

QString severityName(Severity severity)
{
    switch (severity) {
    case Severity::Info:
        return u"info"_s;
    case Severity::Warning:
        return u"warning"_s;
    case Severity::Alarm:
        break;
    }
    return u"alarm"_s;
}

QString linkName(Link link)
{
    switch (link) {
    case Link::Online:
        return u"online"_s;
    case Link::Offline:
        return u"offline"_s;
    case Link::NoAnswerYet:
        break;
    }
    return u"no answer yet"_s;
}

} // namespace MonitorViews
