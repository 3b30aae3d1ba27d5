// The pictures loaded from files, so that they can be read again while the
// program runs (author mode's reload): their pixels are replaced in place,
// and whatever holds the textures keeps them.
#pragma once

#include <string>
#include <vector>

class CTexture;

// While on, CTexture::LoadTGA notes every picture it makes (the textures
// must then live while noted); off forgets them all. Off at start.
void KeepPicturesForReload(bool keep);
void NotePictureLoaded(CTexture* texture, const char* path);
// The files of the noted pictures, each once.
std::vector<std::string> NotedPicturePaths();
// Reads every noted picture again into its texture; *changed says whether
// any pixel changed. False when one could not be read or changed its size:
// those keep their old pixels, and each is reported, naming the file.
bool ReloadPictures(bool* changed);
