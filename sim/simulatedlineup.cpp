#include "simulatedlineup.h"

#include <QHostAddress>

using namespace Qt::StringLiterals;

QList<AmpSimulator::Amp> simulatedLineup(quint32 firstAddress, int count, const QStringList &names,
                                         const QString &group)
{
    QList<AmpSimulator::Amp> amps;
    for (int i = 0; i < count; ++i) {
        const QString address = QHostAddress(firstAddress + quint32(i)).toString();
        const QString name = i < names.size() ? names[i] : u"AMP"_s + QString::number(i + 1);
        const QString ampGroup = !group.isEmpty() ? group : (i % 2 ? u"FOH"_s : u"STAGE"_s);
        amps.append({address, name.left(5).toUpper().toLatin1(), ampGroup.left(5).toUpper().toLatin1()});
    }
    return amps;
}
