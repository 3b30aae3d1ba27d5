// Every file a capture or video run writes is made under a hidden name
// beside its own and takes that name only once it is complete and on disk:
// a failed, stopped or crashed run never leaves a file that looks whole, and
// never replaces a good one with a broken one.
#pragma once

#include <string>

// ".NAME.PID.partial.EXT" beside `path`, EXT being `extension` when given
// (".wav") and path's own otherwise: where it is made. The process id keeps
// two runs apart.
std::string HiddenName(const std::string& path, const std::string& extension = "");

// Puts the finished file `hidden` on disk and gives it `path`'s name,
// replacing what was there. False, with the reason naming `path`, when that
// cannot be done; the hidden file is then removed.
bool PublishFile(const std::string& hidden, const std::string& path, std::string* error);
