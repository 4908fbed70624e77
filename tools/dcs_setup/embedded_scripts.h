// The game-side script tree (dcs/Scripts/ZOVIK/), carried inside the setup
// program so that it is one self-contained file. The build generates the
// definition from whatever files the tree holds.
#pragma once

#include <cstddef>
#include <span>

struct EmbeddedScript {
  const char* relativePath;  // below Scripts\ZOVIK, '/' between folders, ASCII
  const unsigned char* bytes;
  size_t size;
};

// Sorted by relativePath; empty when the tree had no files at build time.
std::span<const EmbeddedScript> EmbeddedScripts();
