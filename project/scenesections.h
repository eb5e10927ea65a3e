#pragma once

// The scenes in a project file, one section per scene in list order:
//
//   [Scene1]          the place in the list; read from Scene1 on, up to the
//                     first place missing, at most 99
//   Number=3          1 to 99, once in a file
//   Name=Show         up to 32 characters, no control characters
//   Fade=2.5          seconds, 0 to 30, '.' before at most three decimals
//   Groups=*          every group the scene holds values for; or the group
//                     names it covers, separated by commas; a list too long
//                     for one value goes on in Groups2, Groups3, ...
//   Kinds=levels,limiters,mutes
//                     any of the three, separated by commas
//   Group1=FOH  ,120,120,80,80,170,170,1,0,0,muted
//                     one key per group from Group1 on, up to the first
//                     missing: the name; volume A and B, input level A and
//                     B (0 to 191), limiter A and B (volts, 10 to 170) as the
//                     group sections hold them; the volume, input level and
//                     limiter links (0 or 1); the mute: muted, unmuted or
//                     leave
//
// The sections come after the group and device sections, and are written
// only when there are scenes, so a project without them is written as it
// always was. A section is rewritten whole, and the sections of scenes
// since deleted are removed, so that nothing stale is read back.
//
// Reading never refuses a project: a bad value is brought into range, a bad
// group entry or scope name is left out, and a scene whose number cannot be
// used is left out, each with a warning that names the section and why.

#include "projectfile.h"
#include "scene.h"

#include <QList>
#include <QStringList>

class IniFile;

// The scenes of the file; groups are the project's, which the scenes'
// group names must be among (they are given back as the group table holds
// them). Problems are appended to warnings, at most a few dozen lines
// whatever the file holds.
QList<Scene> readSceneSections(const IniFile &file, const QList<ProjectGroup> &groups,
                               QStringList &warnings);

void writeSceneSections(IniFile &file, const QList<Scene> &scenes);
