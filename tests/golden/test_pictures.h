// The pictures the golden frames are drawn from: simple patterns whose
// shapes, colours and orientation marks are easy to recognise on screen.
#pragma once

#include <string>

// Writes every picture any effect loads into `dataDir` (an existing folder).
// False when a file cannot be written.
bool WriteTestPictures(const std::string& dataDir);
